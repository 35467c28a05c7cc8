#include "sectionfiles/ovs_file.h"

#include <gtest/gtest.h>

#include <cmath>

#include "common/language.h"
#include "common/memory_settings.h"
#include "common/record_time.h"
#include "common/resistivity.h"
#include "common/scripted_prompter.h"
#include "common/settings.h"
#include "common/text_format.h"
#include "tests/sectionfiles/section_test_support.h"
#include "tests/support/small_disk.h"

namespace {

using sectiontest::Crlf;
using sectiontest::ReadText;
using sectiontest::TempFolder;
using sectiontest::WriteText;

// Values chosen exact in binary and in six decimals, so that a written and read store can be
// compared value for value.
void FillDipoleSection(CTrevascDataOhm& s) {
    s.nColumn = 3;
    s.fCellSize = 2.5f;
    const int rows[] = {2, 1, 3};
    for (int c = 0; c < 3; ++c) {
        s.fColumnX[c] = 1.25f + 2.5f * static_cast<float>(c);
        s.fColumnAux[c] = c == 1 ? 0.5f : 0.0f;
        s.nRow[c] = rows[c];
        for (int k = 0; k < rows[c]; ++k) {
            s.fDipoleSize[c][k] = 1.25f * static_cast<float>(k + 1);
            s.fCalculated[c][k] = 90.0f + 0.125f * static_cast<float>(c * 10 + k);
            s.fObserved[c][k] = 100.0f + 0.25f * static_cast<float>(c * 10 + k);
            s.fNFactor[c][k] = 3.0f + 2.0f * static_cast<float>(k);
            s.nAveraged[c][k] = 4 + c + k;
        }
    }
}

void FillModel(CTrevascDataOhm& s, int nLayer) {
    s.nBoundaryColumn = s.nModelColumn = s.nColumn;
    s.nBoundary = s.nLayer = nLayer;
    for (int c = 0; c < s.nColumn; ++c) {
        for (int j = 0; j < nLayer; ++j) {
            s.fBoundaryX[c][j] = s.fColumnX[c];
            s.fBoundaryElevation[c][j] = -0.75f * static_cast<float>(j * j);
            s.fLayerResistivity[c][j] = 50.0f + 12.5f * static_cast<float>(c + j);
            s.fLayerAux[c][j] = j + 1 < nLayer ? 0.5f * static_cast<float>(j) : 0.0f;
        }
        s.fModelColumnX[c] = s.fColumnX[c];
    }
}

void ExpectSameSection(const CTrevascDataOhm& a, const CTrevascDataOhm& b) {
    ASSERT_EQ(a.nColumn, b.nColumn);
    EXPECT_EQ(a.fCellSize, b.fCellSize);
    for (int c = 0; c < a.nColumn; ++c) {
        SCOPED_TRACE(c);
        EXPECT_EQ(a.fColumnX[c], b.fColumnX[c]);
        EXPECT_EQ(a.fColumnAux[c], b.fColumnAux[c]);
        ASSERT_EQ(a.nRow[c], b.nRow[c]);
        for (int k = 0; k < a.nRow[c]; ++k) {
            EXPECT_EQ(a.fCalculated[c][k], b.fCalculated[c][k]);
            EXPECT_EQ(a.fObserved[c][k], b.fObserved[c][k]);
            EXPECT_EQ(a.nAveraged[c][k], b.nAveraged[c][k]);
            if (a.bGeneralArray == 1) {
                ASSERT_NE(b.pElectrode[c][k], nullptr);
                const FourElectrodeGeometry& e = *a.pElectrode[c][k];
                const FourElectrodeGeometry& f = *b.pElectrode[c][k];
                EXPECT_EQ(e.fA, f.fA);
                EXPECT_EQ(e.fB, f.fB);
                EXPECT_EQ(e.fM, f.fM);
                EXPECT_EQ(e.fN, f.fN);
                EXPECT_EQ(e.fK, f.fK);
            } else {
                EXPECT_EQ(a.fDipoleSize[c][k], b.fDipoleSize[c][k]);
                EXPECT_EQ(a.fNFactor[c][k], b.fNFactor[c][k]);
            }
        }
    }
}

void ExpectSameModel(const CTrevascDataOhm& a, const CTrevascDataOhm& b) {
    ASSERT_EQ(a.nBoundaryColumn, b.nBoundaryColumn);
    ASSERT_EQ(a.nBoundary, b.nBoundary);
    ASSERT_EQ(a.nModelColumn, b.nModelColumn);
    ASSERT_EQ(a.nLayer, b.nLayer);
    for (int c = 0; c < a.nBoundaryColumn; ++c) {
        EXPECT_EQ(b.fBoundaryColumnX[c], a.fBoundaryX[c][0]);
        for (int j = 0; j < a.nBoundary; ++j) {
            EXPECT_EQ(a.fBoundaryX[c][j], b.fBoundaryX[c][j]);
            EXPECT_EQ(a.fBoundaryElevation[c][j], b.fBoundaryElevation[c][j]);
        }
    }
    for (int c = 0; c < a.nModelColumn; ++c) {
        EXPECT_EQ(b.fModelColumnX[c], a.fBoundaryX[c][0]);
        for (int j = 0; j + 1 < a.nLayer; ++j) EXPECT_EQ(a.fLayerAux[c][j], b.fLayerAux[c][j]);
        for (int j = 0; j < a.nLayer; ++j)
            EXPECT_EQ(a.fLayerResistivity[c][j], b.fLayerResistivity[c][j]);
    }
}

class SectionFile : public ::testing::Test {
protected:
    void SetUp() override {
        SetSettingsBackend(&settings);
        SetLanguage(kLanguageEnglish);
        ASSERT_TRUE(store.Initialise(50, kStoreMaxRow, 50, kStoreMaxLayer));
        ASSERT_TRUE(back.Initialise(50, kStoreMaxRow, 50, kStoreMaxLayer));
    }
    void TearDown() override { SetSettingsBackend(nullptr); }

