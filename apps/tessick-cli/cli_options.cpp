#include "apps/tessick-cli/cli_options.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <system_error>

#include "acquisition/serial_ports.h"
#include "common/language.h"
#include "common/survey.h"
#include "common/text_format.h"
#include "positioning/positioning.h"
#include "upload/upload_target.h"

namespace {
bool AllDigits(std::string_view s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}
}  // namespace

std::string CliUsage() {
    return "Usage: tessick-cli [options]\n"
           "The field logger without a window: reads the instrument consoles and the GPS,\n"
           "records survey lines on the keys m (START/MARK), p (PAUSE), e (END LINE) and\n"
           "q (quit), typed at the terminal or given one per line on a pipe.\n"
           "\n"
           "Devices:\n"
           "  --port DEV[:BAUD]    first instrument console (e.g. /dev/ttyUSB0:9600)\n"
           "  --port2 DEV[:BAUD]   second instrument console\n"
           "  --gps DEV[:BAUD]     GPS receiver\n"
           "  --gps-registry       take GPS fixes another program publishes\n"
           "  --demo constant|two-layer|replay:FILE\n"
           "                       first instrument from a synthetic earth or a log file\n"
           "  --gps-demo track|replay:FILE\n"
           "                       GPS from the generated track or a log file\n"
           "Recording (kept in the logger's settings, shared with the window):\n"
           "  --folder DIR         data folder\n"
           "  --prefix NAME        file name prefix (files are NAME_%04d.sto)\n"
           "  --file-id N          file ID of this run, 0 to 9999\n"
           "  --geometry TX:RX:ROPE\n"
           "                       first instrument: transmitter and receiver cable lengths\n"
           "                       (1, 2, 2.5, 5, 10, 15, ... 40 m) and rope length in m\n"
           "Running:\n"
           "  --speed N            demonstrations on a simulated clock, N times real time\n"
           "  --upload URL         upload every recorded reading to the collecting service\n"
           "  --serial-log         save the serial port logs in the data folder\n"
           "  --script \"SECONDS KEY; ...\"\n"
           "                       keys at seconds of the logger's clock since the start,\n"
           "                       e.g. \"1 m; 11 m; 21 e; 22 q\"\n"
           "  --echo               print every data line, not only the events\n"
           "Live section of the line being recorded (placed, gridded and inverted as the\n"
           "processing program does, while recording):\n"
           "  --live-model PATH.ovs\n"
           "                       keep it and write it as a section and model file at\n"
           "                       END LINE and at quit\n"
           "  --live CELL:LAYERS:DEPTH:ITER[:ALPHA[:REG[:DAMP]]]\n"
           "                       cell size m, layers, depth of the last layer m,\n"
           "                       iterations (default 5:10:10:10), inversion values\n"
           "  --live-distance markers:M|gps\n"
           "                       readings placed from the markers M m apart (default\n"
           "                       markers:10) or along a line fitted to the GPS fixes\n"
           "  --lang en|ja         language of the messages\n"
           "  --help               this text\n"
           "  --version            the program's name and version\n"
           "Quitting while a line is recorded ends the line first; so do SIGTERM and SIGINT.\n"
           "Exit status: 0 done; 1 a device could not be started, an instrument was lost\n"
           "during the run, or readings could not be saved; 2 unusable options.\n";
}

std::optional<CCliDevice> ParseCliDevice(const std::string& text, std::string& error) {
    CCliDevice d;
    d.sPath = text;
    const size_t colon = text.rfind(':');
    std::error_code ec;
    const bool bWhole = colon == std::string::npos || std::filesystem::exists(text, ec);
    if (!bWhole && text.find('/', colon) == std::string::npos) {
        d.sPath = text.substr(0, colon);
        const std::string baud = text.substr(colon + 1);
        int rate = 0;
        auto at = kBaudRateTable.end();
        if (AllDigits(baud) && ScanInt(baud, rate))
            at = std::find(kBaudRateTable.begin(), kBaudRateTable.end(), rate);
        if (!AllDigits(baud) || at == kBaudRateTable.end()) {
            std::string rates;
            for (int r : kBaudRateTable) rates += (rates.empty() ? "" : ", ") + std::to_string(r);
            error = "baud rate '" + baud + "' is not one of the 15 the logger knows: " + rates;
            return std::nullopt;
        }
        d.iBaudIndex = static_cast<int>(at - kBaudRateTable.begin());
    }
    if (d.sPath.empty()) {
        error = "no device in '" + text + "'";
        return std::nullopt;
    }
    return d;
}

