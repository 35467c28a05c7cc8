#include "display/model_view.h"

#include <algorithm>
#include <cmath>

#include "common/language.h"
#include "common/settings.h"
#include "common/text_format.h"
#include "display/section_view.h"
#include "processing/analysis_commands.h"

namespace {

constexpr CColor kLightGreen{150, 255, 150};
constexpr CColor kObservedFill{0, 255, 0};
constexpr CColor kCalculatedFill{0, 0, 255};
constexpr CColor kMarkedFill{255, 0, 0};
constexpr int kPointRadius = 10;
constexpr int kPointPenWidth = 3;
constexpr int kStepPenWidth = 4;
constexpr int kMarkTolerance = 10;

int ReadInt(const char* key, int value) {
    return ReadSettingInt(key, value);
}

float ReadReal(const char* key, float value) {
    return static_cast<float>(ReadSettingReal(key, value));
}

bool StoreHasColumns(const CTrevascDataOhm& store) {
    return store.IsAllocated() && store.nColumn > 0;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Graph description

CModelGraph::CModelGraph() {
    ToAxes();
}

void CModelGraph::Load() {
    fXStart = ReadReal("xs", fXStart);
    fXEnd = ReadReal("xe", fXEnd);
    fXInterval = ReadReal("xi", fXInterval);
    nXTick = ReadInt("nx", nXTick);
    bXAxisLog = ReadInt("bXAxisLog", bXAxisLog) == 1 ? 1 : 0;
    fXStartLog = ReadReal("xs_log", fXStartLog);
    fXEndLog = ReadReal("xe_log", fXEndLog);
    nXTickLog = ReadInt("nx_log", nXTickLog);
    fYStart = ReadReal("ys", fYStart);
    fYEnd = ReadReal("ye", fYEnd);
    fYInterval = ReadReal("yi", fYInterval);
    nYTick = ReadInt("ny", nYTick);
    ToAxes();
}

void CModelGraph::Save() {
    FromAxes();
    WriteSettingReal("xs", fXStart);
    WriteSettingReal("xe", fXEnd);
    WriteSettingReal("xi", fXInterval);
    WriteSettingInt("nx", nXTick);
    WriteSettingInt("bXAxisLog", bXAxisLog);
    WriteSettingReal("xs_log", fXStartLog);
    WriteSettingReal("xe_log", fXEndLog);
    WriteSettingInt("nx_log", nXTickLog);
    WriteSettingReal("ys", fYStart);
    WriteSettingReal("ye", fYEnd);
    WriteSettingReal("yi", fYInterval);
    WriteSettingInt("ny", nYTick);
}

void CModelGraph::FromAxes() {
    bXAxisLog = axes.bXLog ? 1 : 0;
    if (bXAxisLog) {
        fXStartLog = axes.fXStart;
        fXEndLog = axes.fXEnd;
        nXTickLog = axes.nXTick;
    } else {
        fXStart = axes.fXStart;
        fXEnd = axes.fXEnd;
        fXInterval = axes.fXInterval;
        nXTick = axes.nXTick;
    }
    fYStart = axes.fYStart;
    fYEnd = axes.fYEnd;
    fYInterval = axes.fYInterval;
    nYTick = axes.nYTick;
}

void CModelGraph::ToAxes() {
    axes.bXLog = bXAxisLog;
    if (bXAxisLog) {
        axes.fXStart = fXStartLog;
        axes.fXEnd = fXEndLog;
        axes.fXInterval = 1.0f;
        axes.nXTick = nXTickLog;
    } else {
        axes.fXStart = fXStart;
        axes.fXEnd = fXEnd;
        axes.fXInterval = fXInterval;
        axes.nXTick = nXTick;
    }
    axes.fYStart = fYStart;
    axes.fYEnd = fYEnd;
    axes.fYInterval = fYInterval;
    axes.nYTick = nYTick;
    axes.bYLog = 0;
    axes.bXFixed = axes.bYFixed = 1;
}

// ---------------------------------------------------------------------------------------------
// Columns

int ModelColumnCount(const CBrivaneDoc& doc) {
    if (StoreHasColumns(doc.store)) return doc.store.nColumn;
    return doc.sounding.bPresent == 1 && !doc.sounding.points.empty() ? 1 : 0;
}

int ModelLayerCount(const CBrivaneDoc& doc) {
    if (StoreHasColumns(doc.store)) return doc.store.nLayer;
    // The averaged sounding's model has the initial model's default layering whenever the
    // sounding can be inverted at all.
    if (doc.sounding.bPresent == 1 && !doc.sounding.points.empty()) {
        SoundingData sounding;
        if (SetUpAveragedSounding(doc.sounding, sounding) > 0) return kAveragedSoundingLayers;
    }
    return 0;
}

CModelColumn LoadModelColumn(const CBrivaneDoc& doc, int c) {
    CModelColumn col;
    col.nColumn = ModelColumnCount(doc);
    if (c < 0 || c >= col.nColumn) return col;
    if (StoreHasColumns(doc.store)) {
        const CTrevascDataOhm& store = doc.store;
        col.nLayer = store.nLayer;
        col.fPosition = store.fColumnX[static_cast<std::size_t>(c)];
        const int status = SetUpSounding(c, store, col.model, col.sounding);
        col.bModel = col.model.nLayer >= 1;
        // The model's own response when it can be computed; a column that cannot be set up
        // keeps the values stored with it.
        col.bCalculated = status == kColumnReady && SoundingMisfit(col.model, col.sounding) >= 0.0f;
        return col;
    }
    const float misfit = InvertAveragedSounding(doc, col.model, col.sounding);
    if (misfit < 0.0f) {
        col.model = LayerModel{};
        SetUpAveragedSounding(doc.sounding, col.sounding);
    }
    col.nLayer = col.model.nLayer;
    col.bModel = col.model.nLayer >= 1;
    col.bCalculated = misfit >= 0.0f;
    return col;
}

float ObservationDepth(const SoundingRow& row) {
    if (row.fNFactor == 0.0f || row.fNFactor == -1.0f) return row.fDipoleSize;
    return (row.fNFactor + 1.0f) * row.fDipoleSize / 4.0f;
}

std::string ModelCountText(int nColumn, int nLayer) {
    return FormatC(Tr("Number of data = %d. Number of layers = %d.", "データ数 = %d. 層数 = %d."),
                   nColumn, nLayer);
}

std::string ModelCurrentText(int iModel, float fPosition, int nColumnShown) {
    return FormatC(Tr("Current model = %d. Distance = %.1f (m) Observed data=%d to %d",
                      "現在のモデル = %d. 距離 = %.1f (m) 観測データ = %d ～ %d"),
                   iModel, static_cast<double>(fPosition), iModel, iModel + nColumnShown - 1);
}

std::string ModelTitleText(int language) {
    return language == kLanguageJapanese ? "比抵抗モデル" : "Resistivity model";
}

// ---------------------------------------------------------------------------------------------
// Display

CModelDisplay::CModelDisplay(int language) : parameter(language) {
    parameter.iLeftMargin = iOriginX;
    parameter.iTopMargin = iOriginY;
    SetLanguage(language);
}

void CModelDisplay::SetLanguage(int language) {
    parameter.iLanguage = language;
    parameter.SetLabels();
    axes.SetModelTitles(language);
    graph.axes.SetModelTitles(language);
    // The description's depths are positive; only the drawn frame is negated.
    graph.axes.bYNegated = 0;
}

int CModelDisplay::LastModelIndex(const CBrivaneDoc& doc) const {
    return std::max(0, ModelColumnCount(doc) - nColumnShown);
}

void CModelDisplay::PrepareAxes(float fHScale, float fVScale) {
    graph.FromAxes();
    const CAxes& g = graph.axes;
    axes.bXLog = g.bXLog;
    axes.fXStart = g.fXStart;
    axes.fXEnd = g.fXEnd;
    axes.fXInterval = g.fXInterval;
    // Depths run down the page: the frame goes from -(y end) at its bottom to -(y start) at
    // its top and is labelled with positive depths.
    axes.fYStart = -g.fYEnd;
    axes.fYEnd = -g.fYStart;
    axes.fYInterval = g.fYInterval;
    axes.bYLog = 0;
    axes.bYNegated = 1;
    axes.fXScale = fHScale;
    axes.fYScale = fVScale;
    parameter.iLeftMargin = iOriginX;
    parameter.iTopMargin = iOriginY;
    axes.UpdateTicks();
    // The description keeps the tick counts of the last draw.
    graph.axes.nXTick = axes.nXTick;
    graph.axes.nYTick = axes.nYTick;
    graph.FromAxes();
}

CPoint CModelDisplay::PointOf(float value, float depth) const {
    double v = value;
    if (axes.bXLog)
        v = value > 0.0f ? std::log10(static_cast<double>(value)) : axes.fXStart;
    else if (!(value > 0.0f))
        v = axes.fXStart;
    const double X = (v - axes.fXStart) * axes.fXScale + iOriginX;
    const double Y = (static_cast<double>(depth) + axes.fYEnd) * axes.fYScale + iOriginY;
    return {PageUnits(X), -PageUnits(Y)};
}

void CModelDisplay::DrawModel(CCanvas& canvas, const LayerModel& model) const {
    const int n = std::clamp(model.nLayer, 0, kMaxModelLayers);
    // Depth range of the graph: from -(y end) at the top to -(y start) at the bottom.
    const double graphTop = -static_cast<double>(axes.fYEnd);
    const double graphBottom = -static_cast<double>(axes.fYStart);
    std::vector<CPoint> step;
    double top = 0.0;
    canvas.SetBrush(SolidBrush(kLightGreen));
    canvas.SetPen(bShowLayerBoundary ? kBlackPen : kNullPen);
    for (int j = 0; j < n; ++j) {
        const double bottom =
            j < n - 1 ? top + model.fThickness[static_cast<std::size_t>(j)] : graphBottom;
        const double drawnTop = std::max(top, graphTop);
        const double drawnBottom = std::min(bottom, graphBottom);
        if (drawnBottom > drawnTop) {
            const float rho = model.fResistivity[static_cast<std::size_t>(j)];
            const CPoint a = PointOf(rho, static_cast<float>(drawnTop));
            const CPoint b = PointOf(rho, static_cast<float>(drawnBottom));
            canvas.Polygon({{iOriginX, a.y}, a, b, {iOriginX, b.y}});
            step.push_back(a);
            step.push_back(b);
        }
        if (!(bottom < graphBottom)) break;
        top = bottom;
    }
    canvas.SetPen({kColorBlack, kStepPenWidth, PenStyle::Solid});
    canvas.Polyline(step);
}

void CModelDisplay::DrawPoints(CCanvas& canvas, const SoundingData& sounding,
                               bool bCalculated) const {
    const int m = std::clamp(sounding.nData, 0, kMaxSoundingRows);
    for (int k = 0; k < m; ++k) {
        const SoundingRow& row = sounding.row[static_cast<std::size_t>(k)];
        const float value = bCalculated ? row.fCalculated : row.fObserved;
        if (std::isnan(value) || !std::isfinite(ObservationDepth(row))) continue;
        const CPoint p = PointOf(value, ObservationDepth(row));
        canvas.SetPen({kColorBlack, kPointPenWidth, PenStyle::Solid});
        canvas.SetBrush(SolidBrush(bCalculated ? kCalculatedFill : kObservedFill));
        canvas.Disc(p.x, p.y, kPointRadius);
        if (!bCalculated && row.iMarked != 0) {
            canvas.SetPen(kBlackPen);
            canvas.SetBrush(SolidBrush(kMarkedFill));
            canvas.Disc(p.x, p.y, iFlagRadius);
        }
    }
}

bool CModelDisplay::Draw(CCanvas& canvas, const CBrivaneDoc& doc, int& iModel, float fHScale,
                         float fVScale, int& iRight, int& iBottom) {
    const int nColumn = ModelColumnCount(doc);
    if (nColumn < 1) return false;
    iModel = std::clamp(iModel, 0, LastModelIndex(doc));
    PrepareAxes(fHScale, fVScale);
    const CModelColumn current = LoadModelColumn(doc, iModel);

    CCanvasStateSaver keep(canvas);
    canvas.SetTextColor(kColorBlack);
    canvas.SetTextAlign({HAlign::Left, VAlign::Top});
    canvas.SetFont(TickLabelFont(parameter.iLanguage));
    const std::string count = ModelCountText(nColumn, current.nLayer);
    const std::string shown = ModelCurrentText(iModel, current.fPosition, nColumnShown);
    canvas.Text(10, -15, count);
    canvas.Text(10, -75, shown);
    // The status lines may reach further right than a narrow graph.
    const int textRight =
        10 + std::max(canvas.MeasureText(count).iWidth, canvas.MeasureText(shown).iWidth);

    // The model is drawn under the frame, the observations over it; both inside it.
    const CPoint frameTopLeft{iOriginX, -iOriginY};
    const CPoint frameBottomRight{
        PageUnits(iOriginX + (axes.fXEnd - axes.fXStart) * axes.fXScale),
        -PageUnits(iOriginY + (axes.fYEnd - axes.fYStart) * axes.fYScale)};
    if (current.bModel) {
        CCanvasClip clip(canvas, frameTopLeft, frameBottomRight);
        DrawModel(canvas, current.model);
    }
    CPlotOffset offset;
    const CFrameEdges edges = DrawFrameAndAxes(canvas, parameter, axes, offset);

    CFont titleFont = XTitleFont(parameter.iLanguage);
    if (!parameter.IsJapanese()) titleFont.sFaceName = graph.sFontFace;
    canvas.SetFont(titleFont);
    canvas.Text(iOriginX, -(edges.iBottom + 20), ModelTitleText(parameter.iLanguage));
    canvas.SetFont(TickLabelFont(parameter.iLanguage));
    canvas.Text(iOriginX, -(edges.iBottom + 90), current.sounding.sArrayName);

    {
        CCanvasClip clip(canvas, {iOriginX, -iOriginY}, {edges.iRight, -edges.iBottom});
        const int last = std::min(nColumn, iModel + nColumnShown);
        for (int c = iModel; c < last; ++c) {
            if (c == iModel) {
                DrawPoints(canvas, current.sounding, false);
            } else {
                const CModelColumn col = LoadModelColumn(doc, c);
                DrawPoints(canvas, col.sounding, false);
            }
        }
        if (bShowCalculated && current.bModel) DrawPoints(canvas, current.sounding, true);
    }

    iRight = std::max(edges.iRight, textRight);
    // The title lines hang below the frame; on a short graph the depth title, centred on the
    // frame's height, reaches further. The caption goes under both.
    iBottom = edges.iBottom + 90 + TickLabelFont(parameter.iLanguage).iHeight;
    if (axes.bYTitle) {
        CCanvasStateSaver measure(canvas);
        canvas.SetFont(YTitleFont(parameter.iLanguage));
        const int length = canvas.MeasureText(axes.sYTitle).iWidth;
        iBottom = std::max(iBottom, iOriginY + offset.iFrameHeight / 2 + (length + 1) / 2);
    }
    return true;
}

int CModelDisplay::MarkObservations(CBrivaneDoc& doc, int iModel, float fHScale, float fVScale,
                                    int x, int y) {
    const int nColumn = ModelColumnCount(doc);
    if (nColumn < 1) return 0;
    iModel = std::clamp(iModel, 0, LastModelIndex(doc));
    PrepareAxes(fHScale, fVScale);
    int count = 0;
    const int last = std::min(nColumn, iModel + nColumnShown);
    for (int c = iModel; c < last; ++c) {
        const CModelColumn col = LoadModelColumn(doc, c);
        const int m = std::clamp(col.sounding.nData, 0, kMaxSoundingRows);
        for (int k = 0; k < m; ++k) {
            const SoundingRow& row = col.sounding.row[static_cast<std::size_t>(k)];
            if (std::isnan(row.fObserved) || !std::isfinite(ObservationDepth(row))) continue;
            const CPoint p = PointOf(row.fObserved, ObservationDepth(row));
            if (std::abs(p.x - x) >= kMarkTolerance || std::abs(p.y - y) >= kMarkTolerance)
                continue;
            if (StoreHasColumns(doc.store)) {
                int& mark = doc.store.iMarked[c][k];
                mark = mark != 0 ? 0 : 1;
            } else {
                int& mark = doc.sounding.points[static_cast<std::size_t>(k)].bMarked;
                mark = mark != 0 ? 0 : 1;
            }
            ++count;
        }
    }
    return count;
}
