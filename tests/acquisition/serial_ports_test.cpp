#include "acquisition/serial_ports.h"

#include <fcntl.h>
#include <sys/file.h>

#include "acquisition_support.h"
#include "common/text_format.h"

namespace acqtest {
namespace {

class SerialPorts : public AcquisitionTest {
protected:
    // A system whose only ports are the known devices (an empty /sys/class/tty).
    CPosixSerialPortSystem OnlyKnown(std::vector<std::string> known) {
        fs::create_directories(dir / "sys");
        return CPosixSerialPortSystem(std::move(known), dir / "sys", dir / "dev");
    }
};

TEST_F(SerialPorts, PortCountIsAtLeast255AndWrittenBack) {
    CSerialPortList fresh = CSerialPortList::FromSettings();
    EXPECT_EQ(fresh.nPort(), 255);
    EXPECT_EQ(ReadSettingInt("nComPort", 0), 255) << "the setting always exists";
    EXPECT_EQ(fresh.sPortName.front(), "COM1");
    EXPECT_EQ(fresh.sPortName.back(), "COM255");

    WriteSettingInt("nComPort", 20);
    EXPECT_EQ(CSerialPortList::FromSettings().nPort(), 255);
    EXPECT_EQ(ReadSettingInt("nComPort", 0), 255);

    WriteSettingInt("nComPort", 300);
    CSerialPortList big = CSerialPortList::FromSettings();
    EXPECT_EQ(big.nPort(), 300);
    EXPECT_EQ(big.sPortName[299], "COM300");
    EXPECT_EQ(ReadSettingInt("nComPort", 0), 300);
}

TEST_F(SerialPorts, SettingKeysCarryThePrefixAndDefaultTo1200Baud) {
    CSerialPortSetting g("Gantrel");
    g.Load();
    EXPECT_EQ(g.iPortIndex, 0);
    EXPECT_EQ(g.BaudRate(), 1200);
    EXPECT_STREQ(g.StopBitsText(), "1");
    g.iBaudIndex = 12;
    g.iStopBitsIndex = 1;
    g.sPortName = "/dev/ttyUSB3";
    g.Save();
    EXPECT_EQ(ReadSettingInt("Gantrel_iBaudRateIndex", 0), 12);
    EXPECT_EQ(ReadSettingInt("Gantrel_iStopBitsIndex", 0), 1);
    EXPECT_EQ(ReadSettingString("Gantrel_sComPortName", ""), "/dev/ttyUSB3");
    CSerialPortSetting again("Gantrel");
    again.Load();
    EXPECT_EQ(again.BaudRate(), 115200);
    EXPECT_EQ(again.StopBitsCode(), kOne5StopBits) << "the choice 1.5 is stop-bit code 1";
    CSerialPortSetting bad("GPS");
    bad.iBaudIndex = 15;
    bad.iStopBitsIndex = -1;
    EXPECT_EQ(bad.BaudRate(), 1200);
    EXPECT_EQ(bad.StopBitsCode(), kOneStopBit);
}

TEST_F(SerialPorts, NoPortsMeansNoDialogAndNoStart) {
    auto none = OnlyKnown({});
    CSerialPortSetting g("Gantrel");
    prompter.script.PushAccept();
    EXPECT_FALSE(ChooseSerialPort(g, none, prompter));
    EXPECT_EQ(prompter.Messages(), std::vector<std::string>{"No available comport"});
    EXPECT_EQ(prompter.script.Pending(), 1u) << "the dialog was never shown";
}

TEST_F(SerialPorts, EnumerationMarksReportedPortsAndTestsWhetherTheyOpen) {
    CPty a, b;
    auto system = OnlyKnown({a.Path(), b.Path(), (dir / "missing").string()});
    // Another program holds b.
    const int holder = open(b.Path().c_str(), O_RDONLY | O_NOCTTY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);

    CSerialPortList list(255);
    EXPECT_EQ(EnumerateSerialPorts(list, true, false, system, prompter), 2);
    EXPECT_EQ(list.sPortName[0], a.Path());
    EXPECT_EQ(list.sPortName[1], b.Path());
    EXPECT_EQ(list.sPortName[2], "COM3");
    EXPECT_EQ(list.bAvailable[0] + list.bAvailable[1], 2);
    EXPECT_EQ(prompter.Messages().back(), a.Path() + "\n" + b.Path() + "\n");

    EXPECT_EQ(EnumerateSerialPorts(list, false, true, system, prompter), 2);
    EXPECT_EQ(list.bAvailable[0], 1);
    EXPECT_EQ(list.bAvailable[1], 0) << "a port in use by another program is not available";
    close(holder);
}

TEST_F(SerialPorts, DialogOffersAvailablePortsAndStoresTheChoiceByName) {
    CPty a, b;
    auto system = OnlyKnown({a.Path(), b.Path()});
    CSerialPortSetting g("Gantrel");
    g.Load();
    std::vector<std::string> offered;
    prompter.script.PushDialog<CDlgRS232C>([&](CDlgRS232C& d) {
        offered = d.ports;
        EXPECT_EQ(d.baudRates.size(), 15u);
        EXPECT_EQ(d.baudRates[3], "1200");
        EXPECT_EQ(d.stopBits, (std::vector<std::string>{"1", "1.5", "2"}));
        EXPECT_EQ(d.iPort, 0);
        EXPECT_EQ(d.iBaudRate, 3);
        d.iPort = 1;
        d.iBaudRate = 6;
        d.iStopBits = 2;
    });
    ASSERT_TRUE(ChooseSerialPort(g, system, prompter));
    EXPECT_EQ(offered, (std::vector<std::string>{a.Path(), b.Path()}));
    EXPECT_EQ(g.iPortIndex, 1);
    EXPECT_EQ(g.sPortName, b.Path());
    EXPECT_EQ(ReadSettingInt("Gantrel_iComPortIndex", -1), 1);
    EXPECT_EQ(ReadSettingInt("Gantrel_iBaudRateIndex", -1), 6);
    EXPECT_EQ(ReadSettingInt("Gantrel_iStopBitsIndex", -1), 2);

    // The system now lists b first: the choice still means b, not the port at index 1.
    auto reordered = OnlyKnown({b.Path(), a.Path()});
    prompter.script.PushDialog<CDlgRS232C>([&](CDlgRS232C& d) { EXPECT_EQ(d.iPort, 0); });
    ASSERT_TRUE(ChooseSerialPort(g, reordered, prompter));
    EXPECT_EQ(g.sPortName, b.Path());
    EXPECT_EQ(g.iPortIndex, 0);

    prompter.script.PushCancel();
    g.iBaudIndex = 9;
    EXPECT_FALSE(ChooseSerialPort(g, system, prompter));
    EXPECT_EQ(ReadSettingInt("Gantrel_iBaudRateIndex", -1), 6) << "Cancel changes nothing";
}

TEST_F(SerialPorts, ATypedDevicePathIsKeptAndListedFromThenOn) {
    CPty a, typed;
    auto system = OnlyKnown({a.Path()});
    CSerialPortSetting g("GPS");
    prompter.script.PushDialog<CDlgRS232C>([&](CDlgRS232C& d) { d.sDevice = typed.Path(); });
    ASSERT_TRUE(ChooseSerialPort(g, system, prompter));
    EXPECT_EQ(g.sPortName, typed.Path());
    EXPECT_EQ(g.iPortIndex, 255) << "no table entry: the table size, as for a port not found";
    CSerialPortList list(255);
    EXPECT_EQ(EnumerateSerialPorts(list, false, false, system, prompter), 2);
    EXPECT_EQ(list.sPortName[1], typed.Path());
}

TEST_F(SerialPorts, FirstOpenOfASlotShowsTheLineSettingsOnce) {
    CPty a;
    auto system = OnlyKnown({a.Path()});
    CSerialPortSetting g("Gantrel");
    g.sPortName = a.Path();
    CPortSlots slots;
    ASSERT_TRUE(OpenSerialPort(slots, kSlotGantrel, g, system, prompter, clock));
    EXPECT_TRUE(slots.IsOpen(kSlotGantrel));
    EXPECT_EQ(prompter.Messages(),
              std::vector<std::string>{a.Path() + ": Baud rate=1200 Stop bits=1"});
    slots.Close(kSlotGantrel);
    EXPECT_FALSE(slots.IsOpen(kSlotGantrel));

    const auto before = clock.Now();
    ASSERT_TRUE(OpenSerialPort(slots, kSlotGantrel, g, system, prompter, clock));
    EXPECT_EQ(prompter.Messages().size(), 1u) << "a second open shows nothing";
    EXPECT_EQ(clock.Now().iMilliSecond - before.iMilliSecond, 20) << "it waits 20 ms instead";
    EXPECT_EQ(slots.nOpen[kSlotGantrel], 2);

    CSerialPortSetting gone("GPS");
    gone.sPortName = (dir / "nothing").string();
    EXPECT_FALSE(OpenSerialPort(slots, kSlotGPS, gone, system, prompter, clock));
    EXPECT_EQ(slots.nOpen[kSlotGPS], 0);
    CSerialPortSetting relative("GPS");  // a table name that is no device on this system
    EXPECT_FALSE(OpenSerialPort(slots, kSlotGPS, relative, system, prompter, clock));
}

TEST_F(SerialPorts, RealPortsAreDevicesNotPseudoTerminals) {
    CPosixSerialPortSystem system;
    for (const auto& name : system.DiscoverPorts()) {
        EXPECT_EQ(name.rfind("/dev/", 0), 0u) << name;
        EXPECT_EQ(name.find("pts"), std::string::npos) << name;
    }
}

TEST_F(SerialPorts, PortTestWindowShowsTheLatestTwentyLinesOfEveryPort) {
    CPty a, b;
    auto system = OnlyKnown({a.Path(), b.Path()});
    CPortTestWindow window(system, prompter);
    ASSERT_EQ(window.Open(), 2);
    EXPECT_EQ(prompter.Messages().front(), kTryAllPortsMessage);
    EXPECT_EQ(prompter.Messages().back(), a.Path() + "\n" + b.Path() + "\n");

    a.Send("first\r\nsecond\r");
    b.Send("$GPGGA,1\r\n");
    window.Tick();
    EXPECT_EQ(window.Text(),
              a.Path() + ":first \r\n" + a.Path() + ":second \r\n" + b.Path() + ":$GPGGA,1 \r\n");
    a.Consumed();
    b.Consumed();
    std::string many;
    for (int i = 0; i < 25; ++i) many += FormatC("line %d\n", i);
    a.Send(many);
    window.Tick();
    ASSERT_EQ(window.Lines().Count(), 20);
    EXPECT_EQ(window.Lines()[0], a.Path() + ":line 5");
    EXPECT_EQ(window.Lines()[19], a.Path() + ":line 24");

    b.CloseMaster();
    window.Tick();
    EXPECT_EQ(window.OpenPorts(), std::vector<std::string>{a.Path()})
        << "an unplugged port is let go";
    window.Close();
    EXPECT_TRUE(window.OpenPorts().empty());
}

TEST_F(SerialPorts, ShowAvailableSerialPortsWarnsThenListsWhatOpens) {
    CPty a;
    auto system = OnlyKnown({a.Path()});
    EXPECT_EQ(ShowAvailableSerialPorts(system, prompter), 1);
    EXPECT_EQ(prompter.Messages(),
              (std::vector<std::string>{kTryAllPortsMessage, a.Path() + "\n"}));
}

TEST_F(SerialPorts, PortTestWindowWithNothingToOpen) {
    auto none = OnlyKnown({});
    CPortTestWindow window(none, prompter);
    EXPECT_EQ(window.Open(), 0);
    EXPECT_EQ(prompter.Messages().back(), "No available comport");
}

TEST_F(SerialPorts, SerialLogsAreKeptInTheFolderOfTheFirstStart) {
    CSerialLogs off;
    off.FixPaths(dir);
    off.Append(CSerialLogs::Gantrel, "not kept");
    EXPECT_FALSE(fs::exists(dir / "RS232C_Gantrel_read.txt")) << "the switch is off by default";

    off.Toggle();
    EXPECT_EQ(ReadSettingInt("bSaveSerialPortLog", 0), 1);
    CSerialLogs logs;
    EXPECT_TRUE(logs.IsOn());
    logs.FixPaths(dir);
    logs.FixPaths(dir / "later");
    EXPECT_EQ(logs.Path(CSerialLogs::GPS), dir / "RS232C_GPS_read.txt") << "fixed once per run";
    logs.Append(CSerialLogs::Gantrel, "1.0,1,1,11");
    logs.Append(CSerialLogs::Gantrel, "2.0,2,2,22");
    logs.Append(CSerialLogs::Etcetera, "$GPRMC,x");
    EXPECT_EQ(ReadFile(dir / "RS232C_Gantrel_read.txt"), "1.0,1,1,11\r\n2.0,2,2,22\r\n");
    EXPECT_EQ(ReadFile(dir / "RS232C_Etcetera_read.txt"), "$GPRMC,x\r\n");
}

}  // namespace
}  // namespace acqtest
