// Survey text files (.sto) and magnetometer mapping files (.stn): reading into a survey and
// writing back, record by record.
//
// Readers return what they read plus a status (which file, how many records could not be
// used, the line number of the first and what was wrong with it); the overloads taking a
// CPrompter turn that status into the user's messages. Bad input of any kind (binary bytes,
// overlong lines, numbers out of range, truncated records, full lines) never stops a read:
// the record is left out, counted and the rest of the file is read.
//
// Text conventions: files are written with CR LF line ends and numbers in the C locale; a
// line is at most 1,023 characters (the readers' line buffer), a longer one is left out as a
// whole rather than cut into pieces.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "common/atomic_file.h"
#include "common/survey.h"

class CLineReader;
class CPrompter;
class CTextWriter;

// Longest line the readers take, excluding its line end.
inline constexpr std::size_t kMaxRecordLength = 1023;
// A mapping file is read into memory up to this many lines.
inline constexpr int kMaxMappingFileLines = 100000;
// A reading whose |V/I| exceeds this is written as the single word "ERROR".
inline constexpr double kMaxWritableResistance = 100000000.0;

// What was wrong with a record that could not be used.
enum class RecordProblem {
    None,
    LineTooLong,         // more than kMaxRecordLength characters
    BadGeometry,         // "33 GOHM" record: fewer than eight fields, a bad number or time
    ReceiverCount,       // reading with a receiver count outside 1..5
    BadReading,          // reading: a value, status, time or date that cannot be read
    BadMarker,           // marker: a coordinate, time or date that cannot be read
    BadGPS,              // GPS record with a position or time that cannot be used
    BadResistivityLine,  // resistivity mode: the line after a reading lacks its values
    NoLine,              // no line to go to: before the first line, or after a bad geometry
    LineFull,            // the line already holds 50,000 readings, 1,000 markers or 20,000 fixes
    SurveyFull,          // the survey already holds 1,000 lines
};
inline constexpr int kRecordProblemCount = static_cast<int>(RecordProblem::SurveyFull) + 1;

// The problem in the current language, e.g. "reading with a receiver count outside 1 to 5".
std::string RecordProblemText(RecordProblem problem);

struct SurveyFileStatus {
    std::filesystem::path path;     // the file read; empty for records given in memory
    bool bOpened = true;            // false: the file could not be opened
    int nLine = 0;                  // lines of the survey afterwards (the readers' return value)
    int nRecord = 0;                // records taken into the survey
    int nBad = 0;                   // records left out (or, in resistivity mode, left incomplete)
    std::size_t iFirstBadLine = 0;  // 1-based line number of the first of them; 0 when none
    RecordProblem eFirstBad = RecordProblem::None;
    int nGiven = 0;            // mapping files: lines given to ReadMappingRecords, header included
    int nUnread = 0;           // mapping files: lines after the 100,000th, not read
    int iUTMZone = 0;          // survey files: zone stored as "iUTMZone"; 0 when no fix decoded
    bool bRawVariant = false;  // mapping file read as raw console records
    std::array<int, kRecordProblemCount> nByProblem{};  // records left out, per problem
    bool bEchoRefused = false;  // "gps.nmea" not written: it is a file being read

    // Records left out for lack of room (full lines or a full survey).
    int OverCapacity() const;
    // True when anything of the file was not read: records left out or lines past 100,000.
    bool LeftOut() const { return nBad > 0 || nUnread > 0; }

    // Counts a bad record; the first one is remembered.
    void Note(std::size_t iLineNumber, RecordProblem problem);
};

// Messages for a status: "Cannot open the file %s" when the file could not be opened, one
// message naming the file, the count and the first bad line when records were left out, one
// when a mapping file was cut at 100,000 lines. Nothing for a clean read.
void ReportSurveyFileStatus(const SurveyFileStatus& status, CPrompter& prompter);

// One line for a summary of what a read left out, e.g. "a.sto: 3 record(s) left out: 2 over
// a capacity (the line is full ...), 1 marker with an unreadable position, time or date;
// the first at line 17"; empty when nothing was left out.
std::string SurveyFileLeftOutText(const SurveyFileStatus& status);
// The same without the file's name and colon (it begins with a blank).
std::string SurveyFileLeftOutDetail(const SurveyFileStatus& status);

// ---------------------------------------------------------------------------------------------
// Survey files (.sto)

