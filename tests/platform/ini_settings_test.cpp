// The INI settings store of the headless programs against the windowed programs' store: both
// directions, in the same files, with the values that need quoting or escaping.
#include "common/ini_settings.h"

#include <gtest/gtest.h>

#include <fstream>
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

}  // namespace
