#include "sectionfiles/res2dinv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "common/language.h"
#include "common/scripted_prompter.h"
#include "common/text_format.h"
#include "tests/sectionfiles/section_test_support.h"
#include "tests/support/small_disk.h"

namespace {

namespace fs = std::filesystem;
using sectiontest::Crlf;
using sectiontest::ReadText;
using sectiontest::TempFolder;
using sectiontest::WriteText;

std::string Header(int arrayType, int count) {
    return FormatC("Test line\n1.0\n%d\n%d\n1\n0\n", arrayType, count);
}

class Res2dinv : public ::testing::Test {
protected:
    void SetUp() override {
        SetLanguage(kLanguageEnglish);
        ASSERT_TRUE(
            store.Initialise(kStoreMaxColumn, kStoreMaxRow, kStoreMaxColumn, kStoreMaxLayer));
    }
    Res2dinvFile Read(const std::string& text) {
        WriteText(folder / "in.dat", text);
        return ReadRes2dinvFile(folder / "in.dat");
    }
    // Reads, classifies and grids with cell size w; the status of the step that stopped.
    Res2dinvStatus Import(const std::string& text, float w) {
        file = Read(text);
        EXPECT_TRUE(ReportRes2dinvFile(file, prompter));
        const Res2dinvStatus st = ClassifyRes2dinv(file, kinds, prompter);
        if (st != Res2dinvStatus::Ok) return st;
        return GridRes2dinv(file, kinds, w, store).status;
    }

