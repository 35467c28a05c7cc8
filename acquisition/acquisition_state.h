// The field logger's engine without a window: the acquisition state of the program with its
// devices, record rings and logs, the poll-timer tick that reads the serial ports and
// dispatches every line (console readings, GGA sentences), the recording of survey files
// and the operator's commands (START/MARK, PAUSE, END LINE, file ID, folder and prefix).
//
// Everything runs on one thread: the shell calls Tick from its timer and the commands from
// its buttons, keys and menus, never at the same time. What the control form shows (button
// captions, colours, enabled states, the file, line and marker numbers) is plain data in
// `form`, kept up to date by the commands.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "acquisition/demonstration.h"
#include "acquisition/logger_geometry.h"
#include "acquisition/logger_prompter.h"
#include "acquisition/record_ring.h"
#include "acquisition/serial_ports.h"
#include "acquisition/survey_appender.h"
#include "common/canvas.h"
#include "common/clock.h"
#include "common/line_assembler.h"
#include "common/survey.h"
#include "upload/reading_uploader.h"

// A reading as the logger keeps it.
struct CLoggerReading : CGantrelData {
    int bRecorded = 0;  // 1 when taken while a line was recorded and not paused
};

// Kinds of DispatchLine.
inline constexpr int kLineGantrel = 0;      // first-instrument reading handled
inline constexpr int kLineGGA = 1;          // GGA sentence handled
inline constexpr int kLineOtherGPS = 2;     // other GPS-port line
inline constexpr int kLineGantrel2 = 3;     // second-instrument reading handled
inline constexpr int kLineNotSaved = -1;    // a reading that could not be written to its file
inline constexpr int kLineNoKind = -2;      // handling raised an exception
inline constexpr int kLineOutOfRange = -3;  // a reading with a value no record can hold

// ParseConsoleRecord's result for a reading with a value no record can hold (NaN, an
// infinity, |V/I| above 1e8): shown, kept in the ring, not recorded.
inline constexpr int kReadingOutOfRange = -2;

inline constexpr const char* kCautionNotSaved = "Caution !!! Could not save data.";
inline constexpr const char* kCautionOutOfRange = "Reading not recorded: value out of range";

// Button face colours.
inline constexpr CColor kButtonGrey{230, 230, 230};
inline constexpr CColor kButtonRed{255, 0, 0};
inline constexpr CColor kButtonGreen{0, 255, 0};
inline constexpr CColor kButtonYellow{255, 255, 0};

struct CButtonState {
    std::string sCaption;
    CColor color = kButtonGrey;
    bool bEnabled = true;
    friend bool operator==(const CButtonState&, const CButtonState&) = default;
};

// The control form's acquisition controls and fields.
struct CControlFormState {
    CButtonState gantrel;               // 2101 start/stop first instrument
    CButtonState gps;                   // 2102 start/stop GPS
    CButtonState endLine;               // 2103 END LINE
    CButtonState startMark;             // 2104 START / MARK
    CButtonState pause;                 // 2105 PAUSE / Re-START
    bool bSetUpGeometryEnabled = true;  // 1012
    // "File ID=", "Line ID=", "Mark =": negative values show as 0.
    int iFileID = 0, iLineID = 0, iMarker = 0;
    std::filesystem::path sFilePath;  // "File path and name="
    // What keeps the recording from being whole, for the form's status; empty when nothing
    // does: records held for a file that does not take them, a device waiting to come back.
    std::string sStatus;
    bool bSaveFailing = false;  // the current survey file holds records back
    // The latest notice (Notify), kept until the next one; "" before the first.
    std::string sNotice;
};

// The data folder a fresh installation records to: "GantrelData" in the user's home folder.
std::filesystem::path DefaultDataFolder();
// Where the logger records when the data folder can be neither found nor made.
std::filesystem::path FallbackDataFolder();
// Why a folder cannot hold survey files ("" when it can): made when missing.
std::string DataFolderProblem(const std::filesystem::path& folder);
// Why a file name prefix cannot name survey files ("" when it can): a path separator or a
// control character in it, or a file name longer than the file system takes.
std::string FilePrefixProblem(std::string_view prefix);
// A setting's text fit for a message: control characters as \xNN, long texts cut with the
// count of characters.
std::string SettingForMessage(std::string_view text);
// "<folder>/<prefix>_%04d.sto", or "..._sub.sto" for the second instrument.
std::filesystem::path SurveyFilePath(const std::filesystem::path& folder, const std::string& prefix,
                                     int iFileID, int instrument);