std::optional<CCliGeometry> ParseCliGeometry(const std::string& text, std::string& error) {
    CCliGeometry g;
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t colon = text.find(':', start);
        parts.push_back(text.substr(start, colon - start));
        if (colon == std::string::npos) break;
        start = colon + 1;
    }
    auto number = [](const std::string& s, double& v) {
        size_t used = 0;
        return ScanDouble(s, v, &used) && used == s.size() && std::isfinite(v);
    };
    auto cable = [&](const std::string& s, int& index) {
        double v = 0.0;
        if (!number(s, v)) return false;
        for (size_t i = 0; i < kDipoleSizeTable.size(); ++i) {
            if (std::fabs(static_cast<double>(kDipoleSizeTable[i]) - v) < 1e-6) {
                index = static_cast<int>(i);
                return true;
            }
        }
        return false;
    };
    double rope = 0.0;
    if (parts.size() != 3 || !cable(parts[0], g.iTransmitterIndex) ||
        !cable(parts[1], g.iReceiverIndex) || !number(parts[2], rope) || rope < 0.0 ||
        rope > 1000.0) {
        error = "'" + text +
                "' is not TX:RX:ROPE with cable lengths of 1, 2, 2.5, 5, 10, 15, 20, 25, 30, "
                "35 or 40 m and a rope of 0 to 1000 m";
        return std::nullopt;
    }
    g.fRopeLength = static_cast<float>(rope);
    return g;
}

std::optional<std::vector<CCliScriptKey>> ParseCliScript(const std::string& text,
                                                         std::string& error) {
    std::vector<CCliScriptKey> keys;
    std::string_view rest = text;
    while (!rest.empty()) {
        const size_t semi = rest.find(';');
        const std::string_view item = Trim(rest.substr(0, semi));
        rest = semi == std::string_view::npos ? std::string_view() : rest.substr(semi + 1);
        if (item.empty()) continue;
        const size_t space = item.find_first_of(" \t");
        const std::string_view seconds = item.substr(0, space);
        const std::string_view key =
            space == std::string_view::npos ? std::string_view() : Trim(item.substr(space));
        double s = 0.0;
        size_t used = 0;
        if (!ScanDouble(seconds, s, &used) || used != seconds.size() || !std::isfinite(s) ||
            s < 0.0 || s > 1e7) {
            error = "script item '" + std::string(item) + "': seconds must be a number from 0";
            return std::nullopt;
        }
        const char k = key.size() == 1
                           ? static_cast<char>(std::tolower(static_cast<unsigned char>(key[0])))
                           : '\0';
        if (k != 'm' && k != 'p' && k != 'e' && k != 'q') {
            error = "script item '" + std::string(item) + "': the key must be m, p, e or q";
            return std::nullopt;
        }
        keys.push_back({static_cast<long long>(std::llround(s * 1000.0)), k});
    }
    std::stable_sort(keys.begin(), keys.end(),
                     [](const CCliScriptKey& a, const CCliScriptKey& b) { return a.iMs < b.iMs; });
    return keys;
}

