// The batch command line of the processing program: opens files and runs commands through
// the command table, answering every prompt from the options. The same command code as the
// window runs; only the prompter differs.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "processing/document.h"

class CCommandTable;

struct BatchInitialModel {
    int iMode = 0;
    float fDepth = 10.0f;
    int nLayer = 10;
    std::optional<float> fResistivity;
};

struct BatchInversion {
    int nIteration = 10;
    std::optional<double> dAlpha, dRegularization, dDamping;
};

struct BatchSmoothing {
    std::string sKind;  // "h-median", "h-average", "v-average"
    std::optional<int> iLength;
};

struct BatchPicture {
    // line, line-vi, section, gridded, model, model1d, map-gps, map-array,
    // map-rho[:DEPTH_INDEX], map-interp[:DEPTH_INDEX]
    std::string sDisplay;
    std::filesystem::path path;
};

// "brivane-cli convert KIND FILE... OUT": one of the file converters, without a survey.
struct BatchConversion {
    std::string sKind;  // "sto-stn", "text-stn", "binary", "gps"
    std::vector<std::filesystem::path> inputs;  // one, or for "gps" the mapping and position files
    std::filesystem::path output;
};

// "--transfer PORT[:BAUD] --transfer-out PATH.stn [--transfer-timeout S]": a console transfer
// received without dialogs in place of survey files.
struct BatchTransfer {
    std::string sDevice;
    int iBaudRate = 0;  // 0: the stored setting's
    std::filesystem::path destination;
    double dTimeout = 600.0;  // s the whole transfer may take
};

struct BatchOptions {
    std::vector<std::filesystem::path> files;
    std::optional<BatchTransfer> transfer;
    std::optional<std::filesystem::path> ovsIn, res2dinvIn;
    int iConfiguration = 0;
    double dMarkerSpacing = 100.0;
    std::optional<int> iFileIndex;
    bool bKml = false;
    std::optional<int> iMedian;
    std::optional<double> dGrid;
    std::optional<BatchInitialModel> initialModel;
    std::optional<BatchInversion> inversion;
    int iJacobian = kJacobianDifference;  // --jacobian; not the stored choice
    std::vector<BatchSmoothing> smoothing;
    std::optional<std::filesystem::path> saveSto, saveStn, saveOvs, res2dinvOut, st1, st4;
    std::vector<BatchPicture> pictures;
    // Side exports: the standard XML section document (Japanese tags when bXmlJapanese), the
    // Surfer table, the current-level table and the table of one line.
    std::optional<std::filesystem::path> xml, surfer, currentLevels, lineAscii;
    bool bXmlJapanese = false;
    int iAsciiLine = 0;
    std::optional<BatchConversion> conversion;
    std::optional<std::string> projectName, uploadURL;
    // The plan-view map: interpolation, colouring, maximum distance, flags (latitude,
    // longitude; with configuration 2 they set the distances) and the KML overlay.
    bool bInterpolate = false;
    std::optional<int> iMapColor;
    std::optional<double> dMaxDistance;
    std::vector<std::pair<double, double>> flags;
    std::optional<std::filesystem::path> kmlMap;
    // --grid-map: one pseudo-depth of the interpolated map as a GIS grid (.asc and .prj).
    std::optional<std::pair<int, std::filesystem::path>> gridMap;
    int iLanguage = 0;
    bool bHelp = false;
    bool bStrict = false;  // data left out of a file read is an error
};

// Parses the arguments after the program name. On a bad option returns nullopt and sets error
// to a message that names the option and what was wrong.
std::optional<BatchOptions> ParseBatchOptions(const std::vector<std::string>& args,
                                              std::string& error);
// The --help text.
std::string BatchUsage();

// Draws a display into a PNG file; supplied by the program (drawing needs the platform).
// Returns an empty string on success, else what went wrong.
using BatchPictureWriter =
    std::function<std::string(CBrivaneContext&, const std::string& display,
                              const std::filesystem::path& path)>;

// Binds the commands that need the program's drawing (the KML overlay) into the batch's
// command table; supplied by the program.
using BatchCommandBinder = std::function<void(CCommandTable&)>;

// Runs the job; messages and progress go to log. Returns the process exit status: 0 on
// success, 1 when a step failed (the log's last line says which and why), 2 for bad options.
// serialPorts: where --transfer opens its device (none: a transfer cannot be received).
int RunBatch(const BatchOptions& options, std::ostream& log, const BatchPictureWriter& pictures,
             const BatchCommandBinder& bindCommands = {},
             CSerialPortSystem* serialPorts = nullptr);
