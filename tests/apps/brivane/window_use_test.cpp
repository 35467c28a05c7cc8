// The processing window used as its users use it: editing with Undo, opening and reopening,
// the one-dimensional survey, printing, the dialogs with the keyboard, the status bar and the
// read-out, in both languages. Each test drives the real window offscreen with scripted
// dialog answers.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAction>
#include <QDialog>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "apps/brivane/display_output.h"
#include "apps/brivane/display_view.h"
#include "apps/brivane/main_window.h"
#include "common/recording_canvas.h"
#include "common/settings.h"
#include "display/views.h"
#include "processing/line_editing.h"
#include "processing/open_survey.h"
#include "tests/apps/brivane/gui_support.h"

namespace {

namespace fs = std::filesystem;

class WindowUseTest : public gui_test::GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        dir = fs::temp_directory_path() / ("gantrel-gui-use-" + std::to_string(::getpid()));
        fs::create_directories(dir);
        fs::copy_file(fs::path(GANTREL_EXAMPLES_DIR) / "line01.sto", dir / "line01.sto",
                      fs::copy_options::overwrite_existing);
    }
    void TearDown() override {
        window.reset();
        std::error_code ec;
        fs::remove_all(dir, ec);
        GuiTest::TearDown();
    }
    void StartWindow() {
        WriteSuiteValue("LanguageRegister", "1");
        window = std::make_unique<CBrivaneMainWindow>();
        window->Prompter().SetScripted(true);
        window->show();
        window->Start();
    }
    CQtPrompter& P() { return window->Prompter(); }
    CBrivaneContext& Ctx() { return window->Context(); }
    CBrivaneView& View() { return window->View(); }
    CTrevascDataOhm& Store() { return Ctx().doc.store; }
    QAction& A(int id) {
        QAction* a = window->Action(id);
        EXPECT_NE(a, nullptr) << id;
        return *a;
    }
    bool Enabled(int id) { return A(id).isEnabled(); }
    void Trigger(int id) {
        ASSERT_TRUE(Enabled(id)) << "command " << id << " is disabled";
        A(id).trigger();
    }
    // The configuration, the KML question (GPS files only) and the marker spacing.
    void PushOpenAnswers(int configuration = 0, const char* spacing = "10") {
        P().PushAnswer([configuration](QDialog& d) {
            SetChecked(d, QString("configuration%1").arg(configuration), true);
            ClickNamed(d, "ok");
        });
        if (configuration == 5) return;
        P().PushAnswer([](QDialog& d) { ClickButton(d, "No"); });
        P().PushAnswer([spacing](QDialog& d) {
            SetFieldText(d, "value", spacing);
            ClickNamed(d, "ok");
        });
        P().PushAnswer([](QDialog& d) { ClickNamed(d, "ok"); });  // "Edit original data"
    }
    void OpenExample() {
        if (!window) StartWindow();
        PushOpenAnswers();
        window->OpenFiles({dir / "line01.sto"});
        ASSERT_EQ(Ctx().doc.survey.nLine, 1);
        ASSERT_EQ(P().Pending(), 0u);
    }
    void Paint() {
        (void)View().viewport()->grab();
        for (int k = 0; k < 3; ++k) QApplication::processEvents();
    }
    void Grid(const char* cellSize = "10") {
        P().PushAnswer([cellSize](QDialog& d) {
            SetFieldText(d, "value", cellSize);
            ClickNamed(d, "ok");
        });
        Trigger(kCmdConvertToGrid);
    }
    void InitialModel() {
        P().PushAnswer([](QDialog& d) { ClickNamed(d, "ok"); });
        Trigger(kCmdInitialModel);
    }
    void Invert(const char* iterations = "2") {
        P().PushAnswer([iterations](QDialog& d) {
            SetFieldText(d, "nIteration", iterations);
            ClickNamed(d, "ok");
        });
        Trigger(kCmdInversion);
    }
    CGantrelLine& Line() { return Ctx().doc.survey.Line(0); }
    int CountMarked() {
        int n = 0;
        for (const CGantrelData& d : Line().pData)
            for (int j = 0; j < kMaxReceiver; ++j) n += d.bDeleted[j] == 1 && d.bValid[j] == 1;
        return n;
    }
    int CountValid() {
        int n = 0;
        for (const CGantrelData& d : Line().pData)
            for (int j = 0; j < d.nReceiver; ++j) n += d.bValid[j];
        return n;
    }
    // What the window draws now, recorded.
    std::unique_ptr<CRecordingCanvas> Drawn() {
        auto canvas = std::make_unique<CRecordingCanvas>();
        EXPECT_TRUE(DrawDisplay(*canvas, Ctx()));
        return canvas;
    }
    static CPoint Centre(const CCanvasRecord& r) {
        return {(r.points[0].x + r.points[1].x) / 2, (r.points[0].y + r.points[1].y) / 2};
    }
    void MoveMouse(QPoint pixel) {
        QWidget* viewport = View().viewport();
        QMouseEvent event(QEvent::MouseMove, QPointF(pixel), viewport->mapToGlobal(QPointF(pixel)),
                          Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &event);
    }
    void SaveSection(const fs::path& ovs) {
        P().PushAnswer([ovs](QDialog& d) {
            dynamic_cast<QFileDialog&>(d).selectFile(QString::fromStdString(ovs.string()));
            d.accept();
        });
        Trigger(kCmdSaveSection);
        ASSERT_TRUE(fs::exists(ovs));
    }

    fs::path dir;
    std::unique_ptr<CBrivaneMainWindow> window;
};

