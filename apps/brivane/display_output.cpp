#include "apps/brivane/display_output.h"

#include <QBuffer>
#include <QMimeData>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QSvgGenerator>
#include <algorithm>

#include "display/views.h"
#include "display/display_image.h"
#include "display/reversed_text_canvas.h"
#include "platform/qt_canvas.h"
#include "platform/qt_plot_image.h"

namespace {
constexpr double kUnitsPerInch = 254.0;
}

QSize ClipboardPictureSize(CBrivaneContext& ctx) {
    const CDisplayExtents e = DisplayOf(ctx).extents;
    if (e.iRight <= 0 || e.iBottom <= 0) return {};
    return {e.iRight + kClipboardMarginRight, e.iBottom + kClipboardMarginBottom};
}

QByteArray RenderDisplaySvg(CBrivaneContext& ctx, bool bReverseYText) {
    const QSize size = ClipboardPictureSize(ctx);
    if (size.isEmpty()) return {};
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setSize(size);
    generator.setViewBox(QRect(QPoint(0, 0), size));
    generator.setResolution(static_cast<int>(kUnitsPerInch));
    generator.setTitle("Brivane");
    CExportingScope exporting;
    QPainter painter;
    if (!painter.begin(&generator)) return {};
    {
        CQtCanvas canvas(painter, 1.0);
        CReversedYTextCanvas reversed(canvas);
        DrawDisplay(bReverseYText ? static_cast<CCanvas&>(reversed) : canvas, ctx);
    }
    painter.end();
    return bytes;
}

QImage RenderDisplayImage(CBrivaneContext& ctx, bool bReverseYText) {
    const CClientSize size = DisplayImageSize(ctx);
    return RenderPlotImage(size.iWidth, size.iHeight, [&ctx, bReverseYText](CCanvas& canvas) {
        CReversedYTextCanvas reversed(canvas);
        DrawDisplayImage(bReverseYText ? static_cast<CCanvas&>(reversed) : canvas, ctx);
    });
}

QMimeData* DisplayClipboardData(CBrivaneContext& ctx, bool bReverseYText) {
    const QByteArray svg = RenderDisplaySvg(ctx, bReverseYText);
    if (svg.isEmpty()) return nullptr;
    auto* data = new QMimeData;
    data->setData("image/svg+xml", svg);
    const QImage image = RenderDisplayImage(ctx, bReverseYText);
    if (!image.isNull()) data->setImageData(image);
    return data;
}

double PrintDevicePerUnit(QSize picture, QSize page, double dpi, bool bTrueScale) {
    const double trueScale = (dpi > 0.0 ? dpi : 300.0) / kUnitsPerInch;
    if (bTrueScale || picture.isEmpty() || page.isEmpty()) return trueScale;
    return std::min(static_cast<double>(page.width()) / picture.width(),
                    static_cast<double>(page.height()) / picture.height());
}

bool DrawDisplayOnPage(CBrivaneContext& ctx, QPainter& painter, QSize page, double dpi,
                       bool bTrueScale) {
    // Laid out first, which also stores the extents the picture is sized from.
    {
        CNullCanvas probe;
        if (!DrawDisplay(probe, ctx)) return false;
    }
    // Nothing is painted past the sheet (a preview would show it, at true scale).
    painter.save();
    painter.setClipRect(QRect(QPoint(0, 0), page), Qt::IntersectClip);
    bool drew = false;
    {
        CQtCanvas canvas(painter,
                         PrintDevicePerUnit(ClipboardPictureSize(ctx), page, dpi, bTrueScale));
        drew = DrawDisplay(canvas, ctx);
    }
    painter.restore();
    return drew;
}

bool PrintDisplay(CBrivaneContext& ctx, QPagedPaintDevice& device, bool bTrueScale) {
    // A display with nothing to draw must not cost a sheet of paper.
    {
        CNullCanvas probe;
        if (!DrawDisplay(probe, ctx)) return false;
    }
    QPainter painter;
    if (!painter.begin(&device)) return false;
    const bool drew = DrawDisplayOnPage(ctx, painter, QSize(device.width(), device.height()),
                                        device.logicalDpiX(), bTrueScale);
    return painter.end() && drew;
}
