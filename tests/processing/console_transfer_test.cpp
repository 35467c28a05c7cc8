#include "processing/console_transfer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "platform/posix_serial_port.h"
#include "tests/processing/command_fixture.h"
#include "tests/support/console_pty.h"

namespace {

using commandtest::CommandTest;
using consoletest::CConsolePty;
using consoletest::ReadBytes;
namespace fs = std::filesystem;

// ---------------------------------------------------------------------------------------------
// One console line

TEST(ConsoleLine, SevenTokensAreAReadingOfTwoReceivers) {
    std::string record;
    ASSERT_EQ(ConvertConsoleLine("7 12.5,55,80,55 8.1,50,55 12:34:56.78 06/15/09 x y", record),
              ConsoleLineKind::Reading);
    CGantrelData d;
    ASSERT_EQ(ParseReadingRecord(record, d), 2) << record;
    EXPECT_EQ(record.rfind("30 2", 0), 0u) << record;
    EXPECT_NE(record.find("     12.500 0 "), std::string::npos) << record;
    EXPECT_NE(record.find("      8.100 0 "), std::string::npos) << record;
    // The seconds are read to the nearest millisecond (780), so the hundredths come back.
    EXPECT_NE(record.find("12:34:56.78 06/15/09"), std::string::npos) << record;
    EXPECT_EQ(record.find("12:34:56.78 06/15/09") + 20, record.size()) << "no distance";

    EXPECT_EQ(d.iCurrentLevel[0], 0) << "every status is written as 0";

    // What the reading holds before it is written: levels in tenths, the status digits.
    CGantrelData r;
    ASSERT_TRUE(ParseConsoleReadingLine("7 12.5,55,80,55 8.1,50,55 12:34:56.78 06/15/09 x y", r));
    EXPECT_EQ(r.nReceiver, 2);
    EXPECT_FLOAT_EQ(r.fResistance[0], 12.5f);
    EXPECT_FLOAT_EQ(r.fResistance[1], 8.1f);
    EXPECT_FLOAT_EQ(r.fReceiverLevel[0], 5.5f);
    EXPECT_FLOAT_EQ(r.fReceiverLevel[1], 5.0f);
    EXPECT_FLOAT_EQ(r.fTransmitterLevel, 8.0f);
    EXPECT_EQ(r.iCurrentLevel[0], 5);
    EXPECT_EQ(r.iCurrentLevel[1], 5);
    EXPECT_EQ(r.iStatus[1], 5);
    EXPECT_EQ(r.iMilliSecond, 780);
}

TEST(ConsoleLine, KindsAreDecidedInTheirOrder) {
    std::string record;
    const std::string geometry = "33  GOHM      7.500      2.500      5.000      2.500 09:30:00.00 10/08/24";
    EXPECT_EQ(ConvertConsoleLine(geometry, record), ConsoleLineKind::GeometryOrMarker);
    EXPECT_EQ(record, geometry);
    const std::string marker = "3         0.00         0.00  09:30:00.00 10/08/24   5  0  0    4";
    EXPECT_EQ(ConvertConsoleLine(marker, record), ConsoleLineKind::GeometryOrMarker);
    EXPECT_EQ(record, marker);
    EXPECT_EQ(ConvertConsoleLine("6 1 2 3", record), ConsoleLineKind::GeometryOrMarker);
    EXPECT_EQ(record, "6 1 2 3");
    // A GGA sentence anywhere wins over the first character.
    const std::string gga = "0 $GNGGA,003000.00,3512.0,N,13942.0,E,1,09,0.9,11.5,M,39.5,M,,*5C";
    EXPECT_EQ(ConvertConsoleLine(gga, record), ConsoleLineKind::GPSSentence);
    EXPECT_EQ(record, gga);
    // A line starting with 0 is dropped even when it looks like a reading.
    EXPECT_EQ(ConvertConsoleLine("0 12.5,55,80,55 a b 12:34:56.78 06/15/09 x y", record),
              ConsoleLineKind::Dropped);
    EXPECT_TRUE(record.empty());
}

TEST(ConsoleLine, WhatCannotBeAReadingIsDropped) {
    std::string record;
    const char* dropped[] = {
        "",
        "1 12.5,55,80,55 12:34:56.78 06/15/09 x",  // five tokens
        "1 1,5,8,55 1,5,55 1,5,55 1,5,55 1,5,55 1,5,55 12:34:56.78 06/15/09 x y",  // eleven
        "1 12.5,55,80 8.1,50,55 12:34:56.78 06/15/09 x y",     // receiver 1 lacks its status
        "1 12.5,55,80,55 8.1,50,55,1 12:34:56.78 06/15/09 x y",  // receiver 2 has one too many
        "1 12.5x,55,80,55 8.1,50,55 12:34:56.78 06/15/09 x y",   // not a number
        "1 12.5,55,80,5 8.1,50,55 12:34:56.78 06/15/09 x y",     // one status digit
        "1 12.5,55,80,55 8.1,50,55 12:34 06/15/09 x y",          // a short time
        "1 2e9,55,80,55 8.1,50,55 12:34:56.78 06/15/09 x y",     // only "ERROR" could be written
        "1\t12.5,55,80,55\t8.1,50,55\t12:34:56.78\t06/15/09\tx\ty\tz\tw\tv\tu",  // eleven
    };
    for (const char* line : dropped) {
        EXPECT_EQ(ConvertConsoleLine(line, record), ConsoleLineKind::Dropped) << line;
        EXPECT_TRUE(record.empty()) << line;
    }
    // Tabs separate as blanks do.
    EXPECT_EQ(ConvertConsoleLine("1\t12.5,55,80,55\t12:34:56.78\t06/15/09\tx\ty", record),
              ConsoleLineKind::Reading);
    EXPECT_EQ(record.rfind("30 1", 0), 0u);
}

// ---------------------------------------------------------------------------------------------
// The transfer on a pseudo-terminal

class TransferTest : public CommandTest {
protected:
    void SetUp() override {
        CommandTest::SetUp();
        system.AddKnownDevice(pty.Path());
        ctx.serialPorts = &system;
        ctx.clock = &clock;
        destination = folder.path / "console.stn";
    }
    // The command up to waiting: destination, the port dialog with the pty and 9600 baud.
    void Start() {
        prompter.Push(destination);
        prompter.PushDialog<CDlgRS232C>([this](CDlgRS232C& d) {
            d.sDevice = pty.Path();
            d.iBaudRate = 6;
        });
        ASSERT_TRUE(Run(kCmdImportR731));
        ASSERT_EQ(view.bTransfer, 1);
    }
    void Tick() { ConsoleTransferTick(ctx); }
    int Received() const { return view.pTransfer ? view.pTransfer->nReceivedLine : -1; }