// ---------------------------------------------------------------------------------------------
// Editing and Undo

TEST_F(WindowUseTest, UndoAfterACutLeavesNothingMarkedAndAClickTakesAMarkBack) {
    OpenExample();
    Trigger(kCmdShowLineResistivity);
    Paint();
    Trigger(kCmdMouseMode1);
    const auto dots = Drawn()->OfKind(CanvasPrimitive::Ellipse);
    ASSERT_FALSE(dots.empty());
    const QPoint pixel = View().PixelAt(Centre(dots[dots.size() / 2]));
    const int valid = CountValid();

    QTest::mouseClick(View().viewport(), Qt::LeftButton, Qt::NoModifier, pixel);
    EXPECT_EQ(CountMarked(), 1);
    QTest::mouseClick(View().viewport(), Qt::LeftButton, Qt::NoModifier, pixel);
    EXPECT_EQ(CountMarked(), 0) << "a second click unmarks the dot";
    QTest::mouseClick(View().viewport(), Qt::LeftButton, Qt::NoModifier, pixel);
    ASSERT_EQ(CountMarked(), 1);

    QTest::keyClick(&View(), Qt::Key_Delete);
    EXPECT_EQ(CountValid(), valid - 1);
    Trigger(kCmdUndo);
    EXPECT_EQ(CountValid(), valid);
    EXPECT_EQ(CountMarked(), 0) << "the value comes back unmarked";
    for (const CGantrelData& d : Line().pData)
        for (int j = 0; j < kMaxReceiver; ++j) ASSERT_EQ(d.bDeleted[j], 0);
    // Delete now has nothing to cut: no value goes, and there is still nothing to undo.
    QTest::keyClick(&View(), Qt::Key_Delete);
    EXPECT_EQ(CountValid(), valid);
    EXPECT_FALSE(Enabled(kCmdUndo));
}

// ---------------------------------------------------------------------------------------------
// Opening

TEST_F(WindowUseTest, ReopenedSectionFileGivesBackTheDisplaysThatWereSaved) {
    OpenExample();
    Paint();
    const size_t sectionDots = Drawn()->OfKind(CanvasPrimitive::Ellipse).size();
    ASSERT_GT(sectionDots, 100u);
    Trigger(kCmdShowLineResistivity);
    Paint();
    const size_t lineDots = Drawn()->OfKind(CanvasPrimitive::Ellipse).size();
    ASSERT_GT(lineDots, 100u);
    Grid();
    InitialModel();
    const fs::path ovs = dir / "saved.ovs";
    SaveSection(ovs);

    window.reset();
    StartWindow();
    window->OpenFiles({ovs});
    EXPECT_EQ(Ctx().view.iViewMode, kViewModel2D);
    Trigger(kCmdShowLineResistivity);
    Paint();
    EXPECT_EQ(Drawn()->OfKind(CanvasPrimitive::Ellipse).size(), lineDots);
    Trigger(kCmdShowSectionOriginal);
    Paint();
    EXPECT_EQ(Drawn()->OfKind(CanvasPrimitive::Ellipse).size(), sectionDots);
}

