#include "acquisition/logger_geometry.h"

#include <gtest/gtest.h>

#include <cmath>

#include "common/language.h"
#include "common/memory_settings.h"
#include "common/record_time.h"
#include "common/recording_canvas.h"
#include "common/settings.h"

namespace {

class LoggerGeometry : public ::testing::Test {
protected:
    void SetUp() override { SetSettingsBackend(&settings); }
    void TearDown() override {
        SetSettingsBackend(nullptr);
        SetLanguage(kLanguageEnglish);
    }
    static CGantrelGeometry Same(float a, float rope) {
        CGantrelGeometry g = CGantrelGeometry::Initial();
        g.fTransmitterDipole = g.fReceiverDipole = a;
        g.fRopeLength = rope;
        g.bDifferentSize = 0;
        return g;
    }
    CMemorySettingsBackend settings;
};

TEST_F(LoggerGeometry, FreshInstallationStartsFromTheLoggersOwnValues) {
    const CGantrelGeometry g = LoadLoggerGeometry(kFirstInstrument);
    EXPECT_FLOAT_EQ(g.fOffset, 7.5f);
    EXPECT_FLOAT_EQ(g.fRopeLength, 5.0f);
    EXPECT_EQ(g.iDipoleIndex, 3);
    EXPECT_EQ(g.iDipoleIndexReceiver, 3);
    EXPECT_FLOAT_EQ(g.fTransmitterDipole, 5.0f);
    EXPECT_FLOAT_EQ(g.fReceiverDipole, 5.0f);
    EXPECT_EQ(g.bDifferentSize, 0);
}

TEST_F(LoggerGeometry, EachInstrumentKeepsItsOwnKeys) {
    CGantrelGeometry first = LoadLoggerGeometry(kFirstInstrument);
    first.fRopeLength = 12.5f;
    first.iDipoleIndex = 4;
    first.SizeFromIndex();
    SaveLoggerGeometry(first, kFirstInstrument);
    EXPECT_EQ(ReadSettingString("GeometryRopeLength", ""), "12.500000");
    EXPECT_EQ(ReadSettingInt("GeometryiDipoleIndex", 0), 4);

    // Never set up: the second instrument starts as the first.
    EXPECT_FLOAT_EQ(LoadLoggerGeometry(kSecondInstrument).fRopeLength, 12.5f);

    CGantrelGeometry second = LoadLoggerGeometry(kSecondInstrument);
    second.iDipoleIndex = 2;
    second.iDipoleIndexReceiver = 5;
    second.bDifferentSize = 1;
    second.fRopeLength = 3.0f;
    SaveLoggerGeometry(second, kSecondInstrument);
    EXPECT_EQ(ReadSettingInt("GeometryiDipoleIndexReceiver_1", 0), 5);
    EXPECT_EQ(ReadSettingInt("GeometrybDifferentSize_1", 0), 1);

    const CGantrelGeometry back = LoadLoggerGeometry(kSecondInstrument);
    EXPECT_FLOAT_EQ(back.fTransmitterDipole, 2.5f);
    EXPECT_FLOAT_EQ(back.fReceiverDipole, 15.0f);
    EXPECT_FLOAT_EQ(back.fRopeLength, 3.0f) << "the next run keeps the second instrument's set-up";
    EXPECT_FLOAT_EQ(LoadLoggerGeometry(kFirstInstrument).fRopeLength, 12.5f);
}

TEST_F(LoggerGeometry, SameSizeDipolesFollowTheLoggersFormulas) {
    CGantrelGeometry g = Same(5.0f, 10.0f);
    CGantrelData d;
    d.nReceiver = 3;
    d.fResistance[0] = 1.0f;
    d.fResistance[1] = 2.0f;
    ComputeLoggerResistivity(d, g);
    EXPECT_FLOAT_EQ(d.fNFactor[0], 5.0f);
    EXPECT_NEAR(LoggerGeometricFactor(g, 0), 1601.5, 0.1);
    EXPECT_NEAR(LoggerGeometricFactor(g, 1), 2583.4, 0.1);
    EXPECT_NEAR(LoggerGeometricFactor(g, 2), 3895.1, 0.1);
    EXPECT_NEAR(d.fResistivity[0], 80.07, 0.01) << "V/I 1.0 with K 1601.5";
    EXPECT_NEAR(d.fResistivity[1], 2583.4 * 2.0 / 20.0, 0.02);
    EXPECT_FLOAT_EQ(d.fDepth[0], 3.75f);
    EXPECT_FLOAT_EQ(d.fDepth[1], 4.375f);
    EXPECT_FLOAT_EQ(d.fDepth[2], 5.0f);
    EXPECT_EQ(g.bDifferentSize, 0);
}

// Without rope the nearest receiver of equal dipoles has m = 2, where one power of the
// factor is 0^0 = 1. With L = 0 the factor of receiver i is a fixed multiple of a (11.557 at
// a = 2.5 for receiver 0); a rope of 1 mm must change it only a little.
TEST_F(LoggerGeometry, NoRopeGivesAFiniteFactorForEveryDipoleSize) {
    const float kRatio0 = 11.557f / 2.5f;
    for (float a : {1.0f, 2.0f, 2.5f, 5.0f, 10.0f, 15.0f, 20.0f, 25.0f, 30.0f, 35.0f, 40.0f}) {
        for (float rope : {0.0f, 0.001f}) {
            SCOPED_TRACE(testing::Message() << "a = " << a << ", rope = " << rope);
            CGantrelGeometry g = Same(a, rope);
            CGantrelData d;
            d.nReceiver = kMaxReceiver;
            for (int i = 0; i < kMaxReceiver; ++i) d.fResistance[i] = 1.0f;
            ComputeLoggerResistivity(d, g);
            // (m - 2) ln(m - 2) falls steeply near 0: a millimetre moves K by up to 2 %.
            const float ratio = LoggerGeometricFactor(g, 0) / a;
            if (rope == 0.0f)
                EXPECT_NEAR(ratio, kRatio0, 0.001f);
            else
                EXPECT_NEAR(ratio, kRatio0, 0.02f * kRatio0);
            float previous = 0.0f;
            for (int i = 0; i < kMaxReceiver; ++i) {
                ASSERT_TRUE(std::isfinite(d.fResistivity[i])) << "receiver " << i + 1;
                EXPECT_GT(d.fResistivity[i], previous) << "farther receivers have larger K";
                previous = d.fResistivity[i];
            }
        }
    }
    EXPECT_NEAR(LoggerGeometricFactor(Same(2.5f, 0.0f), 0), 11.557, 0.001);
}

TEST_F(LoggerGeometry, DifferentSizesUseTheFourElectrodeFactor) {
    CGantrelGeometry g = Same(5.0f, 10.0f);
    g.fReceiverDipole = 10.0f;
    CGantrelData d;
    d.nReceiver = 1;
    d.fResistance[0] = 20.0f;
    ComputeLoggerResistivity(d, g);
    EXPECT_EQ(g.bDifferentSize, 1) << "the geometry learns that its sizes differ";
    EXPECT_NEAR(LoggerGeometricFactor(g, 0), 1278.6, 0.1);
    EXPECT_NEAR(d.fResistivity[0], 1278.6, 0.1);
    EXPECT_FLOAT_EQ(d.fDepth[0], 4.375f);
    EXPECT_FLOAT_EQ(d.fNFactor[0], 0.0f);
}

TEST_F(LoggerGeometry, GeometryRecordCarriesTheStartTime) {
    CGantrelGeometry g = LoadLoggerGeometry(kFirstInstrument);
    std::int64_t t = 0;
    ASSERT_TRUE(LocalCalendarTime(2009, 6, 15, 12, 34, 56, t));
    g.time = t;
    g.iMilliSecond = 250;
    EXPECT_EQ(LoggerGeometryRecord(g),
              "33  GOHM      7.500      5.000      5.000      5.000 12:34:56.25 06/15/09 1 ");
}

TEST_F(LoggerGeometry, DialogShowsWhatTheCheckBoxChooses) {
    CGantrelGeometry g = LoadLoggerGeometry(kFirstInstrument);
    CDlgGantrelGeometry dlg = CDlgGantrelGeometry::From(g);
    EXPECT_EQ(dlg.FirstGroupCaption(), "Dipole size (cable length)");
    EXPECT_FALSE(dlg.ReceiverGroupShown());
    EXPECT_TRUE(dlg.NSpaceButtonShown());
    EXPECT_EQ(CDlgGantrelGeometry::kDipoleButtons[2], std::string("2.5m (1.25m)"));

    dlg.ChooseMode(GeometryPreview::NSpace);
    dlg.SetDifferentSize(1);
    EXPECT_EQ(dlg.ePreview, GeometryPreview::Geometry)
        << "N-space has no meaning for different sizes";
    EXPECT_FALSE(dlg.NSpaceButtonShown());
    EXPECT_TRUE(dlg.ReceiverGroupShown());
    EXPECT_EQ(dlg.FirstGroupCaption(), "Transmitter dipole size (cable length)");
    dlg.ChooseMode(GeometryPreview::NSpace);
    EXPECT_EQ(dlg.ePreview, GeometryPreview::Geometry) << "a hidden button cannot be pressed";

    SetLanguage(kLanguageJapanese);
    EXPECT_EQ(dlg.FirstGroupCaption(), "送信ﾀﾞｲﾎﾟｰﾙｻｲｽﾞ (ｹｰﾌﾞﾙ長)");
}

TEST_F(LoggerGeometry, EditsThatAreNoNumberKeepThePreviousValue) {
    CDlgGantrelGeometry dlg = CDlgGantrelGeometry::From(LoadLoggerGeometry(kFirstInstrument));
    dlg.sRopeLength = "12.0";
    dlg.sOffset = "far";
    dlg.Reflesh();
    EXPECT_FLOAT_EQ(dlg.fRopeLength, 12.0f);
    EXPECT_FLOAT_EQ(dlg.fOffset, 7.5f);
    dlg.sRopeLength = "";
    dlg.iDipoleIndex = 5;
    dlg.iDipoleIndexReceiver = 1;
    dlg.bDifferentSize = 1;
    CGantrelGeometry g = LoadLoggerGeometry(kFirstInstrument);
    dlg.ApplyTo(g);
    EXPECT_FLOAT_EQ(g.fRopeLength, 12.0f);
    EXPECT_FLOAT_EQ(g.fTransmitterDipole, 15.0f);
    EXPECT_FLOAT_EQ(g.fReceiverDipole, 2.0f);
    dlg.iDipoleIndex = 11;  // beyond the table: the size stays
    dlg.ApplyTo(g);
    EXPECT_FLOAT_EQ(g.fTransmitterDipole, 15.0f);
}

TEST_F(LoggerGeometry, PreviewDiagramsHaveTheirTitlesAndStayInsideTheMargins) {
    CDlgGantrelGeometry dlg = CDlgGantrelGeometry::From(LoadLoggerGeometry(kFirstInstrument));
    const int w = 1200, h = 800;
    const struct {
        GeometryPreview mode;
        const char* title;
    } modes[] = {{GeometryPreview::Geometry, "Distance (m)"},
                 {GeometryPreview::ApparentDepth, "Apparent depth (m)"},
                 {GeometryPreview::NSpace, "N-space"}};
    for (const auto& m : modes) {
        CRecordingCanvas canvas;
        dlg.ChooseMode(m.mode);
        dlg.DrawPreview(canvas, w, h);
        ASSERT_NE(canvas.FindText(m.title), nullptr) << m.title;
        for (const auto& r : canvas.OfKind(CanvasPrimitive::Line)) {
            for (const auto& p : r.points) {
                EXPECT_GE(p.x, kPreviewMarginX) << m.title;
                EXPECT_LE(p.x, w - kPreviewMarginX) << m.title;
                EXPECT_LE(p.y, -kPreviewMarginY + 1) << m.title;
                EXPECT_GE(p.y, -(h - kPreviewMarginY)) << m.title;
            }
        }
    }
    CRecordingCanvas depth;
    dlg.ChooseMode(GeometryPreview::ApparentDepth);
    dlg.DrawPreview(depth, w, h);
    EXPECT_NE(depth.FindText("1: 2.50"), nullptr)
        << "receiver 1's apparent depth, rope 5 m, 5 m dipoles";
    EXPECT_EQ(depth.OfKind(CanvasPrimitive::Rectangle).size(), 6u) << "the frame and five bars";

    CRecordingCanvas tiny;
    dlg.DrawPreview(tiny, 90, 300);
    EXPECT_TRUE(tiny.Records().empty()) << "no room inside the margins: nothing drawn";

    SetLanguage(kLanguageJapanese);
    CRecordingCanvas ja;
    dlg.ChooseMode(GeometryPreview::Geometry);
    dlg.DrawPreview(ja, w, h);
    EXPECT_NE(ja.FindText("距離 (m)"), nullptr);
}

}  // namespace
