// The serial port table both programs choose their ports from: the baud-rate and stop-bits
// tables, the port names, one device's stored choice, the "Serial port" dialog over a table
// and opening a chosen port with its line settings. Ports are only ever read.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "common/clock.h"
#include "common/prompter.h"
#include "common/serial_port.h"

inline constexpr std::array<int, 15> kBaudRateTable = {110,   300,   600,    1200,   2400,
                                                       4800,  9600,  14400,  19200,  38400,
                                                       56000, 57600, 115200, 128000, 256000};
inline constexpr std::array<const char*, 3> kStopBitsText = {"1", "1.5", "2"};
inline constexpr std::array<int, 3> kStopBitsCode = {kOneStopBit, kOne5StopBits, kTwoStopBits};
// The port table never has fewer names than this.
inline constexpr int kMinPortCount = 255;

// The port table, built fresh whenever it is needed.
class CSerialPortList {
public:
    // N = max("nComPort" (default 255), 255), written back so the setting always exists.
    static CSerialPortList FromSettings();
    // Exactly n names, settings untouched (the port test window always tries 255).
    explicit CSerialPortList(int n);

    int nPort() const { return static_cast<int>(sPortName.size()); }
    // "COM%d" for 1..N until discovery puts the system's own names in (see
    // EnumerateSerialPorts).
    std::vector<std::string> sPortName;
    std::vector<int> bAvailable;  // 0 or 1, all 0 when built
};

// One device's port choice, kept in section "General" under its prefix ("Gantrel",
// "Gantrel2", "GPS", "Test").
class CSerialPortSetting {
public:
    explicit CSerialPortSetting(std::string prefix) : sPrefix(std::move(prefix)) {}
    // "%s_iComPortIndex" (0), "%s_iBaudRateIndex" (3, 1200 baud), "%s_iStopBitsIndex" (0),
    // "%s_sComPortName" (empty).
    void Load();
    void Save() const;

    // Baud rate and stop bits of the indexes; an index outside its table gives 1200 baud and
    // one stop bit.
    int BaudRate() const;
    int StopBitsCode() const;
    const char* StopBitsText() const;

    std::string sPrefix;
    int iPortIndex = 0;  // into the port table: 0 is its first name (COM1)
    int iBaudIndex = 3;
    int iStopBitsIndex = 0;
    // The device as the system names it when it was chosen. Where ports are device paths
    // the index alone would follow the system's list order, which changes as devices come
    // and go; the name keeps the choice, and may be any path the user gave.
    std::string sPortName;
};

// The one place that decides which device a setting means: the device named when it was
// chosen, else the table's name at the index (empty when neither gives one).
std::string PortNameOf(const CSerialPortSetting& setting, const CSerialPortList& list);
// The table index of the device the setting means, -1 when it is not in the table.
int PortIndexOf(const CSerialPortSetting& setting, const CSerialPortList& list);

// Puts the system's names of the ports it reports into the table (a report numbered n names
// entry n - 1; numbers outside the table are skipped) and returns the reports, at most 255.
std::vector<SerialPortReport> ApplyReportedPortNames(CSerialPortList& list,
                                                     CSerialPortSystem& system);

inline constexpr const char* kNoPortMessage = "No available comport";

// "Serial port" dialog: combo boxes "Com port" (the available ports), "Baud rate" and
// "Stop bits".
struct CDlgRS232C : CDialogValues {
    // "Serial port", or "Serial port - <device>" when sFor names the device it is for.
    std::string DialogName() const override {
        return sFor.empty() ? std::string("Serial port") : "Serial port - " + sFor;
    }

    std::string sFor;      // "Gantrel", "2nd Gantrel", "GPS"; empty when not said
    std::string sMissing;  // the saved port when it is not there now (nothing preselected)

    std::vector<std::string> ports;      // available port names, table order
    std::vector<std::string> baudRates;  // the 15 rates, "%d"
    std::vector<std::string> stopBits;   // "1", "1.5", "2"
    int iPort = 0;                       // selections; -1: no port preselected
    int iBaudRate = 0;
    int iStopBits = 0;
    // A device path typed in place of a listed port (a pseudo-terminal, a udev link); empty
    // when a listed port is chosen.
    std::string sDevice;
};

// The "Serial port" dialog over the table's available ports; on OK the setting and its stored
// values are updated and true is returned. No available port: no dialog, false (the caller
// says why).
// sFor names the device the port is for in the dialog's title. A saved port that is not
// available now is preselected as nothing, and the dialog says so.
bool RunSerialPortDialog(const CSerialPortList& list, CSerialPortSetting& setting,
                         CSerialPortSystem& system, CPrompter& prompter,
                         const std::string& sFor = {});

// Opens the device for reading with the setting's line settings. nOpen counts the opens of
// its user: the first shows "%s: Baud rate=%d Stop bits=%s", later ones wait 20 ms instead;
// it grows by 1 on success. nullptr when the device cannot be opened (error says why). With
// bTranslated the message is in the current language (the logger shows it in English).
std::unique_ptr<CSerialPort> OpenConfiguredPort(const std::string& sName,
                                                const CSerialPortSetting& setting, int& nOpen,
                                                CSerialPortSystem& system, CPrompter& prompter,
                                                CClock& clock, std::string& error,
                                                bool bTranslated = false);
