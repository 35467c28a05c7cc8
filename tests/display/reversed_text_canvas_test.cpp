// The clipboard's "Reverse Y axis text" canvas, on the recording canvas and rendered by Qt.
#include "display/reversed_text_canvas.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QRect>

#include "common/axes.h"
#include "common/language.h"
#include "common/recording_canvas.h"
#include "platform/qt_canvas.h"

namespace {

TEST(ReversedYText, DownwardTextsTurnAndOthersPassUnchanged) {
    CRecordingCanvas inner;
    CReversedYTextCanvas canvas(inner);
    canvas.SetPen({{200, 0, 0}, 3, PenStyle::Dash});
    canvas.Line(0, 0, 10, -10);
    CFont title = YTitleFont(kLanguageEnglish);
    ASSERT_EQ(title.iEscapement, -900);
    canvas.SetFont(title);
    canvas.SetTextAlign({HAlign::Left, VAlign::Bottom});
    canvas.Text(10, -500, "Depth (m)");
    canvas.SetFont(XTitleFont(kLanguageEnglish));
    canvas.SetTextAlign({HAlign::Center, VAlign::Top});
    canvas.Text(300, -900, "Distance (m)");

    const auto& r = inner.Records();
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[0].pen, (CPen{{200, 0, 0}, 3, PenStyle::Dash})) << "drawing state goes through";
    EXPECT_EQ(r[1].font.iEscapement, 900) << "reads upwards";
    EXPECT_EQ(r[1].align, (CTextAlign{HAlign::Right, VAlign::Top}));
    EXPECT_EQ(r[1].points.front(), (CPoint{10, -500}));
    EXPECT_EQ(r[1].font.iHeight, title.iHeight);
    EXPECT_EQ(r[2].font.iEscapement, 0);
    EXPECT_EQ(r[2].align, (CTextAlign{HAlign::Center, VAlign::Top}));
}

// Box of the dark pixels of an image, and a picture of a vertical title drawn on it.
QRect Ink(const QImage& image) {
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 128) box |= QRect(x, y, 1, 1);
    return box;
}

QImage Title(bool reversed) {
    return RenderCanvasImage(600, 800, [reversed](CCanvas& target) {
        CReversedYTextCanvas turned(target);
        CCanvas& canvas = reversed ? static_cast<CCanvas&>(turned) : target;
        CFont font = YTitleFont(kLanguageEnglish);
        font.iHeight = 60;
        canvas.SetFont(font);
        canvas.SetTextAlign({HAlign::Left, VAlign::Bottom});
        canvas.Text(300, -200, "Elevation (m)");
    });
}

TEST(ReversedYText, TurnedTitleCoversTheSameBoxReadingTheOtherWay) {
    const QImage down = Title(false), up = Title(true);
    ASSERT_FALSE(down.isNull());
    const QRect a = Ink(down), b = Ink(up);
    ASSERT_FALSE(a.isEmpty());
    ASSERT_FALSE(b.isEmpty());
    EXPECT_GT(a.height(), 3 * a.width()) << "a vertical title";
    // The same place within a few pixels (the glyphs' own side bearings differ by the turn).
    EXPECT_NEAR(a.left(), b.left(), 8);
    EXPECT_NEAR(a.right(), b.right(), 8);
    EXPECT_NEAR(a.top(), b.top(), 8);
    EXPECT_NEAR(a.bottom(), b.bottom(), 8);
    // Turned half round: each picture is the other one rotated by 180 degrees in its box.
    const QImage rotated = up.copy(b).mirrored(true, true);
    const QImage original = down.copy(a);
    int same = 0, total = 0;
    for (int y = 0; y < std::min(rotated.height(), original.height()); ++y)
        for (int x = 0; x < std::min(rotated.width(), original.width()); ++x, ++total)
            same += (qGray(rotated.pixel(x, y)) < 128) == (qGray(original.pixel(x, y)) < 128);
    EXPECT_GT(same, total * 9 / 10);
    EXPECT_NE(down, up);
}

}  // namespace
