#include "processing/batch.h"

#include <chrono>
#include <cmath>
#include <set>
#include <sstream>
#include <system_error>

#include "analysis/initial_model.h"
#include "analysis/inversion.h"
#include "analysis/smoothing.h"
#include "common/clock.h"
#include "common/language.h"
#include "common/side_file.h"
#include "common/text_format.h"
#include "positioning/positioning.h"
#include "processing/batch_prompter.h"
#include "processing/commands.h"
#include "processing/console_transfer.h"
#include "processing/database_commands.h"
#include "processing/file_conversions.h"
#include "processing/line_editing.h"
#include "processing/open_survey.h"
#include "upload/upload_target.h"

namespace {

// Splits "a:b:c" at colons.
std::vector<std::string> Fields(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    for (;;) {
        size_t colon = text.find(':', start);
        out.push_back(text.substr(start, colon == std::string::npos ? std::string::npos
                                                                    : colon - start));
        if (colon == std::string::npos) break;
        start = colon + 1;
    }
    return out;
}

bool WholeInt(const std::string& text, int& value) {
    size_t used = 0;
    return ScanInt(text, value, &used) && used == text.size();
}

bool WholeDouble(const std::string& text, double& value) {
    size_t used = 0;
    return ScanDouble(text, value, &used) && used == text.size() && std::isfinite(value);
}

// Options without a value, and options followed by one.
bool IsFlagOption(const std::string& a) {
    return a == "--help" || a == "--kml" || a == "--strict" || a == "--interpolate";
}
bool IsValueOption(const std::string& a) {
    static const char* const kOptions[] = {
        "--ovs",      "--res2dinv-in", "--config",        "--marker-spacing", "--file-index",
        "--median",   "--grid",        "--initial-model", "--invert",         "--smooth",
        "--jacobian",
        "--save-sto", "--save-stn",    "--save-ovs",      "--res2dinv",       "--st1",
        "--st4",      "--png",         "--lang",          "--xml",            "--surfer",
        "--current-levels", "--line-ascii",
        "--project",  "--upload",      "--map-color",     "--max-distance",   "--flag",
        "--kml-map", "--transfer", "--transfer-out", "--transfer-timeout", "--grid-map"};
    for (const char* k : kOptions)
        if (a == k) return true;
    return false;
}
// Options that may be given more than once, each use honoured in order; every other value
// option holds one value, so a second use would silently replace the first.
bool IsRepeatableOption(const std::string& a) {
    return a == "--smooth" || a == "--png" || a == "--flag";
}

}  // namespace

std::string BatchUsage() {
    return R"(Usage: brivane-cli [options] [FILE...]

Turns survey files into apparent-resistivity sections and layered resistivity models with
the processing program's own commands. Every text the program shows is printed to standard
error as "message: ...". The steps run in this order whatever the order of the options.

Inputs
  FILE...                     survey (.sto) or mapping (.stn) files, opened together
  --transfer PORT[:BAUD]      receive a console's 'Manual ASCII transfer' on the serial device
                              PORT (a path; BAUD one of the console's rates, default the
                              stored setting, 1200) in place of survey files; it ends when
                              the console falls silent, then the steps below run on it
  --transfer-out PATH.stn     where the received records are written (needed with
                              --transfer; an existing file keeps its content)
  --transfer-timeout S        longest time the transfer may take, s (default 600)
  --ovs PATH                  open a section data and model file (.ovs)
  --res2dinv-in PATH          import a RES2DINV data file (.dat); needs --grid
Answers to the opening questions
  --config N                  survey configuration 0..5 (default 0: markers)
  --marker-spacing M          marker spacing in m when the markers carry none (default 100,
                              at most 1000000)
  --file-index N              file index for file names without digits (needed when such a
                              name comes before any name with digits)
  --kml                       save the GPS tracks as KML files (default: no)
Processing
  --median N                  median filter of N samples (3..11) on every line
  --grid W                    horizontal cell size W m: with survey files, convert to grid
                              data; with --res2dinv-in, the cell size of the import
  --initial-model MODE:DEPTH:LAYERS[:RES]
                              initial model (mode 0, 1 or 2; depth of the last layer's top
                              in m; number of layers; resistivity in Ohm-m for mode 0)
  --invert ITER[:ALPHA[:REG[:DAMP]]]
                              non-linear inversion with ITER iterations
  --jacobian difference|exact
                              the inversion's Jacobian: finite differences (default) or the
                              exact derivative (the window's stored choice is not used)
  --smooth KIND[:L]           model smoothing: h-median (L = 3, 5, 7 or 9), h-average or
                              v-average; repeatable, applied in order
Outputs
  --save-sto PATH             survey file
  --save-stn PATH             mapping file
  --save-ovs PATH             section data and model file
  --res2dinv PATH             RES2DINV data file
  --st1 PATH, --st4 PATH      electrode-array data (and model) files
  --png DISPLAY:PATH          picture of a display: line, line-vi, section, gridded, model,
                              model1d, map-gps, map-array, map-rho[:DEPTH_INDEX],
                              map-interp[:DEPTH_INDEX] (DEPTH_INDEX from 0 into the survey's
                              pseudo-depths); repeatable
  --kml-map PATH              the map of the last map picture (the GPS map without one) as a
                              KML overlay, its image beside it
  --grid-map DEPTH_INDEX:PATH.asc
                              the interpolated map of one pseudo-depth as an ESRI ASCII grid
                              with its .prj (needs --interpolate)
  --xml PATH[:en|ja]          standard XML section document of the model, English (default)
                              or Japanese tags
  --surfer PATH               XYZ table of every valid value for a gridding program
  --current-levels PATH       table of the transmitter current level of every reading
  --line-ascii [N:]PATH       table of the values of line N (from 0; default 0)
Converters (no survey is opened)
  convert sto-stn SURVEY.sto OUT.stn      survey file reversed into a mapping file
  convert text-stn CAPTURE OUT.stn        console text capture into mapping records
  convert binary FILE OUT.txt             text dump of a binary file in 128-byte blocks
  convert gps MAPPING.stn POSITIONS OUT.stn
                                          the mapping file with its GPS fixes replaced
Upload
  --project NAME              the survey's project name, as "Survey property" (stored)
  --upload URL                send the survey to the collecting service at URL, as "Upload
                              data to database"; an address alone (http://host:port) gets
                              the service's path as in the window (test.xml and
                              UploadDataToDatabase.txt are written in the current folder)
Plan-view map
  --interpolate               interpolate the apparent resistivity of every pseudo-depth on
                              the map
  --map-color MODE            mosaic, contour or contour-lines (default: as last set)
  --max-distance M            colour cells whose corners lie within M m of data (default: as
                              last set, 10)
  --flag LAT,LON              a flag of the survey line in degrees; repeatable, at least two;
                              with --config 2 the distances come from them
General
  --strict                    data left out of a file read (records past a capacity,
                              unreadable records) is an error; without it the summary
                              lists what was left out
  --lang en|ja                language of the messages (default en)
  --help                      this text
  --version                   the program's name and version
Only --smooth, --png and --flag may be given more than once; any other option given twice
is refused.
)";
}