    CConsolePty pty;
    CPosixSerialPortSystem system;
    CManualClock clock;
    fs::path destination;
};

TEST_F(TransferTest, AStoredSurveyArrivesInPiecesAndIsOpened) {
    const auto console = consoletest::MakeConsoleSurvey(folder.path, 40);
    Start();
    EXPECT_EQ(view.iViewMode, kViewSerialTransfer);
    EXPECT_EQ(view.bTimer, 1);
    const auto messages = prompter.Messages();
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(messages[0], pty.Path() + ": Baud rate=9600 Stop bits=1");
    EXPECT_EQ(messages[1],
              "Ready to transfer data. \n\nTransfer data using 'Manual ASCII transfer' menu in R731");
    EXPECT_EQ(ReadSettingInt("Brivane_iBaudRateIndex", -1), 6);

    // 38,400 baud in pieces of 48 bytes; the window's timer ticks every 100 ms.
    pty.SendPaced(console.stream, 48, 38400);
    int ticks = 0;
    while (view.bTransfer == 1 && ticks < 400) {
        std::this_thread::sleep_for(std::chrono::milliseconds(kTransferTimerPeriod));
        Tick();
        ++ticks;
    }
    pty.Join();
    ASSERT_EQ(view.bTransfer, 0) << "the transfer ends when the console falls silent";
    EXPECT_EQ(view.bTimer, 0);
    EXPECT_EQ(view.pTransfer, nullptr);
    EXPECT_EQ(view.pTransferPort, nullptr);

    EXPECT_EQ(ReadBytes(destination), console.destination)
        << "every kept record in arrival order, CR LF ended; no line starting with 0";
    const auto shown = prompter.Messages();
    EXPECT_NE(std::find(shown.begin(), shown.end(),
                        FormatC("Data transfer was finished. \n\n %d packets have been transfered "
                                "and saved in console.stn. ",
                                console.nLine)),
              shown.end());
    EXPECT_NE(std::find(shown.begin(), shown.end(), "1 lines are imported"), shown.end());

    ASSERT_EQ(doc.survey.nLine, 1);
    const CGantrelLine& line = doc.survey.Line(0);
    EXPECT_EQ(line.nData(), console.nReading);
    EXPECT_EQ(line.nMarker(), 3);
    for (int j = 0; j < 3; ++j)
        EXPECT_FLOAT_EQ(line.pData[0].fResistance[j], console.firstResistances[static_cast<size_t>(j)]);
    EXPECT_EQ(line.pData[0].nReceiver, 3);
    // The markers carry their distances: the marker path places the readings without asking.
    EXPECT_EQ(view.iViewMode, kViewSectionOriginal);
    EXPECT_FLOAT_EQ(line.pData.back().fDistance, 100.0f);
    EXPECT_EQ(doc.dataFolder, folder.path);
    EXPECT_EQ(doc.sDataTitle, "console.stn");
    EXPECT_TRUE(ctx.bNewData);
}

TEST_F(TransferTest, TheEleventhPollWithoutALineEndsItEvenWithLinesBetween) {
    Start();
    pty.Send("1 12.5,55,80,55 12:34:56.78 06/15/09 x y\r\n");
    Tick();
    ASSERT_EQ(Received(), 1);
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < 5; ++i) Tick();
        pty.Send("1 13.5,55,80,55 12:34:57.78 06/15/09 x y\r\n");
        Tick();
    }
    EXPECT_EQ(view.pTransfer->nIdlePoll, 10) << "lines between idle polls do not reset the count";
    EXPECT_EQ(view.bTransfer, 1);
    pty.Send("1 14.5,55,80,55 12:34:57");  // half a line is no line
    Tick();
    EXPECT_EQ(view.bTransfer, 0) << "the 11th poll without a complete line ends the transfer";
    EXPECT_EQ(view.iViewMode, kViewLineResistivity) << "three readings without marker 0 give no line";
    EXPECT_EQ(doc.survey.nLine, 0);
    EXPECT_NE(ReadBytes(destination).find("     13.500"), std::string::npos);
    EXPECT_EQ(ReadBytes(destination).find("     14.500"), std::string::npos);
    const auto shown = prompter.Messages();
    EXPECT_NE(std::find(shown.begin(), shown.end(), "0 lines are imported"), shown.end());
}

