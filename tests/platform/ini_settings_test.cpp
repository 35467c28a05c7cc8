// The INI settings store of the headless programs against the windowed programs' store: both
// directions, in the same files, with the values that need quoting or escaping.
#include "common/ini_settings.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <functional>
#include <memory>
#include <sstream>

#include "platform/qt_settings.h"

namespace {

class IniSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = std::filesystem::temp_directory_path() /
               ("gantrel_ini_settings_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(root);
        std::filesystem::create_directories(root);
        setenv("XDG_CONFIG_HOME", (root / "user").c_str(), 1);
        setenv("XDG_CONFIG_DIRS", (root / "machine").c_str(), 1);
    }
    void TearDown() override {
        SetSettingsBackend(nullptr);
        std::filesystem::remove_all(root);
    }
    std::filesystem::path root;
};

std::string Slurp(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

const std::vector<std::string> kHardValues = {
    "/home/user/GantrelData",
    "a, b; c = d",
    "  blank at both ends ",
    "back\\slash \"quoted\"",
    "line\r\nbreak\ttab",
    "@at the start",
    "データ フォルダ",
    "",
    "12.500000",
};

TEST_F(IniSettingsTest, BothStoresUseTheSameFiles) {
    CIniSettingsBackend ini(kLoggingProgramTitle);
    CQtSettingsBackend qt(kLoggingProgramTitle);
    for (auto scope : {SettingsScope::Profile, SettingsScope::SuiteUser, SettingsScope::Plotter,
                       SettingsScope::SuiteMachine})
        EXPECT_EQ(ini.FileOf(scope), qt.FileOf(scope));
    EXPECT_EQ(ini.FileOf(SettingsScope::Profile),
              root / "user" / "Sarovin Applications" / "Tessick.ini");
}

TEST_F(IniSettingsTest, WhatOneStoreWritesTheOtherReads) {
    {
        CIniSettingsBackend ini(kLoggingProgramTitle);
        for (size_t i = 0; i < kHardValues.size(); ++i)
            ASSERT_TRUE(
                ini.WriteString(SettingsScope::Profile, "v" + std::to_string(i), kHardValues[i]));
        ASSERT_TRUE(ini.WriteInt(SettingsScope::Profile, "iFileID", 41));
        ASSERT_TRUE(ini.WriteString(SettingsScope::SuiteUser, "GPS_Active", "1"));
    }
    {
        CQtSettingsBackend qt(kLoggingProgramTitle);
        for (size_t i = 0; i < kHardValues.size(); ++i)
            EXPECT_EQ(qt.ReadString(SettingsScope::Profile, "v" + std::to_string(i)),
                      kHardValues[i])
                << i;
        EXPECT_EQ(qt.ReadInt(SettingsScope::Profile, "iFileID"), 41);
        EXPECT_EQ(qt.ReadInt(SettingsScope::SuiteUser, "GPS_Active"), 1);
        for (size_t i = 0; i < kHardValues.size(); ++i)
            qt.WriteString(SettingsScope::Profile, "w" + std::to_string(i), kHardValues[i]);
        qt.WriteInt(SettingsScope::Profile, "iFileID", 42);
    }
    CIniSettingsBackend ini(kLoggingProgramTitle);
    for (size_t i = 0; i < kHardValues.size(); ++i) {
        EXPECT_EQ(ini.ReadString(SettingsScope::Profile, "w" + std::to_string(i)), kHardValues[i])
            << i;
        EXPECT_EQ(ini.ReadString(SettingsScope::Profile, "v" + std::to_string(i)), kHardValues[i])
            << "kept through the other store's rewrite: " << i;
    }
    EXPECT_EQ(ini.ReadInt(SettingsScope::Profile, "iFileID"), 42);
}

TEST_F(IniSettingsTest, AbsentOrUnreadableValuesGiveTheDefaults) {
    CIniSettingsBackend ini(kLoggingProgramTitle);
    SetSettingsBackend(&ini);
    EXPECT_EQ(ReadSettingInt("iFileID", -1), -1) << "no file yet";
    const auto file = ini.FileOf(SettingsScope::Profile);
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << "garbage without equals\n[General]\r\niFileID=12x\n"
                                             "FolderPath = /data \r\n[Other]\nFolderPath=/no\n";
    EXPECT_EQ(ReadSettingInt("iFileID", -1), -1);
    EXPECT_EQ(ReadSettingString("FolderPath", ""), "/data");
    WriteSettingInt("iFileID", 3);
    EXPECT_EQ(ReadSettingInt("iFileID", -1), 3);
    EXPECT_EQ(ReadSettingString("FolderPath", ""), "/data");
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("[Other]\r\nFolderPath=/no\r\n"), std::string::npos)
        << "other sections are kept, CR LF line ends";
}