namespace {

// "convert KIND FILE... OUT [--lang en|ja]".
std::optional<BatchOptions> ParseConversion(const std::vector<std::string>& args,
                                            std::string& error) {
    BatchOptions o;
    std::vector<std::string> files;
    bool languageGiven = false;
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--lang" && i + 1 < args.size()) {
            if (languageGiven) {
                error = "option --lang is given twice: it takes one value";
                return std::nullopt;
            }
            languageGiven = true;
            const std::string& v = args[++i];
            if (v != "en" && v != "ja") {
                error = "--lang takes en or ja, not \"" + v + "\"";
                return std::nullopt;
            }
            o.iLanguage = v == "ja" ? kLanguageJapanese : kLanguageEnglish;
        } else if (args[i] == "--help") {
            o.bHelp = true;
        } else {
            files.push_back(args[i]);
        }
    }
    if (o.bHelp) return o;
    static const struct {
        const char* kind;
        size_t nInput;
        const char* usage;
    } kKinds[] = {{"sto-stn", 1, "convert sto-stn SURVEY.sto OUT.stn"},
                  {"text-stn", 1, "convert text-stn CAPTURE OUT.stn"},
                  {"binary", 1, "convert binary FILE OUT.txt"},
                  {"gps", 2, "convert gps MAPPING.stn POSITIONS OUT.stn"}};
    if (files.empty()) {
        error = "convert needs a kind: sto-stn, text-stn, binary or gps";
        return std::nullopt;
    }
    for (const auto& k : kKinds) {
        if (files[0] != k.kind) continue;
        if (files.size() != k.nInput + 2) {
            error = std::string("usage: brivane-cli ") + k.usage;
            return std::nullopt;
        }
        BatchConversion c;
        c.sKind = k.kind;
        c.inputs.assign(files.begin() + 1, files.end() - 1);
        c.output = files.back();
        o.conversion = c;
        return o;
    }
    error = "convert takes sto-stn, text-stn, binary or gps, not \"" + files[0] + "\"";
    return std::nullopt;
}

}  // namespace

