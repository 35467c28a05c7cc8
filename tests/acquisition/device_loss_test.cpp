// A console or GPS whose cable slips: the line stays open, nothing is added to it while the
// console is away, the same device path is reopened as soon as it is back, and END LINE works
// throughout.
#include <memory>

#include "acquisition_support.h"
#include "common/survey_file.h"
#include "common/text_format.h"

namespace acqtest {
namespace {

// A device at a fixed path, as the system names a USB adapter: a link to a fresh
// pseudo-terminal while plugged in, no such path while unplugged.
class CPluggable {
public:
    explicit CPluggable(fs::path link) : link_(std::move(link)) {}
    void Plug() {
        pty_ = std::make_unique<CPty>();
        fs::create_symlink(pty_->Path(), link_);
    }
    void Unplug() {
        pty_->CloseMaster();
        fs::remove(link_);
        pty_.reset();
    }
    CPty& Pty() { return *pty_; }
    std::string Path() const { return link_.string(); }

private:
    fs::path link_;
    std::unique_ptr<CPty> pty_;
};

class DeviceLoss : public AcquisitionTest {
protected:
    void Start(CPluggable& device, bool (CAcquisitionState::*start)()) {
        ports.AddKnownDevice(device.Path());
        const std::string path = device.Path();
        prompter.script.PushDialog<CDlgRS232C>([path](CDlgRS232C& d) {
            d.sDevice = path;
            d.iBaudRate = 12;
        });
        ASSERT_TRUE(((*state).*start)());
    }
    void Send(CPluggable& device, const std::string& bytes) {
        device.Pty().Send(bytes);
        Tick();
        device.Pty().Consumed();
    }
};

TEST_F(DeviceLoss, ALostConsoleAddsNothingToItsLineAndEndLineAndQuitStillEndIt) {
    auto& s = MakeState();
    CPluggable console(dir / "ttyUSB0"), gps(dir / "ttyUSB1");
    console.Plug();
    gps.Plug();
    Start(console, &CAcquisitionState::StartGantrel);
    Start(gps, &CAcquisitionState::StartGPS);
    s.StartMark();
    Send(console, "1.0,1,1,11\n");
    const std::string gga = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\n";
    Send(gps, gga);
    console.Unplug();
    Tick();
    EXPECT_TRUE(s.IsLost(kSlotGantrel));
    EXPECT_EQ(s.bGantrelStarted, 1) << "waiting for it, not stopped";
    EXPECT_TRUE(s.bPollTimerRunning);
    EXPECT_NE(s.form.sStatus.find("Gantrel disconnected: waiting for " + console.Path()),
              std::string::npos)
        << s.form.sStatus;
    Send(gps, gga);
    Send(gps, gga);
    EXPECT_EQ(s.fixes.Count(), 3) << "the GPS window still follows";
    EXPECT_TRUE(s.OnKey('e')) << "END LINE works with the console away";
    EXPECT_EQ(s.iRecordState, 0);
    s.EndLine();  // quitting again does nothing more

    CGantrelSurvey survey;
    ReadSurveyFile(survey, s.sSurveyPath[0]);
    ASSERT_EQ(survey.nLine, 1);
    EXPECT_EQ(survey.Line(0).nData(), 1);
    EXPECT_EQ(survey.Line(0).nGPS(), 1) << "no position after the console was lost";
    EXPECT_EQ(survey.Line(0).nMarker(), 2);
    EXPECT_EQ(s.nLost[kSlotGantrel], 1);
}

// 50 unplug/replug cycles in one run: every reading sent while the console was there is in
// the file, in order, and the keys act after every replug.
TEST_F(DeviceLoss, ARepluggedConsoleIsReadAgainAtTheSamePathFiftyTimes) {
    auto& s = MakeState();
    CPluggable console(dir / "ttyUSB0");
    console.Plug();
    Start(console, &CAcquisitionState::StartGantrel);
    s.StartMark();
    constexpr int kCycles = 50, kPerCycle = 3;
    int marks = 0;
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        if (cycle > 0) {
            Tick();
            EXPECT_TRUE(s.IsLost(kSlotGantrel)) << cycle;
            console.Plug();
            Tick();
            ASSERT_FALSE(s.IsLost(kSlotGantrel)) << "cycle " << cycle;
            EXPECT_EQ(s.dataLines.Latest(),
                      FormatC(">>The serial port %s of Gantrel was reconnected.",
                              console.Path().c_str()));
        }
        std::string bytes;
        for (int k = 0; k < kPerCycle; ++k)
            bytes += FormatC("%d.5,1,1,11\r\n", cycle * kPerCycle + k);
        Send(console, bytes);
        if (cycle % 10 == 5) {
            EXPECT_TRUE(s.OnKey('m'));
            ++marks;
        }
        console.Unplug();
        Tick();
    }
    EXPECT_EQ(s.nLost[kSlotGantrel], kCycles);
    EXPECT_EQ(s.iRecordState, 1) << "the line stayed open";
    s.EndLine();

    CGantrelSurvey survey;
    ReadSurveyFile(survey, s.sSurveyPath[0]);
    ASSERT_EQ(survey.nLine, 1);
    const CGantrelLine& line = survey.Line(0);
    ASSERT_EQ(line.nData(), kCycles * kPerCycle);
    for (int i = 0; i < line.nData(); ++i)
        ASSERT_FLOAT_EQ(line.pData[static_cast<size_t>(i)].fResistance[0],
                        static_cast<float>(i) + 0.5f)
            << i;
    EXPECT_EQ(line.nMarker(), 2 + marks);
}

}  // namespace
}  // namespace acqtest