    TempFolder folder;
    CTrevascDataOhm store;
    CScriptedPrompter prompter;
    Res2dinvFile file;
    Res2dinvRowKinds kinds;
};

TEST_F(Res2dinv, DipoleDipolePointBecomesHalfDipoleAndNFactorAndIsExportedBack) {
    ASSERT_EQ(Import(Header(3, 1) + "10.0 2.0 3 120.5\n", 1.0f), Res2dinvStatus::Ok);
    ASSERT_EQ(store.nColumn, 1);
    ASSERT_EQ(store.nRow[0], 1);
    EXPECT_EQ(store.fDipoleSize[0][0], 1.0f);
    EXPECT_EQ(store.fNFactor[0][0], 7.0f);
    EXPECT_EQ(store.fObserved[0][0], 120.5f);
    EXPECT_EQ(store.fColumnX[0], 10.0f);
    EXPECT_EQ(WriteRes2dinvFile(store, folder / "out.dat"), Res2dinvExportStatus::Ok);
    EXPECT_EQ(ReadText(folder / "out.dat"),
              Crlf("out.dat\n1.000000\n3\n1\n1\n0\n10.000000 2.000000 3.000000 120.500000\n"));
}

TEST_F(Res2dinv, PolePolePointKeepsItsSpacingAndNFactorMinusOne) {
    ASSERT_EQ(Import(Header(2, 2) + "0.0 5.0 80.0\n4.0 5.0 90.0\n", 1.0f), Res2dinvStatus::Ok);
    EXPECT_EQ(prompter.Messages(),
              (std::vector<std::string>{"pole-pole method", "0 nSeparationIndex=1"}));
    EXPECT_EQ(store.fDipoleSize[0][0], 5.0f);
    EXPECT_EQ(store.fNFactor[0][0], -1.0f);
    // An all pole-pole section goes back out as a pole-pole file.
    EXPECT_EQ(WriteRes2dinvFile(store, folder / "pp.dat"), Res2dinvExportStatus::Ok);
    EXPECT_EQ(ReadText(folder / "pp.dat"),
              Crlf("pp.dat\n5.000000\n2\n2\n1\n0\n0.000000 5.000000 80.000000\n"
                   "4.000000 5.000000 90.000000\n"));
}

TEST_F(Res2dinv, PointsAtTheLargestPositionHaveAColumnOfTheirOwn) {
    std::string text = Header(3, 11);
    for (int x = 0; x <= 10; ++x) text += FormatC("%d.0 2.0 1 %d.0\n", x, 100 + x);
    ASSERT_EQ(Import(text, 1.0f), Res2dinvStatus::Ok);
    ASSERT_EQ(store.nColumn, 11);
    EXPECT_EQ(store.fColumnX[0], 0.0f);
    EXPECT_EQ(store.fColumnX[10], 10.0f);
    EXPECT_EQ(store.nAveraged[9][0], 1);
    EXPECT_EQ(store.fObserved[9][0], 109.0f);
    EXPECT_EQ(store.fObserved[10][0], 110.0f);
    EXPECT_EQ(store.fCellSize, 1.0f);
    EXPECT_EQ(store.nRowKind, 1);
}

TEST_F(Res2dinv, ExportedSectionImportedAgainKeepsEveryPoint) {
    // As gridding leaves it: columns at cell centres min + (c + 0.5) w, a cell size and an
    // origin with no exact binary form, one column without rows.
    const float w = 0.7f, fMin = 0.3f;
    CTrevascDataOhm grid;
    ASSERT_TRUE(grid.Initialise(kStoreMaxColumn, kStoreMaxRow, kStoreMaxColumn, kStoreMaxLayer));
    grid.nColumn = 202;
    grid.fCellSize = w;
    int points = 0;
    for (int c = 0; c < grid.nColumn; ++c) {
        grid.fColumnX[c] = (static_cast<float>(c) + 0.5f) * w + fMin;
        grid.nRow[c] = c == 100 ? 0 : 5;
        for (int k = 0; k < grid.nRow[c]; ++k) {
            grid.fDipoleSize[c][k] = 1.25f;
            grid.fNFactor[c][k] = 3.0f + 2.0f * static_cast<float>(k);
            grid.fObserved[c][k] = 100.0f + static_cast<float>(c) + 0.125f * static_cast<float>(k);
            grid.nAveraged[c][k] = 3;
        }
        points += grid.nRow[c];
    }
    ASSERT_EQ(points, 1005);
    ASSERT_EQ(WriteRes2dinvFile(grid, folder / "out.dat"), Res2dinvExportStatus::Ok);
    ASSERT_EQ(Import(ReadText(folder / "out.dat"), w), Res2dinvStatus::Ok);
    ASSERT_EQ(file.points.size(), 1005u);
    ASSERT_EQ(store.nColumn, grid.nColumn);
    int back = 0;
    for (int c = 0; c < store.nColumn; ++c) {
        ASSERT_EQ(store.nRow[c], grid.nRow[c]) << "column " << c;
        EXPECT_NEAR(store.fColumnX[c], grid.fColumnX[c], 1e-4) << "column " << c;
        for (int k = 0; k < store.nRow[c]; ++k) {
            EXPECT_EQ(store.nAveraged[c][k], 1);
            EXPECT_EQ(store.fObserved[c][k], grid.fObserved[c][k]);
            EXPECT_NEAR(store.fNFactor[c][k], grid.fNFactor[c][k], 1e-5);
        }
        back += store.nRow[c];
    }
    EXPECT_EQ(back, 1005);
    // And once more: the second trip gives the first trip's file.
    ASSERT_EQ(WriteRes2dinvFile(store, folder / "again.dat"), Res2dinvExportStatus::Ok);
    const Res2dinvFile again = ReadRes2dinvFile(folder / "again.dat");
    EXPECT_EQ(again.nAnnounced, 1005);
    EXPECT_EQ(again.points.size(), 1005u);
    EXPECT_EQ(Res2dinvLeftOutText(file, 1005), "");
}

TEST_F(Res2dinv, CrOnlyLineEndsAreRead) {
    std::string text = Header(3, 2) + "0.0 2.0 1 100.0\n1.0 2.0 2 110.0\n";
    std::replace(text.begin(), text.end(), '\n', '\r');
    const Res2dinvFile f = Read(text);
    EXPECT_TRUE(f.bHeaderRead);
    EXPECT_EQ(f.nBadLine, 0);
    EXPECT_EQ(f.points.size(), 2u);
}

TEST_F(Res2dinv, LeftOutTextNamesLinesPointsAndCells) {
    // One unreadable line, a point whose cell average is not above 0, one announced point
    // missing.
    ASSERT_EQ(Import(Header(3, 4) + "0.0 2.0 1 100.0\nbad line\n1.0 2.0 1 -5.0\n2.0 2.0 1 90\n",
                     1.0f),
              Res2dinvStatus::Ok);
    int gridded = 0;
    for (int c = 0; c < store.nColumn; ++c)
        for (int k = 0; k < store.nRow[c]; ++k) gridded += store.nAveraged[c][k];
    EXPECT_EQ(gridded, 2);
    EXPECT_EQ(Res2dinvLeftOutText(file, gridded),
              (folder / "in.dat").string() +
                  ": 1 unreadable data line(s) left out, the first at line 8; 1 announced "
                  "point(s) missing from the file; 1 point(s) not in the section (no row for "
                  "their array, or a cell average not above 0)");
}

TEST_F(Res2dinv, ExportOnAFullDiskKeepsTheFileItWouldReplace) {
    testdata::CSmallDisk disk("res2dinv");
    if (!disk.Mounted()) GTEST_SKIP() << disk.Reason();
    std::string text = Header(3, 2000);
    for (int i = 0; i < 2000; ++i) text += FormatC("%d.0 2.0 %d %d.5\n", i / 20, 1 + i % 20, 100 + i);
    ASSERT_EQ(Import(text, 1.0f), Res2dinvStatus::Ok);
    const fs::path target = disk.Folder() / "out.dat";
    WriteText(target, "the export before\n");
    ASSERT_TRUE(disk.Fill());
    const auto names = disk.Names();
    SaveResult save;
    const Res2dinvExportStatus st = WriteRes2dinvFile(store, target, &save);
    EXPECT_EQ(st, Res2dinvExportStatus::WriteFailed);
    EXPECT_EQ(ReadText(target), "the export before\n");
    EXPECT_EQ(disk.Names(), names);
    EXPECT_EQ(Res2dinvExportMessage(st, target, &save),
              "Cannot write the file " + target.string() +
                  ": No space left on device. The file as it was before the save is kept.");
}

TEST_F(Res2dinv, CommasSeparateValuesLikeBlanks) {
    const Res2dinvFile commas = Read(Header(3, 1) + "10.0,2.0,3,120.5\n");
    const Res2dinvFile blanks = Read(Header(3, 1) + "10.0 2.0 3 120.5\n");
    ASSERT_EQ(commas.points.size(), 1u);
    EXPECT_EQ(commas.points[0].fX, blanks.points[0].fX);
    EXPECT_EQ(commas.points[0].fDipoleSize, blanks.points[0].fDipoleSize);
    EXPECT_EQ(commas.points[0].fNFactor, blanks.points[0].fNFactor);
    EXPECT_EQ(commas.points[0].fResistivity, blanks.points[0].fResistivity);
}

TEST_F(Res2dinv, OneMessagePerDipoleSizeInAscendingOrder) {
    ASSERT_EQ(
        Import(Header(3, 4) + "0.0 4.0 1 10.0\n0.0 2.0 1 20.0\n2.0 2.0 2 30.0\n2.0 2.0 1 40.0\n",
               1.0f),
        Res2dinvStatus::Ok);
    EXPECT_EQ(prompter.Messages(),
              (std::vector<std::string>{"dipole-dipole method : nDipoleIndex=2",
                                        "0 nSeparationIndex=2", "1 nSeparationIndex=1"}));
    // Rows in kind order: (1 m, N 3), (1 m, N 5), (2 m, N 3); column 0 lacks the second.
    ASSERT_EQ(store.nRow[0], 2);
    EXPECT_EQ(store.fDipoleSize[0][1], 2.0f);
    EXPECT_EQ(store.fNFactor[2][1], 5.0f);
    EXPECT_EQ(store.fObserved[2][0], 40.0f);
}

TEST_F(Res2dinv, FilesAsRealProgramsWriteThemAreRead) {
    const Res2dinvFile f = Read(
        "; made by a field program\nSurvey line A\n\n1.0\n3 R\n; data follow\n2\n1\n0\n"
        "0.0 2.0 1 10.0\n\n; second\n1.0, 2.0, 2, 20.0\n0\n0\n0\n0 0 0 0\n");
    EXPECT_EQ(f.sTitle, "Survey line A");
    EXPECT_EQ(f.iArrayType, 3);
    ASSERT_EQ(f.points.size(), 2u);
    EXPECT_EQ(f.nBadLine, 0);
    EXPECT_EQ(f.points[1].fNFactor, 5.0f);
    EXPECT_EQ(f.fMaxX, 1.0f);
}

TEST_F(Res2dinv, UnreadableHeaderNamesTheFileTheLineAndTheValue) {
    const Res2dinvFile f = Read("Line\n1.0\ndipole\n4\n");
    EXPECT_FALSE(ReportRes2dinvFile(f, prompter));
    EXPECT_EQ(
        prompter.Messages(),
        std::vector<std::string>{"Cannot read the file " + (folder / "in.dat").string() +
                                 " as a RES2DINV file: line 3 does not hold the array type."});
    prompter.ClearHistory();
    EXPECT_FALSE(ReportRes2dinvFile(Read("Line\n1.0\n3\n4\n1\n"), prompter));
    EXPECT_EQ(prompter.Messages(),
              std::vector<std::string>{"Cannot read the file " + (folder / "in.dat").string() +
                                       " as a RES2DINV file: line 6 does not hold the IP flag."});
}

TEST_F(Res2dinv, BadDataLinesAreLeftOutAndCounted) {
    // Every announced line is there; three of them cannot be read. The line after the data
    // (a topography count, say) is not taken for the fourth point.
    const Res2dinvFile f = Read(Header(3, 4) +
                                "0.0 2.0 1 10.0\n0.0 abc 1 10.0\n0.0 0.0 1 10.0\n1.0 2.0\n"
                                "5.0 2.0 1 20.0\n");
    EXPECT_EQ(f.points.size(), 1u);
    EXPECT_TRUE(ReportRes2dinvFile(f, prompter));
    const std::string name = (folder / "in.dat").string();
    EXPECT_EQ(prompter.Messages(),
              std::vector<std::string>{name +
                                       ": 3 of its 4 data lines could not be read and were left "
                                       "out; 1 data points were read.\nThe first line left out "
                                       "is line 8."});
}

TEST_F(Res2dinv, FileEndingBeforeTheAnnouncedPointsSaysHowManyLinesItHas) {
    const Res2dinvFile f = Read(Header(3, 3) + "0.0 2.0 1 10.0\n0.0 abc 1 10.0\n");
    EXPECT_EQ(f.points.size(), 1u);
    EXPECT_TRUE(ReportRes2dinvFile(f, prompter));
    const std::string name = (folder / "in.dat").string();
    EXPECT_EQ(prompter.Messages(),
              (std::vector<std::string>{
                  name + ": 1 of its 2 data lines could not be read and were left out; 1 data "
                         "points were read.\nThe first line left out is line 8.",
                  name + " announces 3 data points but has only 2 data lines."}));
}

TEST_F(Res2dinv, MoreDipoleSizesThanTheListHoldsAreRefused) {
    std::string text = Header(3, 51);
    for (int i = 0; i < 51; ++i) text += FormatC("0.0 %d.0 1 10.0\n", i + 1);
    EXPECT_EQ(Import(text, 1.0f), Res2dinvStatus::TooManyDipoleSizes);
    EXPECT_EQ(prompter.Messages(),
              std::vector<std::string>{(folder / "in.dat").string() +
                                       " holds more than 50 different dipole lengths; it cannot be "
                                       "imported."});
    EXPECT_EQ(store.nColumn, 0);
}

TEST_F(Res2dinv, MoreSeparationsThanAListHoldsAreRefused) {
    std::string text = Header(3, 101);
    for (int i = 0; i < 101; ++i) text += FormatC("0.0 2.0 %d 10.0\n", i + 1);
    EXPECT_EQ(Import(text, 1.0f), Res2dinvStatus::TooManySeparations);
    EXPECT_EQ(prompter.Messages().back(),
              (folder / "in.dat").string() +
                  " holds more than 100 different separations for one dipole length; it cannot "
                  "be imported.");
}

TEST_F(Res2dinv, CellSizesPastTheStoreLeaveItUnchanged) {
    CTrevascDataOhm small;
    ASSERT_TRUE(small.Initialise(4, 2, 4, 2));
    small.nColumn = 1;
    small.nRow[0] = 0;
    std::string text = Header(3, 4);
    for (int n = 1; n <= 3; ++n) text += FormatC("0.0 2.0 %d 10.0\n", n);
    text += "10.0 2.0 1 10.0\n";
    file = Read(text);
    ASSERT_EQ(ClassifyRes2dinv(file, kinds, prompter), Res2dinvStatus::Ok);
    EXPECT_EQ(GridRes2dinv(file, kinds, 2.0f, small).status, Res2dinvStatus::TooManyColumns);
    EXPECT_EQ(GridRes2dinv(file, kinds, 0.0f, small).status, Res2dinvStatus::BadCellSize);
    EXPECT_EQ(GridRes2dinv(file, kinds, NAN, small).status, Res2dinvStatus::BadCellSize);
    const Res2dinvGridResult rows = GridRes2dinv(file, kinds, 5.0f, small);
    EXPECT_EQ(rows.status, Res2dinvStatus::TooManyRows);
    EXPECT_EQ(rows.iColumn, 0);
    EXPECT_EQ(rows.nRowInColumn, 3);
    EXPECT_EQ(small.nColumn, 1);
    EXPECT_EQ(Res2dinvColumnCount(0.0f, 0.0f, 1.0f, 4), 1);
    EXPECT_EQ(Res2dinvColumnCount(0.0f, 1.0e30f, 1.0e-30f, 4), -2);
}

TEST_F(Res2dinv, EmptySectionExportsTheStartingSpacing) {
    EXPECT_EQ(WriteRes2dinvFile(store, folder / "e.dat"), Res2dinvExportStatus::Ok);
    EXPECT_EQ(ReadText(folder / "e.dat"), Crlf("e.dat\n5000.000000\n3\n0\n1\n0\n"));
}

TEST_F(Res2dinv, ExportThatCannotBeCreatedNamesTheFile) {
    EXPECT_EQ(WriteRes2dinvFile(store, folder / "x" / "a.dat"), Res2dinvExportStatus::CannotCreate);
    EXPECT_EQ(Res2dinvExportMessage(Res2dinvExportStatus::CannotCreate, folder / "x" / "a.dat"),
              "Cannot open the file " + (folder / "x" / "a.dat").string());
}

}  // namespace