std::optional<BatchOptions> ParseBatchOptions(const std::vector<std::string>& args,
                                              std::string& error) {
    if (!args.empty() && args[0] == "convert") return ParseConversion(args, error);
    BatchOptions o;
    auto fail = [&](const std::string& text) {
        error = text;
        return std::nullopt;
    };
    std::set<std::string> given;  // the single-value options met so far
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.rfind("--", 0) != 0) {
            o.files.emplace_back(a);
            continue;
        }
        if (IsFlagOption(a)) {
            if (a == "--help") o.bHelp = true;
            if (a == "--kml") o.bKml = true;
            if (a == "--strict") o.bStrict = true;
            if (a == "--interpolate") o.bInterpolate = true;
            continue;
        }
        if (!IsValueOption(a)) return fail("unknown option " + a + " (see --help)");
        if (!IsRepeatableOption(a) && !given.insert(a).second)
            return fail("option " + a +
                        " is given twice: it takes one value (only --smooth, "
                        "--png and --flag may be repeated)");
        // The next option is not taken for a value ("--save-ovs --grid 2"); a file whose name
        // starts with "--" can be given as "./--name".
        if (i + 1 >= args.size() || args[i + 1].rfind("--", 0) == 0)
            return fail("option " + a + " needs a value");
        const std::string& v = args[++i];
        int n = 0;
        double d = 0.0;
        if (a == "--ovs") {
            o.ovsIn = v;
        } else if (a == "--res2dinv-in") {
            o.res2dinvIn = v;
        } else if (a == "--config") {
            if (!WholeInt(v, n) || n < 0 || n > 5)
                return fail("--config takes a survey configuration from 0 to 5, not \"" + v + "\"");
            o.iConfiguration = n;
        } else if (a == "--marker-spacing") {
            if (!WholeDouble(v, d))
                return fail("--marker-spacing takes a distance in m, not \"" + v + "\"");
            if (const std::string refusal = MarkerSpacingRefusal(d); !refusal.empty())
                return fail("--marker-spacing " + v + ": " + refusal);
            o.dMarkerSpacing = d;
        } else if (a == "--file-index") {
            if (!WholeInt(v, n)) return fail("--file-index takes a whole number, not \"" + v + "\"");
            o.iFileIndex = n;
        } else if (a == "--median") {
            if (!WholeInt(v, n) || n < 3 || n > 11 || n % 2 == 0)
                return fail("--median takes an odd number of samples from 3 to 11, not \"" + v +
                            "\"");
            o.iMedian = n;
        } else if (a == "--grid") {
            if (!WholeDouble(v, d) || d <= 0)
                return fail("--grid takes a positive cell size in m, not \"" + v + "\"");
            o.dGrid = d;
        } else if (a == "--initial-model") {
            const auto f = Fields(v);
            BatchInitialModel m;
            double depth = 0, res = 0;
            if (f.size() < 3 || f.size() > 4 || !WholeInt(f[0], m.iMode) || m.iMode < 0 ||
                m.iMode > 2 || !WholeDouble(f[1], depth) || !WholeInt(f[2], m.nLayer) ||
                (f.size() == 4 && !WholeDouble(f[3], res)))
                return fail("--initial-model takes MODE:DEPTH:LAYERS[:RES], not \"" + v + "\"");
            m.fDepth = static_cast<float>(depth);
            if (f.size() == 4) m.fResistivity = static_cast<float>(res);
            o.initialModel = m;
        } else if (a == "--jacobian") {
            if (v != "difference" && v != "exact")
                return fail("--jacobian takes difference or exact, not \"" + v + "\"");
            o.iJacobian = v == "exact" ? kJacobianExact : kJacobianDifference;
        } else if (a == "--invert") {
            const auto f = Fields(v);
            BatchInversion inv;
            // The values are judged by the command, as the dialog's are.
            bool ok = f.size() <= 4 && WholeInt(f[0], inv.nIteration);
            double x = 0;
            if (ok && f.size() > 1) ok = WholeDouble(f[1], x), inv.dAlpha = x;
            if (ok && f.size() > 2) ok = WholeDouble(f[2], x), inv.dRegularization = x;
            if (ok && f.size() > 3) ok = WholeDouble(f[3], x), inv.dDamping = x;
            if (!ok) return fail("--invert takes ITER[:ALPHA[:REG[:DAMP]]], not \"" + v + "\"");
            o.inversion = inv;
        } else if (a == "--smooth") {
            const auto f = Fields(v);
            BatchSmoothing s;
            s.sKind = f[0];
            if (s.sKind != "h-median" && s.sKind != "h-average" && s.sKind != "v-average")
                return fail("--smooth takes h-median, h-average or v-average, not \"" + v + "\"");
            if (f.size() == 2) {
                if (s.sKind != "h-median" || !WholeInt(f[1], n) || (n != 3 && n != 5 && n != 7 && n != 9))
                    return fail("--smooth h-median:L takes L = 3, 5, 7 or 9, not \"" + v + "\"");
                s.iLength = n;
            } else if (f.size() > 2) {
                return fail("--smooth takes KIND[:L], not \"" + v + "\"");
            }
            o.smoothing.push_back(s);
        } else if (a == "--save-sto") {
            o.saveSto = v;
        } else if (a == "--save-stn") {
            o.saveStn = v;
        } else if (a == "--save-ovs") {
            o.saveOvs = v;
        } else if (a == "--res2dinv") {
            o.res2dinvOut = v;
        } else if (a == "--st1") {
            o.st1 = v;
        } else if (a == "--st4") {
            o.st4 = v;
        } else if (a == "--png") {
            size_t colon = v.find(':');
            BatchPicture p;
            p.sDisplay = v.substr(0, colon);
            static const char* kDisplays[] = {"line",    "line-vi",   "section", "gridded",
                                              "model",   "model1d",   "map-gps", "map-array",
                                              "map-rho", "map-interp"};
            bool known = false;
            for (const char* k : kDisplays) known = known || p.sDisplay == k;
            // The maps of one pseudo-depth may name its index: map-interp:2:PATH.
            if (known && colon != std::string::npos &&
                (p.sDisplay == "map-rho" || p.sDisplay == "map-interp")) {
                const size_t next = v.find(':', colon + 1);
                if (next != std::string::npos && next > colon + 1 &&
                    v.find_first_not_of("0123456789", colon + 1) == next) {
                    if (!WholeInt(v.substr(colon + 1, next - colon - 1), n))
                        return fail("--png: the depth index in \"" + v + "\" is too large");
                    p.sDisplay = v.substr(0, next);
                    colon = next;
                }
            }
            if (colon == std::string::npos || !known || colon + 1 == v.size())
                return fail(
                    "--png takes DISPLAY:PATH with DISPLAY one of line, line-vi, section, "
                    "gridded, model, model1d, map-gps, map-array, map-rho[:DEPTH_INDEX], "
                    "map-interp[:DEPTH_INDEX], not \"" +
                    v + "\"");
            p.path = v.substr(colon + 1);
            o.pictures.push_back(p);
        } else if (a == "--xml") {
            std::string path = v;
            o.bXmlJapanese = false;
            for (const char* lang : {":en", ":ja"}) {
                if (path.size() > 3 && path.compare(path.size() - 3, 3, lang) == 0) {
                    o.bXmlJapanese = std::string(lang) == ":ja";
                    path.resize(path.size() - 3);
                    break;
                }
            }
            o.xml = path;
        } else if (a == "--surfer") {
            o.surfer = v;
        } else if (a == "--current-levels") {
            o.currentLevels = v;
        } else if (a == "--line-ascii") {
            // "N:PATH" when the part before the first colon is a line number.
            const size_t colon = v.find(':');
            int line = 0;
            if (colon != std::string::npos && colon > 0 && WholeInt(v.substr(0, colon), line)) {
                if (line < 0 || colon + 1 == v.size())
                    return fail("--line-ascii takes [N:]PATH with N a line from 0, not \"" + v +
                                "\"");
                o.iAsciiLine = line;
                o.lineAscii = v.substr(colon + 1);
            } else {
                o.lineAscii = v;
            }
        } else if (a == "--project") {
            o.projectName = v;
        } else if (a == "--upload") {
            if (const std::string why = UploadURLProblem(v); !why.empty())
                return fail("--upload: " + why);
            o.uploadURL = AddressOrURL(v, kSurveyUploadPath);
        } else if (a == "--map-color") {
            if (v == "mosaic")
                o.iMapColor = kMapMosaic;
            else if (v == "contour")
                o.iMapColor = kMapContour;
            else if (v == "contour-lines")
                o.iMapColor = kMapContourLines;
            else
                return fail("--map-color takes mosaic, contour or contour-lines, not \"" + v +
                            "\"");
        } else if (a == "--max-distance") {
            if (!WholeDouble(v, d) || d < 0 || d > 1.0e7)
                return fail("--max-distance takes a distance in m from 0 to 10000000, not \"" + v +
                            "\"");
            o.dMaxDistance = d;
        } else if (a == "--flag") {
            const size_t comma = v.find(',');
            double lat = 0, lon = 0;
            if (comma == std::string::npos || !WholeDouble(v.substr(0, comma), lat) ||
                !WholeDouble(v.substr(comma + 1), lon) || lat < -90 || lat > 90 || lon < -180 ||
                lon > 180)
                return fail("--flag takes LAT,LON in degrees (-90..90, -180..180), not \"" + v +
                            "\"");
            // 180 and -180 are one meridian; the zones are numbered from -180.
            o.flags.emplace_back(lat, lon == 180 ? -180.0 : lon);
        } else if (a == "--kml-map") {
            o.kmlMap = v;
        } else if (a == "--grid-map") {
            const size_t colon = v.find(':');
            int index = 0;
            if (colon == std::string::npos || colon + 1 == v.size() ||
                !WholeInt(v.substr(0, colon), index) || index < 0)
                return fail("--grid-map takes DEPTH_INDEX:PATH.asc (DEPTH_INDEX from 0), not \"" +
                            v + "\"");
            o.gridMap = std::pair{index, std::filesystem::path(v.substr(colon + 1))};
        } else if (a == "--transfer") {
            BatchTransfer t = o.transfer.value_or(BatchTransfer{});
            t.sDevice = v;
            const size_t colon = v.rfind(':');
            if (colon != std::string::npos && colon + 1 < v.size() &&
                v.find_first_not_of("0123456789", colon + 1) == std::string::npos) {
                if (!WholeInt(v.substr(colon + 1), n) || n <= 0)
                    return fail("--transfer takes PORT[:BAUD], not \"" + v + "\"");
                t.iBaudRate = n;
                t.sDevice = v.substr(0, colon);
            }
            if (t.sDevice.empty()) return fail("--transfer takes PORT[:BAUD], not \"" + v + "\"");
            o.transfer = t;
        } else if (a == "--transfer-out") {
            BatchTransfer t = o.transfer.value_or(BatchTransfer{});
            t.destination = v;
            o.transfer = t;
        } else if (a == "--transfer-timeout") {
            if (!WholeDouble(v, d) || d <= 0 || d > 1.0e6)
                return fail("--transfer-timeout takes a time in s above 0, not \"" + v + "\"");
            BatchTransfer t = o.transfer.value_or(BatchTransfer{});
            t.dTimeout = d;
            o.transfer = t;
        } else if (a == "--lang") {
            if (v != "en" && v != "ja") return fail("--lang takes en or ja, not \"" + v + "\"");
            o.iLanguage = v == "ja" ? kLanguageJapanese : kLanguageEnglish;
        }
    }
    if (o.transfer) {
        if (o.transfer->sDevice.empty())
            return fail("--transfer-out and --transfer-timeout need --transfer PORT[:BAUD]");
        if (o.transfer->destination.empty())
            return fail("--transfer needs --transfer-out PATH.stn, where the records are written");
        if (!o.files.empty())
            return fail("--transfer takes the place of survey files: give one or the other");
    }
    const bool bSurvey = !o.files.empty() || o.transfer.has_value();
    // The cell size answers the gridding of survey files and the import; with neither it
    // would be dropped without a word, and an import cannot be gridded without it.
    if (o.dGrid && !bSurvey && !o.res2dinvIn)
        return fail("--grid needs survey files or --res2dinv-in: there is nothing to grid");
    if (o.uploadURL && !bSurvey)
        return fail("--upload needs survey files: there is nothing to upload");
    if (o.res2dinvIn && !o.dGrid)
        return fail("--res2dinv-in needs --grid W, the horizontal cell size of the import");
    // Flags set the distances of configuration 2 only, and a line needs two of them.
    if (!o.flags.empty() && o.iConfiguration != 2)
        return fail("--flag sets the survey line of configuration 2: give --config 2");
    if (o.flags.size() == 1) return fail("--flag needs at least two flags, the line's two ends");
    if (o.gridMap && !o.bInterpolate)
        return fail("--grid-map needs --interpolate: the map is made by the interpolation");
    if (o.bInterpolate && !bSurvey)
        return fail("--interpolate needs survey files with GPS: there is nothing to interpolate");
    return o;
}

