#include "analysis/map_interpolation.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "common/text_format.h"

namespace {

// Weights of the fit's equations (they multiply the squared residual).
constexpr double kFirstDifferenceWeight = 0.5;
constexpr double kSecondDifferenceWeight = 0.5;
constexpr double kCrossDifferenceWeight = 1.0;
constexpr double kDataWeight = 32.0;

// log10 values at or below this (or not numbers) take no part in the fit.
constexpr double kUnusableLog = -10000.0;

// More growth steps than any finite box needs (1.5^200 is far beyond any survey).
constexpr int kMaxCellSteps = 200;

// A receiver value of a slice, with the positions it was made from (for the listing).
struct SlicePoint {
    int iLine = 0;
    double dTransmitterX = 0.0, dTransmitterY = 0.0;
    double dReceiverX = 0.0, dReceiverY = 0.0;
    CMapDataPoint point;
};

double RoundedToFloat(double v) {
    return static_cast<double>(static_cast<float>(v));
}

std::vector<SlicePoint> CollectSlice(const CGantrelSurvey& survey, float z) {
    std::vector<SlicePoint> out;
    for (int l = 0; l < survey.nLine; ++l) {
        const CGantrelLine& line = survey.Line(l);
        // Without computed positions the transmitter and receivers have no plan position.
        if (line.bUse != 1 || line.bPosition != 1) continue;
        for (const CGantrelData& d : line.pData) {
            const int n = std::clamp(d.nReceiver, 0, kMaxReceiver);
            for (int j = 0; j < n; ++j) {
                if (d.bValid[j] != 1) continue;
                if (!(std::fabs(static_cast<double>(d.fDepth[j] - z)) <= kDistinctTolerance))
                    continue;
                SlicePoint p;
                p.iLine = l;
                p.dTransmitterX = d.dTransmitterX;
                p.dTransmitterY = d.dTransmitterY;
                p.dReceiverX = d.dReceiverX[j];
                p.dReceiverY = d.dReceiverY[j];
                p.point.dEasting =
                    (RoundedToFloat(p.dReceiverX) + RoundedToFloat(p.dTransmitterX)) / 2.0;
                p.point.dNorthing =
                    (RoundedToFloat(p.dReceiverY) + RoundedToFloat(p.dTransmitterY)) / 2.0;
                p.point.dValue = d.fResistivity[j];
                if (!std::isfinite(p.point.dEasting) || !std::isfinite(p.point.dNorthing)) continue;
                out.push_back(p);
            }
        }
    }
    return out;
}

double LogValue(double value) {
    return std::log10(value);  // -inf for 0, NaN below
}

bool UsableLog(double v) {
    return std::isfinite(v) && v > kUnusableLog;
}

// The numbering of the unknowns: along the shorter side of the grid.
struct CUnknownOrder {
    CUnknownOrder(int nx, int ny) : nx(nx), ny(ny), bAlongY(ny <= nx) {}
    int nx, ny;
    bool bAlongY;
    int HalfBandwidth() const { return 2 * (bAlongY ? ny : nx); }
    // One-based unknown of node (i, j).
    int K(int i, int j) const { return 1 + (bAlongY ? j + i * ny : i + j * nx); }
};

// Adds weight * (sum a[m] u[k[m]] - r)^2 to the normal equations in band storage.
template <typename T>
void AddEquation(COneBasedMatrix<T>& M, COneBasedVector<T>& b, const int* k, const double* a, int n,
                 double weight, double r) {
    for (int p = 0; p < n; ++p) {
        const double wa = weight * a[p];
        b[k[p]] += static_cast<T>(wa * r);
        for (int q = 0; q < n; ++q)
            if (k[p] <= k[q]) M[k[p]][k[q] - k[p] + 1] += static_cast<T>(wa * a[q]);
    }
}

template <typename T>
int AssembleSystem(const std::vector<CMapDataPoint>& points, int nx, int ny, float c, double x0,
                   double y0, COneBasedMatrix<T>& M, COneBasedVector<T>& b, int& w) {
    if (nx < 2 || ny < 2 || !(c > 0.0f)) return -1;
    const CUnknownOrder order(nx, ny);
    w = order.HalfBandwidth();
    const int n = nx * ny;
    if (M.Allocate(1, n, 1, w + 1) != 0 || !b.Allocate(1, n)) return -1;

    int k[4];
    double a[4];
    auto add = [&](int count, double weight, double r) {
        AddEquation(M, b, k, a, count, weight, r);
    };
    for (int i = 0; i < nx; ++i) {
        for (int j = 0; j < ny; ++j) {
            if (i < nx - 1) {
                k[0] = order.K(i, j), k[1] = order.K(i + 1, j);
                a[0] = 1.0, a[1] = -1.0;
                add(2, kFirstDifferenceWeight, 0.0);
            }
            if (j < ny - 1) {
                k[0] = order.K(i, j), k[1] = order.K(i, j + 1);
                a[0] = 1.0, a[1] = -1.0;
                add(2, kFirstDifferenceWeight, 0.0);
            }
            if (i >= 1 && i <= nx - 2) {
                k[0] = order.K(i - 1, j), k[1] = order.K(i, j), k[2] = order.K(i + 1, j);
                a[0] = 1.0, a[1] = -2.0, a[2] = 1.0;
                add(3, kSecondDifferenceWeight, 0.0);
            }
            if (j >= 1 && j <= ny - 2) {
                k[0] = order.K(i, j - 1), k[1] = order.K(i, j), k[2] = order.K(i, j + 1);
                a[0] = 1.0, a[1] = -2.0, a[2] = 1.0;
                add(3, kSecondDifferenceWeight, 0.0);
            }
            if (i < nx - 1 && j < ny - 1) {
                k[0] = order.K(i, j), k[1] = order.K(i, j + 1);
                k[2] = order.K(i + 1, j), k[3] = order.K(i + 1, j + 1);
                a[0] = 1.0, a[1] = -1.0, a[2] = -1.0, a[3] = 1.0;
                add(4, kCrossDifferenceWeight, 0.0);
            }
        }
    }

    int usable = 0;
    const double dx = c, dy = c;
    for (const CMapDataPoint& p : points) {
        const double v = LogValue(p.dValue);
        if (!UsableLog(v)) continue;
        const double x = p.dEasting - x0, y = p.dNorthing - y0;
        if (!(x >= -dx / 2 && x <= (nx - 1) * dx + dx / 2 && y >= -dy / 2 &&
              y <= (ny - 1) * dy + dy / 2))
            continue;
        const int i = std::clamp(static_cast<int>(std::floor(x / dx + 1e-6)), 0, nx - 2);
        const int j = std::clamp(static_cast<int>(std::floor(y / dy + 1e-6)), 0, ny - 2);
        const double fx = (x - i * dx) / dx, fy = (y - j * dy) / dy;
        k[0] = order.K(i, j), k[1] = order.K(i, j + 1);
        k[2] = order.K(i + 1, j), k[3] = order.K(i + 1, j + 1);
        a[0] = (1 - fx) * (1 - fy), a[1] = (1 - fx) * fy, a[2] = fx * (1 - fy), a[3] = fx * fy;
        add(4, kDataWeight, v);
        ++usable;
    }
    return usable;
}

// The points sorted into cells centred on the nodes (points off the grid go to the border
// cell nearest them), for the nearest-point search.
class CPointCells {
public:
    CPointCells(const std::vector<CMapDataPoint>& points, int nx, int ny, float c, double x0,
                double y0)
        : ny_(ny), start_(static_cast<size_t>(nx) * ny + 1, 0) {
        std::vector<int> cell(points.size());
        for (size_t p = 0; p < points.size(); ++p) {
            const float x = static_cast<float>(points[p].dEasting - x0);
            const float y = static_cast<float>(points[p].dNorthing - y0);
            const int i = Clamp(std::floor(x / c + 0.5f), nx - 1);
            const int j = Clamp(std::floor(y / c + 0.5f), ny - 1);
            cell[p] = i * ny + j;
            ++start_[static_cast<size_t>(cell[p]) + 1];
        }
        for (size_t k = 1; k < start_.size(); ++k) start_[k] += start_[k - 1];
        x_.resize(points.size());
        y_.resize(points.size());
        std::vector<int> fill(start_.begin(), start_.end() - 1);
        for (size_t p = 0; p < points.size(); ++p) {
            const auto at = static_cast<size_t>(fill[static_cast<size_t>(cell[p])]++);
            x_[at] = static_cast<float>(points[p].dEasting - x0);
            y_[at] = static_cast<float>(points[p].dNorthing - y0);
        }
    }

