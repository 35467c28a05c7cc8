// libFuzzer target for the survey file readers and writers. Every input is read as a survey
// file (normal and resistivity mode), as mapping records and as raw mapping records; the
// survey read is then saved and read back twice, and the second read must give the same
// data as the first (the first write normalises numbers to the file's precision), times to
// the millisecond and line exclusions included.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "common/nmea.h"
#include "common/survey.h"
#include "common/survey_file.h"
#include "common/text_format.h"

namespace fs = std::filesystem;

namespace {

fs::path gDir;

void Fail(const char* what) {
    std::fprintf(stderr, "survey_file_fuzz: %s\n", what);
    std::abort();
}

void Check(bool ok, const char* what) {
    if (!ok) Fail(what);
}

// What every reader promises whatever it was given.
void CheckInvariants(const CGantrelSurvey& s) {
    Check(s.nLine >= 0 && s.nLine <= kMaxLine, "line count out of range");
    for (int l = 0; l < s.nLine; ++l) {
        const CGantrelLine& line = s.Line(l);
        Check(line.nData() <= kMaxDataPerLine && line.nMarker() <= kMaxMarkerPerLine &&
                  line.nGPS() <= kMaxGPSPerLine,
              "line over capacity");
        Check(line.nMaxReceiver >= 0 && line.nMaxReceiver <= kMaxReceiver, "nMaxReceiver");
        for (const auto& d : line.pData)
            Check(d.nReceiver >= 1 && d.nReceiver <= kMaxReceiver, "receiver count");
        if (line.nData() == 0) continue;
        Check(line.nMarker() >= 2, "line with readings has fewer than two markers");
        for (const auto& m : line.pMarker)
            Check(m.iDataIndex >= 0 && m.iDataIndex < line.nData(), "marker index");
        for (const auto& g : line.pGPS)
            Check(g.iDataIndex >= 0 && g.iDataIndex < line.nData(), "fix index");
    }
}

// Saved as the save command saves; a survey read from a file holds no reading the file
// cannot hold, so nothing may be left out.
fs::path Save(const CGantrelSurvey& s, const char* name) {
    CTextWriter out;
    if (!out.OpenReplacing(gDir / name)) Fail("cannot create a scratch file");
    int nLeftOut = 0;
    for (int l = 0; l < s.nLine; ++l)
        WriteSurveyLine(s.Line(l), out, s.bMarkerDistance, 0, &nLeftOut);
    if (!out.Close()) Fail("cannot write a scratch file");
    Check(nLeftOut == 0, "a reading that was read could not be written");
    return gDir / name;
}

using MarkerKey = std::tuple<std::int64_t, double, double, int, int>;
using FixKey = std::tuple<std::int64_t, std::string>;

// b was read from a file written from data already read once, c from b written again: every
// field the survey file carries must agree (marker and fix order may follow the readings they
// are tied to, so those are compared as sets).
void CheckSameSurvey(const CGantrelSurvey& b, const CGantrelSurvey& c) {
    // Only the last of several trailing lines without readings is dropped per read.
    std::vector<int> lb, lc;
    for (int l = 0; l < b.nLine; ++l)
        if (b.Line(l).nData() > 0) lb.push_back(l);
    for (int l = 0; l < c.nLine; ++l)
        if (c.Line(l).nData() > 0) lc.push_back(l);
    Check(lb.size() == lc.size(), "lines with readings differ");
    Check(b.bMarkerDistance == c.bMarkerDistance, "bMarkerDistance differs");
    for (size_t k = 0; k < lb.size(); ++k) {
        const CGantrelLine& x = b.Line(lb[k]);
        const CGantrelLine& y = c.Line(lc[k]);
        Check(x.nData() == y.nData(), "reading count differs");
        Check(x.bUse == y.bUse, "bUse differs");
        const CGantrelGeometry &gx = *x.pGeometry, &gy = *y.pGeometry;
        Check(gx.fOffset == gy.fOffset && gx.fTransmitterDipole == gy.fTransmitterDipole &&
                  gx.fRopeLength == gy.fRopeLength && gx.fReceiverDipole == gy.fReceiverDipole &&
                  gx.time == gy.time && gx.bDifferentSize == gy.bDifferentSize,
              "geometry differs");
        for (int r = 0; r < kMaxReceiver; ++r) {
            Check(gx.pReceiverFactor[static_cast<size_t>(r)] ==
                      gy.pReceiverFactor[static_cast<size_t>(r)],
                  "receiver factor differs");
            Check(x.bReceiverUse[r] == y.bReceiverUse[r], "bReceiverUse differs");
        }
        for (int i = 0; i < x.nData(); ++i) {
            const CGantrelData &p = x.pData[static_cast<size_t>(i)],
                               &q = y.pData[static_cast<size_t>(i)];
            Check(p.nReceiver == q.nReceiver && p.time == q.time, "reading differs");
            // Hundredths are written as ms / 10 and read to the nearest millisecond.
            Check(p.iMilliSecond == q.iMilliSecond, "reading milliseconds differ");
            Check(p.bDistance == q.bDistance, "bDistance differs");
            if (b.bMarkerDistance == 1) Check(p.fDistance == q.fDistance, "distance differs");
            for (int r = 0; r < p.nReceiver; ++r)
                Check(p.fResistance[r] == q.fResistance[r] &&
                          p.fResistivity[r] == q.fResistivity[r] && p.bValid[r] == q.bValid[r] &&
                          p.iCurrentLevel[r] == q.iCurrentLevel[r] && p.iStatus[r] == q.iStatus[r],
                      "receiver value differs");
        }
        std::vector<MarkerKey> mx, my;
        for (const auto& m : x.pMarker)
            mx.emplace_back(m.time, m.dX, m.dY, m.iLineID, m.iMarkerNumber);
        for (const auto& m : y.pMarker)
            my.emplace_back(m.time, m.dX, m.dY, m.iLineID, m.iMarkerNumber);
        Check(mx.back() == my.back(), "last marker differs");
        std::sort(mx.begin(), mx.end());
        std::sort(my.begin(), my.end());
        Check(mx == my, "markers differ");
        std::vector<FixKey> fx, fy;
        for (const auto& g : x.pGPS) fx.emplace_back(g.time, g.sSentence);
        for (const auto& g : y.pGPS) fy.emplace_back(g.time, g.sSentence);
        std::sort(fx.begin(), fx.end());
        std::sort(fy.begin(), fy.end());
        Check(fx == fy, "fixes differ");
    }
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t nl = text.find('\n', start);
        if (nl == std::string::npos) nl = text.size();
        lines.push_back(text.substr(start, nl - start));
        start = nl + 1;
    }
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Times are local; a zone without daylight saving makes written times read back exactly.
    setenv("TZ", "Asia/Tokyo", 1);
    tzset();
    // Saves sync their file to the disk; in memory (where there is a memory file system)
    // that costs nothing, and a run tries thousands of inputs.
    std::error_code ec;
    const fs::path scratch = fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm")
                                                               : fs::temp_directory_path();
    gDir = scratch / ("gantrel_survey_fuzz_" + std::to_string(getpid()));
    fs::create_directories(gDir);
    SetDecodeFailureLog(gDir / "decode.log");
    std::atexit([] {
        std::error_code ec;
        fs::remove_all(gDir, ec);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const fs::path input = gDir / "input.sto";
    std::ofstream(input, std::ios::binary | std::ios::trunc) << text;
    // Keep the failure log from growing over a long run.
    fs::remove(gDir / "decode.log");

    CGantrelSurvey a;
    ReadSurveyFile(a, input);
    CheckInvariants(a);
    // The same bytes with CR alone as line end read the same.
    {
        std::string cr;
        cr.reserve(text.size());
        for (size_t i = 0; i < text.size(); ++i)
            if (!(text[i] == '\n' && i > 0 && text[i - 1] == '\r'))
                cr.push_back(text[i] == '\n' ? '\r' : text[i]);
        std::ofstream(gDir / "cr.sto", std::ios::binary | std::ios::trunc) << cr;
        CGantrelSurvey r;
        ReadSurveyFile(r, gDir / "cr.sto");
        Check(r.nLine == a.nLine, "CR line ends give other lines");
        for (int l = 0; l < a.nLine; ++l)
            Check(r.Line(l).nData() == a.Line(l).nData() &&
                      r.Line(l).nMarker() == a.Line(l).nMarker() &&
                      r.Line(l).nGPS() == a.Line(l).nGPS(),
                  "CR line ends give other records");
    }

    CGantrelSurvey b, c;
    ReadSurveyFile(b, Save(a, "a.sto"));
    CheckInvariants(b);
    ReadSurveyFile(c, Save(b, "b.sto"));
    CheckInvariants(c);
    CheckSameSurvey(b, c);

    {
        CLineReader in;
        if (in.Open(input)) {
            CGantrelSurvey r;
            ReadSurveyStream(r, in, 1);
            CheckInvariants(r);
        }
    }

    const std::vector<std::string> lines = SplitLines(text);
    for (int bGPS = 0; bGPS <= 1; ++bGPS) {
        CGantrelSurvey m;
        ReadMappingRecords(m, lines, bGPS);
        CheckInvariants(m);
        if (WriteMappingFile(m, gDir / "m.stn")) {
            CGantrelSurvey back;
            ReadMappingFile(back, gDir / "m.stn");
            CheckInvariants(back);
        }
    }
    CGantrelSurvey raw;
    ReadRawMappingRecords(raw, lines);
    CheckInvariants(raw);
    return 0;
}