TEST_F(TransferTest, NoLineInTwoHundredBytesIsAWrongBaudRate) {
    Start();
    Tick();
    Tick();  // waiting polls are not idle polls
    std::string noise;
    for (int i = 0; i < 250; ++i) noise.push_back(static_cast<char>(0x80 + (i * 37) % 120));
    pty.Send(noise);
    Tick();
    EXPECT_EQ(view.bTransfer, 0);
    EXPECT_EQ(view.bTimer, 0);
    EXPECT_EQ(view.pTransfer, nullptr);
    EXPECT_EQ(view.iViewMode, kViewNothing);
    EXPECT_EQ(prompter.Messages().back(), "Cannot resolve transfered data. Check Baudrate.");
    EXPECT_EQ(doc.survey.nLine, 0);
    EXPECT_FALSE(fs::exists(destination));
    // The port is free again: a new transfer can open it.
    Start();
}

TEST_F(TransferTest, EscapeImportsNothingAndTheFileKeepsWhatArrived) {
    const auto console = consoletest::MakeConsoleSurvey(folder.path, 20);
    Start();
    const size_t half = console.stream.size() / 2;
    pty.Send(console.stream.substr(0, half));
    Tick();
    const std::string written = ReadBytes(destination);
    EXPECT_FALSE(written.empty()) << "each poll's records are on disk at once";
    EXPECT_EQ(console.destination.rfind(written, 0), 0u) << "a start of what the console sent";
    ASSERT_TRUE(StopConsoleTransfer(ctx));
    EXPECT_EQ(view.iViewMode, kViewNothing);
    EXPECT_EQ(view.bTransfer, 0);
    EXPECT_EQ(view.pTransfer, nullptr);
    EXPECT_EQ(doc.survey.nLine, 0);
    EXPECT_EQ(ReadBytes(destination), written);
    EXPECT_FALSE(StopConsoleTransfer(ctx)) << "nothing runs any more";
    // The stop button also sets the mouse back.
    view.iMouseMode = kMouseGate;
    EXPECT_TRUE(Run(kCmdStopSerialTransfer));
    EXPECT_EQ(view.iMouseMode, kMouseNormal);
}

TEST_F(TransferTest, AnExistingDestinationKeepsItsFormerContent) {
    commandtest::WriteText(destination, "33 earlier\r\n");
    Start();
    pty.Send("6 marker\r\n");
    Tick();
    EXPECT_EQ(ReadBytes(destination), "33 earlier\r\n6 marker\r\n");
    StopConsoleTransfer(ctx);
}

TEST_F(TransferTest, NoiseAndOverlongLinesNeverStopTheTransfer) {
    Start();
    std::string bytes = "1 12.5,55,80,55 12:34:56.78 06/15/09 x y\r\n";
    bytes += std::string(3000, '3');  // a line of 3,000 characters: three pieces and a rest
    bytes += "\r\n";
    bytes += std::string("\0\x01\xff 12.5,55,80,55\0", 18);
    bytes += "\n1 14.5,55,80,55 12:34:58.78 06/15/09 x y\n";
    pty.Send(bytes);
    Tick();
    EXPECT_EQ(Received(), 1 + 3 + 1 + 1) << "1,023 + 1,023 + 954 characters, the noise, a reading";
    const std::string file = ReadBytes(destination);
    EXPECT_NE(file.find(std::string(1023, '3') + "\r\n" + std::string(1023, '3') + "\r\n" +
                        std::string(954, '3') + "\r\n"),
              std::string::npos)
        << "no character of the long line is lost";
    EXPECT_NE(file.find("     14.500 0"), std::string::npos);
    EXPECT_EQ(view.bTransfer, 1);
    StopConsoleTransfer(ctx);
}

