#include "processing/file_conversions.h"

#include <gtest/gtest.h>

#include "common/record_time.h"
#include "common/survey_file.h"
#include "common/text_format.h"
#include "common/utm.h"
#include "tests/processing/command_fixture.h"
#include "tests/processing/logger_file.h"

namespace {

using namespace commandtest;

class Conversions : public CommandTest {};

// ---------------------------------------------------------------------------------------------
// .sto to .stn

TEST_F(Conversions, SurveyFileLinesComeOutLastFirst) {
    const fs::path sto = folder / "abc.sto", stn = folder / "abc.stn";
    WriteText(sto, "A\r\nB\r\nC\r\n");
    prompter.Push(std::vector<fs::path>{sto});
    prompter.Push(stn);
    ASSERT_TRUE(Run(kCmdConvertSTOtoSTN));
    EXPECT_FALSE(ctx.failure);
    EXPECT_EQ(ReadText(stn), "C\r\nB\r\nA\r\n") << "no header line is added";
}

TEST_F(Conversions, ReversedLinesNeverRunTogether) {
    // LF ends and a last line without one: every line ends CR LF, so the last (now first)
    // line does not join the next.
    const fs::path sto = folder / "lf.sto", stn = folder / "lf.stn";
    WriteText(sto, "first\nsecond\nthird");
    ASSERT_TRUE(ReverseSurveyFile(sto, stn).ok());
    EXPECT_EQ(ReadText(stn), "third\r\nsecond\r\nfirst\r\n");
    // A line longer than the survey readers take stays one line.
    const std::string longLine(3000, 'x');
    WriteText(sto, "head\r\n" + longLine + "\r\ntail\r\n");
    ASSERT_TRUE(ReverseSurveyFile(sto, stn).ok());
    EXPECT_EQ(ReadText(stn), "tail\r\n" + longLine + "\r\nhead\r\n");
}

TEST_F(Conversions, ConvertedSurveyOpensAsTheSameReadings) {
    const fs::path sto = folder / "line01.sto", stn = folder / "line01.stn";
    testdata::WriteLoggerFile(sto, 12, 4, 10.0, false);
    CGantrelSurvey direct;
    ASSERT_EQ(ReadSurveyFile(direct, sto).nLine, 1);
    ASSERT_TRUE(ReverseSurveyFile(sto, stn).ok());
    CGantrelSurvey converted;
    ASSERT_EQ(ReadMappingFile(converted, stn).nLine, 1);
    const CGantrelLine& a = direct.Line(0);
    const CGantrelLine& b = converted.Line(0);
    ASSERT_EQ(a.nData(), b.nData());
    for (int i = 0; i < a.nData(); ++i) {
        const auto& x = a.pData[static_cast<size_t>(i)];
        const auto& y = b.pData[static_cast<size_t>(i)];
        EXPECT_EQ(x.time, y.time);
        EXPECT_EQ(x.nReceiver, y.nReceiver);
        for (int j = 0; j < x.nReceiver; ++j) EXPECT_EQ(x.fResistance[j], y.fResistance[j]);
    }
    EXPECT_EQ(a.nMarker(), b.nMarker());
}

// The window's save dialog comes back while the file chosen is the one being converted.
TEST_F(Conversions, DestinationThatIsTheSourceIsAskedAgain) {
    const fs::path sto = folder / "abc.sto", link = folder / "link.stn", stn = folder / "abc.stn";
    WriteText(sto, "A\r\nB\r\n");
    fs::create_symlink(sto, link);
    prompter.Push(std::vector<fs::path>{sto});
    prompter.Push(link);
    prompter.Push(stn);
    ASSERT_TRUE(Run(kCmdConvertSTOtoSTN));
    EXPECT_FALSE(ctx.failure);
    EXPECT_EQ(prompter.Messages(),
              std::vector<std::string>{DestinationIsInputMessage(link, sto)});
    EXPECT_EQ(ReadText(sto), "A\r\nB\r\n");
    EXPECT_EQ(ReadText(stn), "B\r\nA\r\n");
    // The converters themselves refuse too, whoever calls them.
    EXPECT_EQ(ReverseSurveyFile(sto, link).sError, DestinationIsInputMessage(link, sto));
    EXPECT_FALSE(DumpBinaryFile(sto, folder / "." / "abc.sto").ok());
    EXPECT_FALSE(ConvertTextCapture(link, sto).ok());
    EXPECT_EQ(ReadText(sto), "A\r\nB\r\n");
}

TEST_F(Conversions, SurveyFileThatCannotBeReadWritesNothing) {
    const fs::path stn = folder / "keep.stn";
    WriteText(stn, "good\r\n");
    prompter.Push(std::vector<fs::path>{folder / "missing.sto"});
    ASSERT_TRUE(Run(kCmdConvertSTOtoSTN));
    EXPECT_EQ(prompter.Messages(),
              std::vector<std::string>{"Cannot open the file " + (folder / "missing.sto").string()});
    EXPECT_EQ(prompter.Pending(), 0u);
    EXPECT_EQ(ReadText(stn), "good\r\n");

    // A destination in a folder that does not exist.
    const fs::path sto = folder / "a.sto";
    WriteText(sto, "A\r\n");
    prompter.ClearHistory();
    ctx.failure.reset();
    prompter.Push(std::vector<fs::path>{sto});
    prompter.Push(folder / "nowhere" / "a.stn");
    ASSERT_TRUE(Run(kCmdConvertSTOtoSTN));
    EXPECT_EQ(ctx.failure, "Cannot open the file " + (folder / "nowhere" / "a.stn").string());
}

// ---------------------------------------------------------------------------------------------
// Text capture to .stn

// A captured type-21 line of four receivers: the console values, then the time at character
// 83 and the date at character 95 (counted from 1).
std::string CaptureLine(const char* values, const char* time, const char* date) {
    std::string line = std::string("21 ") + values;
    line.resize(kCaptureTimeAt, ' ');
    line += time;  // 12 characters
    line += date;  // 9 characters
    return line;
}

TEST_F(Conversions, CaptureLineOfFourReceiversBecomesAReadingRecord) {
    const std::string line = CaptureLine(
        "12.345,55,80,55 ,8.100,50,55 ,20.000,45,55 ,4.250,40,55", " 12:34:56.78", " 06/15/09");
    ASSERT_EQ(line.size(), 103u);
    std::string out;
    ASSERT_EQ(ConvertCaptureLine(line, out), CaptureLine::Converted);
    EXPECT_EQ(out, "30 4 12.345000 0 8.100000 0 20.000000 0 4.250000 0   12:34:56.78  06/15/09");
    CGantrelData d;
    ASSERT_EQ(ParseReadingRecord(out, d), 4) << "a record the mapping reader takes";
    EXPECT_FLOAT_EQ(d.fResistance[3], 4.25f);
    EXPECT_EQ(d.iMilliSecond, 780) << "hundredths read to the nearest millisecond";
}

TEST_F(Conversions, CaptureLinesDroppedCopiedOrLeftOut) {
    std::string out;
    EXPECT_EQ(ConvertCaptureLine("0 12 13", out), CaptureLine::Dropped);
    EXPECT_EQ(ConvertCaptureLine("", out), CaptureLine::Dropped);
    EXPECT_EQ(ConvertCaptureLine("Manual ASCII transfer", out), CaptureLine::Dropped);
    const std::string geometry = "33  GOHM      7.500      2.500      0.000      2.500 "
                                 "12:00:00.00 06/15/09";
    EXPECT_EQ(ConvertCaptureLine(geometry, out), CaptureLine::Copied);
    EXPECT_EQ(out, geometry) << "copied unchanged";
    // Too short for the time and date at their places.
    EXPECT_EQ(ConvertCaptureLine("21 12.345,55,80,55 12:34:56.78 06/15/09", out),
              CaptureLine::Unusable);
    // Long enough, but two receivers only: the twelve items are not there.
    EXPECT_EQ(ConvertCaptureLine(CaptureLine("12.345,55,80,55 ,8.100,50,55", " 12:34:56.78",
                                             " 06/15/09"),
                                 out),
              CaptureLine::Unusable);
}

TEST_F(Conversions, CapturedConsoleTextConvertsAndOpens) {
    const fs::path capture = folder / "capture.txt", stn = folder / "capture.stn";
    const std::string marker0 = "3         0.00         0.00  12:34:50.00 06/15/09         0 "
                                "          0           0 4";
    WriteText(capture,
              "0 start of transfer\r\n" +
                  CaptureLine("12.345,55,80,55 ,8.100,50,55 ,20.000,45,55 ,4.250,40,55",
                              " 12:34:56.78", " 06/15/09") +
                  "\r\n" +
                  CaptureLine("13.000,55,80,55 ,9.000,50,55 ,21.000,45,55 ,5.000,40,55",
                              " 12:34:57.78", " 06/15/09") +
                  "\r\n21 1.0,2,3,4 short\r\n33  GOHM      7.500      2.500      0.000      "
                  "2.500 12:34:50.00 06/15/09\r\n" +
                  marker0);  // the last line has no line end
    prompter.Push(std::vector<fs::path>{capture});
    prompter.Push(stn);
    ASSERT_TRUE(Run(kCmdConvertTextToSTN));
    const auto lines = Lines(ReadText(stn));
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "99 0 0 1");
    EXPECT_EQ(lines[1].substr(0, 16), "30 4 12.345000 0");
    EXPECT_EQ(lines[3].substr(0, 8), "33  GOHM");
    EXPECT_EQ(lines[4], marker0);
    EXPECT_EQ(prompter.Messages(),
              std::vector<std::string>{"1 lines of " + capture.string() +
                                       " were left out (type 21 without its time, date and four "
                                       "receivers); the first is line 4."});
    // The mapping reader takes the records from the last to the first: the marker numbered 0
    // opens the line and the two readings follow.
    CGantrelSurvey survey;
    ASSERT_EQ(ReadMappingFile(survey, stn).nLine, 1);
    ASSERT_EQ(survey.Line(0).nData(), 2);
    EXPECT_EQ(survey.Line(0).nMaxReceiver, 4);
}

