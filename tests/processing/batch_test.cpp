#include "processing/batch.h"

#include <gtest/gtest.h>

#include <sstream>

#include "common/language.h"
#include "common/memory_settings.h"
#include "common/settings.h"
#include "tests/processing/logger_file.h"

namespace {

namespace fs = std::filesystem;

std::optional<BatchOptions> Parse(std::vector<std::string> args, std::string* error = nullptr) {
    std::string e;
    auto o = ParseBatchOptions(args, e);
    if (error) *error = e;
    return o;
}

TEST(BatchOptions, ParsesEveryOption) {
    auto o = Parse({"a.sto", "--config", "4", "--marker-spacing", "25", "--file-index", "3",
                    "--kml", "--median", "5", "--grid", "2.5", "--initial-model", "1:12.5:8:100",
                    "--invert", "7:0.3:0.5:0.02", "--smooth", "h-median:5", "--smooth",
                    "v-average", "--png", "model:/tmp/m.png", "b.stn", "--lang", "ja"});
    ASSERT_TRUE(o);
    EXPECT_EQ(o->files, (std::vector<fs::path>{"a.sto", "b.stn"}));
    EXPECT_EQ(o->iConfiguration, 4);
    EXPECT_EQ(o->dMarkerSpacing, 25.0);
    EXPECT_EQ(o->iFileIndex, 3);
    EXPECT_TRUE(o->bKml);
    EXPECT_EQ(o->iMedian, 5);
    EXPECT_EQ(o->dGrid, 2.5);
    ASSERT_TRUE(o->initialModel);
    EXPECT_EQ(o->initialModel->iMode, 1);
    EXPECT_EQ(o->initialModel->fDepth, 12.5f);
    EXPECT_EQ(o->initialModel->nLayer, 8);
    EXPECT_EQ(o->initialModel->fResistivity, 100.0f);
    ASSERT_TRUE(o->inversion);
    EXPECT_EQ(o->inversion->nIteration, 7);
    EXPECT_EQ(o->inversion->dDamping, 0.02);
    ASSERT_EQ(o->smoothing.size(), 2u);
    EXPECT_EQ(o->smoothing[0].iLength, 5);
    EXPECT_EQ(o->smoothing[1].sKind, "v-average");
    ASSERT_EQ(o->pictures.size(), 1u);
    EXPECT_EQ(o->pictures[0].sDisplay, "model");
    EXPECT_EQ(o->iLanguage, kLanguageJapanese);
}

TEST(BatchOptions, BadValuesNameTheOption) {
    std::string e;
    EXPECT_FALSE(Parse({"--config", "6"}, &e));
    EXPECT_EQ(e, "--config takes a survey configuration from 0 to 5, not \"6\"");
    EXPECT_FALSE(Parse({"--median", "4"}, &e));
    EXPECT_FALSE(Parse({"--grid", "-1"}, &e));
    EXPECT_FALSE(Parse({"--grid", "2x"}, &e));
    EXPECT_FALSE(Parse({"--initial-model", "0:10"}, &e));
    EXPECT_FALSE(Parse({"--invert", "five"}, &e));
    EXPECT_FALSE(Parse({"--smooth", "h-average:3"}, &e));
    EXPECT_FALSE(Parse({"--png", "map:/tmp/x.png"}, &e));
    EXPECT_FALSE(Parse({"--png", "model:"}, &e));
    EXPECT_FALSE(Parse({"--save-ovs"}, &e));
    EXPECT_EQ(e, "option --save-ovs needs a value");
    EXPECT_FALSE(Parse({"--frobnicate", "1"}, &e));
    EXPECT_EQ(e, "unknown option --frobnicate (see --help)");
}

class BatchRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetSettingsBackend(&store);
        folder = fs::temp_directory_path() /
                 ("gantrel_batch_" +
                  std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override {
        SetSettingsBackend(nullptr);
        SetLanguage(kLanguageEnglish);
        fs::remove_all(folder);
    }
    int Run(std::vector<std::string> args) {
        std::string error;
        auto o = ParseBatchOptions(args, error);
        EXPECT_TRUE(o) << error;
        if (!o) return -1;
        return RunBatch(*o, log, {});
    }
    CMemorySettingsBackend store;
    fs::path folder;
    std::ostringstream log;
};

TEST_F(BatchRunTest, WholeJobFromSurveyFilesToModel) {
    testdata::WriteLoggerFile(folder / "line01.sto", 120, 10, 10.0, false);
    testdata::WriteLoggerFile(folder / "line02.sto", 120, 10, 10.0, false, 1);
    const int status =
        Run({(folder / "line01.sto").string(), (folder / "line02.sto").string(), "--median", "3",
             "--grid", "2", "--initial-model", "0:10:6", "--invert", "3", "--save-sto",
             (folder / "out.sto").string()});
    EXPECT_EQ(status, 0) << log.str();
    const std::string text = log.str();
    EXPECT_NE(text.find("message: 2 files are opened. 2 lines are imported\n"), std::string::npos);
    EXPECT_NE(text.find("summary: lines 2, readings 240\n"), std::string::npos);
    EXPECT_NE(text.find("progress: i=0/"), std::string::npos);
    EXPECT_NE(text.find("message: Inversion finished !\n"), std::string::npos);
    EXPECT_NE(text.find("summary: final misfit "), std::string::npos);
    EXPECT_TRUE(fs::exists(folder / "out.sto"));
    EXPECT_TRUE(fs::exists(folder / "rms_error.txt")) << "side files go to the data folder";
}

TEST_F(BatchRunTest, FailuresSayWhatAndWhich) {
    EXPECT_EQ(Run({(folder / "missing.sto").string()}), 1);
    EXPECT_NE(log.str().find("error: cannot open the file " + (folder / "missing.sto").string()),
              std::string::npos);
    log.str("");
    testdata::WriteLoggerFile(folder / "line01.sto", 20, 10, 10.0, false);
    // Initial model before any grid: the command is not available.
    EXPECT_EQ(Run({(folder / "line01.sto").string(), "--initial-model", "0:10:6"}), 1);
    EXPECT_NE(log.str().find("error: initial model: the command is not available now"),
              std::string::npos)
        << log.str();
    log.str("");
    // A cell size the gridding refuses (far too many columns) fails instead of looping.
    EXPECT_EQ(Run({(folder / "line01.sto").string(), "--grid", "0.0001"}), 1);
    EXPECT_NE(log.str().find("error: converting to grid data: "), std::string::npos) << log.str();
}

TEST_F(BatchRunTest, NameWithoutDigitsTakesTheGivenIndex) {
    testdata::WriteLoggerFile(folder / "north.sto", 20, 10, 10.0, false);
    EXPECT_EQ(Run({(folder / "north.sto").string(), "--file-index", "9", "--save-stn",
                   (folder / "north.stn").string()}),
              0)
        << log.str();
    EXPECT_TRUE(fs::exists(folder / "north.stn"));
    log.str("");
    EXPECT_EQ(Run({(folder / "north.sto").string()}), 1) << "without --file-index";
    EXPECT_NE(log.str().find("no answer given for \"Enter file index for the file"),
              std::string::npos)
        << log.str();
}

}  // namespace
