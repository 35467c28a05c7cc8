// A real HTTP server on 127.0.0.1 inside the test process (cpp-httplib), recording every
// request it gets and answering as the test says: a reply, an error status, or no answer at
// all until the test ends (a service that accepts the connection and hangs).
#pragma once

#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testhttp {

struct Received {
    std::string sMethod, sPath, sTarget, sBody;
    std::vector<std::string> contentTypes;  // every Content-Type header, as sent
    std::string sUserAgent;
    bool bExpect = false;  // an Expect header came
};

struct Answer {
    int iStatus = 200;
    std::string sBody = "OK";
    bool bHang = false;  // never answer (until the server stops)
};

template <class ServerT>
class BasicServer {
public:
    template <class... Args>
    explicit BasicServer(Args&&... args) : server_(std::forward<Args>(args)...) {
        // A request of any path and any target form (a proxy gets absolute URLs).
        // Any path, and any target form (a proxy gets absolute URLs).
        server_.Post(".*", [this](const httplib::Request& req, httplib::Response& res) {
            Handle(req, res);
        });
        server_.set_keep_alive_timeout(1);
        port_ = server_.bind_to_any_port("127.0.0.1");
        if (port_ <= 0) return;
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        // stop() before the loop runs would be lost and leave the loop waiting for ever.
        for (int i = 0; i < 500 && !server_.is_running(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ~BasicServer() { Stop(); }

    void Stop() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            released_ = true;
        }
        release_.notify_all();
        server_.stop();
        if (thread_.joinable()) thread_.join();
    }

    int Port() const { return port_; }
    bool Ready() const { return port_ > 0; }
    std::string URL(const std::string& path, const char* scheme = "http") const {
        return std::string(scheme) + "://127.0.0.1:" + std::to_string(port_) + path;
    }

    // Answers for the next requests, in order; after them every request gets `always`.
    void Queue(Answer a) {
        std::lock_guard<std::mutex> lock(mutex_);
        script_.push_back(std::move(a));
    }
    void Always(Answer a) {
        std::lock_guard<std::mutex> lock(mutex_);
        always_ = std::move(a);
    }
    std::vector<Received> Requests() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return received_;
    }

private:
    void Handle(const httplib::Request& req, httplib::Response& res) {
        Received r;
        r.sMethod = req.method;
        r.sPath = req.path;
        r.sTarget = req.target;
        r.sBody = req.body;
        for (const auto& h : req.headers) {
            if (EqualNoCase(h.first, "Content-Type")) r.contentTypes.push_back(h.second);
            if (EqualNoCase(h.first, "User-Agent")) r.sUserAgent = h.second;
            if (EqualNoCase(h.first, "Expect")) r.bExpect = true;
        }
        std::unique_lock<std::mutex> lock(mutex_);
        received_.push_back(std::move(r));
        Answer a = always_;
        if (!script_.empty()) {
            a = script_.front();
            script_.pop_front();
        }
        if (a.bHang) {
            release_.wait_for(lock, std::chrono::seconds(20), [this] { return released_; });
            return;
        }
        res.status = a.iStatus;
        res.set_content(a.sBody, "text/plain");
    }
    static bool EqualNoCase(const std::string& a, const char* b) {
        size_t i = 0;
        for (; i < a.size() && b[i] != '\0'; ++i)
            if (std::tolower(static_cast<unsigned char>(a[i])) !=
                std::tolower(static_cast<unsigned char>(b[i])))
                return false;
        return i == a.size() && b[i] == '\0';
    }

    ServerT server_;
    int port_ = -1;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::condition_variable release_;
    bool released_ = false;
    std::deque<Answer> script_;
    Answer always_;
    std::vector<Received> received_;
};

using Server = BasicServer<httplib::Server>;

// A port on 127.0.0.1 where nothing listens: bound, then closed again.
inline int ClosedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    int port = -1;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
        port = ntohs(addr.sin_port);
    ::close(fd);
    return port;
}

// The tests talk to 127.0.0.1 directly whatever proxy the environment names.
inline void ClearProxyEnvironment() {
    for (const char* v : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy",
                          "ALL_PROXY", "no_proxy", "NO_PROXY"})
        ::unsetenv(v);
}

}  // namespace testhttp