TEST_F(Conversions, CaptureThatCannotBeOpenedLeavesTheDestination) {
    const fs::path stn = folder / "old.stn";
    WriteText(stn, "99 0 0 1\r\n30 1 1.0 0 12:00:00.00 06/15/09\r\n");
    const std::string before = ReadText(stn);
    const ConversionResult r = ConvertTextCapture(folder / "missing.txt", stn);
    EXPECT_EQ(r.sError, "Cannot open the file " + (folder / "missing.txt").string());
    EXPECT_EQ(ReadText(stn), before);
}

// ---------------------------------------------------------------------------------------------
// Binary dump

TEST_F(Conversions, BinaryDumpHasALinePerWholeBlockBesideTheFile) {
    fs::create_directories(folder.path / "bin");
    const fs::path bin = folder.path / "bin" / "data.bin";
    std::string bytes(300, 'a');
    bytes[5] = '\0';          // block 0 stops at its first zero byte
    bytes.replace(128, 3, "xyz");
    WriteText(bin, bytes);
    prompter.Push(std::vector<fs::path>{bin});
    prompter.Push(folder.path / "bin" / "test.txt");
    ASSERT_TRUE(Run(kCmdOpenBinary));
    const fs::path dump = folder.path / "bin" / "test.txt";
    EXPECT_EQ(ReadText(dump), "0 128 aaaaa\r\n1 128 xyz" + std::string(125, 'a') + "\r\n");
    EXPECT_EQ(prompter.Messages(),
              std::vector<std::string>{"The last 44 bytes of " + bin.string() +
                                       " do not fill a block of 128 bytes and are not in the "
                                       "dump."});
    EXPECT_FALSE(fs::exists(fs::current_path() / "test.txt") &&
                 fs::current_path() != folder.path / "bin")
        << "nothing goes to the current folder";
}

