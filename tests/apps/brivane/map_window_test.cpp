// The plan-view map in the window: the read-out in latitude and longitude, flags set with the
// mouse and from latitude and longitude, the map menu items' states, the interpolation and
// the KML overlay, on the example survey.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <filesystem>
#include <fstream>

#include "apps/brivane/display_view.h"
#include "apps/brivane/main_window.h"
#include "common/settings.h"
#include "display/views.h"
#include "tests/apps/brivane/gui_support.h"

namespace {

namespace fs = std::filesystem;

class MapWindowTest : public gui_test::GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        dir = fs::temp_directory_path() / ("gantrel-gui-map-" + std::to_string(::getpid()));
        fs::create_directories(dir);
        fs::copy_file(fs::path(GANTREL_EXAMPLES_DIR) / "line01.sto", dir / "line01.sto",
                      fs::copy_options::overwrite_existing);
        previous = fs::current_path();
        fs::current_path(dir);  // the interpolation's listing goes here
        WriteSuiteValue("LanguageRegister", "1");
        window = std::make_unique<CBrivaneMainWindow>();
        window->Prompter().SetScripted(true);
        window->resize(1100, 760);
        window->show();
        window->Start();
    }
    void TearDown() override {
        window.reset();
        fs::current_path(previous);
        std::error_code ec;
        fs::remove_all(dir, ec);
        GuiTest::TearDown();
    }
    CQtPrompter& P() { return window->Prompter(); }
    CBrivaneContext& Ctx() { return window->Context(); }
    CBrivaneView& View() { return window->View(); }
    QAction& A(int id) { return *window->Action(id); }
    bool Enabled(int id) { return A(id).isEnabled(); }
    void Trigger(int id) {
        ASSERT_TRUE(Enabled(id)) << "command " << id << " is disabled";
        A(id).trigger();
    }
    // Opens the example line with the given configuration (0: marker distances 10 m apart).
    void Open(int config) {
        P().PushAnswer([config](QDialog& d) {
            SetChecked(d, QString("configuration%1").arg(config), true);
            ClickNamed(d, "ok");
        });
        P().PushAnswer([](QDialog& d) { ClickButton(d, "No"); });  // no KML files
        if (config == 0) {
            P().PushAnswer([](QDialog& d) {
                SetFieldText(d, "value", "10");
                ClickNamed(d, "ok");
            });
            P().PushAnswer([](QDialog& d) { ClickNamed(d, "ok"); });
        }
        window->OpenFiles({dir / "line01.sto"});
        ASSERT_EQ(Ctx().doc.survey.nLine, 1);
        ASSERT_EQ(P().Pending(), 0u);
    }
    void Paint() {
        (void)View().viewport()->grab();
        for (int k = 0; k < 3; ++k) QApplication::processEvents();
    }
    void SendMouse(QEvent::Type type, QPoint pixel, Qt::MouseButton button) {
        QWidget* viewport = View().viewport();
        QMouseEvent event(type, QPointF(pixel), viewport->mapToGlobal(QPointF(pixel)), button,
                          button == Qt::NoButton ? Qt::NoButton : Qt::MouseButtons(button),
                          Qt::NoModifier);
        QApplication::sendEvent(viewport, &event);
    }
    void Click(QPoint pixel) {
        SendMouse(QEvent::MouseButtonPress, pixel, Qt::LeftButton);
        SendMouse(QEvent::MouseButtonRelease, pixel, Qt::LeftButton);
    }
    // The viewport pixel of a plan position on the map as last drawn.
    QPoint PixelOf(double easting, double northing) {
        const CMapDrawer& map = FindDisplay(Ctx().doc)->mapDrawer;
        const double x = (easting - map.axes.fXStart) * map.axes.fXScale + map.parameter.iLeftMargin;
        const double y = (map.axes.fYEnd - northing) * map.axes.fYScale + map.parameter.iTopMargin;
        return View().PixelAt({static_cast<int>(x), -static_cast<int>(y)});
    }
    const CGPSData& Fix(int k) { return Ctx().doc.survey.Line(0).pGPS[static_cast<size_t>(k)]; }

    fs::path dir, previous;
    std::unique_ptr<CBrivaneMainWindow> window;
};

TEST_F(MapWindowTest, ReadoutShowsLatitudeAndLongitudeOnTheMapAndPagePositionsElsewhere) {
    Open(0);
    EXPECT_FALSE(Enabled(kCmdShowFlagsAndLines)) << "only on the map";
    Trigger(kCmdShowMapGPS);
    Paint();
    EXPECT_TRUE(A(kCmdShowMapGPS).isChecked());
    EXPECT_FALSE(Enabled(kCmdShowMapGPS));
    EXPECT_FALSE(Enabled(kCmdShowMapInterpolated)) << "no interpolation yet";
    const CGPSData& fix = Fix(100);
    SendMouse(QEvent::MouseMove, PixelOf(fix.dEasting, fix.dNorthing), Qt::NoButton);
    const QString text = window->Readout().text();
    ASSERT_TRUE(text.startsWith("Lat.=")) << text.toStdString();
    double lat = 0.0, lon = 0.0;
    ASSERT_EQ(std::sscanf(text.toStdString().c_str(), "Lat.=%lf Lon.=%lf", &lat, &lon), 2);
    // Within a pixel's worth (0.26 mm on the page, under a metre on the map).
    EXPECT_NEAR(lat, fix.dLatitude, 1e-5);
    EXPECT_NEAR(lon, fix.dLongitude, 1e-5);

    Trigger(kCmdShowSectionOriginal);
    Paint();
    SendMouse(QEvent::MouseMove, QPoint(40, 30), Qt::NoButton);
    EXPECT_FALSE(window->Readout().text().startsWith("Lat.="));
}