// "File name and folder " dialog.
struct CDlgSetFileNameAndFolder : CDialogValues {
    std::string DialogName() const override { return "File name and folder "; }
    std::string sPrefix;            // edit "File name prefix"
    std::filesystem::path sFolder;  // read-only "Folder path", set with "SET"
    static constexpr const char* kChooseFolderTitle = "Select destination folder";
};

class CAcquisitionState {
public:
    static constexpr int kPollTimer = 0;
    static constexpr int kPollPeriod = 100;            // ms
    static constexpr int kDemonstrationPeriod = 1000;  // ms
    static constexpr std::size_t kReadBufferSize = 8192;

    // Creating the state is the document's start: settings are read (file ID incremented and
    // written back, data folder made), "GPS_Active" is set to 0.
    CAcquisitionState(CSerialPortSystem& ports, CLoggerPrompter& prompter, CClock& clock);
    // Sets "GPS_Active" to 0 and closes every port.
    ~CAcquisitionState();
    CAcquisitionState(const CAcquisitionState&) = delete;
    CAcquisitionState& operator=(const CAcquisitionState&) = delete;

    // ---- console lines and dispatch ----

    // One tick of a control-form timer (0 the poll timer, 1 to 3 the demonstration timers).
    // Serial ports are read on ticks of the poll timer; a running demonstration steps on
    // any tick once its period has passed on the clock.
    void Tick(int iTimer = kPollTimer);
    // Reads what the slot's port has queued and dispatches every complete line; returns the
    // number of lines of kinds 0, 1 and 3. A port that has gone is reported once in both logs;
    // its device stays started and is reopened at the same path as soon as it is back.
    int PollSerialPort(int slot);
    // Handles one received line of a slot and returns its kind (kLine...).
    int DispatchLine(std::string_view line, int slot, CClockTime t, int bPublish);
    // Parses an instrument console line into a reading for the ring and, while recording, the
    // survey file. Returns the receiver count, 0 for a line that is no reading, -1 when it
    // could not be written to the survey file (it is held for it), kReadingOutOfRange when a
    // value is unusable.
    int ParseConsoleRecord(std::string_view line, int iMilliSecond, int instrument,
                           std::int64_t time);

    // ---- demonstrations ----

    // "Gantrel demonstration (...)" and "GPS demonstration (...)": device kSlotGantrel with
    // kind 0 to 2, or kSlotGPS with kind 3 or 4. The kind is stored even when the device is
    // started already (nothing more happens then). A read-file kind asks for the file
    // (CDlgOpenLogFile); cancelled or unopenable: "Could not open log file". True when the
    // demonstration started; its first step comes one demonstration period later.
    bool StartDemonstration(int device, int kind);
    // The steps, each dispatching its line(s) with the publish flag 1 and filling both logs;
    // true when a line came. Run on the ticks while the device's demonstration is due.
    bool ReplayDemoLine(int slot);  // 0 first instrument, 1 GPS
    bool GenerateConstantModelLine();
    bool GenerateTwoLayerLine();
    bool GenerateGpsTrackSentence();

    // ---- upload to the collecting service ----

    // The shell's uploader (it outlives the state, or is reset to null before it goes).
    void SetUploader(CReadingUploader* uploader);
    // The check item; false when there is no uploader to switch on.
    bool SetUpload(bool bOn);
    void ToggleUpload() { SetUpload(bUpload == 0); }
    // "Setup Brivane database": the URL in a text input labelled "URL to uploading data"; OK
    // makes it the uploader's URL and stores it as "sRegistrationURL". An address
    // UploadURLProblem refuses is said and asked again, nothing stored. True on OK.
    bool SetupUploadDatabase();
    // The uploader's outcomes since the last call into the received-lines log, and the
    // switch-off after the third failure in a row. Called on every tick.
    void TakeUploadEvents();

