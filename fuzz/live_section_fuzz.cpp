// libFuzzer target for the live section: the input's lines are handed over as the records of
// a survey file being written (geometry, readings, markers, GGA, anything else), one live
// section kept across inputs as a logger keeps it across lines. Once it is current, its state
// must hold within the store's capacities, one column entry per column, and every inverted
// column a model of positive, finite resistivities and a finite misfit.
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "common/memory_settings.h"
#include "common/nmea.h"
#include "common/settings.h"
#include "live/live_section.h"

namespace {

void Check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "live_section_fuzz: %s\n", what);
    std::abort();
}

CLiveSection& Live() {
    static CMemorySettingsBackend settings;
    static std::unique_ptr<CLiveSection> live = [] {
        SetSettingsBackend(&settings);
        // GGA records that do not decode are logged; not into the current folder.
        SetDecodeFailureLog(std::filesystem::temp_directory_path() / "live_section_fuzz_gga.log");
        LiveSectionSettings s;
        s.fCellSize = 2.0f;
        s.nLayer = 4;
        s.fDepth = 5.0f;
        s.nIteration = 2;
        s.dMarkerSpacing = 10.0;
        return std::make_unique<CLiveSection>(s);
    }();
    return *live;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CLiveSection& live = Live();
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        live.TakeRecord(line);
        start = end + 1;
    }
    Check(live.WaitUntilCurrent(std::chrono::seconds(30)), "not current within 30 s");
    live.Read([](const LiveSectionView& v) {
        const CTrevascDataOhm& s = v.store;
        Check(s.nColumn >= 0 && s.nColumn <= s.MaxColumn(), "columns past the store");
        Check(static_cast<int>(v.columns.size()) == s.nColumn, "one entry per column");
        Check(v.iNewestColumn < s.nColumn, "newest column past the section");
        for (int c = 0; c < s.nColumn; ++c) {
            Check(s.nRow[static_cast<std::size_t>(c)] <= s.MaxRow(), "rows past the store");
            const LiveColumn& col = v.columns[static_cast<std::size_t>(c)];
            if (!col.bInverted) continue;
            Check(std::isfinite(col.fMisfit) && col.fMisfit >= 0.0f, "misfit not a number");
            for (int j = 0; j < s.nLayer; ++j) {
                const float r = s.fLayerResistivity[c][j];
                Check(std::isfinite(r) && r > 0.0f, "inverted resistivity not positive");
            }
        }
    });
    return 0;
}
