// "Interpolation": the apparent resistivities of all receiver values, placed at the plan
// midpoint of their transmitter and receiver, become one regular grid per distinct
// pseudo-depth of the survey. Each grid is the regularised least-squares fit of log10
// apparent resistivity (bilinear data equations of weight 32 with first- and second-difference
// smoothing), and each node also gets its distance to the nearest data point, so that the map
// can leave out what lies far from data.
//
// Units: metres (UTM eastings and northings of the survey's zone), Ohm-m. Node (i, j) lies at
// easting x0 + i dx and northing y0 + j dy, i west to east, j south to north.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "analysis/numeric.h"
#include "common/progress.h"
#include "common/survey.h"

// The node count stays below this: the cell size grows until it does.
inline constexpr int kMaxMapNodes = 10000;
// Distance of a node of a slice without any data point, m.
inline constexpr float kNoDataDistance = 1.0e9f;

struct CMapGridLayout {
    float fCell = 0.0f;  // node spacing, m (the same both ways)
    int nx = 0, ny = 0;  // nodes west-east and south-north
};

// The cell size rule for a survey box of fWidth x fHeight m: from 0.5 m, times 1.5 until
// nx * ny < 10000, with nx = trunc(W / c + 0.001) + 1 (likewise ny). nullopt when a side is
// not a positive finite number or too short for two nodes (a track due north has no width).
std::optional<CMapGridLayout> MapGridLayout(float fWidth, float fHeight);
// "Cell size = %f m\n\nNumber of cell W-E:%d S-N:%d".
std::string MapGridLayoutMessage(const CMapGridLayout& layout);

// The interpolated grids of one run; the document owns one and each run replaces it.
class CInterpolatedGrid {
public:
    int nSlice = 0;
    int nx = 0, ny = 0;
    float dx = 0.0f, dy = 0.0f;
    double x0 = 0.0, y0 = 0.0;     // the survey's dMinEasting, dMinNorthing
    CBlockArray3<float> value;     // [slice][i][j], Ohm-m
    CBlockArray3<float> distance;  // [slice][i][j], m to the nearest data point of the slice
    std::vector<float> pDepth;     // pseudo-depth of every slice, m
    std::vector<int> nPoint;       // data points collected for every slice

    bool HasGrid() const { return nSlice > 0 && nx > 1 && ny > 1 && value.IsAllocated(); }
    void Clear();
};

// One data point of a slice: plan position (m) and apparent resistivity (Ohm-m).
struct CMapDataPoint {
    double dEasting = 0.0, dNorthing = 0.0;
    double dValue = 0.0;
};

// The data points of the pseudo-depth z: every valid receiver value within 0.01 m of z of
// every line in use whose positions were computed, at the midpoint of its transmitter and
// receiver (each coordinate rounded to single precision before the sum).
std::vector<CMapDataPoint> CollectMapPoints(const CGantrelSurvey& survey, float z);

enum class MapFitStatus {
    Solved,
    NoData,     // no usable point: the slice stays at 1 Ohm-m, every distance kNoDataDistance
    NotSolved,  // the normal equations were not positive definite
    NoMemory,   // the band matrix could not be allocated
};

// Fits the node values u (log10 Ohm-m, u[i * ny + j]) of a grid of nx x ny nodes spaced c m
// from the origin (x0, y0) to the points. The normal equations are accumulated into a band
// matrix and solved by SolveBanded in double precision. The unknowns are numbered along the
// shorter side of the grid, so the half bandwidth is 2 min(nx, ny) and the band never holds
// more than about 10000 x 200 elements.
MapFitStatus FitMapSlice(const std::vector<CMapDataPoint>& points, int nx, int ny, float c,
                         double x0, double y0, std::vector<double>& u);

// The fit's normal equations in the band storage of SolveBanded: M (order nx * ny, half
// bandwidth w, which is set) and b, allocated here. Returns the number of data equations, or
// -1 when the grid has no cell or the memory cannot be had. MapNodeSolution reads node
// (i, j) of the solution SolveBanded leaves in b.
int AssembleMapSystem(const std::vector<CMapDataPoint>& points, int nx, int ny, float c, double x0,
                      double y0, COneBasedMatrix<double>& M, COneBasedVector<double>& b, int& w);
int AssembleMapSystem(const std::vector<CMapDataPoint>& points, int nx, int ny, float c, double x0,
                      double y0, COneBasedMatrix<float>& M, COneBasedVector<float>& b, int& w);
double MapNodeSolution(const COneBasedVector<double>& b, int nx, int ny, int i, int j);
double MapNodeSolution(const COneBasedVector<float>& b, int nx, int ny, int i, int j);

// Distance of every node to the nearest point (d[i * ny + j], single precision as
// sqrt((i c - x)^2 + (j c - y)^2)); kNoDataDistance everywhere without points. Exact: the
// points are sorted into cells and each node searches outwards ring by ring.
void MapNodeDistances(const std::vector<CMapDataPoint>& points, int nx, int ny, float c, double x0,
                      double y0, std::vector<float>& d);

struct CMapInterpolationResult {
    int nNode = 0;                    // nx * ny; 0 when nothing was interpolated
    std::vector<int> emptySlices;     // slices without a usable data point
    std::vector<int> unsolvedSlices;  // slices whose equations could not be solved
    bool bNoMemory = false;           // the grids or the band matrix could not be allocated
    bool bCancelled = false;          // progress asked to stop: the grid is as it was
};

// Interpolates every pseudo-depth of the survey's depth list on the layout's grid from the
// survey's box, replacing the grid (which is left as it was on a memory failure or a stop).
// Writes the diagnostic listing to `listing` when it can be created. progress hears of every
// slice before it is fitted.
CMapInterpolationResult InterpolateMap(const CGantrelSurvey& survey, const CMapGridLayout& layout,
                                       CInterpolatedGrid& grid,
                                       const std::filesystem::path& listing,
                                       const ProgressReport& progress = {});
