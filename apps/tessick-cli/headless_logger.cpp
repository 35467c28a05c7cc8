#include "apps/tessick-cli/headless_logger.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <memory>
#include <ostream>
#include <system_error>

#include "acquisition/acquisition_state.h"
#include "common/ini_settings.h"
#include "common/language.h"
#include "common/settings.h"
#include "common/survey_file.h"
#include "common/text_format.h"
#include "live/live_section.h"
#include "platform/curl_http_client.h"
#include "platform/posix_serial_port.h"

namespace fs = std::filesystem;

namespace {
volatile std::sig_atomic_t g_stop = 0;
extern "C" void OnStopSignal(int) {
    g_stop = 1;
}

// Installs the stop handlers for the run and puts the previous ones back after it.
class CStopSignals {
public:
    CStopSignals() {
        g_stop = 0;
        struct sigaction sa {};
        sa.sa_handler = OnStopSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = 0;  // no restart: a wait on the keys returns at once
        sigaction(SIGTERM, &sa, &oldTerm_);
        sigaction(SIGINT, &sa, &oldInt_);
    }
    ~CStopSignals() {
        sigaction(SIGTERM, &oldTerm_, nullptr);
        sigaction(SIGINT, &oldInt_, nullptr);
    }
    CStopSignals(const CStopSignals&) = delete;
    CStopSignals& operator=(const CStopSignals&) = delete;

private:
    struct sigaction oldTerm_ {};
    struct sigaction oldInt_ {};
};

// The logger's questions answered from the options; its messages printed.
class CCliPrompter : public CLoggerPrompter {
public:
    explicit CCliPrompter(std::ostream& out) : out_(out) {}
    void Message(const std::string& text) override { out_ << text << "\n" << std::flush; }
    bool EditDialog(CDialogValues& values) override {
        if (auto* port = dynamic_cast<CDlgRS232C*>(&values)) {
            if (device.sPath.empty()) return false;
            port->sDevice = device.sPath;
            if (device.iBaudIndex >= 0) port->iBaudRate = device.iBaudIndex;
            return true;
        }
        if (auto* open = dynamic_cast<CDlgOpenLogFile*>(&values)) {
            if (file.empty()) return false;
            open->sPath = file;
            return true;
        }
        return false;  // geometry, folder: the settings hold them
    }
    // Nobody to answer at exit: what could not be saved is listed in the summary instead.
    bool Ask(const std::string&) override { return false; }

    CCliDevice device;  // answers the next serial port dialog
    fs::path file;      // answers the next log file dialog

private:
    std::ostream& out_;
};

// Keys from a terminal (one per key press, without echo) or from a pipe (one per line). A
// terminal is touched only while the logger is its foreground job: a job started in the
// background (or sent there) that set or read its terminal would be stopped by the shell and
// record nothing. Its keys are read once it is brought to the foreground.
class CKeyInput {
public:
    explicit CKeyInput(int fd) : fd_(fd) {
        bTerminal_ = ::isatty(fd) == 1;
        TakeTerminal();
    }
    ~CKeyInput() {
        if (!bRaw_) return;
        // Put back even from the background: with SIGTTOU ignored the call is not stopped.
        struct sigaction ignore {
        }, old{};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        sigaction(SIGTTOU, &ignore, &old);
        tcsetattr(fd_, TCSANOW, &saved_);
        sigaction(SIGTTOU, &old, nullptr);
    }
    CKeyInput(const CKeyInput&) = delete;
    CKeyInput& operator=(const CKeyInput&) = delete;

