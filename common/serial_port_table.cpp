#include "common/serial_port_table.h"

#include <algorithm>

#include "common/language.h"
#include "common/settings.h"
#include "common/text_format.h"

namespace {
// Discovery never collects more port numbers than this.
constexpr size_t kMaxReportedPorts = 255;

std::string Key(const std::string& prefix, const char* name) {
    return prefix + "_" + name;
}
}  // namespace

std::vector<SerialPortReport> ApplyReportedPortNames(CSerialPortList& list,
                                                     CSerialPortSystem& system) {
    std::vector<SerialPortReport> reports = system.ReportedPorts();
    if (reports.size() > kMaxReportedPorts) reports.resize(kMaxReportedPorts);
    for (const auto& r : reports)
        if (r.iNumber >= 1 && r.iNumber <= list.nPort() && !r.sName.empty())
            list.sPortName[static_cast<size_t>(r.iNumber - 1)] = r.sName;
    return reports;
}

CSerialPortList::CSerialPortList(int n) {
    n = std::max(n, 0);
    sPortName.reserve(static_cast<size_t>(n));
    for (int i = 1; i <= n; ++i) sPortName.push_back(FormatC("COM%d", i));
    bAvailable.assign(static_cast<size_t>(n), 0);
}

CSerialPortList CSerialPortList::FromSettings() {
    const int n = std::max(ReadSettingInt("nComPort", kMinPortCount), kMinPortCount);
    WriteSettingInt("nComPort", n);
    // A table of millions of names would only cost memory; no system has that many ports.
    return CSerialPortList(std::min(n, 1 << 16));
}

void CSerialPortSetting::Load() {
    iPortIndex = ReadSettingInt(Key(sPrefix, "iComPortIndex"), 0);
    iBaudIndex = ReadSettingInt(Key(sPrefix, "iBaudRateIndex"), 3);
    iStopBitsIndex = ReadSettingInt(Key(sPrefix, "iStopBitsIndex"), 0);
    sPortName = ReadSettingString(Key(sPrefix, "sComPortName"), "");
}

void CSerialPortSetting::Save() const {
    WriteSettingInt(Key(sPrefix, "iComPortIndex"), iPortIndex);
    WriteSettingInt(Key(sPrefix, "iBaudRateIndex"), iBaudIndex);
    WriteSettingInt(Key(sPrefix, "iStopBitsIndex"), iStopBitsIndex);
    WriteSettingString(Key(sPrefix, "sComPortName"), sPortName);
}

int CSerialPortSetting::BaudRate() const {
    if (iBaudIndex < 0 || iBaudIndex >= static_cast<int>(kBaudRateTable.size())) return 1200;
    return kBaudRateTable[static_cast<size_t>(iBaudIndex)];
}

int CSerialPortSetting::StopBitsCode() const {
    if (iStopBitsIndex < 0 || iStopBitsIndex >= static_cast<int>(kStopBitsCode.size()))
        return kOneStopBit;
    return kStopBitsCode[static_cast<size_t>(iStopBitsIndex)];
}

const char* CSerialPortSetting::StopBitsText() const {
    return kStopBitsText[static_cast<size_t>(StopBitsCode())];
}

std::string PortNameOf(const CSerialPortSetting& setting, const CSerialPortList& list) {
    if (!setting.sPortName.empty()) return setting.sPortName;
    if (setting.iPortIndex >= 0 && setting.iPortIndex < list.nPort())
        return list.sPortName[static_cast<size_t>(setting.iPortIndex)];
    return {};
}

int PortIndexOf(const CSerialPortSetting& setting, const CSerialPortList& list) {
    if (!setting.sPortName.empty()) {
        const auto it = std::find(list.sPortName.begin(), list.sPortName.end(), setting.sPortName);
        return it == list.sPortName.end() ? -1 : static_cast<int>(it - list.sPortName.begin());
    }
    return setting.iPortIndex >= 0 && setting.iPortIndex < list.nPort() ? setting.iPortIndex : -1;
}

