// A pseudo-terminal pair standing in for a serial device: the program under test opens the
// slave path, the test writes what the device sends into the master. Raw from the start, so
// bytes pass as they are from the first write on.
#pragma once

#include <gtest/gtest.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <thread>

namespace testpty {

class CPtyPair {
public:
    CPtyPair() {
        char name[256] = {};
        if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
            ADD_FAILURE() << "openpty failed";
            return;
        }
        path_ = name;
        termios t{};
        tcgetattr(slave_, &t);
        cfmakeraw(&t);
        tcsetattr(slave_, TCSANOW, &t);
    }
    ~CPtyPair() {
        CloseMaster();
        if (slave_ >= 0) close(slave_);
    }
    CPtyPair(const CPtyPair&) = delete;
    CPtyPair& operator=(const CPtyPair&) = delete;

    const std::string& Path() const { return path_; }
    // As if the cable was pulled.
    void CloseMaster() {
        if (master_ >= 0) close(master_);
        master_ = -1;
    }

protected:
    // False (with a test failure) when the master side refuses the bytes.
    bool WriteAll(std::string_view bytes) {
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
            if (n <= 0) {
                ADD_FAILURE() << "writing to the pseudo-terminal failed";
                return false;
            }
            done += static_cast<size_t>(n);
        }
        return true;
    }
    // Waits up to 5 s until the slave side has at least `count` bytes queued.
    void WaitQueued(size_t count) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        int queued = 0;
        while (std::chrono::steady_clock::now() < until) {
            if (ioctl(slave_, FIONREAD, &queued) == 0 && static_cast<size_t>(queued) >= count)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ADD_FAILURE() << "the pseudo-terminal did not pass " << count << " bytes on, only "
                      << queued;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};

}  // namespace testpty
