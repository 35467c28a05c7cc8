// The acquisition state's life, the devices and the operator's commands: START/MARK, PAUSE,
// END LINE, file ID, data folder and prefix, geometry.
#include <algorithm>
#include <cstdlib>
#include <system_error>

#include "acquisition/acquisition_state.h"
#include "common/language.h"
#include "common/settings.h"
#include "common/survey_file.h"
#include "common/text_format.h"

namespace fs = std::filesystem;

namespace {
constexpr int kMaxFileID = 9999;
constexpr const char* kDefaultFilePrefix = "gant";
// NAME_MAX of the usual file systems (ext4, FAT long names, NTFS in UTF-16 units).
constexpr size_t kMaxFileNameBytes = 255;

// The next file ID after id: 0 after 9999 (and for anything that is no file ID).
int NextFileID(int id) {
    return id >= -1 && id < kMaxFileID ? id + 1 : 0;
}

const char* DeviceLabel(int slot) {
    switch (slot) {
        case kSlotGantrel:
            return "Gantrel";
        case kSlotGPS:
            return "GPS";
        default:
            return "2nd Gantrel";
    }
}
}  // namespace

fs::path DefaultDataFolder() {
#if defined(_WIN32)
    return "C:\\GantrelData";
#else
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0') return fs::path(home) / "GantrelData";
    return FallbackDataFolder();
#endif
}

fs::path FallbackDataFolder() {
#if defined(_WIN32)
    return "D:\\GantrelData";
#else
    std::error_code ec;
    const fs::path cwd = fs::current_path(ec);
    return (ec ? fs::path("/tmp") : cwd) / "GantrelData";
#endif
}

std::string DataFolderProblem(const fs::path& folder) {
    const std::string text = folder.string();
    if (text.empty()) return Tr("no folder is named", "フォルダが指定されていません");
    if (text.find('\0') != std::string::npos)
        return Tr("a NUL character in the name", "名前に NUL 文字があります");
    std::error_code ec;
    if (fs::is_directory(folder, ec)) return {};
    fs::create_directories(folder, ec);
    if (fs::is_directory(folder, ec)) return {};
    return ec ? ec.message() : Tr("it is not a folder", "フォルダではありません");
}

std::string FilePrefixProblem(std::string_view prefix) {
    for (const char c : prefix) {
        if (c == '/') return Tr("a '/' in it", "'/' があります");
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return Tr("a control character in it", "制御文字があります");
    }
    // The longest name made of it: "<prefix>_9999_sub.sto".
    const size_t longest = SurveyFilePath("", std::string(prefix), kMaxFileID, kSecondInstrument)
                               .filename()
                               .string()
                               .size();
    if (longest > kMaxFileNameBytes)
        return FormatC(Tr("file names of %zu bytes, longer than the %zu a file name may have",
                          "ファイル名が %zu バイトになり、上限の %zu バイトを超えます"),
                       longest, kMaxFileNameBytes);
    return {};
}

std::string SettingForMessage(std::string_view text) {
    size_t shown = std::min<size_t>(text.size(), 200);
    while (shown > 0 && shown < text.size() && (static_cast<unsigned char>(text[shown]) & 0xC0) == 0x80)
        --shown;  // not inside a UTF-8 character
    std::string out;
    for (size_t i = 0; i < shown; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F)
            out += FormatC("\\x%02X", c);
        else
            out.push_back(text[i]);
    }
    if (text.size() > shown)
        out += FormatC(Tr("... (%zu characters)", "... (%zu 文字)"), text.size());
    return "'" + out + "'";
}

fs::path SurveyFilePath(const fs::path& folder, const std::string& prefix, int iFileID,
                        int instrument) {
    const char* format = instrument == kSecondInstrument ? "%s_%04d_sub.sto" : "%s_%04d.sto";
    return folder / FormatC(format, prefix.c_str(), iFileID);
}

