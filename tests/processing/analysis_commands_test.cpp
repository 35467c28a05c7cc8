#include "processing/analysis_commands.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "analysis/initial_model.h"
#include "analysis/inversion.h"
#include "analysis/smoothing.h"
#include "common/language.h"
#include "common/memory_settings.h"
#include "common/scripted_prompter.h"
#include "common/settings.h"
#include "processing/commands.h"

namespace {

class AnalysisCommands : public ::testing::Test {
protected:
    void SetUp() override {
        SetSettingsBackend(&settings);
        SetLanguage(kLanguageEnglish);
        ASSERT_TRUE(doc.store.IsAllocated());
        ASSERT_TRUE(doc.undoStore.IsAllocated());
    }
    void TearDown() override { SetSettingsBackend(nullptr); }

    // nColumn columns of five dipole-dipole rows over an n-layer model of 50 Ohm-m.
    void MakeSection(int nColumn, int n) {
        CTrevascDataOhm& s = doc.store;
        const auto b = LayerBoundaries(n, 10.0f);
        s.nColumn = s.nModelColumn = s.nBoundaryColumn = nColumn;
        s.nLayer = s.nBoundary = n;
        for (int c = 0; c < nColumn; ++c) {
            s.nRow[static_cast<size_t>(c)] = 5;
            for (int k = 0; k < 5; ++k) {
                s.fDipoleSize[c][k] = 1.0f;
                s.fNFactor[c][k] = static_cast<float>(k + 1);
                s.fObserved[c][k] = 40.0f + 10.0f * static_cast<float>(k + c);
            }
            for (int j = 0; j < n; ++j) {
                s.fBoundaryElevation[c][j] = b[j];
                s.fLayerResistivity[c][j] = 50.0f + static_cast<float>(j * 10 + c);
            }
        }
    }

