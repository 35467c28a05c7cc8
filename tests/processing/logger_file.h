// Survey files in the logging program's layout for the processing tests.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>

#include "common/text_format.h"

namespace testdata {

namespace fs = std::filesystem;

// Writes a survey file in the logging program's layout: geometry, marker 0, readings (and
// GGA sentences) one second apart, a MARK every markerEvery readings, and the end marker.
// Markers sit at markerSpacing metres (0 gives markers without real distances).
inline void WriteLoggerFile(const fs::path& path, int readings, int markerEvery, double markerSpacing,
                     bool withGps, int lineId = 0) {
    CTextWriter w;
    ASSERT_TRUE(w.Open(path));
    auto clock = [](int s) { return FormatC(" 10:%.2d:%.2d.00 06/15/09", s / 60, s % 60); };
    w.Printf("33  GOHM %10.3f %10.3f %10.3f %10.3f%s 1 \n", 7.5, 2.5, 0.0, 2.5, clock(0).c_str());
    int marker = 0;
    auto mark = [&](int s) {
        w.Printf("3 %12.2f %12.2f %s%10d %11d %11d 5\n", 0.0, marker * markerSpacing,
                 clock(s).c_str(), 0, lineId, marker);
        ++marker;
    };
    mark(0);
    for (int i = 0; i < readings; ++i) {
        const int s = i + 1;
        if (withGps) {
            // Due north at about 1 m/s: 0.00054 minutes of latitude is about 1 m.
            const double minutes = 0.0 + s * 0.00054;
            w.Printf("21 $GPGGA,01%.2d%.2d.00,35%07.4f,N,13945.0000,E,1,08,1.0,20.0,M,,,,*00 %s\n",
                     s / 60, s % 60, minutes, clock(s).c_str());
        }
        w.Printf("30 5");
        for (int r = 0; r < 5; ++r) w.Printf("%10.3f %d%d ", 0.05 + 0.01 * r + 0.001 * i, 4, 0);
        w.Printf("%s\n", clock(s).c_str());
        if (markerEvery > 0 && (i + 1) % markerEvery == 0 && i + 1 < readings) mark(s);
    }
    mark(readings + 1);
    w.Close();
}

}  // namespace testdata