    // Smallest distance from (px, py) to the points of cell (i, j), or `best` when larger.
    float Nearest(int i, int j, float px, float py, float best) const {
        const size_t k = static_cast<size_t>(i) * static_cast<size_t>(ny_) + static_cast<size_t>(j);
        for (int p = start_[k]; p < start_[k + 1]; ++p) {
            const float ddx = px - x_[static_cast<size_t>(p)];
            const float ddy = py - y_[static_cast<size_t>(p)];
            const float d = std::sqrt(ddx * ddx + ddy * ddy);
            if (d < best) best = d;
        }
        return best;
    }

private:
    static int Clamp(float v, int hi) {
        if (!(v > 0.0f)) return 0;
        if (v >= static_cast<float>(hi)) return hi;
        return static_cast<int>(v);
    }
    int ny_;
    std::vector<int> start_;
    std::vector<float> x_, y_;
};

}  // namespace

std::optional<CMapGridLayout> MapGridLayout(float fWidth, float fHeight) {
    if (!(fWidth > 0.0f) || !(fHeight > 0.0f) || !std::isfinite(fWidth) || !std::isfinite(fHeight))
        return std::nullopt;
    float c = 0.5f;
    for (int step = 0; step < kMaxCellSteps; ++step) {
        // In double, so that a huge box cannot overflow the counts before the cells grow.
        const double nx = std::trunc(static_cast<double>(fWidth / c + 0.001f)) + 1.0;
        const double ny = std::trunc(static_cast<double>(fHeight / c + 0.001f)) + 1.0;
        if (nx * ny < kMaxMapNodes) {
            // A side shorter than the cell gives one node across and no cell to fit.
            if (nx < 2.0 || ny < 2.0) return std::nullopt;
            CMapGridLayout layout;
            layout.fCell = c;
            layout.nx = static_cast<int>(nx);
            layout.ny = static_cast<int>(ny);
            return layout;
        }
        c *= 1.5f;
    }
    return std::nullopt;
}

