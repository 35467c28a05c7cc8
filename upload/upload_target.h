// Where the uploads go and how one upload is tried: the service's address, the two fixed
// paths, the request every upload makes, the texts the user sees and the failure counter
// that switches the logging program's upload off.
#pragma once

#include <string>
#include <string_view>

#include "common/http_client.h"

// Base address (scheme, host, optional port) of the collecting service: the setting
// "sServiceAddress" of the running program's profile (section "General"), by default
// "http://localhost", so that nothing leaves the computer until a survey office sets its own.
inline constexpr std::string_view kServiceAddressKey = "sServiceAddress";
inline constexpr std::string_view kDefaultServiceAddress = "http://localhost";
// Fixed paths of the service: one reading (logging program), a whole survey (processing).
inline constexpr std::string_view kReadingUploadPath = "/gantrel/upload_gantrel_data.php";
inline constexpr std::string_view kSurveyUploadPath = "/gantrel/upload_gantrel_data_multi.php";
// The logging program's URL as the user set it ("Setup Brivane database").
inline constexpr std::string_view kRegistrationURLKey = "sRegistrationURL";

// Every upload is sent with this content type and agent name; the body is XML as it stands.
inline constexpr std::string_view kUploadContentType = "application/x-www-form-urlencoded";
inline constexpr std::string_view kUploadAgent = "HTTP Post Test App";
// Limits of one reading's upload, ms: connecting, and the whole exchange.
inline constexpr int kReadingUploadTimeoutMs = 2000;
// Reply bytes kept from one reading's upload (the receive buffer), and the longest error
// message shown.
inline constexpr size_t kReadingReplyBytes = 8192;
inline constexpr size_t kUploadErrorMessageBytes = 512;
// Consecutive failed uploads that switch the logging program's upload off.
inline constexpr int kMaxConsecutiveUploadFailures = 3;
// Shown when they did.
inline constexpr const char* kUploadStoppedMessage = "Upload error ! Stopped data uploading.";

std::string ServiceAddress();
// ServiceAddress() (without trailing slashes) followed by the path.
std::string ServiceURL(std::string_view path);
// The logging program's URL: "sRegistrationURL" when stored, else the reading path at the
// service address.
std::string LoadReadingUploadURL();
void StoreReadingUploadURL(std::string_view url);
// Why url cannot be an upload address (the text shown to the user), or "" when it can: an
// http:// or https:// scheme, a host, and no blank or control character anywhere. The window's
// "URL to uploading data" and tessick-cli --upload refuse the same addresses.
std::string UploadURLProblem(std::string_view url);

// Where the batch line sends the survey: an address (scheme, host and port, with at most a "/"
// after them) gets the service's path, as the window's sServiceAddress does; a URL with a
// path, query or fragment of its own is used as given.
std::string AddressOrURL(std::string_view given, std::string_view path);

// The request of every upload to url.
CHttpPost UploadRequest(const std::string& url, int iTimeoutMs, size_t nMaxReplyBytes);

// "Error during upload\r\nError: %d\r\n%s" with the error number and at most 512 bytes of
// the message.
std::string UploadErrorText(int iError, std::string_view message);

// Outcome of one upload: the response text for the received-lines log either way.
struct CUploadAttempt {
    bool bOk = false;
    std::string sResponse;
};
// Judges a reply. Success: a reply with a status below 400; the response text is the reply
// made fit to show (at most maxReplyBytes). A transport error gives the error text with the
// transport's number and message; an error status (400 and above) the error text with the
// status as the number, as the service refused the reading.
CUploadAttempt JudgeUploadReply(const CHttpReply& reply, size_t maxReplyBytes);

// Posts one reading document to url and judges the reply; blocks at most iTimeoutMs.
CUploadAttempt PostReadingDocument(CHttpClient& client, const std::string& url,
                                   std::string_view body,
                                   int iTimeoutMs = kReadingUploadTimeoutMs);

// Consecutive failures: a success resets the count; the third failure in a row says the
// upload must be switched off (and starts the count again).
class CUploadFailureCounter {
public:
    // True when this result switches the upload off.
    bool Count(bool bOk);
    void Reset() { nFailure = 0; }
    int nFailure = 0;
};
