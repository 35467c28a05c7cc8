// The batch line receiving a console transfer end to end: brivane-cli runs as its own process
// on the slave side of a pseudo-terminal while the test plays the console on the master side.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "processing/batch.h"
#include "tests/support/console_pty.h"

namespace {

namespace fs = std::filesystem;

struct Job {
    int status = -1;
    std::string log;
};

class TransferJobTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = fs::temp_directory_path() /
              ("gantrel-transfer-job-" + std::to_string(::getpid()) + "-" + info->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    // Starts brivane-cli with the arguments; Wait() collects its status and standard error.
    void Launch(std::vector<std::string> args) {
        const fs::path log = dir / "log.txt";
        child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(fd, 2);
            if (chdir(dir.c_str()) != 0) _exit(126);
            std::vector<char*> argv;
            std::string program = BRIVANE_CLI;
            argv.push_back(program.data());
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
    }
    Job Wait(int seconds) {
        Job job;
        for (int i = 0; i < seconds * 20; ++i) {
            int status = 0;
            if (waitpid(child, &status, WNOHANG) == child) {
                job.status = WIFEXITED(status) ? WEXITSTATUS(status) : -2;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (job.status == -1) {
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
        }
        job.log = consoletest::ReadBytes(dir / "log.txt");
        return job;
    }
    // Waits until the program listens (it says so on standard error).
    void WaitListening() {
        for (int i = 0; i < 200; ++i) {
            if (consoletest::ReadBytes(dir / "log.txt").find("progress: listening on") !=
                std::string::npos)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ADD_FAILURE() << "brivane-cli did not start listening";
    }

    fs::path dir;
    pid_t child = -1;
    consoletest::CConsolePty pty;
};

TEST_F(TransferJobTest, ATransferReceivedHeadlessGoesThroughTheUsualSteps) {
    const auto console = consoletest::MakeConsoleSurvey(dir, 60);
    Launch({"--transfer", pty.Path() + ":9600", "--transfer-out", (dir / "got.stn").string(),
            "--transfer-timeout", "60", "--marker-spacing", "25", "--grid", "2.5", "--save-sto",
            (dir / "got.sto").string()});
    WaitListening();
    pty.SendPaced(console.stream, 64, 57600);
    const Job job = Wait(60);
    pty.Join();
    ASSERT_EQ(job.status, 0) << job.log;
    EXPECT_EQ(consoletest::ReadBytes(dir / "got.stn"), console.destination);
    EXPECT_NE(job.log.find(pty.Path() + ": Baud rate=9600 Stop bits=1"), std::string::npos) << job.log;
    EXPECT_NE(job.log.find(FormatC("summary: lines 1, readings %d", console.nReading)),
              std::string::npos)
        << job.log;
    EXPECT_NE(job.log.find("summary: columns"), std::string::npos) << "gridded" << job.log;
    EXPECT_TRUE(fs::exists(dir / "got.sto"));
}

TEST_F(TransferJobTest, AWrongBaudRateFailsTheJob) {
    Launch({"--transfer", pty.Path(), "--transfer-out", (dir / "got.stn").string()});
    WaitListening();
    pty.Send(std::string(250, '\x9c'));
    const Job job = Wait(30);
    EXPECT_EQ(job.status, 1) << job.log;
    EXPECT_NE(job.log.find("Cannot resolve transfered data. Check Baudrate."), std::string::npos)
        << job.log;
    EXPECT_FALSE(fs::exists(dir / "got.stn"));
}

TEST_F(TransferJobTest, ASilentConsoleEndsAtTheTimeout) {
    Launch({"--transfer", pty.Path(), "--transfer-out", (dir / "got.stn").string(),
            "--transfer-timeout", "0.5"});
    const Job job = Wait(30);
    EXPECT_EQ(job.status, 1) << job.log;
    EXPECT_NE(job.log.find("did not end within 0.5 s"), std::string::npos) << job.log;
}

TEST(TransferOptions, WhatTheTransferNeeds) {
    std::string error;
    auto o = ParseBatchOptions({"--transfer", "/dev/ttyUSB0:19200", "--transfer-out", "a.stn",
                                "--transfer-timeout", "12"},
                               error);
    ASSERT_TRUE(o) << error;
    ASSERT_TRUE(o->transfer);
    EXPECT_EQ(o->transfer->sDevice, "/dev/ttyUSB0");
    EXPECT_EQ(o->transfer->iBaudRate, 19200);
    EXPECT_EQ(o->transfer->destination, "a.stn");
    EXPECT_DOUBLE_EQ(o->transfer->dTimeout, 12.0);
    o = ParseBatchOptions({"--transfer", "/dev/ttyS0", "--transfer-out", "a.stn", "--grid", "2"},
                          error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(o->transfer->iBaudRate, 0) << "the stored setting's rate";

    const std::vector<std::vector<std::string>> bad = {
        {"--transfer", "/dev/ttyS0"},
        {"--transfer-out", "a.stn"},
        {"--transfer", "/dev/ttyS0", "--transfer-out", "a.stn", "line01.sto"},
        {"--transfer", ":9600", "--transfer-out", "a.stn"},
        {"--transfer", "/dev/ttyS0", "--transfer-out", "a.stn", "--transfer-timeout", "0"},
    };
    for (const auto& args : bad) {
        error.clear();
        EXPECT_FALSE(ParseBatchOptions(args, error)) << args.front();
        EXPECT_FALSE(error.empty());
    }
}

}  // namespace
