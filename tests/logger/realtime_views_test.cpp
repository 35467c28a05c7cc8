// The real-time views on the recording canvas: where readings, markers, the sweep, the status
// squares, the badge and the GPS fixes land, and which are left out.
#include "logger/realtime_views.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "common/recording_canvas.h"
#include "logger/tessick_menu.h"
#include "tests/logger/logger_support.h"

namespace loggertest {
namespace {

constexpr CViewSize kClient{3000, 1500};
constexpr CColor kRed{255, 0, 0};
constexpr CColor kGreen{0, 255, 0};
constexpr CColor kMagenta{255, 0, 255};

CPoint Centre(const CCanvasRecord& r) {
    return {(r.points[0].x + r.points[1].x) / 2, (r.points[0].y + r.points[1].y) / 2};
}
int RadiusOf(const CCanvasRecord& r) {
    return std::abs(r.points[1].x - r.points[0].x) / 2;
}
// The data dots: circles of the given radius.
std::vector<CCanvasRecord> Discs(const CRecordingCanvas& c, int radius) {
    std::vector<CCanvasRecord> out;
    for (const auto& r : c.OfKind(CanvasPrimitive::Ellipse))
        if (RadiusOf(r) == radius) out.push_back(r);
    return out;
}

class Views : public DocTest {
protected:
    std::int64_t Now() { return clock.Now().time; }
    // Page x of time position x (s) on the profile's axes of the current mode.
    int ProfileX(const CProfileView& v, float x) {
        const CAxes& a = v.axes[v.iMode == 1 ? 0 : v.iMode == 2 ? 1 : 2];
        return PageUnits(doc->parameter.iLeftMargin + (x - a.fXStart) * a.fXScale);
    }
    CRecordingCanvas canvas;
};

TEST_F(Views, ProfileSweepAndAgeRule) {
    MakeDoc();
    CProfileView view(S());
    EXPECT_EQ(view.iMode, CProfileView::kResistance) << "default mode V/I";
    AddReading(1, 250);  // too old
    AddReading(1, 10);   // with the sweep at 5 s: at 195 s
    AddReading(1, 0);
    view.fSweep = 5.0f;
    view.Draw(canvas, S(), doc->parameter, kClient, Now());
    const auto dots = Discs(canvas, 10);
    ASSERT_EQ(dots.size(), 2u) << "the 250 s old reading is not drawn";
    EXPECT_EQ(Centre(dots[0]).x, ProfileX(view, 195.0f));
    EXPECT_EQ(Centre(dots[1]).x, ProfileX(view, 5.0f));
    // V/I 1.0 lies at log 0, the middle of the -2..2 range.
    const CAxes& a = view.axes[1];
    EXPECT_EQ(Centre(dots[0]).y, -PageUnits(doc->parameter.iTopMargin + 2.0f * a.fYScale));
    // Not recorded: grey entry 0.
    EXPECT_EQ(dots[0].brush.color, CReceiverColors().Grey(0));
    // The sweep: magenta, 10 wide, at 5 s.
    const auto sweep = canvas.LinesWithPen(kMagenta, 10);
    ASSERT_EQ(sweep.size(), 1u);
    EXPECT_EQ(sweep[0].points[0].x, ProfileX(view, 5.0f));
}

TEST_F(Views, ProfileValuesAboveTheRangeSitOnTheTopAndStatusSquaresUnderTheFrame) {
    MakeDoc();
    CProfileView view(S());
    AddReading(2, 0, 1000.0);  // log 3, above the top (2)
    view.Draw(canvas, S(), doc->parameter, kClient, Now());
    const auto dots = Discs(canvas, 10);
    ASSERT_EQ(dots.size(), 2u);
    EXPECT_EQ(Centre(dots[0]).y, -doc->parameter.iTopMargin);
    // Status squares 20 wide and 16 high: current level digit 2 at 16 + 16 i below the frame,
    // the second digit 4 96 further down.
    const int bottom = PageUnits(doc->parameter.iTopMargin + 4.0f * view.axes[1].fYScale);
    std::vector<CCanvasRecord> squares;
    for (const auto& r : canvas.OfKind(CanvasPrimitive::Rectangle))
        if (std::abs(r.points[1].x - r.points[0].x) == 20) squares.push_back(r);
    ASSERT_EQ(squares.size(), 4u);
    EXPECT_EQ(Centre(squares[0]).y, -(bottom + 16));
    EXPECT_EQ(Centre(squares[1]).y, -(bottom + 16 + 96));
    EXPECT_EQ(Centre(squares[2]).y, -(bottom + 32));
    EXPECT_EQ(squares[0].brush.color, CReceiverColors().Rainbow(25));
    EXPECT_EQ(squares[1].brush.color, CReceiverColors().Rainbow(15));
    EXPECT_EQ(StatusSquareColor(9), kColorBlack);
}

TEST_F(Views, MarkersAreGreenAndEndRedAndTheMarkBadgeShowsOnce) {
    MakeDoc();
    CProfileView view(S());
    CPty pty;
    StartGantrel(pty);
    doc->OnKey('M');  // START: REC badge, no MARK badge
    view.Draw(canvas, S(), doc->parameter, kClient, Now());
    EXPECT_NE(canvas.FindText("REC"), nullptr);
    EXPECT_EQ(canvas.FindText("MARK"), nullptr);

    clock.Advance(2000);
    doc->OnKey('M');  // MARK
    canvas.Clear();
    view.Draw(canvas, S(), doc->parameter, kClient, Now());
    const CCanvasRecord* mark = canvas.FindText("MARK");
    ASSERT_NE(mark, nullptr);
    EXPECT_EQ(canvas.FindText("REC"), nullptr);
    const auto badge = canvas.OfKind(CanvasPrimitive::Rectangle);
    ASSERT_FALSE(badge.empty());
    EXPECT_EQ(badge.back().brush.color, kGreen);
    EXPECT_EQ(badge.back().points[1], (CPoint{286, -112}));
    canvas.Clear();
    view.Draw(canvas, S(), doc->parameter, kClient, Now());
    EXPECT_EQ(canvas.FindText("MARK"), nullptr) << "the MARK badge is drawn once";
    EXPECT_NE(canvas.FindText("REC"), nullptr);

    doc->OnKey('P');
    canvas.Clear();
    view.Draw(canvas, S(), doc->parameter, kClient, Now());
    EXPECT_NE(canvas.FindText("PAUSE"), nullptr);

    clock.Advance(3000);
    doc->OnKey('E');
    canvas.Clear();
    view.Draw(canvas, S(), doc->parameter, kClient, Now());
    EXPECT_EQ(canvas.LinesWithPen(kGreen, 5).size(), 2u) << "START and MARK";
    const auto end = canvas.LinesWithPen(kRed, 5);
    ASSERT_EQ(end.size(), 1u);
    EXPECT_EQ(end[0].points[0].x, end[0].points[1].x) << "vertical";
    EXPECT_EQ(end[0].points[0].x, ProfileX(view, 0.0f)) << "the END marker is 0 s old";
    EXPECT_EQ(canvas.FindText("REC"), nullptr) << "no badge while idle";
    EXPECT_EQ(canvas.FindText("PAUSE"), nullptr);
}

TEST_F(Views, ProfileSweepTimerRedrawsOnlyWhenTheConsoleIsSilent) {
    MakeDoc();
    CProfileView view(S());
    const CClockTime now = clock.Now();
    EXPECT_FALSE(view.OnTimer(now, {now.time - 2, now.iMilliSecond}));
    EXPECT_EQ(view.fSweep, 2.0f - 1.0f);
    EXPECT_TRUE(view.OnTimer(now, {now.time - 3, now.iMilliSecond}));
    view.fSweep = 199.0f;
    view.OnTimer(now, now);
    EXPECT_EQ(view.fSweep, 0.0f) << "back to 0 at 200";
}

TEST_F(Views, ProfileTextTable) {
    MakeDoc();
    CProfileView view(S());
    view.Command(kCmdViewText, prompter);
    EXPECT_EQ(ReadSettingInt("iViewMenu", -1), 0) << "the mode is stored at once";
    view.Draw(canvas, S(), doc->parameter, kClient, Now());
    ASSERT_NE(canvas.FindText("No data"), nullptr);
    for (int k = 0; k < 25; ++k) AddReading(2, 0, 1.0 + k);
    canvas.Clear();
    view.Draw(canvas, S(), doc->parameter, kClient, Now());
    const auto texts = canvas.OfKind(CanvasPrimitive::Text);
    ASSERT_EQ(texts.size(), 80u) << "the last 20 readings, four columns each";
    EXPECT_EQ(texts[0].points[0], (CPoint{10, -10}));
    EXPECT_EQ(texts[1].points[0], (CPoint{2000, -10}));
    EXPECT_EQ(texts[4].points[0], (CPoint{10, -70}));
    EXPECT_EQ(texts[2].sText, " 2  2 ");
    EXPECT_EQ(texts[3].sText, " 4  4 ");
    EXPECT_EQ(texts[0].sText.rfind("2 ", 0), 0u);
    // The oldest row shown is reading 5 (V/I 6), receiver 0's resistivity first.
    EXPECT_EQ(texts[0].sText,
              FormatC("2 %f  %f ", static_cast<double>(S().readings[5].fResistivity[0]),
                      static_cast<double>(S().readings[5].fResistivity[1])));
}

TEST_F(Views, ProfileModelModeColoursAndManualIntervals) {
    MakeDoc();
    for (int k = 0; k < 5; ++k) AddReading(3, k, 0.5 + k);
    CProfileView view(S());
    float lo = 0, hi = 0;
    CProfileView::ResistivityBounds(S(), lo, hi);
    EXPECT_FLOAT_EQ(view.fColorMin, lo) << "bounds from the ring at creation";
    EXPECT_FLOAT_EQ(view.fColorInterval, (hi - lo) / 26.0f);
    view.Command(kCmdViewModel, prompter);
    view.Draw(canvas, S(), doc->parameter, kClient, Now());
    const auto dots = Discs(canvas, 10);
    ASSERT_EQ(dots.size(), 15u);
    const CLoggerReading& r0 = S().readings[0];
    EXPECT_EQ(dots[0].brush.color, view.scale.ColorOf(r0.fResistivity[0]));
    const CAxes& a = view.axes[2];
    EXPECT_EQ(Centre(dots[0]).y,
              -PageUnits(doc->parameter.iTopMargin + (0.0 + r0.fDepth[0]) * a.fYScale))
        << "drawn at minus the apparent depth";
    EXPECT_NE(canvas.FindText("(Ohm-m)"), nullptr) << "the colour legend";

    // Manual: the dialog opens with the automatic colours' span; too many levels are refused
    // and the dialog comes back with what was typed.
    const float autoMinimum = view.scale.fBound[0];
    const float autoMaximum = view.scale.fBound[view.scale.nLevel - 2];
    std::vector<CDlgContourInterval> shown;
    prompter.PushDialog<CDlgContourInterval>([&](CDlgContourInterval& d) {
        shown.push_back(d);
        d.fMinimum = 1.0f;
        d.fMaximum = 1000.0f;
        d.fInterval = 1.0f;
    });
    prompter.PushDialog<CDlgContourInterval>([&](CDlgContourInterval& d) {
        shown.push_back(d);
        d.fMinimum = 10.0f;
        d.fMaximum = 100.0f;
        d.fInterval = 10.0f;
    });
    ASSERT_TRUE(view.Command(kCmdColorManual, prompter, dir.string()));
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_FLOAT_EQ(shown[0].fMinimum, autoMinimum);
    EXPECT_FLOAT_EQ(shown[0].fMaximum, autoMaximum);
    EXPECT_GT(shown[0].fInterval, 0.0f);
    EXPECT_FLOAT_EQ(shown[1].fMinimum, 1.0f);
    EXPECT_FLOAT_EQ(shown[1].fMaximum, 1000.0f);
    EXPECT_FLOAT_EQ(shown[1].fInterval, 1.0f);
    EXPECT_EQ(prompter.Messages().back().rfind("Number of contour is too many", 0), 0u);
    EXPECT_TRUE(view.IsChecked(kCmdColorManual));
    EXPECT_DOUBLE_EQ(ReadSettingReal("color_rMax", 0), 100.0);
    CProfileView again(S());
    EXPECT_FLOAT_EQ(again.fColorInterval, 10.0f) << "stored values override the ring's";

    prompter.PushCancel();
    view.Command(kCmdColorManual, prompter, dir.string());
    EXPECT_TRUE(view.IsChecked(kCmdColorManual)) << "Cancel changes nothing";
    view.Command(kCmdColorDefault, prompter);
    EXPECT_TRUE(view.IsChecked(kCmdColorDefault));
    EXPECT_EQ(view.scale.nLevel, 26);
}

TEST_F(Views, ModelViewFadesOlderReadings) {
    MakeDoc();
    for (int k = 0; k < 200; ++k) AddReading(1, 0, 1.0);
    CResistivityModelView view(0);
    view.Draw(canvas, S(), doc->parameter, kClient);
    const auto discs = canvas.OfKind(CanvasPrimitive::Ellipse);
    ASSERT_EQ(discs.size(), 200u);
    EXPECT_EQ(RadiusOf(discs.front()), 5) << "the oldest";
    EXPECT_EQ(discs.front().brush.color, kColorWhite);
    EXPECT_EQ(discs.front().pen.color, (CColor{255, 255, 255}));
    EXPECT_EQ(discs.front().pen.iWidth, 2);
    EXPECT_EQ(RadiusOf(discs.back()), 15) << "the newest";
    const CColor grey0 = CReceiverColors().Grey(0);
    const CColor newest = discs.back().brush.color;
    EXPECT_LE(std::abs(newest.r - grey0.r), 2) << "almost full colour";
    EXPECT_EQ(CResistivityModelView::Radius(200, 100), 10);
    EXPECT_EQ(CResistivityModelView::Paler({0, 100, 255}, 0.5f), (CColor{127, 177, 255}));

    view.Command(kCmdViewText);
    canvas.Clear();
    view.Draw(canvas, S(), doc->parameter, kClient);
    EXPECT_TRUE(canvas.Records().empty()) << "mode 0 is blank";
}

// A GGA sentence a distance north of 35.46 N 136.74 E, with its checksum.
std::string GGA(double dNorthMetres, int iSecond) {
    const double lat = 35.46 + dNorthMetres / 111000.0;
    const int deg = static_cast<int>(lat);
    const double minutes = (lat - deg) * 60.0;
    std::string body =
        FormatC("GPGGA,0300%02d.00,%02d%07.4f,N,13644.4000,E,1,08,1.0,10.0,M,0.0,M,,", iSecond, deg,
                minutes);
    int sum = 0;
    for (char c : body) sum ^= static_cast<unsigned char>(c);
    return FormatC("$%s*%02X", body.c_str(), sum);
}

TEST_F(Views, GPSMapAroundTheLatestFixLeavesOutAFarFix) {
    MakeDoc();
    S().HandleGGA(GGA(1000.0, 1), clock.Now(), 0);  // 1 km from the latest
    S().HandleGGA(GGA(100.0, 2), clock.Now(), 0);
    S().HandleGGA(GGA(0.0, 3), clock.Now(), 0);
    ASSERT_EQ(S().fixes.Count(), 3);
    CGPSView view(0);
    // A 500 by 500 pixel window at 96 dots per inch.
    const int side = 500 * 254 / 96;
    view.Draw(canvas, S(), doc->parameter, {side, side});
    const auto latest = Discs(canvas, 15);
    const auto others = Discs(canvas, 10);
    ASSERT_EQ(latest.size(), 1u);
    ASSERT_EQ(others.size(), 1u) << "the fix 1 km away is outside the map";
    EXPECT_EQ(latest[0].brush.color, kRed);
    EXPECT_EQ(others[0].brush.color, kColorWhite);
    // 100 m north is 250 units above the latest fix.
    EXPECT_NEAR(Centre(others[0]).y - Centre(latest[0]).y, 250, 8);
    EXPECT_NEAR(Centre(others[0]).x, Centre(latest[0]).x, 8) << "grid north is near true north";
    const CGPSData& f = S().fixes.Latest();
    const CCanvasRecord* label = canvas.FindText(FormatC("%.5f %.5f", f.dLongitude, f.dLatitude));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->points[0], (CPoint{Centre(latest[0]).x + 5, Centre(latest[0]).y - 15}));
    EXPECT_EQ(label->font.iHeight, 35);