CAcquisitionState::CAcquisitionState(CSerialPortSystem& ports, CLoggerPrompter& prompter,
                                     CClock& clock)
    : ports_(ports), prompter_(prompter), clock_(clock) {
    geometry[kFirstInstrument] = LoadLoggerGeometry(kFirstInstrument);
    geometry[kSecondInstrument] = LoadLoggerGeometry(kSecondInstrument);
    for (CSerialPortSetting* s : {&gantrelSetting, &gpsSetting, &gantrel2Setting}) {
        s->Load();
        if (!s->sPortName.empty()) ports_.AddKnownDevice(s->sPortName);
    }

    // Every run of the program starts a new file number.
    iFileID = NextFileID(ReadSettingInt("iFileID", -1));
    WriteSettingInt("iFileID", iFileID);

    if (const std::string why = SettingsProblem(); !why.empty())
        settingsProblems.push_back(FormatC(
            Tr("The settings cannot be read (%s): the defaults are used and no setting can be "
               "kept.",
               "設定を読めません (%s): 既定値を使います。設定は保存できません。"),
            why.c_str()));
    const std::string stored = ReadSettingString("FolderPath", "");
    sDataFolder = stored.empty() ? DefaultDataFolder() : fs::path(stored);
    const std::string why = DataFolderProblem(sDataFolder);
    const bool bKeepStored = why.empty();
    if (!why.empty()) {
        // Replaced for this run only and said so; the saved value stays for the operator to
        // mend.
        fs::path instead = DefaultDataFolder();
        if (!DataFolderProblem(instead).empty()) {
            instead = FallbackDataFolder();
            (void)DataFolderProblem(instead);  // made when missing
        }
        settingsProblems.push_back(FormatC(
            Tr("The data folder %s cannot be used (%s): recording to %s.",
               "データフォルダ %s は使えません (%s): %s に記録します。"),
            SettingForMessage(sDataFolder.string()).c_str(), why.c_str(),
            instead.string().c_str()));
        sDataFolder = instead;
    }
    if (bKeepStored) WriteSettingString("FolderPath", sDataFolder.string());
    sFileNamePrefix = ReadSettingString("FileNamePrefix", kDefaultFilePrefix);
    if (const std::string bad = FilePrefixProblem(sFileNamePrefix); !bad.empty()) {
        settingsProblems.push_back(FormatC(
            Tr("The file name prefix %s cannot be used (%s): the prefix is %s.",
               "ファイル名の接頭辞 %s は使えません (%s): 接頭辞は %s です。"),
            SettingForMessage(sFileNamePrefix).c_str(), bad.c_str(), kDefaultFilePrefix));
        sFileNamePrefix = kDefaultFilePrefix;
    }
    for (const std::string& problem : settingsProblems) LogBoth(">>" + problem);
    RebuildPaths();

    latestFix.dLatitude = 0.0;
    latestFix.dLongitude = 0.0;
    WriteSuiteInt("GPS_Active", 0);

    form.gantrel = {Tr("Start Gantrel", "ｶﾞﾝﾄﾚﾙの受信"), kButtonGrey, true};
    form.gps = {Tr("Start GPS", "GPSの受信"), kButtonGrey, true};
    form.endLine = {"N/A", kButtonGrey, true};
    form.startMark = {"N/A", kButtonGrey, true};
    form.pause = {"N/A", kButtonGrey, true};
    UpdateFormFields();
    lastRefresh = clock_.Now();
}

CAcquisitionState::~CAcquisitionState() {
    WriteSuiteInt("GPS_Active", 0);
    for (int slot = 0; slot < kPortSlots; ++slot) slots.Close(slot);
    appender_.Flush();
}

void CAcquisitionState::LogBoth(const std::string& line) {
    dataLines.Append(line);
    receivedLines.Append(line);
}

void CAcquisitionState::Notify(const std::string& text) {
    LogBoth(text);
    form.sNotice = text;
    prompter_.Notice(text);
    RefreshForm();
}

void CAcquisitionState::RefreshForm() {
    UpdateFormFields();
    UpdateStatus();
    ++nFormRefreshes;
    if (onFormRefresh) onFormRefresh();
}

void CAcquisitionState::UpdateViews() {
    ++nViewUpdates;
    if (onViewsUpdate) onViewsUpdate();
}

