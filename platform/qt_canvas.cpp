#include "platform/qt_canvas.h"

#include <QFile>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPolygonF>
#include <QStringList>
#include <QSvgGenerator>
#include <algorithm>
#include <cmath>

namespace {

// One page unit is 0.1 mm: 254 units per inch.
constexpr double kUnitsPerInch = 254.0;
// Larger images than this are refused rather than attempted (about 1.6 GB at 32 bits).
constexpr qint64 kMaxImagePixels = 400LL * 1000 * 1000;

QColor ToQColor(CColor c) {
    return QColor(std::clamp(c.r, 0, 255), std::clamp(c.g, 0, 255), std::clamp(c.b, 0, 255));
}

QPointF ToQPoint(CPoint p) {
    return QPointF(p.x, p.y);
}

QPolygonF ToQPolygon(const std::vector<CPoint>& points) {
    QPolygonF polygon;
    polygon.reserve(static_cast<qsizetype>(points.size()));
    for (const CPoint& p : points) polygon << ToQPoint(p);
    return polygon;
}

QRectF ToQRect(CPoint a, CPoint b) {
    return QRectF(ToQPoint(a), ToQPoint(b)).normalized();
}

Qt::PenStyle ToQtStyle(PenStyle style) {
    switch (style) {
        case PenStyle::Solid:
            return Qt::SolidLine;
        case PenStyle::Dash:
            return Qt::DashLine;
        case PenStyle::Dot:
            return Qt::DotLine;
        case PenStyle::DashDot:
            return Qt::DashDotLine;
        case PenStyle::Null:
            return Qt::NoPen;
    }
    return Qt::SolidLine;
}

QString ToQString(const std::filesystem::path& path) {
    return QString::fromStdU16String(path.u16string());
}

// Paints a drawing on a device whose resolution is known; page (0, 0) at the device origin.
bool PaintOn(QPaintDevice& device, double devicePerUnit, const CanvasDrawing& draw) {
    QPainter painter;
    if (!painter.begin(&device)) return false;
    {
        CQtCanvas canvas(painter, devicePerUnit);
        draw(canvas);
    }
    return painter.end();
}

}  // namespace

CQtCanvas::CQtCanvas(QPainter& painter, double dDevicePerUnit, QPointF origin) : painter_(painter) {
    if (painter_.hasClipping()) {
        deviceClip_ = painter_.worldTransform().map(painter_.clipPath());
        bDeviceClip_ = true;
    }
    painter_.save();
    painter_.setRenderHint(QPainter::Antialiasing, true);
    painter_.setRenderHint(QPainter::TextAntialiasing, true);
    painter_.translate(origin);
    painter_.scale(dDevicePerUnit, -dDevicePerUnit);
}

CQtCanvas::~CQtCanvas() {
    painter_.restore();
}

QFont CQtCanvas::ToQFont(const CFont& font) {
    QFont f;
    if (!font.sFaceName.empty()) {
        f.setFamilies({QString::fromStdString(font.sFaceName)});
    } else if (font.bJapanese) {
        // A fixed-pitch serif face with Japanese glyphs; the CJK fonts are the fallback.
        f.setFamilies({"MS Mincho", "Noto Serif CJK JP", "Noto Sans CJK JP"});
        f.setStyleHint(QFont::Serif);
    } else {
        f.setFamilies({"Arial", "Liberation Sans", "DejaVu Sans"});
        f.setStyleHint(QFont::SansSerif);
    }
    // The world transform scales the font with everything else: its size is in page units.
    f.setPixelSize(std::max(1, font.iHeight));
    return f;
}

void CQtCanvas::ApplyPen() {
    const CPen& p = Pen();
    QPen pen(ToQColor(p.color), std::max(0, p.iWidth), ToQtStyle(p.style), Qt::RoundCap,
             Qt::RoundJoin);
    // Width 0 is the device's thinnest line whatever the scale.
    pen.setCosmetic(p.iWidth <= 0);
    painter_.setPen(pen);
}

void CQtCanvas::ApplyPenAndBrush() {
    ApplyPen();
    const CBrush& b = Brush();
    painter_.setBrush(b.bNull ? QBrush(Qt::NoBrush) : QBrush(ToQColor(b.color)));
}

void CQtCanvas::PaintLine(CPoint a, CPoint b) {
    ApplyPen();
    painter_.drawLine(ToQPoint(a), ToQPoint(b));
}

void CQtCanvas::PaintPolyline(const std::vector<CPoint>& points) {
    ApplyPen();
    painter_.drawPolyline(ToQPolygon(points));
}

