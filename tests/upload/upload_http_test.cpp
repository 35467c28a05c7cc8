// The libcurl client and one reading's upload against a real server on 127.0.0.1.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/curl_http_client.h"
#include "tests/support/http_test_server.h"
#include "upload/upload_documents.h"
#include "upload/upload_target.h"

namespace {

using Clock = std::chrono::steady_clock;

class UploadHttpTest : public ::testing::Test {
protected:
    void SetUp() override {
        testhttp::ClearProxyEnvironment();
        ASSERT_TRUE(server.Ready());
    }
    std::string ReadingURL() const { return server.URL(std::string(kReadingUploadPath)); }
    static std::string EdgeCaseBody() {
        CGantrelData d;
        d.nReceiver = 2;
        d.fResistance[0] = 12.5f;
        d.fResistance[1] = 3.25f;
        CGPSData fix;
        fix.dLatitude = 35.5;
        fix.dLongitude = 139.25;
        return BuildReadingDocument(d, &fix);
    }
    static double Seconds(Clock::time_point since) {
        return std::chrono::duration<double>(Clock::now() - since).count();
    }

    testhttp::Server server;
    CCurlHttpClient client;
};

TEST_F(UploadHttpTest, ReadingIsPostedAsTheXmlTextWithTheFormContentType) {
    server.Always({200, "registered 1", false});
    const std::string body = EdgeCaseBody();
    const CUploadAttempt a = PostReadingDocument(client, ReadingURL(), body);
    EXPECT_TRUE(a.bOk);
    EXPECT_EQ(a.sResponse, "registered 1");
    const auto got = server.Requests();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].sMethod, "POST");
    EXPECT_EQ(got[0].sPath, "/gantrel/upload_gantrel_data.php");
    EXPECT_EQ(got[0].sBody, body) << "the XML as it stands, not form-encoded";
    EXPECT_EQ(got[0].sBody,
              "<?xml version='1.0'?><gantrel_file><gantrel_data><latitude>35.500000</latitude>"
              "<longitude>139.250000</longitude><number_of_receiver>2</number_of_receiver>"
              "<resistance_1>12.500000</resistance_1><resistance_2>3.250000</resistance_2>"
              "</gantrel_data></gantrel_file>");
    EXPECT_EQ(got[0].contentTypes,
              std::vector<std::string>{"application/x-www-form-urlencoded"});
    EXPECT_EQ(got[0].sUserAgent, "HTTP Post Test App");
    EXPECT_FALSE(got[0].bExpect);
}

TEST_F(UploadHttpTest, ConsecutivePostsReuseTheConnectionAndEachGetsItsReply) {
    server.Queue({200, "first", false});
    server.Queue({200, "second", false});
    EXPECT_EQ(PostReadingDocument(client, ReadingURL(), "a").sResponse, "first");
    EXPECT_EQ(PostReadingDocument(client, ReadingURL(), "b").sResponse, "second");
    const auto got = server.Requests();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[1].sBody, "b");
}

TEST_F(UploadHttpTest, ReplyIsShownWholeUpToTheReceiveBuffer) {
    // 512 bytes: a whole number of 256-byte reads, which must not leave the text empty.
    server.Queue({200, std::string(512, 'r'), false});
    EXPECT_EQ(PostReadingDocument(client, ReadingURL(), "x").sResponse, std::string(512, 'r'));
    server.Queue({200, std::string(20000, 's'), false});
    const CUploadAttempt a = PostReadingDocument(client, ReadingURL(), "x");
    EXPECT_TRUE(a.bOk) << "a long reply is cut, not a failure";
    EXPECT_EQ(a.sResponse, std::string(kReadingReplyBytes, 's'));
}

TEST_F(UploadHttpTest, AnErrorStatusIsAFailedUpload) {
    server.Queue({500, "database down", false});
    const CUploadAttempt a = PostReadingDocument(client, ReadingURL(), "x");
    EXPECT_FALSE(a.bOk);
    EXPECT_EQ(a.sResponse,
              "Error during upload\r\nError: 500\r\n"
              "The service answered with the HTTP status 500: database down");
}

TEST_F(UploadHttpTest, ClosedPortFailsWithTheConnectionError) {
    const int port = testhttp::ClosedPort();
    ASSERT_GT(port, 0);
    const auto start = Clock::now();
    const CUploadAttempt a = PostReadingDocument(
        client, "http://127.0.0.1:" + std::to_string(port) + "/gantrel/upload_gantrel_data.php",
        EdgeCaseBody());
    EXPECT_FALSE(a.bOk);
    EXPECT_EQ(a.sResponse.rfind("Error during upload\r\nError: 7\r\n", 0), 0u) << a.sResponse;
    EXPECT_GT(a.sResponse.size(), std::string("Error during upload\r\nError: 7\r\n").size())
        << "the system's message follows";
    EXPECT_LT(Seconds(start), 1.5) << "a refused connection does not wait for the limit";
}

TEST_F(UploadHttpTest, ServiceThatNeverAnswersCostsAtMostTheLimit) {
    server.Always({200, "", true});
    const auto start = Clock::now();
    const CUploadAttempt a = PostReadingDocument(client, ReadingURL(), EdgeCaseBody(), 300);
    const double took = Seconds(start);
    EXPECT_FALSE(a.bOk);
    EXPECT_EQ(a.sResponse.rfind("Error during upload\r\nError: 28\r\n", 0), 0u) << a.sResponse;
    EXPECT_GE(took, 0.25);
    EXPECT_LT(took, 2.0) << "bounded by the 300 ms limit, not the 2000 ms default";
    EXPECT_EQ(server.Requests().size(), 1u) << "the request did arrive";
}

