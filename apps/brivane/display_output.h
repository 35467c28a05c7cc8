// The processing view's display on the clipboard and on paper: the same display routine the
// window uses, drawn with the exporting flag for the clipboard and at true size (one page unit
// is 0.1 mm) on the printer.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

#include "processing/document.h"

class QMimeData;
class QPagedPaintDevice;

// Room kept right of and below the extents of the last draw on the clipboard picture, page
// units (25 mm and 20 mm, as the image file keeps).
inline constexpr int kClipboardMarginRight = 250;
inline constexpr int kClipboardMarginBottom = 200;

// The clipboard picture's size in page units, from the extents of the last draw; empty when
// nothing has been drawn yet.
QSize ClipboardPictureSize(CBrivaneContext& ctx);
// The display as "Save display image to a file" draws it; null when nothing has been drawn.
// bReverseYText: the vertical axis titles read upwards (the clipboard's option).
QImage RenderDisplayImage(CBrivaneContext& ctx, bool bReverseYText = false);
// The display as an SVG document of that size (true size: one page unit is 0.1 mm); empty
// when there are no extents.
QByteArray RenderDisplaySvg(CBrivaneContext& ctx, bool bReverseYText = false);
// What "Copy to clipboard" puts there: the SVG document ("image/svg+xml") and the PNG image
// of "Save display image to a file", with the vertical axis titles reading upwards when
// bReverseYText ("Reverse Y axis text for clipbord copy" checked). Null when there is nothing
// to copy.
QMimeData* DisplayClipboardData(CBrivaneContext& ctx, bool bReverseYText);
// Draws the display on a printer (or a PDF writer) from the top-left corner of its printable
// area, one page unit being 0.1 mm on paper. False when the device cannot be painted on or
// the display has nothing to draw.
bool PrintDisplay(CBrivaneContext& ctx, QPagedPaintDevice& device);