TEST_F(WindowUseTest, NewSurveyDataClearTheModelAndUndoOfTheOpenBringsItBack) {
    OpenExample();
    Grid();
    InitialModel();
    ASSERT_TRUE(Enabled(kCmdShowModel2D));
    const int columns = Store().nColumn;
    fs::copy_file(dir / "line01.sto", dir / "line07.sto");

    P().PushAnswer([](QDialog& d) { ClickButton(d, "OK"); });  // clear the current data
    PushOpenAnswers();
    window->OpenFiles({dir / "line07.sto"});
    ASSERT_EQ(P().Pending(), 0u);
    EXPECT_EQ(window->windowTitle(), "line07.sto - Brivane");
    EXPECT_FALSE(Enabled(kCmdShowModel2D)) << "the old model is gone with its survey";
    EXPECT_FALSE(Enabled(kCmdShowSectionGridded));
    EXPECT_EQ(Store().nColumn, 0);
    Ctx().view.iViewMode = kViewModel2D;
    CRecordingCanvas canvas;
    EXPECT_FALSE(DrawDisplay(canvas, Ctx())) << "nothing of the old model under the new caption";
    Trigger(kCmdShowSectionOriginal);

    ASSERT_TRUE(Enabled(kCmdUndo));
    Trigger(kCmdUndo);
    EXPECT_EQ(Store().nColumn, columns);
    EXPECT_TRUE(Enabled(kCmdShowModel2D));
    EXPECT_EQ(window->windowTitle(), "line01.sto - Brivane");
    Trigger(kCmdShowModel2D);
    EXPECT_TRUE(Drawn()->FindText("line01.sto") != nullptr);
}

TEST_F(WindowUseTest, FileWithoutSurveyDataKeepsTheLoadedSurvey) {
    OpenExample();
    Grid();
    std::ofstream(dir / "photo.sto", std::ios::binary) << "\x89PNG\r\n\x1a\n";
    P().PushAnswer([](QDialog& d) { ClickButton(d, "OK"); });
    window->OpenFiles({dir / "photo.sto"});
    EXPECT_EQ(P().Messages().back(),
              (dir / "photo.sto").string() + " holds no survey data. The survey loaded before is kept.");
    EXPECT_EQ(Ctx().doc.survey.nLine, 1);
    EXPECT_GT(Store().nColumn, 0);
    EXPECT_EQ(window->windowTitle(), "line01.sto - Brivane");
    ASSERT_EQ(window->RecentFiles().size(), 1);
    EXPECT_TRUE(window->RecentFiles()[0].endsWith("line01.sto"));
    EXPECT_TRUE(Enabled(kCmdShowSectionGridded));
}

TEST_F(WindowUseTest, MarkerSpacingOfZeroIsRefusedAndAskedAgain) {
    StartWindow();
    P().PushAnswer([](QDialog& d) {
        SetChecked(d, "configuration0", true);
        ClickNamed(d, "ok");
    });
    P().PushAnswer([](QDialog& d) { ClickButton(d, "No"); });
    for (const char* typed : {"0", "-5", "10"}) {
        P().PushAnswer([typed](QDialog& d) {
            SetFieldText(d, "value", typed);
            ClickNamed(d, "ok");
        });
    }
    P().PushAnswer([](QDialog& d) { ClickNamed(d, "ok"); });
    window->OpenFiles({dir / "line01.sto"});
    EXPECT_EQ(P().Pending(), 0u);
    int refusals = 0;
    for (const auto& m : P().Messages())
        refusals += m == MarkerSpacingRefusal(0.0);
    EXPECT_EQ(refusals, 2);
    EXPECT_EQ(MarkerSpacingRefusal(0.0),
              "The marker spacing must be more than 0 m and at most 1000000 m.");
    EXPECT_EQ(Line().pMarker[1].fDistance, 10.0f);
    EXPECT_EQ(Ctx().view.iViewMode, kViewSectionOriginal);
}

