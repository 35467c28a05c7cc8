// Timing harness for the live section: the logger's engine records the two-layer
// demonstration (one reading a second, five receivers, a MARK every 10 readings) on the
// computer's clock, polled every 100 ms, and hands every record written to the live section.
// The whole process is held to one core. Measured:
//   - latency: from a reading's record being written to the moment every column it changed
//     holds its inverted model (the live section is current again);
//   - the same after a MARK, which places the readings since the one before for good;
//   - the process's processor time (getrusage) over the wall time: its share of the core.
// Then the engine is fed a 115200-baud stream of five-receiver console lines (about 140
// readings a second, a MARK every 10 s) for 20 s through an in-memory port, polled every
// 100 ms on the same core as the live section: every reading must reach the file, and the
// longest poll and the time the live section needs to catch up at the end are reported.
// Both placements are measured: the markers at their spacing, and the straight line fitted to
// the fixes of the generated GPS track (a fix a second beside the readings), where a reading
// is placed as soon as the fixes around its time are in.
// Usage: live_bench [readings, default 60] [CELL:LAYERS:DEPTH:ITER, default 2:10:5:10]
#include <sched.h>
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "acquisition/acquisition_state.h"
#include "acquisition/demonstration.h"
#include "common/clock.h"
#include "common/memory_serial_port.h"
#include "common/memory_settings.h"
#include "common/settings.h"
#include "common/survey_file.h"
#include "common/text_format.h"
#include "live/live_section.h"
#include "platform/posix_serial_port.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double ProcessCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double Percentile(std::vector<double> v, double q) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    const auto k = static_cast<std::size_t>(q * static_cast<double>(v.size() - 1) + 0.5);
    return v[std::min(k, v.size() - 1)];
}

// Waits, off the engine's thread, for the live section to be current after each record
// handed over, and keeps the delays.
class CLatencyWatch {
public:
    explicit CLatencyWatch(CLiveSection& live) : live_(live), thread_([this] { Run(); }) {}
    ~CLatencyWatch() { Stop(); }
    // Measures what is pending, then ends the watch.
    void Stop() {
        {
            std::lock_guard<std::mutex> lock(m_);
            bStop_ = true;
        }
        cv_.notify_all();
        if (thread_.joinable()) thread_.join();
    }
    void Arrived(bool bMark) {
        {
            std::lock_guard<std::mutex> lock(m_);
            pending_.push_back({Clock::now(), bMark});
        }
        cv_.notify_one();
    }
    std::vector<double> reading, mark;  // ms; read after Stop
    int nLate = 0;                      // not current within 10 s

private:
    struct Arrival {
        Clock::time_point t;
        bool bMark;
    };
    void Run() {
        for (;;) {
            Arrival a{};
            {
                std::unique_lock<std::mutex> lock(m_);
                cv_.wait(lock, [this] { return bStop_ || !pending_.empty(); });
                if (pending_.empty()) return;
                a = pending_.front();
                pending_.pop_front();
            }
            if (!live_.WaitUntilCurrent(std::chrono::seconds(10))) ++nLate;
            const double ms = std::chrono::duration<double, std::milli>(Clock::now() - a.t).count();
            (a.bMark ? mark : reading).push_back(ms);
        }
    }
    CLiveSection& live_;
    std::mutex m_;
    std::condition_variable cv_;
    std::deque<Arrival> pending_;
    bool bStop_ = false;
    std::thread thread_;
};

// One five-receiver console line as the instrument sends it (81 bytes with CR LF).
std::string ConsoleLine(int i) {
    return FormatC(" %7.3f,131,135,55 ,%7.3f,132,46,%7.3f,133,37,%7.3f,134,28,%7.3f,135,19\r\n",
                   10.0 + (i % 997) * 0.001, 20.0 + (i % 991) * 0.002, 30.0 + (i % 983) * 0.003,
                   40.0 + (i % 977) * 0.004, 50.0 + (i % 971) * 0.005);
}

