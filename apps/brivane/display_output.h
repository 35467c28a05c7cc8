// The processing view's display on the clipboard and on paper: the same display routine the
// window uses, drawn with the exporting flag for the clipboard and fitted to the page (or at
// true size, one page unit 0.1 mm) on the printer.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

#include "processing/document.h"

class QMimeData;
class QPainter;
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
// Device pixels per page unit on paper: the picture of the display (ClipboardPictureSize: the
// drawing with its caption and legend) scaled to fill the printable page, keeping its
// proportions; at true scale (one page unit is 0.1 mm) when asked, or when either size is
// empty.
double PrintDevicePerUnit(QSize picture, QSize page, double dpi, bool bTrueScale);
// Draws the display with an active painter on a page of that many device pixels from its
// top-left corner. False when the display has nothing to draw.
bool DrawDisplayOnPage(CBrivaneContext& ctx, QPainter& painter, QSize page, double dpi,
                       bool bTrueScale);
// Draws the display on a printer (or a PDF writer) on its printable area: fitted to the page
// unless bTrueScale. False when the device cannot be painted on or the display has nothing to
// draw.
bool PrintDisplay(CBrivaneContext& ctx, QPagedPaintDevice& device, bool bTrueScale = false);