std::string MapGridLayoutMessage(const CMapGridLayout& layout) {
    return FormatC("Cell size = %f m\n\nNumber of cell W-E:%d S-N:%d",
                   static_cast<double>(layout.fCell), layout.nx, layout.ny);
}

void CInterpolatedGrid::Clear() {
    nSlice = nx = ny = 0;
    dx = dy = 0.0f;
    x0 = y0 = 0.0;
    value.Release();
    distance.Release();
    pDepth.clear();
    nPoint.clear();
}

std::vector<CMapDataPoint> CollectMapPoints(const CGantrelSurvey& survey, float z) {
    std::vector<CMapDataPoint> out;
    for (const SlicePoint& p : CollectSlice(survey, z)) out.push_back(p.point);
    return out;
}

int AssembleMapSystem(const std::vector<CMapDataPoint>& points, int nx, int ny, float c, double x0,
                      double y0, COneBasedMatrix<double>& M, COneBasedVector<double>& b, int& w) {
    return AssembleSystem(points, nx, ny, c, x0, y0, M, b, w);
}

int AssembleMapSystem(const std::vector<CMapDataPoint>& points, int nx, int ny, float c, double x0,
                      double y0, COneBasedMatrix<float>& M, COneBasedVector<float>& b, int& w) {
    return AssembleSystem(points, nx, ny, c, x0, y0, M, b, w);
}