    // Waits at most `wait` (less when a key or a signal comes) and appends the keys read.
    void Wait(std::chrono::nanoseconds wait, std::string& keys) {
        if (wait < std::chrono::nanoseconds(0)) wait = std::chrono::nanoseconds(0);
        timespec limit{};
        limit.tv_sec = static_cast<time_t>(wait.count() / 1000000000);
        limit.tv_nsec = static_cast<long>(wait.count() % 1000000000);
        pollfd p{fd_, POLLIN, 0};
        if (bTerminal_) TakeTerminal();
        // A signal ends the wait early; with the keys' end reached, or a terminal that is not
        // ours now, only time is waited for.
        const bool bRead = !bClosed_ && (!bTerminal_ || (bRaw_ && Foreground()));
        if (::ppoll(bRead ? &p : nullptr, bRead ? 1 : 0, &limit, nullptr) <= 0 || !bRead) return;
        char buf[256];
        const ssize_t n = ::read(fd_, buf, sizeof buf);
        if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) {
            bClosed_ = true;  // the pipe's end: the script or a signal ends the run
            return;
        }
        for (ssize_t i = 0; i < n; ++i) {
            const char c = buf[i];
            if (bTerminal_) {
                keys.push_back(c);
            } else if (c == '\n' || c == '\r') {
                const auto first = std::find_if(line_.begin(), line_.end(), [](char ch) {
                    return !std::isspace(static_cast<unsigned char>(ch));
                });
                if (first != line_.end()) keys.push_back(*first);
                line_.clear();
            } else if (line_.size() < 256) {
                line_.push_back(c);
            }
        }
    }

private:
    // A terminal that is not the controlling one has no jobs: it is always ours.
    bool Foreground() const {
        const pid_t group = ::tcgetpgrp(fd_);
        return group < 0 || group == ::getpgrp();
    }
    void TakeTerminal() {
        if (!bTerminal_ || bRaw_ || !Foreground() || tcgetattr(fd_, &saved_) != 0) return;
        termios raw = saved_;
        raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));  // ISIG stays: Ctrl-C
        raw.c_cc[VMIN] = 0;
        raw.c_cc[VTIME] = 0;
        bRaw_ = tcsetattr(fd_, TCSANOW, &raw) == 0;
    }

    int fd_;
    bool bTerminal_ = false;
    bool bRaw_ = false;
    bool bClosed_ = false;
    termios saved_{};
    std::string line_;
};

// Why the folder cannot take survey files ("" when it can): made if missing, then a file is
// created in it and removed again.
std::string FolderProblem(const fs::path& folder) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (!fs::is_directory(folder, ec))
        return ec ? ec.message() : Tr("it is not a folder", "フォルダではありません");
    const fs::path probe = folder / (".tessick-cli-" + std::to_string(::getpid()));
    const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return std::strerror(errno);
    ::close(fd);
    ::unlink(probe.c_str());
    return "";
}

bool StartsWith(const std::string& s, const char* prefix) {
    return s.rfind(prefix, 0) == 0;
}

std::int64_t Ms(CClockTime t) {
    return t.time * 1000 + t.iMilliSecond;
}
}  // namespace