void CQtCanvas::PaintPolygon(const std::vector<CPoint>& points) {
    ApplyPenAndBrush();
    painter_.drawPolygon(ToQPolygon(points), Qt::OddEvenFill);
}

void CQtCanvas::PaintRectangle(CPoint a, CPoint b) {
    ApplyPenAndBrush();
    painter_.drawRect(ToQRect(a, b));
}

void CQtCanvas::PaintEllipse(CPoint a, CPoint b) {
    ApplyPenAndBrush();
    painter_.drawEllipse(ToQRect(a, b));
}

void CQtCanvas::PaintText(CPoint at, std::string_view text) {
    const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    const QFont font = ToQFont(Font());
    const QFontMetricsF metrics(font);
    double dx = 0.0;
    if (TextAlign().h == HAlign::Center) dx = -metrics.horizontalAdvance(s) / 2.0;
    if (TextAlign().h == HAlign::Right) dx = -metrics.horizontalAdvance(s);
    double baseline = metrics.ascent();
    if (TextAlign().v == VAlign::Baseline) baseline = 0.0;
    if (TextAlign().v == VAlign::Bottom) baseline = -metrics.descent();

    painter_.save();
    painter_.translate(ToQPoint(at));
    // Text is laid out with y down around its reference point, then turned by the escapement
    // (counter-clockwise on the page, so clockwise in these y-down coordinates).
    painter_.scale(1.0, -1.0);
    painter_.rotate(-Font().iEscapement / 10.0);
    painter_.setFont(font);
    painter_.setPen(ToQColor(TextColor()));
    painter_.drawText(QPointF(dx, baseline), s);
    painter_.restore();
}

CTextExtent CQtCanvas::Measure(std::string_view text) const {
    return MeasureIn(Font(), text);
}

CTextExtent CQtCanvas::MeasureIn(const CFont& font, std::string_view text) {
    const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    const QFontMetricsF metrics(ToQFont(font));
    CTextExtent e;
    e.iWidth = static_cast<int>(std::ceil(metrics.horizontalAdvance(s)));
    e.iAscent = static_cast<int>(std::ceil(metrics.ascent()));
    e.iHeight = static_cast<int>(std::ceil(metrics.ascent() + metrics.descent()));
    return e;
}

void CQtCanvas::ApplyClip() {
    // In page units: the painter's world transform maps the rectangle like everything else.
    const QPainterPath sheet = painter_.worldTransform().inverted().map(deviceClip_);
    if (HasClip()) {
        painter_.setClipRect(ToQRect(ClipCorner1(), ClipCorner2()), Qt::ReplaceClip);
        if (bDeviceClip_) painter_.setClipPath(sheet, Qt::IntersectClip);
    } else if (bDeviceClip_) {
        painter_.setClipPath(sheet, Qt::ReplaceClip);
    } else {
        painter_.setClipping(false);
    }
}

QImage RenderCanvasImage(int width, int height, const CanvasDrawing& draw, CColor background) {
    if (width <= 0 || height <= 0 || static_cast<qint64>(width) * height > kMaxImagePixels)
        return QImage();
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull()) return image;
    image.fill(ToQColor(background));
    if (!PaintOn(image, 1.0, draw)) return QImage();
    return image;
}

bool SaveCanvasPng(const std::filesystem::path& path, int width, int height,
                   const CanvasDrawing& draw, CColor background) {
    const QImage image = RenderCanvasImage(width, height, draw, background);
    return !image.isNull() && image.save(ToQString(path), "PNG");
}

bool SaveCanvasSvg(const std::filesystem::path& path, int width, int height,
                   const CanvasDrawing& draw) {
    if (width <= 0 || height <= 0) return false;
    const QString file = ToQString(path);
    QSvgGenerator generator;
    generator.setFileName(file);
    generator.setSize(QSize(width, height));
    generator.setViewBox(QRect(0, 0, width, height));
    generator.setResolution(static_cast<int>(kUnitsPerInch));
    return PaintOn(generator, 1.0, draw) && QFile(file).size() > 0;
}

bool SaveCanvasPdf(const std::filesystem::path& path, int width, int height,
                   const CanvasDrawing& draw) {
    if (width <= 0 || height <= 0) return false;
    QPdfWriter writer(ToQString(path));
    writer.setPageSize(QPageSize(QSizeF(width / 10.0, height / 10.0), QPageSize::Millimeter));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setResolution(static_cast<int>(kUnitsPerInch));
    return PaintOn(writer, writer.resolution() / kUnitsPerInch, draw);
}