    // One line of two readings between two markers, a fix-free survey with two flags.
    void MakeSurvey() {
        CGantrelLine& line = *survey.AddLine();
        line.pGeometry->fTransmitterDipole = line.pGeometry->fReceiverDipole = 2.5f;
        std::int64_t t0 = 0;
        ASSERT_TRUE(LocalCalendarTime(2009, 6, 15, 12, 0, 0, t0));
        line.pGeometry->time = t0;
        for (int m = 0; m < 2; ++m) {
            CMarkerData& marker = *line.AddMarker();
            marker.time = t0 + 10 * m;
            marker.dY = marker.fDistance = 20.0f * static_cast<float>(m);
            marker.iMarkerNumber = m;
            marker.iDataIndex = m;
        }
        for (int i = 0; i < 2; ++i) {
            CGantrelData& d = *line.AddData();
            d.time = t0 + 2 + 5 * i;
            d.nReceiver = 2;
            d.fResistance[0] = 1.5f + static_cast<float>(i);
            d.fResistance[1] = 0.75f;
            d.iCurrentLevel[0] = d.iCurrentLevel[1] = 5;
            d.bValid[1] = i;  // the first reading's second value was recorded invalid
            d.fDistance = 5.0f + 10.0f * static_cast<float>(i);
            d.bDistance = 1;
            ComputeResistivity(d, *line.pGeometry);
            d.fResistivity[0] = 33.5f + static_cast<float>(i);  // edited values are kept
        }
        line.nMaxReceiver = 2;
        survey.bMarkerDistance = 1;
        for (int f = 0; f < 2; ++f) {
            CFlagLocation& flag = *survey.AddFlag();
            flag.dX = 1000.5 + f;
            flag.dY = 2000.25;
            flag.fDistance = 12.5f * static_cast<float>(f);
        }
    }

    SectionFileStatus Read(const std::string& text) {
        WriteText(folder / "s.ovs", text);
        return ReadSectionFile(back, folder / "s.ovs", readSurvey);
    }

