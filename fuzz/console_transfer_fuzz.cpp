// libFuzzer target for the console transfer's line conversion: the bytes go in pieces through
// an in-memory port into the transfer's polls (line assembler, conversion, destination file),
// then the kept records are read as a survey. Every kept reading must read back as the reading
// it was made from; the destination must hold exactly the kept records as whole CR LF lines.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/scripted_prompter.h"
#include "common/survey_file.h"
#include "common/text_format.h"
#include "common/memory_serial_port.h"
#include "fuzz/fuzz_support.h"
#include "processing/console_transfer.h"

namespace fs = std::filesystem;

namespace {

fs::path gDir;

void Check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "console_transfer_fuzz: %s\n", what);
    std::abort();
}

using CMemoryPort = CMemorySerialPort;

using fuzzsupport::ReadAll;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::error_code ec;
    const fs::path base =
        fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
    gDir = base / ("console_transfer_fuzz-" + std::to_string(getpid()));
    fs::create_directories(gDir);
    std::atexit([] {
        std::error_code ignored;
        fs::remove_all(gDir, ignored);
    });
    setenv("TZ", "Asia/Tokyo", 1);
    tzset();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::size_t chunk = 1 + data[0] % 211;
    const std::string_view stream(reinterpret_cast<const char*>(data + 1), size - 1);

    // One line as it is: a kept reading reads back as what was parsed from it.
    const std::string_view whole = stream.substr(0, std::min<std::size_t>(stream.size(), 1023));
    std::string record;
    const ConsoleLineKind kind = ConvertConsoleLine(whole, record);
    if (kind == ConsoleLineKind::Dropped) Check(record.empty(), "a dropped line keeps a record");
    if (kind == ConsoleLineKind::GPSSentence || kind == ConsoleLineKind::GeometryOrMarker)
        Check(record == whole, "kept unchanged");
    if (kind == ConsoleLineKind::Reading) {
        CGantrelData parsed, back;
        Check(ParseConsoleReadingLine(whole, parsed), "a reading that does not parse");
        Check(ParseReadingRecord(record, back) == parsed.nReceiver, "receiver count read back");
        Check(back.time == parsed.time, "time read back");
        for (int j = 0; j < parsed.nReceiver; ++j) {
            float v = 0.0f;
            ScanFloat(FormatC("%.3f", static_cast<double>(parsed.fResistance[j])), v);
            Check(back.fResistance[j] == v, "value read back");
        }
    }

    // The whole stream through the transfer.
    const fs::path file = gDir / "fuzz.stn";
    fs::remove(file);
    CScriptedPrompter prompter;
    CConsoleTransfer t;
    t.sPath = file;
    t.bFileChosen = 1;
    CMemoryPort port;
    int lines = 0;
    for (std::size_t at = 0; at < stream.size(); at += chunk) {
        port.queued.append(stream.substr(at, chunk));
        const int n = t.Poll(port, prompter);
        Check(n >= 0 && n <= 100, "lines of a poll");
        lines += n;
    }
    port.queued.append("\n");
    for (int i = 0; i < 200 && t.Poll(port, prompter) > 0; ++i) {
    }
    Check(t.nReceivedLine >= lines, "line count");
    Check(t.pRecordList.size() <= kMaxTransferRecords, "record list over its capacity");
    std::string expected;
    for (const std::string& r : t.pRecordList) {
        Check(!r.empty() && r.size() <= 1023, "record length");
        Check(r.find_first_of(std::string("\r\n\0", 3)) == std::string::npos,
              "line end or NUL in a record");
        expected += r + "\r\n";
    }
    Check(ReadAll(file) == expected, "destination differs from the kept records");

    std::vector<std::string> records;
    for (const std::string& r : t.pRecordList) records.push_back(r + "\n");
    CGantrelSurvey survey;
    ReadMappingRecords(survey, records, 0);
    return 0;
}
