// The displays rendered to PNG through the QPainter canvas, as the batch command line and the
// "Save display image" command write them.
#include "display/display_image.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QGuiApplication>
#include <QImage>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "common/scripted_prompter.h"
#include "common/text_format.h"
#include "display/views.h"
#include "platform/qt_canvas.h"
#include "platform/qt_plot_image.h"
#include "tests/display/display_fixture.h"

namespace {

namespace fs = std::filesystem;
using namespace display_test;

// Text is drawn with the system's fonts, which need a QGuiApplication (offscreen under ctest).
class QtGuiEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (QCoreApplication::instance() == nullptr) {
            app_ = std::make_unique<QGuiApplication>(argc_, argv_);
            std::setlocale(LC_NUMERIC, "C");
        }
    }
    void TearDown() override { app_.reset(); }

private:
    int argc_ = 1;
    char name_[24] = "display_image_tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QGuiApplication> app_;
};

[[maybe_unused]] ::testing::Environment* const kQtGui =
    ::testing::AddGlobalTestEnvironment(new QtGuiEnvironment);

class DisplayImage : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("gantrel-display-image-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        AddSyntheticLine(doc_.survey, 121, 0.0, 1.0);
        AddSyntheticLine(doc_.survey, 121, 0.0, 1.0);
        FinishSurvey(doc_.survey);
        ASSERT_TRUE(AnalyseSurvey(doc_));
        doc_.sDataTitle = "line_0001.sto";
    }
    void TearDown() override {
        // Kept for a look when asked for: GANTREL_KEEP_IMAGES=folder.
        if (const char* keep = std::getenv("GANTREL_KEEP_IMAGES")) {
            fs::create_directories(keep);
            for (const auto& e : fs::directory_iterator(dir_))
                fs::copy_file(e.path(), fs::path(keep) / e.path().filename(),
                              fs::copy_options::overwrite_existing);
        }
        fs::remove_all(dir_);
    }

    QImage Render(const std::string& display) {
        const fs::path path = dir_ / ("display-" + display + ".png");
        const std::string error = SaveDisplayPNG(ctx_, images_, display, path, kClient);
        EXPECT_EQ(error, "");
        QImage image(QString::fromStdString(path.string()));
        EXPECT_FALSE(image.isNull()) << display;
        return image;
    }

    static constexpr CClientSize kClient{1600, 1000};
    CQtPlotImageWriter images_;
    fs::path dir_;
    CBrivaneDoc doc_;
    CBrivaneViewState view_;
    CScriptedPrompter prompter_;
    CBrivaneContext ctx_{doc_, view_, prompter_};
};

QColor Pixel(const QImage& image, int x, int y) {
    return image.pixelColor(x, y);
}

TEST_F(DisplayImage, EveryDisplayIsSizedFromItsExtentsWithWhiteRoomBelowAndRight) {
    for (const char* name : {"line", "line-vi", "section", "gridded", "model", "model1d"}) {
        const QImage image = Render(name);
        ASSERT_FALSE(image.isNull()) << name;
        const CDisplayExtents e = DisplayOf(ctx_).extents;
        EXPECT_EQ(image.width(), e.iRight + 250) << name;
        EXPECT_EQ(image.height(), e.iBottom + 200) << name;
        EXPECT_EQ(Pixel(image, image.width() - 2, image.height() - 2), QColor(Qt::white)) << name;
        // The outer half of the frame's left edge (cells and markers cover the inner half).
        const bool graph = name == std::string("model1d");
        EXPECT_EQ(Pixel(image, graph ? 396 : 196, graph ? 500 : 400), QColor(Qt::black)) << name;
    }
    EXPECT_EQ(view_.iViewMode, kViewNothing) << "the view's display mode is restored";
}

TEST_F(DisplayImage, LineDotOfTheFirstReceiverHasItsRainbowColour) {
    const QImage image = Render("line");
    const CGantrelLineView& plot = DisplayOf(ctx_).lineView;
    // Receiver 0 of reading 30 (30 m): fill of rainbow entry 0, (255, 0, 255). The next
    // reading's dot, 1 m on, covers the right half; the left half shows.
    const float v = doc_.survey.Line(0).pData[30].fResistivity[0];
    const int x = static_cast<int>((30.0f - plot.axes.fXStart) * plot.axes.fXScale + 200);
    const int y = static_cast<int>((plot.axes.fYEnd - std::log10(v)) * plot.axes.fYScale + 200);
    EXPECT_EQ(Pixel(image, x - 5, y), QColor(255, 0, 255));
}

