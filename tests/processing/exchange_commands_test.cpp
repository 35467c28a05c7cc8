#include "processing/exchange_commands.h"

#include <gtest/gtest.h>

#include <pugixml.hpp>

#include "tests/processing/command_fixture.h"

namespace {

using namespace commandtest;

class XmlCommand : public CommandTest {
protected:
    // The electrode-array builder writes its "SetData.txt" into the current folder.
    void SetUp() override {
        CommandTest::SetUp();
        previous = fs::current_path();
        fs::current_path(folder.path);
    }
    void TearDown() override {
        fs::current_path(previous);
        CommandTest::TearDown();
    }
    fs::path previous;
    // n dipole-dipole columns 10 m apart (a = 2.5, N = 3) with a model of the given layer tops
    // under each, resistivity 100 + column.
    void MakeModel(int n, const std::vector<float>& tops, float cellSize = 2.0f) {
        CTrevascDataOhm& s = doc.store;
        s.nColumn = s.nBoundaryColumn = s.nModelColumn = n;
        s.nLayer = s.nBoundary = static_cast<int>(tops.size());
        s.fCellSize = cellSize;
        for (int c = 0; c < n; ++c) {
            s.fColumnX[c] = 10.0f * static_cast<float>(c) + 50.0f;
            s.nRow[c] = 1;
            s.fDipoleSize[c][0] = 2.5f;
            s.fNFactor[c][0] = 3.0f;
            s.fObserved[c][0] = 90.0f + static_cast<float>(c);
            s.nAveraged[c][0] = 1;
            for (size_t j = 0; j < tops.size(); ++j) {
                s.fBoundaryX[c][static_cast<int>(j)] = s.fColumnX[c];
                s.fBoundaryElevation[c][static_cast<int>(j)] = tops[j];
                s.fLayerResistivity[c][static_cast<int>(j)] = 100.0f + static_cast<float>(c);
            }
        }
    }
};

TEST_F(XmlCommand, SectionBaseIsClosedBelowTheDeepestLayer) {
    MakeModel(3, {0.0f, -2.0f});
    // A deeper last boundary in the middle column: the straight line would lie above it.
    doc.store.fBoundaryElevation[1][1] = -6.0f;
    DunvarDataSet set;
    const StandardXmlSection s = BuildStandardXmlSection(doc.store, set);
    EXPECT_EQ(s.nx, 2);
    EXPECT_EQ(s.nz, 2);
    ASSERT_EQ(s.nodeZ.size(), 9u);
    // d = 2: column 0 at -2 - 6 = -8; column 2 at the deeper of -2 - 3 = -5 and the line's -8.
    EXPECT_FLOAT_EQ(s.nodeZ[2], -8.0f);
    EXPECT_FLOAT_EQ(s.nodeZ[5], -9.0f) << "1.5 d below its own -6, deeper than the line";
    EXPECT_FLOAT_EQ(s.nodeZ[8], -8.0f);
    EXPECT_FLOAT_EQ(s.nodeX[5], 60.0f) << "the closing row keeps the column's position";
    EXPECT_FLOAT_EQ(s.nodeZ[4], -6.0f);
    ASSERT_EQ(s.elementResistivity.size(), 4u);
    EXPECT_FLOAT_EQ(s.elementResistivity[2], 101.0f) << "element (1, 0)";
}

TEST_F(XmlCommand, SlopingLineBetweenTheEndColumns) {
    MakeModel(3, {0.0f, -1.0f}, 1.0f);
    doc.store.fBoundaryElevation[2][1] = -5.0f;
    DunvarDataSet set;
    const StandardXmlSection s = BuildStandardXmlSection(doc.store, set);
    // Ends at -1 - 3 = -4 and -5 - 3 = -8: the line gives -6 under the middle column, deeper
    // than its own -1 - 1.5.
    EXPECT_FLOAT_EQ(s.nodeZ[2], -4.0f);
    EXPECT_FLOAT_EQ(s.nodeZ[5], -6.0f);
    EXPECT_FLOAT_EQ(s.nodeZ[8], -8.0f) << "the deeper of -6.5 and the line's -8";
}

TEST_F(XmlCommand, AnsweringNoWritesEnglishTagsWithTheData) {
    EXPECT_FALSE(table.IsEnabled(ctx, kCmdSaveXMLProcessed)) << "no model yet";
    MakeModel(3, {0.0f, -2.0f});
    ASSERT_TRUE(table.IsEnabled(ctx, kCmdSaveXMLProcessed));
    const fs::path path = folder / "model.xml";
    prompter.Push(path);
    prompter.Push(PromptAnswer::No);
    ASSERT_TRUE(Run(kCmdSaveXMLProcessed));
    EXPECT_FALSE(ctx.failure);
    EXPECT_EQ(ReadSettingInt("bJapaneseXML", -1), 0);
    pugi::xml_document xml;
    ASSERT_TRUE(xml.load_file(path.c_str()));
    const pugi::xml_node root = xml.child("geophysical_sections");
    EXPECT_STREQ(root.child_value("language"), "English");
    const pugi::xml_node data = root.child("line").child("resistivity_2d");
    EXPECT_STREQ(data.child("resistivity_2d_position").child_value(
                     "resistivity_2d_position_n_position"),
                 "8")
        << "four electrodes per column, two shared with the next";
    EXPECT_STREQ(data.child("resistivity_2d_data").child_value("resistivity_2d_data_n_data"), "3");
    EXPECT_STREQ(data.child("resistivity_2d_data")
                     .child("resistivity_2d_data_data")
                     .child_value("resistivity_2d_data_data_c1_index"),
                 "1");

    prompter.Push(folder / "ja.xml");
    prompter.Push(PromptAnswer::Yes);
    ASSERT_TRUE(Run(kCmdSaveXMLProcessed));
    EXPECT_EQ(ReadSettingInt("bJapaneseXML", -1), 1);
    pugi::xml_document ja;
    ASSERT_TRUE(ja.load_file((folder / "ja.xml").c_str()));
    EXPECT_STREQ(ja.child("物理探査結果").child_value("language"), "日本語");
}

TEST_F(XmlCommand, CancelWritesNothing) {
    MakeModel(2, {0.0f, -2.0f});
    prompter.PushCancel();
    ASSERT_TRUE(Run(kCmdSaveXMLProcessed));
    EXPECT_TRUE(fs::is_empty(folder.path));
    EXPECT_EQ(ReadSettingInt("bJapaneseXML", -1), -1);
}

}  // namespace