    // ---- telling the operator ----

    // What the operator must know while the poll goes on: into both logs, the control form's
    // notice and the prompter's Notice, never a modal message (it would hold every reading
    // and fix back until it is closed).
    void Notify(const std::string& text);

    // ---- GPS ----

    // A GGA sentence from the GPS port, the registry or a demonstration.
    void HandleGGA(std::string_view line, CClockTime t, int bPublish);
    // Registry mode: takes a sentence another program published; 1 when one was taken.
    int ReadRegistryGPS();
    // Writes the fix to the shared values, "GPS_Active" 1 before the sentence.
    static void PublishFix(const CGPSData& fix);
    // "Get GPS from registry".
    void ToggleRegistryGPS();

    // ---- devices ----

    void ToggleGantrel();  // button 2101
    void ToggleGPS();      // button 2102
    bool StartGantrel();
    bool StartGPS();
    bool StartGantrel2();
    void StopGantrel();
    void StopGPS();
    void StopGantrel2();

    // ---- line recording ----

    void StartMark();  // button 2104, key M, menu "MARK"
    void Pause();      // button 2105, key P, menu "PAUSE"
    // Button 2103, key E, menu "END LINE": ends the line being recorded whatever state the
    // devices are in (stopped, lost, waiting to come back).
    void EndLine();
    // Keys taken from the form before any control: M and P while the first instrument is
    // started, E while a line is recorded. True when the key was one of them and acted.
    bool OnKey(char key);
    void IncrementFileID();
    bool DataFileNameAndFolder();
    // "Set up geometry" (button 1012 and menu) or "Set up geometry (2nd Gantrel)".
    bool SetUpGeometry(int instrument);
    void ToggleSaveSerialPortLog() { serialLogs.Toggle(); }

    // ---- when the menu items are enabled ----
    bool CanStartGantrel() const { return bGantrelStarted == 0; }
    bool CanStopGantrel() const { return bGantrelStarted != 0 && iRecordState == 0; }
    bool CanStartGPS() const { return bGPSStarted == 0; }
    bool CanStopGPS() const { return bGPSStarted != 0 && iRecordState == 0; }
    bool CanStartGantrel2() const { return bGantrel2Started == 0; }
    bool CanStopGantrel2() const { return bGantrel2Started != 0 && iRecordState == 0; }
    bool CanMark() const { return bGantrelStarted != 0 && bPaused == 0; }
    bool CanPause() const { return iRecordState == 1; }
    bool CanEndLine() const { return iRecordState == 1; }
    // The device of the slot was unplugged and is being waited for (it stays started).
    bool IsLost(int slot) const {
        return slot >= 0 && slot < kPortSlots && !sLostPort[static_cast<size_t>(slot)].empty();
    }

    // ---- records that could not be saved ----

    // Every survey file with records held back or refused, with their counts.
    std::vector<CHeldFile> HeldFiles() const { return appender_.HeldFiles(); }
    // Readings of HeldFiles() together.
    int UnsavedReadings() const;
    // At exit: for every file in HeldFiles(), "%d readings could not be saved to %s: save them
    // to another file?"; on Yes the records go to the file the user chooses. Returns the
    // readings that are still not saved.
    int OfferHeldRecords();
    bool CanIdleCommand() const { return iRecordState == 0; }  // file ID, folder, geometry
    bool RegistryGPSEnabled() const { return bGPSStarted == 0 || bRegistryGPS != 0; }
    bool RegistryGPSChecked() const { return bGPSStarted != 0 && bRegistryGPS != 0; }

    // ---- state ----

    int bGantrelStarted = 0, bGPSStarted = 0, bGantrel2Started = 0;
    int bGantrelDemonstration = 0, bGPSDemonstration = 0;
    int iRecordState = 0;  // 0 idle, 1 recording
    int bPaused = 0;
    int iLineID = -1;        // incremented at every START
    int iMarkerNumber = -1;  // 0 at START, +1 at every MARK and at END LINE
    std::filesystem::path sDataFolder;
    std::string sFileNamePrefix;
    int iFileID = 0;
    // What the start found wrong in the saved settings (an unreadable settings file, a data
    // folder or file name prefix that cannot be used), each naming the setting and what was
    // used instead; the shells show them at start.
    std::vector<std::string> settingsProblems;
    std::array<std::filesystem::path, 2> sSurveyPath;  // first and second instrument
    std::array<CGantrelGeometry, 2> geometry;          // time: the latest START

