#include "upload/upload_target.h"

#include <algorithm>

#include "common/settings.h"
#include "common/text_format.h"
#include "upload/response_text.h"

std::string ServiceAddress() {
    return ReadSettingString(kServiceAddressKey, kDefaultServiceAddress);
}

std::string ServiceURL(std::string_view path) {
    std::string base = ServiceAddress();
    while (!base.empty() && base.back() == '/') base.pop_back();
    return base + std::string(path);
}

std::string LoadReadingUploadURL() {
    return ReadSettingString(kRegistrationURLKey, ServiceURL(kReadingUploadPath));
}

void StoreReadingUploadURL(std::string_view url) {
    WriteSettingString(kRegistrationURLKey, url);
}

std::string UploadURLProblem(std::string_view url) {
    const std::string quoted = "'" + std::string(url) + "'";
    for (const char c : url)
        if (static_cast<unsigned char>(c) <= ' ' || c == 0x7f)
            return quoted + " holds a blank or a control character";
    std::string_view rest;
    for (std::string_view scheme : {"http://", "https://"})
        if (url.size() >= scheme.size() && url.substr(0, scheme.size()) == scheme)
            rest = url.substr(scheme.size());
    if (rest.data() == nullptr) return quoted + " is no http:// or https:// address";
    // The host ends at the port, the path, the query or the fragment.
    const std::string_view host = rest.substr(0, rest.find_first_of(":/?#"));
    if (host.empty()) return quoted + " names no host";
    return "";
}

std::string AddressOrURL(std::string_view given, std::string_view path) {
    const std::size_t scheme = given.find("://");
    if (scheme == std::string_view::npos) return std::string(given);
    const std::string_view rest = given.substr(scheme + 3);
    const std::size_t after = rest.find_first_of("/?#");
    if (after != std::string_view::npos && rest.substr(after) != "/") return std::string(given);
    std::string base(given.substr(0, scheme + 3 + std::min(after, rest.size())));
    return base + std::string(path);
}

CHttpPost UploadRequest(const std::string& url, int iTimeoutMs, size_t nMaxReplyBytes) {
    CHttpPost post;
    post.sURL = url;
    post.sContentType = std::string(kUploadContentType);
    post.sUserAgent = std::string(kUploadAgent);
    post.iConnectTimeoutMs = iTimeoutMs;
    post.iTimeoutMs = iTimeoutMs;
    post.nMaxReplyBytes = nMaxReplyBytes;
    return post;
}

std::string UploadErrorText(int iError, std::string_view message) {
    return FormatC("Error during upload\r\nError: %d\r\n", iError) +
           ResponseText(message, kUploadErrorMessageBytes);
}

CUploadAttempt JudgeUploadReply(const CHttpReply& reply, size_t maxReplyBytes) {
    CUploadAttempt a;
    if (!reply.Transferred()) {
        a.sResponse = UploadErrorText(reply.iError, reply.sError);
        return a;
    }
    const std::string text = ResponseText(reply.sBody, maxReplyBytes);
    if (reply.iStatus >= 400) {
        a.sResponse = UploadErrorText(
            reply.iStatus, FormatC("The service answered with the HTTP status %d: ", reply.iStatus) +
                               text);
        return a;
    }
    a.bOk = true;
    a.sResponse = text;
    return a;
}

CUploadAttempt PostReadingDocument(CHttpClient& client, const std::string& url,
                                   std::string_view body, int iTimeoutMs) {
    const CHttpReply reply = client.Post(UploadRequest(url, iTimeoutMs, kReadingReplyBytes), body);
    return JudgeUploadReply(reply, kReadingReplyBytes);
}

bool CUploadFailureCounter::Count(bool bOk) {
    if (bOk) {
        nFailure = 0;
        return false;
    }
    if (++nFailure < kMaxConsecutiveUploadFailures) return false;
    nFailure = 0;
    return true;
}
