// libFuzzer target for what the field logger reads from its serial ports: the bytes go through
// in-memory ports into the poll, the line assembler, the console record parser and the GGA
// handler, with and without a line being recorded. While recording, the survey file written
// must consist of whole CR LF lines and read back (when only console lines came) without a bad
// record, with the latest recorded readings' values.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "acquisition/acquisition_state.h"
#include "common/nmea.h"
#include "common/record_time.h"
#include "common/settings.h"
#include "common/survey_file.h"
#include "common/text_format.h"
#include "common/memory_serial_port.h"
#include "fuzz/fuzz_support.h"

namespace fs = std::filesystem;

namespace {

fs::path gDir;

void Check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "console_line_fuzz: %s\n", what);
    std::abort();
}

using CMemoryPort = CMemorySerialPort;

class CNoPorts : public CSerialPortSystem {
public:
    std::vector<SerialPortReport> ReportedPorts() override { return {}; }
    std::unique_ptr<CSerialPort> Open(const std::string&, const SerialLineSettings&,
                                      std::string&) override {
        return nullptr;
    }
    bool CanOpen(const std::string&) override { return false; }
    void AddKnownDevice(const std::string&) override {}
};

using fuzzsupport::ReadAll;

// V/I as the logger's record writes it and the reader reads it back.
float AsWritten(float v) {
    float back = 0.0f;
    ScanFloat(FormatC("%.3f", static_cast<double>(v)), back);
    return back;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Every poll forces the survey file to its device: a memory file system keeps that cheap.
    std::error_code ec;
    const fs::path base =
        fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
    gDir = base / ("console_line_fuzz-" + std::to_string(getpid()));
    fs::create_directories(gDir);
    std::atexit([] {
        std::error_code ignored;
        fs::remove_all(gDir, ignored);
    });
    setenv("TZ", "Asia/Tokyo", 1);
    tzset();
    WriteSettingString("FolderPath", gDir.string());
    SetDecodeFailureLog(gDir / "decode.txt");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const unsigned flags = data[0];
    const std::size_t chunk = 1 + data[1] % 97;
    const std::string_view stream(reinterpret_cast<const char*>(data + 2), size - 2);
    const bool bRecord = (flags & 1) != 0;
    const bool bPause = (flags & 2) != 0;
    const unsigned route = (flags >> 2) & 3;  // 0 first console, 1 GPS, 2 second console, 3 all

    std::int64_t t0 = 0;
    LocalCalendarTime(2009, 6, 15, 12, 0, 0, t0);
    CManualClock clock({t0, 0});
    CScriptedLoggerPrompter prompter;
    CNoPorts system;
    CAcquisitionState s(system, prompter, clock);
    const fs::path file = gDir / "fuzz.sto";
    const fs::path sub = gDir / "fuzz_sub.sto";
    fs::remove(file);
    fs::remove(sub);
    s.sSurveyPath = {file, sub};

    CMemoryPort* port[kPortSlots] = {};
    for (int slot : {kSlotGantrel, kSlotGPS, kSlotGantrel2}) {
        auto p = std::make_unique<CMemoryPort>();
        port[slot] = p.get();
        s.slots.port[static_cast<size_t>(slot)] = std::move(p);
    }
    s.bGantrelStarted = s.bGPSStarted = s.bGantrel2Started = 1;
    if (bRecord) s.StartMark();
    if (bPause) s.Pause();

    const int targets[3] = {kSlotGantrel, kSlotGPS, kSlotGantrel2};
    std::size_t at = 0, piece = 0;
    while (at < stream.size()) {
        const std::size_t n = std::min(chunk, stream.size() - at);
        const int slot = route == 3 ? targets[piece % 3] : targets[route];
        port[slot]->queued.append(stream.substr(at, n));
        at += n;
        ++piece;
        clock.Advance(100);
        s.Tick();
    }
    // Flush what waits for a line end.
    for (int slot : targets) port[slot]->queued.append("\n");
    s.Tick();

    Check(s.readings.Count() <= 200 && s.fixes.Count() <= 200, "ring over its limit");
    Check(s.dataLines.Count() <= 20 && s.receivedLines.Count() <= 20, "log over its limit");
    for (const auto& l : s.receivedLines) Check(l.size() <= 1023, "line longer than 1,023");
    for (int slot : targets)
        Check(s.assembler[static_cast<size_t>(slot)].Pending() <= 16384, "assembler");
    for (const auto& f : s.fixes) {
        Check(std::fabs(f.dLatitude) <= 90.0 && std::fabs(f.dLongitude) <= 180.0,
              "fix off the globe");
        Check(f.iUTMZone >= 1 && f.iUTMZone <= 61, "fix without a zone");
    }
    if (!bRecord) {
        Check(!fs::exists(file), "a file written while not recording");
        return 0;
    }
    s.EndLine();

    const std::string text = ReadAll(file);
    Check(text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0,
          "file not ending in CR LF");
    std::size_t begin = 0;
    while (begin < text.size()) {
        const std::size_t end = text.find("\r\n", begin);
        Check(end != std::string::npos, "half line");
        Check(end - begin <= kMaxRecordLength, "record longer than a reader line");
        Check(text.find_first_of(std::string("\r\n\0", 3), begin) == end,
              "line end or NUL in a record");
        begin = end + 2;
    }

    CGantrelSurvey survey;
    const SurveyFileStatus status = ReadSurveyFile(survey, file);
    if (route == 0) Check(status.nBad == 0, "the reader rejects a record the logger wrote");
    std::vector<const CLoggerReading*> recorded;
    for (const auto& r : s.readings)
        if (r.bRecorded == 1 && !IsErrorReading(r)) recorded.push_back(&r);
    if (bPause) {
        Check(status.nLine == 0 || survey.Line(0).nData() == 0, "readings written while paused");
        return 0;
    }
    // The ring holds both instruments' readings: compare when only the first one spoke.
    if (route != 0) return 0;
    Check(survey.nLine == (recorded.empty() ? 0 : 1), "one recorded line");
    if (recorded.empty()) return 0;
    const CGantrelLine& line = survey.Line(0);
    const std::size_t k = std::min(recorded.size(), static_cast<std::size_t>(line.nData()));
    Check(static_cast<std::size_t>(line.nData()) >= recorded.size(), "reading lost");
    for (std::size_t i = 0; i < k; ++i) {
        const CLoggerReading& r = *recorded[recorded.size() - k + i];
        const CGantrelData& d = line.pData[line.pData.size() - k + i];
        Check(d.nReceiver == r.nReceiver, "receiver count read back");
        for (int j = 0; j < r.nReceiver; ++j) {
            Check(d.fResistance[j] == AsWritten(r.fResistance[j]), "V/I read back");
            Check(d.iCurrentLevel[j] == r.iCurrentLevel[j] && d.iStatus[j] == r.iStatus[j],
                  "status");
        }
        // The time as written and read: hundredths, through the reader's single precision.
        std::string_view tokens[2];
        const std::string written = FormatRecordTimeDate(r.time, r.iMilliSecond);
        std::int64_t time = 0;
        int ms = -1;
        Check(
            SplitTokens(written, tokens, 2) == 2 && ParseRecordTime(tokens[0], tokens[1], time, ms),
            "time as written");
        Check(d.time == r.time && d.time == time && d.iMilliSecond == ms, "time read back");
    }
    return 0;
}