// ---------------------------------------------------------------------------------------------
// The one-dimensional survey

TEST_F(WindowUseTest, OneDimensionalSurveyIsInvertedFromTheSoundingToItsModel) {
    StartWindow();
    PushOpenAnswers(5);
    window->OpenFiles({dir / "line01.sto"});
    ASSERT_EQ(P().Pending(), 0u);
    EXPECT_EQ(Ctx().view.iViewMode, kViewModel1D);
    EXPECT_EQ(P().Messages().back(), "Number of data = 5");
    Paint();
    int observed = 0;
    for (const CCanvasRecord& r : Drawn()->OfKind(CanvasPrimitive::Ellipse))
        observed += r.brush.color == CColor{0, 255, 0};
    EXPECT_EQ(observed, 5) << "the averaged sounding is shown";

    ASSERT_TRUE(Enabled(kCmdInitialModel));
    InitialModel();
    ASSERT_TRUE(Enabled(kCmdInversion));
    Invert("5");
    EXPECT_EQ(P().Messages().back(), "Inversion finished !");
    EXPECT_EQ(Ctx().view.iViewMode, kViewModel1D);
    ASSERT_GE(Store().nLayer, 2);
    // The model's step line and the calculated values of the inverted model.
    Trigger(kCmdDisplayToggle);
    const auto drawn = Drawn();
    EXPECT_FALSE(drawn->OfKind(CanvasPrimitive::Polyline).empty());
    int calculated = 0;
    for (const CCanvasRecord& r : drawn->OfKind(CanvasPrimitive::Ellipse))
        calculated += r.brush.color == CColor{0, 0, 255};
    EXPECT_EQ(calculated, 5);
    for (int k = 0; k < 5; ++k) EXPECT_GT(Store().fCalculated[0][k], 0.0f) << k;
}

// ---------------------------------------------------------------------------------------------
// Printing

// Bounding box of what is not white on an image.
QRect Ink(const QImage& image) {
    int left = image.width(), right = -1, top = image.height(), bottom = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != qRgb(255, 255, 255)) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

TEST_F(WindowUseTest, PrintingFitsTheDisplayToThePageUnlessTrueScaleIsAsked) {
    OpenExample();
    Grid();
    Paint();
    // An A5 page at 40 dots per inch: 233 x 330 dots, 148 mm wide.
    const double dpi = 40.0;
    QImage page(233, 330, QImage::Format_RGB32);
    auto print = [&](bool trueScale) {
        page.fill(Qt::white);
        QPainter painter(&page);
        EXPECT_TRUE(DrawDisplayOnPage(Ctx(), painter, page.size(), dpi, trueScale));
    };
    print(false);
    const QRect fitted = Ink(page);
    ASSERT_TRUE(fitted.isValid());
    EXPECT_LT(fitted.right(), page.width() - 1) << "the legend is on the page";
    EXPECT_GT(fitted.width(), page.width() * 3 / 4) << "the drawing fills the page's width";
    const QSize picture = ClipboardPictureSize(Ctx());
    EXPECT_NEAR(PrintDevicePerUnit(picture, page.size(), dpi, false),
                static_cast<double>(page.width()) / picture.width(), 1e-9)
        << "a landscape drawing is held by the page's width";
    print(true);
    EXPECT_EQ(Ink(page).right(), page.width() - 1) << "at true scale the page cuts it";
    // A sheet smaller than the device (a preview's page on its background) keeps the drawing.
    {
        QImage device(400, 400, QImage::Format_RGB32);
        device.fill(Qt::white);
        QPainter painter(&device);
        EXPECT_TRUE(DrawDisplayOnPage(Ctx(), painter, QSize(233, 330), dpi, true));
        painter.end();
        EXPECT_EQ(Ink(device).right(), 232) << "cut at the sheet's right edge";
        EXPECT_LE(Ink(device).bottom(), 329);
    }
    EXPECT_DOUBLE_EQ(PrintDevicePerUnit(picture, page.size(), dpi, true), dpi / 254.0);

    // The choice is a check in the File menu, kept between runs.
    EXPECT_FALSE(A(kCmdPrintTrueScale).isChecked());
    Trigger(kCmdPrintTrueScale);
    EXPECT_TRUE(A(kCmdPrintTrueScale).isChecked());
    EXPECT_TRUE(window->PrintTrueScale());
    EXPECT_EQ(ReadSettingInt(kPrintTrueScaleKey, 0), 1);
}

