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
#include "tests/support/pty_pair.h"

namespace acqtest {

namespace fs = std::filesystem;

// The engine's serial device. Send counts what was sent since the engine last read
// (Consumed), so the next poll sees it all.
class CPty : public testpty::CPtyPair {
public:
    void Send(std::string_view bytes) {
        if (!WriteAll(bytes)) return;
        expected_ += bytes.size();
        WaitQueued(expected_);
    }
    // The engine has read what was queued.
    void Consumed() { expected_ = 0; }

private:
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
