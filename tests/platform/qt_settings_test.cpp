#include "platform/qt_settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

class QtSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = std::filesystem::temp_directory_path() /
               ("gantrel_qt_settings_" + std::to_string(::getpid()) + "_" +
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
    static std::string Slurp(const std::filesystem::path& p) {
        std::ifstream in(p);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    std::filesystem::path root;
};

TEST_F(QtSettingsTest, ValuesSurviveANewBackend) {
    {
        CQtSettingsBackend brivane(kProcessingProgramTitle);
        SetSettingsBackend(&brivane);
        WriteSettingReal("hscale", 12.5);
        WriteSettingInt("iSurveyConfiguration", 4);
        WriteSettingString("sProjectName", "North field");
        SetSettingsBackend(nullptr);
    }
    CQtSettingsBackend again(kProcessingProgramTitle);
    SetSettingsBackend(&again);
    EXPECT_EQ(ReadSettingReal("hscale", 1.0), 12.5);
    EXPECT_EQ(ReadSettingInt("iSurveyConfiguration", 2), 4);
    EXPECT_EQ(ReadSettingString("sProjectName", ""), "North field");
    EXPECT_EQ(ReadSettingReal("vscale", 20.0), 20.0);
    const auto file = again.FileOf(SettingsScope::Profile);
    EXPECT_EQ(file, root / "user" / "Sarovin Applications" / "Brivane.ini");
    EXPECT_NE(Slurp(file).find("12.500000"), std::string::npos) << "reals are kept as %f text";
    EXPECT_EQ(Slurp(file).rfind("[General]", 0), 0u) << "the profile is the section [General]";
    EXPECT_EQ(Slurp(file).find("%General"), std::string::npos);
}

TEST_F(QtSettingsTest, SuiteValuesWrittenByAnotherProgramAreSeen) {
    CQtSettingsBackend b(kProcessingProgramTitle);
    SetSettingsBackend(&b);
    WriteSuiteValue("GPS_Active", "0");
    EXPECT_EQ(ReadSuiteInt("GPS_Active", -7), 0);
    // The other program rewrites the shared file while this one runs.
    std::ofstream(root / "user" / "Sarovin Applications.ini")
        << "[General]\nGPS_Active=1\nLanguage=1\n";
    EXPECT_EQ(ReadSuiteInt("GPS_Active", -7), 1);
    EXPECT_EQ(ReadSuiteInt("Language", 0), 1);
}

TEST_F(QtSettingsTest, ProgramsHaveSeparateProfilesButShareSuiteValues) {
    CQtSettingsBackend brivane(kProcessingProgramTitle);
    CQtSettingsBackend tessick(kLoggingProgramTitle);
    SetSettingsBackend(&brivane);
    WriteSettingInt("WindowW", 810);
    WriteSuiteValue("Language", "1");
    WriteSuiteValue("LanguageRegister", "1");
    SetSettingsBackend(&tessick);
    EXPECT_EQ(ReadSettingInt("WindowW", -1), -1) << "the profiles are separate";
    EXPECT_EQ(ReadSuiteInt("Language", 0), 1) << "the language chosen in one program holds in both";
    EXPECT_EQ(ReadSuiteInt("LanguageRegister", 0), 1);
    EXPECT_TRUE(std::filesystem::exists(root / "user" / "Sarovin Applications.ini"));
}

TEST_F(QtSettingsTest, MachineAndPlotterValuesHaveTheirOwnPlaces) {
    CQtSettingsBackend b(kProcessingProgramTitle);
    SetSettingsBackend(&b);
    WriteMachineSuiteValue("Language", "1");
    WriteFlatFileName("/data/flat.dat");
    EXPECT_TRUE(std::filesystem::exists(root / "machine" / "Pelmo" / "Setting.ini"));
    EXPECT_TRUE(std::filesystem::exists(root / "user" / "Rundle" / "Setting.ini"));
    EXPECT_EQ(ReadFlatFileName(), "/data/flat.dat");
    EXPECT_EQ(ReadSuiteValue("Language", "0"), "0") << "machine-wide value is not the user's";
}

TEST_F(QtSettingsTest, RefusedMachineWriteIsSilent) {
    // A file where the folder should be: the machine-wide store cannot be created.
    std::ofstream(root / "blocked") << "x";
    setenv("XDG_CONFIG_DIRS", (root / "blocked").c_str(), 1);
    CQtSettingsBackend b(kProcessingProgramTitle);
    SetSettingsBackend(&b);
    WriteMachineSuiteValue("Language", "1");  // must neither throw nor crash
    EXPECT_FALSE(b.WriteString(SettingsScope::SuiteMachine, "Language", "1"));
    WriteSuiteValue("Language", "1");
    EXPECT_EQ(ReadSuiteInt("Language", 0), 1);
}

TEST_F(QtSettingsTest, UnreadableValuesFallBackToDefaults) {
    std::filesystem::create_directories(root / "user" / "Sarovin Applications");
    std::ofstream(root / "user" / "Sarovin Applications" / "Brivane.ini")
        << "[General]\nxCellSize=abc\nWindowX=12x\n";
    CQtSettingsBackend b(kProcessingProgramTitle);
    SetSettingsBackend(&b);
    EXPECT_EQ(ReadSettingReal("xCellSize", 5.0), 5.0);
    EXPECT_EQ(ReadSettingInt("WindowX", 3), 3);
}

}  // namespace