int RunHeadlessLogger(const CCliOptions& o, std::ostream& out, int inFd) {
    CStopSignals signals;  // from the start: a stop while the devices start is kept too
    SetLanguage(o.iLanguage);
    CIniSettingsBackend settings(kLoggingProgramTitle);
    SetSettingsBackend(&settings);
    struct Restore {
        ~Restore() { SetSettingsBackend(nullptr); }
    } restoreSettings;

    fs::path requestedFolder;
    if (o.folder) {
        std::error_code ec;
        requestedFolder = fs::absolute(*o.folder, ec);
        if (ec) requestedFolder = *o.folder;
        // A folder given that cannot take the survey files ends the run: recording elsewhere
        // (and storing that for the window) would put the day's data where nobody looks.
        const std::string why = FolderProblem(requestedFolder);
        if (!why.empty()) {
            out << "tessick-cli: "
                << FormatC(Tr("cannot record to the folder %s: %s\n",
                              "フォルダ %s に記録できません: %s\n"),
                           requestedFolder.string().c_str(), why.c_str())
                << std::flush;
            return 1;
        }
        WriteSettingString("FolderPath", requestedFolder.string());
    }
    // A run that cannot start its devices gives the file ID back (-1: the first run's 0).
    const int iFileIDBefore = ReadSettingInt("iFileID", -1);
    if (o.prefix) WriteSettingString("FileNamePrefix", *o.prefix);
    // The start of the logger moves the file ID on by one: it is set one lower.
    if (o.fileID) WriteSettingInt("iFileID", *o.fileID - 1);
    if (o.geometry) {
        // As the geometry dialog's OK stores it.
        CGantrelGeometry g = LoadLoggerGeometry(kFirstInstrument);
        g.iDipoleIndex = o.geometry->iTransmitterIndex;
        g.iDipoleIndexReceiver = o.geometry->iReceiverIndex;
        g.bDifferentSize = g.iDipoleIndex != g.iDipoleIndexReceiver ? 1 : 0;
        g.fRopeLength = o.geometry->fRopeLength;
        g.SizeFromIndex();
        SaveLoggerGeometry(g, kFirstInstrument);
    }

    CSystemClock systemClock;
    CManualClock simulated(systemClock.Now());
    CClock& clock = o.dSpeed > 0.0 ? static_cast<CClock&>(simulated) : systemClock;

    CPosixSerialPortSystem ports;
    CCliPrompter prompter(out);
    CAcquisitionState state(ports, prompter, clock);
    if (o.folder && state.sDataFolder != requestedFolder)
        out << "Caution !!! Could not make the data folder " << requestedFolder.string()
            << "; recording to " << state.sDataFolder.string() << "\n";

    const bool bSerialLogWasOn = state.serialLogs.IsOn();
    if (o.bSerialLog && !bSerialLogWasOn) state.ToggleSaveSerialPortLog();

    std::unique_ptr<CCurlHttpClient> http;
    std::unique_ptr<CReadingUploader> uploader;
    if (o.uploadURL) {
        http = std::make_unique<CCurlHttpClient>();
        uploader = std::make_unique<CReadingUploader>(*http);
        uploader->SetURL(*o.uploadURL);
        state.SetUploader(uploader.get());
        state.SetUpload(true);
    }
    struct DetachUploader {
        CAcquisitionState& s;
        ~DetachUploader() { s.SetUploader(nullptr); }
    } detach{state};

    // The live section hears every record once it is in the survey file.
    std::unique_ptr<CLiveSection> live;
    if (o.bLive) {
        live = std::make_unique<CLiveSection>(o.live);
        state.onRecordWritten = [&live](int instrument, const std::string& record) {
            if (instrument == kFirstInstrument) live->TakeRecord(record);
        };
    }
    struct DetachLive {
        CAcquisitionState& s;
        ~DetachLive() { s.onRecordWritten = nullptr; }
    } detachLive{state};
    // At END LINE and at quit, while nothing is recorded: the section is made current first.
    auto writeLive = [&] {
        if (!live) return;
        if (!live->WaitUntilCurrent(std::chrono::seconds(10)))
            out << Tr("Caution !!! The live section is not current yet\n",
                      "Caution !!! ライブ断面はまだ最新ではありません\n");
        if (!o.liveModel) return;
        SurveySaveReport report;
        if (live->WriteSectionFile(*o.liveModel, &report))
            out << FormatC(Tr("Live model written: %s\n", "ライブモデルを書き込みました: %s\n"),
                           o.liveModel->string().c_str());
        else
            out << Tr("Caution !!! Could not write the live model: ",
                      "Caution !!! ライブモデルを書き込めませんでした: ")
                << SurveySaveMessage(report, *o.liveModel, false) << "\n";
        out << std::flush;
    };

    auto fail = [&](const std::string& what) {
        out << "tessick-cli: " << what << "\n" << std::flush;
        WriteSettingInt("iFileID", iFileIDBefore);
        if (o.bSerialLog && !bSerialLogWasOn) state.ToggleSaveSerialPortLog();
        return 1;
    };
    // Recording on with settings that could not be used would put the day's data where nobody
    // looks, or under a file ID the next run gives again.
    if (!state.settingsProblems.empty()) {
        for (const std::string& problem : state.settingsProblems)
            out << "tessick-cli: " << problem << "\n";
        return fail(Tr("not started: the settings above cannot be used",
                       "開始しません: 上の設定は使えません"));
    }
    auto startPort = [&](const CCliDevice& d, bool (CAcquisitionState::*start)()) {
        ports.AddKnownDevice(d.sPath);
        prompter.device = d;
        const bool ok = (state.*start)();
        prompter.device = {};
        return ok;
    };

    if (o.gps && !startPort(*o.gps, &CAcquisitionState::StartGPS))
        return fail(FormatC(Tr("could not start the GPS on %s", "%s で GPS を開始できません"),
                            o.gps->sPath.c_str()));
    if (o.bGPSRegistry) state.ToggleRegistryGPS();
    if (o.gpsDemo != CliGPSDemo::None) {
        prompter.file = o.gpsDemoFile;
        const int kind = o.gpsDemo == CliGPSDemo::Track ? kDemoGPSTrack : kDemoGPSReadFile;
        if (!state.StartDemonstration(kSlotGPS, kind))
            return fail(Tr("could not start the GPS demonstration", "GPS デモを開始できません"));
    }
    if (o.port && !startPort(*o.port, &CAcquisitionState::StartGantrel))
        return fail(
            FormatC(Tr("could not start the instrument on %s", "%s で測定器を開始できません"),
                    o.port->sPath.c_str()));
    if (o.demo != CliInstrumentDemo::None) {
        prompter.file = o.demoFile;
        const int kind = o.demo == CliInstrumentDemo::Constant   ? kDemoConstantModel
                         : o.demo == CliInstrumentDemo::TwoLayer ? kDemoTwoLayerModel
                                                                 : kDemoReadFile;
        if (!state.StartDemonstration(kSlotGantrel, kind))
            return fail(
                Tr("could not start the instrument demonstration", "測定器のデモを開始できません"));
    }
    if (o.port2 && !startPort(*o.port2, &CAcquisitionState::StartGantrel2))
        return fail(FormatC(
            Tr("could not start the second instrument on %s", "%s で第2測定器を開始できません"),
            o.port2->sPath.c_str()));

    out << FormatC(Tr("Recording to %s; keys: m START/MARK, p PAUSE, e END LINE, q quit\n",
                      "記録先 %s。キー: m 測定開始/マーカー、p 一時停止、e 測定終了、q 終了\n"),
                   state.sSurveyPath[kFirstInstrument].string().c_str())
        << std::flush;

    CKeyInput input(inFd);
    std::uint64_t seen = state.dataLines.Total();
    auto printNew = [&] {
        const std::uint64_t total = state.dataLines.Total();
        const auto n = static_cast<int>(std::min<std::uint64_t>(
            total - seen, static_cast<std::uint64_t>(state.dataLines.Count())));
        seen = total;
        for (int i = state.dataLines.Count() - n; i < state.dataLines.Count(); ++i) {
            const std::string& line = state.dataLines[static_cast<size_t>(i)];
            if (line.empty()) continue;  // the log's marks of a pause in the data
            if (o.bEcho || StartsWith(line, ">>") || StartsWith(line, "Caution") ||
                StartsWith(line, "Upload") || line == kCautionOutOfRange)
                out << line << "\n";
        }
        out << std::flush;
    };

    using steady = std::chrono::steady_clock;
    const auto period =
        std::chrono::duration_cast<steady::duration>(std::chrono::duration<double, std::milli>(
            CAcquisitionState::kPollPeriod / (o.dSpeed > 0.0 ? o.dSpeed : 1.0)));
    const std::int64_t t0 = Ms(clock.Now());
    auto next = steady::now() + period;
    size_t iScript = 0;
    bool bQuit = false;
    int lastRecordState = state.iRecordState;
    while (!bQuit && g_stop == 0) {
        std::string keys;
        const auto now = steady::now();
        if (now < next) input.Wait(next - now, keys);
        if (steady::now() >= next) {
            next += period;
            if (o.dSpeed <= 0.0 && next < steady::now()) next = steady::now() + period;
            if (o.dSpeed > 0.0) simulated.Advance(CAcquisitionState::kPollPeriod);
            state.Tick(CAcquisitionState::kPollTimer);
            while (iScript < o.script.size() && o.script[iScript].iMs <= Ms(clock.Now()) - t0)
                keys.push_back(o.script[iScript++].key);
        }
        for (const char k : keys) {
            if (k == 'q' || k == 'Q') {
                bQuit = true;
                break;
            }
            state.OnKey(k);
        }
        printNew();
        if (lastRecordState == 1 && state.iRecordState == 0) writeLive();
        lastRecordState = state.iRecordState;
    }
    if (g_stop != 0) out << Tr("Stopped by a signal\n", "シグナルで停止しました\n");
    // As the window's exit: a line being recorded is ended first, whatever the devices do.
    state.EndLine();
    writeLive();
    if (uploader) {
        uploader->WaitIdle(std::chrono::milliseconds(5000));
        state.TakeUploadEvents();
    }
    // Held records get their last chance at their own file; what is left is reported.
    const int nUnsaved = state.OfferHeldRecords();
    printNew();

    const auto& r = state.recorded;
    out << FormatC(Tr("Lines: %d  Readings: %d  Fixes: %d  Markers: %d\n",
                      "測線: %d  測定値: %d  測位: %d  マーカー: %d\n"),
                   r.nLine, r.nReading, r.nFix, r.nMarker);
    for (const auto& f : r.files)
        out << FormatC(Tr("File written: %s\n", "書き込んだファイル: %s\n"), f.string().c_str());
    if (r.files.empty()) out << Tr("No file written\n", "書き込んだファイルはありません\n");
    if (live) {
        const LiveSectionSummary sum = live->Summary();
        out << FormatC(Tr("Live section: %d columns, %d inverted, median misfit %.4f\n",
                          "ライブ断面: %d 列、インバージョン済み %d 列、ミスフィット中央値 %.4f\n"),
                       sum.nColumn, sum.nInverted, static_cast<double>(sum.fMedianMisfit));
    }
    if (uploader) {
        const CUploadCounts c = uploader->Counts();
        out << FormatC(Tr("Upload: %d offered, %d uploaded, %d failed, %d dropped (queue full), "
                          "%d cancelled, %d waiting at exit\n",
                          "アップロード: 対象 %d、送信 %d、失敗 %d、破棄 (キュー満杯) %d、"
                          "取消 %d、終了時に待機中 %d\n"),
                       c.nOffered, c.nUploaded, c.nFailed, c.nDroppedFull, c.nCancelled,
                       c.nWaiting);
    }
    for (const CHeldFile& f : state.HeldFiles())
        out << FormatC(Tr("%d readings could not be saved to %s\n",
                          "測定値 %d 件を %s に保存できませんでした\n"),
                       f.Readings(), f.path.string().c_str());
    int nLost = 0;
    for (int slot : {kSlotGantrel, kSlotGantrel2}) nLost += state.nLost[static_cast<size_t>(slot)];
    if (nLost > 0)
        out << FormatC(Tr("Instrument disconnected %d time(s) during the run\n",
                          "実行中に測定器が %d 回切断されました\n"),
                       nLost);
    out << std::flush;
    if (o.bSerialLog && !bSerialLogWasOn) state.ToggleSaveSerialPortLog();
    return nUnsaved > 0 || !state.HeldFiles().empty() || nLost > 0 ? 1 : 0;
}
