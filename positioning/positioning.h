// Distances along lines and plan positions of readings.
//
// Without GPS, markers carry distances and readings between two markers are interpolated.
// With GPS, the fixes give every reading a plan position (and, through the towed-array
// geometry, a position for the transmitter and each receiver); a polyline of flags defines
// the survey line, the fixes are projected onto it and readings and markers take their
// distances from the fixes by time.
//
// Units: metres (UTM eastings and northings), radians, seconds.
#pragma once

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "common/prompter.h"
#include "common/survey.h"

// ---------------------------------------------------------------------------------------------
// Survey operations

// Lays the markers of every line out at a regular spacing (m), zigzag: even lines run
// forward from 0, odd lines backward to 0. Sets each marker's dX = 0, dY and fDistance, then
// the line's range. False (nothing changed) when a marker would lie farther than
// kMaxMarkerDistance from 0.
bool SetMarkerSpacing(CGantrelSurvey& survey, double dSpacing);

// Largest distance along a line a marker may be given, m: a quarter of the earth's meridian.
// Far below what a float holds, so that distances, positions and ranges stay finite.
inline constexpr double kMaxMarkerDistance = 1.0e7;
// Whether a marker may be placed at this distance.
inline bool IsMarkerDistance(double d) {
    return std::isfinite(d) && std::fabs(d) <= kMaxMarkerDistance;
}

// Distances of readings from their markers (by time or by reading count, after the survey's
// bInterpolateByTime), then the line and survey ranges. Does nothing once distances came
// from GPS (bGPSDistance and bMarkerDistance both 1). A reading no marker pair encloses keeps
// its distance.
void SetDistanceFromMarkers(CGantrelSurvey& survey);

// Distances of fixes, readings and markers of every line from the survey's flags; a line
// without fixes is excluded (bUse = 0). Returns the number of readings given a distance
// (0 on error, after the message "Error in setting distance from GPS"). pNotPlaced, when
// given, receives how many readings had no usable pair of fixes and took the distance of the
// fix nearest in time. bDiagnosticFiles false: the per-line diagnostic files are not written
// (a section recomputed as readings arrive would rewrite them every time).
int SetDistanceFromGPS(CGantrelSurvey& survey, const std::filesystem::path& dataFolder,
                       CPrompter& prompter, int* pNotPlaced = nullptr,
                       bool bDiagnosticFiles = true);

// One straight line fitted to all fixes of all lines becomes the survey's two flags (first
// end at 0, second end at the length between them). False when the survey has no fixes.
bool FitSurveyLine(CGantrelSurvey& survey);

// ---------------------------------------------------------------------------------------------
// Line operations

// Plan positions and headings of the readings from the fixes, then the transmitter and
// receiver positions and the line's bounding box. Returns 0 (nothing changed) when the line
// has fewer than two fixes, else 1. A reading's fDistance is left at 1.0 when its position
// came from a pair of fixes and 0.0 when it had to take the position of the fix nearest in
// time; pNotPlaced receives the count of the latter.
int ComputePositions(CGantrelLine& line, int* pNotPlaced = nullptr);

// Least-squares line through the line's fixes, stored as pFittedLine with its two ends in
// pFittedEnds (distances 0 and the length between them), iFittedPoints = 2. False when the
// line has no fixes.
bool FitLine(CGantrelLine& line);

// Distances of the line's fixes, readings and markers along a polyline of at least two flags;
// marker dY takes the distance too, and the line's range is updated. Writes the diagnostic
// files "SetDistanceFromGPS_<iLine>.txt" and "Latitue_and_Longitude_along_line_<iLine>.txt"
// into dataFolder when they can be created. Returns the line's number of readings, 0 when the
// line has no fixes (nothing changed) and -1 (nothing changed) when fewer than two flags are
// given or a distance comes out as no finite number. pNotPlaced as for ComputePositions;
// bDiagnosticFiles as for SetDistanceFromGPS.
int SetDistanceFromFlags(CGantrelLine& line, std::span<const CFlagLocation> flags, int iLine,
                         const std::filesystem::path& dataFolder, int* pNotPlaced = nullptr,
                         bool bDiagnosticFiles = true);

// ---------------------------------------------------------------------------------------------
// Building blocks

// Least squares of y on x. Ends at the extreme northings when |slope| >= 1, else at the
// extreme eastings; a track of one easting gives angle pi/2 and ends at its extreme
// northings. Empty or mismatched input gives a default record.
CFittedLine FitStraightLine(std::span<const double> x, std::span<const double> y);

