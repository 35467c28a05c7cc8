// libFuzzer target for the files the headless logger reads besides its ports: the settings in
// INI files (hand-edited, or written by the other store) and the log files its demonstrations
// replay. Whatever the bytes:
//  - the settings text written from what was read reads back to the very same text with the
//    same keys, and every value read is stored and read back unchanged;
//  - a replayed file gives lines of 1 to 1023 characters without line ends, and starts again
//    after its end.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "acquisition/demonstration.h"
#include "common/ini_settings.h"

namespace {

void Check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "logger_files_fuzz: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    CIniDocument first;
    first.Parse(text);
    const std::string written = first.Text();
    CIniDocument second;
    second.Parse(written);
    Check(second.Text() == written, "settings text changed when read and written again");
    Check(second.KeyCount() == first.KeyCount(), "keys lost when read and written again");
    Check(CIniDocument::DecodeValue(CIniDocument::EncodeValue(text)) == text,
          "a value changed when stored and read back");

    static const std::string path = "/tmp/logger_files_fuzz." + std::to_string(getpid());
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    CDemonstrationFile replay;
    if (!replay.Open(path)) return 0;
    std::string line;
    std::string firstLine;
    const size_t passes = size / kDemoPieceLength + 2;
    for (size_t i = 0; i < 2 * passes + 4 && replay.NextLine(line); ++i) {
        Check(!line.empty() && line.size() <= kDemoPieceLength, "replayed line length");
        Check(line.find_first_of("\r\n") == std::string::npos, "line end in a replayed line");
        if (i == 0) firstLine = line;
    }
    std::remove(path.c_str());
    return 0;
}
