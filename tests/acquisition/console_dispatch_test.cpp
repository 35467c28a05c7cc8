// Console lines from a pseudo-terminal through the poll, the parser and the dispatch.
#include <cmath>

#include "acquisition_support.h"
#include "common/text_format.h"

namespace acqtest {
namespace {

class ConsoleDispatch : public AcquisitionTest {
protected:
    void StartGantrel(CPty& pty) {
        AnswerPort(pty);
        state->ToggleGantrel();
        ASSERT_EQ(state->bGantrelStarted, 1);
    }
};

TEST_F(ConsoleDispatch, ThreeReceiverLineGivesAReadingWithLevelsInTenths) {
    auto& s = MakeState();
    EXPECT_EQ(s.ParseConsoleRecord(" 12.345,131,135,55 ,23.456,132,46,34.5,133,3x", 250,
                                   kFirstInstrument, StartTime().time),
              3);
    ASSERT_EQ(s.readings.Count(), 1);
    const CLoggerReading& r = s.readings.Latest();
    EXPECT_EQ(r.nReceiver, 3);
    EXPECT_FLOAT_EQ(r.fResistance[0], 12.345f);
    EXPECT_FLOAT_EQ(r.fResistance[2], 34.5f);
    EXPECT_FLOAT_EQ(r.fReceiverLevel[0], 13.1f);
    EXPECT_FLOAT_EQ(r.fReceiverLevel[1], 13.2f);
    EXPECT_FLOAT_EQ(r.fReceiverLevel[2], 13.3f);
    EXPECT_FLOAT_EQ(r.fTransmitterLevel, 13.5f) << "field 2, once per reading";
    EXPECT_EQ(r.iCurrentLevel[0], 5);
    EXPECT_EQ(r.iStatus[0], 5);
    EXPECT_EQ(r.iCurrentLevel[1], 4);
    EXPECT_EQ(r.iStatus[1], 6);
    EXPECT_EQ(r.iCurrentLevel[2], 3);
    EXPECT_EQ(r.iStatus[2], 0) << "a status character that is no digit reads 0";
    EXPECT_EQ(r.iMilliSecond, 250);
    EXPECT_EQ(r.bRecorded, 0) << "not recording";
    // Rope 5 m, 5 m dipoles: receiver 1 at n-space 1.5.
    EXPECT_FLOAT_EQ(r.fNFactor[0], 3.0f);
    EXPECT_NEAR(r.fResistivity[0], LoggerGeometricFactor(s.geometry[0], 0) * 12.345f / 20.0f, 1e-3);
    EXPECT_EQ(r.bValid[0], 1);
}

TEST_F(ConsoleDispatch, OnlyFieldCountsOfWholeReceiversAreReadings) {
    auto& s = MakeState();
    for (const char* line : {"1,2,3,4,5", "1,2,3", "", "1,2,3,4,5,6,7,8"}) {
        EXPECT_EQ(s.ParseConsoleRecord(line, 0, kFirstInstrument, 0), 0) << line;
    }
    std::string twentyOne;
    for (int i = 0; i < 21; ++i) twentyOne += "1,";
    EXPECT_EQ(s.ParseConsoleRecord(twentyOne, 0, kFirstInstrument, 0), 0) << "20 fields at most";
    EXPECT_EQ(s.readings.Count(), 0);
    EXPECT_EQ(s.ParseConsoleRecord("x,y,z,ab,,,,,,,,,,,,", 0, kFirstInstrument, 0), 5)
        << "16 fields are five receivers whatever they hold";
    EXPECT_FLOAT_EQ(s.readings.Latest().fResistance[0], 0.0f);
}

// A V/I field is read as "%f" reads it: one sign, blanks before it; anything else is 0.
TEST_F(ConsoleDispatch, ValueFieldsReadAsTheConsoleWritesThem) {
    auto& s = MakeState();
    const struct {
        const char* field;
        float fValue;
    } cases[] = {{"--1", 0.0f},   {"+-1", 0.0f},   {"-+1", 0.0f},   {"++1", 0.0f},
                 {"-1.5", -1.5f}, {"+2.5", 2.5f},  {" 3", 3.0f},    {"x", 0.0f},
                 {"", 0.0f},      {"1e-60", 0.0f}, {"4.5abc", 4.5f}};
    for (const auto& c : cases) {
        ASSERT_EQ(
            s.ParseConsoleRecord(std::string(c.field) + ",131,135,55", 0, kFirstInstrument, 0), 1);
        EXPECT_FLOAT_EQ(s.readings.Latest().fResistance[0], c.fValue) << '"' << c.field << '"';
    }
}

TEST_F(ConsoleDispatch, LinesFromThePortReachBothLogsAndOnlyReadingsTheRing) {
    auto& s = MakeState();
    CPty pty;
    StartGantrel(pty);
    pty.Send("1.5,100,120,40\r\n1,2,3,4,5\r\n");
    Tick();
    EXPECT_EQ(s.readings.Count(), 1);
    ASSERT_EQ(s.receivedLines.Count(), 2);
    EXPECT_EQ(s.receivedLines[1], "1,2,3,4,5");
    ASSERT_EQ(s.dataLines.Count(), 2) << "a line that is no reading is still shown";
    EXPECT_EQ(s.dataLines[1], "1,2,3,4,5");
    EXPECT_EQ(s.nViewUpdates, 1);
}

TEST_F(ConsoleDispatch, AllLinesOfABurstAreTakenAtOnce) {
    auto& s = MakeState();
    CPty pty;
    StartGantrel(pty);
    std::string burst;
    for (int i = 0; i < 150; ++i) burst += FormatC("%d.0,1,1,11\n", i);
    ASSERT_LT(burst.size(), CAcquisitionState::kReadBufferSize);
    pty.Send(burst);
    Tick();
    EXPECT_EQ(s.readings.Count(), 150);
    EXPECT_FLOAT_EQ(s.readings.Latest().fResistance[0], 149.0f);
    EXPECT_EQ(s.assembler[kSlotGantrel].Pending(), 0u);
}

TEST_F(ConsoleDispatch, NoiseAndNulBytesNeverStopThePoll) {
    auto& s = MakeState();
    CPty pty;
    StartGantrel(pty);
    std::string noise;
    for (int i = 0; i < 4000; ++i) noise.push_back(static_cast<char>((i * 37 + 11) % 256));
    noise += std::string("\0\0\0", 3) + "\r\n2.5,1,1,22\r\n";
    pty.Send(noise);
    Tick();
    ASSERT_GE(s.readings.Count(), 1);
    EXPECT_FLOAT_EQ(s.readings.Latest().fResistance[0], 2.5f);
    EXPECT_EQ(s.bGantrelStarted, 1);
}

// Unusable values have their own words, so that a disk failure stands out.
TEST_F(ConsoleDispatch, AnUnusableValueIsNotWrittenAndSaysSoInItsOwnWords) {
    auto& s = MakeState();
    CPty pty;
    StartGantrel(pty);
    s.StartMark();
    const std::string before = ReadFile(s.sSurveyPath[0]);
    const std::vector<std::pair<const char*, float>> cases = {
        {"2e8", 2e8f}, {"1e999", HUGE_VALF}, {"-inf", -HUGE_VALF}, {"nan", NAN}};
    for (const auto& [value, stored] : cases) {
        const std::string line = std::string(value) + ",100,120,40";
        EXPECT_EQ(s.DispatchLine(line, kSlotGantrel, clock.Now(), 1), kLineOutOfRange) << value;
        if (std::isnan(stored))
            EXPECT_TRUE(std::isnan(s.readings.Latest().fResistance[0]));
        else
            EXPECT_EQ(s.readings.Latest().fResistance[0], stored) << "not a reading of 0";
    }
    pty.Send("2e8,100,120,40\r\n");
    Tick();
    EXPECT_EQ(ReadFile(s.sSurveyPath[0]), before) << "no \"30\" record for any of them";
    EXPECT_EQ(s.readings.Count(), 5) << "the readings are still in the ring";
    EXPECT_EQ(s.dataLines.Latest(), "Reading not recorded: value out of range");
    EXPECT_EQ(s.receivedLines.Latest(), "Reading not recorded: value out of range");
    EXPECT_EQ(s.dataLines[s.dataLines.Count() - 2], "2e8,100,120,40");
    EXPECT_FALSE(s.form.bSaveFailing) << "the survey file is fine";
    for (const auto& l : s.dataLines) EXPECT_NE(l, "Caution !!! Could not save data.");
}

TEST_F(ConsoleDispatch, AnEmptyLineMarksEveryPauseOfAboutTwoSeconds) {
    auto& s = MakeState();
    CPty pty;
    StartGantrel(pty);
    for (int i = 0; i < 50; ++i) Tick();  // 5 s without data
    int empty = 0;
    for (const auto& l : s.dataLines) empty += l.empty() ? 1 : 0;
    EXPECT_EQ(empty, 2) << "after 2 s and after 4 s";
    pty.Send("1,1,1,11\n");
    Tick();
    pty.Consumed();
    for (int i = 0; i < 15; ++i) Tick();  // 1.5 s
    EXPECT_TRUE(!s.dataLines.Latest().empty()) << "data came less than two seconds ago";
}

}  // namespace
}  // namespace acqtest
