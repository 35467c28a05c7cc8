// Real parts for the acquisition tests: pseudo-terminals as serial devices, a private data
// folder and settings store, a clock that only moves when told, and an engine wired to them.
#pragma once

#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>

#include "acquisition/acquisition_state.h"
#include "common/memory_settings.h"
#include "common/record_time.h"
#include "common/settings.h"
#include "platform/posix_serial_port.h"

namespace acqtest {

namespace fs = std::filesystem;

// A pseudo-terminal pair: the engine opens the slave path as its serial device, the test
// writes what the device sends into the master.
class CPty {
public:
    CPty() {
        char name[256] = {};
        if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
            ADD_FAILURE() << "openpty failed";
            return;
        }
        path_ = name;
        termios t{};
        tcgetattr(slave_, &t);
        cfmakeraw(&t);  // bytes pass as they are from the first write on
        tcsetattr(slave_, TCSANOW, &t);
    }
    ~CPty() {
        CloseMaster();
        if (slave_ >= 0) close(slave_);
    }
    CPty(const CPty&) = delete;
    CPty& operator=(const CPty&) = delete;

    const std::string& Path() const { return path_; }

    // Writes the bytes and waits until the slave side has them queued, so that the next
    // poll sees them all.
    void Send(std::string_view bytes) {
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
            ASSERT_GT(n, 0);
            done += static_cast<size_t>(n);
        }
        expected_ += bytes.size();
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        int queued = 0;
        while (std::chrono::steady_clock::now() < until) {
            if (ioctl(slave_, FIONREAD, &queued) == 0 && static_cast<size_t>(queued) >= expected_)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ADD_FAILURE() << "the pseudo-terminal did not pass " << expected_ << " bytes on, only "
                      << queued;
    }
    // The engine has read what was queued.
    void Consumed() { expected_ = 0; }
    // As if the cable was pulled.
    void CloseMaster() {
        if (master_ >= 0) close(master_);
        master_ = -1;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
    size_t expected_ = 0;
};

inline std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// 2009-06-15 12:00:00.000 local time (the tests run in Asia/Tokyo).
inline CClockTime StartTime() {
    std::int64_t t = 0;
    LocalCalendarTime(2009, 6, 15, 12, 0, 0, t);
    return {t, 0};
}

class AcquisitionTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetSettingsBackend(&settings);
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = fs::temp_directory_path() / ("gantrel-acq-" + std::to_string(getpid()) + "-" +
                                           info->test_suite_name() + "-" + info->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        WriteSettingString("FolderPath", dir.string());
        clock.Set(StartTime());
    }
    void TearDown() override {
        state.reset();
        SetSettingsBackend(nullptr);
        std::error_code ec;
        fs::remove_all(dir, ec);
    }

    CAcquisitionState& MakeState() {
        state = std::make_unique<CAcquisitionState>(ports, prompter, clock);
        return *state;
    }

    // Answers the serial port dialog with the pseudo-terminal and the given baud index.
    void AnswerPort(const CPty& pty, int iBaud = 12) {
        ports.AddKnownDevice(pty.Path());
        const std::string path = pty.Path();
        prompter.script.PushDialog<CDlgRS232C>([path, iBaud](CDlgRS232C& d) {
            d.sDevice = path;
            d.iBaudRate = iBaud;
        });
    }

    // One poll-timer tick 100 ms after the last.
    void Tick() {
        clock.Advance(100);
        state->Tick(CAcquisitionState::kPollTimer);
    }

    CMemorySettingsBackend settings;
    fs::path dir;
    CManualClock clock;
    CScriptedLoggerPrompter prompter;
    CPosixSerialPortSystem ports;
    std::unique_ptr<CAcquisitionState> state;
};

}  // namespace acqtest