TEST_F(DisplayImage, GriddedBandTakesTheColourOfItsObservedValue) {
    const QImage image = Render("gridded");
    const CSectionDrawer& s = DisplayOf(ctx_).sectionDrawer;
    const CColorScale& scale = DisplayOf(ctx_).ViewState().colorScale;
    const int c = doc_.store.nColumn / 2;
    const int x = static_cast<int>(s.DistanceX(doc_.store.fColumnX[static_cast<size_t>(c)]));
    const int y = static_cast<int>(s.DepthY(GriddedRowDepth(doc_.store, c, 0)));
    const CColor expected = scale.ColorOf(doc_.store.fObserved[c][0]);
    EXPECT_EQ(Pixel(image, x, y), QColor(expected.r, expected.g, expected.b));
}

TEST_F(DisplayImage, CaptionIsWrittenBelowThePlot) {
    const QImage image = Render("model");
    const CDisplayExtents e = DisplayOf(ctx_).extents;
    // Some dark text pixels in the caption's band from x = 200, under the legend's unit line
    // (which hangs below the plot's extents), and none between the two.
    const auto dark = [&image](int x1, int y1, int x2, int y2) {
        int n = 0;
        for (int y = y1; y < y2; ++y)
            for (int x = x1; x < x2; ++x)
                if (Pixel(image, x, y).lightness() < 100) ++n;
        return n;
    };
    const int top = e.iBottom + kCaptionGap + kLegendUnitRoom;
    EXPECT_GT(dark(200, top, 600, top + 65), 50);
    EXPECT_EQ(dark(200, e.iBottom + 5, 600, top - 5), 0);
}

TEST_F(DisplayImage, UnknownDisplayNameIsRefusedByName) {
    EXPECT_EQ(SaveDisplayPNG(ctx_, images_, std::string("map"), dir_ / "x.png"),
              "unknown display \"map\" (use line, line-vi, section, gridded, model, model1d, "
              "map-gps, map-array, map-rho[:DEPTH_INDEX] or map-interp[:DEPTH_INDEX])");
    EXPECT_FALSE(fs::exists(dir_ / "x.png"));
}

TEST_F(DisplayImage, DisplayWithoutDataIsReportedAndWritesNothing) {
    CBrivaneDoc empty;
    CBrivaneViewState view;
    CBrivaneContext ctx{empty, view, prompter_};
    EXPECT_EQ(SaveDisplayPNG(ctx, images_, std::string("section"), dir_ / "y.png"),
              "the display \"section\" has no data to draw");
    EXPECT_FALSE(fs::exists(dir_ / "y.png"));
}

TEST_F(DisplayImage, UnwritableFileIsReported) {
    const fs::path path = dir_ / "no-such-folder" / "z.png";
    EXPECT_EQ(SaveDisplayPNG(ctx_, images_, std::string("line"), path),
              "Cannot open the file " + path.string());
}

TEST_F(DisplayImage, SaveImageCommandUsesTheExtentsOfThePreviousDraw) {
    ASSERT_EQ(SaveDisplayPNG(ctx_, images_, std::string("line"), dir_ / "first.png", kClient), "");
    const CDisplayExtents before = DisplayOf(ctx_).extents;
    view_.iViewMode = kViewModel1D;  // shown, but not yet drawn
    CCommandTable table = BuildBrivaneCommandsWithViews();
    RegisterImageCommands(table, images_);
    prompter_.Push(fs::path(dir_ / "second.png"));
    ASSERT_TRUE(table.Invoke(ctx_, kCmdSaveImage));
    const QImage image(QString::fromStdString((dir_ / "second.png").string()));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.width(), before.iRight + 250);
    EXPECT_EQ(image.height(), before.iBottom + 200);
}

