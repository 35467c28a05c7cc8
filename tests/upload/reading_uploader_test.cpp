// The logging program's reading uploader: switch, failure counter, order and time bounds,
// against a real server on 127.0.0.1.
#include "upload/reading_uploader.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "common/memory_settings.h"
#include "common/scripted_prompter.h"
#include "common/settings.h"
#include "common/text_format.h"
#include "platform/curl_http_client.h"
#include "tests/support/http_test_server.h"

namespace {

using namespace std::chrono_literals;

CGantrelData Reading(float value) {
    CGantrelData d;
    d.nReceiver = 1;
    d.fResistance[0] = value;
    return d;
}

class ReadingUploaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        testhttp::ClearProxyEnvironment();
        SetSettingsBackend(&store);
        ASSERT_TRUE(server.Ready());
    }
    void TearDown() override { SetSettingsBackend(nullptr); }

    // An uploader posting to the test server with a short limit.
    std::unique_ptr<CReadingUploader> Make(UploadMode mode, size_t capacity = 64) {
        auto u = std::make_unique<CReadingUploader>(client, mode, capacity);
        u->SetURL(server.URL("/gantrel/upload_gantrel_data.php"));
        u->SetTimeoutMs(300);
        u->SetEnabled(true);
        return u;
    }
    static std::string Outcomes(const std::vector<CUploadEvent>& events) {
        std::string s;
        for (const auto& e : events)
            s += e.bQueueFull ? "Q" : e.bSwitchedOff ? "X" : e.bOk ? "S" : "F";
        return s;
    }
    std::vector<std::string> ServerBodies() const {
        std::vector<std::string> out;
        for (const auto& r : server.Requests()) out.push_back(r.sBody);
        return out;
    }

    CMemorySettingsBackend store;
    testhttp::Server server;
    CCurlHttpClient client;
};

TEST_F(ReadingUploaderTest, StartsOffWithTheStoredUrlAndUploadsNothingWhileOff) {
    WriteSettingString("sRegistrationURL", server.URL("/stored.php"));
    CReadingUploader u(client);
    EXPECT_FALSE(u.IsEnabled());
    EXPECT_EQ(u.URL(), server.URL("/stored.php"));
    EXPECT_FALSE(u.Submit(Reading(1.0f), nullptr));
    EXPECT_TRUE(u.WaitIdle(1s));
    EXPECT_TRUE(server.Requests().empty());
    EXPECT_EQ(u.Counts().nOffered, 0) << "off: nothing is offered, nothing lost";
}

TEST_F(ReadingUploaderTest, SetupTakesTheEditedUrlAndStoresItAndCancelKeepsIt) {
    CReadingUploader u(client, UploadMode::Inline);
    CScriptedPrompter prompter;
    prompter.Push(server.URL("/typed.php"));
    EXPECT_TRUE(SetupUploadURL(prompter, u));
    ASSERT_EQ(prompter.History().size(), 1u);
    EXPECT_EQ(prompter.History()[0].sText, "URL to uploading data");
    EXPECT_EQ(u.URL(), server.URL("/typed.php"));
    EXPECT_EQ(ReadSettingString("sRegistrationURL", ""), server.URL("/typed.php"));
    prompter.PushCancel();
    EXPECT_FALSE(SetupUploadURL(prompter, u));
    EXPECT_EQ(u.URL(), server.URL("/typed.php"));
    u.SetEnabled(true);
    EXPECT_TRUE(u.Submit(Reading(1.0f), nullptr));
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0].sPath, "/typed.php");
}

TEST_F(ReadingUploaderTest, UnreachableServiceGivesThreeErrorsThenSwitchesOff) {
    auto u = Make(UploadMode::Inline);
    u->SetURL("http://127.0.0.1:" + std::to_string(testhttp::ClosedPort()) + "/x.php");
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(u->Submit(Reading(1.0f), nullptr));
    const auto events = u->TakeEvents();
    EXPECT_EQ(Outcomes(events), "FFX");
    for (const auto& e : events)
        EXPECT_EQ(e.sResponse.rfind("Error during upload\r\nError: 7\r\n", 0), 0u);
    EXPECT_FALSE(u->IsEnabled());
    EXPECT_FALSE(u->Submit(Reading(1.0f), nullptr)) << "recording goes on, the upload does not";
    EXPECT_TRUE(u->TakeEvents().empty());
    const CUploadCounts c = u->Counts();
    EXPECT_EQ(c.nOffered, 3);
    EXPECT_EQ(c.nFailed, 3);
}

TEST_F(ReadingUploaderTest, ASuccessBetweenFailuresStartsTheCountAgain) {
    for (int status : {500, 500, 200, 500, 500, 200, 503, 500, 404})
        server.Queue({status, status == 200 ? "ok" : "no", false});
    auto u = Make(UploadMode::Inline);
    for (int i = 0; i < 8; ++i) ASSERT_TRUE(u->Submit(Reading(static_cast<float>(i)), nullptr));
    EXPECT_TRUE(u->IsEnabled()) << "never three failures in a row so far";
    EXPECT_TRUE(u->Submit(Reading(8.0f), nullptr));
    EXPECT_EQ(Outcomes(u->TakeEvents()), "FFSFFSFFX");
    EXPECT_FALSE(u->IsEnabled());
    EXPECT_EQ(u->Counts().nUploaded, 2);
}