// ---------------------------------------------------------------------------------------------
// Dialogs with the keyboard

TEST_F(WindowUseTest, EnterIsOkAndTypingIntoTheSpinFieldWorks) {
    OpenExample();
    Trigger(kCmdShowLineResistivity);
    // Typed, then Enter in the field.
    P().PushAnswer([](QDialog& d) {
        d.show();
        auto* value = d.findChild<QLineEdit*>("iValue");
        ASSERT_NE(value, nullptr);
        EXPECT_FALSE(value->isReadOnly());
        value->setFocus();
        value->selectAll();
        QTest::keyClicks(value, "7");
        QTest::keyClick(value, Qt::Key_Return);
    });
    Trigger(kCmdMedianFilter);
    EXPECT_EQ(ReadSettingInt(kMedianFilterKey, 0), 7);
    EXPECT_TRUE(Enabled(kCmdUndo)) << "the filter ran";

    // Enter on the focused "Up" button is OK too, not a step up.
    P().PushAnswer([](QDialog& d) {
        d.show();
        auto* up = d.findChild<QPushButton*>("up");
        ASSERT_NE(up, nullptr);
        up->setFocus();
        QTest::keyClick(up, Qt::Key_Return);
    });
    Trigger(kCmdMedianFilter);
    EXPECT_EQ(ReadSettingInt(kMedianFilterKey, 0), 7);

    // A length the buttons never reach is refused with what to enter; Escape cancels.
    P().PushAnswer([](QDialog& d) {
        d.show();
        SetFieldText(d, "iValue", "4");
        ClickNamed(d, "ok");
        EXPECT_TRUE(d.isVisible()) << "the dialog stays for a correction";
        QTest::keyClick(&d, Qt::Key_Escape);
    });
    Trigger(kCmdMedianFilter);
    EXPECT_EQ(P().Messages().back(), "Enter 3, 5, 7, 9 or 11.");
    EXPECT_EQ(ReadSettingInt(kMedianFilterKey, 0), 7);
}

TEST_F(WindowUseTest, EnterInTheInversionDialogRunsTheInversion) {
    OpenExample();
    Grid();
    InitialModel();
    bool advancedShown = true;
    P().PushAnswer([&advancedShown](QDialog& d) {
        d.show();
        auto* iteration = d.findChild<QLineEdit*>("nIteration");
        ASSERT_NE(iteration, nullptr);
        iteration->setFocus();
        iteration->selectAll();
        QTest::keyClicks(iteration, "2");
        QTest::keyClick(iteration, Qt::Key_Return);
        advancedShown = IsShownIn(d, "dDamping");
    });
    Trigger(kCmdInversion);
    EXPECT_FALSE(advancedShown) << "Enter did not open the advanced menu";
    EXPECT_EQ(P().Messages().back(), "Inversion finished !");
    EXPECT_EQ(Ctx().doc.inversionSettings.nIteration, 2);
}

TEST_F(WindowUseTest, DialogTitlesHaveRoomInTheirTitleBars) {
    StartWindow();
    QString title;
    int room = 0, needed = 0;
    P().PushAnswer([&](QDialog& d) {
        d.show();
        title = d.windowTitle();
        room = d.width();
        needed = d.fontMetrics().horizontalAdvance(title);
        d.reject();
    });
    window->OpenFiles({dir / "line01.sto"});
    EXPECT_EQ(title, "Survey configuration");
    EXPECT_GT(room, needed + 100) << "the title and the title bar's buttons fit";
}

