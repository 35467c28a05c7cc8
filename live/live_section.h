// The live section of the line being recorded: every record the logger writes to its survey
// file is handed over here (after the write), and a worker thread turns the line so far into
// a gridded apparent resistivity section and a layered model with the processing program's
// own steps:
//  - placement along the line: markers at a regular marker spacing with readings between two
//    markers interpolated by count, or a straight line fitted to the GPS fixes with every
//    reading taking the distance of the fixes at its time;
//  - gridding into columns of one cell size, an initial model per column from the column's
//    apparent resistivities (constant down the column), and the column inversion of the
//    processing program with its default parameters and the given iteration count.
// A column is inverted again whenever new readings change its data; columns whose data did
// not change keep their model. The worker starts from the newest records every time: when it
// falls behind it leaves the columns of an older state and goes on with the newest one.
//
// With marker placement a reading is placed once the next marker is recorded; readings after
// the latest marker are placed ahead of it at the pace (distance per reading) of the last two
// markers, until the next marker places them for good. Nothing is placed before the first MARK.
// Once the END marker is in, the section is that of the processing program for a file
// holding this one line.
//
// Threads: TakeRecord may be called from any one thread (the logger's dispatch); it only
// queues the record. Everything else is read through Read() or the summaries, which take the
// lock the worker holds only while it publishes.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "common/survey.h"
#include "common/survey_file.h"
#include "sectionfiles/section_store.h"

enum class LivePlacement {
    Markers,  // markers at the marker spacing (the processing program's marker path)
    GPSLine,  // a straight line fitted to the fixes (its survey configuration 1)
};

struct LiveSectionSettings {
    float fCellSize = 5.0f;  // horizontal cell size, m
    int nLayer = 10;         // layers of the model, the last a half-space
    float fDepth = 10.0f;    // top of the last layer, m
    int nIteration = 10;     // iterations per column inversion
    // The inversion's step factor, smoothing weight and damping (its defaults).
    double dAlpha = 0.2, dRegularization = 1.0, dDamping = 0.01;
    LivePlacement placement = LivePlacement::Markers;
    double dMarkerSpacing = 10.0;  // m, for marker placement

    // Why the settings cannot be used (names the value and its range), or empty.
    std::string Validate() const;
};

// "CELL:LAYERS:DEPTH:ITER[:ALPHA[:REG[:DAMP]]]", e.g. "2:8:3:10": cell size m, layers,
// depth m, iterations, then optionally the step factor, smoothing weight and damping; the
// placement, marker spacing and inversion values not given are left as in base. nullopt with error
// set when a field is missing, not a number or out of range.
std::optional<LiveSectionSettings> ParseLiveSettings(const std::string& text,
                                                     const LiveSectionSettings& base,
                                                     std::string& error);

// What a column of the live section holds.
struct LiveColumn {
    bool bInverted = false;  // the model is the inversion of the column's current data
    float fMisfit = -1.0f;   // rms of log10 residuals of the inverted model; -1 until inverted
};

// The state the worker published last, as Read() shows it.
struct LiveSectionView {
    const CTrevascDataOhm& store;  // gridded section and model (initial where not inverted)
    const CGantrelSurvey& survey;  // the line with its distances, as gridded
    const std::vector<LiveColumn>& columns;
    int iNewestColumn = -1;           // column of the latest reading placed; -1 when none
    std::uint64_t nRecordsShown = 0;  // records taken into this state
};

struct LiveSectionSummary {
    int nColumn = 0;
    int nInverted = 0;
    int nReading = 0;          // readings of the line
    int nPlaced = 0;           // of them placed along the line
    float fMedianMisfit = -1;  // over inverted columns; -1 when none
    int iNewestColumn = -1;
    std::uint64_t nRecordsTaken = 0;
    std::uint64_t nRecordsShown = 0;
};

class CLiveSection {
public:
    // Starts the worker. Reads the settings store (the line's default geometry) on the calling
    // thread only.
    explicit CLiveSection(const LiveSectionSettings& settings);
    ~CLiveSection();
    CLiveSection(const CLiveSection&) = delete;
    CLiveSection& operator=(const CLiveSection&) = delete;

    const LiveSectionSettings& Settings() const { return settings_; }

    // A record as written to the survey file, without its line end. A geometry record starts
    // a new line (the section starts again); readings, markers and GGA records extend it;
    // anything else is ignored. Returns at once: the work is the worker's.
    void TakeRecord(std::string_view record);

    // Waits until every record taken so far is in the published state and every column of it
    // is inverted. False when the time ran out first.
    bool WaitUntilCurrent(std::chrono::milliseconds timeout) const;

    // Calls reader with the published state, holding the lock.
    void Read(const std::function<void(const LiveSectionView&)>& reader) const;
    LiveSectionSummary Summary() const;

    // Writes the published section and model, with the line, as a section data and model
    // file. False when it could not be written (report says why).
    bool WriteSectionFile(const std::filesystem::path& path,
                          SurveySaveReport* report = nullptr) const;

    // Called on the worker thread after a column's inverted model was published (the column
    // index, the records its state holds). Set before the first record.
    std::function<void(int iColumn, std::uint64_t nRecordsShown)> onColumnInverted;

private:
    struct State;
    void Run();
    void Parse(std::string_view record);
    // Places the line and grids it into next_; true when anything changed.
    void Rebuild();
    int NextColumnToInvert() const;
    void InvertColumn(int c);

    const LiveSectionSettings settings_;

    // Queue between TakeRecord and the worker.
    mutable std::mutex queueMutex_;
    mutable std::condition_variable queueCv_;
    mutable std::condition_variable idleCv_;
    std::deque<std::string> queue_;
    std::uint64_t nTaken_ = 0;
    bool bIdle_ = true;
    bool bStop_ = false;

    // Worker only.
    std::unique_ptr<CGantrelSurvey> blank_, parsed_, scratch_;
    int nSinceMarker_ = 0;
    bool bLine_ = false;  // a geometry record opened the line being parsed
    std::uint64_t nParsed_ = 0;
    std::unique_ptr<State> next_;

    // Published; written by the worker under stateMutex_.
    mutable std::mutex stateMutex_;
    std::unique_ptr<State> shown_;

    std::thread worker_;
};
