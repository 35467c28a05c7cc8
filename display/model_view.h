// The one-dimensional model display: for one column of the model at a time, the layered
// resistivities as a step curve in a resistivity-depth graph, with the observed apparent
// resistivities of one or more columns at their pseudo-depths and, on request, the model's
// calculated ones. The columns are those of the section and model store, or, for a
// one-dimensional survey without a section, the single averaged sounding of the document.
//
// Page positions: x = (value - x start) x horizontal scale + origin x (decades when the x
// axis is logarithmic), Y = (depth - y start) x vertical scale + origin y, Y measured down
// from the page top and drawn at the negated y.
#pragma once

#include <string>

#include "analysis/inversion.h"
#include "common/axes.h"
#include "common/canvas.h"
#include "common/drawing_parameter.h"
#include "processing/document.h"

// The graph's description, kept in the settings (section "General") between runs.
struct CModelGraph {
    CModelGraph();

    // Linear x axis, Ohm-m ("xs", "xe", "xi", "nx").
    float fXStart = 0.0f, fXEnd = 1000.0f, fXInterval = 100.0f;
    int nXTick = 11;
    int bXAxisLog = 1;  // "bXAxisLog"
    // Logarithmic x axis, decades ("xs_log", "xe_log", "nx_log").
    float fXStartLog = 0.0f, fXEndLog = 5.0f;
    int nXTickLog = 6;
    // Depth axis, m ("ys", "ye", "yi", "ny").
    float fYStart = 0.0f, fYEnd = 20.0f, fYInterval = 2.0f;
    int nYTick = 11;
    int bXLogAllowed = 1, bYLogAllowed = 0;  // only x offers "Log" in the axis configuration
    std::string sFontFace = "Times New Roman";

    // The description as the axis configuration edits it: x in decades or Ohm-m, y as
    // positive depths from y start to y end. Both rows count as fixed (the graph's ranges
    // never follow the data).
    CAxes axes;

    // The fields from the settings, then the axes from the fields.
    void Load();
    // The fields from the axes, then the settings from the fields.
    void Save();
    // Keeps the fields of the axis kind shown in step with the axes.
    void FromAxes();
    void ToAxes();
};

// What the display shows of one column.
struct CModelColumn {
    int nColumn = 0;         // columns of the model (1 for an averaged sounding)
    int nLayer = 0;          // layers of the model; 0 without a model
    float fPosition = 0.0f;  // m along the line
    LayerModel model;
    SoundingData sounding;
    bool bModel = false;       // the column has a layered model to draw
    bool bCalculated = false;  // sounding.row[].fCalculated belong to that model
};

// Number of columns the display steps through: the store's data columns, else 1 when the
// document holds an averaged sounding, else 0.
int ModelColumnCount(const CBrivaneDoc& doc);
// Layer count of the model shown (the store's, or that of the averaged sounding's model).
int ModelLayerCount(const CBrivaneDoc& doc);
// Sets up column c: its rows and model; for the averaged sounding the model comes from
// inverting it with the document's settings. The calculated values are the forward response
// of the model when it can be computed, else those stored with the column.
CModelColumn LoadModelColumn(const CBrivaneDoc& doc, int c);

// Pseudo-depth of an observation, m: (N + 1) x a / 4, or a itself for N 0 or -1.
float ObservationDepth(const SoundingRow& row);

class CModelDisplay {
public:
    explicit CModelDisplay(int language);
    CModelDisplay(const CModelDisplay&) = delete;
    CModelDisplay& operator=(const CModelDisplay&) = delete;

    void SetLanguage(int language);

    // Draws the display for model index iModel (clamped here to 0..columns - shown) with the
    // view's horizontal and vertical scales. False, with nothing drawn, when there is no
    // column; else the right and bottom extents of what was drawn.
    bool Draw(CCanvas& canvas, const CBrivaneDoc& doc, int& iModel, float fHScale, float fVScale,
              int& iRight, int& iBottom);
    // A left click at page point (x, y) (canvas coordinates): toggles the mark of every
    // observation of the shown columns lying less than 10 page units from it both ways.
    // Returns the number toggled.
    int MarkObservations(CBrivaneDoc& doc, int iModel, float fHScale, float fVScale, int x, int y);

    // Largest model index for the columns shown.
    int LastModelIndex(const CBrivaneDoc& doc) const;

    CModelGraph graph;
    CGantrelDrawingParameter parameter;  // margins are the graph origin
    CAxes axes;                          // the frame as last drawn
    int nColumnShown = 1;                // 1, 5 or 10
    int bShowCalculated = 0;
    int bShowLayerBoundary = 0;
    int iOriginX = 400, iOriginY = 300;
    int iFlagRadius = 14;

private:
    void PrepareAxes(float fHScale, float fVScale);
    // Page position of a value at a depth (canvas coordinates).
    CPoint PointOf(float value, float depth) const;
    void DrawModel(CCanvas& canvas, const LayerModel& model) const;
    void DrawPoints(CCanvas& canvas, const SoundingData& sounding, bool bCalculated) const;
};

// Status lines of the display.
std::string ModelCountText(int nColumn, int nLayer);
std::string ModelCurrentText(int iModel, float fPosition, int nColumnShown);
// Title under the graph ("Resistivity model").
std::string ModelTitleText(int language);
