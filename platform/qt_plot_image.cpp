#include "platform/qt_plot_image.h"

#include <QImageWriter>
#include <QPainter>
#include <QString>
#include <QTransform>
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <tuple>

#include "common/atomic_file.h"
#include "common/language.h"
#include "common/text_format.h"
#include "platform/qt_canvas.h"

namespace {

// Larger images than this are refused rather than attempted (about 1.6 GB at 32 bits).
constexpr long long kMaxImagePixels = 400LL * 1000 * 1000;

// The QPainter canvas with the small discs of dense plots blitted from pre-drawn images. A
// disc drawn by QPainter at an integer position on a device with one pixel per page unit is
// the same picture wherever it lies, so each pen, brush and size is drawn once into an image
// and copied from there: several times faster than drawing every ellipse, with the same
// pixels. Anything else (and any other transform) is drawn by the QPainter canvas.
class CImageCanvas : public CQtCanvas {
public:
    explicit CImageCanvas(QPainter& painter) : CQtCanvas(painter, 1.0), painter_(painter) {}

protected:
    void PaintEllipse(CPoint a, CPoint b) override {
        if (!Blit(a, b)) CQtCanvas::PaintEllipse(a, b);
    }

private:
    static constexpr int kMaxDiameter = 64;
    static constexpr int kMaxPenWidth = 8;
    static constexpr std::size_t kMaxSprites = 256;

    using Key = std::tuple<int, int, int, int, int, int, int, int, int, int>;

    bool Blit(CPoint a, CPoint b) {
        const int d = std::abs(b.x - a.x);
        const CPen& pen = Pen();
        const CBrush& brush = Brush();
        if (d != std::abs(b.y - a.y) || d > kMaxDiameter || pen.iWidth > kMaxPenWidth) return false;
        const QTransform t = painter_.worldTransform();
        if (t.type() > QTransform::TxScale || t.m11() != 1.0 || t.m22() != -1.0 ||
            t.dx() != static_cast<int>(t.dx()) || t.dy() != static_cast<int>(t.dy()))
            return false;
        const int pad = std::max(0, pen.iWidth) / 2 + 2;
        const Key key{d,
                      pen.style == PenStyle::Null ? -1 : static_cast<int>(pen.style),
                      pen.iWidth,
                      pen.color.r,
                      pen.color.g,
                      pen.color.b,
                      brush.bNull ? -1 : brush.color.r,
                      brush.color.g,
                      brush.color.b,
                      pad};
        auto it = sprites_.find(key);
        if (it == sprites_.end()) {
            if (sprites_.size() >= kMaxSprites) return false;
            it = sprites_.emplace(key, Sprite(d, pad)).first;
        }
        // The ellipse's bounding box on the device: page x right, page y up.
        const QPointF topLeft = t.map(QPointF(std::min(a.x, b.x), std::max(a.y, b.y)));
        painter_.setWorldTransform(QTransform());
        painter_.drawImage(
            QPoint(static_cast<int>(topLeft.x()) - pad, static_cast<int>(topLeft.y()) - pad),
            it->second);
        painter_.setWorldTransform(t);
        return true;
    }

    // The disc drawn as the QPainter canvas draws it, at (pad, pad) in a transparent image.
    QImage Sprite(int d, int pad) const {
        const CPen& p = Pen();
        const CBrush& b = Brush();
        QImage sprite(d + 2 * pad, d + 2 * pad, QImage::Format_ARGB32_Premultiplied);
        sprite.fill(Qt::transparent);
        QPainter painter(&sprite);
        painter.setRenderHint(QPainter::Antialiasing, true);
        const auto channel = [](int v) { return std::clamp(v, 0, 255); };
        QPen pen(QColor(channel(p.color.r), channel(p.color.g), channel(p.color.b)),
                 std::max(0, p.iWidth), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        switch (p.style) {
            case PenStyle::Solid:
                break;
            case PenStyle::Dash:
                pen.setStyle(Qt::DashLine);
                break;
            case PenStyle::Dot:
                pen.setStyle(Qt::DotLine);
                break;
            case PenStyle::DashDot:
                pen.setStyle(Qt::DashDotLine);
                break;
            case PenStyle::Null:
                pen.setStyle(Qt::NoPen);
                break;
        }
        pen.setCosmetic(p.iWidth <= 0);
        painter.setPen(pen);
        painter.setBrush(
            b.bNull ? QBrush(Qt::NoBrush)
                    : QBrush(QColor(channel(b.color.r), channel(b.color.g), channel(b.color.b))));
        painter.drawEllipse(QRectF(pad, pad, d, d));
        return sprite;
    }

    QPainter& painter_;
    std::map<Key, QImage> sprites_;
};

}  // namespace

QImage RenderPlotImage(int width, int height, const std::function<void(CCanvas&)>& draw,
                       CColor background) {
    if (width <= 0 || height <= 0 || static_cast<long long>(width) * height > kMaxImagePixels)
        return QImage();
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull()) return image;
    image.fill(QColor(std::clamp(background.r, 0, 255), std::clamp(background.g, 0, 255),
                      std::clamp(background.b, 0, 255)));
    QPainter painter;
    if (!painter.begin(&image)) return QImage();
    {
        CImageCanvas canvas(painter);
        draw(canvas);
    }
    if (!painter.end()) return QImage();
    return image;
}

std::string WritePngFile(const QImage& image, const std::filesystem::path& path) {
    if (image.isNull()) return Tr("There is no display to save.", "保存する表示がありません。");
    const SaveResult result = SaveAtomically(path, [&image](const std::filesystem::path& temp) {
        QImageWriter writer(QString::fromStdU16String(temp.u16string()), "png");
        return writer.write(image);
    });
    if (result.ok()) return {};
    return result.eStatus == SaveStatus::CannotCreate ? CannotOpenFileMessage(path)
                                                      : SaveFailureMessage(result, path);
}

std::string CQtPlotImageWriter::WritePng(int width, int height,
                                         const std::function<void(CCanvas&)>& draw,
                                         const std::filesystem::path& path, CColor background) {
    const QImage image = RenderPlotImage(width, height, draw, background);
    if (image.isNull())
        return Tr("The image cannot be made (it is empty or too large).",
                  "画像を作成できません（空か大きすぎます）。");
    return WritePngFile(image, path);
}

CTextExtent CQtPlotImageWriter::MeasureText(const CFont& font, std::string_view text) const {
    return CQtCanvas::MeasureIn(font, text);
}
