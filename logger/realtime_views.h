// The logging program's four real-time views, drawn from the record rings and line logs of
// the acquisition state: the profile (a text table, V/I or apparent resistivity against the
// last 200 seconds with the sweep, markers, status squares and the status badge, or the
// apparent resistivity model), the resistivity model (apparent resistivity against apparent
// depth, newest strongest), the GPS view (a text table or a map around the latest fix) and
// the logging view (the received lines).
//
// Page units of 0.1 mm, y up; a view's client area is given as width and height in page
// units, its top-left corner at page (0, 0).
#pragma once

#include <cstdint>
#include <string>

#include "acquisition/acquisition_state.h"
#include "common/axes.h"
#include "common/canvas.h"
#include "common/color_scale.h"
#include "common/drawing_parameter.h"
#include "common/prompter.h"

struct CViewSize {
    int iWidth = 0;
    int iHeight = 0;
};

// The status badge at the top-left corner: 0,0 to 286,-112.
inline constexpr int kBadgeWidth = 286;
inline constexpr int kBadgeHeight = 112;
enum class StatusBadge { None, Mark, Pause, Rec };
// "MARK" on green, "PAUSE" on yellow, "REC" on red, black text.
void DrawStatusBadge(CCanvas& canvas, StatusBadge badge);

// Fill of a status square for a status digit d: rainbow entry 5 × (7 − d) for 0 to 7; the
// digits 8 and 9 (and anything else) are black, outside the instrument's scale.
CColor StatusSquareColor(int d);

class CProfileView {
public:
    static constexpr int kScrollWidth = 5000, kScrollHeight = 1000;
    static constexpr int kTimerPeriod = 1000;  // ms, the sweep
    static constexpr float kSweepLength = 200.0f;  // s shown
    enum Mode : int { kText = 0, kResistivity = 1, kResistance = 2, kModel = 3 };

    // Mode from "iViewMenu" (default 2); colour bounds from the ring (more than two
    // readings), then "color_rMin", "color_rMax", "color_rInt" where stored.
    explicit CProfileView(const CAcquisitionState& state);

    // The view menu's commands (modes, colour); true when handled. "Manual" asks through
    // the prompter; a listing of its levels goes to listingFolder.
    bool Command(int iCommand, CPrompter& prompter, const std::string& listingFolder = ".");
    bool IsChecked(int iCommand) const;
    void SetMode(int iMode);  // writes "iViewMenu" at once

    // The one-second timer: moves the sweep on by 1 s (back to 0 at 200); true when the view
    // is to redraw, as the last data arrival is 3 s or more old.
    bool OnTimer(CClockTime now, CClockTime lastData);

    // t0: the current time, whole seconds.
    void Draw(CCanvas& canvas, const CAcquisitionState& state,
              const CGantrelDrawingParameter& param, CViewSize client, std::int64_t t0);

    // The sweep position and age rule: where a record of this time lies on the 0..200 s
    // axis, false when it is not drawn (200 s or older, or off the axis).
    bool TimePosition(std::int64_t t0, std::int64_t time, float& x) const;
    // Smallest and largest apparent resistivity of the ring (100000 and 0 when empty).
    static void ResistivityBounds(const CAcquisitionState& state, float& fMin, float& fMax);

    int iMode = kResistance;
    int iColorMode = kContourDefault;
    CColorScale scale;
    float fColorMin = 0.0f, fColorMax = 0.0f, fColorInterval = 0.0f;
    float fSweep = 0.0f;
    CAxes axes[3];  // resistivity, resistance, depth
    // The MARK badge shows once after each MARK: set when a new MARK marker is seen in the
    // ring, cleared when the badge has been drawn.
    bool bMarkBadge = false;

private:
    void DrawTable(CCanvas& canvas, const CAcquisitionState& state) const;
    void DrawPlot(CCanvas& canvas, const CAcquisitionState& state,
                  const CGantrelDrawingParameter& param, CViewSize client, std::int64_t t0);
    void NoticeMarkers(const CAcquisitionState& state);
    bool ManualColor(CPrompter& prompter, const std::string& listingFolder);
    CReceiverColors colors_;
    // The newest marker already seen: a different one that is a MARK requests the badge.
    int iSeenLine_ = -2, iSeenMarker_ = -2, iSeenKind_ = -2;
    std::int64_t tSeen_ = 0;
};

class CResistivityModelView {
public:
    static constexpr int kScrollWidth = 5000, kScrollHeight = 1000;
    // The frame's place and size when created, pixels.
    static constexpr int kFrameX = 10, kFrameY = 10, kFrameW = 400, kFrameH = 400;
    explicit CResistivityModelView(int language);

    bool Command(int iCommand);
    bool IsChecked(int iCommand) const;
    void Draw(CCanvas& canvas, const CAcquisitionState& state,
              const CGantrelDrawingParameter& param, CViewSize client);

    // Radius and paleness of the reading at index k (oldest 0) of n: r = (n − k) / 200.
    static int Radius(int n, int k);
    static CColor Paler(CColor c, float r);

    // 1 model, 0 blank, kInvertedSection the live section (the window draws it: Draw leaves it)
    static constexpr int kInvertedSection = 2;
    int iMode = 1;
    CAxes axes;

private:
    CReceiverColors colors_;
};

class CGPSView {
public:
    static constexpr int kScrollWidth = 2000, kScrollHeight = 2000;
    static constexpr int kFrameX = 100, kFrameY = 100, kFrameW = 500, kFrameH = 500;
    static constexpr float kUnitsPerMetre = 2.5f;
    static constexpr float kTickMetres = 50.0f;
    explicit CGPSView(int language);

    bool Command(int iCommand);
    bool IsChecked(int iCommand) const;
    void Draw(CCanvas& canvas, const CAcquisitionState& state,
              const CGantrelDrawingParameter& param, CViewSize client);

    int iMode = 1;  // 1 map, 0 text table
    CAxes axes;
};

// The received-lines log, oldest first, one row per line of an entry (CR LF, LF or CR end
// one), row k at x = 10 and y = 10 + 20 k pixels; unitsPerPixel converts them to page units.
class CLoggingView {
public:
    static void Draw(CCanvas& canvas, const CAcquisitionState& state, double unitsPerPixel);
};
