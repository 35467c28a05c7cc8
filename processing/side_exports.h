// Side exports of the loaded survey in plain tables for other programs: the XYZ table for a
// gridding program (Surfer), the table of transmitter current levels and the table of one
// line's values. Each file is written whole or not at all (a temporary beside it, renamed).
#pragma once

#include <filesystem>
#include <string>

#include "common/survey.h"
#include "processing/document.h"

class CTextWriter;

// First line of the Surfer table (two blanks after HEIGHT and after Ro).
inline constexpr const char* kSurferHeader =
    "X Y HEIGHT  Nfactor Ro  Raw_reading LINE MARK DEPTH TIME DATE";

// One row "%.5f %.5f %.2f %.2f %.3f %.6f %d %d %.3f %s %s" (without line end) for receiver j
// of a reading: midpoint of transmitter and receiver, height 0, n-factor, apparent
// resistivity, V/I, line index from 0, marker index, pseudo-depth, time and date fields.
std::string FormatSurferRow(const CGantrelData& data, int j, int iLine);

// The Surfer table: the header, then a row per valid receiver value (bValid 1) of every
// reading of every line, lines whose bUse is 0 included. Returns an empty string on success,
// else the message naming the file ("Cannot open the file %s" when it cannot be created).
// nRow, when given, receives the rows written.
std::string WriteSurferFile(const CGantrelSurvey& survey, const std::filesystem::path& path,
                            int* nRow = nullptr);

// The current-level row "%d %d %d %f %f": line index, nReceiver, iCurrentLevel of receiver
// 1, the line's transmitter dipole, apparent resistivity of receiver 1. Returns 1 when the row
// was written, 0 without an open file.
int WriteCurrentLevelRow(const CGantrelData& data, float fTransmitterDipole, CTextWriter& out,
                         int iLine);

// One row per reading of the line: "%f " distance, " %f " per V/I, " %f " per apparent
// resistivity, "%d \n" current level of receiver 1. Returns the number of values written (one
// per V/I and per apparent resistivity), or -1 with error set when the file could not be
// written.
int WriteLineTable(const CGantrelLine& line, const std::filesystem::path& path,
                   std::string& error);

// "%d data were saved in %s" in the current language.
std::string CurrentLevelSavedMessage(int nRow, const std::filesystem::path& path);