namespace {

class CBatchRun {
public:
    CBatchRun(const BatchOptions& o, std::ostream& log)
        : o_(o), log_(log), prompter_(log), ctx_(doc_, view_, prompter_) {
        ctx_.progress = [this](int done, int, const std::string& text) {
            // A long column reports again with the same text; the log keeps one line of it.
            // The inversion reports every iteration: the log has a line per column and, while
            // a column takes long, one a second.
            const auto now = std::chrono::steady_clock::now();
            if (text != lastProgress_ &&
                (done != lastProgressDone_ || now - lastProgressAt_ >= std::chrono::seconds(1))) {
                log_ << "progress: " << text << "\n";
                lastProgress_ = text;
                lastProgressDone_ = done;
                lastProgressAt_ = now;
            }
            return true;
        };
        view_.LoadSettings();
        prompter_.dialogResponders.push_back([this](CDialogValues& v) { return Respond(v); });
    }

    int Run(const BatchPictureWriter& pictures);
    void SetSerialPorts(CSerialPortSystem* ports) { ctx_.serialPorts = ports; }

private:
    int Respond(CDialogValues& v);
    // Runs a command; false (with the reason logged) when it is disabled or a prompt could
    // not be answered.
    bool Invoke(int id, const std::string& what);
    bool Fail(const std::string& text) {
        log_ << "error: " << text << "\n";
        return false;
    }
    bool Save(int id, const std::filesystem::path& path, const std::string& what);
    // Prints what the last command's reads left out; false (an error) with --strict.
    bool LeftOut(const std::string& what);
    // One converter: its files answer the open dialogs in order, the output the save dialog.
    int Convert(const BatchConversion& c);
    // Every survey file is a readable regular file, and its file index can be had.
    bool CheckSurveyFiles();
    // --transfer: receives the console's records and reads them as the survey.
    bool ReceiveTransfer(const BatchTransfer& t);
    double ModelMisfit() const;

