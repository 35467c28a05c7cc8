// Timing harness for the field logger's engine on a 115200-baud stream of five-receiver
// console lines, every one recorded, the survey file forced to its device once per poll:
//   1. flat out: each poll finds a full read (8,192 bytes) queued in memory; lines per second
//      through assembler, parser, rings and recording, against the real rate;
//   2. at the real rate: a writer thread feeds a pseudo-terminal at 115200 baud (11,520
//      bytes a second) while the engine polls it every 100 ms on the computer's clock, for
//      the given seconds; the engine thread's processor time (getrusage) over the wall time
//      is its share of one core.
// Both check that every line sent is in the survey file (read back by the survey reader).
// Usage: acquisition_bench [seconds at the real rate, default 10] [folder, default a new one
//        under the system temp folder]
#include <pty.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "acquisition/acquisition_state.h"
#include "common/memory_serial_port.h"
#include "common/memory_settings.h"
#include "common/nmea.h"
#include "common/settings.h"
#include "common/survey_file.h"
#include "common/text_format.h"
#include "platform/posix_serial_port.h"

namespace fs = std::filesystem;

namespace {

constexpr double kBytesPerSecond = 115200.0 / 10.0;  // 8 data bits, start and stop bit

// One five-receiver console line as the instrument sends it (81 bytes with CR LF).
std::string ConsoleLine(int i) {
    return FormatC(" %7.3f,131,135,55 ,%7.3f,132,46,%7.3f,133,37,%7.3f,134,28,%7.3f,135,19\r\n",
                   10.0 + (i % 997) * 0.001, 20.0 + (i % 991) * 0.002, 30.0 + (i % 983) * 0.003,
                   40.0 + (i % 977) * 0.004, 50.0 + (i % 971) * 0.005);
}

double ThreadCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_THREAD, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

using CMemoryPort = CMemorySerialPort;

// Readings in the survey file, as the processing program reads it.
int ReadingsInFile(const fs::path& file) {
    CGantrelSurvey survey;
    const SurveyFileStatus status = ReadSurveyFile(survey, file);
    int n = 0;
    for (int l = 0; l < survey.nLine; ++l) n += survey.Line(l).nData();
    if (status.nBad != 0) std::printf("  %d records of the file could not be read\n", status.nBad);
    return n;
}

void FlatOut(const fs::path& folder, double lineBytes, const char* where) {
    CManualClock clock;
    CScriptedLoggerPrompter prompter;
    CPosixSerialPortSystem system;
    CAcquisitionState s(system, prompter, clock);
    s.sSurveyPath[0] = folder / "flat_out.sto";
    auto owned = std::make_unique<CMemoryPort>();
    CMemoryPort* port = owned.get();
    s.slots.port[kSlotGantrel] = std::move(owned);
    s.bGantrelStarted = 1;
    s.StartMark();

    constexpr int kLinesTotal = 400000;
    std::string stream;
    for (int i = 0; i < kLinesTotal; ++i) stream += ConsoleLine(i);
    std::size_t at = 0;
    int polls = 0;
    // A survey line holds at most 50,000 readings: a new line every 400 polls (about 40,000
    // readings), as an operator would.
    constexpr int kPollsPerSurveyLine = 400;
    const double cpu0 = ThreadCpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    while (at < stream.size()) {
        const std::size_t n =
            std::min<std::size_t>(CAcquisitionState::kReadBufferSize, stream.size() - at);
        port->queued.append(stream, at, n);
        at += n;
        clock.Advance(100);
        s.Tick();
        ++polls;
        if (polls % kPollsPerSurveyLine == 0) {
            s.EndLine();
            s.StartMark();
        }
    }
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const double cpu = ThreadCpuSeconds() - cpu0;
    s.EndLine();
    const double realRate = kBytesPerSecond / lineBytes;
    std::printf("flat out, files on %s: %d lines in %d polls, %.2f s wall, %.2f s processor\n",
                where, kLinesTotal, polls, wall, cpu);
    std::printf(
        "  %.0f lines/s = %.0f x the real rate of %.0f lines/s (by processor time: %.0f x)\n",
        kLinesTotal / wall, kLinesTotal / wall / realRate, realRate, kLinesTotal / cpu / realRate);
    const int inFile = ReadingsInFile(s.sSurveyPath[0]);
    std::printf("  readings in the file: %d of %d (%s)\n", inFile, kLinesTotal,
                inFile == kLinesTotal ? "none lost" : "LOST SOME");
}

void RealRate(const fs::path& folder, double seconds, double lineBytes) {
    int master = -1, slave = -1;
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        std::printf("real rate: no pseudo-terminal (%s)\n", std::strerror(errno));
        return;
    }
    termios t{};
    tcgetattr(slave, &t);
    cfmakeraw(&t);
    tcsetattr(slave, TCSANOW, &t);

