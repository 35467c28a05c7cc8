// Temporary folders and whole-file text for the section file tests.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace sectiontest {

namespace fs = std::filesystem;

// A folder of its own per test, removed afterwards.
class TempFolder {
public:
    TempFolder() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path = fs::temp_directory_path() / ("gantrel_sections_" + std::to_string(::getpid()) + "_" +
                                            info->test_suite_name() + "_" + info->name());
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    fs::path operator/(const std::string& name) const { return path / name; }

    fs::path path;
};

inline std::string ReadText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void WriteText(const fs::path& p, const std::string& text) {
    std::ofstream out(p, std::ios::binary);
    out << text;
}

// "\n" -> "\r\n", as the suite's writers end their lines.
inline std::string Crlf(const std::string& text) {
    std::string s;
    for (char c : text) {
        if (c == '\n') s += '\r';
        s += c;
    }
    return s;
}

}  // namespace sectiontest
