// Section data and model file (.ovs): the gridded section with its calculated values, the
// layer boundaries and resistivities, and (version 8) the plan-view flags, the marker
// positions and the survey records of every line, in one text file. The layout is the data
// file layout of the sister refraction program: a header line "2000 version 3.0", then
// whitespace-separated number blocks, then the survey sections line by line.
//
// The reader also takes the older layout without a header line and versions up to 9. It
// never writes past the store's capacities: entries beyond them are read and left out, and
// the status says so. A file that ends early or holds something that is not a number is
// read up to that point; the status names the line and the block.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "common/survey.h"
#include "common/survey_file.h"
#include "sectionfiles/section_store.h"

class CPrompter;

// First value of the header line of files written here (values above 999 mark the header
// line; 2000 and above the row layouts with N-factors and four-electrode rows).
inline constexpr int kSectionFileMagic = 2000;
inline constexpr int kSectionFileVersionWithSurvey = 8;
inline constexpr int kSectionFileVersionNoSurvey = 7;
// Smallest cell size a file may give, m; smaller values are read as this.
inline constexpr float kSectionFileMinCellSize = 0.1f;

// The parts of a section file, for messages.
enum class SectionBlock {
    Header,         // header line, or the section header of the older layout
    SectionHeader,  // data type, column count, cell size
    ColumnHeader,
    Row,
    BoundaryHeader,
    Boundary,
    AuxBlock,  // fourth block (entries of the sister program, skipped)
    ModelHeader,
    ModelColumn,
    GPSFlags,
};
// "column header", "model block", ... in the current language.
std::string SectionBlockText(SectionBlock block);

enum class SectionFileProblem {
    None,
    EndedEarly,     // the file ends inside a block
    BadValue,       // a token that is not a number of the kind the block needs
    NegativeCount,  // a block count below 0
    LineTooLong,    // a line past the reader's limit in the number blocks
};

// Entries a file holds beyond a capacity of the store (or of the survey's flags): read and
// left out. One note per kind; nTimes counts how often the kind overflowed (rows: columns).
enum class SectionCapacity {
    Columns,
    Rows,
    BoundaryColumns,
    Boundaries,
    ModelColumns,
    Layers,
    Flags
};
struct SectionCapacityNote {
    SectionCapacity eKind = SectionCapacity::Columns;
    std::size_t iLine = 0;  // where the first overflow was met
    int nKept = 0;          // the capacity
    int nTimes = 0;
};

struct SectionFileStatus {
    std::filesystem::path path;
    bool bOpened = true;       // false: the file could not be opened; nothing was changed
    bool bHeaderRead = false;  // false: not even the first three values could be read; the
                               // store and the survey were left as they were
    SectionFileProblem eProblem = SectionFileProblem::None;
    SectionBlock eBlock = SectionBlock::Header;
    std::size_t iLine = 0;  // 1-based line of the problem
    std::string sToken;     // BadValue: the text found; NegativeCount: the count
    int nAuxSkipped = 0;    // entries of the fourth block that were skipped
    std::vector<SectionCapacityNote> capacity;
    // Version 8 and later: the survey sections.
    bool bFlags = false;   // a "GPS_flags" section was read
    int nFlag = 0;         // flags kept
    bool bSurvey = false;  // an "Original_data" section was read
    int nLineRead = 0;
    SurveyFileStatus survey;  // status of the records of the "Original_data" section

    // What ReadSectionFile returns to the commands: -1 when the file could not be opened.
    int Result() const { return bOpened ? 0 : -1; }
};

// The data type WriteSectionFile writes: 4 (rows as four-electrode arrays) when the store's
// rows carry their arrays (bGeneralArray 1), else 3.
int SectionFileDataType(const CTrevascDataOhm& store);

// Writes the store (and, when survey is given, the survey sections as version 8; version 7
// without), replacing the file only once everything was written. False when the file cannot
// be created or a write fails; the old file is then as it was. report, when given, says why
// and how many readings of the survey were left out (values that are not numbers).
bool WriteSectionFile(const CTrevascDataOhm& store, const std::filesystem::path& path,
                      const CGantrelSurvey* survey, SurveySaveReport* report = nullptr);

// Reads a section file into the store. The store is emptied once the first three values of
// the file were read; its section, boundaries and model then hold what the file gives, up to
// where it ends or stops being readable. Type 4 sets the survey's bDifferentSize. When the
// file holds an "Original_data" section with lines, they replace the lines of the survey
// (the flags of a "GPS_flags" section replace the survey's flags); then every line with
// markers gets its range from its first and last markers.
SectionFileStatus ReadSectionFile(CTrevascDataOhm& store, const std::filesystem::path& path,
                                  CGantrelSurvey& survey);

// The messages of a read, in the order the reader meets their causes: "Cannot open the
// file %s"; "Number of GPS flags = %d"; the survey records' status; "Number of lines = %d";
// then what was left out or where the file stopped being readable.
void ReportSectionFileStatus(const SectionFileStatus& status, CPrompter& prompter);

// What a read left out, for a summary: entries past a capacity, entries of the fourth block
// skipped and survey records left out; empty when nothing was.
std::string SectionFileLeftOutText(const SectionFileStatus& status);

// ReadSectionFile with its messages; 0 after reading, -1 when the file cannot be opened.
int ReadSectionFile(CTrevascDataOhm& store, const std::filesystem::path& path,
                    CGantrelSurvey& survey, CPrompter& prompter);