TEST_F(MapWindowTest, ConfigurationTwoSetsFlagsByClicksAndFromLatitudeAndLongitude) {
    Open(2);
    EXPECT_EQ(Ctx().view.iViewMode, kViewGPSMap);
    Paint();
    EXPECT_TRUE(A(kCmdSetFlags).isChecked()) << "flag setting right after opening";
    EXPECT_FALSE(Enabled(kCmdSetDistance));
    EXPECT_FALSE(Enabled(kCmdClearFlags));
    Click(PixelOf(Fix(0).dEasting, Fix(0).dNorthing));
    ASSERT_EQ(Ctx().doc.survey.nFlag, 1);
    EXPECT_NEAR(Ctx().doc.survey.pFlag[0].dX, Fix(0).dEasting, 1.0);
    EXPECT_NEAR(Ctx().doc.survey.pFlag[0].dY, Fix(0).dNorthing, 1.0);
    EXPECT_FALSE(Enabled(kCmdSetDistance)) << "one flag";
    EXPECT_TRUE(Enabled(kCmdClearFlags));

    // The second flag at the last fix, entered in degrees.
    const CGPSData& last = Fix(Ctx().doc.survey.Line(0).nGPS() - 1);
    P().PushAnswer([&last](QDialog& d) {
        SetFieldText(d, "dValue1", QString::number(last.dLatitude, 'f', 7));
        SetFieldText(d, "dValue2", QString::number(last.dLongitude, 'f', 7));
        ClickNamed(d, "ok");
    });
    Trigger(kCmdSetFlagLatLon);
    ASSERT_EQ(Ctx().doc.survey.nFlag, 2);
    EXPECT_NEAR(Ctx().doc.survey.pFlag[1].dX, last.dEasting, 0.01);
    EXPECT_NEAR(ReadSettingReal("FLAG_LATITUDE", 0.0), last.dLatitude, 1e-6);

    Trigger(kCmdSetDistance);
    EXPECT_EQ(Ctx().view.iViewMode, kViewLineResistivity);
    EXPECT_EQ(Ctx().view.iMouseMode, kMouseNormal);
    const CGantrelLine& line = Ctx().doc.survey.Line(0);
    EXPECT_GT(line.pData.back().fDistance - line.pData.front().fDistance, 300.0f);

    Trigger(kCmdShowMapGPS);
    Trigger(kCmdClearFlags);
    EXPECT_EQ(Ctx().doc.survey.nFlag, 0);
}

TEST_F(MapWindowTest, InterpolationShowsTheContouredMapAndTheKmlOverlayIsSaved) {
    Open(0);
    Trigger(kCmdInterpolation);
    ASSERT_EQ(P().Pending(), 0u);
    EXPECT_EQ(P().Messages().back(), "Interpolation completed.");
    EXPECT_TRUE(fs::exists(dir / "DataInterpolation.txt"));
    EXPECT_TRUE(A(kCmdShowMapInterpolated).isChecked());
    EXPECT_TRUE(A(kCmdMapMosaic).isChecked());
    EXPECT_FALSE(Enabled(kCmdMapMosaic));
    Trigger(kCmdMapContourLine);
    EXPECT_EQ(ReadSettingInt("iMapColorMode", -1), 2);
    Trigger(kCmdNextReceiver);
    EXPECT_EQ(Ctx().view.iMapDepthIndex, 1);
    Paint();
    EXPECT_GT(FindDisplay(Ctx().doc)->mapDrawer.filler.nPolygon, 0);

    const fs::path kml = dir / "map.kml";
    P().PushAnswer([kml](QDialog& d) {
        dynamic_cast<QFileDialog&>(d).selectFile(QString::fromStdString(kml.string()));
        d.accept();
    });
    Trigger(kCmdSaveMapKML);
    ASSERT_TRUE(fs::exists(kml));
    const QImage image(QString::fromStdString((dir / "line01.sto.png").string()));
    ASSERT_FALSE(image.isNull()) << "the image is named after the data";
    EXPECT_EQ(image.width(), FindDisplay(Ctx().doc)->mapDrawer.iFrameWidth);
    std::ifstream in(kml);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(text.find("<href>line01.sto.png</href>"), std::string::npos);

    // The image, clipboard and print paths draw the map as well.
    const fs::path png = dir / "map.png";
    P().PushAnswer([png](QDialog& d) {
        dynamic_cast<QFileDialog&>(d).selectFile(QString::fromStdString(png.string()));
        d.accept();
    });
    Trigger(kCmdSaveImage);
    EXPECT_TRUE(fs::exists(png));
    EXPECT_TRUE(Enabled(kCmdCopy));
    EXPECT_TRUE(Enabled(kCmdPrint));
}

}  // namespace
