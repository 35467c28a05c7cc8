#include "display/section_view.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

#include "common/resistivity.h"
#include "common/text_format.h"
#include "display/disc_filter.h"

namespace {

constexpr int kLegendReserve = 100;
constexpr int kValueRadius = 10;     // original data discs
constexpr int kBandHalfHeight = 10;  // gridded rows are 2 mm high
// Model columns narrower than this (page units, 1 mm: a few pixels on screen) get no outline.
constexpr int kMinOutlinedColumnWidth = 10;
// The misfit strip: the curve's box ends this far above the frame's own top room (the
// titles), and its top this far below the strip's top.
constexpr int kStripGapBelow = 20;
constexpr int kStripGapAbove = 60;
constexpr int kBaseTopRoom = 200;  // the titles' room above the frame without the strip
constexpr CColor kMisfitColor{200, 0, 0};
constexpr int kMisfitPenWidth = 3;
constexpr int kMarkPenWidth = 6;

}  // namespace

bool SectionColumnSpan(const std::vector<float>& x, int n, int i, float fXStart, float fXEnd,
                       float fCellSize, float& fLeft, float& fRight) {
    if (i < 0 || i >= n || n > static_cast<int>(x.size())) return false;
    const auto at = [&](int k) { return x[static_cast<std::size_t>(k)]; };
    const float p = at(i);
    if (n == 1) {
        const float half = (fCellSize > 0.0f ? fCellSize : 1.0f) / 2.0f;
        fLeft = p - half;
        fRight = p + half;
    } else {
        fLeft = i == 0 ? p - (at(1) - p) / 2.0f : (at(i - 1) + p) / 2.0f;
        fRight = i == n - 1 ? p + (p - at(i - 1)) / 2.0f : (p + at(i + 1)) / 2.0f;
        if (i < n - 1 && at(i + 1) < fXStart) return false;
    }
    if (fLeft > fXEnd || fRight < fXStart) return false;
    fLeft = std::max(fLeft, fXStart);
    fRight = std::min(fRight, fXEnd);
    return true;
}

float GriddedRowDepth(const CTrevascDataOhm& store, int c, int k) {
    if (store.bGeneralArray == 1) {
        const FourElectrodeGeometry* e = store.pElectrode[c][k].get();
        if (e == nullptr) return std::nanf("");
        return PairCentreDistance(*e) / 4.0f;
    }
    return (store.fNFactor[c][k] + 1.0f) * store.fDipoleSize[c][k] * 0.25f;
}

float MisfitScaleTop(const std::vector<float>& misfit) {
    float top = 0.0f;
    for (float m : misfit)
        if (std::isfinite(m) && m > top) top = m;
    if (!(top > 0.0f)) return 0.1f;
    const double decade = std::pow(10.0, std::floor(std::log10(static_cast<double>(top))));
    for (double step : {1.0, 2.0, 5.0, 10.0})
        if (step * decade >= static_cast<double>(top) * (1.0 - 1e-6))
            return static_cast<float>(step * decade);
    return static_cast<float>(10.0 * decade);
}

std::string MisfitStripTitle(int language) {
    return language == 1 ? "列ごとのミスフィット (log10 の rms)" : "Misfit per column (rms of log10)";
}

bool StoreHasModel(const CTrevascDataOhm& store) {
    return store.IsAllocated() && store.nLayer >= 1 && store.nColumn > 0 &&
           store.nModelColumn > 0 && store.nBoundaryColumn > 0;
}

CSectionDrawer::CSectionDrawer(int language) : parameter(language) {
    SetLanguage(language);
}

void CSectionDrawer::SetLanguage(int language) {
    parameter.iLanguage = language;
    parameter.SetLabels();
    axes.SetSectionTitles(language);
}

void CSectionDrawer::SetMisfitStrip(bool bShown) {
    const int strip = bShown ? kMisfitStripHeight : 0;
    parameter.iTopMargin += strip - iStripShown_;
    iStripShown_ = strip;
}

