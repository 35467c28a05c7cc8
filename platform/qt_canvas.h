// The canvas on a QPainter: page units of 0.1 mm with y up are mapped onto the painter's
// device, and the helpers render a drawing to a PNG image, an SVG file or a PDF page.
#pragma once

#include <QPainterPath>
#include <QPointF>
#include <filesystem>
#include <functional>

#include "common/canvas.h"

class QFont;
class QImage;
class QPainter;

class CQtCanvas : public CCanvas {
public:
    // The painter must be active. dDevicePerUnit: device pixels per page unit (1 for the
    // image export, resolution / 254 for a screen or printer); origin: device position of page
    // point (0, 0). The painter's state is restored when the canvas is destroyed.
    explicit CQtCanvas(QPainter& painter, double dDevicePerUnit = 1.0, QPointF origin = {0, 0});
    ~CQtCanvas() override;
    CQtCanvas(const CQtCanvas&) = delete;
    CQtCanvas& operator=(const CQtCanvas&) = delete;

    // The Qt font a canvas font is drawn with (pixel size in page units).
    static QFont ToQFont(const CFont& font);
    // Size of a text in a canvas font as this canvas draws it (page units).
    static CTextExtent MeasureIn(const CFont& font, std::string_view text);

protected:
    void PaintLine(CPoint a, CPoint b) override;
    void PaintPolyline(const std::vector<CPoint>& points) override;
    void PaintPolygon(const std::vector<CPoint>& points) override;
    void PaintRectangle(CPoint a, CPoint b) override;
    void PaintEllipse(CPoint a, CPoint b) override;
    void PaintText(CPoint at, std::string_view text) override;
    void ApplyClip() override;
    CTextExtent Measure(std::string_view text) const override;

private:
    void ApplyPen();
    void ApplyPenAndBrush();
    QPainter& painter_;
    // The painter's clip when the canvas was made (device coordinates): the canvas's own
    // clips only ever narrow it, so that a drawing set on a sheet stays on the sheet.
    QPainterPath deviceClip_;
    bool bDeviceClip_ = false;
};

using CanvasDrawing = std::function<void(CCanvas&)>;

// One pixel per page unit, the page's top-left corner at pixel (0, 0): a page area of
// width × height units filled with the background, then the drawing. The image is null
// when the size is not positive or too large to allocate.
QImage RenderCanvasImage(int width, int height, const CanvasDrawing& draw,
                         CColor background = kColorWhite);
// False when the image cannot be made or the file cannot be written.
bool SaveCanvasPng(const std::filesystem::path& path, int width, int height,
                   const CanvasDrawing& draw, CColor background = kColorWhite);
// Vector output at true size (one page unit is 0.1 mm).
bool SaveCanvasSvg(const std::filesystem::path& path, int width, int height,
                   const CanvasDrawing& draw);
bool SaveCanvasPdf(const std::filesystem::path& path, int width, int height,
                   const CanvasDrawing& draw);