    CSystemClock clock;
    CScriptedLoggerPrompter prompter;
    CPosixSerialPortSystem system({name});
    CAcquisitionState s(system, prompter, clock);
    s.sSurveyPath[0] = folder / "real_rate.sto";
    const std::string device = name;
    prompter.script.PushDialog<CDlgRS232C>([device](CDlgRS232C& d) {
        d.sDevice = device;
        d.iBaudRate = 12;  // 115200
    });
    s.ToggleGantrel();
    if (s.bGantrelStarted == 0) {
        std::printf("real rate: the pseudo-terminal would not open\n");
        return;
    }
    s.StartMark();

    // The instrument: bytes at 115200 baud, written every 5 ms.
    std::atomic<bool> stop{false};
    std::atomic<int> sent{0};
    std::thread instrument([&] {
        const auto start = std::chrono::steady_clock::now();
        std::string pending;
        double due = 0.0;
        int i = 0;
        while (!stop) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            const double elapsed =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            while (due + lineBytes <= elapsed * kBytesPerSecond) {
                pending += ConsoleLine(i++);
                due += lineBytes;
            }
            while (!pending.empty()) {
                const ssize_t n = write(master, pending.data(), pending.size());
                if (n <= 0) break;
                pending.erase(0, static_cast<std::size_t>(n));
            }
            sent = i;
        }
    });

    const double cpu0 = ThreadCpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    auto next = t0;
    int polls = 0;
    while (std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() < seconds) {
        next += std::chrono::milliseconds(CAcquisitionState::kPollPeriod);
        std::this_thread::sleep_until(next);
        s.Tick();
        ++polls;
    }
    stop = true;
    instrument.join();
    // What the last writes still had on the way.
    for (int k = 0; k < 5; ++k) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        s.Tick();
    }
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const double cpu = ThreadCpuSeconds() - cpu0;
    s.EndLine();
    std::printf("real rate: %d lines at %.0f lines/s over %.1f s, %d polls\n", sent.load(),
                kBytesPerSecond / lineBytes, wall, polls);
    std::printf("  engine processor time %.3f s = %.2f %% of one core\n", cpu, 100.0 * cpu / wall);
    const int inFile = ReadingsInFile(s.sSurveyPath[0]);
    std::printf("  readings in the file: %d of %d (%s)\n", inFile, sent.load(),
                inFile == sent.load() ? "none lost" : "LOST SOME");
    close(master);
    close(slave);
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    fs::path folder =
        argc > 2 ? fs::path(argv[2])
                 : fs::temp_directory_path() / ("acquisition_bench-" + std::to_string(getpid()));
    const bool bOwnFolder = argc <= 2;
    fs::create_directories(folder);
    CMemorySettingsBackend settings;
    SetSettingsBackend(&settings);
    WriteSettingString("FolderPath", folder.string());
    SetDecodeFailureLog(folder / "decode.txt");

    const double lineBytes = static_cast<double>(ConsoleLine(0).size());
    std::printf("five-receiver console lines of %.0f bytes at 115200 baud; files in %s\n",
                lineBytes, folder.string().c_str());
    FlatOut(folder, lineBytes, "the data folder's disk");
    // The same on a memory file system: the engine without the disk's flush latency.
    std::error_code ec;
    if (fs::is_directory("/dev/shm", ec)) {
        const fs::path shm =
            fs::path("/dev/shm") / ("acquisition_bench-" + std::to_string(getpid()));
        fs::create_directories(shm);
        FlatOut(shm, lineBytes, "a memory file system");
        fs::remove_all(shm, ec);
    }
    RealRate(folder, seconds, lineBytes);
    if (bOwnFolder) fs::remove_all(folder);
    return 0;
}