TEST_F(ReadingUploaderTest, SwitchingOnAgainGivesTheServiceThreeNewTries) {
    server.Always({500, "no", false});
    auto u = Make(UploadMode::Inline);
    u->Submit(Reading(1), nullptr);
    u->Submit(Reading(2), nullptr);
    u->SetEnabled(false);
    u->SetEnabled(true);
    u->Submit(Reading(3), nullptr);
    u->Submit(Reading(4), nullptr);
    EXPECT_TRUE(u->IsEnabled());
    u->Submit(Reading(5), nullptr);
    EXPECT_EQ(Outcomes(u->TakeEvents()), "FFFFX");
}

TEST_F(ReadingUploaderTest, WorkerNeverMakesRecordingWaitAndKeepsRecordingOrder) {
    server.Always({200, "", true});  // accepts and never answers
    auto u = Make(UploadMode::Worker);
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(u->Submit(Reading(static_cast<float>(i)), nullptr));
    // Each upload hangs for its 300 ms: had Submit waited, outcomes would be here already.
    EXPECT_TRUE(u->TakeEvents().empty());
    ASSERT_TRUE(u->WaitIdle(10s));
    EXPECT_EQ(Outcomes(u->TakeEvents()), "FFX");
    const CUploadCounts c = u->Counts();
    EXPECT_EQ(c.nOffered, 5);
    EXPECT_EQ(c.nCancelled, 2) << "waiting when the switch went off";
    EXPECT_EQ(c.nWaiting, 0);
    const auto bodies = ServerBodies();
    ASSERT_EQ(bodies.size(), 3u);
    for (int i = 0; i < 3; ++i)
        EXPECT_NE(bodies[static_cast<size_t>(i)].find(FormatC("<resistance_1>%d.000000<", i)),
                  std::string::npos)
            << "in recording order";
}

TEST_F(ReadingUploaderTest, WorkerPostsEveryReadingInOrderAndReportsEachReply) {
    for (int i = 0; i < 6; ++i) server.Queue({200, "reply " + std::to_string(i), false});
    auto u = Make(UploadMode::Worker);
    CGPSData fix;
    fix.dLatitude = 35.25;
    fix.dLongitude = 139.5;
    for (int i = 0; i < 6; ++i) u->Submit(Reading(static_cast<float>(i)), i < 3 ? nullptr : &fix);
    ASSERT_TRUE(u->WaitIdle(10s));
    const auto events = u->TakeEvents();
    ASSERT_EQ(events.size(), 6u);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(events[static_cast<size_t>(i)].sResponse, "reply " + std::to_string(i));
    const auto bodies = ServerBodies();
    ASSERT_EQ(bodies.size(), 6u);
    EXPECT_NE(bodies[2].find("<latitude>0.000000<"), std::string::npos);
    EXPECT_NE(bodies[3].find("<latitude>35.250000</latitude><longitude>139.500000<"),
              std::string::npos)
        << "the fix as it was when the reading was submitted";
}

TEST_F(ReadingUploaderTest, FullQueueDropsFurtherReadingsWithOneNotice) {
    server.Always({200, "", true});
    auto u = Make(UploadMode::Worker, 2);
    int accepted = 0;
    for (int i = 0; i < 8; ++i)
        accepted += u->Submit(Reading(static_cast<float>(i)), nullptr) ? 1 : 0;
    // Two wait; the worker may have taken a third already.
    EXPECT_GE(accepted, 2);
    EXPECT_LE(accepted, 3);
    const auto notices = u->TakeEvents();
    EXPECT_EQ(Outcomes(notices), "Q") << "one notice, not one per reading";
    // Every offered reading is in exactly one count, whenever they are taken.
    auto addsUp = [](const CUploadCounts& c) {
        return c.nOffered == c.nUploaded + c.nFailed + c.nDroppedFull + c.nCancelled + c.nWaiting;
    };
    CUploadCounts c = u->Counts();
    EXPECT_EQ(c.nOffered, 8);
    EXPECT_EQ(c.nDroppedFull, 8 - accepted);
    EXPECT_GE(c.nWaiting, 2) << "queued and hanging: the quit of a hung upload";
    EXPECT_TRUE(addsUp(c));
    u->SetEnabled(false);
    ASSERT_TRUE(u->WaitIdle(10s));
    c = u->Counts();
    EXPECT_EQ(c.nWaiting, 0);
    EXPECT_TRUE(addsUp(c));
}

TEST_F(ReadingUploaderTest, NotifyIsCalledForEveryOutcome) {
    std::atomic<int> calls{0};
    auto u = Make(UploadMode::Worker);
    u->SetNotify([&] { ++calls; });
    u->Submit(Reading(1), nullptr);
    u->Submit(Reading(2), nullptr);
    ASSERT_TRUE(u->WaitIdle(10s));
    // The notice may run just after the worker went idle.
    for (int i = 0; i < 100 && calls.load() < 2; ++i) std::this_thread::sleep_for(10ms);
    EXPECT_EQ(calls.load(), 2);
}

TEST_F(ReadingUploaderTest, DestroyingWhileAnUploadHangsEndsWithinTheLimit) {
    server.Always({200, "", true});
    const auto start = std::chrono::steady_clock::now();
    {
        auto u = Make(UploadMode::Worker);
        for (int i = 0; i < 10; ++i) u->Submit(Reading(1), nullptr);
    }
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 2.0)
        << "only the upload in progress is waited for";
}

}  // namespace