void CAcquisitionState::UpdateFormFields() {
    form.iFileID = std::max(iFileID, 0);
    form.iLineID = std::max(iLineID, 0);
    form.iMarker = std::max(iMarkerNumber, 0);
    form.sFilePath = sSurveyPath[kFirstInstrument];
}

void CAcquisitionState::RebuildPaths() {
    const auto old = sSurveyPath;
    sSurveyPath[kFirstInstrument] =
        SurveyFilePath(sDataFolder, sFileNamePrefix, iFileID, kFirstInstrument);
    sSurveyPath[kSecondInstrument] =
        SurveyFilePath(sDataFolder, sFileNamePrefix, iFileID, kSecondInstrument);
    // The operator moved on: what the old file did not take is never written there later.
    for (const auto& path : old) {
        if (path.empty() || path == sSurveyPath[0] || path == sSurveyPath[1]) continue;
        if (!appender_.IsHolding(path)) continue;
        appender_.Abandon(path);
        for (const CHeldFile& f : appender_.HeldFiles())
            if (f.path == path && f.bAbandoned)
                Notify(FormatC(Tr("Caution !!! %d readings could not be saved to %s",
                                  "警告 !!! 測定値 %d 件を %s に保存できませんでした"),
                               f.Readings(), path.string().c_str()));
    }
    UpdateStatus();
}

int CAcquisitionState::UnsavedReadings() const {
    int n = 0;
    for (const CHeldFile& f : appender_.HeldFiles()) n += f.Readings();
    return n;
}

int CAcquisitionState::OfferHeldRecords() {
    FlushRecords();
    for (const CHeldFile& f : appender_.HeldFiles()) {
        if (f.held.nRecord == 0) continue;  // only refused ones: nothing left to save
        for (;;) {
            const std::string question =
                FormatC(Tr("%d readings could not be saved to %s: save them to another file?",
                           "測定値 %d 件を %s に保存できませんでした。別のファイルに保存しますか?"),
                        f.Readings(), f.path.string().c_str());
            if (!prompter_.Ask(question)) break;
            const auto to = prompter_.SaveFile(Tr("Save readings", "測定値の保存"),
                                               DefaultDataFolder() / f.path.filename());
            if (!to) break;
            if (appender_.SaveHeldTo(f.path, *to)) {
                FlushRecords();
                break;
            }
            prompter_.Message(
                FormatC(Tr("Cannot write the file %s", "ファイル %s に書き込めません"),
                        to->string().c_str()));
        }
    }
    return UnsavedReadings();
}

void CAcquisitionState::StartPollTimerIfNeeded() {
    if (bPollTimerRunning) return;
    bPollTimerRunning = true;
    if (onPollTimer) onPollTimer(true);
}

void CAcquisitionState::StopPollTimerIfIdle() {
    if (bGantrelStarted != 0 || bGantrel2Started != 0 || bGPSStarted != 0 || !bPollTimerRunning)
        return;
    bPollTimerRunning = false;
    if (onPollTimer) onPollTimer(false);
}

// ---------------------------------------------------------------------------------------------
// Devices

bool CAcquisitionState::StartDevice(int slot) {
    int& started = slot == kSlotGantrel ? bGantrelStarted
                   : slot == kSlotGPS   ? bGPSStarted
                                        : bGantrel2Started;
    CSerialPortSetting& setting = slot == kSlotGantrel ? gantrelSetting
                                  : slot == kSlotGPS   ? gpsSetting
                                                       : gantrel2Setting;
    if (started != 0) return false;
    const CSerialPortSetting before = setting;
    if (!ChooseSerialPort(setting, ports_, prompter_, DeviceLabel(slot))) return false;
    serialLogs.FixPaths(sDataFolder);
    std::string why;
    if (!OpenSerialPort(slots, slot, setting, ports_, prompter_, clock_, &why)) {
        // The port that worked last time stays the one offered next time.
        setting = before;
        setting.Save();
        prompter_.Message(FormatC(Tr("Could not open serial port for %s\n%s",
                                     "%s のシリアルポートを開けませんでした\n%s"),
                                  DeviceLabel(slot), why.c_str()));
        return false;
    }
    started = 1;
    StartPollTimerIfNeeded();
    return true;
}

