// START/MARK, PAUSE and END LINE driving survey files, checked byte for byte and read back by
// the processing program's reader.
#include <sys/mount.h>

#include <cstring>
#include <ctime>

#include "acquisition_support.h"
#include "common/language.h"
#include "common/survey_file.h"
#include "common/text_format.h"

namespace acqtest {
namespace {

// " hh:mm:ss.hh mm/dd/yy" of a clock time, formatted here independently of the writers.
std::string TimeDate(CClockTime t) {
    std::time_t tt = static_cast<std::time_t>(t.time);
    std::tm tm{};
    localtime_r(&tt, &tm);
    char buf[64];
    std::snprintf(buf, sizeof buf, " %.2d:%.2d:%.2d.%.2d %.2d/%.2d/%.2d", tm.tm_hour, tm.tm_min,
                  tm.tm_sec, t.iMilliSecond / 10, tm.tm_mon + 1, tm.tm_mday,
                  tm.tm_year + 1900 - 2000);
    return buf;
}

std::string Geometry33(double offset, double tx, double rope, double rx, CClockTime t) {
    char buf[128];
    std::snprintf(buf, sizeof buf, "33  GOHM %10.3f %10.3f %10.3f %10.3f", offset, tx, rope, rx);
    return buf + TimeDate(t) + " 1 \r\n";
}

std::string Marker3(int line, int number, CClockTime t) {
    char head[64], tail[64];
    std::snprintf(head, sizeof head, "3 %12.2f %12.2f ", 0.0, 0.0);
    std::snprintf(tail, sizeof tail, "%10d %11d %11d 5", 0, line, number);
    return head + TimeDate(t) + tail + "\r\n";
}

std::string Reading30(const std::vector<std::pair<double, const char*>>& values, CClockTime t) {
    std::string s = FormatC("30 %d", static_cast<int>(values.size()));
    for (const auto& [v, status] : values) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%10.3f %s ", v, status);
        s += buf;
    }
    return s + TimeDate(t) + "\r\n";
}

class Recording : public AcquisitionTest {
protected:
    void StartGantrel(CPty& pty) {
        AnswerPort(pty);
        state->ToggleGantrel();
        ASSERT_EQ(state->bGantrelStarted, 1);
    }
    void StartGPS(CPty& pty) {
        AnswerPort(pty);
        state->ToggleGPS();
        ASSERT_EQ(state->bGPSStarted, 1);
    }
    // Sends the bytes in the given pieces, one poll per piece.
    void SendInPieces(CPty& pty, const std::string& bytes, const std::vector<size_t>& cuts) {
        size_t from = 0;
        for (size_t cut : cuts) {
            pty.Send(std::string_view(bytes).substr(from, cut - from));
            Tick();
            pty.Consumed();
            from = cut;
        }
        pty.Send(std::string_view(bytes).substr(from));
        Tick();
        pty.Consumed();
    }
};

TEST_F(Recording, ALineIsWrittenByteForByteAndReadBackWithTheSameValues) {
    auto& s = MakeState();
    CPty console, gps;
    StartGantrel(console);
    StartGPS(gps);
    EXPECT_EQ(s.form.gantrel, (CButtonState{"Stop Gantrel", kButtonGreen, true}));
    EXPECT_EQ(s.form.startMark, (CButtonState{"START (M)", kButtonGreen, true}));
    EXPECT_EQ(s.form.gps, (CButtonState{"Stop GPS", kButtonGreen, true}));

    clock.Advance(1230);
    const CClockTime tStart = clock.Now();
    s.StartMark();
    std::string expected = Geometry33(7.5, 5.0, 5.0, 5.0, tStart) + Marker3(0, 0, tStart);
    EXPECT_EQ(ReadFile(s.sSurveyPath[0]), expected);

    // Two console lines cut in the middle of a number and between CR and LF.
    const std::string lines = " 12.345,131,135,55 ,23.456,132,46\r\n1.5,100,120,40\r\n";
    SendInPieces(console, lines, {9, 34});
    // The first line ends with the CR at offset 33, in the second piece; the second line in
    // the third piece. Each reading carries the time of the read that completed it.
    ASSERT_EQ(s.readings.Count(), 2);
    const CClockTime t1{s.readings[0].time, s.readings[0].iMilliSecond};
    const CClockTime t2{s.readings[1].time, s.readings[1].iMilliSecond};
    EXPECT_EQ(t2.iMilliSecond - t1.iMilliSecond, 100);
    expected += Reading30({{12.345, "55"}, {23.456, "46"}}, t1);
    expected += Reading30({{1.5, "40"}}, t2);

    const std::string gga = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47";
    gps.Send(gga + "\r\n");
    Tick();
    gps.Consumed();
    const CClockTime tGps = clock.Now();
    expected += "21 " + gga + " " + TimeDate(tGps) + "\r\n";

    clock.Advance(500);
    const CClockTime tMark = clock.Now();
    s.OnKey('M');
    expected += Marker3(0, 1, tMark);
    clock.Advance(700);
    const CClockTime tEnd = clock.Now();
    s.OnKey('E');
    expected += Marker3(0, 2, tEnd);
    EXPECT_EQ(ReadFile(s.sSurveyPath[0]), expected);
    EXPECT_EQ(s.sSurveyPath[0], dir / "gant_0000.sto");

    CGantrelSurvey survey;
    const SurveyFileStatus status = ReadSurveyFile(survey, s.sSurveyPath[0]);
    EXPECT_EQ(status.nBad, 0);
    ASSERT_EQ(survey.nLine, 1);
    const CGantrelLine& line = survey.Line(0);
    EXPECT_FLOAT_EQ(line.pGeometry->fRopeLength, 5.0f);
    EXPECT_EQ(line.pGeometry->time, tStart.time);
    ASSERT_EQ(line.nData(), 2);
    EXPECT_EQ(line.pData[0].nReceiver, 2);
    EXPECT_FLOAT_EQ(line.pData[0].fResistance[1], 23.456f);
    EXPECT_EQ(line.pData[0].iCurrentLevel[1], 4);
    EXPECT_EQ(line.pData[0].iStatus[1], 6);
    EXPECT_EQ(line.pData[0].time, t1.time);
    EXPECT_EQ(line.pData[0].iMilliSecond, t1.iMilliSecond / 10 * 10);
    EXPECT_FLOAT_EQ(line.pData[1].fResistance[0], 1.5f);
    ASSERT_EQ(line.nMarker(), 3);
    EXPECT_EQ(line.pMarker[2].iMarkerNumber, 2);
    EXPECT_EQ(line.pMarker[2].time, tEnd.time);
    ASSERT_EQ(line.nGPS(), 1);
    EXPECT_NEAR(line.pGPS[0].dLatitude, 48.1173, 1e-6);
    EXPECT_NEAR(line.pGPS[0].dLongitude, 11.516667, 1e-6);
    EXPECT_EQ(line.pGPS[0].time, tGps.time);
}

TEST_F(Recording, StartMarkMarkEndNumbersMarkersAndTheNextLineFollowsInTheSameFile) {
    auto& s = MakeState();
    CPty console;
    StartGantrel(console);
    s.StartMark();
    s.StartMark();
    s.StartMark();
    s.EndLine();
    ASSERT_EQ(s.markers.Count(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(s.markers[static_cast<size_t>(i)].iMarkerNumber, i);
        EXPECT_EQ(s.markers[static_cast<size_t>(i)].iLineID, 0);
    }
    EXPECT_EQ(s.markers[3].iKind, 2) << "the END marker";
    EXPECT_EQ(s.markers[1].iKind, 1);
    EXPECT_EQ(s.form.iMarker, 3);
    s.StartMark();
    EXPECT_EQ(s.iLineID, 1);
    EXPECT_EQ(s.markers.Latest().iMarkerNumber, 0);
    s.EndLine();

    CGantrelSurvey survey;
    ReadSurveyFile(survey, s.sSurveyPath[0]);
    // Lines without readings: the reader drops the empty last one, the file holds both.
    const std::string text = ReadFile(s.sSurveyPath[0]);
    size_t n33 = 0;
    for (size_t at = text.find("33  GOHM"); at != std::string::npos;
         at = text.find("33  GOHM", at + 1))
        ++n33;
    EXPECT_EQ(n33, 2u);
    EXPECT_NE(text.find("          1           0 5\r\n"), std::string::npos) << "line 1, marker 0";
    std::vector<std::string> expectLog = {">>Start acquisition", ">>Marker (1)",
                                          ">>Marker (2)",        ">>End line",
                                          ">>Start acquisition", ">>End line"};
    std::vector<std::string> log;
    for (const auto& l : s.dataLines) log.push_back(l);
    EXPECT_EQ(log, expectLog);
}

TEST_F(Recording, ButtonsShowWhatTheyDoInEveryState) {
    auto& s = MakeState();
    EXPECT_EQ(s.form.gantrel, (CButtonState{"Start Gantrel", kButtonGrey, true}));
    EXPECT_EQ(s.form.gps, (CButtonState{"Start GPS", kButtonGrey, true}));
    for (const auto* b : {&s.form.endLine, &s.form.startMark, &s.form.pause})
        EXPECT_EQ(*b, (CButtonState{"N/A", kButtonGrey, true}));
    CPty console;
    StartGantrel(console);
    s.StartMark();
    EXPECT_EQ(s.form.startMark, (CButtonState{"MARK (M)", kButtonGreen, true}));
    EXPECT_EQ(s.form.endLine, (CButtonState{"END LINE (E)", kButtonRed, true}));
    EXPECT_EQ(s.form.pause, (CButtonState{"PAUSE (P)", kButtonYellow, true}));
    EXPECT_FALSE(s.form.bSetUpGeometryEnabled);
    EXPECT_FALSE(s.form.gantrel.bEnabled);
    EXPECT_FALSE(s.form.gps.bEnabled);
    EXPECT_FALSE(s.CanStopGantrel()) << "no stop from the menu in the middle of a line";
    s.Pause();
    EXPECT_EQ(s.form.pause, (CButtonState{"Re-START (P)", kButtonGreen, true}));
    EXPECT_EQ(s.form.startMark, (CButtonState{"N/A", kButtonGrey, true}));
    EXPECT_FALSE(s.CanMark());
    s.StartMark();
    EXPECT_EQ(s.markers.Count(), 1) << "START/MARK does nothing while paused";
    s.Pause();
    EXPECT_EQ(s.form.pause, (CButtonState{"PAUSE (P)", kButtonYellow, true}));
    EXPECT_EQ(s.form.startMark, (CButtonState{"MARK (M)", kButtonGreen, true}));
    s.EndLine();
    EXPECT_EQ(s.form.startMark, (CButtonState{"START (M)", kButtonGreen, true}));
    EXPECT_EQ(s.form.endLine, (CButtonState{"N/A", kButtonGrey, true}));
    EXPECT_EQ(s.form.pause, (CButtonState{"N/A", kButtonGrey, true}));
    EXPECT_TRUE(s.form.bSetUpGeometryEnabled);
    EXPECT_TRUE(s.form.gantrel.bEnabled);
    s.ToggleGantrel();
    EXPECT_EQ(s.form.gantrel, (CButtonState{"Start Gantrel", kButtonGrey, true}));
    EXPECT_EQ(s.form.startMark, (CButtonState{"N/A", kButtonGrey, true}));

    SetLanguage(kLanguageJapanese);
    AnswerPort(console);
    s.ToggleGantrel();
    EXPECT_EQ(s.form.gantrel.sCaption, "ｶﾞﾝﾄﾚﾙの終了");
    EXPECT_EQ(s.form.startMark.sCaption, "測定開始 (M)");
    s.StartMark();
    EXPECT_EQ(s.dataLines.Latest(), ">>測定開始");
    s.Pause();
    EXPECT_EQ(s.form.pause.sCaption, "再開 (P)");
    SetLanguage(kLanguageEnglish);
}

TEST_F(Recording, StoppingTheInstrumentKeepsTheLineAndEndLineStillEndsIt) {
    auto& s = MakeState();
    CPty console;
    StartGantrel(console);
    s.StartMark();
    console.Send("1.0,1,1,11\n");
    Tick();
    console.Consumed();
    s.StopGantrel();
    EXPECT_EQ(s.iRecordState, 1) << "the line stays open";
    AnswerPort(console);
    ASSERT_TRUE(s.StartGantrel());
    EXPECT_EQ(s.form.startMark.sCaption, "MARK (M)") << "the button does what it shows";
    EXPECT_FALSE(s.form.gantrel.bEnabled);
    s.StopGantrel();
    EXPECT_FALSE(s.OnKey('M')) << "a mark needs the instrument";
    EXPECT_TRUE(s.OnKey('E')) << "ending the line does not";
    EXPECT_EQ(s.iRecordState, 0);
    CGantrelSurvey survey;
    ReadSurveyFile(survey, s.sSurveyPath[0]);
    ASSERT_EQ(survey.nLine, 1);
    EXPECT_EQ(survey.Line(0).nMarker(), 2) << "START and END";
}

TEST_F(Recording, KeysActOnlyWhileTheInstrumentIsStarted) {
    auto& s = MakeState();
    s.ToggleRegistryGPS();  // the GPS runs, the instrument does not
    EXPECT_FALSE(s.OnKey('M'));
    EXPECT_FALSE(s.OnKey('P'));
    EXPECT_FALSE(s.OnKey('E'));
    EXPECT_EQ(s.iRecordState, 0);
    EXPECT_EQ(s.bPaused, 0);
    EXPECT_FALSE(fs::exists(s.sSurveyPath[0]));
    CPty console;
    StartGantrel(console);
    EXPECT_TRUE(s.OnKey('m'));
    EXPECT_EQ(s.iRecordState, 1);
    EXPECT_FALSE(s.OnKey('x'));
}

TEST_F(Recording, ThePollTimerLivesWhileAnyDeviceIsStarted) {
    auto& s = MakeState();
    std::vector<bool> timer;
    s.onPollTimer = [&](bool on) { timer.push_back(on); };
    CPty console, gps;
    StartGantrel(console);
    StartGPS(gps);
    EXPECT_TRUE(s.bPollTimerRunning);
    s.ToggleGPS();
    EXPECT_TRUE(s.bPollTimerRunning) << "the instrument still needs it";
    s.ToggleGantrel();
    EXPECT_FALSE(s.bPollTimerRunning);
    AnswerPort(gps);
    s.ToggleGPS();
    EXPECT_TRUE(s.bPollTimerRunning);
    EXPECT_EQ(timer, (std::vector<bool>{true, false, true}));
    EXPECT_EQ(ReadSuiteInt("GPS_Active", -1), 0) << "stopping a device clears the hand-over";
}

TEST_F(Recording, AnOpenFailureSaysWhyAndTheDialogNamesItsDevice) {
    auto& s = MakeState();
    CPty listed;  // the dialog comes only when some port is there
    ports.AddKnownDevice(listed.Path());
    const fs::path plain = dir / "plain.txt";
    std::ofstream(plain) << "x";
    const struct {
        int slot;
        std::string device, title, reason;
    } cases[] = {
        {kSlotGantrel, (dir / "none").string(), "Serial port - Gantrel",
         "Could not open serial port for Gantrel\n" + (dir / "none").string() +
             ": No such file or directory"},
        {kSlotGPS, plain.string(), "Serial port - GPS",
         "Could not open serial port for GPS\n" + plain.string() + ": not a terminal device"},
        {kSlotGantrel2, plain.string(), "Serial port - 2nd Gantrel",
         "Could not open serial port for 2nd Gantrel\n" + plain.string() +
             ": not a terminal device"},
    };
    for (const auto& c : cases) {
        std::string title;
        prompter.script.PushDialog<CDlgRS232C>([&](CDlgRS232C& d) {
            title = d.DialogName();
            d.sDevice = c.device;
        });
        if (c.slot == kSlotGantrel) s.StartGantrel();
        if (c.slot == kSlotGPS) s.StartGPS();
        if (c.slot == kSlotGantrel2) s.StartGantrel2();
        EXPECT_EQ(title, c.title);
        ASSERT_FALSE(prompter.Messages().empty());
        EXPECT_EQ(prompter.Messages().back(), c.reason);
    }
    EXPECT_EQ(s.bGantrelStarted + s.bGPSStarted + s.bGantrel2Started, 0);
}

TEST_F(Recording, APortThatCannotBeOpenedLeavesTheDeviceStopped) {
    auto& s = MakeState();
    CPty console;
    AnswerPort(console);
    s.ToggleGantrel();
    s.ToggleGantrel();
    ASSERT_EQ(ReadSettingString("Gantrel_sComPortName", ""), console.Path());
    prompter.script.PushDialog<CDlgRS232C>([&](CDlgRS232C& d) {
        d.sDevice = (dir / "none").string();
        d.iBaudRate = 2;
    });
    s.ToggleGantrel();
    EXPECT_EQ(s.bGantrelStarted, 0);
    EXPECT_FALSE(s.bPollTimerRunning);
    EXPECT_EQ(prompter.Messages().back(), "Could not open serial port for Gantrel\n" +
                                              (dir / "none").string() +
                                              ": No such file or directory");
    EXPECT_EQ(ReadSettingString("Gantrel_sComPortName", ""), console.Path())
        << "the port that failed does not replace the one that worked";
    EXPECT_EQ(ReadSettingInt("Gantrel_iBaudRateIndex", -1), 12);
    prompter.script.PushCancel();
    s.ToggleGPS();
    EXPECT_EQ(s.bGPSStarted, 0) << "Cancel ends the command";
}

TEST_F(Recording, PausedReadingsAndFixesAreShownButNotWritten) {
    auto& s = MakeState();
    CPty console, gps;
    StartGantrel(console);
    StartGPS(gps);
    s.StartMark();
    s.Pause();
    const std::string before = ReadFile(s.sSurveyPath[0]);
    console.Send("1.0,1,1,11\n");
    gps.Send("$GNGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\n");
    Tick();
    EXPECT_EQ(ReadFile(s.sSurveyPath[0]), before);
    EXPECT_EQ(s.readings.Count(), 1);
    EXPECT_EQ(s.readings.Latest().bRecorded, 0);
    EXPECT_EQ(s.fixes.Count(), 1);
    EXPECT_EQ(s.nViewUpdates, 1) << "the views still show them";
}

TEST_F(Recording, FreshInstallationRecordsToItsHomeFolderAndEveryRunTakesTheNextFileID) {
    settings.Clear();
    const fs::path home = dir / "home";
    fs::create_directories(home);
    const char* oldHome = std::getenv("HOME");
    const std::string saved = oldHome != nullptr ? oldHome : "";
    setenv("HOME", home.c_str(), 1);
    {
        auto& s = MakeState();
        EXPECT_EQ(s.sDataFolder, home / "GantrelData");
        EXPECT_TRUE(fs::is_directory(home / "GantrelData"));
        EXPECT_EQ(s.sSurveyPath[0], home / "GantrelData" / "gant_0000.sto");
        EXPECT_EQ(s.sSurveyPath[1], home / "GantrelData" / "gant_0000_sub.sto");
        EXPECT_EQ(ReadSettingString("FolderPath", ""), (home / "GantrelData").string());
    }
    EXPECT_EQ(MakeState().iFileID, 1) << "the second run, without any command";
    if (oldHome != nullptr) setenv("HOME", saved.c_str(), 1);
}

// Saved settings that cannot be used are told at start (and in the logging view) and
// replaced for the run only: the folder by the home folder's default before the working
// folder's, the prefix by the default; the saved value stays for the operator to mend.
TEST_F(Recording, UnusableSavedSettingsAreToldAndReplacedForTheRunOnly) {
    const fs::path home = dir / "home";
    const std::string nul = (dir / "x").string() + std::string(1, '\0') + "y";
    const std::string longPrefix(100000, 'a');
    struct Case {
        const char* what;
        std::string folder, prefix;
        fs::path home, expectFolder;
        std::string expectPrefix;
        std::vector<std::string> told;  // in the problems, in order; none when empty
    } cases[] = {
        {"usable", dir.string(), "north", home, dir, "north", {}},
        {"NUL in the folder", nul, "north", home, home / "GantrelData", "north",
         {"The data folder '" + (dir / "x").string() + "\\x00y' cannot be used (a NUL",
          "recording to " + (home / "GantrelData").string()}},
        {"folder that cannot be made", "/proc/no-such-folder/GantrelData", "gant", home,
         home / "GantrelData", "gant", {"/proc/no-such-folder/GantrelData' cannot be used ("}},
        {"home unusable too", "/proc/no-such-folder/GantrelData", "gant", "/proc/no-home",
         dir / "GantrelData", "gant",
         {"/proc/no-such-folder/GantrelData' cannot be used (",
          "recording to " + (dir / "GantrelData").string() + "."}},
        {"prefix too long", dir.string(), longPrefix, home, dir, "gant",
         {"The file name prefix '" + std::string(200, 'a') + "... (100000 characters)' cannot "
                                                             "be used (file names of 100013 bytes"}},
        {"prefix with a folder", dir.string(), "../up", home, dir, "gant",
         {"The file name prefix '../up' cannot be used (a '/' in it): the prefix is gant."}},
        {"prefix with a line end", dir.string(), "a\nb", home, dir, "gant",
         {"The file name prefix 'a\\x0Ab' cannot be used (a control character in it)"}},
    };
    const char* oldHome = std::getenv("HOME");
    const std::string savedHome = oldHome != nullptr ? oldHome : "";
    const fs::path previous = fs::current_path();
    fs::current_path(dir);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        setenv("HOME", c.home.c_str(), 1);
        WriteSettingString("FolderPath", c.folder);
        WriteSettingString("FileNamePrefix", c.prefix);
        auto& s = MakeState();
        EXPECT_EQ(s.sDataFolder, c.expectFolder);
        EXPECT_TRUE(fs::is_directory(c.expectFolder));
        EXPECT_EQ(s.sFileNamePrefix, c.expectPrefix);
        std::string told;
        for (const auto& p : s.settingsProblems) told += p + "|";
        size_t at = 0;
        for (const auto& part : c.told) {
            at = told.find(part, at);
            EXPECT_NE(at, std::string::npos) << part << "\n in: " << told;
        }
        if (c.told.empty()) {
            EXPECT_EQ(told, "");
        } else {
            EXPECT_EQ(s.dataLines[0], ">>" + s.settingsProblems[0]) << "in the logging view";
        }
        EXPECT_EQ(ReadSettingString("FolderPath", ""), c.folder) << "kept as it was";
        EXPECT_EQ(ReadSettingString("FileNamePrefix", ""), c.prefix) << "kept as it was";
    }
    fs::current_path(previous);
    if (oldHome != nullptr) setenv("HOME", savedHome.c_str(), 1);
}

TEST_F(Recording, TheFileNameDialogRefusesAPrefixThatCannotNameFiles) {
    auto& s = MakeState();
    prompter.script.PushDialog<CDlgSetFileNameAndFolder>(
        [](CDlgSetFileNameAndFolder& d) { d.sPrefix = std::string(300, 'p'); });
    EXPECT_FALSE(s.DataFileNameAndFolder());
    EXPECT_EQ(s.sFileNamePrefix, "gant");
    EXPECT_EQ(ReadSettingString("FileNamePrefix", "none"), "none");
}

TEST_F(Recording, FileID9999IsFollowedBy0) {
    WriteSettingInt("iFileID", 9998);
    auto& s = MakeState();
    EXPECT_EQ(s.iFileID, 9999);
    EXPECT_EQ(s.sSurveyPath[0].filename(), "gant_9999.sto");
    s.IncrementFileID();
    EXPECT_EQ(s.iFileID, 0);
    EXPECT_EQ(ReadSettingInt("iFileID", -5), 0);
    EXPECT_EQ(s.sSurveyPath[0].filename(), "gant_0000.sto");
    EXPECT_EQ(s.dataLines.Latest(), ">>Incremented File ID (ID=0)");
    EXPECT_EQ(s.receivedLines.Latest(), ">>Incremented File ID (ID=0)");

    CPty console;
    StartGantrel(console);
    s.StartMark();
    s.IncrementFileID();
    EXPECT_EQ(s.iFileID, 0) << "not in the middle of a line";
    WriteSettingInt("iFileID", -7);
    EXPECT_EQ(CAcquisitionState(ports, prompter, clock).iFileID, 0) << "no negative file numbers";
}

TEST_F(Recording, FileNameAndFolderDialogChangesWhereTheNextLineGoes) {
    auto& s = MakeState();
    const fs::path other = dir / "other";
    fs::create_directories(other);
    prompter.script.PushDialog<CDlgSetFileNameAndFolder>([&](CDlgSetFileNameAndFolder& d) {
        EXPECT_EQ(d.sPrefix, "gant");
        EXPECT_EQ(d.sFolder, dir);
        d.sPrefix = "north";
        d.sFolder = other;
    });
    ASSERT_TRUE(s.DataFileNameAndFolder());
    EXPECT_EQ(s.sSurveyPath[0], other / "north_0000.sto");
    EXPECT_EQ(ReadSettingString("FileNamePrefix", ""), "north");
    EXPECT_EQ(ReadSettingString("FolderPath", ""), other.string());
    EXPECT_EQ(s.dataLines[0], ">>File name prefix was changed to 'north'");
    EXPECT_EQ(s.dataLines[1], ">>Data folder was changed to '" + other.string() + "'");
    EXPECT_EQ(s.form.sFilePath, other / "north_0000.sto");
    prompter.script.PushCancel();
    EXPECT_FALSE(s.DataFileNameAndFolder());
    EXPECT_EQ(s.dataLines.Count(), 2);
}

TEST_F(Recording, GeometrySetUpTakesEffectForTheNextReadingAndIsStored) {
    auto& s = MakeState();
    prompter.script.PushDialog<CDlgGantrelGeometry>([](CDlgGantrelGeometry& d) {
        d.sRopeLength = "10";
        d.iDipoleIndex = 3;
    });
    ASSERT_TRUE(s.SetUpGeometry(kFirstInstrument));
    EXPECT_FLOAT_EQ(s.geometry[0].fRopeLength, 10.0f);
    EXPECT_EQ(ReadSettingString("GeometryRopeLength", ""), "10.000000");
    s.ParseConsoleRecord("1.0,1,1,11", 0, kFirstInstrument, 0);
    EXPECT_NEAR(s.readings.Latest().fResistivity[0], 80.07, 0.01);
    prompter.script.PushDialog<CDlgGantrelGeometry>(
        [](CDlgGantrelGeometry& d) { d.sRopeLength = "2"; });
    ASSERT_TRUE(s.SetUpGeometry(kSecondInstrument));
    EXPECT_EQ(ReadSettingString("GeometryRopeLength_1", ""), "2.000000");
    EXPECT_FLOAT_EQ(s.geometry[0].fRopeLength, 10.0f);
}

TEST_F(Recording, TheSecondInstrumentHasItsOwnFileAndSharesTheFixes) {
    auto& s = MakeState();
    CPty console, second, gps;
    StartGantrel(console);
    AnswerPort(second);
    ASSERT_TRUE(s.StartGantrel2());
    StartGPS(gps);
    s.StartMark();
    second.Send("7.0,1,1,33\n");
    gps.Send("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\n");
    Tick();
    s.EndLine();
    const std::string sub = ReadFile(s.sSurveyPath[1]);
    const std::string main = ReadFile(s.sSurveyPath[0]);
    EXPECT_EQ(sub.rfind("33  GOHM", 0), 0u);
    EXPECT_NE(sub.find("30 1     7.000 33 "), std::string::npos);
    EXPECT_EQ(main.find("30 1"), std::string::npos)
        << "the second instrument's reading is not in the first file";
    EXPECT_NE(sub.find("21 $GPGGA"), std::string::npos);
    EXPECT_NE(main.find("21 $GPGGA"), std::string::npos);
    CGantrelSurvey survey;
    ReadSurveyFile(survey, s.sSurveyPath[1]);
    ASSERT_EQ(survey.nLine, 1);
    EXPECT_EQ(survey.Line(0).nMarker(), 2);
}

// The file system fills up under a line being recorded, then has room again.
TEST_F(Recording, AFullDiskLosesNothingAndLeavesNoHalfLine) {
    if (geteuid() != 0)
        GTEST_SKIP() << "mounting a 64 KiB tmpfs needs root; run the tests as root for this case";
    const fs::path small = dir / "small";
    fs::create_directories(small);
    if (mount("none", small.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "this system refuses tmpfs mounts here (" << std::strerror(errno) << ")";
    struct Unmount {
        fs::path p;
        ~Unmount() { umount2(p.c_str(), MNT_DETACH); }
    } unmount{small};
    WriteSettingString("FolderPath", small.string());
    auto& s = MakeState();
    CPty console;
    StartGantrel(console);
    s.StartMark();

    // Fill the file system with another file, leaving less than a page.
    {
        std::ofstream filler(small / "filler", std::ios::binary);
        const std::string block(1024, 'f');
        for (int i = 0; i < 200 && filler.good(); ++i) filler.write(block.data(), block.size());
    }
    const std::string reading =
        "123.456,1,1,11,234.567,2,22,345.678,3,33,456.789,4,44,567.891,5,55\n";
    int failed = 0;
    for (int i = 0; i < 60; ++i) {
        console.Send(reading);
        Tick();
        console.Consumed();
    }
    for (const auto& l : s.receivedLines) failed += l == "Caution !!! Could not save data." ? 1 : 0;
    EXPECT_GT(failed, 0) << "the disk filled up";
    EXPECT_EQ(s.readings.Count(), 60) << "every reading is kept in the ring";
    EXPECT_GT(s.Appender().PendingRecords(), 0u);
    const std::string whileFull = ReadFile(s.sSurveyPath[0]);
    EXPECT_TRUE(whileFull.empty() || whileFull.substr(whileFull.size() - 2) == "\r\n")
        << "no half line in the file";

    EXPECT_TRUE(s.form.bSaveFailing);
    EXPECT_NE(s.form.sStatus.find("Could not save data to " + s.sSurveyPath[0].string()),
              std::string::npos)
        << s.form.sStatus;
    const int held = static_cast<int>(s.Appender().PendingRecords());
    EXPECT_EQ(s.recorded.nReading + held, 60) << "the count is what is in the file";

    fs::remove(small / "filler");
    console.Send(reading);
    Tick();
    EXPECT_EQ(s.dataLines.Latest(),
              FormatC("%d held readings written to %s", held, s.sSurveyPath[0].string().c_str()));
    EXPECT_FALSE(s.form.bSaveFailing);
    EXPECT_EQ(s.form.sStatus, "");
    s.EndLine();
    EXPECT_EQ(s.recorded.nReading, 61);
    EXPECT_EQ(s.Appender().PendingRecords(), 0u);
    CGantrelSurvey survey;
    const SurveyFileStatus status = ReadSurveyFile(survey, s.sSurveyPath[0]);
    EXPECT_EQ(status.nBad, 0);
    ASSERT_EQ(survey.nLine, 1);
    EXPECT_EQ(survey.Line(0).nData(), 61) << "nothing shown as recorded is lost";
    EXPECT_EQ(survey.Line(0).nMarker(), 2);
}

TEST_F(Recording, ARemovedFolderIsWrittenAgainOnceItIsBack) {
    const fs::path folder = dir / "card";
    fs::create_directories(folder);
    WriteSettingString("FolderPath", folder.string());
    auto& s = MakeState();
    CPty console;
    StartGantrel(console);
    s.StartMark();
    fs::remove_all(folder);
    console.Send("1.0,1,1,11\n2.0,1,1,11\n");
    Tick();
    console.Consumed();
    EXPECT_EQ(s.dataLines.Latest(), "Caution !!! Could not save data.");
    fs::create_directories(folder);
    console.Send("3.0,1,1,11\n");
    Tick();
    s.EndLine();
    const std::string text = ReadFile(s.sSurveyPath[0]);
    const size_t one = text.find("30 1     1.000"), three = text.find("30 1     3.000");
    ASSERT_NE(one, std::string::npos);
    ASSERT_NE(three, std::string::npos);
    EXPECT_LT(one, three) << "the waiting records come first, in order";
    EXPECT_NE(text.find("30 1     2.000"), std::string::npos);
}

// One folder that fails holds back its own records only; the operator moving on to a working
// folder leaves them behind for good (never written there later), and they are offered at exit.
TEST_F(Recording, AFailedFolderHoldsOnlyItsOwnRecordsUntilTheOperatorMovesOn) {
    const fs::path card = dir / "card", good = dir / "good";
    fs::create_directories(card);
    fs::create_directories(good);
    WriteSettingString("FolderPath", card.string());
    auto& s = MakeState();
    CPty console;
    StartGantrel(console);
    fs::remove_all(card);  // the card is pulled before the line starts
    s.StartMark();
    const fs::path left = s.sSurveyPath[0];
    console.Send("1.0,1,1,11\n2.0,1,1,11\n");
    Tick();
    console.Consumed();
    EXPECT_TRUE(s.form.bSaveFailing);
    s.EndLine();

    prompter.script.PushDialog<CDlgSetFileNameAndFolder>(
        [&](CDlgSetFileNameAndFolder& d) { d.sFolder = good; });
    ASSERT_TRUE(s.DataFileNameAndFolder());
    EXPECT_NE(std::find(s.dataLines.begin(), s.dataLines.end(),
                        FormatC("Caution !!! 2 readings could not be saved to %s",
                                left.string().c_str())),
              s.dataLines.end());
    EXPECT_FALSE(s.form.bSaveFailing) << "the new file is fine";

    s.StartMark();
    console.Send("3.0,1,1,11\n");
    Tick();
    console.Consumed();
    EXPECT_EQ(s.dataLines.Latest(), "3.0,1,1,11") << "written at once, no caution";
    s.EndLine();
    fs::create_directories(card);  // the folder the operator left comes back
    Tick();
    EXPECT_FALSE(fs::exists(left)) << "nothing is written later into a folder that was left";
    CGantrelSurvey survey;
    ReadSurveyFile(survey, s.sSurveyPath[0]);
    ASSERT_EQ(survey.nLine, 1);
    EXPECT_EQ(survey.Line(0).nData(), 1);
    EXPECT_EQ(s.UnsavedReadings(), 2);

    // At exit: the first file chosen cannot be written, so the offer comes again.
    const fs::path rescue = good / "rescue.sto";
    prompter.script.Push(PromptAnswer::Yes);
    prompter.script.Push(fs::path(dir / "missing" / "x.sto"));
    prompter.script.Push(PromptAnswer::Yes);
    prompter.script.Push(rescue);
    EXPECT_EQ(s.OfferHeldRecords(), 0);
    const auto messages = prompter.Messages();
    const std::string offer = FormatC(
        "2 readings could not be saved to %s: save them to another file?", left.string().c_str());
    EXPECT_EQ(std::count(messages.begin(), messages.end(), offer), 2) << "asked again";
    CGantrelSurvey saved;
    const SurveyFileStatus status = ReadSurveyFile(saved, rescue);
    EXPECT_EQ(status.nBad, 0);
    ASSERT_EQ(saved.nLine, 1) << "the held line whole: geometry, markers, readings";
    EXPECT_EQ(saved.Line(0).nData(), 2);
    EXPECT_EQ(saved.Line(0).nMarker(), 2);
    EXPECT_TRUE(s.HeldFiles().empty());
}

}  // namespace
}  // namespace acqtest
