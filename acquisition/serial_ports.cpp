#include "acquisition/serial_ports.h"

#include <algorithm>

#include "common/settings.h"
#include "common/text_format.h"

namespace {
// Discovery never collects more port numbers than this.
constexpr size_t kMaxReportedPorts = 255;

std::string Key(const std::string& prefix, const char* name) {
    return prefix + "_" + name;
}

// Puts the system's names of the ports it reports into the table; returns the reports taken.
std::vector<SerialPortReport> ApplyReportedNames(CSerialPortList& list, CSerialPortSystem& system) {
    std::vector<SerialPortReport> reports = system.ReportedPorts();
    if (reports.size() > kMaxReportedPorts) reports.resize(kMaxReportedPorts);
    for (const auto& r : reports)
        if (r.iNumber >= 1 && r.iNumber <= list.nPort() && !r.sName.empty())
            list.sPortName[static_cast<size_t>(r.iNumber - 1)] = r.sName;
    return reports;
}

constexpr const char* kNoPortMessage = "No available comport";
}  // namespace

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

int EnumerateSerialPorts(CSerialPortList& list, bool bShow, bool bTest, CSerialPortSystem& system,
                         CLoggerPrompter& prompter) {
    const std::vector<SerialPortReport> reports = ApplyReportedNames(list, system);
    std::fill(list.bAvailable.begin(), list.bAvailable.end(), 0);
    if (reports.empty()) {
        prompter.Message(kNoPortMessage);
        return 0;
    }
    std::string text;
    for (const auto& r : reports) {
        if (r.iNumber < 1 || r.iNumber > list.nPort()) continue;
        const auto i = static_cast<size_t>(r.iNumber - 1);
        list.bAvailable[i] = bTest ? (system.CanOpen(list.sPortName[i]) ? 1 : 0) : 1;
        text += list.sPortName[i];
        text += "\n";
    }
    if (bShow) prompter.Message(text);
    return static_cast<int>(reports.size());
}