void CAcquisitionState::StopDevice(int slot) {
    int& started = slot == kSlotGantrel ? bGantrelStarted
                   : slot == kSlotGPS   ? bGPSStarted
                                        : bGantrel2Started;
    if (started == 0) return;
    WriteSuiteInt("GPS_Active", 0);
    slots.Close(slot);
    sLostPort[static_cast<size_t>(slot)].clear();
    started = 0;
    if (slot == kSlotGantrel) bGantrelDemonstration = 0;
    if (slot == kSlotGPS) {
        bGPSDemonstration = 0;
        bRegistryGPS = 0;  // the GPS stopped is the GPS the registry fed too
    }
    StopPollTimerIfIdle();
}

// A cable that slips must not end the day's recording: the device stays started, its line
// stays open, and the same device path is tried again on every tick until it opens.
void CAcquisitionState::DeviceLost(int slot) {
    const auto s = static_cast<size_t>(slot);
    const std::string name = slots.sName[s];
    Notify(FormatC(Tr("Caution !!! The serial port %s of %s was disconnected.",
                      "警告 !!! %s (%s) のシリアルポートが切断されました。"),
                   name.c_str(), DeviceLabel(slot)));
    slots.Close(slot);
    sLostPort[s] = name.empty() ? std::string("?") : name;
    ++nLost[s];
    // Its button stays usable for stopping it, even in the middle of a line.
    if (slot == kSlotGantrel) form.gantrel.bEnabled = true;
    if (slot == kSlotGPS) form.gps.bEnabled = true;
    RefreshForm();
}

void CAcquisitionState::TryReconnect(int slot) {
    const auto s = static_cast<size_t>(slot);
    const CSerialPortSetting& setting = slot == kSlotGantrel ? gantrelSetting
                                        : slot == kSlotGPS   ? gpsSetting
                                                             : gantrel2Setting;
    SerialLineSettings line;
    line.iBaudRate = setting.BaudRate();
    line.iStopBits = setting.StopBitsCode();
    std::string error;
    auto port = ports_.Open(sLostPort[s], line, error);
    if (!port) return;
    slots.port[s] = std::move(port);
    slots.sName[s] = sLostPort[s];
    sLostPort[s].clear();
    Notify(FormatC(Tr(">>The serial port %s of %s was reconnected.",
                      ">>%s (%s) のシリアルポートが再接続されました。"),
                   slots.sName[s].c_str(), DeviceLabel(slot)));
    if (slot == kSlotGantrel && iRecordState == 1) form.gantrel.bEnabled = false;
    if (slot == kSlotGPS && iRecordState == 1) form.gps.bEnabled = false;
    RefreshForm();
}

void CAcquisitionState::ShowGantrelButtons() {
    if (bGantrelStarted == 0) {
        form.gantrel.sCaption = Tr("Start Gantrel", "ｶﾞﾝﾄﾚﾙの受信");
        form.gantrel.color = kButtonGrey;
        form.startMark = {"N/A", kButtonGrey, form.startMark.bEnabled};
        return;
    }
    form.gantrel.sCaption = Tr("Stop Gantrel", "ｶﾞﾝﾄﾚﾙの終了");
    form.gantrel.color = kButtonGreen;
    // What START/MARK does now.
    if (bPaused != 0)
        form.startMark = {"N/A", kButtonGrey, form.startMark.bEnabled};
    else if (iRecordState == 1)
        form.startMark = {Tr("MARK (M)", "マーカー (M)"), kButtonGreen, form.startMark.bEnabled};
    else
        form.startMark = {Tr("START (M)", "測定開始 (M)"), kButtonGreen, form.startMark.bEnabled};
}

void CAcquisitionState::ShowGPSButton() {
    if (bGPSStarted != 0 && bRegistryGPS == 0) {
        form.gps.sCaption = Tr("Stop GPS", "GPSの終了");
        form.gps.color = kButtonGreen;
    } else {
        form.gps.sCaption = Tr("Start GPS", "GPSの受信");
        form.gps.color = kButtonGrey;
    }
}

