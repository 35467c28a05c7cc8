// GPS records of the survey files: GGA sentences as the logging program stored them, the RMC
// echo written while a survey file is read, and the decoded positions of magnetometer
// mapping files.
#pragma once

#include <filesystem>
#include <string_view>

#include "common/survey.h"

class CTextWriter;

// Decodes a survey-file GPS record ("21 <sentence> <time> <date>"). Returns the UTM zone
// (1..60 accepted by callers) or 0 when the sentence has no position or fails the number
// check; a failed check is appended to the failure log (see SetDecodeFailureLog).
int DecodeGGA(CGPSData& gps, std::string_view record);

// Appends the RMC echo line of a fix; does nothing when out is null or not open.
void WriteRMC(const CGPSData& gps, CTextWriter* out);

// Decodes a mapping-file GPS record ("%d%lf%lf%s%s%d%d%d%d"). Returns 1 when the record's
// line field (the second of the four integers) differs from iLineIndex, else 0.
int ParseMappingGPS(CGPSData& gps, std::string_view record, int iLineIndex);

// Where DecodeGGA appends its failures; "DecodeGPSInBrivane.txt" in the process's current
// directory unless a test or the shell sets another path.
void SetDecodeFailureLog(const std::filesystem::path& path);
std::filesystem::path DecodeFailureLog();
