#include "display/map_view.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "common/language.h"
#include "common/text_format.h"
#include "common/utm.h"

namespace {

constexpr int kMapReserve = 200;        // page units right of the frame kept for the legend
constexpr int kMapLeftMargin = 240;     // page units left of the frame: northings and title
constexpr float kTickInterval = 50.0f;  // m
// Tick intervals tried after 50 m when the labels of 50 m ticks would overlap, m.
constexpr float kWiderIntervals[] = {100.0f,  200.0f,  250.0f,   500.0f,   1000.0f,  2000.0f,
                                     2500.0f, 5000.0f, 10000.0f, 20000.0f, 50000.0f, 100000.0f};
// Room between two x tick labels, page units.
constexpr int kLabelGap = 25;
constexpr double kAllowance = 100.0;  // m outside the axis ranges still drawn
// Page units a label is moved from its flag or fix, and the room the corner labels take.
constexpr int kLabelOffset = 50;
// The corner labels reach this far past the frame's sides, and keep this far from the x tick
// labels above and from the frame below.
constexpr int kCornerLabelOut = 60;
constexpr int kCornerLabelGap = 8;
// A survey of a single point is shown on a square of this side, m.
constexpr double kPointBox = 100.0;

constexpr CColor kGrey{150, 150, 150};
constexpr CColor kOperatorGreen{0, 255, 0};
constexpr CColor kTransmitterRed{255, 0, 0};
constexpr CColor kReceiverBlue{0, 0, 255};
constexpr CColor kFlagYellow{255, 255, 0};
constexpr CColor kArrowOlive{150, 150, 0};
constexpr CColor kCornerBlue{0, 0, 255};

using CVertex = CTriangleFiller::CVertex;

CVertex Between(const CVertex& p, const CVertex& q, double bound) {
    const double t = (bound - p.value) / (static_cast<double>(q.value) - p.value);
    return {p.x + (q.x - p.x) * t, p.y + (q.y - p.y) * t, static_cast<float>(bound)};
}

// The part of a convex polygon where the value is at least `bound` (bAbove) or below it.
std::vector<CVertex> Clip(const std::vector<CVertex>& polygon, double bound, bool bAbove) {
    std::vector<CVertex> out;
    const size_t n = polygon.size();
    for (size_t k = 0; k < n; ++k) {
        const CVertex& p = polygon[k];
        const CVertex& q = polygon[(k + 1) % n];
        const bool pIn = bAbove ? p.value >= bound : p.value < bound;
        const bool qIn = bAbove ? q.value >= bound : q.value < bound;
        if (pIn) out.push_back(p);
        if (pIn != qIn) out.push_back(Between(p, q, bound));
    }
    return out;
}

std::vector<CPoint> PagePoints(const std::vector<CVertex>& polygon) {
    std::vector<CPoint> points;
    points.reserve(polygon.size());
    for (const CVertex& v : polygon) {
        const CPoint p{PageUnits(v.x), PageUnits(v.y)};
        if (points.empty() || !(points.back() == p)) points.push_back(p);
    }
    while (points.size() > 1 && points.front() == points.back()) points.pop_back();
    return points;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Triangle filler

void CTriangleFiller::FillCell(CCanvas& canvas, const CVertex (&corners)[4]) {
    CVertex centre;
    double value = 0.0;
    for (const CVertex& c : corners) {
        centre.x += c.x / 4.0;
        centre.y += c.y / 4.0;
        value += c.value / 4.0;
    }
    centre.value = static_cast<float>(value);
    for (int k = 0; k < 4; ++k) FillTriangle(canvas, corners[k], corners[(k + 1) % 4], centre);
}

void CTriangleFiller::FillTriangle(CCanvas& canvas, const CVertex& a, const CVertex& b,
                                   const CVertex& c) {
    if (pScale == nullptr) return;
    const CColorScale& scale = *pScale;
    CVertex v[3] = {a, b, c};
    std::sort(v, v + 3, [](const CVertex& p, const CVertex& q) { return p.value < q.value; });
    const int low = scale.Lookup(v[0].value);
    const int high = scale.Lookup(v[2].value);
    CCanvasStateSaver keep(canvas);
    const std::vector<CVertex> triangle = {a, b, c};
    // Each piece is outlined with a hairline of its own colour: a renderer that smooths edges
    // would otherwise leave light seams between neighbouring pieces.
    const auto fill = [&](const std::vector<CVertex>& piece, int level) {
        const std::vector<CPoint> points = PagePoints(piece);
        if (points.size() < 3) return;
        const CColor color = scale.LevelColor(level);
        canvas.SetPen({color, 1, PenStyle::Solid});
        canvas.SetBrush(SolidBrush(color));
        canvas.Polygon(points);
        ++nPolygon;
    };
    if (low == high) {
        fill(triangle, low);
        return;
    }
    // Level l holds the values from bound l - 1 up to (not including) bound l.
    for (int level = low; level <= high; ++level) {
        std::vector<CVertex> piece = triangle;
        if (level > low) piece = Clip(piece, scale.fBound[level - 1], true);
        if (level < high && piece.size() >= 3) piece = Clip(piece, scale.fBound[level], false);
        fill(piece, level);
    }
    if (!bContourLines) return;
    canvas.SetPen(kBlackPen);
    for (int level = low; level < high; ++level) {
        const double bound = scale.fBound[level];
        // Where the bound crosses the long edge and one of the two short ones.
        const CVertex p = Between(v[0], v[2], bound);
        const CVertex q =
            bound < v[1].value ? Between(v[0], v[1], bound) : Between(v[1], v[2], bound);
        if (!std::isfinite(p.x) || !std::isfinite(q.x)) continue;
        canvas.Line(PageUnits(p.x), PageUnits(p.y), PageUnits(q.x), PageUnits(q.y));
    }
}

// ---------------------------------------------------------------------------------------------
// Map

int ShownDepthIndex(const CGantrelSurvey& survey, int iDepthIndex) {
    return std::clamp(iDepthIndex, 0, std::max(0, survey.nDepth() - 1));
}

float ShownDepth(const CGantrelSurvey& survey, int iDepthIndex) {
    if (survey.nDepth() == 0) return 0.0f;
    return survey.pDepth[static_cast<size_t>(ShownDepthIndex(survey, iDepthIndex))];
}

CMapDrawer::CMapDrawer(int language) : parameter(language) {
    // Room left of the frame for seven-digit northings and the title beside them.
    parameter.iLeftMargin = kMapLeftMargin;
    SetLanguage(language);
}

void CMapDrawer::SetLanguage(int language) {
    parameter.iLanguage = language;
    parameter.SetLabels();
    axes.SetMapTitles(language);
}

double CMapDrawer::X(double easting) const {
    return (easting - axes.fXStart) * axes.fXScale + parameter.iLeftMargin + iFrameX;
}

double CMapDrawer::Y(double northing) const {
    return (axes.fYEnd - northing) * axes.fYScale + parameter.iTopMargin + iFrameY;
}

bool CMapDrawer::InRange(double easting, double northing) const {
    return easting >= axes.fXStart - kAllowance && easting <= axes.fXEnd + kAllowance &&
           northing >= axes.fYStart - kAllowance && northing <= axes.fYEnd + kAllowance;
}

void CMapDrawer::Fit(const CGantrelSurvey& survey, const CClientSize& client) {
    const double width = std::fabs(static_cast<double>(client.iWidth)) * parameter.fSizeFactor -
                         parameter.iRightMargin - parameter.iLeftMargin - kMapReserve;
    const double height = std::fabs(static_cast<double>(client.iHeight)) * parameter.fSizeFactor -
                          parameter.iBottomMargin - parameter.iTopMargin;
    if (!(width > 0.0) || !(height > 0.0)) return;
    double e0 = survey.dMinEasting, e1 = survey.dMaxEasting;
    double n0 = survey.dMinNorthing, n1 = survey.dMaxNorthing;
    if (!(e1 > e0) && !(n1 > n0)) {
        e0 -= kPointBox / 2, e1 += kPointBox / 2;
        n0 -= kPointBox / 2, n1 += kPointBox / 2;
    }
    if ((e1 - e0) / width > (n1 - n0) / height) {
        const double s = width / (e1 - e0);
        const double half = height / s / 2.0, centre = (n0 + n1) / 2.0;
        axes.fXStart = static_cast<float>(e0);
        axes.fXEnd = static_cast<float>(e1);
        axes.fYStart = static_cast<float>(centre - half);
        axes.fYEnd = static_cast<float>(centre + half);
        axes.fXScale = axes.fYScale = static_cast<float>(s);
    } else {
        const double s = height / (n1 - n0);
        const double half = width / s / 2.0, centre = (e0 + e1) / 2.0;
        axes.fYStart = static_cast<float>(n0);
        axes.fYEnd = static_cast<float>(n1);
        axes.fXStart = static_cast<float>(centre - half);
        axes.fXEnd = static_cast<float>(centre + half);
        axes.fXScale = axes.fYScale = static_cast<float>(s);
    }
    // 50 m ticks, or the first wider interval whose eastings fit side by side.
    const int labelWidth =
        EstimateTextExtent(
            TickLabelFont(parameter.iLanguage),
            FormatC("%.0f", std::max(std::fabs(axes.fXStart), std::fabs(axes.fXEnd))))
            .iWidth;
    float interval = kTickInterval;
    for (float wider : kWiderIntervals) {
        if (interval * axes.fXScale >= static_cast<float>(labelWidth + kLabelGap)) break;
        interval = wider;
    }
    axes.fXInterval = axes.fYInterval = interval;
    bFitted_ = true;
    fittedBox_[0] = survey.dMinEasting;
    fittedBox_[1] = survey.dMaxEasting;
    fittedBox_[2] = survey.dMinNorthing;
    fittedBox_[3] = survey.dMaxNorthing;
}

bool CMapDrawer::Draw(CCanvas& canvas, const CGantrelSurvey& survey, const CColorScale& scale,
                      const CInterpolatedGrid& grid, const CMapShown& shown, int& iRight,
                      int& iBottom, const CClientSize* client, bool bExport, bool bRefit) {
    if (survey.bGPS != 1 || survey.nLine < 1) return false;
    const bool boxChanged =
        !bFitted_ || fittedBox_[0] != survey.dMinEasting || fittedBox_[1] != survey.dMaxEasting ||
        fittedBox_[2] != survey.dMinNorthing || fittedBox_[3] != survey.dMaxNorthing;
    // Ranges the user fixed are kept; a new survey elsewhere is fitted again.
    const bool userFixed = axes.bXFixed || axes.bYFixed;
    if (client != nullptr && (bRefit || (boxChanged && !userFixed))) Fit(survey, *client);
    if (!bFitted_) return false;
    axes.UpdateTicks();
    if (!axes.IsDrawable() || !(axes.fYStart < axes.fYEnd)) return false;

    // Corners in latitude and longitude, in the zone and hemisphere of the survey's first fix.
    if (const auto reference = SurveyUTMReference(survey)) {
        FromUTM(*reference, axes.fXStart, axes.fYStart, dLowerLatitude, dLowerLongitude);
        FromUTM(*reference, axes.fXEnd, axes.fYEnd, dUpperLatitude, dUpperLongitude);
    }

    CCanvasStateSaver keep(canvas);
    iFrameX = bExport ? -parameter.iLeftMargin : 0;
    iFrameY = bExport ? -parameter.iTopMargin : 0;
    CPlotOffset offset;
    offset.x0 = iFrameX;
    offset.y0 = iFrameY;
    const CFrameEdges edges = DrawFrameAndAxes(canvas, parameter, axes, offset);
    iFrameWidth = offset.iFrameWidth;
    iFrameHeight = offset.iFrameHeight;
    bDrawn_ = true;

    const bool depthKind = shown.iKind == 2 || shown.iKind == 3;
    float depth = ShownDepth(survey, shown.iDepthIndex);
    switch (shown.iKind) {
        case 0:
            DrawGPS(canvas, survey);
            break;
        case 1:
            DrawArray(canvas, survey);
            break;
        case 2:
            if (depth > 0.0f) DrawResistivity(canvas, survey, scale, depth);
            break;
        case 3:
            if (grid.HasGrid()) {
                const int slice = std::clamp(shown.iDepthIndex, 0, grid.nSlice - 1);
                depth = grid.pDepth[static_cast<size_t>(slice)];
                DrawGrid(canvas, grid, slice, scale, shown);
            }
            break;
        default:
            break;
    }
    DrawFlagsAndLines(canvas, survey, shown);

    int right = edges.iRight;
    if (depthKind && !bExport && depth > 0.0f) {
        CCanvasStateSaver legend(canvas);
        canvas.SetTextColor(kColorBlack);
        canvas.SetTextAlign({HAlign::Left, VAlign::Top});
        canvas.SetFont(TickLabelFont(parameter.iLanguage));
        canvas.Text(20, -50, FormatC("Depth = %f m", static_cast<double>(depth)));
        canvas.SetPen(kBlackPen);
        right = std::max(right, DrawColorLegend(canvas, scale, parameter, axes));
    }
    const CDisplayEdges corners = DrawCorners(canvas, parameter.iLeftMargin + iFrameX,
                                              edges.iXLabelTop, edges.iRight, edges.iBottom);
    iRight = std::max(right, corners.iRight);
    iBottom = corners.iBottom;
    return true;
}

std::optional<std::pair<double, double>> CMapDrawer::PlanAt(int x, int y) const {
    if (!HasScales()) return std::nullopt;
    const double down = -static_cast<double>(y);
    const double easting =
        (x - parameter.iLeftMargin) / static_cast<double>(axes.fXScale) + axes.fXStart;
    const double northing =
        axes.fYEnd - (down - parameter.iTopMargin) / static_cast<double>(axes.fYScale);
    if (!std::isfinite(easting) || !std::isfinite(northing)) return std::nullopt;
    return std::pair{easting, northing};
}

void CMapDrawer::DrawGPS(CCanvas& canvas, const CGantrelSurvey& survey) const {
    canvas.SetPen(kBlackPen);
    const int divisor = std::max(1, survey.nLine - 1);
    for (int l = 0; l < survey.nLine; ++l) {
        const CGantrelLine& line = survey.Line(l);
        if (line.pGPS.empty()) continue;
        const int entry = std::clamp(l * 36 / divisor, 0, 35);
        canvas.SetBrush(SolidBrush(line.bUse == 1 ? colors_.Rainbow(entry) : kGrey));
        for (const CGPSData& fix : line.pGPS) {
            if (!InRange(fix.dEasting, fix.dNorthing)) continue;
            canvas.Disc(PageUnits(X(fix.dEasting)), -PageUnits(Y(fix.dNorthing)), iGPSRadius);
        }
    }
}

void CMapDrawer::DrawArray(CCanvas& canvas, const CGantrelSurvey& survey) const {
    canvas.SetPen(kBlackPen);
    auto dot = [&](double e, double n, CColor color) {
        if (!InRange(e, n)) return;
        canvas.SetBrush(SolidBrush(color));
        canvas.Disc(PageUnits(X(e)), -PageUnits(Y(n)), iPositionRadius);
    };
    for (int l = 0; l < survey.nLine; ++l) {
        for (const CGantrelData& d : survey.Line(l).pData) {
            dot(d.dX, d.dY, kOperatorGreen);
            dot(d.dTransmitterX, d.dTransmitterY, kTransmitterRed);
            for (int j = 0; j < std::clamp(d.nReceiver, 0, kMaxReceiver); ++j)
                dot(d.dReceiverX[j], d.dReceiverY[j], kReceiverBlue);
        }
    }
}

void CMapDrawer::DrawResistivity(CCanvas& canvas, const CGantrelSurvey& survey,
                                 const CColorScale& scale, float depth) const {
    canvas.SetPen(kBlackPen);
    for (int l = 0; l < survey.nLine; ++l) {
        for (const CGantrelData& d : survey.Line(l).pData) {
            for (int j = 0; j < std::clamp(d.nReceiver, 0, kMaxReceiver); ++j) {
                if (d.bValid[j] != 1) continue;
                if (!(std::fabs(static_cast<double>(d.fDepth[j] - depth)) <= kDistinctTolerance))
                    continue;
                const double e = (d.dTransmitterX + d.dReceiverX[j]) / 2.0;
                const double n = (d.dTransmitterY + d.dReceiverY[j]) / 2.0;
                if (!InRange(e, n)) continue;
                canvas.SetBrush(SolidBrush(scale.ColorOf(d.fResistivity[j])));
                canvas.Disc(PageUnits(X(e)), -PageUnits(Y(n)), iPositionRadius);
            }
        }
    }
}

void CMapDrawer::DrawGrid(CCanvas& canvas, const CInterpolatedGrid& grid, int slice,
                          const CColorScale& scale, const CMapShown& shown) {
    const int nx = grid.nx, ny = grid.ny;
    // Node positions on the page, computed once so that neighbouring cells share their edges.
    std::vector<double> xs(static_cast<size_t>(nx)), ys(static_cast<size_t>(ny));
    std::vector<int> xi(static_cast<size_t>(nx)), yi(static_cast<size_t>(ny));
    for (int i = 0; i < nx; ++i) {
        xs[static_cast<size_t>(i)] = X(grid.x0 + static_cast<double>(i) * grid.dx);
        xi[static_cast<size_t>(i)] = PageUnits(xs[static_cast<size_t>(i)]);
    }
    for (int j = 0; j < ny; ++j) {
        ys[static_cast<size_t>(j)] = -Y(grid.y0 + static_cast<double>(j) * grid.dy);
        yi[static_cast<size_t>(j)] = PageUnits(ys[static_cast<size_t>(j)]);
    }
    const bool contour = shown.iColorMode == 1 || shown.iColorMode == 2;
    filler.pScale = &scale;
    filler.bContourLines = shown.iColorMode == 2;
    const float limit = shown.fMaxDistance;
    for (int i = 0; i + 1 < nx; ++i) {
        const double e0 = grid.x0 + static_cast<double>(i) * grid.dx, e1 = e0 + grid.dx;
        if (e1 < axes.fXStart - kAllowance || e0 > axes.fXEnd + kAllowance) continue;
        for (int j = 0; j + 1 < ny; ++j) {
            const double n0 = grid.y0 + static_cast<double>(j) * grid.dy, n1 = n0 + grid.dy;
            if (n1 < axes.fYStart - kAllowance || n0 > axes.fYEnd + kAllowance) continue;
            // Every corner near data, or the cell stays empty.
            if (!(grid.distance(slice, i, j) <= limit && grid.distance(slice, i + 1, j) <= limit &&
                  grid.distance(slice, i, j + 1) <= limit &&
                  grid.distance(slice, i + 1, j + 1) <= limit))
                continue;
            const float v00 = grid.value(slice, i, j), v10 = grid.value(slice, i + 1, j);
            const float v01 = grid.value(slice, i, j + 1), v11 = grid.value(slice, i + 1, j + 1);
            if (contour) {
                const auto I = static_cast<size_t>(i), J = static_cast<size_t>(j);
                const CVertex corners[4] = {{xs[I], ys[J], v00},
                                            {xs[I + 1], ys[J], v10},
                                            {xs[I + 1], ys[J + 1], v11},
                                            {xs[I], ys[J + 1], v01}};
                filler.FillCell(canvas, corners);
            } else {
                const CColor color = scale.ColorOf((v00 + v10 + v01 + v11) / 4.0f);
                canvas.SetPen({color, 1, PenStyle::Solid});
                canvas.SetBrush(SolidBrush(color));
                canvas.Rectangle(xi[static_cast<size_t>(i)], yi[static_cast<size_t>(j + 1)],
                                 xi[static_cast<size_t>(i + 1)], yi[static_cast<size_t>(j)]);
            }
        }
    }
}

void CMapDrawer::DrawFlags(CCanvas& canvas, const CFlagLocation* flags, int n) const {
    for (int k = 0; k < n; ++k) {
        const CFlagLocation& f = flags[k];
        const bool in = InRange(f.dX, f.dY);
        if (k > 0 && (in || InRange(flags[k - 1].dX, flags[k - 1].dY))) {
            DrawArrow(canvas, kArrowOlive, PageUnits(X(flags[k - 1].dX)),
                      -PageUnits(Y(flags[k - 1].dY)), PageUnits(X(f.dX)), -PageUnits(Y(f.dY)));
        }
        if (!in) continue;
        canvas.SetPen(kBlackPen);
        canvas.SetBrush(SolidBrush(kFlagYellow));
        canvas.Disc(PageUnits(X(f.dX)), -PageUnits(Y(f.dY)), iFlagRadius);
    }
}

void CMapDrawer::DrawLineLabel(CCanvas& canvas, int iLine, double e1, double n1, double e2,
                               double n2) const {
    if (!InRange(e1, n1)) return;
    const double theta = std::atan2(n2 - n1, e2 - e1);
    const double x = X(e1) + kLabelOffset * std::cos(theta);
    const double down = Y(n1) + kLabelOffset * std::sin(theta);
    // Centred on its point, and kept inside the frame (clear of its pen) where a track starts
    // at the edge.
    const std::string text = FormatC("%d", iLine);
    const CTextExtent e = canvas.MeasureText(text);
    const double inset = 10.0;
    const double left = X(axes.fXStart) + inset, right = X(axes.fXEnd) - inset - e.iWidth;
    const double top = Y(axes.fYEnd) + inset, bottom = Y(axes.fYStart) - inset - e.iHeight;
    const double labelLeft = std::clamp(x - e.iWidth / 2.0, left, std::max(left, right));
    const double labelTop = std::clamp(down - e.iHeight / 2.0, top, std::max(top, bottom));
    canvas.Text(PageUnits(labelLeft), -PageUnits(labelTop), text);
}

void CMapDrawer::DrawFlagsAndLines(CCanvas& canvas, const CGantrelSurvey& survey,
                                   const CMapShown& shown) const {
    CCanvasStateSaver keep(canvas);
    canvas.SetTextColor(kColorBlack);
    canvas.SetTextAlign({HAlign::Left, VAlign::Top});
    canvas.SetFont(TickLabelFont(parameter.iLanguage));
    const int config = shown.iSurveyConfiguration;
    if (config == 4 && shown.bShowFlagsAndLines == 1) {
        for (int l = 0; l < survey.nLine; ++l) {
            const CGantrelLine& line = survey.Line(l);
            if (line.iFittedPoints != 2) continue;
            DrawFlags(canvas, line.pFittedEnds.data(), 2);
            DrawLineLabel(canvas, l, line.pFittedEnds[0].dX, line.pFittedEnds[0].dY,
                          line.pFittedEnds[1].dX, line.pFittedEnds[1].dY);
        }
    }
    // The survey's own flags: always with configurations 1 and 2, and wherever the user has
    // set some, so that a flag set by a click is seen.
    const int nFlag = std::clamp(survey.nFlag, 0, static_cast<int>(survey.pFlag.size()));
    if (config == 1 || config == 2 || nFlag > 0) DrawFlags(canvas, survey.pFlag.data(), nFlag);
    if (shown.iKind == 0 && shown.bShowFlagsAndLines == 1) {
        for (int l = 0; l < survey.nLine; ++l) {
            const CGantrelLine& line = survey.Line(l);
            if (line.pGPS.empty()) continue;
            const CGPSData& a = line.pGPS.front();
            const CGPSData& b = line.pGPS.back();
            DrawLineLabel(canvas, l, a.dEasting, a.dNorthing, b.dEasting, b.dNorthing);
        }
    }
}

CMapDrawer::CDisplayEdges CMapDrawer::DrawCorners(CCanvas& canvas, int left, int labelTop,
                                                  int right, int bottom) {
    CCanvasStateSaver keep(canvas);
    canvas.SetTextColor(kCornerBlue);
    canvas.SetFont(ScaledLanguageFont(kLanguageEnglish, 24));
    const auto text = [](double lat, double lon) { return FormatC("%.5f %.5f", lat, lon); };
    // The upper labels sit on the x tick labels' row, the lower ones just below the frame's
    // pen; the left ones start 6 mm left of the frame, the right ones end 6 mm right of it.
    // The lowest northing is centred on the frame's bottom edge and hangs half its height
    // below it.
    const CFont tick = TickLabelFont(parameter.iLanguage);
    const CFont corner = canvas.Font();
    canvas.SetFont(tick);
    const int tickHalf = canvas.MeasureText("0").iHeight / 2;
    canvas.SetFont(corner);
    const int upper = labelTop - kCornerLabelGap;
    const int lower = bottom + tickHalf + kCornerLabelGap;
    const int leftX = std::max(0, left - kCornerLabelOut);
    const int rightX = right + kCornerLabelOut;
    canvas.SetTextAlign({HAlign::Left, VAlign::Bottom});
    canvas.Text(leftX, -upper, text(dUpperLatitude, dLowerLongitude));
    canvas.SetTextAlign({HAlign::Right, VAlign::Bottom});
    canvas.Text(rightX, -upper, text(dUpperLatitude, dUpperLongitude));
    canvas.SetTextAlign({HAlign::Left, VAlign::Top});
    canvas.Text(leftX, -lower, text(dLowerLatitude, dLowerLongitude));
    canvas.SetTextAlign({HAlign::Right, VAlign::Top});
    canvas.Text(rightX, -lower, text(dLowerLatitude, dUpperLongitude));
    return {rightX, lower + canvas.MeasureText(text(dLowerLatitude, dUpperLongitude)).iHeight};
}