double MapNodeSolution(const COneBasedVector<double>& b, int nx, int ny, int i, int j) {
    return b[CUnknownOrder(nx, ny).K(i, j)];
}

double MapNodeSolution(const COneBasedVector<float>& b, int nx, int ny, int i, int j) {
    return b[CUnknownOrder(nx, ny).K(i, j)];
}

MapFitStatus FitMapSlice(const std::vector<CMapDataPoint>& points, int nx, int ny, float c,
                         double x0, double y0, std::vector<double>& u) {
    u.assign(static_cast<size_t>(std::max(nx, 0)) * static_cast<size_t>(std::max(ny, 0)), 0.0);
    if (nx < 2 || ny < 2 || !(c > 0.0f)) return MapFitStatus::NoData;
    int usable = 0;
    for (const CMapDataPoint& p : points) usable += UsableLog(LogValue(p.dValue)) ? 1 : 0;
    if (usable == 0) return MapFitStatus::NoData;
    COneBasedMatrix<double> M;
    COneBasedVector<double> b;
    int w = 0;
    if (AssembleMapSystem(points, nx, ny, c, x0, y0, M, b, w) < 0) return MapFitStatus::NoMemory;
    if (SolveBanded(M, b, nx * ny, w) != kBandedSolved) return MapFitStatus::NotSolved;
    for (int i = 0; i < nx; ++i)
        for (int j = 0; j < ny; ++j)
            u[static_cast<size_t>(i) * static_cast<size_t>(ny) + static_cast<size_t>(j)] =
                MapNodeSolution(b, nx, ny, i, j);
    return MapFitStatus::Solved;
}

void MapNodeDistances(const std::vector<CMapDataPoint>& points, int nx, int ny, float c, double x0,
                      double y0, std::vector<float>& d) {
    d.assign(static_cast<size_t>(std::max(nx, 0)) * static_cast<size_t>(std::max(ny, 0)),
             kNoDataDistance);
    if (points.empty() || nx < 1 || ny < 1 || !(c > 0.0f)) return;
    const CPointCells cells(points, nx, ny, c, x0, y0);
    const int rMax = std::max(nx, ny);
    for (int i = 0; i < nx; ++i) {
        const float px = static_cast<float>(i) * c;
        for (int j = 0; j < ny; ++j) {
            const float py = static_cast<float>(j) * c;
            float best = kNoDataDistance;
            for (int r = 0; r <= rMax; ++r) {
                const int ilo = i - r, ihi = i + r, jlo = j - r, jhi = j + r;
                // The square ring of cells r steps away, within the grid.
                for (int ci = std::max(ilo, 0); ci <= std::min(ihi, nx - 1); ++ci) {
                    if (jlo >= 0) best = cells.Nearest(ci, jlo, px, py, best);
                    if (r > 0 && jhi <= ny - 1) best = cells.Nearest(ci, jhi, px, py, best);
                }
                if (r > 0) {
                    for (int cj = std::max(jlo + 1, 0); cj <= std::min(jhi - 1, ny - 1); ++cj) {
                        if (ilo >= 0) best = cells.Nearest(ilo, cj, px, py, best);
                        if (ihi <= nx - 1) best = cells.Nearest(ihi, cj, px, py, best);
                    }
                }
                // Every point of a farther ring lies at least (r + 0.5) cells away (points off
                // the grid even farther, beyond their border cell); the allowance covers the
                // rounding of the cell a point was sorted into.
                if (best <= (static_cast<float>(r) + 0.5f - 1e-3f) * c) break;
            }
            d[static_cast<size_t>(i) * static_cast<size_t>(ny) + static_cast<size_t>(j)] = best;
        }
    }
}