    const BatchOptions& o_;
    std::ostream& log_;
    std::string lastProgress_;
    int lastProgressDone_ = -1;
    std::chrono::steady_clock::time_point lastProgressAt_{};
    CBrivaneDoc doc_;
    CBrivaneViewState view_;
    CBatchPrompter prompter_;
    CBrivaneContext ctx_;
    CCommandTable table_ = BuildBrivaneCommands();
    int iSmooth_ = 0;  // smoothing step being run
    size_t iFlag_ = 0;  // flag being set

public:
    CCommandTable& Table() { return table_; }
};

int CBatchRun::Respond(CDialogValues& v) {
    if (auto* c = dynamic_cast<CSurveyConfigurationValues*>(&v)) {
        c->iSurveyConfiguration = o_.iConfiguration;
        return 1;
    }
    if (auto* s = dynamic_cast<CSpinValues*>(&v)) {
        if (o_.iMedian) s->iValue = *o_.iMedian;
        return 1;
    }
    if (auto* m = dynamic_cast<CDlgInitialModel*>(&v)) {
        if (!o_.initialModel) return 1;
        m->iMode = o_.initialModel->iMode;
        m->fDepth = o_.initialModel->fDepth;
        m->nLayer = o_.initialModel->nLayer;
        if (o_.initialModel->fResistivity) m->fResistivity = *o_.initialModel->fResistivity;
        return 1;
    }
    if (auto* l = dynamic_cast<CDlgLsm*>(&v)) {
        if (!o_.inversion) return 1;
        l->nIteration = o_.inversion->nIteration;
        if (o_.inversion->dAlpha) l->dAlpha = *o_.inversion->dAlpha;
        if (o_.inversion->dRegularization) l->dRegularization = *o_.inversion->dRegularization;
        if (o_.inversion->dDamping) l->dDamping = *o_.inversion->dDamping;
        l->iJacobian = o_.iJacobian;
        return 1;
    }
    if (auto* p = dynamic_cast<CDlgProperty*>(&v)) {
        p->sProjectName = o_.projectName.value_or(p->sProjectName);
        return 1;
    }
    if (auto* t = dynamic_cast<CTwoValueInput*>(&v)) {
        if (iFlag_ >= o_.flags.size()) return 0;
        t->dValue1 = o_.flags[iFlag_].first;
        t->dValue2 = o_.flags[iFlag_].second;
        return 1;
    }
    if (auto* f = dynamic_cast<CDlgMedianFilter*>(&v)) {
        const auto& s = o_.smoothing[static_cast<size_t>(iSmooth_)];
        if (s.iLength) f->iLength = *s.iLength;
        return 1;
    }
    return 0;
}

bool CBatchRun::Invoke(int id, const std::string& what) {
    prompter_.ClearFailures();
    ctx_.failure.reset();
    if (!table_.IsEnabled(ctx_, id)) return Fail(what + ": the command is not available now");
    table_.Invoke(ctx_, id);
    // A prompt the options could not answer comes first: the command's own failure follows
    // from it.
    if (!prompter_.Failures().empty()) return Fail(what + ": " + prompter_.Failures().front());
    if (ctx_.failure) return Fail(what + ": " + *ctx_.failure);
    return true;
}

bool CBatchRun::Save(int id, const std::filesystem::path& path, const std::string& what) {
    prompter_.saveFile = path;
    const bool ok = Invoke(id, what);
    prompter_.saveFile.reset();
    if (!ok) return false;
    log_ << "wrote: " << path.string() << "\n";
    return true;
}

bool CBatchRun::LeftOut(const std::string& what) {
    for (const std::string& text : ctx_.leftOut) log_ << "summary: left out of " << text << "\n";
    if (!o_.bStrict || ctx_.leftOut.empty()) return true;
    return Fail(what + ": data were left out and --strict is given: " + ctx_.leftOut.front());
}

bool CBatchRun::CheckSurveyFiles() {
    for (const auto& f : o_.files) {
        const std::string reason = UnreadableFileReason(f);
        if (!reason.empty())
            return Fail("opening the survey files: cannot open the file " + f.string() + ": " +
                        reason);
    }
    // The file index comes from the digits of the first name; without them the command asks,
    // and only the options can answer.
    const std::filesystem::path& first = o_.files.front();
    if (!o_.iFileIndex && !FileIndexFromName(first.filename().string()))
        return Fail("opening the survey files: the name of " + first.string() +
                    " gives no file index (it has no digits): give one with --file-index N");
    return true;
}

bool CBatchRun::ReceiveTransfer(const BatchTransfer& t) {
    const std::string what = "receiving the transfer on " + t.sDevice;
    ctx_.failure.reset();
    prompter_.ClearFailures();
    if (!StartConsoleTransferOn(ctx_, t.sDevice, t.iBaudRate, t.destination))
        return Fail(what + ": " + ctx_.failure.value_or("the port cannot be opened"));
    log_ << "progress: listening on " << t.sDevice << "\n";
    CSystemClock clock;
    const CClockTime start = clock.Now();
    auto elapsedMs = [&] {
        const CClockTime now = clock.Now();
        return (now.time - start.time) * 1000 + (now.iMilliSecond - start.iMilliSecond);
    };
    while (view_.bTransfer == 1) {
        if (static_cast<double>(elapsedMs()) > t.dTimeout * 1000.0) {
            StopConsoleTransfer(ctx_);
            return Fail(FormatC("%s: the transfer did not end within %g s (%s keeps what came)",
                                what.c_str(), t.dTimeout, t.destination.string().c_str()));
        }
        clock.SleepMs(kTransferTimerPeriod);
        ConsoleTransferTick(ctx_);
    }
    if (!prompter_.Failures().empty()) return Fail(what + ": " + prompter_.Failures().front());
    if (ctx_.failure) return Fail(what + ": " + *ctx_.failure);
    log_ << "wrote: " << t.destination.string() << "\n";
    if (doc_.survey.nLine == 0) return Fail(what + ": the records received hold no survey line");
    int readings = 0;
    for (int i = 0; i < doc_.survey.nLine; ++i) readings += doc_.survey.Line(i).nData();
    log_ << "summary: lines " << doc_.survey.nLine << ", readings " << readings << "\n";
    return true;
}

double CBatchRun::ModelMisfit() const {
    const CTrevascDataOhm& s = doc_.store;
    double sum = 0.0;
    int count = 0;
    for (int c = 0; c < s.nColumn; ++c) {
        for (int k = 0; k < s.nRow[static_cast<size_t>(c)]; ++k) {
            const double obs = s.fObserved[c][k], calc = s.fCalculated[c][k];
            if (!(obs > 0) || !(calc > 0)) continue;
            const double e = std::log10(obs) - std::log10(calc);
            sum += e * e;
            ++count;
        }
    }
    return count > 0 ? std::sqrt(sum / count) : 0.0;
}

int CBatchRun::Convert(const BatchConversion& c) {
    for (const auto& f : c.inputs) {
        const std::string reason = UnreadableFileReason(f);
        if (!reason.empty())
            return Fail("converting: cannot open the file " + f.string() + ": " + reason), 1;
        if (IsSameFile(f, c.output))
            return Fail("converting: " + DestinationIsInputMessage(c.output, f)), 1;
    }
    const int id = c.sKind == "sto-stn"    ? kCmdConvertSTOtoSTN
                   : c.sKind == "text-stn" ? kCmdConvertTextToSTN
                   : c.sKind == "binary"   ? kCmdOpenBinary
                                           : kCmdApplyNewGPS;
    for (const auto& f : c.inputs) prompter_.openQueue.push_back({f});
    const bool ok = Save(id, c.output, "converting " + c.inputs.front().string());
    prompter_.openQueue.clear();
    return ok ? 0 : 1;
}

int CBatchRun::Run(const BatchPictureWriter& pictures) {
    SetLanguage(o_.iLanguage);
    if (o_.conversion) return Convert(*o_.conversion);
    // Answers to the opening questions.
    prompter_.realAnswers["Enter marker spacing (m)"] = o_.dMarkerSpacing;
    prompter_.realAnswers["ﾏｰｶｰの間隔を入力してください (m)"] = o_.dMarkerSpacing;
    if (o_.iFileIndex) prompter_.intAnswers["Enter file index for the file"] = *o_.iFileIndex;
    prompter_.questionAnswers["Do you want to save GPS data as KML files ?"] =
        o_.bKml ? PromptAnswer::Yes : PromptAnswer::No;
    prompter_.questionAnswers["GPSデータをKMLファイルに保存しますか ?"] =
        o_.bKml ? PromptAnswer::Yes : PromptAnswer::No;
    if (o_.dGrid) {
        prompter_.realAnswers["Horizontal cell size"] = *o_.dGrid;
        prompter_.realAnswers["水平方向の格子サイズ"] = *o_.dGrid;
    }

    if (!o_.files.empty()) {
        if (!CheckSurveyFiles()) return 1;
        prompter_.openFiles = o_.files;
        if (!Invoke(kCmdOpenGantrel, "opening the survey files")) return 1;
        if (doc_.survey.nLine == 0) return Fail("no survey line could be read from the files"), 1;
        // The title written under every picture and naming the map overlay, as the window
        // captions its data: the last file opened.
        doc_.sDataTitle = o_.files.back().filename().string();
        int readings = 0;
        for (int i = 0; i < doc_.survey.nLine; ++i) readings += doc_.survey.Line(i).nData();
        log_ << "summary: lines " << doc_.survey.nLine << ", readings " << readings << "\n";
        if (!LeftOut("opening the survey files")) return 1;
    }
    if (o_.transfer && !ReceiveTransfer(*o_.transfer)) return 1;
    if (!o_.flags.empty()) {
        for (iFlag_ = 0; iFlag_ < o_.flags.size(); ++iFlag_) {
            if (!Invoke(kCmdSetFlagLatLon,
                        FormatC("setting flag %d", static_cast<int>(iFlag_) + 1)))
                return 1;
        }
        if (!Invoke(kCmdSetDistance, "setting the distances from the flags")) return 1;
        log_ << "summary: flags " << doc_.survey.nFlag << "\n";
    }
    if (o_.iMapColor) view_.iMapColorMode = *o_.iMapColor;
    if (o_.dMaxDistance) view_.fMaxDistance = static_cast<float>(*o_.dMaxDistance);
    if (o_.ovsIn) {
        prompter_.openFiles = {*o_.ovsIn};
        if (!Invoke(kCmdOpenSection, "opening " + o_.ovsIn->string())) return 1;
        if (ctx_.bNewData) doc_.sDataTitle = o_.ovsIn->filename().string();
        if (!LeftOut("opening " + o_.ovsIn->string())) return 1;
    }
    if (o_.res2dinvIn) {
        prompter_.openFiles = {*o_.res2dinvIn};
        if (!Invoke(kCmdImportRes2dinv, "importing " + o_.res2dinvIn->string())) return 1;
        int points = 0;
        for (int c = 0; c < doc_.store.nColumn; ++c)
            for (int k = 0; k < doc_.store.nRow[static_cast<size_t>(c)]; ++k)
                points += doc_.store.nAveraged[c][k];
        log_ << "summary: columns " << doc_.store.nColumn << "\n";
        log_ << "summary: data points in cells " << points
             << (doc_.store.bGeneralArray == 1 ? " (four-electrode arrays)" : "") << "\n";
        if (!LeftOut("importing " + o_.res2dinvIn->string())) return 1;
    }
    if (o_.iMedian) {
        for (int i = 0; i < doc_.survey.nLine; ++i) {
            view_.iCurrentLine = i;
            if (!Invoke(kCmdMedianFilter, FormatC("median filter of line %d", i))) return 1;
        }
        view_.iCurrentLine = 0;
    }
    if (o_.bInterpolate) {
        if (!Invoke(kCmdInterpolation, "interpolating the map")) return 1;
        const CInterpolatedGrid& g = doc_.mapGrid;
        log_ << FormatC("summary: map grid %d x %d nodes, cell %.3f m, %d depths\n", g.nx, g.ny,
                        static_cast<double>(g.dx), g.nSlice);
    }
    // Without survey files the cell size only answered the import above.
    if (o_.dGrid && (!o_.files.empty() || o_.transfer)) {
        if (!Invoke(kCmdConvertToGrid, "converting to grid data")) return 1;
        log_ << "summary: columns " << doc_.store.nColumn << "\n";
    }
    if (o_.initialModel && !Invoke(kCmdInitialModel, "initial model")) return 1;
    if (o_.inversion) {
        if (!Invoke(kCmdInversion, "inversion")) return 1;
        log_ << FormatC("summary: final misfit %.6f (rms of log10 residuals)\n", ModelMisfit());
        const std::vector<float> columns = ColumnMisfits(doc_.store);
        if (const float median = MedianMisfit(columns); median >= 0.0f) {
            log_ << FormatC("summary: column misfit median %.6f\n", static_cast<double>(median));
            std::string worst = "summary: worst columns:";
            for (int c : WorstColumns(columns, 5))
                worst +=
                    FormatC(" x=%.2f %.6f",
                            static_cast<double>(doc_.store.fColumnX[static_cast<std::size_t>(c)]),
                            static_cast<double>(columns[static_cast<std::size_t>(c)]));
            log_ << worst << "\n";
        }
    }
    for (iSmooth_ = 0; iSmooth_ < static_cast<int>(o_.smoothing.size()); ++iSmooth_) {
        const std::string& kind = o_.smoothing[static_cast<size_t>(iSmooth_)].sKind;
        const int id = kind == "h-median"    ? kCmdSmoothHMedian
                       : kind == "h-average" ? kCmdSmoothHAverage
                                             : kCmdSmoothVAverage;
        if (!Invoke(id, "smoothing " + kind)) return 1;
    }
    if (o_.saveSto && !Save(kCmdSaveGantrel, *o_.saveSto, "saving the survey file")) return 1;
    if (o_.saveStn && !Save(kCmdSaveSTN, *o_.saveStn, "saving the mapping file")) return 1;
    if (o_.saveOvs && !Save(kCmdSaveSection, *o_.saveOvs, "saving the section file")) return 1;
    if (o_.res2dinvOut && !Save(kCmdExportRes2dinv, *o_.res2dinvOut, "exporting RES2DINV"))
        return 1;
    if (o_.st1 && !Save(kCmdSaveST1, *o_.st1, "saving the .st1 file")) return 1;
    if (o_.st4 && !Save(kCmdSaveST4, *o_.st4, "saving the .st4 file")) return 1;
    if (o_.xml) {
        const PromptAnswer answer = o_.bXmlJapanese ? PromptAnswer::Yes : PromptAnswer::No;
        prompter_.questionAnswers["Save Japanese XML file?"] = answer;
        prompter_.questionAnswers["日本語のXMLファイルを保存しますか?"] = answer;
        if (!Save(kCmdSaveXMLProcessed, *o_.xml, "saving the XML section document")) return 1;
    }
    if (o_.surfer && !Save(kCmdExportSurfer, *o_.surfer, "exporting the Surfer table")) return 1;
    if (o_.currentLevels &&
        !Save(kCmdSaveCurrentLevel, *o_.currentLevels, "saving the current level information"))
        return 1;
    if (o_.lineAscii) {
        if (o_.iAsciiLine >= doc_.survey.nLine)
            return Fail(FormatC("saving line %d to an ASCII file: the survey has %d lines",
                                o_.iAsciiLine, doc_.survey.nLine)),
                   1;
        // The table is of the line the apparent resistivity line view shows.
        const CBrivaneViewState before = view_;
        view_.iViewMode = kViewLineResistivity;
        view_.iCurrentLine = o_.iAsciiLine;
        const bool ok = Save(kCmdSaveLineASCII, *o_.lineAscii,
                             FormatC("saving line %d to an ASCII file", o_.iAsciiLine));
        view_.iViewMode = before.iViewMode;
        view_.iCurrentLine = before.iCurrentLine;
        if (!ok) return 1;
    }
    for (const auto& p : o_.pictures) {
        if (!pictures) return Fail("pictures cannot be drawn by this program"), 1;
        const std::string error = pictures(ctx_, p.sDisplay, p.path);
        if (!error.empty()) return Fail("picture " + p.path.string() + ": " + error), 1;
        log_ << "wrote: " << p.path.string() << "\n";
    }
    if (o_.gridMap) {
        const int index = o_.gridMap->first;
        if (index >= doc_.mapGrid.nSlice)
            return Fail(FormatC("--grid-map: the depth index %d is not one of the map's %d "
                                "pseudo-depths (0 to %d)",
                                index, doc_.mapGrid.nSlice, doc_.mapGrid.nSlice - 1)),
                   1;
        const int before = view_.iMapDepthIndex;
        view_.iMapDepthIndex = index;
        const bool ok = Save(kCmdSaveMapGrid, o_.gridMap->second, "saving the map as a GIS grid");
        view_.iMapDepthIndex = before;
        if (!ok) return 1;
    }
    if (o_.kmlMap) {
        view_.iViewMode = kViewGPSMap;
        if (!Save(kCmdSaveMapKML, *o_.kmlMap, "saving the map overlay")) return 1;
    }
    if (o_.projectName && !Invoke(kCmdSurveyProperty, "setting the project name")) return 1;
    if (o_.uploadURL) {
        doc_.sUploadURL = *o_.uploadURL;
        if (!Invoke(kCmdUploadDatabase, "uploading to " + *o_.uploadURL)) return 1;
    }
    return 0;
}

}  // namespace

int RunBatch(const BatchOptions& options, std::ostream& log, const BatchPictureWriter& pictures,
             const BatchCommandBinder& bindCommands, CSerialPortSystem* serialPorts) {
    CBatchRun run(options, log);
    run.SetSerialPorts(serialPorts);
    if (bindCommands) bindCommands(run.Table());
    return run.Run(pictures);
}
