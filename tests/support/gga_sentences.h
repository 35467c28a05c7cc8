// One table of GGA lines, as a receiver may send them, with the position both programs must
// take from each (or none): the logging program from the line it reads, the processing
// program from the "21" record the logging program stored.
#pragma once

#include <array>

namespace gga_table {

struct Case {
    const char* line;
    bool bFix;
    double dLatitude;   // degrees, south negative
    double dLongitude;  // degrees, west negative
};

inline constexpr std::array<Case, 20> kCases = {{
    {"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47", true, 48.1173,
     11.516666667},
    {"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47 rest of a line", true,
     48.1173, 11.516666667},
    {"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47xyz", true, 48.1173,
     11.516666667},
    {"\x7f@$GNGGA,1,3514.1234,s,13945.6789,w,1", true, -35.23539, -139.761315},
    {"$GPGGA,1,4807.,N,01131.,E", true, 48.116666667, 11.516666667},
    {"$GPGGA,1,0000.0000,N,17959.9999,W", true, 0.0, -179.999998333},
    {"$GPGGA,1,4807.038,N,01131.000", true, 48.1173, 11.516666667},
    {"$GPGGA,123519,,,,,0,00,,,M,,M,,*66", false, 0, 0},
    {"$GPGGA,1,-4807.038,N,01131.000,E", false, 0, 0},
    {"$GPGGA,1,+807.038,N,01131.000,E", false, 0, 0},
    {"$GPGGA,1,4807.0x8,N,01131.000,E", false, 0, 0},
    {"$GPGGA,1,4807.038,N,113,E", false, 0, 0},
    {"$GPGGA,1,4,N,01131.000,E", false, 0, 0},
    {"$GPGGA,1,4807.038,N,18000,E", false, 0, 0},
    {"$GPGGA,1,4807.038,N,18000.000,W", false, 0, 0},
    {"$GPGGA,1,9100.000,N,01131.000,E", false, 0, 0},
    {"$GPGGA,1,4860.000,N,01131.000,E", false, 0, 0},
    {"$GPGGA,1,4807.038e1,N,01131.000,E", false, 0, 0},
    {"$GPGGA,1,48 07.038,N,01131.000,E", false, 0, 0},
    {"$GPGGA,1,4807.038,N,0113.1000,E", false, 0, 0},
}};

}  // namespace gga_table
