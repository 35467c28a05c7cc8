// Damaged files for the section file readers: valid files mutated at random with a fixed seed
// (bytes replaced, ranges removed or repeated, numbers and keywords dropped in, cuts). The
// readers must stay inside the store, tell the user the file and the line of what stopped
// them, and leave a store that survives being written and read again.
#include <gtest/gtest.h>

#include <random>

#include "common/language.h"
#include "common/memory_settings.h"
#include "common/scripted_prompter.h"
#include "common/settings.h"
#include "common/text_format.h"
#include "sectionfiles/ovs_file.h"
#include "sectionfiles/res2dinv.h"
#include "tests/sectionfiles/section_test_support.h"

namespace {

using sectiontest::TempFolder;
using sectiontest::WriteText;

constexpr int kIterations = 250;

const char* const kInserts[] = {"99999999",
                                "-1",
                                "2147483648",
                                "nan",
                                "-inf",
                                "1e38",
                                "0",
                                " ",
                                "\n",
                                "\r\n",
                                "//* GPS_flags *// \n",
                                "Original_data Resistivity\n",
                                "33  GOHM ",
                                "30 5 ",
                                ";",
                                ",",
                                "3 R",
                                "\x01\xff"};

std::string Mutate(std::string text, std::mt19937& rng) {
    auto pick = [&rng](size_t n) { return std::uniform_int_distribution<size_t>(0, n)(rng); };
    const int steps = 1 + static_cast<int>(pick(3));
    for (int s = 0; s < steps; ++s) {
        const size_t at = pick(text.size());
        switch (pick(4)) {
            case 0:
                if (at < text.size()) text[at] = static_cast<char>(pick(255));
                break;
            case 1:
                text.erase(at, pick(20));
                break;
            case 2:
                text.insert(at, text.substr(at, pick(40)));
                break;
            case 3:
                text.insert(at, kInserts[pick(std::size(kInserts) - 1)]);
                break;
            default:
                text.resize(at);
                break;
        }
    }
    return text;
}

bool AnyMessageNames(const CScriptedPrompter& p, const std::string& name) {
    for (const auto& m : p.Messages())
        if (m.find(name) != std::string::npos) return true;
    return false;
}

// A section read from a file has no empty columns; a gridded one may.
void ExpectWithinCapacity(const CTrevascDataOhm& s, bool bFromFile) {
    ASSERT_GE(s.nColumn, 0);
    ASSERT_LE(s.nColumn, s.MaxColumn());
    for (int c = 0; c < s.nColumn; ++c) {
        ASSERT_GE(s.nRow[c], bFromFile ? 1 : 0);
        ASSERT_LE(s.nRow[c], s.MaxRow());
        if (s.bGeneralArray == 1) {
            for (int k = 0; k < s.nRow[c]; ++k) ASSERT_NE(s.pElectrode[c][k], nullptr);
        }
    }
    ASSERT_LE(s.nBoundaryColumn, s.MaxBoundaryColumn());
    ASSERT_LE(s.nModelColumn, s.MaxBoundaryColumn());
    ASSERT_LE(s.nBoundary, s.MaxLayer());
    ASSERT_LE(s.nLayer, s.MaxLayer());
    ASSERT_GE(s.nBoundaryColumn, 0);
    ASSERT_GE(s.nModelColumn, 0);
    ASSERT_GE(s.nBoundary, 0);
    ASSERT_GE(s.nLayer, 0);
    ASSERT_EQ(s.nAuxBlock, 0);
    if (bFromFile) {
        ASSERT_GE(s.fCellSize, kSectionFileMinCellSize);
    }
}

class SectionFileMutation : public ::testing::Test {
protected:
    void SetUp() override {
        SetSettingsBackend(&settings);
        SetLanguage(kLanguageEnglish);
    }
    void TearDown() override { SetSettingsBackend(nullptr); }

