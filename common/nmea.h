// GPS records of the survey files: GGA sentences as the logging program stored them, the RMC
// echo written while a survey file is read, and the decoded positions of magnetometer
// mapping files.
#pragma once

#include <filesystem>
#include <string_view>

#include "common/survey.h"

class CTextWriter;

// What the position fields of a GGA sentence hold.
enum class GGAPosition {
    Fix,         // latitude and longitude in NMEA form and on the globe
    NoFix,       // the latitude or longitude field is empty (the receiver has no fix yet)
    NotNmea,     // a field that is not "ddmm.mmm" (latitude) or "dddmm.mmm" (longitude)
    OffTheGlobe  // latitude beyond a pole, or longitude of 180 degrees or more
};

// The one position decoder of both programs. Reads fields 2 to 5 of a GGA sentence (fields
// split at commas; text after the checksum is never looked at): the latitude as exactly two
// degree digits, two minute digits and an optional '.' with further digits, the longitude the
// same with three degree digits, minutes below 60; "S"/"s" and "W"/"w" make them negative.
// Sets the degree, minute, hemisphere and decimal members of gps and dAltitude from field 9
// (0 when absent or no number); other members are untouched. When the result is not Fix,
// *failing (if given) is the field at fault (empty for NoFix) and the decimal position
// members are unchanged.
GGAPosition DecodeGGAPosition(std::string_view sentence, CGPSData& gps,
                              std::string_view* failing = nullptr);

// Decodes a survey-file GPS record ("21 <sentence> <time> <date>"; a record that starts with
// the sentence itself is read the same way). Sets the sentence, both coordinates with their
// degree, minute and hemisphere parts, the altitude (0 when the sentence has fewer than ten
// fields or field 9 holds no number), the time of reception from the record's time and date
// tokens (the last two tokens of the record, so that text the receiver sent after the
// checksum does not displace them), and the UTM values. Returns the UTM zone (1..60) or 0 when:
//  - the latitude or longitude field is empty (no fix; nothing is logged);
//  - a position field is not in NMEA form (logged as "String error" and the field);
//  - the position lies off the globe (logged as "Position error" and the field);
//  - the time or date token gives no calendar time (logged as "Time error" and the record).
int DecodeGGA(CGPSData& gps, std::string_view record);

// Appends the RMC echo line of a fix; does nothing when out is null or not open.
void WriteRMC(const CGPSData& gps, CTextWriter* out);

// Decodes a mapping-file GPS record ("%d%lf%lf%s%s%d%d%d%d": kind, longitude, latitude, time,
// date, four integers): altitude 0, time, UTM values. When the position or the time cannot be
// read, or the position lies off the globe (|longitude| > 180, |latitude| > 90), the fix is
// left with iUTMZone 0 so that callers drop it. Returns 1 when the record's
// line field (the second of the four integers) differs from iLineIndex, else 0 (also when the
// field is missing).
int ParseMappingGPS(CGPSData& gps, std::string_view record, int iLineIndex);

// Where DecodeGGA appends its failures; "DecodeGPSInBrivane.txt" in the process's current
// directory unless a test or the shell sets another path.
void SetDecodeFailureLog(const std::filesystem::path& path);
std::filesystem::path DecodeFailureLog();