TEST(PlotImage, CopiedDiscsHaveThePixelsOfDrawnDiscs) {
    const auto draw = [](CCanvas& canvas) {
        int i = 0;
        for (const CPen& pen : {kBlackPen, kNullPen, CPen{kColorBlack, 3, PenStyle::Solid}}) {
            for (int radius : {6, 10, 14}) {
                canvas.SetPen(pen);
                canvas.SetBrush(SolidBrush({255, 105, 0}));
                // Overlapping discs, the later over the earlier as drawn.
                canvas.Disc(30 + 25 * i, -40, radius);
                canvas.Disc(40 + 25 * i, -45, radius);
                ++i;
            }
        }
        canvas.SetPen({kColorBlack, 10, PenStyle::Solid});
        canvas.Line(0, -80, 300, -80);
    };
    const QImage copied = RenderPlotImage(300, 100, draw);
    const QImage drawn = RenderCanvasImage(300, 100, draw);
    ASSERT_FALSE(copied.isNull());
    ASSERT_EQ(copied.size(), drawn.size());
    int worst = 0;
    for (int y = 0; y < drawn.height(); ++y)
        for (int x = 0; x < drawn.width(); ++x) {
            const QColor a = copied.pixelColor(x, y), b = drawn.pixelColor(x, y);
            worst = std::max({worst, std::abs(a.red() - b.red()), std::abs(a.green() - b.green()),
                              std::abs(a.blue() - b.blue())});
        }
    EXPECT_LE(worst, 2) << "rounding of the blend only";
}

// The maps of a survey with GPS, as the batch line and "Save current map to a KML file"
// write them.
class MapImage : public DisplayImage {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("gantrel-map-image-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        for (int l = 0; l < 3; ++l)
            AddGPSLine(doc_.survey, 387000.0 + 12.0 * l, 3899000.0, 1.2, 90);
        doc_.sDataTitle = "line01.sto";
    }
};

TEST_F(MapImage, MapNamesSelectTheKindAndTheDepth) {
    EXPECT_FALSE(MapFromDisplayName("map"));
    EXPECT_FALSE(MapFromDisplayName("map-gps:2")) << "the GPS map has no depth";
    EXPECT_FALSE(MapFromDisplayName("map-rho:x"));
    EXPECT_EQ(MapFromDisplayName("map-array")->iKind, kMapArray);
    const auto interp = MapFromDisplayName("map-interp:3");
    ASSERT_TRUE(interp);
    EXPECT_EQ(interp->iKind, kMapInterpolated);
    EXPECT_EQ(interp->iDepthIndex, 3);

    const QImage gps = Render("map-gps");
    EXPECT_EQ(view_.iMapKind, kMapGPS);
    EXPECT_EQ(gps.width(), DisplayOf(ctx_).extents.iRight + 250);
    EXPECT_EQ(SaveDisplayPNG(ctx_, images_, "map-rho:5", dir_ / "x.png", kClient),
              "the depth index 5 is not one of the survey's 5 pseudo-depths (0 to 4)");
    EXPECT_EQ(SaveDisplayPNG(ctx_, images_, "map-interp", dir_ / "x.png", kClient),
              "there is no interpolated map: interpolate first (--interpolate)");
    Render("map-rho:3");
    EXPECT_EQ(view_.iMapKind, kMapResistivity);
    EXPECT_EQ(view_.iMapDepthIndex, 3);
}