std::optional<CCliOptions> ParseCliOptions(const std::vector<std::string>& args,
                                           std::string& error) {
    CCliOptions o;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                error = a + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        std::string v;
        if (a == "--help" || a == "-h") {
            o.bHelp = true;
        } else if (a == "--port" || a == "--port2" || a == "--gps") {
            if (!value(v)) return std::nullopt;
            std::string why;
            auto d = ParseCliDevice(v, why);
            if (!d) {
                error = a + ": " + why;
                return std::nullopt;
            }
            (a == "--port" ? o.port : a == "--port2" ? o.port2 : o.gps) = *d;
        } else if (a == "--gps-registry") {
            o.bGPSRegistry = true;
        } else if (a == "--demo") {
            if (!value(v)) return std::nullopt;
            if (v == "constant") {
                o.demo = CliInstrumentDemo::Constant;
            } else if (v == "two-layer") {
                o.demo = CliInstrumentDemo::TwoLayer;
            } else if (v.rfind("replay:", 0) == 0 && v.size() > 7) {
                o.demo = CliInstrumentDemo::Replay;
                o.demoFile = v.substr(7);
            } else {
                error = "--demo: '" + v + "' is none of constant, two-layer, replay:FILE";
                return std::nullopt;
            }
        } else if (a == "--gps-demo") {
            if (!value(v)) return std::nullopt;
            if (v == "track") {
                o.gpsDemo = CliGPSDemo::Track;
            } else if (v.rfind("replay:", 0) == 0 && v.size() > 7) {
                o.gpsDemo = CliGPSDemo::Replay;
                o.gpsDemoFile = v.substr(7);
            } else {
                error = "--gps-demo: '" + v + "' is neither track nor replay:FILE";
                return std::nullopt;
            }
        } else if (a == "--folder") {
            if (!value(v)) return std::nullopt;
            if (v.empty()) {
                error = "--folder: empty folder";
                return std::nullopt;
            }
            o.folder = v;
        } else if (a == "--prefix") {
            if (!value(v)) return std::nullopt;
            if (v.empty() || v.find('/') != std::string::npos || v == "." || v == "..") {
                error = "--prefix: '" + v + "' cannot begin a file name";
                return std::nullopt;
            }
            o.prefix = v;
        } else if (a == "--file-id") {
            if (!value(v)) return std::nullopt;
            int id = -1;
            if (!AllDigits(v) || !ScanInt(v, id) || id > 9999) {
                error = "--file-id: '" + v + "' is not a number from 0 to 9999";
                return std::nullopt;
            }
            o.fileID = id;
        } else if (a == "--geometry") {
            if (!value(v)) return std::nullopt;
            std::string why;
            auto g = ParseCliGeometry(v, why);
            if (!g) {
                error = "--geometry: " + why;
                return std::nullopt;
            }
            o.geometry = *g;
        } else if (a == "--speed") {
            if (!value(v)) return std::nullopt;
            double s = 0.0;
            size_t used = 0;
            if (!ScanDouble(v, s, &used) || used != v.size() || !(s > 0.0) || s > 10000.0) {
                error = "--speed: '" + v + "' is not a factor above 0 and up to 10000";
                return std::nullopt;
            }
            o.dSpeed = s;
        } else if (a == "--upload") {
            if (!value(v)) return std::nullopt;
            if (const std::string why = UploadURLProblem(v); !why.empty()) {
                error = "--upload: " + why;
                return std::nullopt;
            }
            o.uploadURL = v;
        } else if (a == "--serial-log") {
            o.bSerialLog = true;
        } else if (a == "--script") {
            if (!value(v)) return std::nullopt;
            auto keys = ParseCliScript(v, error);
            if (!keys) {
                error = "--script: " + error;
                return std::nullopt;
            }
            o.script = std::move(*keys);
        } else if (a == "--lang") {
            if (!value(v)) return std::nullopt;
            if (v != "en" && v != "ja") {
                error = "--lang: '" + v + "' is neither en nor ja";
                return std::nullopt;
            }
            o.iLanguage = v == "ja" ? kLanguageJapanese : kLanguageEnglish;
        } else if (a == "--echo") {
            o.bEcho = true;
        } else if (a == "--live-model") {
            if (!value(v)) return std::nullopt;
            if (v.empty()) {
                error = "--live-model: empty file name";
                return std::nullopt;
            }
            o.liveModel = v;
            o.bLive = true;
        } else if (a == "--live") {
            if (!value(v)) return std::nullopt;
            std::string why;
            auto s = ParseLiveSettings(v, o.live, why);
            if (!s) {
                error = "--live: " + why;
                return std::nullopt;
            }
            o.live = *s;
            o.bLive = true;
        } else if (a == "--live-distance") {
            if (!value(v)) return std::nullopt;
            double m = 0.0;
            size_t used = 0;
            if (v == "gps") {
                o.live.placement = LivePlacement::GPSLine;
            } else if (v.rfind("markers:", 0) == 0 && ScanDouble(v.substr(8), m, &used) &&
                       used == v.size() - 8 && m > 0.0 && IsMarkerDistance(m)) {
                o.live.placement = LivePlacement::Markers;
                o.live.dMarkerSpacing = m;
            } else {
                error = "--live-distance: '" + v + "' is neither gps nor markers:M (M m, above 0)";
                return std::nullopt;
            }
        } else {
            error = "unknown option '" + a + "'";
            return std::nullopt;
        }
    }
    if (o.bHelp) return o;
    if (o.port && o.demo != CliInstrumentDemo::None) {
        error = "--port and --demo both feed the first instrument: give one";
        return std::nullopt;
    }
    if (int(o.gps.has_value()) + int(o.bGPSRegistry) + int(o.gpsDemo != CliGPSDemo::None) > 1) {
        error = "--gps, --gps-registry and --gps-demo each feed the GPS: give one";
        return std::nullopt;
    }
    if (!o.port && o.demo == CliInstrumentDemo::None) {
        error = "nothing to record: give --port or --demo (see --help)";
        return std::nullopt;
    }
    return o;
}
