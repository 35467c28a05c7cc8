// The four converters of the File and Option menus, which work on files without touching the
// loaded survey: a survey file reversed into mapping order, a console text capture turned
// into mapping records, a binary file dumped as text in 128-byte blocks, and a mapping file
// whose GPS fixes are replaced from a separate position file.
//
// Every destination is written whole or not at all (a temporary beside it, renamed), and a
// source that cannot be read writes nothing, nor does a destination that is the source itself
// (the same file through any spelling or link). Lines are read whole whatever their length (up
// to kMaxConvertedLineLength) and written with CR LF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/survey.h"
#include "processing/document.h"

class CPrompter;

// Lines a survey file may have for ".sto to .stn": those after are not converted.
inline constexpr int kMaxReversedLines = 100000;
// A longer line is no text record: the file is refused rather than cut.
inline constexpr std::size_t kMaxConvertedLineLength = std::size_t{1} << 20;

// What a converter did, for its messages.
struct ConversionResult {
    std::string sError;             // the file that could not be read or written; empty when none
    int nWritten = 0;               // lines (or dump lines) written, header excluded
    int nLeftOut = 0;               // source lines not converted
    std::size_t iFirstLeftOut = 0;  // 1-based number of the first of them; 0 when none
    bool ok() const { return sError.empty(); }
};

// ---------------------------------------------------------------------------------------------
// "Convert .sto file to .stn file"

// The lines of the survey file from the last to the first, each unchanged but for its line
// end (CR LF for every line, the last one included). At most kMaxReversedLines lines are
// taken; the count of the rest is in nLeftOut.
ConversionResult ReverseSurveyFile(const std::filesystem::path& source,
                                   const std::filesystem::path& destination);

// ---------------------------------------------------------------------------------------------
// "Convert text data to STN"

// Where the time and date texts of a captured type-21 line lie (0-based) and how long they
// are: characters 83 to 94 and 95 to 103 of the line counted from 1.
inline constexpr std::size_t kCaptureTimeAt = 82, kCaptureTimeLength = 12;
inline constexpr std::size_t kCaptureDateAt = 94, kCaptureDateLength = 9;

enum class CaptureLine {
    Dropped,    // first item 0, no leading integer, or blank: not a record
    Converted,  // type 21: the reading record of four receivers
    Copied,     // any other type: unchanged
    Unusable,   // type 21 too short for its time and date, or without its twelve items
};
// Converts one capture line (without line end). out receives the record without line end
// for Converted and Copied.
CaptureLine ConvertCaptureLine(std::string_view line, std::string& out);

// "99 0 0 1" then the converted and copied lines of the capture. nLeftOut counts the
// unusable type-21 lines.
ConversionResult ConvertTextCapture(const std::filesystem::path& source,
                                    const std::filesystem::path& destination);

// ---------------------------------------------------------------------------------------------
// "Open binary file"

inline constexpr std::size_t kDumpBlockSize = 128;

// The dump line "%d %d %s" (without line end) of one block: its number from 0, 128, and its
// bytes up to the first zero byte.
std::string FormatDumpLine(int iBlock, std::string_view block);

// One line per whole 128-byte block of the source; a last shorter block is not dumped (its
// length is in nLeftOut, as bytes).
ConversionResult DumpBinaryFile(const std::filesystem::path& source,
                                const std::filesystem::path& destination);

// ---------------------------------------------------------------------------------------------
// "Apply new GPS data"

// A position file gives UTM points without their zone and times of day without their date:
// the zone is that of the survey the fixes are applied to, and the date that of the readings
// of each line.
inline constexpr int kMaxApplyGPSFixes = 20000;

struct GPSPosition {
    double dEasting = 0.0;   // m
    double dNorthing = 0.0;  // m, folded as the survey files store northings
    int iSecondOfDay = 0;    // 0 .. 86400 (a leap second)
};

// A position line "%d%lf%lf%lf%s": a number not used, easting, northing, a number not used and
// the time of day "hh:mm:ss". nullopt unless all five items are read, the coordinates are
// finite and the word gives a time of day.
std::optional<GPSPosition> ParseGPSPositionLine(std::string_view line);

struct GPSPositionZone {
    int iZone = 0;  // 1..60
    bool bSouth = false;
};
// The zone of the survey's own fixes (the first fix that has one, by its zone or else its
// longitude, with its hemisphere); without fixes, the suite-wide "iUTMZone" the last survey
// read with fixes left (northern). nullopt when neither gives a zone.
std::optional<GPSPositionZone> PositionZoneOf(const CGantrelSurvey& survey);

// The fix of a position in the zone, at its time of day on the local calendar day of `day`
// (calendar seconds), or on the day after when that is earlier than `day` itself and the
// position's time, taken on the day after, is not later than `until`: a line that runs past
// midnight takes its later positions on the next day. nullopt when the time cannot be formed.
std::optional<CGPSData> PositionFix(const GPSPosition& position, const GPSPositionZone& zone,
                                    std::int64_t day, std::int64_t until);

// Replaces the fixes of every line of the survey by the fixes lying from the time of its
// first reading to that of its last (whole seconds, both included), in the order given, and
// ties each to its nearest reading. Returns the number of fixes placed.
int ApplyGPSFixes(CGantrelSurvey& survey, const std::vector<CGPSData>& fixes);
// The same for positions: each line takes them on the day of its own readings (PositionFix).
int ApplyGPSPositions(CGantrelSurvey& survey, const std::vector<GPSPosition>& positions,
                      const GPSPositionZone& zone);

// Drops the lines without readings, keeping the order of the others; returns how many are
// left.
int DropEmptyLines(CGantrelSurvey& survey);

// "%s is the file %s that is being converted: ..." for a destination that is an input.
std::string DestinationIsInputMessage(const std::filesystem::path& destination,
                                      const std::filesystem::path& input);

// The save dialog of a converter, asked again (after saying why) while the file chosen is one
// of the inputs; nullopt when cancelled.
std::optional<std::filesystem::path> AskConversionDestination(
    CBrivaneContext& ctx, const std::string& caption, const std::vector<FileFilter>& filters,
    const std::filesystem::path& initial, const std::vector<std::filesystem::path>& inputs);

// The commands.
void ConvertStoToStnCommand(CBrivaneContext& ctx);
void ConvertTextToStnCommand(CBrivaneContext& ctx);
void OpenBinaryFileCommand(CBrivaneContext& ctx);
void ApplyNewGPSCommand(CBrivaneContext& ctx);
