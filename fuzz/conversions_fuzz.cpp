// libFuzzer target for the file converters: every input is taken as a survey file to reverse,
// a console text capture, a binary file to dump and a GPS position file, line by line and
// whole. Reversing twice must give back the input's lines (with CR LF ends); the dump must
// have one line per whole 128-byte block.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include "common/memory_settings.h"
#include "common/settings.h"
#include "fuzz/fuzz_support.h"
#include "processing/file_conversions.h"

namespace fs = std::filesystem;

namespace {

using fuzzsupport::ReadAll;

fs::path gDir;

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "conversions_fuzz: %s\n", what);
        std::abort();
    }
}


// The input's lines with CR LF ends, as the reversal writes them. The reader ends a line at
// CR LF, LF or a CR alone (files of old Macintosh editors); a last line without an end gets one.
std::string Normalised(std::string_view text) {
    std::string out;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = text.size();
        out.append(text.substr(start, end - start));
        out += "\r\n";
        start = end + 1;
        if (end < text.size() && text[end] == '\r' && start < text.size() && text[start] == '\n')
            ++start;
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static CMemorySettingsBackend settings;
    SetSettingsBackend(&settings);
    ::setenv("TZ", "Asia/Tokyo", 1);
    gDir = fs::temp_directory_path() / ("conversions_fuzz_" + std::to_string(::getpid()));
    fs::create_directories(gDir);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const fs::path in = gDir / "in", once = gDir / "once", twice = gDir / "twice";
    {
        std::ofstream out(in, std::ios::binary);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
    }

    // Line by line.
    size_t start = 0;
    std::string record;
    while (start <= text.size()) {
        size_t nl = text.find('\n', start);
        if (nl == std::string_view::npos) nl = text.size();
        const std::string_view line = text.substr(start, nl - start);
        const CaptureLine kind = ConvertCaptureLine(line, record);
        if (kind == CaptureLine::Copied) Check(record == line, "a copied line changed");
        if (kind == CaptureLine::Converted) Check(record.rfind("30 4 ", 0) == 0, "bad record");
        if (auto p = ParseGPSPositionLine(line))
            Check(p->iSecondOfDay >= 0 && p->iSecondOfDay <= 86400, "time of day");
        start = nl + 1;
    }

    // Whole files.
    const ConversionResult reversed = ReverseSurveyFile(in, once);
    if (reversed.ok() && reversed.nLeftOut == 0) {
        Check(ReverseSurveyFile(once, twice).ok(), "reversing the reversal failed");
        Check(ReadAll(twice) == Normalised(text), "reversing twice changed the lines");
    }
    const ConversionResult capture = ConvertTextCapture(in, once);
    if (capture.ok()) Check(ReadAll(once).rfind("99 0 0 1\r\n", 0) == 0, "capture header");
    const ConversionResult dump = DumpBinaryFile(in, once);
    Check(dump.ok(), "dump failed");
    Check(dump.nWritten == static_cast<int>(size / kDumpBlockSize), "dump line count");
    Check(dump.nLeftOut == static_cast<int>(size % kDumpBlockSize), "dump rest");
    return 0;
}