void CSectionDrawer::DrawMisfitStrip(CCanvas& canvas, const CTrevascDataOhm& store,
                                     const std::vector<float>& misfit, int frameRight) {
    CCanvasStateSaver keep(canvas);
    // Page Y measured down: the box from yTop to yBottom, across the frame.
    const int stripTop = parameter.iTopMargin - kBaseTopRoom - kMisfitStripHeight;
    const int yTop = stripTop + kStripGapAbove;
    const int yBottom = parameter.iTopMargin - kBaseTopRoom - kStripGapBelow;
    const int xLeft = parameter.iLeftMargin;
    const float top = MisfitScaleTop(misfit);
    fMisfitScaleTop = top;
    canvas.SetPen(kBlackPen);
    canvas.SetBrush(kNullBrush);
    canvas.Rectangle(xLeft, -yTop, frameRight, -yBottom);

    const CFont font = TickLabelFont(parameter.iLanguage);
    canvas.SetFont(font);
    canvas.SetTextColor(kColorBlack);
    canvas.SetTextAlign({HAlign::Right, VAlign::Top});
    canvas.Text(xLeft - 10, -yTop, FormatC("%g", static_cast<double>(top)));
    canvas.SetTextAlign({HAlign::Right, VAlign::Bottom});
    canvas.Text(xLeft - 10, -yBottom, "0");
    canvas.SetTextAlign({HAlign::Left, VAlign::Bottom});
    canvas.Text(xLeft, -(yTop - 5), MisfitStripTitle(parameter.iLanguage));

    // The curve joins neighbouring columns that have a misfit; a lone one is a dot.
    const int nColumn = std::min({store.nColumn, store.MaxColumn(), static_cast<int>(misfit.size())});
    const double height = yBottom - yTop;
    CCanvasClip clip(canvas, {xLeft, -yTop}, {frameRight, -yBottom});
    canvas.SetPen({kMisfitColor, kMisfitPenWidth, PenStyle::Solid});
    canvas.SetBrush(SolidBrush(kMisfitColor));
    std::vector<CPoint> run;
    const auto flush = [&] {
        if (run.size() == 1) canvas.Disc(run[0].x, run[0].y, kMisfitPenWidth * 2);
        else if (run.size() > 1) canvas.Polyline(run);
        run.clear();
    };
    for (int c = 0; c < nColumn; ++c) {
        const float m = misfit[static_cast<std::size_t>(c)];
        const float x = store.fColumnX[static_cast<std::size_t>(c)];
        if (!(m >= 0.0f) || !std::isfinite(m) || x < axes.fXStart || x > axes.fXEnd) {
            flush();
            continue;
        }
        const double Y = yBottom - std::min(1.0, static_cast<double>(m / top)) * height;
        run.push_back({PageUnits(DistanceX(x)), -PageUnits(Y)});
    }
    flush();
}

double CSectionDrawer::DepthY(double depth) const {
    return (axes.fYEnd + depth) * axes.fYScale + parameter.iTopMargin;
}

double CSectionDrawer::DistanceX(double distance) const {
    return (distance - axes.fXStart) * axes.fXScale + parameter.iLeftMargin;
}

bool CSectionDrawer::Frame(CCanvas& canvas, float fDataStart, float fDataEnd,
                           const CClientSize* client, CFrameEdges& edges) {
    if (!axes.bXFixed) {
        axes.fXStart = fDataStart;
        axes.fXEnd = fDataEnd;
        axes.SetAutomaticXInterval();
    }
    if (!axes.bYFixed) axes.fYInterval = 1.0f;
    if (client != nullptr) {
        if (!axes.bYFixed) {
            axes.fYStart = parameter.fSectionBottom;
            axes.fYEnd = parameter.fSectionTop;
        }
        axes.FitScales(client->iWidth, client->iHeight, parameter, kLegendReserve);
    }
    axes.UpdateTicks();
    if (!axes.IsDrawable()) return false;
    CPlotOffset offset;
    edges = DrawFrameAndAxes(canvas, parameter, axes, offset);
    return true;
}

CPoint CSectionDrawer::FrameCorner1() const {
    return {parameter.iLeftMargin, -parameter.iTopMargin};
}

CPoint CSectionDrawer::FrameCorner2(const CFrameEdges& edges) const {
    return {edges.iRight, -edges.iBottom};
}