// Distance along a polyline of flags of the plan point (x, y): the flag distance at the start
// of the chosen segment plus the component along it. Segment 0 is taken first; a later
// segment replaces it when the point lies along it (5 m tolerance at each end) and nearer to
// its line. Zero-length segments are never chosen. piSegment receives the segment chosen
// (-1 when the flags have no extent: the result is then the first flag's distance).
float DistanceAlongFlags(double x, double y, std::span<const CFlagLocation> flags,
                         int* piSegment = nullptr);

// A pair of fixes chosen for a time: value = v(k) + (v(k+1) - v(k)) * dFactor when bPlaced;
// otherwise no pair qualified (fixes out of time order or simultaneous) and k is the fix
// nearest in time (dFactor 0).
struct CFixPair {
    int k = -1;
    double dFactor = 0.0;
    bool bPlaced = false;
};

// Chooses the pair of a line's fixes for a time: the first pair in file order that encloses
// the time or has a fix within a second of it; the first and the last pair also extrapolate
// before the first and after the last fix; simultaneous fixes are passed over. Plan positions
// use whole seconds, distances seconds and milliseconds. Built once per line (the line's
// fixes must not change meanwhile): when the fixes are in time order the search starts near
// the answer instead of at the first pair.
class CFixTimeline {
public:
    CFixTimeline(const CGantrelLine& line, bool bMilliseconds);
    CFixPair At(std::int64_t time, int iMilliSecond = 0) const;

private:
    double Diff(int k, std::int64_t time, int iMilliSecond) const;

    const CGantrelLine& line_;
    bool bMilliseconds_;
    bool bOrdered_ = true;
    std::vector<double> times_;  // s from the first fix
};

// Adds a flag at a plan position with its cumulative distance along the flags. False when
// all flags are in use (nothing happens then).
bool AddFlagAt(CGantrelSurvey& survey, double dEasting, double dNorthing);

// ---------------------------------------------------------------------------------------------
// Commands of the view: "Set flags", "Set a flag from lat-lon", "Set distance",
// "Clear all flags", "Interpolated by time".

// The view state these commands read and change. bRedraw is set when a command asks for a
// redraw.
struct CPositioningView {
    int& iViewMode;
    int& iMouseMode;
    bool bRedraw = false;
};

inline constexpr const char* kFlagLatitudeKey = "FLAG_LATITUDE";
inline constexpr const char* kFlagLongitudeKey = "FLAG_LONGITUDE";

// The two-value input dialog (labels and values in, values out).
struct CTwoValueInput : CDialogValues {
    std::string sLabel1, sLabel2;
    double dValue1 = 0.0, dValue2 = 0.0;
    std::string DialogName() const override { return "Input two values"; }
};

// True when the survey has lines and at least one of them has GPS fixes.
bool SurveyHasLinesAndFixes(const CGantrelSurvey& survey);

bool IsSetFlagsEnabled(int iViewMode);
bool IsSetFlagsChecked(int iMouseMode);
bool IsSetFlagFromLatLonEnabled(const CGantrelSurvey& survey, int iViewMode);
bool IsSetDistanceEnabled(const CGantrelSurvey& survey);
bool IsClearAllFlagsEnabled(const CGantrelSurvey& survey, int iViewMode);
bool IsInterpolatedByTimeChecked(const CGantrelSurvey& survey);

// "Set flags": flag-setting mouse mode, redraw.
void OnSetFlags(CPositioningView& view);
// A left click on the GPS map at a plan position: adds a flag in flag-setting mode on the GPS
// map and asks for a redraw. True when a flag was added.
bool OnFlagMapClick(CGantrelSurvey& survey, CPositioningView& view, double dEasting,
                    double dNorthing);
// "Set a flag from lat-lon": asks for latitude and longitude (degrees) and adds a flag there.
// True when a flag was added.
bool OnSetFlagFromLatLon(CGantrelSurvey& survey, CPositioningView& view, CPrompter& prompter);
// "Set distance": distances from the flags, normal mouse mode, apparent resistivity line
// view. Returns what SetDistanceFromGPS returned.
int OnSetDistance(CGantrelSurvey& survey, CPositioningView& view,
                  const std::filesystem::path& dataFolder, CPrompter& prompter);
// "Clear all flags".
void OnClearAllFlags(CGantrelSurvey& survey, CPositioningView& view);
// "Interpolated by time": toggles the survey's bInterpolateByTime.
void OnInterpolatedByTime(CGantrelSurvey& survey);