void LineRate(const fs::path& folder, const LiveSectionSettings& settings) {
    constexpr double kSeconds = 20.0;
    constexpr double kBytesPerPoll = 115200.0 / 10.0 / 10.0;  // 8N1, a poll every 100 ms
    CSystemClock clock;
    CScriptedLoggerPrompter prompter;
    CPosixSerialPortSystem ports;
    CLiveSection live(settings);
    CAcquisitionState s(ports, prompter, clock);
    s.sSurveyPath[0] = folder / "line_rate.sto";
    s.onRecordWritten = [&live](int instrument, const std::string& r) {
        if (instrument == kFirstInstrument) live.TakeRecord(r);
    };
    auto owned = std::make_unique<CMemorySerialPort>();
    CMemorySerialPort* port = owned.get();
    s.slots.port[kSlotGantrel] = std::move(owned);
    s.bGantrelStarted = 1;
    s.StartMark();
    std::string stream;
    int nSent = 0;
    for (double bytes = 0; bytes < kSeconds * 10 * kBytesPerPoll;) {
        stream += ConsoleLine(nSent++);
        bytes = static_cast<double>(stream.size());
    }
    std::size_t at = 0;
    double worst = 0.0;
    const auto t0 = Clock::now();
    for (int poll = 1; at < stream.size(); ++poll) {
        std::this_thread::sleep_until(t0 + std::chrono::milliseconds(100 * poll));
        const auto n = std::min<std::size_t>(static_cast<std::size_t>(kBytesPerPoll * poll) - at,
                                             stream.size() - at);
        port->queued.append(stream, at, n);
        at += n;
        const auto p0 = Clock::now();
        s.Tick(CAcquisitionState::kPollTimer);
        worst =
            std::max(worst, std::chrono::duration<double, std::milli>(Clock::now() - p0).count());
        if (poll % 100 == 0) s.StartMark();
    }
    s.EndLine();
    const auto end = Clock::now();
    const bool bCurrent = live.WaitUntilCurrent(std::chrono::seconds(60));
    const double catchUp = std::chrono::duration<double>(Clock::now() - end).count();
    s.onRecordWritten = nullptr;
    CGantrelSurvey survey;
    ReadSurveyFile(survey, s.sSurveyPath[0]);
    const int inFile = survey.nLine > 0 ? survey.Line(0).nData() : 0;
    const LiveSectionSummary sum = live.Summary();
    std::printf("115200-baud stream for %.0f s with the live section on, same core:\n", kSeconds);
    std::printf("  readings in the file: %d of %d (%s); longest poll %.1f ms\n", inFile, nSent,
                inFile == nSent ? "none lost" : "LOST SOME", worst);
    std::printf("  live section %s %.2f s after END LINE: %d columns, %d inverted\n",
                bCurrent ? "current" : "NOT current", catchUp, sum.nColumn, sum.nInverted);
}

