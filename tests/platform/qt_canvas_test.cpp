#include "platform/qt_canvas.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QColor>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "common/axes.h"
#include "common/color_scale.h"
#include "common/language.h"

namespace {

// Fonts need a QGuiApplication; ctest runs this with QT_QPA_PLATFORM=offscreen.
class QtGuiEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (std::getenv("XDG_RUNTIME_DIR") == nullptr) {
            runtimeDir_ = (std::filesystem::temp_directory_path() /
                           ("gantrel_runtime_" + std::to_string(::getpid())))
                              .string();
            std::filesystem::create_directories(runtimeDir_);
            std::filesystem::permissions(runtimeDir_, std::filesystem::perms::owner_all);
            setenv("XDG_RUNTIME_DIR", runtimeDir_.c_str(), 1);
        }
        if (QCoreApplication::instance() == nullptr) {
            app_ = std::make_unique<QGuiApplication>(argc_, argv_);
            std::setlocale(LC_NUMERIC, "C");
        }
    }
    void TearDown() override {
        app_.reset();
        if (!runtimeDir_.empty()) std::filesystem::remove_all(runtimeDir_);
    }

private:
    int argc_ = 1;
    char name_[16] = "platform_tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QGuiApplication> app_;
    std::string runtimeDir_;
};

[[maybe_unused]] ::testing::Environment* const kQtGui =
    ::testing::AddGlobalTestEnvironment(new QtGuiEnvironment);