TEST_F(Conversions, BinaryDumpIsOfferedBesideTheChosenFile) {
    fs::create_directories(folder.path / "elsewhere");
    const fs::path bin = folder.path / "elsewhere" / "x.bin";
    WriteText(bin, std::string(128, 'b'));
    // The scripted prompter records the save dialog; its initial path is what the user sees.
    struct Recorder : CScriptedPrompter {
        fs::path initial;
        std::optional<fs::path> SaveFile(const std::string& c, const std::vector<FileFilter>& f,
                                         const fs::path& i) override {
            initial = i;
            return CScriptedPrompter::SaveFile(c, f, i);
        }
    } recorder;
    CBrivaneContext c(doc, view, recorder);
    recorder.Push(std::vector<fs::path>{bin});
    recorder.PushCancel();
    ASSERT_TRUE(table.Invoke(c, kCmdOpenBinary));
    EXPECT_EQ(recorder.initial, folder.path / "elsewhere" / "test.txt");
    EXPECT_FALSE(fs::exists(folder.path / "elsewhere" / "test.txt")) << "cancel writes nothing";
}

// ---------------------------------------------------------------------------------------------
// Apply new GPS data

TEST_F(Conversions, PositionLinesNeedAllFiveItemsAndATimeOfDay) {
    const auto p = ParseGPSPositionLine("7 500000.0 4000000.0 12.5 10:20:30");
    ASSERT_TRUE(p);
    EXPECT_EQ(p->dEasting, 500000.0);
    EXPECT_EQ(p->dNorthing, 4000000.0);
    EXPECT_EQ(p->iSecondOfDay, 10 * 3600 + 20 * 60 + 30);
    for (const char* bad : {"7 500000.0 4000000.0 12.5", "x 500000.0 4000000.0 12.5 10:20:30",
                            "7 nan 4000000.0 12.5 10:20:30", "7 500000.0 4000000.0 12.5 10:20",
                            "7 500000.0 4000000.0 12.5 25:00:00"})
        EXPECT_FALSE(ParseGPSPositionLine(bad)) << bad;
}

