// Example survey generator: a synthetic survey of parallel towed lines over a layered earth,
// written record by record as the logging program writes its survey files (.sto). Used for
// the shipped example data, for demonstrations and for the survey-file benchmark size.
//
// Deterministic: the same options give the same bytes. Randomness comes from a small
// generator of our own seeded from the options (never from the clock or the standard
// library's distributions), and each line draws from its own stream, so line k of a survey
// does not depend on how many lines follow it. Times are written from a clock kept here, not
// the process's time zone.
//
// Plan coordinates: x across the lines (m, line 1 at 0, line k at (k-1) x spacing, to the
// right of line 1's direction of travel), y along the lines (m, station 0 where line 1
// starts). Odd-numbered lines (1, 3, ...) are walked towards increasing y, even-numbered lines
// back towards y = 0, as an operator walks a zigzag; the markers carry no coordinates, as in
// the field, and the processing program's marker spacing lays them out in the same zigzag.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "common/forward_model.h"
#include "common/survey.h"

// The earth under the survey: a resistive cover whose thickness varies smoothly along and
// across the lines, over a conductive basement, cut by a conductive channel that crosses the
// lines obliquely. Resistivities in Ohm-m, lengths in m.
struct ExampleEarth {
    float fCoverResistivity = 200.0f;
    float fBasementResistivity = 20.0f;
    float fChannelResistivity = 5.0f;
    float fMeanCoverThickness = 2.0f;
    float fCoverThicknessVariation = 1.0f;  // the thickness stays within mean +- this
    float fChannelWidth = 8.0f;             // at the surface
    float fChannelDepth = 3.5f;             // on its axis (parabolic cross-section); 0: none
    double dChannelFraction = 0.6;          // axis crosses line 1 at this fraction of its length
    double dChannelSkew = 0.4;              // the axis moves this far along y per metre of x

    float CoverThickness(double x, double y) const;
    // Along-line position y of the channel axis at across-line position x, for lines of
    // length fLength.
    double ChannelAxis(double x, double fLength) const;
    // Depth of the channel fill at (x, y); 0 outside the channel.
    float ChannelDepthAt(double x, double y, double fLength) const;
    // The one-dimensional layered model under (x, y): channel fill (where present), the rest
    // of the cover, the basement half-space.
    LayerModel ModelAt(double x, double y, double fLength) const;
};

struct ExampleSurveyOptions {
    std::filesystem::path folder;      // created when missing
    std::string sFilePrefix = "line";  // files "<prefix>01.sto", "<prefix>02.sto", ...
    int nLine = 4;
    int nReadingPerLine = 400;
    int nReadingPerSecond = 1;  // 1..10
    std::uint64_t iSeed = 1;

    float fSpeed = 1.0f;           // mean towing speed, m/s (0.1..5)
    float fLineSpacing = 20.0f;    // m between neighbouring lines
    float fMarkerSpacing = 10.0f;  // m between MARKs; widened when a line would need more
                                   // than kMaxMarkerPerLine markers
    int nReceiver = kMaxReceiver;
    // The instrument's geometry as recorded in the "33" record (receiver factors unused).
    CGantrelGeometry geometry = CGantrelGeometry::Initial();
    ExampleEarth earth;

    float fNoise = 0.02f;      // relative standard deviation of every V/I
    int nSpikePerLine = 3;     // values multiplied by kSpikeFactor
    int nInvalidPerLine = 3;   // values recorded with a minus before their status digits
    bool bLevelChange = true;  // even-numbered lines switch current level partway
    int iCurrentLevel = 4;     // level of the readings (index of the current level table)
    int iChangedLevel = 3;     // level after the switch
    int iStatus = 5;           // second status digit of every value

    // Start of line 1 on WGS84, direction of travel of line 1 (degrees clockwise from north),
    // GPS noise (m, standard deviation per axis), antenna height above mean sea level (m).
    double dLatitude = 35.2;
    double dLongitude = 139.7;
    double dBearing = 20.0;
    float fGPSNoise = 0.5f;
    float fAltitude = 12.0f;

    // Local clock of line 1's START, and the local time's offset from UTC (the GGA time).
    int iYear = 2024, iMonth = 10, iDay = 8, iHour = 9, iMinute = 30;
    int iUTCOffsetMinutes = 9 * 60;
    int iTurnSeconds = 120;  // between the END of a line and the START of the next
};

inline constexpr float kSpikeFactor = 10.0f;

// The survey-file benchmark size: 20 lines of 50,000 readings at 10 readings a second (about
// 110 MB).
ExampleSurveyOptions LargeExampleOptions(const std::filesystem::path& folder);

// Empty when the options are usable, else what is wrong with them.
std::string CheckExampleOptions(const ExampleSurveyOptions& options);

// The shape of one line, fixed by the options alone (the same for every line).
struct ExampleLinePlan {
    int nReading = 0;
    std::int64_t iDurationMs = 0;  // START to END
    double dLength = 0.0;          // m walked, a whole number of marker spacings
    double dMarkerSpacing = 0.0;   // m
    int nMarker = 0;               // START marker, every MARK and the END marker
    int iGPSInterval = 1;          // s between GGA records (widened to stay within capacity)
    int nFix = 0;
};
ExampleLinePlan PlanExampleLine(const ExampleSurveyOptions& options);

struct ExampleValue {
    int iReading = 0;
    int iReceiver = 0;
};

// What was written for one line.
struct ExampleLineReport {
    std::filesystem::path path;
    int nReading = 0, nMarker = 0, nFix = 0;
    std::uintmax_t nByte = 0;
    bool bForward = true;          // walked towards increasing y
    double dX = 0.0;               // across-line position, m
    int iLevelChangeReading = -1;  // first reading at the changed level; -1 when none
    std::vector<ExampleValue> spike;
    std::vector<ExampleValue> invalid;
};

struct ExampleSurveyReport {
    bool bOK = false;
    std::string sError;  // names the file or the option that failed
    ExampleLinePlan plan;
    std::vector<ExampleLineReport> line;
};

// Writes every line's file into options.folder. Stops at the first file that cannot be
// written; the report then holds the lines written before it.
ExampleSurveyReport WriteExampleSurvey(const ExampleSurveyOptions& options);

// Along-line distance behind the operator (the tow point) at which the processing program
// plots the value of receiver j of an array of nReceiver receivers; the generator takes the
// earth under this point for that value.
float ValueOffsetBehindOperator(const CGantrelGeometry& geometry, int nReceiver, int j);
