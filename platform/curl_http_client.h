// The HTTP client on libcurl. Honours the user's proxy variables (http_proxy, https_proxy,
// no_proxy) and sets no proxy of its own; https verifies the server against the system's
// certificate authorities. Keeps one connection handle, so consecutive posts to the same
// server reuse the open connection.
#pragma once

#include <mutex>

#include "common/http_client.h"

class CCurlHttpClient : public CHttpClient {
public:
    CCurlHttpClient();
    ~CCurlHttpClient() override;
    CCurlHttpClient(const CCurlHttpClient&) = delete;
    CCurlHttpClient& operator=(const CCurlHttpClient&) = delete;

    // Thread-safe: concurrent callers are served one after the other.
    CHttpReply Post(const CHttpPost& request, std::string_view body) override;

private:
    std::mutex mutex_;
    void* handle_ = nullptr;  // CURL*, created on first use
};