bool RunSerialPortDialog(const CSerialPortList& list, CSerialPortSetting& setting,
                         CSerialPortSystem& system, CPrompter& prompter, const std::string& sFor) {
    CDlgRS232C dlg;
    dlg.sFor = sFor;
    std::vector<int> tableIndex;  // table index of each listed port
    for (int i = 0; i < list.nPort(); ++i) {
        if (list.bAvailable[static_cast<size_t>(i)] == 0) continue;
        dlg.ports.push_back(list.sPortName[static_cast<size_t>(i)]);
        tableIndex.push_back(i);
    }
    if (dlg.ports.empty()) return false;
    for (int rate : kBaudRateTable) dlg.baudRates.push_back(FormatC("%d", rate));
    for (const char* s : kStopBitsText) dlg.stopBits.emplace_back(s);
    const int current = PortIndexOf(setting, list);
    const auto at = std::find(tableIndex.begin(), tableIndex.end(), current);
    dlg.iPort = at == tableIndex.end() ? 0 : static_cast<int>(at - tableIndex.begin());
    // Only a device chosen before counts: a fresh setting's table index names no choice.
    const std::string& saved = setting.sPortName;
    if (at == tableIndex.end() && !saved.empty() &&
        std::find(dlg.ports.begin(), dlg.ports.end(), saved) == dlg.ports.end()) {
        dlg.iPort = -1;
        dlg.sMissing = saved;
    }
    dlg.iBaudRate = std::clamp(setting.iBaudIndex, 0, static_cast<int>(kBaudRateTable.size()) - 1);
    dlg.iStopBits =
        std::clamp(setting.iStopBitsIndex, 0, static_cast<int>(kStopBitsText.size()) - 1);

    if (!prompter.EditDialog(dlg)) return false;

    const bool bTyped = !dlg.sDevice.empty() && std::find(dlg.ports.begin(), dlg.ports.end(),
                                                          dlg.sDevice) == dlg.ports.end();
    if (bTyped) {
        setting.iPortIndex = list.nPort();
        setting.sPortName = dlg.sDevice;
        system.AddKnownDevice(dlg.sDevice);
    } else {
        if (dlg.iPort < 0 && dlg.sDevice.empty()) return false;  // nothing chosen
        int k = dlg.iPort;
        if (!dlg.sDevice.empty())
            k = static_cast<int>(std::find(dlg.ports.begin(), dlg.ports.end(), dlg.sDevice) -
                                 dlg.ports.begin());
        if (k >= 0 && k < static_cast<int>(tableIndex.size())) {
            setting.iPortIndex = tableIndex[static_cast<size_t>(k)];
            setting.sPortName = list.sPortName[static_cast<size_t>(setting.iPortIndex)];
        } else {
            setting.iPortIndex = list.nPort();
            setting.sPortName.clear();
        }
    }
    setting.iBaudIndex = std::clamp(dlg.iBaudRate, 0, static_cast<int>(kBaudRateTable.size()) - 1);
    setting.iStopBitsIndex =
        std::clamp(dlg.iStopBits, 0, static_cast<int>(kStopBitsText.size()) - 1);
    setting.Save();
    return true;
}

std::unique_ptr<CSerialPort> OpenConfiguredPort(const std::string& sName,
                                                const CSerialPortSetting& setting, int& nOpen,
                                                CSerialPortSystem& system, CPrompter& prompter,
                                                CClock& clock, std::string& error,
                                                bool bTranslated) {
    SerialLineSettings line;
    line.iBaudRate = setting.BaudRate();
    line.iStopBits = setting.StopBitsCode();
    auto port = system.Open(sName, line, error);
    if (!port) return nullptr;
    if (nOpen == 0)
        prompter.Message(FormatC(bTranslated ? Tr("%s: Baud rate=%d Stop bits=%s",
                                                  "%s: ボーレート=%d ストップビット=%s")
                                             : "%s: Baud rate=%d Stop bits=%s",
                                 sName.c_str(), line.iBaudRate, setting.StopBitsText()));
    else
        clock.SleepMs(20);
    ++nOpen;
    return port;
}
