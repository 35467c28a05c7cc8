// The console transfer display (iViewMode 5): what the transfer waits for or how many lines
// came, and the newest records received.
#pragma once

#include "common/canvas.h"
#include "display/views.h"
#include "processing/console_transfer.h"

// Page units of 0.1 mm, y measured downwards from the top and drawn negated.
inline constexpr int kTransferTextX = 10;
inline constexpr int kTransferTitleY = 10;
inline constexpr int kTransferListY = 100;
inline constexpr int kTransferListStep = 60;
// Width given as the display's extent (what a picture or print of it spans).
inline constexpr int kTransferDisplayWidth = 2000;

// Draws the transfer of the view; false when no transfer runs (nothing to draw).
bool DrawConsoleTransferDisplay(CCanvas& canvas, const CBrivaneContext& ctx,
                                CDisplayExtents& extents);