int CSectionDrawer::Legend(CCanvas& canvas, const CColorScale& scale, int frameRight) {
    CCanvasStateSaver keep(canvas);
    canvas.SetPen(kBlackPen);
    return std::max(frameRight, DrawColorLegend(canvas, scale, parameter, axes));
}

bool CSectionDrawer::DrawOriginalData(CCanvas& canvas, const CGantrelSurvey& survey,
                                      const CColorScale& scale, int& iRight, int& iBottom,
                                      const CClientSize* client) {
    if (!survey.HasDistances()) return false;
    SetMisfitStrip(false);
    CCanvasStateSaver keep(canvas);
    CFrameEdges edges;
    if (!Frame(canvas, survey.fMinPosition, survey.fMaxPosition, client, edges)) return false;

    // Every value in drawing order, as its page centre (canvas coordinates).
    const auto forEachValue = [&](const auto& visit) {
        for (int l = 0; l < survey.nLine; ++l) {
            const CGantrelLine& line = survey.Line(l);
            if (line.bUse != 1) continue;
            float offset[kMaxReceiver];
            for (int k = 0; k < kMaxReceiver; ++k)
                offset[k] = ReceiverPositionOffset(*line.pGeometry, line.nMaxReceiver, k);
            for (const CGantrelData& data : line.pData) {
                const int n = std::clamp(data.nReceiver, 0, kMaxReceiver);
                for (int k = 0; k < n; ++k) {
                    if (line.bReceiverUse[k] != 1 || data.bValid[k] != 1) continue;
                    const float p = line.bReverse == 1 ? data.fDistance + offset[k]
                                                       : data.fDistance - offset[k];
                    if (!(p >= axes.fXStart && p <= axes.fXEnd)) continue;
                    if (!std::isfinite(data.fDepth[k])) continue;
                    visit(PageUnits(DistanceX(p)), -PageUnits(DepthY(data.fDepth[k])),
                          data.fResistivity[k]);
                }
            }
        }
    };
    // A disc under a later one of the same centre cannot be seen (all have the same radius and
    // no outline): the first pass finds the last value drawn at every centre on the frame.
    CLastAtCentre last(parameter.iLeftMargin, -edges.iBottom, edges.iRight, -parameter.iTopMargin,
                       kValueRadius);
    std::uint32_t ordinal = 0;
    forEachValue([&](int x, int y, float) { last.Draw(x, y, ++ordinal); });
    ordinal = 0;
    canvas.SetPen(kNullPen);
    {
        CCanvasClip clip(canvas, FrameCorner1(), FrameCorner2(edges));
        forEachValue([&](int x, int y, float value) {
            if (!last.IsLast(x, y, ++ordinal)) return;
            canvas.SetBrush(SolidBrush(scale.ColorOf(value)));
            canvas.Disc(x, y, kValueRadius);
        });
    }
    iRight = Legend(canvas, scale, edges.iRight);
    iBottom = edges.iBottom;
    return true;
}

bool CSectionDrawer::DrawGriddedData(CCanvas& canvas, const CTrevascDataOhm& store,
                                     const CColorScale& scale, int& iRight, int& iBottom,
                                     const CClientSize* client) {
    if (!store.IsAllocated() || store.nColumn < 1) return false;
    SetMisfitStrip(false);
    const int nColumn = std::min(store.nColumn, store.MaxColumn());
    float fMin = 0.0f, fMax = 0.0f;
    store.ColumnRange(fMin, fMax);
    CCanvasStateSaver keep(canvas);
    CFrameEdges edges;
    if (!Frame(canvas, fMin, fMax, client, edges)) return false;

    canvas.SetPen(kNullPen);
    std::optional<CCanvasClip> clip(std::in_place, canvas, FrameCorner1(), FrameCorner2(edges));
    for (int i = 0; i < nColumn; ++i) {
        float left = 0.0f, right = 0.0f;
        if (!SectionColumnSpan(store.fColumnX, nColumn, i, axes.fXStart, axes.fXEnd,
                               store.fCellSize, left, right))
            continue;
        const int xl = PageUnits(DistanceX(left));
        const int xr = PageUnits(DistanceX(right));
        const int nRow = std::clamp(store.nRow[static_cast<std::size_t>(i)], 0, store.MaxRow());
        for (int k = 0; k < nRow; ++k) {
            const float depth = GriddedRowDepth(store, i, k);
            if (std::isnan(depth)) continue;
            const int Y = PageUnits(DepthY(depth));
            canvas.SetBrush(SolidBrush(scale.ColorOf(store.fObserved[i][k])));
            canvas.Rectangle(xl, -(Y - kBandHalfHeight), xr, -(Y + kBandHalfHeight));
        }
    }
    clip.reset();
    iRight = Legend(canvas, scale, edges.iRight);
    iBottom = edges.iBottom;
    return true;
}

