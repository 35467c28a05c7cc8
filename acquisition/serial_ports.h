// The logger's serial ports: the port table, the per-device settings and their dialog, port
// discovery, opening a port into a device slot, the port test window and the raw serial logs.
// Ports are only ever read; the logger never writes to a device.
#pragma once

#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/line_assembler.h"
#include "acquisition/logger_prompter.h"
#include "acquisition/record_ring.h"
#include "common/clock.h"
#include "common/serial_port.h"
#include "common/serial_port_table.h"

// Device slots.
inline constexpr int kSlotGantrel = 0;   // first instrument console
inline constexpr int kSlotGPS = 1;       // GPS receiver
inline constexpr int kSlotReserved = 2;  // never opened
inline constexpr int kSlotGantrel2 = 3;  // second instrument console
inline constexpr int kPortSlots = 4;

// Marks the ports the system reports as available (with bTest, only those that can be opened
// now) and returns how many the system reports (at most 255). With none: "No available
// comport" and 0. With bShow the list of ports is shown, one name a line.
int EnumerateSerialPorts(CSerialPortList& list, bool bShow, bool bTest, CSerialPortSystem& system,
                         CLoggerPrompter& prompter);

// The dialog for a setting; on OK the setting and its stored values are updated and true is
// returned. No ports: no dialog, false.
bool ChooseSerialPort(CSerialPortSetting& setting, CSerialPortSystem& system,
                      CLoggerPrompter& prompter, const std::string& sFor = {});

// The device slots: one open port or nothing each, and how often each was opened this run.
struct CPortSlots {
    std::array<std::unique_ptr<CSerialPort>, kPortSlots> port;
    std::array<std::string, kPortSlots> sName;  // the device a slot holds
    std::array<int, kPortSlots> nOpen{};
    bool IsOpen(int slot) const {
        return slot >= 0 && slot < kPortSlots && port[static_cast<size_t>(slot)] != nullptr;
    }
    CSerialPort* Port(int slot) {
        return IsOpen(slot) ? port[static_cast<size_t>(slot)].get() : nullptr;
    }
    void Close(int slot);
};

// Opens the setting's device into the slot with its line settings. The first open of a slot
// this run shows "%s: Baud rate=%d Stop bits=%s"; later ones wait 20 ms instead. False when
// the device cannot be opened (the slot is then empty; why, when given, says what the system
// answered: missing, not a terminal, in use).
bool OpenSerialPort(CPortSlots& slots, int slot, const CSerialPortSetting& setting,
                    CSerialPortSystem& system, CLoggerPrompter& prompter, CClock& clock,
                    std::string* why = nullptr);

inline constexpr const char* kTryAllPortsMessage =
    "Program will try to open all possible serial ports.\n\nIt will tale one to two minutes.";

// "Show available serial ports".
int ShowAvailableSerialPorts(CSerialPortSystem& system, CLoggerPrompter& prompter);

// "Receiver data from all serial ports" ("Serialport test"): every port that opens is read
// once a second and its lines are shown as "%s:%s", the 20 latest.
class CPortTestWindow {
public:
    static constexpr int kTimerId = 2;
    static constexpr int kTimerPeriod = 1000;  // ms

    CPortTestWindow(CSerialPortSystem& system, CLoggerPrompter& prompter);
    ~CPortTestWindow() { Close(); }
    // Opens every port it can with the "Test" setting's line settings and shows their list
    // (or "No available comport"). Returns how many opened.
    int Open();
    // One tick of the window's timer: reads what every open port has queued.
    void Tick();
    // What the edit box shows: each kept line followed by " \r\n".
    std::string Text() const { return lines_.Text(); }
    const CLineLog& Lines() const { return lines_; }
    std::vector<std::string> OpenPorts() const;
    // OK: every port is closed.
    void Close();

private:
    struct Port {
        std::string sName;
        std::unique_ptr<CSerialPort> port;
        CLineAssembler assembler;
    };
    CSerialPortSystem& system_;
    CLoggerPrompter& prompter_;
    std::vector<std::unique_ptr<Port>> ports_;
    CLineLog lines_;
};

// The raw serial logs ("Save serial port log"): every line received, appended while the
// switch is on, to files in the data folder of the first device start of the run.
class CSerialLogs {
public:
    enum Kind { Gantrel = 0, GPS = 1, Etcetera = 2 };

    // Reads "bSaveSerialPortLog" (default 0).
    CSerialLogs();
    // The menu's check item: toggles the switch and writes it back at once.
    void Toggle();
    bool IsOn() const { return bSave_ != 0; }
    // Fixes the three paths the first time only: "RS232C_Gantrel_read.txt",
    // "RS232C_GPS_read.txt" and "RS232C_Etcetera_read.txt" in folder.
    void FixPaths(const std::filesystem::path& folder);
    bool PathsFixed() const { return bFixed_; }
    const std::filesystem::path& Path(Kind kind) const { return paths_[kind]; }
    // Appends "%s\n" while the switch is on; a file that cannot be opened is skipped.
    void Append(Kind kind, std::string_view line) const;

private:
    int bSave_ = 0;
    bool bFixed_ = false;
    std::array<std::filesystem::path, 3> paths_;
};