    CMemorySettingsBackend settings;
    TempFolder folder;
    CTrevascDataOhm store, back;
    CGantrelSurvey survey, readSurvey;
    CScriptedPrompter prompter;
};

TEST_F(SectionFile, DipoleSectionAndModelComeBackValueForValue) {
    FillDipoleSection(store);
    FillModel(store, 4);
    ASSERT_TRUE(WriteSectionFile(store, folder / "a.ovs", &survey));
    const SectionFileStatus st = ReadSectionFile(back, folder / "a.ovs", readSurvey);
    EXPECT_EQ(st.eProblem, SectionFileProblem::None);
    EXPECT_EQ(back.iVersion, 8);
    EXPECT_EQ(back.iDataType, 3);
    EXPECT_EQ(back.bGeneralArray, 0);
    ExpectSameSection(store, back);
    ExpectSameModel(store, back);
}

TEST_F(SectionFile, FourElectrodeRowsComeBackWithTheirGeometry) {
    FillDipoleSection(store);
    FillModel(store, 2);
    store.bGeneralArray = 1;
    for (int c = 0; c < store.nColumn; ++c) {
        for (int k = 0; k < store.nRow[c]; ++k) {
            auto e = std::make_unique<FourElectrodeGeometry>();
            e->fA = 0.0f;
            e->fB = 1.25f;
            e->fM = 8.0f + 2.5f * static_cast<float>(k);
            e->fN = e->fM + 2.5f;
            CompleteElectrodes(*e);
            store.pElectrode[c][k] = std::move(e);
        }
    }
    ASSERT_TRUE(WriteSectionFile(store, folder / "g.ovs", nullptr));
    const std::string text = ReadText(folder / "g.ovs");
    // Observed, calculated, count, then A, B, N, M.
    EXPECT_NE(text.find("100.000000 90.000000 4 0.000000 1.250000 10.500000 8.000000 \r\n"),
              std::string::npos);
    ReadSectionFile(back, folder / "g.ovs", readSurvey);
    EXPECT_EQ(back.iDataType, 4);
    EXPECT_EQ(back.bGeneralArray, 1);
    EXPECT_EQ(readSurvey.bDifferentSize, 1);
    ExpectSameSection(store, back);
    EXPECT_EQ(back.pElectrode[0][0]->fAN, 10.5f);
    EXPECT_EQ(back.pElectrode[0][0]->fBM, 6.75f);
}

TEST_F(SectionFile, VersionSevenLayoutIsWrittenWithoutSurvey) {
    store.nColumn = 2;
    store.fCellSize = 5.0f;
    store.fColumnX[0] = 1.5f;
    store.fColumnX[1] = 2.5f;
    store.nRow[0] = store.nRow[1] = 1;
    store.fDipoleSize[0][0] = 1.25f;
    store.fCalculated[0][0] = 10.5f;
    store.nAveraged[0][0] = 3;
    store.fObserved[0][0] = 12.25f;
    store.fNFactor[0][0] = 3.0f;
    store.fDipoleSize[1][0] = 2.5f;
    store.nAveraged[1][0] = 1;
    store.fObserved[1][0] = 20.0f;
    store.fNFactor[1][0] = 1.5f;
    FillModel(store, 2);
    ASSERT_TRUE(WriteSectionFile(store, folder / "v7.ovs", nullptr));
    EXPECT_EQ(ReadText(folder / "v7.ovs"), Crlf("2000 7 3.000000\n"
                                                "3 2 5.000000\n"
                                                "1.500000 1 0.000000\n"
                                                "1.250000 10.500000 3 12.250000 3.000000\n"
                                                "2.500000 1 0.000000\n"
                                                "2.500000 0.000000 1 20.000000 1.500000\n"
                                                "2 2 \n"
                                                " 1.500000  1.500000  \n"
                                                " -0.000000  -0.750000  \n"
                                                " 2.500000  2.500000  \n"
                                                " -0.000000  -0.750000  \n"
                                                " 0 \n"
                                                " 2 2 \n"
                                                " 1.500000 \n"
                                                " 0.000000  \n"
                                                " 50.000000  62.500000  \n"
                                                " 2.500000 \n"
                                                " 0.000000  \n"
                                                " 62.500000  75.000000  \n"));
}

TEST_F(SectionFile, SurveySectionsFollowTheModelInVersionEight) {
    MakeSurvey();
    FillDipoleSection(store);
    ASSERT_TRUE(WriteSectionFile(store, folder / "s.ovs", &survey));
    const std::string text = ReadText(folder / "s.ovs");
    const std::string tail = text.substr(text.find("//*"));
    EXPECT_EQ(tail.substr(0, tail.find("33  GOHM")),
              Crlf("//* GPS_flags *// \n2\n1000.500000 2000.250000 0.000000 \n"
                   "1001.500000 2000.250000 12.500000 \n"
                   "//* Markers *// \n1\n2\n0.000000\n20.000000\n"
                   "//* Original_data and Resistivity*// \n"));
    // Status digits are written, and the invalid value keeps its minus sign.
    EXPECT_NE(tail.find(" -50 "), std::string::npos);
}

TEST_F(SectionFile, SurveyRecordsAndFlagsAreReadBackInResistivityMode) {
    MakeSurvey();
    FillDipoleSection(store);
    ASSERT_TRUE(WriteSectionFile(store, folder / "s.ovs", &survey));
    // Lines already in the survey are replaced by those of the file.
    readSurvey.AddLine();
    readSurvey.nFlag = 0;
    ASSERT_EQ(ReadSectionFile(back, folder / "s.ovs", readSurvey, prompter), 0);
    EXPECT_EQ(prompter.Messages(),
              (std::vector<std::string>{"Number of GPS flags = 2", "Number of lines = 1"}));
    ASSERT_EQ(readSurvey.nFlag, 2);
    EXPECT_EQ(readSurvey.pFlag[1].dX, 1001.5);
    EXPECT_EQ(readSurvey.pFlag[1].fDistance, 12.5f);
    ASSERT_EQ(readSurvey.nLine, 1);
    const CGantrelLine& line = readSurvey.Line(0);
    ASSERT_EQ(line.nData(), 2);
    EXPECT_EQ(line.pData[0].fResistivity[0], 33.5f);
    EXPECT_EQ(line.pData[1].fResistivity[0], 34.5f);
    EXPECT_EQ(line.pData[0].bValid[1], 0);
    EXPECT_EQ(line.pData[0].iCurrentLevel[0], 5);
    ASSERT_EQ(line.nMarker(), 2);
    EXPECT_EQ(line.fMinDistance, 0.0f);
    EXPECT_EQ(line.fMaxDistance, 20.0f);
}

TEST_F(SectionFile, CountsOfTheReadRecordsAreReportedInTheCurrentLanguage) {
    MakeSurvey();
    FillDipoleSection(store);
    ASSERT_TRUE(WriteSectionFile(store, folder / "s.ovs", &survey));
    const struct {
        int language;
        std::vector<std::string> messages;
    } cases[] = {
        {kLanguageEnglish, {"Number of GPS flags = 2", "Number of lines = 1"}},
        {kLanguageJapanese, {"GPSフラグ数 = 2", "測線数 = 1"}},
    };
    for (const auto& c : cases) {
        SetLanguage(c.language);
        CScriptedPrompter said;
        ASSERT_EQ(ReadSectionFile(back, folder / "s.ovs", readSurvey, said), 0);
        EXPECT_EQ(said.Messages(), c.messages);
    }
    SetLanguage(kLanguageEnglish);
}

TEST_F(SectionFile, CrOnlyLineEndsKeepTheSurveyAndTheFlags) {
    MakeSurvey();
    FillDipoleSection(store);
    ASSERT_TRUE(WriteSectionFile(store, folder / "s.ovs", &survey));
    std::string text = ReadText(folder / "s.ovs");
    std::string cr;
    for (size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\n' && i > 0 && text[i - 1] == '\r')) cr += text[i];
    ASSERT_EQ(cr.find('\n'), std::string::npos);
    WriteText(folder / "cr.ovs", cr);
    ASSERT_EQ(ReadSectionFile(back, folder / "cr.ovs", readSurvey, prompter), 0);
    EXPECT_EQ(prompter.Messages(),
              (std::vector<std::string>{"Number of GPS flags = 2", "Number of lines = 1"}));
    ExpectSameSection(store, back);
    ASSERT_EQ(readSurvey.nLine, 1);
    EXPECT_EQ(readSurvey.Line(0).nData(), 2);
    EXPECT_EQ(readSurvey.nFlag, 2);
}

TEST_F(SectionFile, EveryReadingTheSurveyReaderTakesIsSaved) {
    MakeSurvey();
    FillDipoleSection(store);
    survey.Line(0).pData[0].fResistance[0] = 2.5e9f;  // above 1e8: once dropped without a word
    survey.Line(0).pData[1].fResistance[1] = std::nanf("");
    SurveySaveReport report;
    ASSERT_TRUE(WriteSectionFile(store, folder / "s.ovs", &survey, &report));
    EXPECT_EQ(report.nLeftOut, 1);
    EXPECT_FALSE(report.ok());
    ASSERT_EQ(ReadSectionFile(back, folder / "s.ovs", readSurvey, prompter), 0);
    ASSERT_EQ(readSurvey.nLine, 1);
    ASSERT_EQ(readSurvey.Line(0).nData(), 1);
    EXPECT_EQ(readSurvey.Line(0).pData[0].fResistance[0], 2.5e9f);
}

TEST_F(SectionFile, LeftOutTextNamesWhatTheReadLeftOut) {
    MakeSurvey();
    FillDipoleSection(store);
    ASSERT_TRUE(WriteSectionFile(store, folder / "s.ovs", &survey));
    const SectionFileStatus clean = ReadSectionFile(back, folder / "s.ovs", readSurvey);
    EXPECT_EQ(SectionFileLeftOutText(clean), "");
    // A store of two columns holds two of the three, and a reading of six receivers is not
    // a reading.
    std::string text = ReadText(folder / "s.ovs");
    const size_t at = text.find("\r\n30 ");
    ASSERT_NE(at, std::string::npos);
    text.insert(at + 2, "30 6 1 0 2 0 3 0 4 0 5 0 6 0 12:00:05.00 06/15/09\r\n 1 \r\n");
    WriteText(folder / "more.ovs", text);
    CTrevascDataOhm small;
    ASSERT_TRUE(small.Initialise(2, 10, 2, 10));
    CGantrelSurvey other;
    const SectionFileStatus st = ReadSectionFile(small, folder / "more.ovs", other);
    const std::string left = SectionFileLeftOutText(st);
    EXPECT_EQ(left.rfind((folder / "more.ovs").string() +
                             ": the section holds more than 2 non-empty columns; the others were "
                             "left out; ",
                         0),
              0u)
        << left;
    EXPECT_NE(left.find("1 reading with a receiver count outside 1 to 5"), std::string::npos)
        << left;
}

TEST_F(SectionFile, SaveOnAFullDiskKeepsTheFileItWouldReplace) {
    testdata::CSmallDisk disk("ovs");
    if (!disk.Mounted()) GTEST_SKIP() << disk.Reason();
    MakeSurvey();
    FillDipoleSection(store);
    const std::filesystem::path target = disk.Folder() / "s.ovs";
    ASSERT_TRUE(WriteSectionFile(store, target, &survey));
    const std::string before = ReadText(target);
    FillModel(store, 20);  // more to write than the disk has room for
    ASSERT_TRUE(disk.Fill());
    const auto names = disk.Names();
    SurveySaveReport report;
    EXPECT_FALSE(WriteSectionFile(store, target, &survey, &report));
    EXPECT_EQ(report.save.eStatus, SaveStatus::WriteFailed);
    EXPECT_EQ(ReadText(target), before);
    EXPECT_EQ(disk.Names(), names);
    EXPECT_NE(SurveySaveMessage(report, target, false).find("No space left on device"),
              std::string::npos);
}

TEST_F(SectionFile, LinesOfADipoleSectionDoNotKeepAnEarlierSurveysDifferentSizes) {
    MakeSurvey();
    FillDipoleSection(store);
    ASSERT_TRUE(WriteSectionFile(store, folder / "s.ovs", &survey));
    readSurvey.AddLine();
    readSurvey.bDifferentSize = 1;  // the survey before was general
    ASSERT_EQ(ReadSectionFile(back, folder / "s.ovs", readSurvey, prompter), 0);
    ASSERT_EQ(readSurvey.nLine, 1);
    EXPECT_EQ(readSurvey.bDifferentSize, 0) << "gridding would look for arrays the lines lack";
}

TEST_F(SectionFile, SurveySectionWithoutLinesKeepsTheSurveysLines) {
    FillDipoleSection(store);
    ASSERT_TRUE(WriteSectionFile(store, folder / "e.ovs", &survey));
    readSurvey.AddLine()->AddData();
    ReadSectionFile(back, folder / "e.ovs", readSurvey, prompter);
    EXPECT_EQ(prompter.Messages(),
              (std::vector<std::string>{"Number of GPS flags = 0", "Number of lines = 0"}));
    EXPECT_EQ(readSurvey.nLine, 1);
    EXPECT_EQ(readSurvey.Line(0).nData(), 1);
}

TEST_F(SectionFile, VersionSevenStopsAfterTheModelBlock) {
    const SectionFileStatus st = Read(
        "2000 7 3.0\n3 1 5.0\n10.0 1 0.0\n1.25 0 2 80.5 3.0\n"
        "1 1\n 10.0 \n 0.0 \n 0 \n 1 1\n 10.0 \n \n 80.0 \n"
        "//* GPS_flags *// \n1\n5.0 6.0 7.0\n");
    EXPECT_EQ(st.eProblem, SectionFileProblem::None);
    EXPECT_FALSE(st.bFlags);
    EXPECT_EQ(readSurvey.nFlag, 0);
    EXPECT_EQ(back.iVersion, 7);
    EXPECT_EQ(back.nModelColumn, 1);
    EXPECT_EQ(back.fLayerResistivity[0][0], 80.0f);
}

TEST_F(SectionFile, EmptyColumnsAreDroppedAndLaterOnesMoveDown) {
    Read(
        "2000 8 3.0\n3 3 1.0\n"
        "1.0 1 0.0\n1.25 0 1 10.0 3.0\n"
        "2.0 0 0.0\n"
        "3.0 1 0.0\n1.25 0 1 30.0 3.0\n"
        "0 0\n 0 \n 0 0\n");
    ASSERT_EQ(back.nColumn, 2);
    EXPECT_EQ(back.fColumnX[1], 3.0f);
    EXPECT_EQ(back.fObserved[1][0], 30.0f);
}

TEST_F(SectionFile, CellSizeBelowATenthIsReadAsATenth) {
    Read("2000 8 3.0\n3 0 0.05\n0 0\n 0 \n 0 0\n");
    EXPECT_EQ(back.fCellSize, 0.1f);
}

TEST_F(SectionFile, OlderLayoutIsReadWithNFactorOneAndItsColumnCountAsVersion) {
    std::string text = "3 12 5.0\n";
    for (int c = 0; c < 12; ++c) text += FormatC("%d.0 1 0.0\n1.25 70.0 2 %d.5\n", 5 * c, 80 + c);
    // Boundaries: one position per column, then the elevations.
    text += "2 2\n5.0 0.0 -1.5\n10.0 0.0 -2.5\n 0 \n";
    // Version 12 reads two values per model column.
    text += " 1 2\n 5.0 7.0 \n 0.25 \n 40.0 60.0 \n";
    text += "//* GPS_flags *// \n1\n5.0 6.0 7.0\n";
    const SectionFileStatus st = Read(text);
    EXPECT_EQ(st.eProblem, SectionFileProblem::None);
    EXPECT_EQ(back.iDataType, 3);
    EXPECT_EQ(back.iVersion, 12);
    ASSERT_EQ(back.nColumn, 12);
    EXPECT_EQ(back.fCellSize, 5.0f);
    EXPECT_EQ(back.fObserved[11][0], 91.5f);
    EXPECT_EQ(back.fCalculated[11][0], 70.0f);
    EXPECT_EQ(back.fNFactor[3][0], 1.0f);
    ASSERT_EQ(back.nBoundaryColumn, 2);
    EXPECT_EQ(back.fBoundaryX[1][1], 10.0f);
    EXPECT_EQ(back.fBoundaryElevation[1][1], -2.5f);
    EXPECT_EQ(back.fModelColumnAux[0], 7.0f);
    EXPECT_EQ(back.fLayerResistivity[0][1], 60.0f);
    EXPECT_TRUE(st.bFlags);
    EXPECT_EQ(readSurvey.nFlag, 1);
}

TEST_F(SectionFile, EntriesOfTheFourthBlockAreSkipped) {
    const SectionFileStatus st = Read(
        "2000 8 3.0\n3 0 1.0\n0 0\n 2 \n 2 1.0 2.0 3.0 \n 4.0 5.0 \n"
        " 6.0 7.0 \n 0 1.0 2.0 3.0 \n 1 1\n 9.0 \n \n 55.0 \n");
    EXPECT_EQ(st.eProblem, SectionFileProblem::None);
    EXPECT_EQ(st.nAuxSkipped, 2);
    EXPECT_EQ(back.nAuxBlock, 0);
    EXPECT_EQ(back.fModelColumnX[0], 9.0f);
    EXPECT_EQ(back.fLayerResistivity[0][0], 55.0f);
}

TEST_F(SectionFile, UnreadableFileLeavesEverythingAsItWas) {
    FillDipoleSection(back);
    ASSERT_EQ(ReadSectionFile(back, folder / "missing.ovs", readSurvey, prompter), -1);
    EXPECT_EQ(prompter.Messages(), std::vector<std::string>{"Cannot open the file " +
                                                            (folder / "missing.ovs").string()});
    EXPECT_EQ(back.nColumn, 3);
}

TEST_F(SectionFile, FileThatDoesNotBeginWithNumbersChangesNothing) {
    FillDipoleSection(back);
    WriteText(folder / "notes.ovs", "Survey notes\n3 lines\n");
    ReadSectionFile(back, folder / "notes.ovs", readSurvey, prompter);
    EXPECT_EQ(prompter.Messages(),
              std::vector<std::string>{(folder / "notes.ovs").string() +
                                       ", line 1: \"Survey\" in the header line is not a number of "
                                       "the expected kind. Nothing was read."});
    EXPECT_EQ(back.nColumn, 3);
}

TEST_F(SectionFile, TruncatedFileKeepsWhatWasReadAndNamesTheBlock) {
    WriteText(folder / "cut.ovs",
              "2000 8 3.0\n3 2 1.0\n1.0 2 0.0\n1.25 0 1 10.0 3.0\n1.25 0 1 20.0\n");
    ReadSectionFile(back, folder / "cut.ovs", readSurvey, prompter);
    EXPECT_EQ(prompter.Messages(),
              std::vector<std::string>{(folder / "cut.ovs").string() +
                                       " ends at line 5 inside the data rows. What was read before "
                                       "it is kept."});
    ASSERT_EQ(back.nColumn, 1);
    EXPECT_EQ(back.nRow[0], 1);  // only complete rows count
    EXPECT_EQ(back.nLayer, 0);   // the earlier model does not survive the read
}

TEST_F(SectionFile, CutAtEveryPositionNeverLeavesCountsPastWhatWasFilled) {
    MakeSurvey();
    FillDipoleSection(store);
    FillModel(store, 3);
    ASSERT_TRUE(WriteSectionFile(store, folder / "full.ovs", &survey));
    const std::string text = ReadText(folder / "full.ovs");
    const size_t modelEnd = text.find("//*");
    // Every token start and every token end: every block is cut between and inside values.
    std::vector<size_t> cuts;
    for (size_t i = 0; i < modelEnd; ++i)
        if (i == 0 || (text[i] == ' ') != (text[i - 1] == ' ') || text[i] == '\r')
            cuts.push_back(i);
    for (size_t cut : cuts) {
        SCOPED_TRACE(cut);
        const SectionFileStatus st = Read(text.substr(0, cut));
        ASSERT_LE(back.nColumn, store.nColumn);
        for (int c = 0; c < back.nColumn; ++c) {
            ASSERT_LE(back.nRow[c], store.nRow[c]);
            for (int k = 0; k < back.nRow[c]; ++k)
                ASSERT_EQ(back.nAveraged[c][k], store.nAveraged[c][k]);
        }
        ASSERT_LE(back.nBoundaryColumn, store.nBoundaryColumn);
        ASSERT_LE(back.nModelColumn, store.nModelColumn);
        if (back.nModelColumn < store.nModelColumn) {
            ASSERT_NE(st.eProblem, SectionFileProblem::None);
        }
    }
}

TEST_F(SectionFile, CountsPastTheCapacitiesAreReadAndLeftOut) {
    CTrevascDataOhm small;
    ASSERT_TRUE(small.Initialise(2, 2, 1, 2));
    std::string text = "2000 8 3.0\n3 3 1.0\n";
    for (int c = 0; c < 3; ++c) {
        text += FormatC("%d.0 3 0.0\n", c);
        for (int k = 0; k < 3; ++k) text += FormatC("1.25 0 1 %d.0 3.0\n", 10 * c + k);
    }
    text += "2 3\n 0.0 0.0 0.0 \n 0.0 -1.0 -2.0 \n 1.0 1.0 1.0 \n 0.0 -1.0 -2.0 \n 0 \n";
    text += " 2 3 \n 0.0 \n 0.5 0.5 \n 10.0 20.0 30.0 \n 1.0 \n 0.5 0.5 \n 11.0 21.0 31.0 \n";
    WriteText(folder / "big.ovs", text);
    const SectionFileStatus st = ReadSectionFile(small, folder / "big.ovs", readSurvey);
    EXPECT_EQ(st.eProblem, SectionFileProblem::None);
    EXPECT_EQ(small.nColumn, 2);
    EXPECT_EQ(small.nRow[1], 2);
    EXPECT_EQ(small.fObserved[1][1], 11.0f);
    EXPECT_EQ(small.nBoundaryColumn, 1);
    EXPECT_EQ(small.nBoundary, 2);
    EXPECT_EQ(small.nModelColumn, 1);
    EXPECT_EQ(small.nLayer, 2);
    EXPECT_EQ(small.fLayerResistivity[0][1], 20.0f);
    ReportSectionFileStatus(st, prompter);
    const std::string name = (folder / "big.ovs").string();
    EXPECT_EQ(prompter.Messages(),
              (std::vector<std::string>{
                  name + ", line 6: 2 column(s) hold more than 2 rows; the rows past that were "
                         "left out.",
                  name + ", line 11: the section holds more than 2 non-empty columns; the others "
                         "were left out.",
                  name + ", line 15: the boundary block holds more than 2 boundaries per column; "
                         "the others were left out.",
                  name + ", line 18: the boundary block holds more than 1 columns; the others "
                         "were left out.",
                  name + ", line 21: the model block holds more than 2 layers; the deeper ones "
                         "were left out.",
                  name + ", line 25: the model block holds more than 1 columns; the others were "
                         "left out."}));
}

TEST_F(SectionFile, NonNumericValueStopsTheReadWithFileAndLine) {
    WriteText(folder / "bad.ovs", "2000 8 3.0\n3 1 1.0\n1.0 1 0.0\n1.25 0 1 10.0 3.0\n1 x2\n");
    ReadSectionFile(back, folder / "bad.ovs", readSurvey, prompter);
    EXPECT_EQ(prompter.Messages(),
              std::vector<std::string>{(folder / "bad.ovs").string() +
                                       ", line 5: \"x2\" in the boundary block header is not a "
                                       "number of the expected kind. What was read before it is "
                                       "kept."});
    EXPECT_EQ(back.nColumn, 1);
}

TEST_F(SectionFile, NegativeCountIsRefused) {
    WriteText(folder / "neg.ovs", "2000 8 3.0\n3 -4 1.0\n");
    ReadSectionFile(back, folder / "neg.ovs", readSurvey, prompter);
    EXPECT_EQ(prompter.Messages(),
              std::vector<std::string>{(folder / "neg.ovs").string() +
                                       ", line 2: the section header gives the count -4, which is "
                                       "below 0. What was read before it is kept."});
    EXPECT_EQ(back.nColumn, 0);
}

}  // namespace
