#include "display/line_view.h"

#include <algorithm>
#include <cmath>

#include "common/language.h"
#include "common/text_format.h"
#include "display/disc_filter.h"

namespace {

constexpr CColor kRed{255, 0, 0};
constexpr CColor kGreen{0, 255, 0};
constexpr CColor kCyan{0, 255, 255};
constexpr int kDeletedRadius = 14;
constexpr int kUsedRadius = 10;
constexpr int kUnusedRadius = 6;
// Bands of the current level strip: eight levels (16 mA halving down to 0.125 mA) between
// nine bands.
constexpr int kCurrentLevels = 8;

// The fill of a dot: deleted values red, receivers in use their rainbow colour, others grey.
enum DotStyle : int { kDotDeleted = 0, kDotUsed = 1, kDotUnused = 2 };

bool ReceiverInUse(const CGantrelLine& line, int j) {
    return line.bUse == 1 && line.bReceiverUse[j] == 1;
}

int ReceiverCount(const CGantrelData& data) {
    return std::clamp(data.nReceiver, 0, kMaxReceiver);
}

}  // namespace

std::string LineStatusText(int nLine, int iCurrentLine) {
    return FormatC(Tr("Number of lines = %d. Current line = %d.", "測線数 = %d. 現在の測線 = %d."),
                   nLine, iCurrentLine);
}

std::string GatePromptText(int iGateState) {
    if (iGateState == 1)
        return Tr("Use arrow keys to set gates. Press Enter to move from first to next gate.",
                  "最小距離を矢印キーで設定してください (Enterキーで決定)");
    return Tr("Use arrow keys to set gates. Press Enter to select data between gate.",
              "最大距離を矢印キーで設定してください (Enterキーで決定)");
}

std::string CurrentLevelLabel(int k) {
    return FormatC("%d:%.3fmA", k, 16.0 / std::pow(2.0, k));
}

CGantrelLineView::CGantrelLineView(int language) : parameter(language) {
    SetLanguage(language);
}

void CGantrelLineView::SetLanguage(int language) {
    parameter.iLanguage = language;
    parameter.SetLabels();
    axes.SetLineResistivityTitles(language);
}

float CGantrelLineView::Value(const CGantrelData& data, int j) const {
    return data.fResistivity[j];
}

void CGantrelLineView::LogRange(float& fStart, float& fEnd) const {
    fStart = parameter.fResistivityLogRange[0];
    fEnd = parameter.fResistivityLogRange[1];
}

bool CGantrelLineView::InXRange(float distance) const {
    return distance >= axes.fXStart && distance <= axes.fXEnd;
}

bool CGantrelLineView::DotPosition(const CGantrelData& data, int j, int& X, int& Y) const {
    const float v = Value(data, j);
    if (std::isnan(v)) return false;
    X = PageUnits((static_cast<double>(data.fDistance) - axes.fXStart) * axes.fXScale +
                  parameter.iLeftMargin);
    // Values above the top of the axis sit on the top edge; values below the bottom are not
    // clipped. A value without a logarithm (0 or below) is put on the bottom edge, where it
    // can still be seen and picked.
    const double top = axes.fYEnd;
    const double logValue = v > 0.0f ? std::log10(static_cast<double>(v)) : axes.fYStart;
    Y = PageUnits((top - std::min(top, logValue)) * axes.fYScale + parameter.iTopMargin);
    return true;
}

bool CGantrelLineView::Draw(CCanvas& canvas, const CGantrelLine& line, int& iRight, int& iBottom,
                            const CClientSize* client) {
    return DrawPlot(canvas, line, iRight, iBottom, client, iMarkerPenWidth, iGatePenWidth);
}