TEST_F(TransferTest, ShortLinesFasterThanAHundredAPollFillTheBuffer) {
    Start();
    // 400 marker lines of 10 bytes a poll; 100 are cut a poll, the rest waits and the buffer
    // of 16,384 bytes fills on the sixth poll.
    std::string bytes;
    for (int i = 0; i < 400; ++i) bytes += "6 marker\r\n";
    int sent = 0;
    for (int poll = 0; poll < 6; ++poll) {
        pty.Send(bytes);
        sent += static_cast<int>(bytes.size());
        Tick();
        EXPECT_EQ(Received(), 100 * (poll + 1));
    }
    const auto shown = prompter.Messages();
    EXPECT_EQ(shown.back(), "Character buffer error 1");
    EXPECT_EQ(std::count(shown.begin(), shown.end(), "Character buffer error 1"), 1);
    EXPECT_EQ(view.pTransfer->nReceivedByte, sent) << "every byte read counts";
    // The lines waiting are cut by the next polls though nothing new comes, so they are not
    // taken for silence.
    Tick();
    EXPECT_EQ(Received(), 700);
    EXPECT_EQ(view.pTransfer->nIdlePoll, 0);
    for (int i = 0; i < 20; ++i) Tick();
    EXPECT_EQ(Received(), 2138) << "the 21,384 bytes that fitted, less the part line at the end";
    EXPECT_EQ(view.bTransfer, 1);
    StopConsoleTransfer(ctx);
}

TEST_F(TransferTest, StartEndsEarlyWithoutDestinationPortOrDevice) {
    prompter.PushCancel();
    EXPECT_TRUE(Run(kCmdImportR731));
    EXPECT_EQ(view.bTransfer, 0);

    // A device that is not there.
    prompter.Push(destination);
    prompter.PushDialog<CDlgRS232C>([](CDlgRS232C& d) { d.sDevice = "/dev/pts/999999"; });
    EXPECT_TRUE(Run(kCmdImportR731));
    EXPECT_EQ(view.bTransfer, 0);
    EXPECT_EQ(prompter.Messages().back(), "Unable to connect to serial port.");

    // The dialog cancelled.
    prompter.Push(destination);
    prompter.PushCancel();
    EXPECT_TRUE(Run(kCmdImportR731));
    EXPECT_EQ(view.bTransfer, 0);

    // No port at all.
    CPosixSerialPortSystem none({}, folder.path / "no-sys", folder.path / "no-dev");
    ctx.serialPorts = &none;
    WriteSettingString("Brivane_sComPortName", "");
    prompter.Push(destination);
    EXPECT_TRUE(Run(kCmdImportR731));
    EXPECT_EQ(prompter.Messages().back(), "No available comport");
    EXPECT_EQ(view.bTransfer, 0);
    EXPECT_FALSE(fs::exists(destination));
}

TEST_F(TransferTest, EnabledOnlyWithNothingLoadedAndNoTransferRunning) {
    EXPECT_TRUE(table.IsEnabled(ctx, kCmdImportR731));
    Start();
    EXPECT_FALSE(table.IsEnabled(ctx, kCmdImportR731)) << "a transfer runs";
    StopConsoleTransfer(ctx);
    EXPECT_TRUE(table.IsEnabled(ctx, kCmdImportR731));
    AddLine(3, 1);
    EXPECT_FALSE(table.IsEnabled(ctx, kCmdImportR731)) << "the survey has a line";
    doc.survey.nLine = 0;
    doc.store.nColumn = 2;
    EXPECT_FALSE(table.IsEnabled(ctx, kCmdImportR731)) << "the section data have columns";
    doc.store.nColumn = 0;
}

TEST_F(TransferTest, JapaneseMessages) {
    SetLanguage(kLanguageJapanese);
    Start();
    EXPECT_EQ(prompter.Messages()[0], pty.Path() + ": ボーレート=9600 ストップビット=1");
    EXPECT_NE(prompter.Messages()[1].find("Manual ASCII transfer"), std::string::npos);
    pty.Send(std::string(250, 'x'));
    Tick();
    EXPECT_EQ(prompter.Messages().back(),
              "転送されたデータを解読できません。ボーレートを確認してください。");
}

}  // namespace
