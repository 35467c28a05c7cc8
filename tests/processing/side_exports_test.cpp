#include "processing/side_exports.h"

#include <gtest/gtest.h>

#include <sstream>

#include "common/record_time.h"
#include "common/survey_file.h"
#include "common/text_format.h"
#include "tests/processing/command_fixture.h"

namespace {

using namespace commandtest;

class SideExports : public CommandTest {};

TEST_F(SideExports, SurferTableHasARowPerValidReceiverValue) {
    CGantrelLine& line = AddLine(2, 2);
    CGantrelData& first = line.pData[0];
    first.dTransmitterX = 100.0;
    first.dTransmitterY = 200.0;
    first.dReceiverX[0] = 110.0;
    first.dReceiverY[0] = 204.0;
    first.iMarkerIndex = 0;
    line.pData[1].bValid[1] = 0;
    line.pData[1].iMarkerIndex = 1;
    AddLine(1, 1).bUse = 0;  // written all the same

    const fs::path path = folder / "table.dat";
    prompter.Push(path);
    ASSERT_TRUE(Run(kCmdExportSurfer));
    EXPECT_FALSE(ctx.failure);
    const auto rows = Lines(ReadText(path));
    ASSERT_EQ(rows.size(), 5u) << "header, receivers 1 and 2 of the first reading, receiver 1 "
                                  "of the second, the unused line's reading";
    EXPECT_EQ(rows[0], "X Y HEIGHT  Nfactor Ro  Raw_reading LINE MARK DEPTH TIME DATE");
    EXPECT_EQ(rows[1], FormatSurferRow(first, 0, 0));
    const std::string start =
        "105.00000 202.00000 0.00 " + FormatC("%.2f ", static_cast<double>(first.fNFactor[0]));
    EXPECT_EQ(rows[1].substr(0, start.size()), start) << "midpoint, height 0, n-factor";
    EXPECT_EQ(rows[3], FormatSurferRow(line.pData[1], 0, 0));
    EXPECT_NE(rows[3].find(" 0 1 "), std::string::npos) << "line 0, marker index 1";
    EXPECT_EQ(rows[4], FormatSurferRow(doc.survey.Line(1).pData[0], 0, 1));
    EXPECT_NE(ReadText(path).find("DATE\r\n"), std::string::npos) << "CR LF line ends";
}

TEST_F(SideExports, SurferTimeAndDateFieldsKeepTheirLeadingBlanks) {
    CGantrelLine& line = AddLine(1, 1);
    std::int64_t t = 0;
    ASSERT_TRUE(LocalCalendarTime(2009, 6, 15, 9, 8, 7, t));
    line.pData[0].time = t;
    line.pData[0].iMilliSecond = 65;
    const std::string row = FormatSurferRow(line.pData[0], 0, 0);
    const std::string tail = "  09:08:07.06  06/15/09";
    ASSERT_GE(row.size(), tail.size());
    EXPECT_EQ(row.substr(row.size() - tail.size()), tail);
}

TEST_F(SideExports, SurferTableReadsBackInAnIndependentReader) {
    if (!HaveTool("gmt")) GTEST_SKIP() << "gmt (Debian package gmt) is not installed";
    CGantrelLine& line = AddLine(4, 2);
    for (int i = 0; i < 4; ++i) {
        CGantrelData& d = line.pData[static_cast<size_t>(i)];
        d.dTransmitterX = 500000.0 + 10.0 * i;
        d.dTransmitterY = 4000000.0 + 2.0 * i;
        for (int j = 0; j < 2; ++j) {
            d.dReceiverX[j] = d.dTransmitterX + 5.0 * (j + 1);
            d.dReceiverY[j] = d.dTransmitterY + 1.0 * (j + 1);
        }
    }
    const fs::path path = folder / "surfer.dat";
    ASSERT_EQ(WriteSurferFile(doc.survey, path), "");
    // Nine numeric columns; the time and date are text.
    int status = 0;
    const std::string out =
        RunTool("gmt info -C -h1 -i0:8 '" + path.string() + "' 2>&1", status);
    ASSERT_EQ(status, 0) << out;
    std::istringstream in(out);
    std::vector<double> range;
    double v = 0;
    while (in >> v) range.push_back(v);
    ASSERT_EQ(range.size(), 18u) << out;
    EXPECT_DOUBLE_EQ(range[0], 500002.5);  // X from (tx + rx) / 2 of the first value
    EXPECT_DOUBLE_EQ(range[1], 500035.0);
    EXPECT_DOUBLE_EQ(range[2], 4000000.5);
    EXPECT_DOUBLE_EQ(range[3], 4000007.0);
    EXPECT_DOUBLE_EQ(range[4], 0.0);
    EXPECT_DOUBLE_EQ(range[5], 0.0);
    EXPECT_NEAR(range[10], 1.0, 1e-6);  // V/I of the first reading, receiver 1
    EXPECT_NEAR(range[11], 4.5, 1e-6);  // V/I of the last reading, receiver 2
    EXPECT_DOUBLE_EQ(range[12], 0.0);   // line index
    EXPECT_DOUBLE_EQ(range[13], 0.0);
}

TEST_F(SideExports, CurrentLevelsOfEveryReadingAndTheirCount) {
    AddLine(10, 2);
    AddLine(0, 0);
    const fs::path path = folder / "levels.txt";
    prompter.Push(path);
    ASSERT_TRUE(Run(kCmdSaveCurrentLevel));
    EXPECT_EQ(prompter.Messages(),
              std::vector<std::string>{"10 data were saved in " + path.string()});
    const auto rows = Lines(ReadText(path));
    ASSERT_EQ(rows.size(), 10u);
    EXPECT_EQ(rows[0], FormatC("0 2 4 2.500000 %f",
                               static_cast<double>(doc.survey.Line(0).pData[0].fResistivity[0])));
}

TEST_F(SideExports, EveryDestinationThatCannotBeCreatedIsReported) {
    AddLine(3, 1);
    view.iViewMode = kViewLineResistivity;
    const fs::path missing = folder / "no-such-folder" / "out.txt";
    for (int id : {kCmdExportSurfer, kCmdSaveCurrentLevel, kCmdSaveLineASCII}) {
        SCOPED_TRACE(id);
        prompter.ClearHistory();
        ctx.failure.reset();
        prompter.Push(missing);
        ASSERT_TRUE(Run(id));
        const auto messages = prompter.Messages();
        ASSERT_FALSE(messages.empty());
        EXPECT_EQ(messages.back(), "Cannot open the file " + missing.string());
        EXPECT_EQ(ctx.failure, "Cannot open the file " + missing.string());
        if (id == kCmdSaveCurrentLevel) {
            EXPECT_EQ(messages.front(), "0 data were saved in " + missing.string());
        }
    }
    EXPECT_FALSE(fs::exists(missing.parent_path()));
}

TEST_F(SideExports, LineTableOfTheCurrentLineOnlyInTheApparentResistivityView) {
    AddLine(2, 1);
    CGantrelLine& second = AddLine(2, 2);
    const fs::path path = folder / "line.txt";
    view.iViewMode = kViewSectionOriginal;
    EXPECT_FALSE(table.IsEnabled(ctx, kCmdSaveLineASCII));
    view.iViewMode = kViewLineResistivity;
    view.iCurrentLine = 1;
    prompter.Push(path);
    ASSERT_TRUE(Run(kCmdSaveLineASCII));
    const auto rows = Lines(ReadText(path));
    ASSERT_EQ(rows.size(), 2u);
    const CGantrelData& d = second.pData[1];
    EXPECT_EQ(rows[1], FormatC("%f  %f  %f  %f  %f %d ", static_cast<double>(d.fDistance),
                               static_cast<double>(d.fResistance[0]),
                               static_cast<double>(d.fResistance[1]),
                               static_cast<double>(d.fResistivity[0]),
                               static_cast<double>(d.fResistivity[1]), 4));
    std::string error;
    EXPECT_EQ(WriteLineTable(second, folder / "again.txt", error), 8) << "V/I and apparent "
                                                                         "resistivity of 2 x 2";
}

TEST_F(SideExports, SelketFileLeavesTheLoadedMarkersAlone) {
    AddLine(3, 1);
    CGantrelLine& line = AddLine(3, 1);
    for (auto& m : line.pMarker) m.dX = 3.0;
    CompleteLines(doc.survey);
    CGantrelSurvey expected;
    expected.CopyFrom(doc.survey);
    const fs::path byWriter = folder / "writer.stn";
    ASSERT_TRUE(WriteMappingFile(expected, byWriter));

    const fs::path path = folder / "selket.stn";
    prompter.Push(path);
    ASSERT_TRUE(Run(kCmdSaveSTN));
    EXPECT_EQ(ReadText(path), ReadText(byWriter)) << "the file is the mapping layout unchanged";
    EXPECT_NE(ReadText(path).find("10.00"), std::string::npos) << "markers 10 m per line there";
    for (const auto& m : doc.survey.Line(1).pMarker) {
        EXPECT_EQ(m.dX, 3.0);
        EXPECT_NE(m.iRecordType, 4);
    }
    const fs::path sto = folder / "after.sto";
    prompter.Push(sto);
    ASSERT_TRUE(Run(kCmdSaveGantrel));
    EXPECT_NE(ReadText(sto).find("3         3.00"), std::string::npos)
        << "the survey file keeps the markers' own coordinate";
}

}  // namespace