bool CGantrelLineView::DrawPlot(CCanvas& canvas, const CGantrelLine& line, int& iRight,
                                int& iBottom, const CClientSize* client, int markerWidth,
                                int gateWidth) {
    if (!axes.bXFixed) {
        axes.fXStart = line.fMinDistance;
        axes.fXEnd = line.fMaxDistance;
        axes.SetAutomaticXInterval();
    }
    if (!axes.bYFixed) {
        LogRange(axes.fYStart, axes.fYEnd);
        axes.fYInterval = 1.0f;
    }
    if (client != nullptr) axes.FitScales(client->iWidth, client->iHeight, parameter, 0);
    axes.UpdateTicks();
    if (!axes.IsDrawable()) return false;

    CCanvasStateSaver keep(canvas);
    CPlotOffset offset;
    const CFrameEdges edges = DrawFrameAndAxes(canvas, parameter, axes, offset);
    iRight = edges.iRight;
    iBottom = edges.iBottom;
    const int top = parameter.iTopMargin;
    // Values off the vertical range stay inside the frame rather than run over the caption.
    CCanvasClip clip(canvas, {parameter.iLeftMargin, -top}, {edges.iRight, -edges.iBottom});

    if (bShowCurrentLevel) DrawCurrentLevel(canvas, line, edges.iRight);
    DrawDots(canvas, line);

    for (const CMarkerData& m : line.pMarker) {
        if (!InXRange(m.fDistance)) continue;
        const int X = PageUnits((static_cast<double>(m.fDistance) - axes.fXStart) * axes.fXScale +
                                parameter.iLeftMargin);
        canvas.SetPen({m.iKind == 2 ? kRed : kGreen, markerWidth, PenStyle::Solid});
        canvas.Line(X, -edges.iBottom, X, -top);
    }

    if (iGateState == 1 || iGateState == 2) {
        const float gates[2] = {fFirstGate, fSecondGate};
        for (int g = 0; g < 2; ++g) {
            const int X = PageUnits((static_cast<double>(gates[g]) - axes.fXStart) * axes.fXScale +
                                    parameter.iLeftMargin);
            canvas.SetPen({g + 1 == iGateState ? kRed : kCyan, gateWidth, PenStyle::Solid});
            canvas.Line(X, -edges.iBottom, X, -top);
        }
    }
    return true;
}

void CGantrelLineView::DrawDots(CCanvas& canvas, const CGantrelLine& line) const {
    std::vector<CDiscDraw> dots;
    dots.reserve(static_cast<std::size_t>(line.nData()) * 2);
    for (const CGantrelData& data : line.pData) {
        const int n = ReceiverCount(data);
        if (n < 1 || !InXRange(data.fDistance)) continue;
        for (int j = 0; j < n; ++j) {
            if (line.bReceiverShown[j] != 1 || data.bValid[j] != 1) continue;
            CDiscDraw d;
            if (!DotPosition(data, j, d.x, d.y)) continue;
            d.y = -d.y;
            // The style keeps the kind in its two low bits and the receiver above them.
            if (data.bDeleted[j] == 1) {
                d.radius = kDeletedRadius;
                d.iStyle = kDotDeleted;
            } else if (ReceiverInUse(line, j)) {
                d.radius = kUsedRadius;
                d.iStyle = kDotUsed + 4 * j;
            } else {
                d.radius = kUnusedRadius;
                d.iStyle = kDotUnused + 4 * j;
            }
            dots.push_back(d);
        }
    }
    canvas.SetPen(kBlackPen);
    for (std::uint32_t i : VisibleDiscs(dots)) {
        const CDiscDraw& d = dots[i];
        const int kind = d.iStyle % 4;
        const int j = d.iStyle / 4;
        const CColor fill = kind == kDotDeleted ? kRed
                            : kind == kDotUsed  ? colors_.Rainbow(8 * j)
                                                : colors_.Grey(8 * j);
        canvas.SetBrush(SolidBrush(fill));
        canvas.Disc(d.x, d.y, d.radius);
    }
}

