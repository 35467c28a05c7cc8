// Pictures of drawings as image files. The core says what to draw and how large the picture
// is; the platform draws it into an image and encodes it.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "common/canvas.h"

class CPlotImageWriter {
public:
    virtual ~CPlotImageWriter() = default;
    // Draws a picture of width x height pixels, one pixel per page unit (0.1 mm) with the
    // page's top-left corner at pixel (0, 0), on a background of the given colour, and writes
    // it to `path` as PNG. The previous file at `path` survives a failed write. Returns an
    // empty string, or what went wrong in the current language.
    virtual std::string WritePng(int width, int height,
                                 const std::function<void(CCanvas&)>& draw,
                                 const std::filesystem::path& path, CColor background) = 0;
    // Size of a text as the pictures of this writer draw it, so that a picture can be laid
    // out (and sized) before it is drawn. The default estimates.
    virtual CTextExtent MeasureText(const CFont& font, std::string_view text) const {
        return EstimateTextExtent(font, text);
    }
};