class QtCanvasTest : public ::testing::Test {
protected:
    void SetUp() override {
        // GANTREL_TEST_OUTPUT keeps the rendered files there for a person to look at.
        const char* keep = std::getenv("GANTREL_TEST_OUTPUT");
        bKeep = keep != nullptr;
        folder = bKeep ? std::filesystem::path(keep)
                       : std::filesystem::temp_directory_path() /
                             ("gantrel_qt_canvas_" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        SetFontScaleFactor(1.0);
    }
    void TearDown() override {
        if (!bKeep) std::filesystem::remove_all(folder);
    }
    static QColor At(const QImage& image, int x, int y) { return image.pixelColor(x, y); }
    static bool IsWhite(QColor c) { return c.red() > 240 && c.green() > 240 && c.blue() > 240; }
    // Non-white pixels in a rectangle of the image.
    static int Ink(const QImage& image, int x1, int y1, int x2, int y2) {
        int n = 0;
        for (int y = y1; y < y2; ++y)
            for (int x = x1; x < x2; ++x)
                if (!IsWhite(At(image, x, y))) ++n;
        return n;
    }
    std::filesystem::path folder;
    bool bKeep = false;
};

// A section plot as the section views lay it out: Japanese titles, depth axis, legend.
struct SectionPlot {
    SectionPlot() {
        axes.SetSectionTitles(kLanguageJapanese);
        axes.fXStart = 0.0f;
        axes.fXEnd = 100.0f;
        axes.fXInterval = 20.0f;
        axes.fXScale = 10.0f;
        axes.fYStart = -14.0f;
        axes.fYEnd = 0.0f;
        axes.fYInterval = 2.0f;
        axes.fYScale = 50.0f;
        axes.UpdateTicks();
    }
    void operator()(CCanvas& canvas) {
        CPlotOffset offset;
        const CFrameEdges edges = DrawFrameAndAxes(canvas, param, axes, offset);
        right = DrawColorLegend(canvas, scale, param, axes);
        bottom = edges.iBottom;
    }
    CGantrelDrawingParameter param{kLanguageJapanese};
    CAxes axes;
    CColorScale scale;
    int right = 0, bottom = 0;
};

TEST_F(QtCanvasTest, SectionFrameRendersToPngAtOnePixelPerUnit) {
    SectionPlot plot;
    const auto path = folder / "section.png";
    ASSERT_TRUE(SaveCanvasPng(path, 1660, 1100, std::ref(plot)));
    EXPECT_EQ(plot.bottom, 900);
    QImage image;
    ASSERT_TRUE(image.load(QString::fromStdString(path.string())));
    EXPECT_EQ(image.width(), 1660);
    EXPECT_EQ(image.height(), 1100);
    // Frame (black, 1 mm wide) on the left edge between two grid lines.
    EXPECT_EQ(At(image, 200, 250), QColor(0, 0, 0));
    EXPECT_EQ(At(image, 1200, 850), QColor(0, 0, 0));
    // Vertical grid line at 20 m, horizontal at 2 m depth.
    EXPECT_EQ(At(image, 400, 250), QColor(0, 0, 255));
    EXPECT_EQ(At(image, 300, 300), QColor(0, 0, 255));
    EXPECT_TRUE(IsWhite(At(image, 300, 250)));
    // Legend: level 0 at the bottom, level 25 at the top.
    EXPECT_EQ(At(image, 1290, 891), QColor(180, 100, 255));
    EXPECT_EQ(At(image, 1290, 900 - 25 * 18 - 9), QColor(255, 100, 255));
    // The Japanese x title is written 13 mm above the frame, from x = 500.
    EXPECT_GT(Ink(image, 500, 70, 700, 115), 400);
    // The rotated y title reads downwards centred on the left edge (y 200 to 900) and lies
    // right of its reference point x = 10.
    EXPECT_GT(Ink(image, 8, 480, 60, 620), 300);
    EXPECT_EQ(Ink(image, 0, 0, 60, 440), 0);
    EXPECT_EQ(Ink(image, 0, 660, 60, 1100), 0);
    EXPECT_EQ(Ink(image, 0, 0, 8, 1100), 0);
    // The legend's right edge is that of its widest label, measured in the drawing font.
    EXPECT_GT(Ink(image, plot.right - 40, 400, plot.right, 900), 100);
    EXPECT_EQ(Ink(image, plot.right, 0, 1660, 1100), 0);
}

TEST_F(QtCanvasTest, PageUnitsMapWithYUpAndADeviceScale) {
    QImage image(200, 200, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        CQtCanvas canvas(painter, 0.5, QPointF(20, 10));
        canvas.SetPen(kNullPen);
        canvas.SetBrush(SolidBrush({0, 128, 0}));
        canvas.Rectangle(100, -100, 200, -200);
    }
    EXPECT_EQ(At(image, 95, 85), QColor(0, 128, 0));  // inside (70..120, 60..110)
    EXPECT_TRUE(IsWhite(At(image, 95, 55)));
    EXPECT_TRUE(IsWhite(At(image, 125, 85)));
    EXPECT_EQ(Ink(image, 0, 0, 200, 200), 50 * 50);
}

TEST_F(QtCanvasTest, ClipKeepsTheDrawingInsideItsRectangleUntilItIsRestored) {
    QImage image(200, 200, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        CQtCanvas canvas(painter, 0.5, QPointF(20, 10));
        canvas.SetPen(kNullPen);
        canvas.SetBrush(SolidBrush({0, 128, 0}));
        {
            // Page rectangle (100, -100)..(200, -200): pixels 70..120 x 60..110.
            CCanvasClip clip(canvas, {100, -100}, {200, -200});
            canvas.Rectangle(0, 0, 360, -360);  // the whole image and more
        }
        EXPECT_FALSE(canvas.HasClip());
        canvas.Rectangle(0, -300, 40, -340);  // after the clip: pixels 20..40 x 160..180
    }
    EXPECT_EQ(Ink(image, 70, 60, 120, 110), 50 * 50);
    EXPECT_EQ(Ink(image, 20, 160, 40, 180), 20 * 20);
    EXPECT_EQ(Ink(image, 0, 0, 200, 200), 50 * 50 + 20 * 20) << "nothing else drawn";
}

TEST_F(QtCanvasTest, TextHangsBelowItsReferencePointTheRightWayUp) {
    const QImage image = RenderCanvasImage(400, 400, [](CCanvas& c) {
        c.SetFont({200, false, 0, ""});
        c.Text(100, -100, "T");
    });
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(Ink(image, 0, 0, 400, 100), 0) << "nothing above the top";
    EXPECT_EQ(Ink(image, 0, 0, 90, 400), 0) << "nothing left of the reference but the bearing";
    // The bar of the T is at the top: its first rows hold far more ink than its last ones.
    int first = 400, last = 0;
    for (int y = 0; y < 400; ++y) {
        if (Ink(image, 0, y, 400, y + 1) > 0) {
            first = std::min(first, y);
            last = std::max(last, y);
        }
    }
    ASSERT_GT(last - first, 100);
    EXPECT_GT(Ink(image, 0, first, 400, first + 20), 3 * Ink(image, 0, last - 19, 400, last + 1));
}

TEST_F(QtCanvasTest, SvgAndPdfAtTrueSize) {
    SectionPlot plot;
    const auto svg = folder / "section.svg";
    const auto pdf = folder / "section.pdf";
    ASSERT_TRUE(SaveCanvasSvg(svg, 1660, 1100, std::ref(plot)));
    ASSERT_TRUE(SaveCanvasPdf(pdf, 1660, 1100, std::ref(plot)));
    QFile s(QString::fromStdString(svg.string()));
    ASSERT_TRUE(s.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(s.readAll());
    EXPECT_TRUE(text.contains("width=\"166mm\"")) << text.left(400).toStdString();
    // Glyphs from another font start a new text element: "距離 (" and "m)".
    EXPECT_TRUE(text.contains(QString::fromUtf8("距離")));
    QFile p(QString::fromStdString(pdf.string()));
    ASSERT_TRUE(p.open(QIODevice::ReadOnly));
    EXPECT_TRUE(p.read(5) == "%PDF-");
}

TEST_F(QtCanvasTest, UnwritableTargetsAndBadSizesFail) {
    SectionPlot plot;
    const std::filesystem::path missing = folder / "no-such-folder" / "x";
    EXPECT_FALSE(SaveCanvasPng(missing.string() + ".png", 100, 100, std::ref(plot)));
    EXPECT_FALSE(SaveCanvasSvg(missing.string() + ".svg", 100, 100, std::ref(plot)));
    EXPECT_FALSE(SaveCanvasPdf(missing.string() + ".pdf", 100, 100, std::ref(plot)));
    EXPECT_TRUE(RenderCanvasImage(0, 100, std::ref(plot)).isNull());
    EXPECT_TRUE(RenderCanvasImage(100000, 100000, std::ref(plot)).isNull());
}

}  // namespace