TEST_F(UploadHttpTest, UrlsThatCannotBePostedAreFailuresNotCrashes) {
    for (const char* url : {"", "http://", "not a url", "ftp://127.0.0.1/x", "file:///etc/hostname",
                            "http://127.0.0.1:99999/x"}) {
        const CUploadAttempt a = PostReadingDocument(client, url, "x", 300);
        EXPECT_FALSE(a.bOk) << url;
        EXPECT_EQ(a.sResponse.rfind("Error during upload\r\nError: ", 0), 0u) << url;
    }
    EXPECT_TRUE(server.Requests().empty());
}

TEST_F(UploadHttpTest, ProxyComesFromTheEnvironmentOnly) {
    // The server stands in for the user's proxy: an address that does not exist on this
    // network is reached through it.
    ::setenv("http_proxy", server.URL("").c_str(), 1);
    server.Always({200, "via proxy", false});
    const CUploadAttempt a =
        PostReadingDocument(client, "http://192.0.2.1/gantrel/upload_gantrel_data.php", "p", 1000);
    testhttp::ClearProxyEnvironment();
    EXPECT_TRUE(a.bOk) << a.sResponse;
    const auto got = server.Requests();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].sTarget, "http://192.0.2.1/gantrel/upload_gantrel_data.php");
    EXPECT_EQ(got[0].sBody, "p");
}

// https against a server with a certificate made for the test (by the openssl tool).
class UploadHttpsTest : public ::testing::Test {
protected:
    void SetUp() override {
        testhttp::ClearProxyEnvironment();
        dir = std::filesystem::temp_directory_path() /
              ("gantrel-https-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        cert = (dir / "cert.pem").string();
        key = (dir / "key.pem").string();
        const std::string command =
            "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 "
            "-addext subjectAltName=IP:127.0.0.1 -keyout '" + key + "' -out '" + cert +
            "' >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0) GTEST_SKIP() << "no openssl tool to make a certificate";
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::filesystem::path dir;
    std::string cert, key;
    CCurlHttpClient client;
};

TEST_F(UploadHttpsTest, PostsOverTlsAndRefusesAnUntrustedCertificate) {
    testhttp::BasicServer<httplib::SSLServer> server(cert.c_str(), key.c_str());
    ASSERT_TRUE(server.Ready());
    server.Always({200, "secure", false});
    CHttpPost post = UploadRequest(server.URL("/gantrel/upload_gantrel_data.php", "https"), 2000,
                                   kReadingReplyBytes);
    const CHttpReply untrusted = client.Post(post, "t");
    EXPECT_EQ(untrusted.iError, 60) << "peer certificate cannot be verified: " << untrusted.sError;
    EXPECT_TRUE(server.Requests().empty());
    post.sCaFile = cert;
    const CHttpReply reply = client.Post(post, "t");
    EXPECT_EQ(reply.iError, 0) << reply.sError;
    EXPECT_EQ(reply.iStatus, 200);
    EXPECT_EQ(reply.sBody, "secure");
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0].sBody, "t");
}

// The one check of an upload address, shared by the window's dialog and tessick-cli.
TEST(UploadURLProblem, AcceptsHttpAddressesWithAHostAndRefusesTheRest) {
    const struct {
        const char* url;
        const char* problem;  // "" when accepted
    } cases[] = {
        {"http://localhost/gantrel/upload_gantrel_data.php", ""},
        {"https://survey.example.org:8443/up.php?site=3", ""},
        {"http://127.0.0.1:8080", ""},
        {"http://[::1]:80/up.php", ""},
        {"notaurl", "'notaurl' is no http:// or https:// address"},
        {"", "'' is no http:// or https:// address"},
        {"ftp://host/up.php", "'ftp://host/up.php' is no http:// or https:// address"},
        {"HTTP//host", "'HTTP//host' is no http:// or https:// address"},
        {"http://", "'http://' names no host"},
        {"https:///up.php", "'https:///up.php' names no host"},
        {"http://:80/up.php", "'http://:80/up.php' names no host"},
        {"http://host/a b.php", "'http://host/a b.php' holds a blank or a control character"},
        {" http://host", "' http://host' holds a blank or a control character"},
        {"http://host/\r\n", "'http://host/\r\n' holds a blank or a control character"},
    };
    for (const auto& c : cases) EXPECT_EQ(UploadURLProblem(c.url), c.problem) << c.url;
}

// Where the survey goes: an address takes the service's path, a URL of its own stays as it is.
TEST(AddressOrURL, AnAddressGetsTheServicePathAndAWholeURLIsKept) {
    const struct {
        const char* given;
        const char* posted;
    } cases[] = {
        {"http://office", "http://office/svc/in.php"},
        {"http://office/", "http://office/svc/in.php"},
        {"https://10.0.0.2:8443", "https://10.0.0.2:8443/svc/in.php"},
        {"http://[::1]:80/", "http://[::1]:80/svc/in.php"},
        {"http://office/other/up.php", "http://office/other/up.php"},
        {"http://office/?site=3", "http://office/?site=3"},
        {"http://office#top", "http://office#top"},
    };
    for (const auto& c : cases) EXPECT_EQ(AddressOrURL(c.given, "/svc/in.php"), c.posted) << c.given;
}

}  // namespace
