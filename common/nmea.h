// GPS records of the survey files: GGA sentences as the logging program stored them, the RMC
// echo written while a survey file is read, and the decoded positions of magnetometer
// mapping files.
#pragma once

#include <filesystem>
#include <string_view>

#include "common/survey.h"

class CTextWriter;

// Decodes a survey-file GPS record ("21 <sentence> <time> <date>"; a record that starts with
// the sentence itself is read the same way). Sets the sentence, both coordinates with their
// degree, minute and hemisphere parts, the altitude (0 when the sentence has fewer than ten
// fields or field 9 holds no number), the time of reception from the record's time and date
// tokens, and the UTM values. Returns the UTM zone (callers accept 1..60) or 0 when:
//  - the latitude or longitude field is empty (no fix; nothing is logged);
//  - a degree or minute part holds anything but digits and '.' (logged as "String error"
//    and the failing part);
//  - the latitude lies beyond the poles (logged as "Latitude error" and the field);
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
