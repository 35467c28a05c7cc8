// A serial port whose bytes come from memory: what a test, a benchmark or a fuzz target puts
// into `queued` is what the reader gets, in the pieces it asks for.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>

#include "common/serial_port.h"

class CMemorySerialPort : public CSerialPort {
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
