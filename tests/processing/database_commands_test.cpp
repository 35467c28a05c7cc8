// "Upload data to database" and "Survey property", through the command table and the batch
// line, against a real HTTP server on 127.0.0.1.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>

#include "common/http_client.h"
#include "common/language.h"
#include "common/memory_settings.h"
#include "common/scripted_prompter.h"
#include "common/settings.h"
#include "platform/curl_http_client.h"
#include "upload/upload_target.h"
#include "processing/batch.h"
#include "processing/commands.h"
#include "processing/database_commands.h"
#include "tests/processing/logger_file.h"
#include "tests/support/http_test_server.h"

namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class DatabaseCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        testhttp::ClearProxyEnvironment();
        ASSERT_TRUE(server.Ready());
        SetSettingsBackend(&store);
        SetLanguage(kLanguageEnglish);
        WriteSettingString("sServiceAddress", server.URL(""));
        SetHttpClient(&client);
        folder = fs::temp_directory_path() /
                 ("gantrel_database_" +
                  std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(folder);
        fs::create_directories(folder);
        previous = fs::current_path();
        fs::current_path(folder);  // the upload's files go to the current directory
    }
    void TearDown() override {
        fs::current_path(previous);
        fs::remove_all(folder);
        SetHttpClient(nullptr);
        SetSettingsBackend(nullptr);
        SetLanguage(kLanguageEnglish);
    }
    // Lines of the given reading counts, one receiver each with V/I 1, 2, 3, ...
    void AddLines(std::initializer_list<int> readings) {
        float v = 1.0f;
        for (int n : readings) {
            CGantrelLine& line = *doc.survey.AddLine();
            for (int i = 0; i < n; ++i) {
                CGantrelData& d = *line.AddData();
                d.nReceiver = 1;
                d.fResistance[0] = v++;
            }
        }
    }
    bool Upload() { return table.Invoke(ctx, kCmdUploadDatabase); }

    testhttp::Server server;
    CCurlHttpClient client;
    CMemorySettingsBackend store;
    fs::path folder, previous;
    CBrivaneDoc doc;
    CBrivaneViewState view;
    CScriptedPrompter prompter;
    CBrivaneContext ctx{doc, view, prompter};
    CCommandTable table = BuildBrivaneCommands();
};

TEST_F(DatabaseCommandsTest, UploadSendsTheSurveyDocumentAndKeepsItAndTheReply) {
    AddLines({2, 3});
    doc.sProjectName = "North field";
    server.Always({200, "Accepted 5 readings\nthank you", false});
    ASSERT_TRUE(Upload());
    EXPECT_FALSE(ctx.failure) << *ctx.failure;
    EXPECT_EQ(prompter.Messages(),
              (std::vector<std::string>{"Number of line = 2 Number of data = 5",
                                        "Accepted 5 readings\nthank you"}));
    const auto got = server.Requests();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].sPath, "/gantrel/upload_gantrel_data_multi.php");
    EXPECT_EQ(got[0].contentTypes,
              std::vector<std::string>{"application/x-www-form-urlencoded"});
    EXPECT_EQ(got[0].sBody, ReadBytes("test.xml")) << "test.xml is what was sent";
    EXPECT_EQ(got[0].sBody.rfind("<?xml version='1.0'?>\r\n<gantrel_file><user_name>OSTREL_PC"
                                 "</user_name><project_name>North field</project_name>",
                                 0),
              0u);
    EXPECT_NE(got[0].sBody.find("<line_index>1</line_index>"), std::string::npos);
    EXPECT_EQ(ReadBytes("UploadDataToDatabase.txt"), "Accepted 5 readings\r\nthank you")
        << "the reply, with the suite's line ends";
    EXPECT_FALSE(fs::exists("test.xml.part"));
}

TEST_F(DatabaseCommandsTest, LongReplyIsShownInPiecesAndKeptWhole) {
    AddLines({1});
    server.Always({200, std::string(20000, 'r'), false});
    ASSERT_TRUE(Upload());
    const auto messages = prompter.Messages();
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(messages[1].size(), 8192u);
    EXPECT_EQ(messages[2].size(), 8192u);
    EXPECT_EQ(messages[3].size(), 20000u - 2 * 8192u);
    EXPECT_EQ(ReadBytes("UploadDataToDatabase.txt"), std::string(20000, 'r'));
}

TEST_F(DatabaseCommandsTest, UnreachableServiceIsReportedAndLeavesAnEmptyReplyFile) {
    AddLines({1});
    {
        std::ofstream old("UploadDataToDatabase.txt");
        old << "reply of an earlier upload";
    }
    WriteSettingString("sServiceAddress",
                       "http://127.0.0.1:" + std::to_string(testhttp::ClosedPort()));
    ASSERT_TRUE(Upload());
    ASSERT_TRUE(ctx.failure);
    EXPECT_EQ(ctx.failure->rfind("An exception occurred.\r\n Error: 7\r\n ", 0), 0u) << *ctx.failure;
    EXPECT_EQ(prompter.Messages().back(), *ctx.failure);
    EXPECT_TRUE(fs::exists("test.xml")) << "the document was made before the attempt";
    EXPECT_EQ(ReadBytes("UploadDataToDatabase.txt"), "") << "no reply to this upload";
}

TEST_F(DatabaseCommandsTest, JapaneseFailureUsesTheJapaneseText) {
    AddLines({1});
    SetLanguage(kLanguageJapanese);
    WriteSettingString("sServiceAddress",
                       "http://127.0.0.1:" + std::to_string(testhttp::ClosedPort()));
    ASSERT_TRUE(Upload());
    ASSERT_TRUE(ctx.failure);
    EXPECT_EQ(ctx.failure->rfind("例外が発生しました。\r\n エラー: 7\r\n ", 0), 0u);
}

