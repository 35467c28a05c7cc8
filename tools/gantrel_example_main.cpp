// gantrel-example: writes the synthetic example survey (one .sto file per line) into a folder.
//   gantrel-example --out FOLDER [--lines N] [--readings N] [--seed N] [--large]
// --large selects the survey-file benchmark size (20 lines of 50,000 readings, about 110 MB);
// --lines, --readings and --seed given with it still apply.
#include <charconv>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "tools/example_survey.h"

namespace {

constexpr const char* kUsage =
    "usage: gantrel-example --out FOLDER [--lines N] [--readings N] [--seed N] [--large]\n"
    "  --out FOLDER   folder for the files line01.sto, line02.sto, ... (created when missing)\n"
    "  --lines N      number of lines (default 4)\n"
    "  --readings N   readings per line (default 400, one a second at about 1 m/s)\n"
    "  --seed N       seed of the noise, spikes and invalid values (default 1)\n"
    "  --large        20 lines of 50,000 readings at 10 a second (benchmark size)\n";

template <typename T>
bool ParseNumber(std::string_view text, T& value) {
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "gantrel-example: %s\n%s", message.c_str(), kUsage);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::optional<std::string> out;
    std::optional<int> lines, readings;
    std::optional<std::uint64_t> seed;
    bool large = false;
    for (int a = 1; a < argc; ++a) {
        const std::string_view arg = argv[a];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--large") {
            large = true;
            continue;
        }
        if (arg != "--out" && arg != "--lines" && arg != "--readings" && arg != "--seed")
            return Fail("unknown option '" + std::string(arg) + "'");
        if (a + 1 >= argc) return Fail("option " + std::string(arg) + " needs a value");
        const std::string_view value = argv[++a];
        if (arg == "--out") {
            out = std::string(value);
            continue;
        }
        bool ok = false;
        if (arg == "--seed") {
            std::uint64_t v = 0;
            ok = ParseNumber(value, v);
            seed = v;
        } else {
            int v = 0;
            ok = ParseNumber(value, v);
            (arg == "--lines" ? lines : readings) = v;
        }
        if (!ok)
            return Fail("option " + std::string(arg) + " needs a whole number, not '" +
                        std::string(value) + "'");
    }
    if (!out) return Fail("--out FOLDER is required");

    ExampleSurveyOptions options = large ? LargeExampleOptions(*out) : ExampleSurveyOptions{};
    options.folder = *out;
    if (lines) options.nLine = *lines;
    if (readings) options.nReadingPerLine = *readings;
    if (seed) options.iSeed = *seed;
    if (const std::string problem = CheckExampleOptions(options); !problem.empty())
        return Fail(problem);

    const ExampleSurveyReport report = WriteExampleSurvey(options);
    std::uintmax_t total = 0;
    for (const ExampleLineReport& line : report.line) {
        std::string level;
        if (line.iLevelChangeReading >= 0)
            level = ", current level " + std::to_string(options.iCurrentLevel) + " -> " +
                    std::to_string(options.iChangedLevel) + " from reading " +
                    std::to_string(line.iLevelChangeReading + 1);
        std::printf(
            "%s: %d readings, %d markers, %d GGA records, %zu spikes, %zu invalid%s; "
            "%ju bytes\n",
            line.path.string().c_str(), line.nReading, line.nMarker, line.nFix, line.spike.size(),
            line.invalid.size(), level.c_str(), line.nByte);
        total += line.nByte;
    }
    if (!report.bOK) {
        std::fprintf(stderr, "gantrel-example: %s\n", report.sError.c_str());
        return 1;
    }
    std::printf(
        "%zu files, %ju bytes; lines %.0f m long, %g m apart, a marker every %g m, "
        "a GGA record every %d s\n",
        report.line.size(), total, report.plan.dLength, static_cast<double>(options.fLineSpacing),
        report.plan.dMarkerSpacing, report.plan.iGPSInterval);
    return 0;
}
