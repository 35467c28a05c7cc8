// The hand-off of the current layered model to the suite's external plotting program: the
// flat file it reads (layout in docs/plotter-flat-file.md), the settings record that says
// where the file is, and the start of the program from an argument list, looking for it in
// the usual places and asking the user where it is when none of them starts.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "common/process_launcher.h"
#include "common/survey.h"
#include "processing/commands.h"
#include "processing/document.h"
#include "sectionfiles/section_store.h"

// The flat file, in the current data folder.
inline constexpr const char* kFlatFileName = "Marbeck_flat_file_new.geo";
// First item of the file, and the version of the layout that follows it.
inline constexpr std::int32_t kFlatFileFormat = 21;
inline constexpr std::int32_t kFlatFileLayoutVersion = 1;
inline constexpr int kMaxFlatFileMarkers = 100;

// Everything the plotter is given: the model, the marker labels, the texts, the zone and the
// plotter's display settings.
struct CPlotterFlatFile {
    int nColumn = 0;  // boundary columns
    int nLayer = 0;
    // [column * nLayer + layer]: top of each layer (m along the line, elevation in m), and the
    // layer's resistivity in Ohm-m.
    std::vector<float> boundaryX, boundaryElevation, resistivity;
    float fMinResistivity = 100000.0f, fMaxResistivity = 0.0f;
    struct Label {
        std::string sText;       // "Marker:<line>-<marker>"
        float fPosition = 0.0f;  // m along the line
    };
    std::vector<Label> markers;  // at most kMaxFlatFileMarkers
    std::string sUnit = "Ohm-m";
    std::string sTitle = "Resistivity model";
    std::string sLegendTitle = "Resistivity";
    int iUTMZone = 0;
    // Display settings of the plotter.
    float fLabelHeight = 2.0f;     // marker label text height, mm
    float fLabelInterval = 10.0f;  // distance between distance-axis labels, m
    int bShowMarkers = 1;
    int iContourInterval = -1;  // -1: levels chosen by the plotter
    int iColorTable = 4;        // the plotter's colour table for resistivity
};

// The flat file of the store's model and the survey's markers (lines in order, markers in
// order, the first kMaxFlatFileMarkers).
CPlotterFlatFile BuildFlatFile(const CTrevascDataOhm& store, const CGantrelSurvey& survey,
                               int iUTMZone);
// Its bytes in the documented layout (little-endian).
std::string SerializeFlatFile(const CPlotterFlatFile& file);

std::filesystem::path FlatFilePath(const std::filesystem::path& dataFolder);

// The plotter's command line " -0 -100 -20 -10 -1 -10 -0", one argument each.
const std::vector<std::string>& PlotterArguments();
// Where the plotter is looked for, in this order, when the stored location does not start.
const std::vector<std::string>& PlotterSearchList();
// The locate dialog's filter.
FileFilter PlotterFileFilter();

// Steps of "Show 2D resistivity model <launches Marbeck>": records the flat file's path in
// the plotter settings, writes the file, starts the plotter at the document's location, then
// at each place of the search list (storing each as the location first); when none starts,
// says so and asks for the program, and begins again with the chosen one. True when the
// plotter started; false when the file could not be written or the user cancelled.
bool HandOffToPlotter(CBrivaneContext& ctx, CProcessLauncher& launcher);

// True when the store holds at least one layer and one model column.
bool HasPlotterModel(const CBrivaneContext& ctx);

// Binds the command; the launcher must outlive the table.
void RegisterPlotterCommands(CCommandTable& table, CProcessLauncher& launcher);