    CMemorySettingsBackend settings;
    CBrivaneDoc doc;
    CBrivaneViewState view;
    CScriptedPrompter prompter;
    CBrivaneContext ctx{doc, view, prompter};
    CCommandTable table = BuildBrivaneCommands();
};

TEST_F(AnalysisCommands, EnableRulesFollowTheStore) {
    for (int id : {kCmdInversion, kCmdSmoothHMedian, kCmdSmoothHAverage, kCmdSmoothVAverage})
        EXPECT_FALSE(table.IsEnabled(ctx, id)) << id;
    MakeSection(3, 4);
    EXPECT_TRUE(table.IsEnabled(ctx, kCmdInversion));
    EXPECT_TRUE(table.IsEnabled(ctx, kCmdSmoothHAverage));
    EXPECT_TRUE(table.IsEnabled(ctx, kCmdSmoothVAverage));
    EXPECT_FALSE(table.IsEnabled(ctx, kCmdSmoothHMedian)) << "the median needs four columns";
    MakeSection(4, 4);
    EXPECT_TRUE(table.IsEnabled(ctx, kCmdSmoothHMedian));
}

TEST_F(AnalysisCommands, UndoRestoresTheModelBeforeTheLastSmoothing) {
    MakeSection(3, 4);
    doc.bSurveyUndo = 1;
    const float before = doc.store.fLayerResistivity[1][0];
    ASSERT_TRUE(table.Invoke(ctx, kCmdSmoothVAverage));
    EXPECT_TRUE(ctx.bRedraw);
    EXPECT_EQ(doc.bModelUndo, 1);
    EXPECT_EQ(doc.bSurveyUndo, 0);
    EXPECT_NE(doc.store.fLayerResistivity[1][0], before);
    ASSERT_TRUE(table.Invoke(ctx, kCmdUndo));
    for (int c = 0; c < 3; ++c)
        for (int j = 0; j < 4; ++j)
            EXPECT_EQ(doc.store.fLayerResistivity[c][j], 50.0f + static_cast<float>(j * 10 + c));
    EXPECT_EQ(doc.bModelUndo, 0);
    EXPECT_FALSE(table.IsEnabled(ctx, kCmdUndo));
}

TEST_F(AnalysisCommands, OnlyTheLatestSmoothingCanBeUndone) {
    MakeSection(3, 4);
    ASSERT_TRUE(table.Invoke(ctx, kCmdSmoothHAverage));
    const float afterFirst = doc.store.fLayerResistivity[0][0];
    ASSERT_TRUE(table.Invoke(ctx, kCmdSmoothVAverage));
    ASSERT_TRUE(table.Invoke(ctx, kCmdUndo));
    EXPECT_EQ(doc.store.fLayerResistivity[0][0], afterFirst);
}

TEST_F(AnalysisCommands, MedianCancelChangesNothing) {
    MakeSection(5, 2);
    prompter.PushCancel();
    ASSERT_TRUE(table.Invoke(ctx, kCmdSmoothHMedian));
    EXPECT_EQ(doc.bModelUndo, 0);
    EXPECT_FALSE(ctx.bRedraw);
    EXPECT_EQ(doc.store.fLayerResistivity[2][0], 52.0f);

    prompter.PushDialog<CDlgMedianFilter>([](CDlgMedianFilter& d) { d.iLength = 3; });
    ASSERT_TRUE(table.Invoke(ctx, kCmdSmoothHMedian));
    EXPECT_EQ(doc.bModelUndo, 1);
    EXPECT_FLOAT_EQ(doc.store.fLayerResistivity[0][0], 50.5f);  // {50, 51}
}

TEST_F(AnalysisCommands, InversionReportsProgressAndWritesTheLogInTheDataFolder) {
    MakeSection(2, 3);
    doc.dataFolder = std::filesystem::temp_directory_path() /
                     ("gantrel-analysis-" + std::to_string(::getpid()));
    std::filesystem::create_directories(doc.dataFolder);
    std::vector<std::string> progress;
    ctx.progress = [&](int, int, const std::string& t) {
        progress.push_back(t);
        return true;
    };
    prompter.PushDialog<CDlgLsm>([](CDlgLsm& d) { d.nIteration = 1; });
    ASSERT_TRUE(table.Invoke(ctx, kCmdInversion));
    EXPECT_EQ(doc.inversionSettings.nIteration, 1) << "kept for the next run";
    EXPECT_FALSE(progress.empty());
    EXPECT_EQ(progress.front(), "column 0 of 2");
    EXPECT_EQ(prompter.Messages(), (std::vector<std::string>{"Inversion finished !"}));
    EXPECT_TRUE(ctx.bRedraw);
    EXPECT_EQ(doc.store.iDataType, 3);
    EXPECT_GT(std::filesystem::file_size(doc.dataFolder / "rms_error.txt"), 0u);
    std::filesystem::remove_all(doc.dataFolder);
}

TEST_F(AnalysisCommands, InversionRefusesNonsensicalParametersUntilCancelled) {
    MakeSection(2, 3);
    doc.dataFolder = std::filesystem::temp_directory_path();
    prompter.PushDialog<CDlgLsm>([](CDlgLsm& d) { d.dAlpha = 0.0; });
    prompter.PushDialog<CDlgLsm>([](CDlgLsm& d) { d.nIteration = 1001; });
    prompter.PushCancel();
    table.Invoke(ctx, kCmdInversion);
    ASSERT_EQ(prompter.Messages().size(), 2u);
    EXPECT_EQ(prompter.Messages()[0].rfind("Alpha (the step factor) must be greater than 0", 0), 0u);
    EXPECT_EQ(prompter.Messages()[1].rfind("The number of iterations must be from 0 to 1000.", 0),
              0u);
    EXPECT_TRUE(ctx.failure) << "a run that did not happen is not a success";
    EXPECT_EQ(doc.inversionSettings.nIteration, 10);
    EXPECT_EQ(doc.store.fLayerResistivity[0][0], 50.0f);
    EXPECT_NE(doc.store.iDataType, 3);
}

TEST_F(AnalysisCommands, InversionThatSkippedEveryUpdateFailsAfterSayingSo) {
    MakeSection(2, 1);
    doc.dataFolder = std::filesystem::temp_directory_path();
    prompter.PushDialog<CDlgLsm>([](CDlgLsm& d) { d.nIteration = 3; });
    table.Invoke(ctx, kCmdInversion);
    ASSERT_EQ(prompter.Messages().size(), 2u);
    EXPECT_EQ(prompter.Messages()[0], "Inversion finished !");
    ASSERT_TRUE(ctx.failure);
    EXPECT_EQ(*ctx.failure, prompter.Messages()[1]);
    EXPECT_EQ(ctx.failure->rfind("Updates skipped: 6 of 6 iterations, in 2 of 2 columns", 0), 0u);
    EXPECT_EQ(doc.store.iDataType, 3) << "the responses of the models are stored all the same";
}

TEST_F(AnalysisCommands, AveragedSoundingIsInvertedWithTheDocumentSettings) {
    LayerModel model;
    SoundingData sounding;
    EXPECT_EQ(InvertAveragedSounding(doc, model, sounding), -1.0f) << "no points";

    for (int j = 0; j < 5; ++j) {
        CSoundingPoint p;
        p.fResistivity = 30.0f + 15.0f * static_cast<float>(j);
        p.fHalfDipole = 1.0f;
        p.fNFactor = static_cast<float>(j + 3);
        doc.sounding.points.push_back(p);
    }
    doc.inversionSettings.nIteration = 3;
    std::vector<float> misfits;
    const float misfit = InvertAveragedSounding(doc, model, sounding, &misfits);
    EXPECT_EQ(model.nLayer, kAveragedSoundingLayers);
    EXPECT_EQ(misfits.size(), 3u);
    EXPECT_LT(misfit, misfits.front());
    EXPECT_EQ(sounding.sArrayName, "Dipole-dipole");
    SoundingData check = sounding;
    EXPECT_EQ(SoundingMisfit(model, check), misfit);

    doc.sounding.points.resize(kMaxSoundingRows + 1, doc.sounding.points[0]);
    LayerModel again;
    EXPECT_EQ(InvertAveragedSounding(doc, again, sounding), -1.0f) << "more than a sounding holds";
    EXPECT_EQ(sounding.nData, 0);
}

}  // namespace

namespace {

TEST_F(AnalysisCommands, InversionReplacesTheModelThatUndoWouldRestore) {
    MakeSection(3, 4);
    doc.dataFolder = std::filesystem::temp_directory_path();
    prompter.PushAccept();  // median filter dialog
    ASSERT_TRUE(table.Invoke(ctx, kCmdSmoothHAverage) || table.Invoke(ctx, kCmdSmoothVAverage));
    ASSERT_EQ(doc.bModelUndo, 1);
    prompter.PushDialog<CDlgLsm>([](CDlgLsm& v) { v.nIteration = 1; });
    ASSERT_TRUE(table.Invoke(ctx, kCmdInversion));
    const float inverted = doc.store.fLayerResistivity[0][0];
    EXPECT_EQ(doc.bModelUndo, 0);
    EXPECT_FALSE(table.Invoke(ctx, kCmdUndo)) << "nothing to undo: the inversion result stays";
    EXPECT_EQ(doc.store.fLayerResistivity[0][0], inverted);
}

}  // namespace