    CMemorySettingsBackend settings;
    TempFolder folder;
};

TEST_F(SectionFileMutation, DamagedSectionFilesStayInsideTheStoreAndAreReported) {
    const std::string seeds[] = {
        // Version 8 with a survey of one line.
        "2000 8 3.000000\n3 2 2.500000\n1.250000 2 0.000000\n1.250000 90.000000 4 100.000000 3.0\n"
        "2.500000 91.000000 5 101.000000 5.0\n3.750000 1 0.000000\n1.25 92.0 6 102.0 3.0\n"
        "2 2 \n 1.25  1.25  \n 0.0  -2.0  \n 3.75  3.75  \n 0.0  -2.0  \n 0 \n 2 2 \n 1.25 \n"
        " 0.0  \n 50.0  100.0  \n 3.75 \n 0.0  \n 60.0  110.0  \n//* GPS_flags *// \n1\n"
        "300000.0 4000000.0 0.0 \n//* Markers *// \n1\n2\n0.0\n10.0\n"
        "//* Original_data and Resistivity*// \n"
        "33  GOHM      7.500      2.500      0.000      2.500 09:30:00.00 03/04/10 1  1  1  1  1  "
        "1  1.0  1.0  1.0  1.0  1.0 \n"
        "3         0.00         0.00  09:30:00.00 03/04/10         0           0           0 5\n"
        "30 2      1.000 50      2.000 -51  09:30:01.00 03/04/10 4.0\n 12.5  25.0 \n"
        "30 1      3.000 50  09:30:04.00 03/04/10 8.0\n 37.5 \n"
        "3         0.00        10.00  09:30:09.00 03/04/10         0           0           1 5\n",
        // Older layout with entries in the fourth block and a version 9 model.
        "3 9 5.0\n1.0 2 0.0\n1.25 70.0 2 80.5\n2.5 71.0 3 81.5\n2 2\n5.0 0.0 -1.5\n10.0 0.0 -2.5\n"
        " 1 \n 1 1.0 2.0 3.0 \n 4.0 5.0 \n 1 2\n 5.0 7.0 \n 0.25 \n 40.0 60.0 \n",
        // Four-electrode rows.
        "2000 8 3.0\n4 2 1.0\n0.0 1 0.0\n10.0 9.0 1 0.0 1.25 8.0 5.5 \n2.0 1 0.0\n"
        "11.0 9.5 1 0.0 1.25 9.0 6.5 \n0 0 \n 0 \n 0 0 \n",
    };
    std::mt19937 rng(0x5eed0001);
    const auto path = folder / "m.ovs";
    {
        WriteText(path, seeds[0]);
        CTrevascDataOhm store;
        ASSERT_TRUE(store.Initialise(4, 4, 4, 4));
        CGantrelSurvey survey;
        const SectionFileStatus st = ReadSectionFile(store, path, survey);
        ASSERT_EQ(st.eProblem, SectionFileProblem::None);
        ASSERT_EQ(st.survey.nBad, 0);
        ASSERT_EQ(survey.nLine, 1);
        ASSERT_EQ(survey.Line(0).nData(), 2);
    }
    const auto again = folder / "again.ovs";
    for (int i = 0; i < kIterations; ++i) {
        SCOPED_TRACE(i);
        const std::string& seed = seeds[static_cast<size_t>(i) % std::size(seeds)];
        WriteText(path, Mutate(seed, rng));
        CTrevascDataOhm store, reread;
        ASSERT_TRUE(store.Initialise(2, 2, 2, 2));
        ASSERT_TRUE(reread.Initialise(2, 2, 2, 2));
        CGantrelSurvey survey;
        CScriptedPrompter prompter;
        const SectionFileStatus st = ReadSectionFile(store, path, survey);
        ReportSectionFileStatus(st, prompter);
        ExpectWithinCapacity(store, true);
        ASSERT_LE(survey.nLine, kMaxLine);
        ASSERT_LE(survey.nFlag, kMaxFlag);
        if (st.eProblem != SectionFileProblem::None || !st.capacity.empty()) {
            ASSERT_TRUE(AnyMessageNames(prompter, path.string()));
        }
        // What was kept is a store of its own: written and read again it keeps its counts.
        ASSERT_TRUE(WriteSectionFile(store, again, nullptr));
        CGantrelSurvey none;
        const SectionFileStatus st2 = ReadSectionFile(reread, again, none);
        ASSERT_EQ(st2.eProblem, SectionFileProblem::None);
        ASSERT_EQ(reread.nColumn, store.nColumn);
        for (int c = 0; c < store.nColumn; ++c) ASSERT_EQ(reread.nRow[c], store.nRow[c]);
        ASSERT_EQ(reread.nBoundaryColumn, store.nBoundaryColumn);
        ASSERT_EQ(reread.nModelColumn, store.nModelColumn);
        ASSERT_EQ(reread.nLayer, store.nLayer);
    }
}

TEST_F(SectionFileMutation, DamagedRes2dinvFilesStayInsideTheStoreAndAreReported) {
    const std::string seeds[] = {
        "Line 1\n1.0\n3\n6\n1\n0\n0.0 2.0 1 100.0\n1.0 2.0 2 110.0\n2.0 4.0 1 120.0\n"
        "3.0 4.0 2 130.0\n4.0,2.0,1,140.0\n5.0 2.0 3 150.0\n0\n0\n0\n0\n",
        "; pole-pole\nLine 2\n5.0\n2\n4\n1\n0\n0.0 5.0 80.0\n5.0 5.0 90.0\n10.0 10.0 95.0\n"
        "15.0 5.0 85.0\n",
    };
    std::mt19937 rng(0x5eed0002);
    const auto path = folder / "m.dat";
    for (int i = 0; i < kIterations; ++i) {
        SCOPED_TRACE(i);
        WriteText(path, Mutate(seeds[static_cast<size_t>(i) % std::size(seeds)], rng));
        CScriptedPrompter prompter;
        const Res2dinvFile file = ReadRes2dinvFile(path);
        if (!ReportRes2dinvFile(file, prompter)) {
            ASSERT_TRUE(AnyMessageNames(prompter, path.string()));
            continue;
        }
        ASSERT_LE(static_cast<int>(file.points.size()), file.nAnnounced);
        if (file.nBadLine > 0) {
            ASSERT_TRUE(AnyMessageNames(prompter, path.string()));
        }
        Res2dinvRowKinds kinds;
        if (ClassifyRes2dinv(file, kinds, prompter) != Res2dinvStatus::Ok) continue;
        ASSERT_LE(static_cast<int>(kinds.dipoleSizes.size()), kRes2dinvMaxDipoleSizes);
        for (const auto& list : kinds.separations)
            ASSERT_LE(static_cast<int>(list.size()), kRes2dinvMaxSeparations);
        if (file.points.empty()) continue;
        CTrevascDataOhm store;
        ASSERT_TRUE(store.Initialise(6, 3, 6, 2));
        for (float w : {0.5f, 1.0f, 4.0f}) {
            const Res2dinvGridResult r = GridRes2dinv(file, kinds, w, store);
            ExpectWithinCapacity(store, false);
            if (r.status != Res2dinvStatus::Ok) continue;
            int averaged = 0;
            for (int c = 0; c < store.nColumn; ++c)
                for (int k = 0; k < store.nRow[c]; ++k) {
                    ASSERT_GT(store.fObserved[c][k], 0.0f);
                    averaged += store.nAveraged[c][k];
                }
            ASSERT_LE(averaged, static_cast<int>(file.points.size()));
        }
    }
}

}  // namespace
