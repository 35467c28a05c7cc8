#include "common/settings.h"

#include <gtest/gtest.h>

#include "common/memory_settings.h"

namespace {

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override { SetSettingsBackend(&store); }
    void TearDown() override { SetSettingsBackend(nullptr); }
    CMemorySettingsBackend store;
};

TEST_F(SettingsTest, RealsAreStoredAsSixDecimalText) {
    WriteSettingReal("xCellSize", 12.5);
    EXPECT_EQ(store.ReadString(SettingsScope::Profile, "xCellSize"), "12.500000");
    EXPECT_EQ(ReadSettingReal("xCellSize", 5.0), 12.5);
    WriteSettingReal("tiny", 1.0000004);
    EXPECT_EQ(ReadSettingReal("tiny", 0.0), 1.0) << "six decimals are all that is kept";
    WriteSettingReal("negative", -0.25);
    EXPECT_EQ(store.ReadString(SettingsScope::Profile, "negative"), "-0.250000");
}

TEST_F(SettingsTest, MissingOrUnreadableValuesYieldTheDefault) {
    EXPECT_EQ(ReadSettingReal("missing", 5.0), 5.0);
    EXPECT_EQ(ReadSettingInt("missing", 7), 7);
    EXPECT_EQ(ReadSettingString("missing", "abc"), "abc");
    store.WriteString(SettingsScope::Profile, "garbage", "not a number");
    EXPECT_EQ(ReadSettingReal("garbage", 2.0), 2.0);
    store.WriteString(SettingsScope::Profile, "huge", "1e999");
    EXPECT_EQ(ReadSettingReal("huge", 2.0), 2.0);
    store.WriteString(SettingsScope::Profile, "prefix", " 3.5abc");
    EXPECT_EQ(ReadSettingReal("prefix", 2.0), 3.5) << "like %f, the number prefix counts";
}

TEST_F(SettingsTest, ScopesAreSeparate) {
    WriteSettingInt("Language", 1);
    EXPECT_EQ(ReadSuiteInt("Language", 0), 0);
    WriteSuiteInt("Language", 1);
    EXPECT_EQ(ReadSuiteValue("Language"), "1");
    EXPECT_EQ(ReadSuiteInt("Language", 0), 1);
    WriteMachineSuiteValue("LanguageRegister", "1");
    EXPECT_EQ(ReadSuiteInt("LanguageRegister", 0), 0);
    EXPECT_TRUE(store.Contains(SettingsScope::SuiteMachine, "LanguageRegister"));
    WriteFlatFileName("/tmp/flat.dat");
    EXPECT_EQ(ReadFlatFileName(), "/tmp/flat.dat");
    EXPECT_FALSE(store.Contains(SettingsScope::Profile, "Marbeck_flat_file_name"));
}

TEST_F(SettingsTest, RefusedMachineWriteIsSilent) {
    store.bRefuseMachineWrites = true;
    WriteMachineSuiteValue("Language", "1");
    EXPECT_FALSE(store.Contains(SettingsScope::SuiteMachine, "Language"));
}

TEST_F(SettingsTest, IntegersAndStrings) {
    WriteSettingInt("iSurveyConfiguration", 4);
    EXPECT_EQ(ReadSettingInt("iSurveyConfiguration", 2), 4);
    WriteSettingString("sProjectName", "Line \xE6\x97\xA5 north");
    EXPECT_EQ(ReadSettingString("sProjectName", ""), "Line \xE6\x97\xA5 north");
    // An integer asked of a string value is absent as an integer.
    EXPECT_EQ(ReadSettingInt("sProjectName", -3), -3);
    store.WriteString(SettingsScope::SuiteUser, "iUTMZone", "x54");
    EXPECT_EQ(ReadSuiteInt("iUTMZone", 0), 0);
}

TEST(SettingsDefaultBackend, UsableWithoutInstallingOne) {
    SetSettingsBackend(nullptr);
    WriteSettingInt("probe", 3);
    EXPECT_EQ(ReadSettingInt("probe", 0), 3);
}

}  // namespace
