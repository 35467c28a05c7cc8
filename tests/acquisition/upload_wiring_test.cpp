// The engine's upload of recorded readings to a real HTTP server on 127.0.0.1: what is sent and
// when, the replies in the received-lines log, the switch-off after three failures, and a
// service that hangs costing recording nothing.
#include <chrono>

#include "acquisition_support.h"
#include "platform/curl_http_client.h"
#include "tests/support/http_test_server.h"

namespace acqtest {
namespace {

using namespace std::chrono_literals;

class UploadWiring : public AcquisitionTest {
protected:
    void SetUp() override {
        AcquisitionTest::SetUp();
        testhttp::ClearProxyEnvironment();
        ASSERT_TRUE(server.Ready());
    }
    void TearDown() override {
        if (state) state->SetUploader(nullptr);
        uploader.reset();
        AcquisitionTest::TearDown();
    }
    CAcquisitionState& MakeUploadingState(const std::string& url) {
        auto& s = MakeState();
        uploader = std::make_unique<CReadingUploader>(client);
        uploader->SetURL(url);
        uploader->SetTimeoutMs(300);
        s.SetUploader(uploader.get());
        return s;
    }
    // Demonstration seconds, each followed by the uploads of its reading.
    void RunSeconds(int seconds) {
        for (int i = 0; i < seconds * 10; ++i) {
            Tick();
            if (i % 10 == 9) {
                ASSERT_TRUE(uploader->WaitIdle(5s));
            }
        }
        Tick();  // takes the last outcomes
    }
    int ReadingsInFile() const {
        const std::string text = ReadFile(state->sSurveyPath[0]);
        int n = 0;
        for (size_t p = text.find("\n30"); p != std::string::npos; p = text.find("\n30", p + 1))
            ++n;
        return n;
    }

    testhttp::Server server;
    CCurlHttpClient client;
    std::unique_ptr<CReadingUploader> uploader;
};

TEST_F(UploadWiring, RecordedReadingsGoWithTheLatestFixAndTheRepliesAreShown) {
    server.Always({200, "stored", false});
    auto& s = MakeUploadingState(server.URL("/gantrel/upload_gantrel_data.php"));
    ASSERT_TRUE(s.SetUpload(true));
    ASSERT_TRUE(s.StartDemonstration(kSlotGantrel, kDemoTwoLayerModel));
    RunSeconds(2);
    EXPECT_TRUE(server.Requests().empty()) << "nothing is sent while no line is recorded";

    ASSERT_TRUE(s.StartDemonstration(kSlotGPS, kDemoGPSTrack));
    s.StartMark();
    RunSeconds(3);
    s.Pause();
    RunSeconds(2);
    s.EndLine();
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 3u) << "one per recorded reading, none while paused";
    const std::string& body = requests.back().sBody;
    EXPECT_EQ(body.rfind("<?xml version='1.0'?><gantrel_file><gantrel_data><latitude>35.46", 0), 0u)
        << body;
    EXPECT_NE(body.find("<longitude>136.73"), std::string::npos);
    EXPECT_NE(body.find("<number_of_receiver>5</number_of_receiver><resistance_1>18.19"),
              std::string::npos)
        << body;
    int shown = 0;
    for (const auto& l : s.receivedLines) shown += l == "stored";
    EXPECT_EQ(shown, 3);
    EXPECT_EQ(s.bUpload, 1);
}

TEST_F(UploadWiring, ThreeFailuresSwitchTheUploadOffAndRecordingGoesOn) {
    auto& s = MakeUploadingState("http://127.0.0.1:" + std::to_string(testhttp::ClosedPort()) +
                                 "/upload.php");
    ASSERT_TRUE(s.StartDemonstration(kSlotGantrel, kDemoConstantModel));
    s.ToggleUpload();
    ASSERT_EQ(s.bUpload, 1);
    s.StartMark();
    RunSeconds(5);
    EXPECT_EQ(s.bUpload, 0);
    EXPECT_FALSE(uploader->IsEnabled());
    EXPECT_TRUE(prompter.Messages().empty()) << "no message box holds the poll";
    EXPECT_EQ(prompter.Notices(),
              std::vector<std::string>{"Upload error ! Stopped data uploading."});
    EXPECT_EQ(s.form.sNotice, "Upload error ! Stopped data uploading.");
    int errors = 0;
    for (const auto& l : s.receivedLines)
        errors += l.rfind("Error during upload\r\nError: 7", 0) == 0;
    EXPECT_EQ(errors, 3);
    EXPECT_EQ(uploader->Counts().nOffered, 3);
    EXPECT_EQ(ReadingsInFile(), 5) << "every reading is recorded all the same";
}

TEST_F(UploadWiring, AHangingServiceDelaysNoReadingAndEachIsInTheFileFirst) {
    server.Always({200, "", true});
    auto& s = MakeUploadingState(server.URL("/hang.php"));
    uploader->SetTimeoutMs(1000);
    ASSERT_TRUE(s.StartDemonstration(kSlotGantrel, kDemoConstantModel));
    s.SetUpload(true);
    s.StartMark();
    const auto begin = std::chrono::steady_clock::now();
    for (int i = 0; i < 30; ++i) Tick();  // three readings
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 1500ms)
        << "the ticks do not wait for the service";
    for (int i = 0; i < 200 && server.Requests().empty(); ++i) std::this_thread::sleep_for(10ms);
    ASSERT_FALSE(server.Requests().empty());
    EXPECT_EQ(ReadingsInFile(), 3) << "the first upload is in progress; all three are recorded";
    EXPECT_NE(server.Requests()[0].sBody.find("<resistance_1>4.244132</resistance_1>"),
              std::string::npos);
}

TEST_F(UploadWiring, TheSwitchNeedsAnUploaderAndTheUrlIsSetUpThroughThePrompter) {
    auto& s = MakeState();
    EXPECT_FALSE(s.SetUpload(true));
    EXPECT_EQ(s.bUpload, 0);

    CReadingUploader u(client, UploadMode::Inline);
    s.SetUploader(&u);
    prompter.script.Push(std::string("http://127.0.0.1:1/typed.php"));
    EXPECT_TRUE(s.SetupUploadDatabase());
    EXPECT_EQ(u.URL(), "http://127.0.0.1:1/typed.php");
    EXPECT_EQ(ReadSettingString("sRegistrationURL", ""), "http://127.0.0.1:1/typed.php");
    ASSERT_FALSE(prompter.script.History().empty());
    EXPECT_EQ(prompter.script.History().back().sText, "URL to uploading data");
    prompter.script.PushCancel();
    EXPECT_FALSE(s.SetupUploadDatabase());
    EXPECT_EQ(u.URL(), "http://127.0.0.1:1/typed.php");
    s.SetUploader(nullptr);
}

}  // namespace
}  // namespace acqtest
