#include "apps/brivane/main_window.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QAction>
#include <QClipboard>
#include <QDialog>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTimer>
#include <QTest>
#include <QToolBar>
#include <QUrl>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "analysis/gridding.h"
#include "common/recording_canvas.h"
#include "common/settings.h"
#include "common/text_format.h"
#include "display/views.h"
#include "apps/brivane/display_output.h"
#include "apps/brivane/display_view.h"
#include "processing/line_editing.h"
#include "tests/apps/brivane/gui_support.h"

namespace {

namespace fs = std::filesystem;
using gui_test::GuiTest;

class MainWindowTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        dir = fs::temp_directory_path() / ("gantrel-gui-window-" + std::to_string(::getpid()));
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
    // A window of a suite whose language was chosen before.
    void StartWindow() {
        WriteSuiteValue("LanguageRegister", "1");
        MakeWindow();
        window->Start();
    }
    void MakeWindow() {
        window = std::make_unique<CBrivaneMainWindow>();
        window->Prompter().SetScripted(true);
        window->show();
    }
    CQtPrompter& P() { return window->Prompter(); }
    CBrivaneContext& Ctx() { return window->Context(); }
    CBrivaneView& View() { return window->View(); }
    QAction& A(int id) {
        QAction* a = window->Action(id);
        EXPECT_NE(a, nullptr) << id;
        return *a;
    }
    bool Enabled(int id) { return A(id).isEnabled(); }
    // The submenu of that title (without '&') in the menu of that object name.
    QMenu* Submenu(const char* menuName, const QString& title) {
        QMenu* menu = nullptr;
        for (QAction* a : window->menuBar()->actions())
            if (a->menu() != nullptr && a->menu()->objectName() == menuName) menu = a->menu();
        if (menu == nullptr) return nullptr;
        for (QAction* a : menu->actions())
            if (a->menu() != nullptr && a->text().remove('&') == title) return a->menu();
        return nullptr;
    }
    // Runs a command through its action, as a click on its menu item does.
    void Trigger(int id) {
        ASSERT_TRUE(Enabled(id)) << "command " << id << " is disabled";
        A(id).trigger();
    }
    // The answers of opening the example with marker distances 10 m apart.
    void PushOpenAnswers() {
        P().PushAnswer([](QDialog& d) {
            SetChecked(d, "configuration0", true);
            ClickNamed(d, "ok");
        });
        P().PushAnswer([](QDialog& d) { ClickButton(d, "No"); });  // no KML files
        P().PushAnswer([](QDialog& d) {
            SetFieldText(d, "value", "10");
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
    // Paints the view as the screen would, which lays the plot out.
    void Paint() {
        (void)View().viewport()->grab();
        // The draw's queued notice, and whatever the platform's own paint posted meanwhile.
        for (int k = 0; k < 3; ++k) QApplication::processEvents();
    }
    void ShowLine() {
        OpenExample();
        Trigger(kCmdShowLineResistivity);
        Paint();
    }
    CGantrelLine& Line() { return Ctx().doc.survey.Line(0); }
    int CountDeleted() {
        int n = 0;
        for (const CGantrelData& d : Line().pData)
            for (int j = 0; j < kMaxReceiver; ++j) n += d.bDeleted[j];
        return n;
    }
    void SendMouse(QEvent::Type type, QPoint pixel, Qt::MouseButton button,
                   Qt::MouseButtons buttons) {
        QWidget* viewport = View().viewport();
        QMouseEvent event(type, QPointF(pixel), viewport->mapToGlobal(QPointF(pixel)), button,
                          buttons, Qt::NoModifier);
        QApplication::sendEvent(viewport, &event);
    }

    fs::path dir;
    std::unique_ptr<CBrivaneMainWindow> window;
};

TEST_F(MainWindowTest, FirstStartAsksTheLanguageOnceAndJapaneseAddsTheDatabaseMenu) {
    MakeWindow();
    P().PushAnswer([](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), "Fennick");
        ClickButton(d, "Japanese");
    });
    window->Start();
    ASSERT_EQ(P().History().size(), 1u);
    EXPECT_EQ(P().History()[0].sText, "Select the language !");
    const QStringList titles = window->MenuTitles();
    EXPECT_EQ(titles.front(), "ファイル(&F)");
    ASSERT_TRUE(titles.contains("ｵﾌﾟｼｮﾝ (&O)"));
    QMenu* database = Submenu("menuOption", "データベース");
    ASSERT_NE(database, nullptr) << "the Japanese option menu carries the database commands";
    EXPECT_TRUE(database->actions().contains(&A(kCmdUploadDatabase)));
    EXPECT_TRUE(database->actions().contains(&A(kCmdSurveyProperty)));
    EXPECT_FALSE(Enabled(kCmdUploadDatabase)) << "no survey to upload";
    EXPECT_TRUE(Enabled(kCmdSurveyProperty));
    EXPECT_TRUE(A(kCmdJapanese).isChecked());
    EXPECT_EQ(A(kCmdUndo).text(), "元に戻す(&U)");

    window.reset();
    SetLanguage(kLanguageEnglish);
    MakeWindow();
    window->Start();
    EXPECT_TRUE(P().History().empty()) << "the choice was stored";
    EXPECT_TRUE(IsJapanese());
}

TEST_F(MainWindowTest, PlacementIsClampedAndStoredWhenTheWindowCloses) {
    WriteSettingInt("WindowX", 500);
    WriteSettingInt("WindowW", 300);
    StartWindow();
    EXPECT_EQ(window->pos().x(), 200);
    EXPECT_EQ(window->width(), 768);

    window->move(120, 40);
    window->resize(900, 600);
    Ctx().view.fVScale = 30.0f;
    P().PushAnswer([](QDialog& d) { ClickButton(d, "Cancel"); });
    EXPECT_FALSE(window->close()) << "Cancel keeps the program running";
    EXPECT_EQ(ReadSettingInt("WindowW", 0), 300) << "nothing stored yet";
    P().PushAnswer([](QDialog& d) { ClickButton(d, "OK"); });
    EXPECT_TRUE(window->close());
    EXPECT_EQ(P().Messages().back(), "Are you sure you want to exit?");
    EXPECT_EQ(ReadSettingInt("WindowX", 0), 120);
    EXPECT_EQ(ReadSettingInt("WindowW", 0), 900);
    EXPECT_EQ(ReadSettingInt("WindowH", 0), 600);
    EXPECT_EQ(ReadSettingReal("vscale", 0.0), 30.0);
}

TEST_F(MainWindowTest, ExitCommandAsksOnceAndCloses) {
    StartWindow();
    P().PushAnswer([](QDialog& d) { ClickButton(d, "OK"); });
    Trigger(kCmdExit);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(P().Messages(), std::vector<std::string>{"Are you sure you want to exit?"});
}

TEST_F(MainWindowTest, MenusAndToolbarFollowTheCommandTable) {
    StartWindow();
    EXPECT_EQ(window->MenuTitles(),
              (QStringList{"&File", "&Edit", "&View", "&GPS", "&Analysis", "&Option", "&Help"}));
    // Commands that live in submenus.
    const struct {
        const char* menu;
        const char* submenu;
        int id;
    } nested[] = {
        {"menuFile", "Option", kCmdSaveXMLProcessed},
        {"menuView", "Resistivity model", kCmdShowLayerBoundary},
        {"menuView", "Contour", kCmdContourManual},
        {"menuOption", "Advanced options", kCmdReverseYText},
        {"menuOption", "Color contour", kCmdMapContourLine},
    };
    for (const auto& n : nested) {
        QMenu* sub = Submenu(n.menu, n.submenu);
        ASSERT_NE(sub, nullptr) << n.menu << " " << n.submenu;
        EXPECT_TRUE(sub->actions().contains(&A(n.id))) << n.submenu;
    }
    EXPECT_EQ(Submenu("menuOption", "Database"), nullptr) << "Japanese menus only";
    // Rebuilding the menus (the language switch does) leaves no menu behind.
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const auto menus = window->menuBar()->findChildren<QMenu*>().size();
    Trigger(kCmdJapanese);
    Trigger(kCmdJapanese);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(window->menuBar()->findChildren<QMenu*>().size(), menus);
    EXPECT_EQ(A(kCmdOpenGantrel).text(), "Open Gantrel data file (*.sto, *.stn)");
    EXPECT_EQ(A(kCmdUndo).shortcut(), QKeySequence("Ctrl+Z"));
    EXPECT_EQ(A(kCmdSaveImage).shortcut(), QKeySequence("Ctrl+I"));
    EXPECT_FALSE(A(kCmdUndo).icon().isNull());

    std::vector<int> onToolbar;
    for (QAction* a : window->ToolBar().actions())
        if (!a->isSeparator()) onToolbar.push_back(a->data().toInt());
    std::vector<const CCommand*> expected;
    for (const CCommand& c : window->Commands().All())
        if (c.iToolbar >= 0) expected.push_back(&c);
    std::sort(expected.begin(), expected.end(),
              [](const CCommand* a, const CCommand* b) { return a->iToolbar < b->iToolbar; });
    ASSERT_EQ(onToolbar.size(), expected.size());
    for (size_t k = 0; k < expected.size(); ++k) EXPECT_EQ(onToolbar[k], expected[k]->id) << k;
    EXPECT_EQ(onToolbar.front(), kCmdOpenSection);
    EXPECT_EQ(onToolbar.back(), kCmdNew);

    EXPECT_FALSE(Enabled(kCmdUndo));
    EXPECT_FALSE(Enabled(kCmdShowLineResistivity)) << "no lines yet";
    EXPECT_TRUE(A(kCmdReverseYText).isChecked()) << "set when the program starts";
    Trigger(kCmdReverseYText);
    EXPECT_FALSE(window->ReverseYText());
    EXPECT_TRUE(A(kCmdToolbar).isChecked());
    Trigger(kCmdToolbar);
    EXPECT_TRUE(window->ToolBar().isHidden());
    EXPECT_FALSE(A(kCmdToolbar).isChecked());
}

TEST_F(MainWindowTest, OpeningTheExampleThroughTheMenuShowsTheSection) {
    StartWindow();
    P().PushAnswer([this](QDialog& d) {
        auto& fd = dynamic_cast<QFileDialog&>(d);
        EXPECT_EQ(fd.fileMode(), QFileDialog::ExistingFiles) << "several files may be chosen";
        fd.selectFile(QString::fromStdString((dir / "line01.sto").string()));
        d.accept();
    });
    PushOpenAnswers();
    Trigger(kCmdOpenGantrel);
    ASSERT_EQ(P().Pending(), 0u);
    EXPECT_EQ(Ctx().doc.survey.nLine, 1);
    EXPECT_EQ(Ctx().view.iViewMode, kViewSectionOriginal);
    EXPECT_TRUE(A(kCmdShowSectionOriginal).isChecked());
    EXPECT_TRUE(Enabled(kCmdShowLineResistivity));
    EXPECT_TRUE(Enabled(kCmdConvertToGrid));
    EXPECT_FALSE(Enabled(kCmdShowModel2D)) << "no model yet";
    EXPECT_EQ(window->windowTitle(), "line01.sto - Brivane");
    EXPECT_EQ(Ctx().doc.sDataTitle, "line01.sto") << "the caption under every plot";
    ASSERT_EQ(window->RecentFiles().size(), 1);
    EXPECT_TRUE(window->RecentFiles()[0].endsWith("line01.sto"));

    CRecordingCanvas canvas;
    ASSERT_TRUE(DrawDisplay(canvas, Ctx()));
    EXPECT_NE(canvas.FindText("line01.sto"), nullptr);
}

TEST_F(MainWindowTest, UndoIsEnabledAfterAnEditAndDisabledAfterUndo) {
    ShowLine();
    const float before = Line().pData[100].fResistance[0];
    EXPECT_FALSE(Enabled(kCmdUndo));
    P().PushAnswer([](QDialog& d) {
        ClickNamed(d, "up");
        ClickNamed(d, "ok");
    });
    Trigger(kCmdMedianFilter);
    EXPECT_TRUE(Enabled(kCmdUndo));
    Trigger(kCmdUndo);
    EXPECT_FALSE(Enabled(kCmdUndo));
    EXPECT_EQ(Line().pData[100].fResistance[0], before);
}

TEST_F(MainWindowTest, GateKeysSelectDataAndDeleteCutsIt) {
    ShowLine();
    Trigger(kCmdGate);
    EXPECT_EQ(Ctx().view.iMouseMode, kMouseGate);
    EXPECT_TRUE(A(kCmdGate).isChecked());
    EXPECT_FALSE(Enabled(kCmdGate)) << "already active";
    const CGate& gate = Ctx().view.gateResistivity;
    ASSERT_EQ(gate.iGateState, 1);
    const float step = gate.fGateStep;
    ASSERT_GT(step, 0.0f);
    const float start = gate.fGateLeft;

    QTest::keyClick(&View(), Qt::Key_Right);
    QTest::keyClick(&View(), Qt::Key_Right);
    QTest::keyClick(&View(), Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_FLOAT_EQ(gate.fGateLeft, start + 2 * step + step / 10);
    QTest::keyClick(&View(), Qt::Key_Return);
    EXPECT_EQ(gate.iGateState, 2);
    const float right = gate.fGateRight;
    QTest::keyClick(&View(), Qt::Key_Left);
    EXPECT_FLOAT_EQ(gate.fGateRight, right - step);
    QTest::keyClick(&View(), Qt::Key_Enter);
    EXPECT_EQ(gate.iGateState, 0);
    EXPECT_EQ(Ctx().view.iMouseMode, kMouseNormal);
    EXPECT_EQ(P().Messages().back(), GateSelectedMessage());
    const int marked = CountDeleted();
    EXPECT_GT(marked, 0);
    EXPECT_FALSE(Enabled(kCmdUndo));

    QTest::keyClick(&View(), Qt::Key_Delete);
    EXPECT_TRUE(Enabled(kCmdUndo)) << "Delete ran Cut, an edit";
    int invalid = 0;
    for (const CGantrelData& d : Line().pData)
        for (int j = 0; j < d.nReceiver; ++j) invalid += d.bValid[j] == 0 ? 1 : 0;
    EXPECT_GE(invalid, marked);
}

TEST_F(MainWindowTest, EscapeLeavesTheGateAndArrowsScaleOutsideIt) {
    ShowLine();
    Trigger(kCmdGate);
    QTest::keyClick(&View(), Qt::Key_Escape);
    EXPECT_EQ(Ctx().view.iMouseMode, kMouseNormal);
    EXPECT_EQ(CountDeleted(), 0);
    CAxes& axes = FindDisplay(Ctx().doc)->lineView.axes;
    const float x = axes.fXScale, y = axes.fYScale;
    QTest::keyClick(&View(), Qt::Key_Right);
    QTest::keyClick(&View(), Qt::Key_Down);
    EXPECT_NEAR(axes.fXScale, x * 1.4142135f, 1e-4f * x);
    EXPECT_NEAR(axes.fYScale, y / 1.4142135f, 1e-4f * y);
}

TEST_F(MainWindowTest, ClickingADotInTheLineViewMarksIt) {
    ShowLine();
    Trigger(kCmdMouseMode1);
    EXPECT_TRUE(A(kCmdMouseMode1).isChecked());
    // Where the window drew its dots: the same draw on a recording canvas.
    CRecordingCanvas canvas;
    ASSERT_TRUE(DrawDisplay(canvas, Ctx()));
    const auto dots = canvas.OfKind(CanvasPrimitive::Ellipse);
    ASSERT_FALSE(dots.empty());
    const CCanvasRecord& dot = dots[dots.size() / 2];
    const CPoint centre{(dot.points[0].x + dot.points[1].x) / 2,
                        (dot.points[0].y + dot.points[1].y) / 2};
    const QPoint pixel = View().PixelAt(centre);
    QTest::mouseClick(View().viewport(), Qt::LeftButton, Qt::NoModifier, pixel);
    EXPECT_EQ(CountDeleted(), 1);

    // A click far from every dot marks nothing more.
    QTest::mouseClick(View().viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    EXPECT_EQ(CountDeleted(), 1);
}

TEST_F(MainWindowTest, DraggingARectangleMarksTheDotsInside) {
    ShowLine();
    Trigger(kCmdMouseMode4);
    const QRect all = View().viewport()->rect();
    SendMouse(QEvent::MouseButtonPress, all.topLeft() + QPoint(1, 1), Qt::LeftButton,
              Qt::LeftButton);
    SendMouse(QEvent::MouseMove, all.center(), Qt::NoButton, Qt::LeftButton);
    SendMouse(QEvent::MouseButtonRelease, all.bottomRight(), Qt::LeftButton, Qt::NoButton);
    EXPECT_GT(CountDeleted(), 10);
}

TEST_F(MainWindowTest, MouseMovesShowThePagePosition) {
    StartWindow();
    const QPoint pixel(100, 60);
    SendMouse(QEvent::MouseMove, pixel, Qt::NoButton, Qt::NoButton);
    const CPoint page = View().PageAt(pixel);
    EXPECT_EQ(window->Readout().text(), QString("%1 %2").arg(page.x).arg(page.y));
    EXPECT_LT(page.y, 0) << "page units run upwards";
}

// What a long command's progress looked like at each turn of the event loop it allowed.
struct ProgressSeen {
    int maximum = -1;
    int lastValue = -1;
    bool bVisible = false;
    bool bFrozen = false;
    bool bOtherCommandRan = false;
    QString iterationLabel;   // the last label naming an iteration
    QString iterationStatus;  // the status bar then
};

class LongCommandTest : public MainWindowTest {
protected:
    void GridAndModel() {
        OpenExample();
        window->SetProgressDelay(0);
        PushCellSize("10");
        Trigger(kCmdConvertToGrid);
        ASSERT_EQ(Ctx().view.iViewMode, kViewSectionGridded);
        P().PushAnswer([](QDialog& d) { ClickNamed(d, "ok"); });
        Trigger(kCmdInitialModel);
        ASSERT_TRUE(Enabled(kCmdInversion));
    }
    void PushCellSize(const QString& value) {
        P().PushAnswer([value](QDialog& d) {  // "Horizontal cell size"
            EXPECT_EQ(FieldText(d, "unit"), "m");
            SetFieldText(d, "value", value);
            ClickNamed(d, "ok");
        });
    }
    void PushInversionDialog(const QString& iterations = "2") {
        P().PushAnswer([iterations](QDialog& d) {
            SetFieldText(d, "nIteration", iterations);
            ClickNamed(d, "ok");
        });
    }
    // Watches the progress from a timer, which runs whenever the command lets events through;
    // act (when set) is done to the dialog once it is on the screen.
    void Watch(std::function<void(QProgressDialog&)> act = {}) {
        timer = std::make_unique<QTimer>();
        QObject::connect(timer.get(), &QTimer::timeout, [this, act]() mutable {
            QProgressDialog* d = window->ProgressDialog();
            if (d == nullptr) return;
            seen.maximum = d->maximum();
            seen.lastValue = d->value();
            seen.bVisible = seen.bVisible || d->isVisible();
            seen.bFrozen = seen.bFrozen || View().IsFrozen();
            if (d->labelText().contains("iteration")) {
                seen.iterationLabel = d->labelText();
                seen.iterationStatus = window->statusBar()->currentMessage();
            }
            if (window->RunCommand(kCmdNew)) seen.bOtherCommandRan = true;
            if (act && d->isVisible()) {
                act(*d);
                act = {};
            }
        });
        timer->start(0);
    }
    std::unique_ptr<QTimer> timer;
    ProgressSeen seen;
};

TEST_F(LongCommandTest, InversionShowsItsColumnsWhileTheViewKeepsItsPicture) {
    GridAndModel();
    PushInversionDialog();
    Watch();
    Trigger(kCmdInversion);
    timer->stop();
    const int columns = Ctx().doc.store.nColumn;
    ASSERT_GT(columns, 1);
    EXPECT_EQ(seen.maximum, columns);
    EXPECT_GE(seen.lastValue, 0);
    EXPECT_LT(seen.lastValue, columns);
    EXPECT_TRUE(seen.bVisible);
    EXPECT_TRUE(seen.bFrozen) << "the view does not draw the store while it is written";
    EXPECT_FALSE(seen.bOtherCommandRan) << "no command starts while another runs";
    EXPECT_EQ(window->ProgressDialog(), nullptr) << "gone once the command ends";
    EXPECT_FALSE(View().IsFrozen());
    EXPECT_EQ(P().Messages().back(), "Inversion finished !");
    EXPECT_EQ(Ctx().doc.store.iDataType, kDataTypeDipole);
    EXPECT_TRUE(Enabled(kCmdShowModel2D));
}

TEST_F(LongCommandTest, InversionProgressNamesTheIterationAndTheMisfit) {
    GridAndModel();
    // Enough iterations for the run to outlast the dialog's shortest update interval.
    PushInversionDialog("200");
    Watch();
    Trigger(kCmdInversion);
    timer->stop();
    const QRegularExpression form("^column \\d+ of \\d+, iteration \\d+/200, misfit \\d+\\.\\d{4}$");
    EXPECT_TRUE(form.match(seen.iterationLabel).hasMatch()) << seen.iterationLabel.toStdString();
    EXPECT_EQ(seen.iterationStatus, seen.iterationLabel) << "the status bar shows it too";
    EXPECT_EQ(window->statusBar()->currentMessage(), "Ready") << "no progress text stays";
}

TEST_F(LongCommandTest, CancelledInversionLeavesTheModelAsItWas) {
    GridAndModel();
    const CTrevascDataOhm& store = Ctx().doc.store;
    const int columns = store.nModelColumn, layers = store.nLayer;
    std::vector<float> model;
    for (int c = 0; c < columns; ++c)
        for (int j = 0; j < layers; ++j) model.push_back(store.fLayerResistivity[c][j]);
    const int dataType = store.iDataType;
    const bool undo = Enabled(kCmdUndo);

    PushInversionDialog();
    Watch([](QProgressDialog& d) {
        QPushButton* cancel = d.findChild<QPushButton*>();
        ASSERT_NE(cancel, nullptr);
        EXPECT_EQ(cancel->text(), CancelText());
        QTest::mouseClick(cancel, Qt::LeftButton);
    });
    Trigger(kCmdInversion);
    timer->stop();

    EXPECT_EQ(P().Messages().back(),
              "The inversion was stopped. The model is as it was before.");
    std::vector<float> after;
    for (int c = 0; c < columns; ++c)
        for (int j = 0; j < layers; ++j) after.push_back(store.fLayerResistivity[c][j]);
    EXPECT_EQ(after, model);
    EXPECT_EQ(store.iDataType, dataType);
    EXPECT_EQ(Enabled(kCmdUndo), undo);
    EXPECT_EQ(window->ProgressDialog(), nullptr);
    EXPECT_FALSE(View().IsFrozen());
    // The next run goes through.
    PushInversionDialog();
    Trigger(kCmdInversion);
    EXPECT_EQ(P().Messages().back(), "Inversion finished !");
}

TEST_F(LongCommandTest, ClosingTheWindowDuringACommandStopsTheCommandFirst) {
    GridAndModel();
    PushInversionDialog();
    bool closed = true;
    Watch([this, &closed](QProgressDialog&) { closed = window->close(); });
    Trigger(kCmdInversion);
    timer->stop();
    EXPECT_FALSE(closed);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(P().Messages().back(), InversionCancelledMessage());
    EXPECT_TRUE(Enabled(kCmdInversion)) << "the states are refreshed after the command";
}

TEST_F(LongCommandTest, EscapeStopsGriddingAndKeepsThePreviousSection) {
    GridAndModel();
    const CTrevascDataOhm& store = Ctx().doc.store;
    const int columns = store.nColumn;
    const float firstX = store.fColumnX[0];
    const int view = Ctx().view.iViewMode;

    PushCellSize("5");
    Watch([](QProgressDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); });
    Trigger(kCmdConvertToGrid);
    timer->stop();

    EXPECT_GT(seen.maximum, columns) << "a smaller cell gives more columns";
    EXPECT_EQ(store.nColumn, columns);
    EXPECT_EQ(store.fColumnX[0], firstX);
    EXPECT_EQ(Ctx().view.iViewMode, view);
    EXPECT_EQ(ReadSettingString(kCellSizeKey, ""), FormatC("%f", 10.0))
        << "a stopped gridding does not remember its cell size";
    EXPECT_EQ(window->ProgressDialog(), nullptr);
}

TEST_F(LongCommandTest, ClickedObservationIsMarkedAndDeleteRemovesIt) {
    GridAndModel();
    Trigger(kCmdShowModel1D);
    Paint();
    Trigger(kCmdMouseMode1);
    CRecordingCanvas canvas;
    ASSERT_TRUE(DrawDisplay(canvas, Ctx()));
    const auto ellipses = canvas.OfKind(CanvasPrimitive::Ellipse);
    const CCanvasRecord* disc = nullptr;
    for (const CCanvasRecord& r : ellipses)
        if (r.brush.color == CColor{0, 255, 0}) disc = &r;  // the observations are green
    ASSERT_NE(disc, nullptr);
    const CPoint centre{(disc->points[0].x + disc->points[1].x) / 2,
                        (disc->points[0].y + disc->points[1].y) / 2};
    const CTrevascDataOhm& store = Ctx().doc.store;
    auto rows = [&store] {
        int n = 0;
        for (int c = 0; c < store.nColumn; ++c) n += store.nRow[c];
        return n;
    };
    auto marked = [&store] {
        int n = 0;
        for (int c = 0; c < store.nColumn; ++c)
            for (int k = 0; k < store.nRow[c]; ++k) n += store.iMarked[c][k];
        return n;
    };
    const int before = rows();
    EXPECT_FALSE(Enabled(kCmdCut));
    QTest::mouseClick(View().viewport(), Qt::LeftButton, Qt::NoModifier, View().PixelAt(centre));
    const int nMarked = marked();
    ASSERT_GE(nMarked, 1);
    EXPECT_TRUE(Enabled(kCmdCut));
    QTest::keyClick(&View(), Qt::Key_Delete);
    EXPECT_EQ(rows(), before - nMarked);
    EXPECT_EQ(marked(), 0);
    ASSERT_TRUE(Enabled(kCmdUndo));
    Trigger(kCmdUndo);
    EXPECT_EQ(rows(), before);
}

TEST_F(MainWindowTest, DroppedSectionFileOpensTheGriddedSection) {
    OpenExample();
    P().PushAnswer([](QDialog& d) {
        SetFieldText(d, "value", "10");
        ClickNamed(d, "ok");
    });
    Trigger(kCmdConvertToGrid);
    const int columns = Ctx().doc.store.nColumn;
    const fs::path ovs = dir / "grid.ovs";
    P().PushAnswer([ovs](QDialog& d) {
        dynamic_cast<QFileDialog&>(d).selectFile(QString::fromStdString(ovs.string()));
        d.accept();
    });
    Trigger(kCmdSaveSection);
    ASSERT_TRUE(fs::exists(ovs));

    // Saving over it asks once (the file dialog's question), not a second time.
    const size_t asked = P().Messages().size();
    P().PushAnswer([ovs](QDialog& d) {
        dynamic_cast<QFileDialog&>(d).selectFile(QString::fromStdString(ovs.string()));
        d.accept();
    });
    P().PushAnswer([](QDialog& d) { ClickButton(d, "Yes"); });
    Trigger(kCmdSaveSection);
    ASSERT_EQ(P().Messages().size(), asked + 1);
    EXPECT_NE(P().Messages().back().find("already exists"), std::string::npos);

    window.reset();
    StartWindow();
    window->OpenFiles({dir / "missing.ovs"});
    EXPECT_EQ(window->windowTitle(), "Brivane") << "nothing was opened";
    window->OpenFiles({ovs});
    EXPECT_EQ(Ctx().doc.store.nColumn, columns);
    EXPECT_EQ(Ctx().view.iViewMode, kViewSectionGridded);
    EXPECT_EQ(window->windowTitle(), "grid.ovs - Brivane");
}

TEST_F(MainWindowTest, CopyPutsSvgAndPngOfTheDisplayOnTheClipboard) {
    OpenExample();
    Paint();
    const CDisplayExtents e = FindDisplay(Ctx().doc)->extents;
    ASSERT_GT(e.iRight, 0);
    Trigger(kCmdCopy);
    const QMimeData* data = QApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    ASSERT_TRUE(data->hasFormat("image/svg+xml"));
    const QByteArray svg = data->data("image/svg+xml");
    EXPECT_TRUE(svg.contains(
        QString("viewBox=\"0 0 %1 %2\"").arg(e.iRight + 250).arg(e.iBottom + 200).toUtf8()));
    ASSERT_TRUE(data->hasImage());
    const QImage image = qvariant_cast<QImage>(data->imageData());
    EXPECT_EQ(image.size(), QSize(e.iRight + 250, e.iBottom + 200));
}

TEST_F(MainWindowTest, ReverseYTextTurnsTheClipboardTitlesOnly) {
    OpenExample();
    Trigger(kCmdShowLineResistivity);
    Paint();
    ASSERT_TRUE(window->ReverseYText());
    Trigger(kCmdCopy);
    const QImage reversed =
        qvariant_cast<QImage>(QApplication::clipboard()->mimeData()->imageData());
    const QByteArray reversedSvg = QApplication::clipboard()->mimeData()->data("image/svg+xml");
    Trigger(kCmdReverseYText);
    Trigger(kCmdCopy);
    const QImage plain = qvariant_cast<QImage>(QApplication::clipboard()->mimeData()->imageData());
    ASSERT_FALSE(plain.isNull());
    EXPECT_EQ(plain.size(), reversed.size());
    EXPECT_NE(plain, reversed) << "the vertical titles differ";
    EXPECT_NE(QApplication::clipboard()->mimeData()->data("image/svg+xml"), reversedSvg);
    EXPECT_EQ(plain, RenderDisplayImage(Ctx())) << "unchecked, the copy is the saved image";
}

TEST_F(MainWindowTest, SideExportAsksBeforeReplacingAndWrites) {
    OpenExample();
    const fs::path table = dir / "surfer.dat";
    std::ofstream(table) << "keep";
    auto choose = [table](QDialog& d) {
        dynamic_cast<QFileDialog&>(d).selectFile(QString::fromStdString(table.string()));
        d.accept();
    };
    P().PushAnswer(choose);
    P().PushAnswer([](QDialog& d) { ClickButton(d, "No"); });
    P().PushAnswer([](QDialog& d) { d.reject(); });
    Trigger(kCmdExportSurfer);
    std::ifstream in(table);
    std::string first;
    std::getline(in, first);
    EXPECT_EQ(first, "keep");
    in.close();
    P().PushAnswer(choose);
    P().PushAnswer([](QDialog& d) { ClickButton(d, "Yes"); });
    Trigger(kCmdExportSurfer);
    std::ifstream again(table);
    std::getline(again, first);
    EXPECT_EQ(first, "X Y HEIGHT  Nfactor Ro  Raw_reading LINE MARK DEPTH TIME DATE\r");
    EXPECT_TRUE(Enabled(kCmdSaveCurrentLevel));
    EXPECT_TRUE(Enabled(kCmdConvertTextToSTN));
    EXPECT_FALSE(Enabled(kCmdSaveXMLProcessed)) << "no model yet";
}

TEST_F(MainWindowTest, SaveImageWritesThePngChosen) {
    OpenExample();
    Paint();
    const fs::path png = dir / "section.png";
    P().PushAnswer([png](QDialog& d) {
        auto& fd = dynamic_cast<QFileDialog&>(d);
        fd.selectFile(QString::fromStdString(png.string()));
        d.accept();
    });
    Trigger(kCmdSaveImage);
    const QImage image(QString::fromStdString(png.string()));
    ASSERT_FALSE(image.isNull());
    const CDisplayExtents e = FindDisplay(Ctx().doc)->extents;
    EXPECT_EQ(image.size(), QSize(e.iRight + 250, e.iBottom + 200));
}

TEST_F(MainWindowTest, PrintAndPreviewDrawThePage) {
    OpenExample();
    Paint();
    const fs::path pdf = dir / "printed.pdf";
    window->Printer().setOutputFormat(QPrinter::PdfFormat);
    window->Printer().setOutputFileName(QString::fromStdString(pdf.string()));
    P().PushAnswer([](QDialog& d) { d.done(QDialog::Accepted); });
    Trigger(kCmdPrint);
    ASSERT_TRUE(fs::exists(pdf));
    EXPECT_GT(fs::file_size(pdf), 1000u);

    int pages = -1;
    P().PushAnswer([&pages](QDialog& d) {
        auto* preview = d.findChild<QPrintPreviewWidget*>();
        ASSERT_NE(preview, nullptr);
        preview->updatePreview();
        pages = preview->pageCount();
        d.reject();
    });
    Trigger(kCmdPrintPreview);
    EXPECT_EQ(pages, 1);

    P().PushAnswer([](QDialog& d) { d.reject(); });
    Trigger(kCmdPrintSetup);
    EXPECT_EQ(P().Pending(), 0u);

    // The survey loses its distances (as when it is opened again and the configuration is
    // cancelled): the display has nothing to draw and no page is spent on it.
    Ctx().doc.survey.bMarkerDistance = 0;
    Ctx().doc.survey.fMinDistance = Ctx().doc.survey.fMaxDistance = 0.0f;
    const fs::path blank = dir / "blank.pdf";
    window->Printer().setOutputFileName(QString::fromStdString(blank.string()));
    if (Enabled(kCmdPrint)) {
        P().PushAnswer([](QDialog& d) { d.done(QDialog::Accepted); });
        Trigger(kCmdPrint);
        EXPECT_FALSE(fs::exists(blank));
        EXPECT_EQ(P().Messages().back(), "The display could not be printed.");
    }
}

TEST_F(MainWindowTest, DroppedFilesOpenAndJoinTheRecentList) {
    StartWindow();
    auto* data = new QMimeData;
    data->setUrls({QUrl::fromLocalFile(QString::fromStdString((dir / "line01.sto").string()))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    PushOpenAnswers();
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &drop);
    delete data;
    EXPECT_EQ(Ctx().doc.survey.nLine, 1);
    ASSERT_EQ(window->RecentFiles().size(), 1);

    // The list outlives the window; its entry opens the file again.
    window.reset();
    StartWindow();
    ASSERT_EQ(window->RecentFiles().size(), 1);
    auto* recent = window->findChild<QAction*>("recent1");
    ASSERT_NE(recent, nullptr);
    EXPECT_TRUE(recent->isVisible());
    EXPECT_TRUE(recent->text().startsWith("&1 "));
    EXPECT_FALSE(window->findChild<QAction*>("recent2")->isVisible());
    PushOpenAnswers();
    recent->trigger();
    EXPECT_EQ(Ctx().doc.survey.nLine, 1);
}

TEST_F(MainWindowTest, FileThatGaveNothingDoesNotJoinTheRecentList) {
    StartWindow();
    std::ofstream(dir / "notes.ovs") << "field notes, not a section\n";
    window->OpenFiles({dir / "notes.ovs"});
    EXPECT_FALSE(P().Messages().empty()) << "the user was told";
    EXPECT_TRUE(window->RecentFiles().isEmpty());
}

TEST_F(MainWindowTest, JapaneseCommandRetitlesTheMenus) {
    StartWindow();
    Trigger(kCmdJapanese);
    EXPECT_TRUE(IsJapanese());
    EXPECT_TRUE(A(kCmdJapanese).isChecked());
    EXPECT_EQ(window->MenuTitles().front(), "ファイル(&F)");
    EXPECT_EQ(ReadSuiteValue("Language"), "1");
    Trigger(kCmdJapanese);
    EXPECT_EQ(window->MenuTitles().front(), "&File");
    EXPECT_FALSE(window->MenuTitles().contains("&Database"));
}

TEST_F(MainWindowTest, AboutShowsTheVersion) {
    StartWindow();
    QString caption, version;
    P().PushAnswer([&](QDialog& d) {
        caption = d.windowTitle();
        version = FieldText(d, "version");
        d.accept();
    });
    Trigger(kCmdAbout);
    EXPECT_EQ(caption, "Version information (Brivane)");
    EXPECT_EQ(version, QString("Brivane Version ") + BRIVANE_VERSION);
}

}  // namespace
