// What the fuzz targets share: a file read back whole (their serial ports are
// common/memory_serial_port.h).
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fuzzsupport {

inline std::string ReadAll(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace fuzzsupport