bool CAcquisitionState::StartGantrel() {
    const bool ok = StartDevice(kSlotGantrel);
    if (ok && iRecordState == 1) form.gantrel.bEnabled = false;  // back in its line
    ShowGantrelButtons();
    return ok;
}

bool CAcquisitionState::StartGPS() {
    const bool ok = StartDevice(kSlotGPS);
    if (ok && iRecordState == 1) form.gps.bEnabled = false;
    ShowGPSButton();
    return ok;
}

bool CAcquisitionState::StartGantrel2() {
    return StartDevice(kSlotGantrel2);
}

void CAcquisitionState::StopGantrel() {
    StopDevice(kSlotGantrel);
    ShowGantrelButtons();
}

void CAcquisitionState::StopGPS() {
    StopDevice(kSlotGPS);
    ShowGPSButton();
}

void CAcquisitionState::StopGantrel2() {
    StopDevice(kSlotGantrel2);
}

void CAcquisitionState::ToggleGantrel() {
    if (bGantrelStarted != 0)
        StopDevice(kSlotGantrel);
    else
        StartGantrel();
    clock_.SleepMs(50);
    ShowGantrelButtons();
}

void CAcquisitionState::ToggleGPS() {
    if (bGPSStarted != 0)
        StopDevice(kSlotGPS);
    else
        StartGPS();
    clock_.SleepMs(50);
    ShowGPSButton();
}

// ---------------------------------------------------------------------------------------------
// Line recording

void CAcquisitionState::WriteMarker(int iKind, CClockTime t) {
    CMarkerData m;
    m.time = t.time;
    m.iMilliSecond = t.iMilliSecond;
    m.iLineID = iLineID;
    m.iMarkerNumber = iMarkerNumber;
    m.iKind = iKind;
    m.iRecordType = 5;
    markers.Append(m);
    const std::string record = FormatMarkerRecord(m, MarkerForm::Survey);
    bool ok = WriteRecord(kFirstInstrument, record, RecordKind::Marker);
    if (bGantrel2Started != 0)
        ok = WriteRecord(kSecondInstrument, record, RecordKind::Marker) && ok;
    if (!ok) CautionNotSaved();
}

void CAcquisitionState::StartMark() {
    if (!CanMark()) return;
    if (iRecordState == 0) {
        const CClockTime t = clock_.Now();
        for (auto& g : geometry) {
            g.time = t.time;
            g.iMilliSecond = t.iMilliSecond;
        }
        bool ok = WriteRecord(kFirstInstrument, LoggerGeometryRecord(geometry[kFirstInstrument]),
                              RecordKind::Other);
        if (bGantrel2Started != 0)
            ok = WriteRecord(kSecondInstrument, LoggerGeometryRecord(geometry[kSecondInstrument]),
                             RecordKind::Other) &&
                 ok;
        if (!ok) CautionNotSaved();
        form.startMark = {Tr("MARK (M)", "マーカー (M)"), kButtonGreen, true};
        form.endLine = {Tr("END LINE (E)", "測定終了 (E)"), kButtonRed, true};
        form.pause = {Tr("PAUSE (P)", "一時停止 (P)"), kButtonYellow, true};
        ++iLineID;
        ++recorded.nLine;
        iRecordState = 1;
        iMarkerNumber = 0;
        LogBoth(Tr(">>Start acquisition", ">>測定開始"));
        form.bSetUpGeometryEnabled = false;
        form.gantrel.bEnabled = false;
        form.gps.bEnabled = false;
        WriteMarker(1, t);
    } else {
        ++iMarkerNumber;
        LogBoth(FormatC(Tr(">>Marker (%d)", ">>ﾏｰｶｰ (%d)"), iMarkerNumber));
        WriteMarker(1, clock_.Now());
    }
    FlushRecords();
    RefreshForm();
}

