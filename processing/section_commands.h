// The section file commands: open and save the resistivity data and model file (.ovs),
// import and export RES2DINV files, and save the two electrode-array files of the sister
// imaging program (.st1, .st4).
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/progress.h"
#include "common/prompter.h"
#include "processing/document.h"
#include "sectionfiles/section_store.h"

std::vector<FileFilter> SectionFileFilters();   // "Trevasc data file(*.ovs)"
std::vector<FileFilter> Res2dinvFileFilters();  // "RES2D file(*.dat)", "All files(*.*)"

// The display after opening a section file: the one-dimensional model for one column, the
// gridded section for several without a model, the two-dimensional model with one; without
// columns the survey's own display (the section of the original data when its readings
// carry distances, else the line). `current` when the file brought neither.
int ViewModeAfterSectionOpen(const CTrevascDataOhm& store, const CGantrelSurvey& survey,
                             int current);

// Readings read back without distances from a file whose markers carry them (a survey whose
// markers were placed at a spacing was saved so) take their distances from the markers again,
// as when the survey was opened. True when it placed them.
bool PlaceReadingsOnMarkers(CGantrelSurvey& survey);

// Reads a RES2DINV file, shows its messages, asks for the cell size (setting "xCellSize")
// and grids the points into the store's section. A refused cell size is explained and asked
// again. Returns the number of data points read, or -1 when nothing was imported (the file
// could not be read, a list past its capacity, or Cancel); the store is then unchanged.
// leftOut, when given, receives what an import left out of the file (Res2dinvLeftOutText).
int ImportRes2dinvFile(CTrevascDataOhm& store, const std::filesystem::path& path,
                       CPrompter& prompter, std::string* leftOut = nullptr);

// The list the recompute pass of the .st4 export writes in the data folder.
inline constexpr const char* kModelResponseListName = "rms_error_st4.txt";

// The recompute pass of the .st4 export: for every data column the model response of its
// model column is computed into fCalculated (the model itself is left exactly as it is);
// " %d " per column goes to kModelResponseListName in dataFolder (when it can be created; the
// inversion's "rms_error.txt" is left alone) and
// "column %d of %d" to progress; then iDataType = 3 and "Inversion finished !". Returns the number
// of columns computed, or -1 when progress asked to stop: the store is then as it was and the
// user is told.
int RecomputeModelResponse(CTrevascDataOhm& store, const std::filesystem::path& dataFolder,
                           CPrompter& prompter, const ProgressReport& progress = {});

// The .st1 (iMode 1) or .st4 (iMode 4) export to path: the recompute pass (.st4), the data
// set and the file. A refused data set writes nothing and is told with the file's name.
// True when the file was written.
bool SaveDunvarFile(CBrivaneContext& ctx, int iMode, const std::filesystem::path& path,
                    const std::filesystem::path& setDataPath);

// The command handlers.
// Plan positions of the readings and the array from the fixes of every line with two or more
// (one zone for the survey), the readings' distances along the line kept: what a section file
// does not hold of the survey it carries.
void PlaceArraysOnTracks(CGantrelSurvey& survey);

void OpenSectionFileCommand(CBrivaneContext& ctx);
void SaveSectionFileCommand(CBrivaneContext& ctx);
void ImportRes2dinvCommand(CBrivaneContext& ctx);
void ExportRes2dinvCommand(CBrivaneContext& ctx);
// Why "Export RES2DINV file" is refused without a gridded section.
std::string NoGriddedSectionMessage();
void SaveST1Command(CBrivaneContext& ctx);
void SaveST4Command(CBrivaneContext& ctx);