bool CSectionDrawer::DrawModel(CCanvas& canvas, const CTrevascDataOhm& store,
                               const CColorScale& scale, int& iRight, int& iBottom,
                               const CClientSize* client, const std::vector<float>* columnMisfit,
                               int iMarkedColumn) {
    if (!StoreHasModel(store)) return false;
    SetMisfitStrip(columnMisfit != nullptr);
    const int nColumn = std::min(store.nColumn, store.MaxColumn());
    const int nLayer = std::min(store.nLayer, store.MaxLayer());
    float fMin = 0.0f, fMax = 0.0f;
    store.ColumnRange(fMin, fMax);
    CCanvasStateSaver keep(canvas);
    CFrameEdges edges;
    if (!Frame(canvas, fMin, fMax, client, edges)) return false;

    // Layers are cut at the section bottom; when the frame's top lies below the surface (a
    // fixed depth range) they are cut there too, so that nothing is drawn above the frame.
    const double bottomDepth = -static_cast<double>(axes.fYStart);
    const double topDepth = std::max(0.0, -static_cast<double>(axes.fYEnd));
    const CPen outline{kColorBlack, 1, PenStyle::Solid};
    std::optional<std::pair<CPoint, CPoint>> marked;  // the marked column's outline
    std::optional<CCanvasClip> clip(std::in_place, canvas, FrameCorner1(), FrameCorner2(edges));
    for (int i = 0; i < nColumn; ++i) {
        if (i >= store.nModelColumn || i >= store.nBoundaryColumn) continue;
        float left = 0.0f, right = 0.0f;
        if (!SectionColumnSpan(store.fColumnX, nColumn, i, axes.fXStart, axes.fXEnd,
                               store.fCellSize, left, right))
            continue;
        const int xl = PageUnits(DistanceX(left));
        const int xr = PageUnits(DistanceX(right));
        // Narrow columns are filled only: their outlines would cover the colours.
        canvas.SetPen(xr - xl >= kMinOutlinedColumnWidth ? outline : kNullPen);
        double layerTop = 0.0;
        for (int j = 0; j < nLayer; ++j) {
            // The last layer is a half-space: it reaches the section bottom.
            const double thickness = j < nLayer - 1
                                         ? static_cast<double>(store.fBoundaryElevation[i][j]) -
                                               store.fBoundaryElevation[i][j + 1]
                                         : bottomDepth - layerTop;
            const double layerBottom = std::min(layerTop + thickness, bottomDepth);
            const double drawnTop = std::max(layerTop, topDepth);
            if (layerBottom > drawnTop) {
                const int yt = -PageUnits(DepthY(drawnTop));
                const int yb = -PageUnits(DepthY(layerBottom));
                canvas.SetBrush(SolidBrush(scale.ColorOf(store.fLayerResistivity[i][j])));
                canvas.Polygon({{xl, yt}, {xr, yt}, {xr, yb}, {xl, yb}});
            }
            if (!(layerBottom < bottomDepth)) break;
            layerTop = layerBottom;
        }
        if (i == iMarkedColumn) marked = {{xl, -PageUnits(DepthY(topDepth))}, {xr, -edges.iBottom}};
    }
    if (marked) {
        canvas.SetPen({kColorBlack, kMarkPenWidth, PenStyle::Solid});
        canvas.SetBrush(kNullBrush);
        canvas.Rectangle(marked->first.x, marked->first.y, marked->second.x, marked->second.y);
    }
    clip.reset();
    if (columnMisfit != nullptr) DrawMisfitStrip(canvas, store, *columnMisfit, edges.iRight);
    iRight = Legend(canvas, scale, edges.iRight);
    iBottom = edges.iBottom;
    return true;
}