bool ChooseSerialPort(CSerialPortSetting& setting, CSerialPortSystem& system,
                      CLoggerPrompter& prompter) {
    CSerialPortList list = CSerialPortList::FromSettings();
    if (EnumerateSerialPorts(list, false, false, system, prompter) == 0) return false;

    CDlgRS232C dlg;
    std::vector<int> tableIndex;  // table index of each listed port
    for (int i = 0; i < list.nPort(); ++i) {
        if (list.bAvailable[static_cast<size_t>(i)] == 0) continue;
        dlg.ports.push_back(list.sPortName[static_cast<size_t>(i)]);
        tableIndex.push_back(i);
    }
    for (int rate : kBaudRateTable) dlg.baudRates.push_back(FormatC("%d", rate));
    for (const char* s : kStopBitsText) dlg.stopBits.emplace_back(s);
    const int current = PortIndexOf(setting, list);
    const auto at = std::find(tableIndex.begin(), tableIndex.end(), current);
    dlg.iPort = at == tableIndex.end() ? 0 : static_cast<int>(at - tableIndex.begin());
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

void CPortSlots::Close(int slot) {
    if (slot < 0 || slot >= kPortSlots) return;
    auto& p = port[static_cast<size_t>(slot)];
    if (p) p->Close();
    p.reset();
    sName[static_cast<size_t>(slot)].clear();
}

bool OpenSerialPort(CPortSlots& slots, int slot, const CSerialPortSetting& setting,
                    CSerialPortSystem& system, CLoggerPrompter& prompter, CClock& clock) {
    if (slot < 0 || slot >= kPortSlots || slot == kSlotReserved) return false;
    CSerialPortList list = CSerialPortList::FromSettings();
    ApplyReportedNames(list, system);
    const std::string name = PortNameOf(setting, list);
    if (name.empty()) return false;

    slots.Close(slot);
    SerialLineSettings line;
    line.iBaudRate = setting.BaudRate();
    line.iStopBits = setting.StopBitsCode();
    std::string error;
    auto port = system.Open(name, line, error);
    if (!port) return false;
    const auto s = static_cast<size_t>(slot);
    slots.port[s] = std::move(port);
    slots.sName[s] = name;
    if (slots.nOpen[s] == 0)
        prompter.Message(FormatC("%s: Baud rate=%d Stop bits=%s", name.c_str(), line.iBaudRate,
                                 setting.StopBitsText()));
    else
        clock.SleepMs(20);
    ++slots.nOpen[s];
    return true;
}

int ShowAvailableSerialPorts(CSerialPortSystem& system, CLoggerPrompter& prompter) {
    prompter.Message(kTryAllPortsMessage);
    CSerialPortList list = CSerialPortList::FromSettings();
    return EnumerateSerialPorts(list, true, true, system, prompter);
}

CPortTestWindow::CPortTestWindow(CSerialPortSystem& system, CLoggerPrompter& prompter)
    : system_(system), prompter_(prompter) {}

int CPortTestWindow::Open() {
    Close();
    CSerialPortSetting test("Test");
    test.Load();
    prompter_.Message(kTryAllPortsMessage);

    CSerialPortList list(kMinPortCount);
    ApplyReportedNames(list, system_);
    SerialLineSettings line;
    line.iBaudRate = test.BaudRate();
    line.iStopBits = test.StopBitsCode();
    std::string text;
    for (int i = 0; i < list.nPort(); ++i) {
        std::string error;
        auto port = system_.Open(list.sPortName[static_cast<size_t>(i)], line, error);
        if (!port) continue;
        list.bAvailable[static_cast<size_t>(i)] = 1;
        auto p = std::make_unique<Port>();
        p->sName = list.sPortName[static_cast<size_t>(i)];
        p->port = std::move(port);
        text += p->sName + "\n";
        ports_.push_back(std::move(p));
    }
    prompter_.Message(ports_.empty() ? kNoPortMessage : text);
    return static_cast<int>(ports_.size());
}

void CPortTestWindow::Tick() {
    std::vector<char> buffer;
    for (auto it = ports_.begin(); it != ports_.end();) {
        Port& p = **it;
        long queued = p.port->BytesQueued();
        if (queued > 0) {
            // One second of the fastest rate fits; more waits for the next tick.
            buffer.resize(static_cast<size_t>(std::min<long>(queued, 65536)));
            queued = p.port->Read(buffer.data(), buffer.size());
        }
        if (queued == kSerialGone) {  // unplugged: nothing more will come from it
            p.port->Close();
            it = ports_.erase(it);
            continue;
        }
        if (queued > 0) {
            int n = p.assembler.Append(buffer.data(), static_cast<size_t>(queued));
            while (n > 0) {
                for (int k = 0; k < n; ++k)
                    lines_.Append(p.sName + ":" + std::string(p.assembler.Line(k)));
                n = p.assembler.Append(nullptr, 0);
            }
        }
        ++it;
    }
}

std::vector<std::string> CPortTestWindow::OpenPorts() const {
    std::vector<std::string> names;
    for (const auto& p : ports_) names.push_back(p->sName);
    return names;
}

void CPortTestWindow::Close() {
    for (auto& p : ports_) p->port->Close();
    ports_.clear();
}

CSerialLogs::CSerialLogs() {
    bSave_ = ReadSettingInt("bSaveSerialPortLog", 0) != 0 ? 1 : 0;
}

void CSerialLogs::Toggle() {
    bSave_ = bSave_ != 0 ? 0 : 1;
    WriteSettingInt("bSaveSerialPortLog", bSave_);
}

void CSerialLogs::FixPaths(const std::filesystem::path& folder) {
    if (bFixed_) return;
    paths_[Gantrel] = folder / "RS232C_Gantrel_read.txt";
    paths_[GPS] = folder / "RS232C_GPS_read.txt";
    paths_[Etcetera] = folder / "RS232C_Etcetera_read.txt";
    bFixed_ = true;
}

void CSerialLogs::Append(Kind kind, std::string_view line) const {
    if (bSave_ == 0 || !bFixed_) return;
    CTextWriter w;
    if (!w.Open(paths_[kind], true)) return;
    w.Write(line);
    w.Write("\n");
    w.Close();
}