    // Per slot: the device that was unplugged while started and is reopened as soon as it
    // is back ("" when none), and how often each slot's device was lost this run.
    std::array<std::string, kPortSlots> sLostPort;
    std::array<int, kPortSlots> nLost{};

    CSerialLogs serialLogs;
    CSerialPortSetting gantrelSetting{"Gantrel"};
    CSerialPortSetting gpsSetting{"GPS"};
    CSerialPortSetting gantrel2Setting{"Gantrel2"};
    CPortSlots slots;
    std::array<CLineAssembler, kPortSlots> assembler;  // by slot; slot 2 unused

    CRecordRing<CLoggerReading> readings{200};  // both instruments
    CRecordRing<CGPSData> fixes{200};
    CRecordRing<CMarkerData> markers{100};
    CGPSData latestFix;  // all members 0 until the first fix
    int bRegistryGPS = 0;

    CLineLog receivedLines;  // the logging window
    CLineLog dataLines;      // the control form's big text box

    // The upload switch ("Upload  data to database"): off at every start, not stored. While
    // it is on, every reading written to the survey file is handed to the uploader, which
    // posts it on its own thread; the outcomes come back on the next tick.
    int bUpload = 0;
    CReadingUploader* pUploader = nullptr;  // none: the switch stays off

    // Kinds, replayed files, the generated track and each demonstration's schedule.
    CDemonstrationState demo;

    // What this run wrote: lines started, readings, "21" fixes and markers recorded (in the
    // first instrument's file), and every survey file that took a record.
    struct CRecorded {
        int nLine = 0, nReading = 0, nFix = 0, nMarker = 0;
        std::vector<std::filesystem::path> files;
    } recorded;

    CControlFormState form;
    bool bPollTimerRunning = false;
    int nViewUpdates = 0;    // the views were asked to redraw
    int nFormRefreshes = 0;  // the control form was asked to refresh
    // Told when the poll timer is to be created (true) or destroyed (false), when the views
    // are to redraw and when the control form is to refresh.
    std::function<void(bool)> onPollTimer;
    std::function<void()> onViewsUpdate;
    std::function<void()> onFormRefresh;
    // Told of every record of a survey file (instrument 0 or 1, the record without its line
    // end) once the appender has it in the file, or waiting for the file in order; never of a
    // record it refused. Called on the thread that dispatches, after the write.
    std::function<void(int instrument, const std::string& record)> onRecordWritten;
    CClockTime lastRefresh;

    CSurveyAppender& Appender() { return appender_; }
    CClock& Clock() { return clock_; }

private:
    void LogBoth(const std::string& line);
    void RefreshForm();
    void UpdateViews();
    void UpdateFormFields();
    void RebuildPaths();
    void StartPollTimerIfNeeded();
    void StopPollTimerIfIdle();
    void StopDevice(int slot);
    void DeviceLost(int slot);
    void ShowGantrelButtons();
    void ShowGPSButton();
    void WriteMarker(int iKind, CClockTime t);
    bool WriteRecord(int instrument, const std::string& record, RecordKind kind);
    void NoteWritten(const std::filesystem::path& path, const CRecordCounts& counts);
    void TryReconnect(int slot);
    void UpdateStatus();
    void CautionNotSaved();
    void CautionOutOfRange();
    void UploadReading(const CGantrelData& reading);
    bool RunDemonstrationStep(int slot);
    void LogDemonstrationLine(const std::string& line, int kind);
    void FlushRecords();
    bool StartDevice(int slot);

    CSerialPortSystem& ports_;
    CLoggerPrompter& prompter_;
    CClock& clock_;
    CSurveyAppender appender_;
    std::array<char, kReadBufferSize> readBuffer_{};
};