CMapInterpolationResult InterpolateMap(const CGantrelSurvey& survey, const CMapGridLayout& layout,
                                       CInterpolatedGrid& grid,
                                       const std::filesystem::path& listing,
                                       const ProgressReport& progress) {
    CMapInterpolationResult result;
    const int nx = layout.nx, ny = layout.ny, nSlice = survey.nDepth();
    if (nx < 2 || ny < 2 || !(layout.fCell > 0.0f) || nSlice < 1) return result;

    CInterpolatedGrid fresh;
    fresh.nSlice = nSlice;
    fresh.nx = nx;
    fresh.ny = ny;
    fresh.dx = fresh.dy = layout.fCell;
    fresh.x0 = survey.dMinEasting;
    fresh.y0 = survey.dMinNorthing;
    fresh.pDepth = survey.pDepth;
    fresh.nPoint.assign(static_cast<size_t>(nSlice), 0);
    if (!fresh.value.Allocate(nSlice - 1, nx - 1, ny - 1) ||
        !fresh.distance.Allocate(nSlice - 1, nx - 1, ny - 1)) {
        result.bNoMemory = true;
        return result;
    }
    fresh.distance.Fill(1.0e7f);

    CTextWriter out;
    out.Open(listing);
    std::vector<double> u;
    std::vector<float> d;
    for (int s = 0; s < nSlice; ++s) {
        if (!ReportProgress(progress, s, nSlice, FormatC("Interpolation %d/%d", s + 1, nSlice))) {
            result.bCancelled = true;
            return result;
        }
        const float z = survey.pDepth[static_cast<size_t>(s)];
        const std::vector<SlicePoint> collected = CollectSlice(survey, z);
        std::vector<CMapDataPoint> points;
        points.reserve(collected.size());
        for (const SlicePoint& p : collected) points.push_back(p.point);
        fresh.nPoint[static_cast<size_t>(s)] = static_cast<int>(points.size());

        if (out.IsOpen()) {
            out.Printf("%d %f %d\n", s, static_cast<double>(z), static_cast<int>(points.size()));
            size_t next = 0;
            for (int l = 0; l < survey.nLine; ++l) {
                out.Printf("%d %d \n", l, survey.Line(l).bUse);
                for (; next < collected.size() && collected[next].iLine == l; ++next) {
                    const SlicePoint& p = collected[next];
                    out.Printf("%f %f : %f %f \n", p.dTransmitterX, p.dTransmitterY, p.dReceiverX,
                               p.dReceiverY);
                }
            }
            out.Printf("%f %f %f\n", fresh.x0, fresh.y0, static_cast<double>(layout.fCell));
            for (size_t p = 0; p < points.size(); ++p) {
                out.Printf("%d %d : %f %f : %f %f %f\n", s, static_cast<int>(p), points[p].dEasting,
                           points[p].dNorthing, points[p].dEasting - fresh.x0,
                           points[p].dNorthing - fresh.y0, LogValue(points[p].dValue));
            }
        }

        const MapFitStatus status =
            FitMapSlice(points, nx, ny, layout.fCell, fresh.x0, fresh.y0, u);
        if (status == MapFitStatus::NoMemory) {
            result.bNoMemory = true;
            return result;
        }
        if (status == MapFitStatus::NoData) result.emptySlices.push_back(s);
        if (status == MapFitStatus::NotSolved) {
            result.unsolvedSlices.push_back(s);
            std::fill(u.begin(), u.end(), 0.0);
        }
        MapNodeDistances(points, nx, ny, layout.fCell, fresh.x0, fresh.y0, d);
        for (int i = 0; i < nx; ++i) {
            for (int j = 0; j < ny; ++j) {
                const size_t k =
                    static_cast<size_t>(i) * static_cast<size_t>(ny) + static_cast<size_t>(j);
                // A slice without a fit is not drawn: nothing in it counts as near data.
                fresh.value(s, i, j) = static_cast<float>(std::pow(10.0, u[k]));
                fresh.distance(s, i, j) = status == MapFitStatus::Solved ? d[k] : kNoDataDistance;
                if (out.IsOpen())
                    out.Printf("%d %d %d %f %f \n", s, i, j,
                               static_cast<double>(fresh.value(s, i, j)),
                               static_cast<double>(fresh.distance(s, i, j)));
            }
        }
    }
    out.Close();
    grid = std::move(fresh);
    result.nNode = nx * ny;
    return result;
}