// Appends the lines of a survey file and runs the steps after a read. The fixes accepted are
// echoed as RMC sentences to "gps.nmea" in the file's folder (replaced at the end of the
// read), unless that is the file being read or another guarded input (side_file.h); the zone
// of the last fix is stored as the suite-wide "iUTMZone". Every line keeps the bUse its
// geometry record gives.
SurveyFileStatus ReadSurveyFile(CGantrelSurvey& survey, const std::filesystem::path& path);
// The same, showing the status's messages; returns the survey's line count (0 when the file
// cannot be opened). The status goes to *status when given.
int ReadSurveyFile(CGantrelSurvey& survey, const std::filesystem::path& path, CPrompter& prompter,
                   SurveyFileStatus* status = nullptr);

// Reads survey records from the reader's current line to the end of its file, then runs the
// steps after a read. bResistivity = 1: the line after every accepted reading of n receivers
// holds n apparent resistivities that replace the computed ones. pRMC receives the RMC echo of
// every accepted fix (may be null). status.path is left for the caller to fill.
SurveyFileStatus ReadSurveyStream(CGantrelSurvey& survey, CLineReader& in, int bResistivity,
                                  CTextWriter* pRMC = nullptr);

// Writes one line in the survey file layout: geometry record; per reading, its markers (all
// but the last) and fixes by iDataIndex, then the reading and its resistivity line; the last
// marker. Records whose iDataIndex lies outside the readings go with the nearest end. Every
// reading the reader would take back is written, values above 1e8 included; a reading that
// holds a value that is not a number (which no reader takes) is left out and counted in
// *pLeftOut when given. False when a write failed.
bool WriteSurveyLine(const CGantrelLine& line, CTextWriter& out, int bWithDistance,
                     int bZeroStatus, int* pLeftOut = nullptr);

// True when a survey file cannot hold the reading: a receiver count outside 1..5 or a value
// that is not a finite number.
bool IsUnwritableReading(const CGantrelData& data);

// How a save of survey records went: the file itself, and the readings it could not hold.
struct SurveySaveReport {
    SaveResult save;
    int nLeftOut = 0;  // survey and section files: readings left out; mapping files: readings
                       // written as "ERROR"
    bool ok() const { return save.ok() && nLeftOut == 0; }
};
// The messages of a save that did not keep everything: the save failure, or the readings
// left out ("%s: %d reading(s) ..."); empty when everything was written. bMapping: the file
// is a mapping file, whose readings are written as "ERROR".
std::string SurveySaveMessage(const SurveySaveReport& report, const std::filesystem::path& path,
                              bool bMapping);

// The folder-side echo file of a survey file read: "gps.nmea" beside it.
std::filesystem::path GpsEchoPath(const std::filesystem::path& dataFile);

// ---------------------------------------------------------------------------------------------
// Magnetometer mapping files (.stn)

// Reads the file into memory (at most 100,000 lines) and reads it with ReadMappingRecords,
// or as raw console records when any line starts "21".
SurveyFileStatus ReadMappingFile(CGantrelSurvey& survey, const std::filesystem::path& path);
// The same with messages: "Number of data (resistivity, marker and GPS) = %d" before the
// records are read (not for the raw variant), then the status's messages.
int ReadMappingFile(CGantrelSurvey& survey, const std::filesystem::path& path, CPrompter& prompter,
                    SurveyFileStatus* status = nullptr);

// Reads mapping records held in memory, taking them from the last to the first; bGPS = 1
// when the records hold GPS fixes. Lines may end with CR LF or LF. Runs CompleteLines, the
// apparent resistivities of every reading and the bounding boxes afterwards. status.nGiven
// is the number of lines given (header included).
SurveyFileStatus ReadMappingRecords(CGantrelSurvey& survey, std::span<const std::string> lines,
                                    int bGPS);
// The same, first showing "Number of data (resistivity, marker and GPS) = %d".
int ReadMappingRecords(CGantrelSurvey& survey, std::span<const std::string> lines, int bGPS,
                       CPrompter& prompter);
// The raw variant: geometry and marker records plus raw console records ("21 " not followed
// by "$"), again from the last line to the first.
SurveyFileStatus ReadRawMappingRecords(CGantrelSurvey& survey, std::span<const std::string> lines);

// Writes the header and every line in reverse record order, replacing the file only once
// everything was written. Sets every marker's dX to 10 x its line index and its iRecordType
// to 4. A reading with a value above 1e8 (or not a number) is written as the word "ERROR",
// as the format has it, and counted in the report. False when the file cannot be created or
// written.
bool WriteMappingFile(CGantrelSurvey& survey, const std::filesystem::path& path,
                      SurveySaveReport* report = nullptr);
// The same showing SurveySaveMessage; false as well when readings were written as "ERROR".
bool WriteMappingFile(CGantrelSurvey& survey, const std::filesystem::path& path,
                      CPrompter& prompter);

