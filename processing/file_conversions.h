// The four converters of the File and Option menus, which work on files without touching the
// loaded survey: a survey file reversed into mapping order, a console text capture turned
// into mapping records, a binary file dumped as text in 128-byte blocks, and a mapping file
// whose GPS fixes are replaced from a separate position file.
//
// Every destination is written whole or not at all (a temporary beside it, renamed), and a
// source that cannot be read writes nothing. Lines are read whole whatever their length (up
// to kMaxConvertedLineLength) and written with CR LF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "common/survey.h"
#include "processing/document.h"

class CPrompter;

// Lines a survey file may have for ".sto to .stn": those after are not converted.
inline constexpr int kMaxReversedLines = 100000;
// A longer line is no text record: the file is refused rather than cut.
inline constexpr std::size_t kMaxConvertedLineLength = std::size_t{1} << 20;

// What a converter did, for its messages.
struct ConversionResult {
    std::string sError;      // the file that could not be read or written; empty when none
    int nWritten = 0;        // lines (or dump lines) written, header excluded
    int nLeftOut = 0;        // source lines not converted
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
    Dropped,      // first item 0, no leading integer, or blank: not a record
    Converted,    // type 21: the reading record of four receivers
    Copied,       // any other type: unchanged
    Unusable,     // type 21 too short for its time and date, or without its twelve items
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

// The fixes of a position file are UTM points of this zone, on this calendar day (local
// time): the position files of the survey this converter was made for carry no zone and no
// date.
inline constexpr int kApplyGPSZone = 12;
inline constexpr int kApplyGPSYear = 2017, kApplyGPSMonth = 5, kApplyGPSDay = 10;
inline constexpr int kMaxApplyGPSFixes = 20000;

// A position line "%d%lf%lf%lf%s": a number not used, easting, northing, a number not used and
// the time of day "hh:mm:ss". nullopt unless all five items are read, the coordinates are
// finite and the word gives a time of day.
std::optional<CGPSData> ParseGPSPositionLine(std::string_view line);

// Replaces the fixes of every line of the survey by the fixes lying from the time of its
// first reading to that of its last (whole seconds, both included), in the order given, and
// ties each to its nearest reading. Returns the number of fixes placed.
int ApplyGPSFixes(CGantrelSurvey& survey, const std::vector<CGPSData>& fixes);

// Drops the lines without readings, keeping the order of the others; returns how many are
// left.
int DropEmptyLines(CGantrelSurvey& survey);

// The commands.
void ConvertStoToStnCommand(CBrivaneContext& ctx);
void ConvertTextToStnCommand(CBrivaneContext& ctx);
void OpenBinaryFileCommand(CBrivaneContext& ctx);
void ApplyNewGPSCommand(CBrivaneContext& ctx);
