// Timing harness for the survey file reader and writer on a field-sized file: 20 lines of
// 50,000 readings of five receivers at 10 readings a second, a GGA sentence every second and a
// marker every 500 readings (about 110 MB). Prints the best of a few runs of
//   - `wc -l` on the file (the floor: reading the bytes once),
//   - ReadSurveyFile (parsing, apparent resistivities, the steps after a read),
//   - WriteSurveyLine of every line, saved as the save command saves (a temporary beside the
//     file, synced to the disk and renamed over it).
// Wall times are the best of three runs; the processor time (user + system, from std::clock)
// beside them is the steadier figure on a shared machine.
// Usage: survey_file_bench [folder]   (default: a new folder under the system temp folder)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

#include "common/record_time.h"
#include "common/settings.h"
#include "common/survey.h"
#include "common/survey_file.h"
#include "common/text_format.h"

namespace fs = std::filesystem;

namespace {

constexpr int kLines = 20;
constexpr int kReadingsPerLine = 50000;
constexpr int kReadingsPerSecond = 10;
constexpr int kReadingsPerMarker = 500;
constexpr int kRuns = 3;

double Seconds(std::chrono::steady_clock::time_point from) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

double CpuSeconds(std::clock_t from) {
    return static_cast<double>(std::clock() - from) / CLOCKS_PER_SEC;
}

// A GGA sentence with a valid checksum for a point moving north-east.
std::string Gga(double latitude, double longitude) {
    const int latDeg = static_cast<int>(latitude), lonDeg = static_cast<int>(longitude);
    const std::string body =
        FormatC("GPGGA,030001.00,%02d%07.4f,N,%03d%07.4f,E,1,08,0.9,35.2,M,39.5,M,,", latDeg,
                (latitude - latDeg) * 60.0, lonDeg, (longitude - lonDeg) * 60.0);
    unsigned sum = 0;
    for (char c : body) sum ^= static_cast<unsigned char>(c);
    return FormatC("$%s*%02X", body.c_str(), sum);
}

void Generate(const fs::path& path) {
    CTextWriter out;
    if (!out.Open(path)) {
        std::fprintf(stderr, "cannot create %s\n", path.string().c_str());
        std::exit(1);
    }
    std::int64_t start = 0;
    LocalCalendarTime(2009, 6, 15, 8, 0, 0, start);
    std::string buf;
    for (int l = 0; l < kLines; ++l) {
        const std::int64_t t0 = start + l * (kReadingsPerLine / kReadingsPerSecond + 600);
        CGantrelGeometry g = CGantrelGeometry::Initial();
        g.time = t0;
        buf = FormatGeometryRecord(g, GeometryForm::Logging) + "\n";
        int iMarker = 0;
        for (int i = 0; i < kReadingsPerLine; ++i) {
            const std::int64_t t = t0 + i / kReadingsPerSecond;
            const int ms = (i % kReadingsPerSecond) * 100;
            if (i % kReadingsPerMarker == 0) {
                CMarkerData m;
                m.time = t;
                m.iMilliSecond = ms;
                m.dY = 10.0 * iMarker;
                m.iLineID = l;
                m.iMarkerNumber = iMarker++;
                buf += FormatMarkerRecord(m, MarkerForm::Survey) + "\n";
            }
            if (i % kReadingsPerSecond == 5) {
                CGPSData fix;
                fix.sSentence = Gga(35.2 + 1e-5 * i, 139.7 + 1e-5 * i + 0.01 * l);
                fix.time = t;
                fix.iMilliSecond = ms;
                buf += FormatGPSRecord(fix) + "\n";
            }
            CGantrelData d;
            d.nReceiver = kMaxReceiver;
            d.time = t;
            d.iMilliSecond = ms;
            for (int r = 0; r < kMaxReceiver; ++r) {
                d.fResistance[r] = static_cast<float>(1.0 + 0.001 * ((i * 7 + r * 13) % 100000));
                d.iCurrentLevel[r] = 5;
                d.iStatus[r] = r;
            }
            buf += FormatReadingRecord(d, ReadingForm::Logging, false) + "\n";
            if (buf.size() > (1u << 20)) {
                out.Write(buf);
                buf.clear();
            }
        }
        CMarkerData end;
        end.time = t0 + kReadingsPerLine / kReadingsPerSecond;
        end.dY = 10.0 * iMarker;
        end.iLineID = l;
        end.iMarkerNumber = iMarker;
        buf += FormatMarkerRecord(end, MarkerForm::Survey) + "\n";
        out.Write(buf);
    }
    out.Close();
}

}  // namespace

int main(int argc, char** argv) {
    // Times are local: pin a zone so runs compare.
    setenv("TZ", "Asia/Tokyo", 0);
    const fs::path dir =
        argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "gantrel_survey_file_bench";
    fs::create_directories(dir);
    const fs::path data = dir / "bench.sto";
    const fs::path saved = dir / "bench_saved.sto";

    auto t = std::chrono::steady_clock::now();
    Generate(data);
    std::printf("generated %s: %.1f MB in %.2f s\n", data.string().c_str(),
                static_cast<double>(fs::file_size(data)) / 1e6, Seconds(t));

    const std::string wc = "wc -l < '" + data.string() + "' > /dev/null";
    double wcBest = 1e9, readBest = 1e9, writeBest = 1e9, readCpu = 1e9, writeCpu = 1e9;
    int nLine = 0;
    long long nData = 0;
    for (int run = 0; run < kRuns; ++run) {
        t = std::chrono::steady_clock::now();
        if (std::system(wc.c_str()) != 0) std::fprintf(stderr, "wc failed\n");
        wcBest = std::min(wcBest, Seconds(t));

        CGantrelSurvey survey;
        t = std::chrono::steady_clock::now();
        std::clock_t c = std::clock();
        const SurveyFileStatus st = ReadSurveyFile(survey, data);
        readBest = std::min(readBest, Seconds(t));
        readCpu = std::min(readCpu, CpuSeconds(c));
        nLine = st.nLine;
        nData = 0;
        for (int l = 0; l < survey.nLine; ++l) nData += survey.Line(l).nData();
        if (st.nBad != 0) std::fprintf(stderr, "unexpected: %d bad records\n", st.nBad);

        t = std::chrono::steady_clock::now();
        c = std::clock();
        CTextWriter out;
        out.OpenReplacing(saved);  // as the save command writes: a temporary, synced, renamed
        for (int l = 0; l < survey.nLine; ++l)
            WriteSurveyLine(survey.Line(l), out, survey.bMarkerDistance, 1);
        out.Close();
        writeBest = std::min(writeBest, Seconds(t));
        writeCpu = std::min(writeCpu, CpuSeconds(c));
    }
    std::printf("lines %d, readings %lld\n", nLine, nData);
    std::printf("wc -l            %6.3f s\n", wcBest);
    std::printf("ReadSurveyFile   %6.3f s  (%.1f x wc -l), processor %.3f s\n", readBest,
                readBest / wcBest, readCpu);
    std::printf("WriteSurveyLine  %6.3f s  (%.1f x wc -l), processor %.3f s, %.1f MB written\n",
                writeBest, writeBest / wcBest, writeCpu,
                static_cast<double>(fs::file_size(saved)) / 1e6);
    if (argc <= 1) fs::remove_all(dir);
    return 0;
}
