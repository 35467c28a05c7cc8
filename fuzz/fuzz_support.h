// Pieces the fuzz targets share: a serial port fed from the input, and a file read back whole.
#pragma once

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "common/serial_port.h"

namespace fuzzsupport {

// A serial port that hands out what the input put into it.
class CMemoryPort : public CSerialPort {
public:
    std::string queued;
    long BytesQueued() override { return static_cast<long>(queued.size()); }
    long Read(char* buffer, std::size_t n) override {
        n = std::min(n, queued.size());
        std::memcpy(buffer, queued.data(), n);
        queued.erase(0, n);
        return static_cast<long>(n);
    }
    void Close() override {}
};

inline std::string ReadAll(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace fuzzsupport