void CAcquisitionState::Pause() {
    if (bGantrelStarted == 0) return;
    if (bPaused != 0) {
        if (iRecordState == 1) {
            form.pause = {Tr("PAUSE (P)", "一時停止 (P)"), kButtonYellow, true};
            form.startMark = {Tr("MARK (M)", "マーカー (M)"), kButtonGreen, true};
        } else {
            // Paused and re-started between lines: the buttons show what they do now.
            form.pause = {"N/A", kButtonGrey, true};
            form.startMark = {Tr("START (M)", "測定開始 (M)"), kButtonGreen, true};
        }
        LogBoth(Tr(">>Pause end", ">>再開"));
        bPaused = 0;
    } else {
        form.pause = {Tr("Re-START (P)", "再開 (P)"), kButtonGreen, true};
        form.startMark = {"N/A", kButtonGrey, true};
        LogBoth(Tr(">>Pause start", ">>一時停止"));
        bPaused = 1;
    }
    RefreshForm();
}

void CAcquisitionState::EndLine() {
    if (iRecordState != 1) return;
    form.startMark = bGantrelStarted != 0
                         ? CButtonState{Tr("START (M)", "測定開始 (M)"), kButtonGreen, true}
                         : CButtonState{"N/A", kButtonGrey, true};
    form.endLine = {"N/A", kButtonGrey, true};
    form.pause = {"N/A", kButtonGrey, true};
    ++iMarkerNumber;
    iRecordState = 0;
    bPaused = 0;
    WriteMarker(2, clock_.Now());
    LogBoth(Tr(">>End line", ">>測定終了"));
    form.bSetUpGeometryEnabled = true;
    form.gantrel.bEnabled = true;
    form.gps.bEnabled = true;
    FlushRecords();
    RefreshForm();
}

bool CAcquisitionState::OnKey(char key) {
    // A line can always be ended: a lost or stopped console must not keep it open.
    if ((key == 'E' || key == 'e') && iRecordState == 1) {
        EndLine();
        return true;
    }
    if (bGantrelStarted == 0) return false;
    switch (key) {
        case 'M':
        case 'm':
            StartMark();
            return true;
        case 'E':
        case 'e':
            EndLine();
            return true;
        case 'P':
        case 'p':
            Pause();
            return true;
        default:
            return false;
    }
}

void CAcquisitionState::IncrementFileID() {
    // A new file in the middle of a line would hold readings without their geometry record.
    if (!CanIdleCommand()) return;
    iFileID = NextFileID(iFileID);
    WriteSettingInt("iFileID", iFileID);
    RebuildPaths();
    LogBoth(FormatC(Tr(">>Incremented File ID (ID=%d)", ">>ﾌｧｲﾙIDを進めました (ID=%d)"), iFileID));
    RefreshForm();
}

bool CAcquisitionState::DataFileNameAndFolder() {
    if (!CanIdleCommand()) return false;
    CDlgSetFileNameAndFolder dlg;
    dlg.sPrefix = sFileNamePrefix;
    dlg.sFolder = sDataFolder;
    if (!prompter_.EditDialog(dlg)) return false;
    if (const std::string why = FilePrefixProblem(dlg.sPrefix); !why.empty()) {
        prompter_.Message(FormatC(Tr("The file name prefix %s cannot be used (%s).",
                                     "ファイル名の接頭辞 %s は使えません (%s)。"),
                                  SettingForMessage(dlg.sPrefix).c_str(), why.c_str()));
        return false;
    }
    sFileNamePrefix = dlg.sPrefix;
    sDataFolder = dlg.sFolder;
    RebuildPaths();
    WriteSettingString("FolderPath", sDataFolder.string());
    WriteSettingString("FileNamePrefix", sFileNamePrefix);
    LogBoth(FormatC(">>File name prefix was changed to '%s'", sFileNamePrefix.c_str()));
    LogBoth(FormatC(">>Data folder was changed to '%s'", sDataFolder.string().c_str()));
    RefreshForm();
    return true;
}

bool CAcquisitionState::SetUpGeometry(int instrument) {
    if (!CanIdleCommand()) return false;
    instrument = instrument == kSecondInstrument ? kSecondInstrument : kFirstInstrument;
    CGantrelGeometry& g = geometry[static_cast<size_t>(instrument)];
    CDlgGantrelGeometry dlg = CDlgGantrelGeometry::From(g);
    if (!prompter_.EditDialog(dlg)) return false;
    dlg.ApplyTo(g);
    SaveLoggerGeometry(g, instrument);
    RefreshForm();
    return true;
}