// ---------------------------------------------------------------------------------------------
// Status bar, tool tips and read-out

TEST_F(WindowUseTest, TheStatusBarIsClearedAfterTheInversionAndFollowsTheLanguage) {
    OpenExample();
    window->SetProgressDelay(0);
    Grid();
    InitialModel();
    Invert();
    EXPECT_EQ(window->statusBar()->currentMessage(), "Ready") << "no column count stays";

    Trigger(kCmdShowLineResistivity);
    Trigger(kCmdJapanese);
    EXPECT_EQ(window->statusBar()->currentMessage(), QString::fromUtf8("レディ"));
    EXPECT_NE(Drawn()->FindText("測線数 = 1. 現在の測線 = 0."), nullptr);
    Trigger(kCmdShowModel1D);
    const auto drawn = Drawn();
    bool japanese = false;
    for (const std::string& t : drawn->Texts()) japanese = japanese || t.rfind("データ数 = ", 0) == 0;
    EXPECT_TRUE(japanese);
}

TEST_F(WindowUseTest, ToolbarTipsSayWhatTheButtonsDo) {
    StartWindow();
    EXPECT_EQ(A(kCmdMouseMode1).toolTip(), "Mark a value with a click (Delete removes the marked values)");
    EXPECT_EQ(A(kCmdMouseMode4).toolTip(), "Mark the values inside a dragged rectangle");
    EXPECT_EQ(A(kCmdDisplayToggle).toolTip(), "Show calculated data (1D model)");
    for (QAction* a : window->ToolBar().actions()) {
        EXPECT_FALSE(a->toolTip().startsWith("Mouse mode 1")) << a->toolTip().toStdString();
        EXPECT_NE(a->toolTip(), "Display toggle");
        // A button that could only say it does nothing is not shown.
        if (a->isVisible()) {
            EXPECT_FALSE(a->toolTip().contains("not available")) << a->toolTip().toStdString();
        }
    }
    for (int id : {kCmdMouseMode5, kCmdMouseMode5Option}) EXPECT_FALSE(A(id).isVisible()) << id;
    EXPECT_TRUE(A(kCmdMouseMode4).isVisible());
}

TEST_F(WindowUseTest, ReadoutShowsDistanceAndValueInTheLineAndSectionViews) {
    OpenExample();
    Trigger(kCmdShowLineResistivity);
    Paint();
    const auto dots = Drawn()->OfKind(CanvasPrimitive::Ellipse);
    ASSERT_FALSE(dots.empty());
    const CPoint dot = Centre(dots[dots.size() / 2]);
    MoveMouse(View().PixelAt(dot));
    const QString text = window->Readout().text();
    const QRegularExpression form(
        "^Distance = (-?[0-9.]+) m  Apparent resistivity = ([0-9.]+) ohm-m$");
    const QRegularExpressionMatch read = form.match(text);
    ASSERT_TRUE(read.hasMatch()) << text.toStdString();
    // The distance and the value read are those of the dot's place on the axes.
    const CGantrelLineView& plot = FindDisplay(Ctx().doc)->lineView;
    const CAxes& axes = plot.axes;
    const double distance = read.captured(1).toDouble();
    EXPECT_NEAR(distance, axes.fXStart + (dot.x - plot.parameter.iLeftMargin) / axes.fXScale,
                2.0 / axes.fXScale);
    const double value = read.captured(2).toDouble();
    const double expected =
        std::pow(10.0, axes.fYEnd - (-dot.y - plot.parameter.iTopMargin) / axes.fYScale);
    EXPECT_NEAR(value, expected, expected * 0.05);

    Trigger(kCmdShowSectionOriginal);
    Paint();
    const auto discs = Drawn()->OfKind(CanvasPrimitive::Ellipse);
    ASSERT_FALSE(discs.empty());
    MoveMouse(View().PixelAt(Centre(discs.front())));
    EXPECT_TRUE(window->Readout().text().contains(" m  Depth = ")) << window->Readout().text().toStdString();
    MoveMouse(QPoint(2, 2));
    EXPECT_EQ(window->Readout().text(), "") << "outside the frame there is nothing to read";
}

}  // namespace