std::int64_t At(int year, int month, int day, int h, int m, int s) {
    std::int64_t t = 0;
    EXPECT_TRUE(LocalCalendarTime(year, month, day, h, m, s, t));
    return t;
}

// The positions carry no zone: the survey's fixes give it, or the zone the suite keeps.
TEST_F(Conversions, PositionZoneComesFromTheSurveysFixes) {
    const struct {
        double dLatitude, dLongitude;
        int iUTMZone;  // as the fix holds it; 0: not converted
        int iSuiteZone;
        std::optional<GPSPositionZone> expected;
    } cases[] = {
        {35.0, 139.75, 54, 12, GPSPositionZone{54, false}},
        {-33.9, 18.4, 0, 12, GPSPositionZone{34, true}},  // by the longitude
        {-200.0, -200.0, -1, 33, GPSPositionZone{33, false}},  // no fix: the suite's zone
        {-200.0, -200.0, -1, 0, std::nullopt},
    };
    for (const auto& c : cases) {
        CGantrelSurvey survey;
        CGantrelLine& line = *survey.AddLine();
        if (c.iUTMZone >= 0) {
            CGPSData& g = *line.AddGPS();
            g.dLatitude = c.dLatitude;
            g.dLongitude = c.dLongitude;
            g.iUTMZone = c.iUTMZone;
        }
        WriteSuiteInt("iUTMZone", c.iSuiteZone);
        const auto zone = PositionZoneOf(survey);
        ASSERT_EQ(zone.has_value(), c.expected.has_value()) << c.dLongitude;
        if (!zone) continue;
        EXPECT_EQ(zone->iZone, c.expected->iZone) << c.dLongitude;
        EXPECT_EQ(zone->bSouth, c.expected->bSouth) << c.dLongitude;
    }
}