void CGantrelLineView::DrawCurrentLevel(CCanvas& canvas, const CGantrelLine& line,
                                        int frameRight) const {
    const int left = parameter.iLeftMargin;
    const int top = parameter.iTopMargin;
    const int d = PageUnits((axes.fYEnd - axes.fYStart) * axes.fYScale / 9.0f);
    canvas.SetFont(TickLabelFont(parameter.iLanguage));
    canvas.SetTextColor(kColorBlack);
    canvas.SetTextAlign({HAlign::Left, VAlign::Top});
    for (int k = 0; k < kCurrentLevels; ++k) {
        const int Y = top + (k + 1) * d;
        canvas.SetPen(kBlackPen);
        canvas.Line(left, -Y, frameRight, -Y);
        canvas.Text(left + 10, -(Y - 60), CurrentLevelLabel(k));
    }
    const int nReceiver = std::clamp(line.nMaxReceiver, 0, kMaxReceiver);
    std::vector<CPoint> points;
    for (int i = 0; i < nReceiver; ++i) {
        if (line.bReceiverShown[i] != 1) continue;
        points.clear();
        for (const CGantrelData& data : line.pData) {
            if (!InXRange(data.fDistance)) continue;
            const int level = data.iCurrentLevel[i];
            if (level < 0 || level >= kCurrentLevels) continue;
            const int X = PageUnits(
                (static_cast<double>(data.fDistance) - axes.fXStart) * axes.fXScale + left);
            points.push_back({X, -(top + (level + 1) * d)});
        }
        const CColor color = ReceiverInUse(line, i) ? colors_.Rainbow(8 * i) : colors_.Grey(8 * i);
        canvas.SetPen({color, iGatePenWidth, PenStyle::Solid});
        canvas.Polyline(points);
    }
}

int CGantrelLineView::Pick(CGantrelLine& line, int x, int y, int tolerance, int& px, int& py) {
    for (CGantrelData& data : line.pData) {
        const int n = ReceiverCount(data);
        if (n < 1 || !InXRange(data.fDistance)) continue;
        for (int j = 0; j < n; ++j) {
            if (line.bReceiverShown[j] != 1 || data.bValid[j] != 1) continue;
            int X = 0, Y = 0;
            if (!DotPosition(data, j, X, Y)) continue;
            if (std::abs(X - x) < tolerance && std::abs(-Y - y) < tolerance) {
                // A second click on a marked dot takes the mark back.
                data.bDeleted[j] = data.bDeleted[j] == 1 ? 0 : 1;
                px = X;
                py = -Y;
                return 1;
            }
        }
    }
    return 0;
}

int CGantrelLineView::SelectInRectangle(CGantrelLine& line, int x1, int y1, int x2, int y2) {
    const int xl = std::min(x1, x2), xr = std::max(x1, x2);
    const int yl = std::min(y1, y2), yh = std::max(y1, y2);
    int count = 0;
    for (CGantrelData& data : line.pData) {
        const int n = ReceiverCount(data);
        for (int j = 0; j < n; ++j) {
            if (line.bReceiverShown[j] != 1 || data.bValid[j] != 1) continue;
            int X = 0, Y = 0;
            if (!DotPosition(data, j, X, Y)) continue;
            if (X >= xl && X <= xr && -Y >= yl && -Y <= yh) {
                data.bDeleted[j] = 1;
                ++count;
            }
        }
    }
    return count;
}

CGantrelResistanceView::CGantrelResistanceView(int language) : CGantrelLineView(language) {
    SetLanguage(language);
}

void CGantrelResistanceView::SetLanguage(int language) {
    parameter.iLanguage = language;
    parameter.SetLabels();
    axes.SetLineResistanceTitles(language);
}

bool CGantrelResistanceView::Draw(CCanvas& canvas, const CGantrelLine& line, int& iRight,
                                  int& iBottom, const CClientSize* client) {
    return DrawPlot(canvas, line, iRight, iBottom, client, 5, 10);
}

float CGantrelResistanceView::Value(const CGantrelData& data, int j) const {
    return data.fResistance[j];
}

void CGantrelResistanceView::LogRange(float& fStart, float& fEnd) const {
    fStart = parameter.fResistanceLogRange[0];
    fEnd = parameter.fResistanceLogRange[1];
}
