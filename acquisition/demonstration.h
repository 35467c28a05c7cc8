// The logger's demonstrations: devices fed without instruments. The first instrument is fed
// from a replayed log file or from one of two synthetic earths, the GPS from a replayed log
// file or from a generated track; every line is of a kind a real device sends and goes through
// DispatchLine as if it had arrived on the device's port.
//
// Each running demonstration keeps its own schedule (one step per demonstration period from
// its start, on the acquisition's clock), so an instrument and a GPS demonstration run side by
// side whatever their kinds, and a faster clock runs them faster.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "common/clock.h"
#include "common/prompter.h"
#include "common/survey.h"

// Demonstration kinds: of the first instrument 0 to 2, of the GPS 3 and 4.
inline constexpr int kDemoReadFile = 0;
inline constexpr int kDemoConstantModel = 1;
inline constexpr int kDemoTwoLayerModel = 2;
inline constexpr int kDemoGPSReadFile = 3;
inline constexpr int kDemoGPSTrack = 4;

inline constexpr const char* kCouldNotOpenLogFile = "Could not open log file";
// Longest piece of a replayed line; a longer line comes out in pieces of this length.
inline constexpr std::size_t kDemoPieceLength = 1023;
// Receivers of a synthetic console line.
inline constexpr int kDemoReceivers = 5;

// The open-file dialog of a read-file demonstration. The window shows a file dialog; the
// headless logger answers with the file its options name.
struct CDlgOpenLogFile : CDialogValues {
    std::string DialogName() const override { return "Open log file"; }
    std::string sFilter;           // "Gantrel log file(*.*)" or "GPS log file(*.*)"
    std::string sPattern = "*.*";  // of the filter
    std::string sInitialName = "*.*";
    bool bReadOnlyShown = false;  // the read-only check box is hidden
    std::filesystem::path sPath;  // the chosen file
};

// A log file replayed endlessly, one line per step.
class CDemonstrationFile {
public:
    // Replaces the file replayed so far; false (and no file) when it cannot be opened.
    bool Open(const std::filesystem::path& path);
    bool IsOpen() const { return file_ != nullptr; }
    const std::filesystem::path& Path() const { return path_; }
    // The next line, at most 1023 characters (a longer line comes in pieces), without its line
    // end and cut at its first carriage return. After the last line the file is read from its
    // start again. Empty lines are skipped, as a port's line assembler skips them. False for a
    // file without any non-empty line, or when no file is open.
    bool NextLine(std::string& line);

private:
    struct Closer {
        void operator()(std::FILE* f) const {
            if (f != nullptr) std::fclose(f);
        }
    };
    std::unique_ptr<std::FILE, Closer> file_;
    std::filesystem::path path_;
};

// The console line of five receivers with V/I vi: " %f,131,135,24" for the first, then
// " ,%f,131,24" for each further one (receiver level 13.1, transmitter level 13.5, status 2 4).
std::string SyntheticConsoleLine(const std::array<float, kDemoReceivers>& vi);

// V/I of the five receivers over a uniform earth of 100 Ohm-m, with the four-electrode factor
// of the geometry whatever its sizes: 100 / K * 20, single precision.
std::array<float, kDemoReceivers> ConstantModelVI(const CGantrelGeometry& g);

// V/I of the five receivers over 5 m of 500 Ohm-m on a half-space of 50 Ohm-m, by the shared
// layered-earth forward model; rhoa (optional) receives the calculated apparent resistivities.
std::array<float, kDemoReceivers> TwoLayerModelVI(
    const CGantrelGeometry& g, std::array<float, kDemoReceivers>* rhoa = nullptr);

// The random numbers of the track's noise: the classic 15-bit linear congruential generator
// (0 to 32767), seeded with the clock's seconds at every step, so that a run on a given clock
// gives the same sentences on every platform.
class CDemoRandom {
public:
    explicit CDemoRandom(std::uint32_t seed) : state_(seed) {}
    int Next() {
        state_ = state_ * 214013u + 2531011u;
        return static_cast<int>((state_ >> 16) & 0x7fffu);
    }
    // A noise term between -0.5 and +0.5.
    float Noise() { return static_cast<float>(Next()) / 32767.0f - 0.5f; }

private:
    std::uint32_t state_;
};

// The generated track: a receiver walking 1 m per step, turning 0.5 degrees clockwise each
// step, so that it closes a circle of 720 m after 720 steps.
struct CDemonstrationTrack {
    double dLatitude = 35.464619;  // degrees, free of noise
    double dLongitude = 136.739659;
    float fHeading = 0.0f;     // degrees clockwise from north
    float fStepLength = 1.0f;  // m

    struct Sentences {
        std::string sGGA;  // dispatched
        std::string sRMC;  // shown only
    };
    // Moves one step and gives the sentences of the new position with noise, timed t (local
    // time). The checksums are fixed texts, as the receiver being imitated wrote them.
    Sentences Step(CClockTime t);
};

// One demonstration's schedule: a step every period from its start.
struct CDemonstrationSchedule {
    bool bRunning = false;
    std::int64_t iNextMs = 0;  // clock milliseconds of the next step
    void Start(CClockTime now, int iPeriodMs);
    void Stop() { bRunning = false; }
    // True when a step is due at now; the next one is then one period later (one period from
    // now when the clock has jumped further ahead, so a stalled computer gets no burst).
    bool Due(CClockTime now, int iPeriodMs);
};

// What the acquisition state keeps for its demonstrations.
struct CDemonstrationState {
    int iGantrelKind = kDemoReadFile;
    int iGPSKind = kDemoGPSReadFile;
    // Set by the first demonstration start of the run (the window's demonstration timer).
    int bTimer = 0;
    std::array<CDemonstrationFile, 2> file;  // by slot: first instrument, GPS
    CDemonstrationTrack track;
    std::array<CDemonstrationSchedule, 2> schedule;  // by slot
};