TEST_F(Conversions, PositionsTakeTheDayOfTheLineAndItsZone) {
    const GPSPositionZone zone{54, false};
    const std::int64_t evening = At(2009, 6, 15, 23, 59, 0);
    const struct {
        int iSecondOfDay;
        std::int64_t day, until, expected;
    } cases[] = {
        {10 * 3600, At(2009, 6, 15, 9, 0, 0), At(2009, 6, 15, 11, 0, 0),
         At(2009, 6, 15, 10, 0, 0)},
        {10 * 3600, At(2021, 1, 2, 9, 0, 0), At(2021, 1, 2, 11, 0, 0), At(2021, 1, 2, 10, 0, 0)},
        // A line past midnight takes its early positions on the next day...
        {30, evening, At(2009, 6, 16, 0, 1, 0), At(2009, 6, 16, 0, 0, 30)},
        // ... a line that ends before midnight keeps them on its own day (and leaves them out).
        {30, evening, evening + 50, At(2009, 6, 15, 0, 0, 30)},
    };
    for (const auto& c : cases) {
        const auto fix = PositionFix({500000.0, 3873000.0, c.iSecondOfDay}, zone, c.day, c.until);
        ASSERT_TRUE(fix);
        EXPECT_EQ(fix->time, c.expected) << c.iSecondOfDay << " " << c.day;
        EXPECT_EQ(fix->iUTMZone, 54);
        EXPECT_NEAR(fix->dLongitude, 141.0, 1e-9) << "central meridian of zone 54";
        EXPECT_NEAR(fix->dLatitude, 35.0, 0.05);
    }
}

TEST_F(Conversions, FixesArePlacedByTimeBothEndsIncluded) {
    const std::int64_t t0 = At(2017, 5, 10, 10, 0, 0);
    AddLine(5, 1, t0);        // 10:00:00 .. 10:00:04
    AddLine(3, 1, t0 + 100);  // 10:01:40 .. 10:01:42
    std::vector<CGPSData> fixes;
    for (std::int64_t t : {t0 - 1, t0, t0 + 2, t0 + 4, t0 + 5, t0 + 101}) {
        CGPSData g;
        g.time = t;
        g.dEasting = 1000.0 + static_cast<double>(t - t0);
        fixes.push_back(g);
    }
    doc.survey.Line(0).AddGPS()->time = t0;  // an old fix goes
    EXPECT_EQ(ApplyGPSFixes(doc.survey, fixes), 4);
    const CGantrelLine& a = doc.survey.Line(0);
    ASSERT_EQ(a.nGPS(), 3) << "from the first reading to the last, both included";
    EXPECT_EQ(a.pGPS[0].time, t0);
    EXPECT_EQ(a.pGPS[2].time, t0 + 4) << "the fix at the last reading's time is taken";
    EXPECT_EQ(a.pGPS[1].iDataIndex, 2);
    EXPECT_EQ(a.pGPS[2].iDataIndex, 4);
    ASSERT_EQ(doc.survey.Line(1).nGPS(), 1);
    EXPECT_EQ(doc.survey.Line(1).pGPS[0].iDataIndex, 1);
    EXPECT_EQ(doc.survey.bGPS, 1);
}

class ApplyNewGPS : public Conversions {
protected:
    // A mapping file of one line of five readings from 10:00:00 on 15 June 2009 with one fix
    // near 35 N 139.75 E (UTM zone 54).
    void SetUp() override {
        Conversions::SetUp();
        CGantrelSurvey source;
        CGantrelLine& line = *source.AddLine();
        for (int i = 0; i < 5; ++i) {
            CGantrelData& d = *line.AddData();
            d.time = t0 + i;
            d.nReceiver = 1;
            d.fResistance[0] = 2.0f;
        }
        CGPSData& g = *line.AddGPS();
        g.time = t0;
        g.dLatitude = 35.0;
        g.dLongitude = 139.75;
        ToUTM(g);
        for (int k : {0, 1}) {
            CMarkerData& m = *line.AddMarker();
            m.time = t0 + 4 * k;
            m.iMarkerNumber = k;
        }
        CompleteLines(source);
        ASSERT_TRUE(WriteMappingFile(source, stn));
    }
    bool Apply(const std::string& positions) {
        WriteText(gps, positions);
        prompter.Push(std::vector<fs::path>{stn});
        prompter.Push(std::vector<fs::path>{gps});
        prompter.Push(out);
        return Run(kCmdApplyNewGPS);
    }
    const std::int64_t t0 = At(2009, 6, 15, 10, 0, 0);
    const fs::path stn = folder / "old.stn", gps = folder / "positions.txt",
                   out = folder / "new.stn";
};

