#include "acquisition/serial_ports.h"

#include <algorithm>
#include <optional>

#include "common/settings.h"
#include "common/text_format.h"

namespace {
// The logger's two prompts as a prompter of the suite, for the port table of common/: it only
// shows messages and the "Serial port" dialog.
class CLoggerPromptsAsPrompter : public CPrompter {
public:
    explicit CLoggerPromptsAsPrompter(CLoggerPrompter& prompter) : prompter_(prompter) {}
    PromptAnswer Message(const std::string& text, PromptButtons, const std::string&) override {
        prompter_.Message(text);
        return PromptAnswer::Ok;
    }
    bool EditDialog(CDialogValues& values) override { return prompter_.EditDialog(values); }
    int TwoButtonBox(const std::string&, const std::string&, const std::string&,
                     const std::string&) override {
        return 1;
    }
    std::optional<int> InputInt(const std::string&, const std::string&, int) override {
        return std::nullopt;
    }
    std::optional<double> InputReal(const std::string&, const std::string&, double,
                                    const std::string&) override {
        return std::nullopt;
    }
    std::optional<std::string> InputText(const std::string&, const std::string&,
                                         const std::string&) override {
        return std::nullopt;
    }
    std::vector<std::filesystem::path> OpenFiles(const std::string&,
                                                 const std::vector<FileFilter>&,
                                                 const std::filesystem::path&, bool) override {
        return {};
    }
    std::optional<std::filesystem::path> SaveFile(const std::string&,
                                                  const std::vector<FileFilter>&,
                                                  const std::filesystem::path&) override {
        return std::nullopt;
    }
    std::optional<std::filesystem::path> ChooseFolder(const std::string&,
                                                      const std::filesystem::path&) override {
        return std::nullopt;
    }

private:
    CLoggerPrompter& prompter_;
};
}  // namespace

int EnumerateSerialPorts(CSerialPortList& list, bool bShow, bool bTest, CSerialPortSystem& system,
                         CLoggerPrompter& prompter) {
    const std::vector<SerialPortReport> reports = ApplyReportedPortNames(list, system);
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
                      CLoggerPrompter& prompter, const std::string& sFor) {
    CSerialPortList list = CSerialPortList::FromSettings();
    if (EnumerateSerialPorts(list, false, false, system, prompter) == 0) return false;
    CLoggerPromptsAsPrompter prompts(prompter);
    return RunSerialPortDialog(list, setting, system, prompts, sFor);
}

void CPortSlots::Close(int slot) {
    if (slot < 0 || slot >= kPortSlots) return;
    auto& p = port[static_cast<size_t>(slot)];
    if (p) p->Close();
    p.reset();
    sName[static_cast<size_t>(slot)].clear();
}

bool OpenSerialPort(CPortSlots& slots, int slot, const CSerialPortSetting& setting,
                    CSerialPortSystem& system, CLoggerPrompter& prompter, CClock& clock,
                    std::string* why) {
    if (slot < 0 || slot >= kPortSlots || slot == kSlotReserved) return false;
    CSerialPortList list = CSerialPortList::FromSettings();
    ApplyReportedPortNames(list, system);
    const std::string name = PortNameOf(setting, list);
    if (name.empty()) {
        if (why != nullptr) *why = "no port chosen";
        return false;
    }

    slots.Close(slot);
    const auto s = static_cast<size_t>(slot);
    CLoggerPromptsAsPrompter prompts(prompter);
    std::string error;
    auto port = OpenConfiguredPort(name, setting, slots.nOpen[s], system, prompts, clock, error);
    if (!port) {
        if (why != nullptr) *why = name + ": " + (error.empty() ? "cannot be opened" : error);
        return false;
    }
    slots.port[s] = std::move(port);
    slots.sName[s] = name;
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
    ApplyReportedPortNames(list, system_);
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