    view.Command(kCmdViewText);
    canvas.Clear();
    view.Draw(canvas, S(), doc->parameter, {side, side});
    const auto texts = canvas.OfKind(CanvasPrimitive::Text);
    ASSERT_EQ(texts.size(), 6u);
    EXPECT_EQ(texts[5].points[0], (CPoint{1000, -130}));
    EXPECT_EQ(texts[4].sText, FormatC("%lf %lf ", f.dLatitude, f.dLongitude));
}

// The plots' texts, at a large window and at the small ones a field laptop gives them: inside
// the window and clear of each other, and the map's tick labels all whole metres.
TEST_F(Views, PlotTextsStayInsideTheWindowAndApart) {
    MakeDoc();
    for (int k = 0; k < 30; ++k) AddReading(1, k, 50.0 + k);
    for (int k = 0; k < 5; ++k) S().HandleGGA(GGA(20.0 * k, k + 1), clock.Now(), 0);
    struct Plot {
        const char* name;
        std::function<void(CCanvas&, CViewSize)> draw;
    };
    CProfileView profile(S());
    CResistivityModelView model(0);
    CGPSView gps(0);
    auto profileIn = [&](int mode) {
        return [&, mode](CCanvas& c, CViewSize size) {
            profile.SetMode(mode);
            profile.Draw(c, S(), doc->parameter, size, Now());
        };
    };
    const Plot plots[] = {
        {"apparent resistivity", profileIn(CProfileView::kResistivity)},
        {"V/I", profileIn(CProfileView::kResistance)},
        {"model profile", profileIn(CProfileView::kModel)},
        {"model", [&](CCanvas& c, CViewSize size) { model.Draw(c, S(), doc->parameter, size); }},
        {"GPS map", [&](CCanvas& c, CViewSize size) { gps.Draw(c, S(), doc->parameter, size); }},
    };
    const CViewSize sizes[] = {kClient, {1600, 900}, {1100, 700}};
    for (int language : {kLanguageEnglish, kLanguageJapanese}) {
        doc->parameter.iLanguage = language;
        doc->parameter.SetLabels();
        for (const Plot& plot : plots) {
            for (const CViewSize& size : sizes) {
                SCOPED_TRACE(std::string(plot.name) + " " + std::to_string(size.iWidth) + "x" +
                             std::to_string(size.iHeight) + " language " +
                             std::to_string(language));
                canvas.Clear();
                plot.draw(canvas, size);
                const CBox window{0, -size.iHeight, size.iWidth, 0};
                const auto texts = canvas.OfKind(CanvasPrimitive::Text);
                ASSERT_FALSE(texts.empty());
                for (std::size_t i = 0; i < texts.size(); ++i) {
                    EXPECT_TRUE(texts[i].box.Inside(window)) << texts[i].sText;
                    for (std::size_t j = i + 1; j < texts.size(); ++j) {
                        EXPECT_FALSE(texts[i].box.Overlaps(texts[j].box))
                            << texts[i].sText << " / " << texts[j].sText;
                    }
                    const bool tickLabel = texts[i].font.iHeight == 35 &&
                                           texts[i].sText.find(' ') == std::string::npos;
                    if (std::string(plot.name) == "GPS map" && tickLabel) {
                        EXPECT_EQ(texts[i].sText.find('.'), std::string::npos) << texts[i].sText;
                    }
                }
            }
        }
    }
}

TEST_F(Views, GPSTableWithoutFixesAndLoggingView) {
    MakeDoc();
    CGPSView gps(0);
    gps.Command(kCmdViewText);
    gps.Draw(canvas, S(), doc->parameter, kClient);
    EXPECT_NE(canvas.FindText("No GPS data"), nullptr);
    canvas.Clear();
    S().receivedLines.Append("first");
    S().receivedLines.Append("second");
    CLoggingView::Draw(canvas, S(), 2.0);
    ASSERT_EQ(canvas.Texts(), (std::vector<std::string>{"first", "second"}));
    EXPECT_EQ(canvas.OfKind(CanvasPrimitive::Text)[1].points[0], (CPoint{20, -60}));
}

TEST_F(Views, LoggingViewGivesEachLineOfAnEntryItsOwnRow) {
    MakeDoc();
    S().receivedLines.Append("Error during upload\r\nError: 28\r\nOperation timed out");
    S().receivedLines.Append("a\nb\rc\r\n");
    S().receivedLines.Append("last");
    CLoggingView::Draw(canvas, S(), 2.0);
    ASSERT_EQ(canvas.Texts(),
              (std::vector<std::string>{"Error during upload", "Error: 28", "Operation timed out",
                                        "a", "b", "c", "last"}));
    EXPECT_EQ(canvas.OfKind(CanvasPrimitive::Text)[6].points[0], (CPoint{20, -260}));
}

}  // namespace
}  // namespace loggertest