TEST_F(MapImage, ContourMapCellsTakeTheColourOfTheirValue) {
    const auto layout =
        MapGridLayout(static_cast<float>(doc_.survey.dMaxEasting - doc_.survey.dMinEasting),
                      static_cast<float>(doc_.survey.dMaxNorthing - doc_.survey.dMinNorthing));
    ASSERT_TRUE(layout);
    ASSERT_GT(InterpolateMap(doc_.survey, *layout, doc_.mapGrid, {}).nNode, 0);
    view_.iMapColorMode = kMapContour;
    view_.fMaxDistance = 1000.0f;
    const QImage image = Render("map-interp:0");
    const CMapDrawer& map = DisplayOf(ctx_).mapDrawer;
    const CColorScale& scale = DisplayOf(ctx_).ViewState().colorScale;
    const CInterpolatedGrid& g = doc_.mapGrid;
    // The middle of a cell whose corners fall into one level.
    int checked = 0;
    for (int i = 1; i + 2 < g.nx && checked < 5; i += 3) {
        for (int j = 1; j + 2 < g.ny && checked < 5; j += 3) {
            const int level = scale.Lookup(g.value(0, i, j));
            if (scale.Lookup(g.value(0, i + 1, j)) != level ||
                scale.Lookup(g.value(0, i, j + 1)) != level ||
                scale.Lookup(g.value(0, i + 1, j + 1)) != level)
                continue;
            const double e = g.x0 + (i + 0.5) * g.dx, n = g.y0 + (j + 0.5) * g.dy;
            const int x = static_cast<int>((e - map.axes.fXStart) * map.axes.fXScale + map.parameter.iLeftMargin);
            const int y = static_cast<int>((map.axes.fYEnd - n) * map.axes.fYScale + map.parameter.iTopMargin);
            const CColor c = scale.LevelColor(level);
            EXPECT_EQ(Pixel(image, x, y), QColor(c.r, c.g, c.b)) << i << " " << j;
            ++checked;
        }
    }
    EXPECT_GT(checked, 0);
}

TEST_F(MapImage, TheKmlOverlayIsTheFrameBesideItsDocumentAndASecondSaveTakesTheNextName) {
    view_.iViewMode = kViewGPSMap;
    const fs::path kml = dir_ / "map.kml", kml2 = dir_ / "again.kml";
    ASSERT_EQ(SaveMapOverlay(ctx_, images_, kml), "");
    const CMapDrawer& map = DisplayOf(ctx_).mapDrawer;
    const QImage image(QString::fromStdString((dir_ / "line01.sto.png").string()));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.width(), map.iFrameWidth);
    EXPECT_EQ(image.height(), map.iFrameHeight);
    // The frame's edge at the image's corner, no margin.
    EXPECT_EQ(Pixel(image, 1, image.height() / 2), QColor(Qt::black));
    ASSERT_EQ(SaveMapOverlay(ctx_, images_, kml2), "");
    EXPECT_TRUE(fs::exists(dir_ / "line01.sto-0.png"));
    std::ifstream first(kml), second(kml2);
    const std::string a((std::istreambuf_iterator<char>(first)), {});
    const std::string b((std::istreambuf_iterator<char>(second)), {});
    EXPECT_NE(a.find("<href>line01.sto.png</href>"), std::string::npos);
    EXPECT_NE(b.find("<href>line01.sto-0.png</href>"), std::string::npos);
    EXPECT_NE(a.find(FormatC("<south>%f</south>", map.dLowerLatitude)), std::string::npos);
    EXPECT_NE(a.find(FormatC("<east>%f</east>", map.dUpperLongitude)), std::string::npos);

    const auto name = MapOverlayImageName(kml, "line01.sto");
    ASSERT_TRUE(name);
    EXPECT_EQ(name->sReference, "line01.sto-1.png");
    view_.iViewMode = kViewLineResistivity;
    EXPECT_NE(SaveMapOverlay(ctx_, images_, dir_ / "none.kml"), "");
    EXPECT_FALSE(fs::exists(dir_ / "none.kml"));
}

TEST_F(MapImage, TheKmlCommandAsksForItsFileAndIsOnlyOfferedOnTheMap) {
    CCommandTable table = BuildBrivaneCommandsWithViews();
    RegisterImageCommands(table, images_);
    view_.iViewMode = kViewSectionOriginal;
    EXPECT_FALSE(table.IsEnabled(ctx_, kCmdSaveMapKML));
    view_.iViewMode = kViewGPSMap;
    ASSERT_TRUE(table.IsEnabled(ctx_, kCmdSaveMapKML));
    prompter_.PushCancel();
    ASSERT_TRUE(table.Invoke(ctx_, kCmdSaveMapKML));
    EXPECT_TRUE(fs::is_empty(dir_)) << "a cancelled dialog writes nothing";
    prompter_.Push(dir_ / "m.kml");
    ASSERT_TRUE(table.Invoke(ctx_, kCmdSaveMapKML));
    EXPECT_FALSE(ctx_.failure);
    EXPECT_TRUE(fs::exists(dir_ / "m.kml"));
    EXPECT_TRUE(fs::exists(dir_ / "line01.sto.png"));
}

}  // namespace