// The two-layer demonstration at one reading a second, a MARK every 10 readings, with the
// readings placed from the markers or, with bGPS, from the line fitted to the generated GPS
// track's fixes (one a second beside the readings).
void Latency(const LiveSectionSettings& base, bool bGPS, int nReading, bool bPinned) {
    LiveSectionSettings settings = base;
    settings.placement = bGPS ? LivePlacement::GPSLine : LivePlacement::Markers;
    CSystemClock clock;
    CScriptedLoggerPrompter prompter;
    CPosixSerialPortSystem ports;
    CLiveSection live(settings);
    std::atomic<int> nInversion{0};
    live.onColumnInverted = [&nInversion](int, std::uint64_t) { ++nInversion; };
    std::uint64_t nRecord = 0;
    int nRead = 0;
    {
        CAcquisitionState s(ports, prompter, clock);
        CLatencyWatch watch(live);
        s.onRecordWritten = [&](int instrument, const std::string& r) {
            if (instrument != kFirstInstrument) return;
            live.TakeRecord(r);
            ++nRecord;
            const bool bReading = r.rfind("30", 0) == 0;
            if (bReading) ++nRead;
            if (bReading || (r[0] == '3' && nRead > 0)) watch.Arrived(!bReading);
        };
        if (!s.StartDemonstration(kSlotGantrel, kDemoTwoLayerModel) ||
            (bGPS && !s.StartDemonstration(kSlotGPS, kDemoGPSTrack))) {
            std::fprintf(stderr, "live_bench: the demonstration did not start\n");
            return;
        }
        s.StartMark();
        std::printf(
            "live section (%s): %d readings at 1 a second, five receivers, cells %.2f m, %d "
            "layers to %.1f m, %d iterations, process %s\n",
            bGPS ? "GPS fitted line" : "markers", nReading, static_cast<double>(settings.fCellSize), settings.nLayer,
            static_cast<double>(settings.fDepth), settings.nIteration,
            bPinned ? "held to core 0" : "NOT pinned (sched_setaffinity failed)");
        const double cpu0 = ProcessCpuSeconds();
        const auto t0 = Clock::now();
        int nMarked = 0;
        int tick = 0;
        while (nRead < nReading) {  // the hook counts the readings
            ++tick;
            std::this_thread::sleep_until(t0 + std::chrono::milliseconds(100 * tick));
            s.Tick(CAcquisitionState::kPollTimer);
            if (nRead / 10 > nMarked) {
                nMarked = nRead / 10;
                s.StartMark();
            }
        }
        s.EndLine();
        s.onRecordWritten = nullptr;
        live.WaitUntilCurrent(std::chrono::seconds(30));
        const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
        const double cpu = ProcessCpuSeconds() - cpu0;
        const LiveSectionSummary sum = live.Summary();
        std::printf("  %d readings, %llu records; %d columns, %d inverted, median misfit %.4f\n",
                    sum.nReading, static_cast<unsigned long long>(nRecord), sum.nColumn,
                    sum.nInverted, static_cast<double>(sum.fMedianMisfit));
        std::printf("  %d column inversions (%.1f per reading)\n", nInversion.load(),
                    static_cast<double>(nInversion.load()) / std::max(sum.nReading, 1));
        std::printf("  process CPU %.2f s over %.1f s wall: %.1f %% of one core\n", cpu, wall,
                    100.0 * cpu / wall);
        watch.Stop();
        s.ToggleGantrel();
        const auto report = [](const char* what, const std::vector<double>& v) {
            std::printf("  %-36s %4zu  p50 %7.1f ms  p99 %7.1f ms  max %7.1f ms\n", what, v.size(),
                        Percentile(v, 0.5), Percentile(v, 0.99),
                        v.empty() ? 0.0 : *std::max_element(v.begin(), v.end()));
        };
        report("reading written -> its columns inverted", watch.reading);
        report("MARK written -> its columns inverted", watch.mark);
        if (watch.nLate > 0) std::printf("  %d not current within 10 s\n", watch.nLate);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int nReading = argc > 1 ? std::max(std::atoi(argv[1]), 12) : 60;
    std::string error;
    LiveSectionSettings base;
    base.dMarkerSpacing = 10.0;
    const auto settings = ParseLiveSettings(argc > 2 ? argv[2] : "2:10:5:10", base, error);
    if (!settings) {
        std::fprintf(stderr, "live_bench: %s\n", error.c_str());
        return 2;
    }
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(0, &one);
    const bool bPinned = sched_setaffinity(0, sizeof one, &one) == 0;

    const fs::path folder =
        fs::temp_directory_path() / ("gantrel-live-bench-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    CMemorySettingsBackend store;
    SetSettingsBackend(&store);
    WriteSettingString("FolderPath", folder.string());

    Latency(*settings, false, nReading, bPinned);
    Latency(*settings, true, nReading, bPinned);
    LineRate(folder, *settings);
    SetSettingsBackend(nullptr);
    std::error_code ec;
    fs::remove_all(folder, ec);
    return 0;
}
