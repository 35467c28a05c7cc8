#include "platform/curl_http_client.h"

#include <curl/curl.h>

#include <cstring>
#include <mutex>

namespace {

void InitialiseCurlOnce() {
    // Not thread-safe in older libcurl: done once, before any handle exists.
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct ReplySink {
    std::string* body;
    size_t limit;
    bool truncated = false;
};

size_t WriteReply(char* data, size_t size, size_t count, void* user) {
    auto* sink = static_cast<ReplySink*>(user);
    const size_t n = size * count;
    const size_t room = sink->limit - sink->body->size();
    if (n > room) {
        sink->body->append(data, room);
        sink->truncated = true;
        return 0;  // stops the transfer: the rest is not wanted
    }
    sink->body->append(data, n);
    return n;
}

class HeaderList {
public:
    ~HeaderList() { curl_slist_free_all(list_); }
    bool Add(const std::string& line) {
        curl_slist* next = curl_slist_append(list_, line.c_str());
        if (next == nullptr) return false;
        list_ = next;
        return true;
    }
    curl_slist* get() const { return list_; }

private:
    curl_slist* list_ = nullptr;
};

}  // namespace

CCurlHttpClient::CCurlHttpClient() {
    InitialiseCurlOnce();
}

CCurlHttpClient::~CCurlHttpClient() {
    if (handle_ != nullptr) curl_easy_cleanup(static_cast<CURL*>(handle_));
}

CHttpReply CCurlHttpClient::Post(const CHttpPost& request, std::string_view body) {
    std::lock_guard<std::mutex> lock(mutex_);
    CHttpReply reply;
    if (handle_ == nullptr) handle_ = curl_easy_init();
    CURL* curl = static_cast<CURL*>(handle_);
    if (curl == nullptr) {
        reply.iError = CURLE_FAILED_INIT;
        reply.sError = curl_easy_strerror(CURLE_FAILED_INIT);
        return reply;
    }
    // Back to the defaults, keeping the open connections and the name cache.
    curl_easy_reset(curl);

    HeaderList headers;
    // An empty "Expect:" stops libcurl from waiting for "100 Continue" before larger bodies.
    if (!headers.Add("Content-type: " + request.sContentType) || !headers.Add("Expect:")) {
        reply.iError = CURLE_OUT_OF_MEMORY;
        reply.sError = curl_easy_strerror(CURLE_OUT_OF_MEMORY);
        return reply;
    }
    ReplySink sink{&reply.sBody, request.nMaxReplyBytes};
    char error[CURL_ERROR_SIZE] = {};

    curl_easy_setopt(curl, CURLOPT_URL, request.sURL.c_str());
#if LIBCURL_VERSION_NUM >= 0x075500
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
#else
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS, static_cast<long>(CURLPROTO_HTTP | CURLPROTO_HTTPS));
#endif
    curl_easy_setopt(curl, CURLOPT_POST, 1L);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get());
    if (!request.sUserAgent.empty())
        curl_easy_setopt(curl, CURLOPT_USERAGENT, request.sUserAgent.c_str());
    // Worker threads must not get signals; name lookups then honour the time limit only with
    // the threaded resolver, which the distribution builds use.
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(request.iConnectTimeoutMs));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(request.iTimeoutMs));
    if (!request.sCaFile.empty()) curl_easy_setopt(curl, CURLOPT_CAINFO, request.sCaFile.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, WriteReply);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);

    const CURLcode code = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    reply.iStatus = static_cast<int>(status);
    // The error buffer points into this frame: forget it before returning.
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, nullptr);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);

    reply.bTruncated = sink.truncated;
    if (code == CURLE_OK || (code == CURLE_WRITE_ERROR && sink.truncated)) return reply;
    reply.iError = static_cast<int>(code);
    reply.sError = error[0] != '\0' ? error : curl_easy_strerror(code);
    return reply;
}