TEST_F(ApplyNewGPS, WritesTheScratchSurveyOnlyWithTheFixesOfItsDayAndZone) {
    AddLine(2, 1);  // the loaded survey
    const std::string loadedBefore = FormatReadingRecord(doc.survey.Line(0).pData[0],
                                                         ReadingForm::ZeroStatus, false);
    ASSERT_TRUE(Apply("1 383000.0 3873000.0 0.0 10:00:01\r\n"
                      "garbage line\r\n"
                      "2 383010.0 3873010.0 0.0 10:00:04\r\n"
                      "3 383020.0 3873020.0 0.0 10:00:05"));  // a second after the last reading
    EXPECT_FALSE(ctx.failure);
    const auto messages = prompter.Messages();
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(messages[1], "Number of Gantrel lines=1");
    EXPECT_EQ(messages[2], "Number of GPS data=3");
    EXPECT_EQ(messages[3], "GPS data applied: 2 of 3 (UTM zone 54)");
    EXPECT_EQ(ReadText(out).substr(0, 10), "99 1 1 1\r\n");
    CGantrelSurvey result;
    ASSERT_EQ(ReadMappingFile(result, out).nLine, 1);
    ASSERT_EQ(result.Line(0).nGPS(), 2);
    EXPECT_EQ(result.Line(0).pGPS[1].time, t0 + 4);
    // The file keeps longitude and latitude; read back they give the easting in zone 54.
    EXPECT_EQ(result.Line(0).pGPS[0].iUTMZone, 54);
    EXPECT_NEAR(result.Line(0).pGPS[0].dEasting, 383000.0, 0.01);
    EXPECT_NEAR(result.Line(0).pGPS[0].dLongitude, 139.718, 0.001);
    EXPECT_EQ(doc.survey.Line(0).nGPS(), 0) << "the loaded survey is not touched";
    EXPECT_EQ(FormatReadingRecord(doc.survey.Line(0).pData[0], ReadingForm::ZeroStatus, false),
              loadedBefore);
}

TEST_F(ApplyNewGPS, NoFixAppliedIsAFailureAndWritesNothing) {
    ASSERT_TRUE(Apply("1 383000.0 3873000.0 0.0 11:00:01\r\n"));
    ASSERT_TRUE(ctx.failure);
    EXPECT_EQ(*ctx.failure, "None of the 1 GPS data of " + gps.string() +
                                " lies within the time of the readings of " + stn.string() +
                                ": no fix was applied and nothing was written.");
    EXPECT_FALSE(fs::exists(out));
}

TEST_F(Conversions, DroppingLinesWithoutReadingsKeepsTheOrder) {
    AddLine(0, 0);
    AddLine(2, 1).pGeometry->fOffset = 1.0f;
    AddLine(0, 0);
    AddLine(3, 1).pGeometry->fOffset = 2.0f;
    EXPECT_EQ(DropEmptyLines(doc.survey), 2);
    EXPECT_EQ(doc.survey.Line(0).pGeometry->fOffset, 1.0f);
    EXPECT_EQ(doc.survey.Line(1).pGeometry->fOffset, 2.0f);
}

TEST_F(Conversions, ConvertersAreAlwaysAvailable) {
    for (int id : {kCmdConvertSTOtoSTN, kCmdConvertTextToSTN, kCmdOpenBinary, kCmdApplyNewGPS})
        EXPECT_TRUE(table.IsEnabled(ctx, id)) << id;
}

}  // namespace
