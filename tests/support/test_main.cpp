// Test entry point shared by every test executable: pins the time zone and the locale, keeps
// Qt headless and keeps every test away from the user's real settings and runtime folder,
// whether the binary runs under ctest or by hand.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

namespace {
std::filesystem::path PrivateFolder(const char* name) {
    auto dir = std::filesystem::temp_directory_path() /
               ("gantrel-test-" + std::to_string(::getpid()) + "-" + name);
    std::filesystem::create_directories(dir);
    ::chmod(dir.c_str(), 0700);
    return dir;
}
}  // namespace

int main(int argc, char** argv) {
    ::setenv("TZ", "Asia/Tokyo", 1);
    ::tzset();
    ::setenv("LC_ALL", "C", 1);
    std::setlocale(LC_ALL, "C");
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const auto runtime = PrivateFolder("runtime");
    const auto config = PrivateFolder("config");
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    ::setenv("XDG_CONFIG_DIRS", (config / "machine").c_str(), 1);

    ::testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
    std::error_code ec;
    std::filesystem::remove_all(runtime, ec);
    std::filesystem::remove_all(config, ec);
    return status;
}