TEST_F(IniSettingsTest, AFailedWriteKeepsTheFile) {
    CIniSettingsBackend ini(kLoggingProgramTitle);
    ASSERT_TRUE(ini.WriteInt(SettingsScope::Profile, "iFileID", 5));
    const auto folder = ini.FileOf(SettingsScope::Profile).parent_path();
    std::filesystem::permissions(
        folder, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    const bool refused = !ini.WriteInt(SettingsScope::Profile, "iFileID", 6);
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
    if (::geteuid() != 0) {
        EXPECT_TRUE(refused);
    }
    EXPECT_EQ(ini.ReadInt(SettingsScope::Profile, "iFileID"), refused ? 5 : 6);
}

// A file as the store writes it comes back byte for byte: a value set again writes nothing,
// a changed value changes its own line only, a new key comes after the others.
TEST_F(IniSettingsTest, AFileIsWrittenBackAsItWasButForTheValueSet) {
    CIniSettingsBackend ini(kLoggingProgramTitle);
    const auto file = ini.FileOf(SettingsScope::Profile);
    std::filesystem::create_directories(file.parent_path());
    const std::string before =
        "[General]\r\nzeta=2\r\nalpha=\"x, y\"\r\nFolderPath=/d\\\\e\r\nempty=\r\n"
        "\r\n[Other]\r\nk=v\r\n";
    std::ofstream(file, std::ios::binary) << before;
    struct Step {
        const char* key;
        const char* value;
        std::string after;  // the whole file then
    } steps[] = {
        {"zeta", "2", before},
        {"FolderPath", "/d\\e", before},
        {"alpha", "changed",
         "[General]\r\nzeta=2\r\nalpha=changed\r\nFolderPath=/d\\\\e\r\nempty=\r\n"
         "\r\n[Other]\r\nk=v\r\n"},
        {"new", "1",
         "[General]\r\nzeta=2\r\nalpha=changed\r\nFolderPath=/d\\\\e\r\nempty=\r\nnew=1\r\n"
         "\r\n[Other]\r\nk=v\r\n"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.key);
        ASSERT_TRUE(ini.WriteString(SettingsScope::Profile, step.key, step.value));
        EXPECT_EQ(Slurp(file), step.after);
        EXPECT_EQ(ini.ReadString(SettingsScope::Profile, step.key), step.value);
    }
    EXPECT_FALSE(std::filesystem::exists(file.string() + ".tmp"));
}

// The file is parsed once, but what another program writes since is read.
TEST_F(IniSettingsTest, ReadsSeeWhatAnotherProgramWroteSince) {
    CIniSettingsBackend mine(kLoggingProgramTitle);
    CIniSettingsBackend other(kLoggingProgramTitle);
    const auto file = mine.FileOf(SettingsScope::Profile);
    const std::function<void()> writers[] = {
        [&] { other.WriteString(SettingsScope::Profile, "a", "from the other store"); },
        [&] { std::ofstream(file, std::ios::binary) << "[General]\r\na=edited by hand\r\n"; },
        [&] { std::filesystem::remove(file); },
    };
    const std::optional<std::string> expected[] = {"from the other store", "edited by hand",
                                                   std::nullopt};
    ASSERT_TRUE(mine.WriteString(SettingsScope::Profile, "a", "mine"));
    for (size_t i = 0; i < std::size(writers); ++i) {
        EXPECT_EQ(mine.ReadString(SettingsScope::Profile, "a"), "mine") << i;
        writers[i]();
        EXPECT_EQ(mine.ReadString(SettingsScope::Profile, "a"), expected[i]) << i;
        ASSERT_TRUE(mine.WriteString(SettingsScope::Profile, "a", "mine"));
    }
}

// Something in the settings file's place that cannot be read: both stores say which file and
// why, read the defaults and never write over it.
TEST_F(IniSettingsTest, UnreadableFilesGiveTheDefaultsAndAreNeverWrittenOver) {
    const auto file = CIniSettingsBackend(kLoggingProgramTitle).FileOf(SettingsScope::Profile);
    const auto elsewhere = root / "elsewhere";
    struct Case {
        const char* what;
        std::function<void()> make;
        const char* reason;
    } cases[] = {
        {"folder", [&] { std::filesystem::create_directories(file / "sub"); }, "Is a directory"},
        {"pipe", [&] { ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0); }, "not a regular file"},
        {"link to a folder",
         [&] {
             std::filesystem::create_directories(elsewhere);
             std::filesystem::create_directory_symlink(elsewhere, file);
         },
         "Is a directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(file.parent_path());
        std::filesystem::create_directories(file.parent_path());
        c.make();
        std::vector<std::unique_ptr<CSettingsBackend>> stores;
        stores.push_back(std::make_unique<CIniSettingsBackend>(kLoggingProgramTitle));
        stores.push_back(std::make_unique<CQtSettingsBackend>(kLoggingProgramTitle));
        for (auto& store : stores) {
            SetSettingsBackend(store.get());
            const std::string problem = SettingsProblem();
            EXPECT_EQ(problem.rfind(file.string() + ": ", 0), 0u) << problem;
            EXPECT_NE(problem.find(c.reason), std::string::npos) << problem;
            EXPECT_EQ(ReadSettingInt("iFileID", -1), -1);
            EXPECT_FALSE(store->WriteInt(SettingsScope::Profile, "iFileID", 3));
            EXPECT_EQ(store->FileProblem(SettingsScope::SuiteUser), "") << "not there yet";
            SetSettingsBackend(nullptr);
        }
        EXPECT_FALSE(std::filesystem::is_regular_file(file)) << "not replaced";
    }
}

}  // namespace