// ---------------------------------------------------------------------------------------------
// After a read

// Drops the last line when it has no reading; gives every line with readings exactly two
// markers when it had fewer, marks its last marker iKind = 2 and ties every marker and fix
// to the reading nearest in time (iDataIndex).
void CompleteLines(CGantrelSurvey& survey);

// ---------------------------------------------------------------------------------------------
// Records

// Geometry record "33  GOHM offset tx rope rx time date [bUse [5 x bReceiverUse [5 x factor]]]".
struct GeometryRecord {
    float fOffset = 0, fTransmitterDipole = 0, fRopeLength = 0, fReceiverDipole = 0;
    std::int64_t time = 0;
    int iMilliSecond = 0;
    int nUse = 0;  // how many of bUse and the five bReceiverUse were read (0..6)
    int bUse = 1;
    int bReceiverUse[kMaxReceiver] = {1, 1, 1, 1, 1};
    int nFactor = 0;  // receiver factors read (records of 19 fields only)
    float fReceiverFactor[kMaxReceiver] = {1, 1, 1, 1, 1};

    // Offset, rope, both dipole sizes (bDifferentSize set, never cleared, when they differ),
    // the record's time and, when present, the factors into g; bUse and bReceiverUse into
    // the line when line is given.
    void ApplyTo(CGantrelGeometry& g, CGantrelLine* line) const;
};
// False when the record has fewer than eight fields or a bad number, time or date.
bool ParseGeometryRecord(std::string_view record, GeometryRecord& geometry);

enum class GeometryForm {
    Logging,     // fields 1 to 8 and " %d " with 1
    Processing,  // fields 1 to 19: bUse, the five bReceiverUse, the five factors
    Mapping,     // fields 1 to 8
};
// Without line end. bUse and bReceiverUse are read for the processing form only.
std::string FormatGeometryRecord(const CGantrelGeometry& g, GeometryForm form, int bUse = 1,
                                 const int* bReceiverUse = nullptr);

// Reading record "30 n (value status) x n time date [distance]". Returns n (1..5), or 0 when
// the record is rejected (data is then in an unspecified but valid state).
int ParseReadingRecord(std::string_view record, CGantrelData& data);
// Older mapping form "0 v1 v2 time date": nReceiver = number of values above 0. Returns it.
int ParseOldReadingRecord(std::string_view record, CGantrelData& data);
// Raw console record "21 <v,rl,tl,st,v,rl,st,...> time date". Returns n, 0 when rejected.
int ParseRawRecord(std::string_view record, CGantrelData& data);
// Resistivity line: up to nReceiver reals into fResistivity. Returns how many were read.
int ParseResistivityLine(std::string_view text, CGantrelData& data);

enum class ReadingForm {
    ZeroStatus,  // "%11.3f 0 " per receiver (survey file and mapping file writers)
    WithStatus,  // "%11.3f %d%d", or "%11.3f -%d%d " when invalid (section data files)
    Logging,     // "%10.3f %d%d " (the logging program's own records)
};
// True when the reading is written as "ERROR": a receiver count outside 1..5 or a value whose
// magnitude exceeds 1e8 or is not a number.
bool IsErrorReading(const CGantrelData& data);
// The record without line end, or "ERROR". A value too wide for its field is still separated
// from the field before it by a blank.
std::string FormatReadingRecord(const CGantrelData& data, ReadingForm form, bool bWithDistance);
// " %f " per receiver.
std::string FormatResistivityLine(const CGantrelData& data);

// Marker record "3 dX dY time date nData lineID markerNumber recordType". iKind = 1 and
// bDistance = 1 on success.
bool ParseMarkerRecord(std::string_view record, CMarkerData& marker);
enum class MarkerForm {
    Survey,   // "...%10d %11d %11d 5" with 0, iLineID, iMarkerNumber
    Mapping,  // "...%10d %11d %11d %4d" with nData, iLineID, iMarkerNumber, 4
};
std::string FormatMarkerRecord(const CMarkerData& marker, MarkerForm form);

// Survey-file GPS record "21 <sentence> time date". A fix without a sentence (one read from a
// mapping file) gets a GGA sentence made from its position, so the track survives a save.
// Empty when there is neither a sentence nor a usable position.
std::string FormatGPSRecord(const CGPSData& gps);
// Mapping-file GPS record "3  lon lat time date kind line 1 4"; kind 6 for a line's last fix.
std::string FormatMappingGPSRecord(const CGPSData& gps, int iLine, bool bLast);
