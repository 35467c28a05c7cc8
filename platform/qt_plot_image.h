// Drawings as images through QPainter: one pixel per page unit (0.1 mm), the page's top-left
// corner at pixel (0, 0).
#pragma once

#include <QImage>
#include <filesystem>
#include <functional>
#include <string>

#include "common/canvas.h"
#include "common/plot_image.h"

// An image of width x height pixels filled with the background and drawn on through the
// QPainter canvas; the small discs of dense plots are copied from images drawn once per pen,
// brush and size (the same pixels, several times faster). Null when the size is not positive
// or too large.
QImage RenderPlotImage(int width, int height, const std::function<void(CCanvas&)>& draw,
                       CColor background = kColorWhite);

// Writes an image as PNG through a temporary file in the target's folder renamed over the
// target, so that a failed write leaves the previous file as it was. Returns an empty string,
// or what went wrong.
std::string WritePngFile(const QImage& image, const std::filesystem::path& path);

// The image writer of the core's picture commands.
class CQtPlotImageWriter : public CPlotImageWriter {
public:
    std::string WritePng(int width, int height, const std::function<void(CCanvas&)>& draw,
                         const std::filesystem::path& path, CColor background) override;
    CTextExtent MeasureText(const CFont& font, std::string_view text) const override;
};