TEST_F(DatabaseCommandsTest, ErrorStatusIsShownAndIsAFailure) {
    AddLines({1});
    server.Always({503, "busy", false});
    ASSERT_TRUE(Upload());
    EXPECT_EQ(prompter.Messages().back(), "busy");
    ASSERT_TRUE(ctx.failure);
    EXPECT_EQ(*ctx.failure, "the service answered with the HTTP status 503");
    EXPECT_EQ(ReadBytes("UploadDataToDatabase.txt"), "busy");
}

TEST_F(DatabaseCommandsTest, ProjectNameThatIsNotUtf8IsRefusedBeforeSending) {
    AddLines({1});
    doc.sProjectName = "bad\xFF";
    ASSERT_TRUE(Upload());
    ASSERT_TRUE(ctx.failure);
    EXPECT_EQ(ctx.failure->rfind("Cannot write the file test.xml: ", 0), 0u) << *ctx.failure;
    EXPECT_TRUE(server.Requests().empty());
}

TEST_F(DatabaseCommandsTest, UploadNeedsASurveyAndAClient) {
    EXPECT_FALSE(table.IsEnabled(ctx, kCmdUploadDatabase)) << "nothing to upload";
    AddLines({1});
    EXPECT_TRUE(table.IsEnabled(ctx, kCmdUploadDatabase));
    SetHttpClient(nullptr);
    EXPECT_FALSE(table.IsEnabled(ctx, kCmdUploadDatabase)) << "a program without HTTP";
    EXPECT_TRUE(table.IsEnabled(ctx, kCmdSurveyProperty));
}

TEST_F(DatabaseCommandsTest, SurveyPropertyStoresTheNameInTheSurveyAndTheSettings) {
    doc.sProjectName = "old";
    prompter.PushDialog<CDlgProperty>([](CDlgProperty& p) {
        EXPECT_EQ(p.DialogName(), "Property");
        EXPECT_EQ(p.sProjectName, "old");
        p.sProjectName = "River \xE6\x97\xA5";
    });
    ASSERT_TRUE(table.Invoke(ctx, kCmdSurveyProperty));
    EXPECT_EQ(doc.sProjectName, "River \xE6\x97\xA5");
    EXPECT_EQ(ReadSettingString("sProjectName", ""), "River \xE6\x97\xA5");
    CBrivaneDoc next;
    EXPECT_EQ(next.sProjectName, "River \xE6\x97\xA5") << "a new document starts with it";

    prompter.PushCancel();
    ASSERT_TRUE(table.Invoke(ctx, kCmdSurveyProperty));
    EXPECT_EQ(doc.sProjectName, "River \xE6\x97\xA5") << "Cancel changes nothing";
}

TEST_F(DatabaseCommandsTest, BatchUploadsWithTheGivenUrlAndProjectName) {
    testdata::WriteLoggerFile(folder / "line01.sto", 12, 4, 10.0, false);
    server.Always({200, "stored", false});
    std::string error;
    auto o = ParseBatchOptions({(folder / "line01.sto").string(), "--project", "Batch job",
                                "--upload", server.URL("/office/in.php")},
                               error);
    ASSERT_TRUE(o) << error;
    std::ostringstream log;
    EXPECT_EQ(RunBatch(*o, log, {}), 0) << log.str();
    EXPECT_NE(log.str().find("message: Number of line = 1 Number of data = 12\n"),
              std::string::npos)
        << log.str();
    EXPECT_NE(log.str().find("message: stored\n"), std::string::npos);
    const auto got = server.Requests();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].sPath, "/office/in.php");
    EXPECT_NE(got[0].sBody.find("<project_name>Batch job</project_name>"), std::string::npos);
}

TEST_F(DatabaseCommandsTest, BatchUploadFailureFailsTheRun) {
    testdata::WriteLoggerFile(folder / "line01.sto", 4, 2, 10.0, false);
    std::string error;
    auto o = ParseBatchOptions({(folder / "line01.sto").string(), "--upload",
                                "http://127.0.0.1:" + std::to_string(testhttp::ClosedPort()) + "/x"},
                               error);
    ASSERT_TRUE(o) << error;
    std::ostringstream log;
    EXPECT_EQ(RunBatch(*o, log, {}), 1);
    EXPECT_NE(log.str().find("error: uploading to http://127.0.0.1:"), std::string::npos)
        << log.str();
    EXPECT_FALSE(ParseBatchOptions({"--upload", "http://127.0.0.1/x"}, error));
    EXPECT_EQ(error, "--upload needs survey files: there is nothing to upload");
    EXPECT_FALSE(ParseBatchOptions({(folder / "line01.sto").string(), "--upload", "notaurl"}, error));
    EXPECT_EQ(error, "--upload: 'notaurl' is no http:// or https:// address");
}

TEST_F(DatabaseCommandsTest, BatchUploadToAnAddressPostsToTheServicePathAsTheWindowDoes) {
    testdata::WriteLoggerFile(folder / "line01.sto", 4, 2, 10.0, false);
    server.Always({200, "stored", false});
    std::string error;
    auto o = ParseBatchOptions({(folder / "line01.sto").string(), "--upload", server.URL("/")},
                               error);
    ASSERT_TRUE(o) << error;
    std::ostringstream log;
    EXPECT_EQ(RunBatch(*o, log, {}), 0) << log.str();
    const auto got = server.Requests();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].sPath, std::string(kSurveyUploadPath));
}

}  // namespace
