// Timing harness for the headless programs' INI settings store on a settings file of 50,000
// keys (about 1.5 MB): the best of a few runs of
//   - load: a new store's first read (the file parsed once),
//   - get all: every key read through the settings functions,
//   - set: one key changed, written back through a temporary and a rename,
//   - save: 100 keys changed one after the other, each written back.
// Wall times are the best of three runs; the processor time beside them is the steadier
// figure on a shared machine.
// Usage: settings_bench [folder]   (default: a new folder under the system temp folder)
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/bench_timing.h"
#include "common/ini_settings.h"
#include "common/settings.h"

namespace fs = std::filesystem;

namespace {
constexpr int kKeys = 50000;

std::string Key(int i) { return "key" + std::to_string(i); }
}  // namespace

int main(int argc, char** argv) {
    const fs::path folder = argc > 1 ? fs::path(argv[1])
                                     : fs::temp_directory_path() /
                                           ("settings_bench_" + std::to_string(::getpid()));
    fs::create_directories(folder);
    ::setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    const fs::path file = SettingsFilePath(SettingsScope::Profile, kLoggingProgramTitle);
    fs::create_directories(file.parent_path());
    {
        CIniDocument doc;
        for (int i = 0; i < kKeys; ++i)
            doc.Set("General", Key(i), "/home/user/GantrelData/line " + std::to_string(i));
        std::ofstream(file, std::ios::binary) << doc.Text();
    }
    std::printf("settings file of %d keys, %.1f MB: %s\n", kKeys,
                static_cast<double>(fs::file_size(file)) / 1e6, file.c_str());

    int failures = 0;
    const auto load = benchtiming::Best([&] {
        CIniSettingsBackend store(kLoggingProgramTitle);
        if (!store.ReadString(SettingsScope::Profile, Key(kKeys - 1))) ++failures;
    });
    CIniSettingsBackend store(kLoggingProgramTitle);
    SetSettingsBackend(&store);
    const auto getAll = benchtiming::Best([&] {
        for (int i = 0; i < kKeys; ++i)
            if (ReadSettingString(Key(i), "").empty()) ++failures;
    });
    int round = 0;
    const auto set = benchtiming::Best([&] {
        if (!store.WriteInt(SettingsScope::Profile, "iFileID", ++round)) ++failures;
    });
    const auto save = benchtiming::Best([&] {
        ++round;
        for (int i = 0; i < 100; ++i)
            if (!store.WriteInt(SettingsScope::Profile, Key(i), round)) ++failures;
    });
    SetSettingsBackend(nullptr);
    benchtiming::Print("load (first read)", load, 24);
    benchtiming::Print("get all 50,000", getAll, 24);
    benchtiming::Print("set one (written back)", set, 24);
    benchtiming::Print("save 100 changes", save, 24);
    if (argc <= 1) fs::remove_all(folder);
    if (failures != 0) std::printf("%d reads or writes failed\n", failures);
    return failures == 0 ? 0 : 1;
}
