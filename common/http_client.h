// HTTP client interface: one synchronous POST with hard time limits. The core builds the
// documents and reads the replies; platform/ supplies the transport (libcurl). A program that
// can upload installs its client at startup with SetHttpClient.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

struct CHttpPost {
    std::string sURL;          // http:// or https://; other schemes are refused
    std::string sContentType;  // sent as the "Content-type" header
    std::string sUserAgent;
    // Time allowed to establish the connection, and for the whole exchange from the start
    // (connection, sending, and reading the reply), ms. 0 means no limit.
    int iConnectTimeoutMs = 2000;
    int iTimeoutMs = 2000;
    // Reply bytes kept; a longer reply is cut there and the rest is not read (bTruncated).
    size_t nMaxReplyBytes = 8192;
    // A PEM file of certificate authorities trusted for https besides the system's (a
    // service with a certificate of its own); empty for the system's alone.
    std::string sCaFile;
};

struct CHttpReply {
    // 0 when a reply was read (whatever its status); otherwise the transport's error number
    // (for libcurl its CURLcode: 7 no connection, 28 time limit, 3 malformed URL, ...).
    int iError = 0;
    std::string sError;  // what went wrong, from the transport; empty when iError is 0
    int iStatus = 0;     // HTTP status of the reply, 0 when there was none
    std::string sBody;   // the reply, at most nMaxReplyBytes
    bool bTruncated = false;

    bool Transferred() const { return iError == 0; }
};

class CHttpClient {
public:
    virtual ~CHttpClient() = default;
    // Sends body with the POST method and returns what came back. Never throws; may be called
    // from any one thread at a time per client object, and blocks at most for the limits.
    virtual CHttpReply Post(const CHttpPost& request, std::string_view body) = 0;
};

// The process's client; null (the default) when the program has none, and the commands that
// upload are then unavailable. The caller keeps ownership.
void SetHttpClient(CHttpClient* client);
CHttpClient* GetHttpClient();
