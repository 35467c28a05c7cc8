#include "positioning/positioning.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

#include "common/language.h"
#include "common/settings.h"
#include "common/side_file.h"
#include "common/text_format.h"
#include "common/utm.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kHalfPi = 1.5707963267948966;

// Values of the view's iViewMode and iMouseMode that these commands read or set.
constexpr int kViewModeLineResistivity = 1;
constexpr int kViewModeGPSMap = 6;
constexpr int kMouseModeNormal = 0;
constexpr int kMouseModeFlags = 3;

// Tolerance at both ends of a flag segment within which a point counts as lying along it, m.
constexpr double kSegmentEndTolerance = 5.0;
// The initial heading of a line looks at most this many readings ahead of reading 0 and stops
// at the first one farther than kInitialHeadingReach.
constexpr int kInitialHeadingReadings = 20;
constexpr double kInitialHeadingReach = 10.0;
// Step of the latitude-longitude walk along the flags, m, and a bound on its rows so that a
// misplaced flag cannot fill the disk.
constexpr double kWalkStep = 1.0;
constexpr long kMaxWalkRows = 1000000;

size_t Index(int i) {
    return static_cast<size_t>(i);
}

template <typename Value>
double ValueAt(const CFixPair& pick, Value value) {
    if (!pick.bPlaced || pick.dFactor == 0.0) return value(pick.k);
    return value(pick.k) + (value(pick.k + 1) - value(pick.k)) * pick.dFactor;
}

// Seconds from a fix to a record, with milliseconds (exact: the whole seconds are subtracted
// as integers before the conversion).
double SecondsBetween(std::int64_t t1, int ms1, std::int64_t t2, int ms2) {
    return static_cast<double>(t1 - t2) + static_cast<double>(ms1 - ms2) / 1000.0;
}

// ---------------------------------------------------------------------------------------------
// Array positions

// The scratch track of computed array points with a quadtree over it (squares halved down to
// leaves of a few points, each node knowing the bounding box of its points), so that the
// point nearest to a proposal is found without scanning the track. The answer is the same as
// a scan of every point in order (the first of equally near points), as far as it matters:
// points farther than the search radius from the proposal are never close enough to snap to.
//
// A point at exactly the place of an earlier one is kept in the track but not in the tree:
// the earlier point wins every tie, so it can never be the answer. An array standing still
// (the GPS not moving) puts every reading's points on the same few spots, and without that
// each search would look through all of them. A search costs about the tree's depth; only a
// heap of m points almost at one spot, seen from afar (a standing array whose GPS jitters
// snaps its points into such heaps), costs about the square root of m.
class CTrack {
public:
    explicit CTrack(CGantrelLine& line, double cell) : line_(line), cell_(cell) {
        line_.pTrackX.clear();
        line_.pTrackY.clear();
        line_.nTrack = 0;
        const size_t capacity = static_cast<size_t>(line.nData()) * 7;
        line_.pTrackX.reserve(capacity);
        line_.pTrackY.reserve(capacity);
    }
    ~CTrack() {
        // The track lives only for one computation.
        line_.pTrackX.clear();
        line_.pTrackX.shrink_to_fit();
        line_.pTrackY.clear();
        line_.pTrackY.shrink_to_fit();
        line_.nTrack = 0;
    }
    CTrack(const CTrack&) = delete;
    CTrack& operator=(const CTrack&) = delete;

    bool Empty() const { return line_.pTrackX.empty(); }

    void Add(double x, double y) {
        const int index = static_cast<int>(line_.pTrackX.size());
        line_.pTrackX.push_back(x);
        line_.pTrackY.push_back(y);
        line_.nTrack = index + 1;
        if (!(std::fabs(x) <= kIndexLimit && std::fabs(y) <= kIndexLimit)) {
            unindexed_.push_back(index);
            return;
        }
        if (nodes_.empty()) {
            root_ = NewLeafNode();
            square_ = {x - cell_ / 2.0, y - cell_ / 2.0, cell_};
        }
        while (!square_.Holds(x, y)) Grow(x, y);
        Insert(index, x, y);
    }

    // Index of the stored point nearest to (x, y) among those within radius r; -1 when no
    // point lies there.
    int Nearest(double x, double y, double r) const {
        Best best;
        best.d2 = r * r;
        if (root_ >= 0) Search(root_, x, y, best);
        for (int i : unindexed_) Consider(best, i, X(i), Y(i), x, y);
        for (int i : crowded_) Consider(best, i, X(i), Y(i), x, y);
        return best.index;
    }

    double X(int i) const { return line_.pTrackX[Index(i)]; }
    double Y(int i) const { return line_.pTrackY[Index(i)]; }

private:
    // Points farther out than this (no UTM coordinate is) are searched one by one; the tree's
    // squares stay far from overflowing.
    static constexpr double kIndexLimit = 1e12;
    // Points a leaf holds. A full leaf splits, unless its square is so small that halves
    // could no longer tell points apart: its further points are then searched one by one.
    static constexpr int kLeafPoints = 8;
    static constexpr int kMaxDepth = 60;

    // Kept small, as a search reads a node per step; a leaf's points are kept apart with
    // their coordinates, so that a search reads them in one place.
    struct Node {
        // Bounding box of the points indexed below, and the first of them (points arrive in
        // index order, so it is the lowest index).
        double bx0 = 0.0, by0 = 0.0, bx1 = 0.0, by1 = 0.0;
        int first = -1;
        int leaf = -1;                             // index into leaves_; -1 with children
        std::array<int, 4> child{-1, -1, -1, -1};  // by quadrant

        void Cover(int index, double x, double y) {
            if (first < 0) {
                first = index;
                bx0 = bx1 = x;
                by0 = by1 = y;
                return;
            }
            bx0 = std::min(bx0, x);
            bx1 = std::max(bx1, x);
            by0 = std::min(by0, y);
            by1 = std::max(by1, y);
        }
        // Squared distance from (x, y) to the bounding box: never more than that of any point
        // inside, as computed by Consider (the same subtractions, rounded alike).
        double BoxDistance2(double x, double y) const {
            const double dx = x < bx0 ? bx0 - x : (x > bx1 ? x - bx1 : 0.0);
            const double dy = y < by0 ? by0 - y : (y > by1 ? y - by1 : 0.0);
            return dx * dx + dy * dy;
        }
    };
    struct Leaf {
        int count = 0;
        std::array<int, kLeafPoints> point{};
        std::array<double, kLeafPoints> px{}, py{};

        void Keep(int index, double x, double y) {
            const auto k = Index(count++);
            point[k] = index;
            px[k] = x;
            py[k] = y;
        }
    };

    // The square a node divides: [x0, x0 + size) x [y0, y0 + size).
    struct Square {
        double x0 = 0.0, y0 = 0.0, size = 0.0;
        bool Holds(double x, double y) const {
            return x >= x0 && x < x0 + size && y >= y0 && y < y0 + size;
        }
        int Quadrant(double x, double y) const {
            const double h = size / 2.0;
            return (x >= x0 + h ? 1 : 0) + (y >= y0 + h ? 2 : 0);
        }
        Square Part(int q) const {
            const double h = size / 2.0;
            return {x0 + (q & 1 ? h : 0.0), y0 + (q & 2 ? h : 0.0), h};
        }
    };

    struct Best {
        int index = -1;
        double d2 = 0.0;
    };

    // A new root of twice the size, with the old one as the quadrant away from (x, y).
    void Grow(double x, double y) {
        const Square old = square_;
        square_ = {x < old.x0 ? old.x0 - old.size : old.x0, y < old.y0 ? old.y0 - old.size : old.y0,
                   2.0 * old.size};
        Node root = nodes_[Index(root_)];  // its box and first point
        root.leaf = -1;
        root.child = {-1, -1, -1, -1};
        root.child[Index((x < old.x0 ? 1 : 0) + (y < old.y0 ? 2 : 0))] = root_;
        nodes_.push_back(root);
        root_ = static_cast<int>(nodes_.size()) - 1;
    }

    // A node with an empty leaf.
    int NewLeafNode() {
        Node n;
        n.leaf = static_cast<int>(leaves_.size());
        leaves_.emplace_back();
        nodes_.push_back(n);
        return static_cast<int>(nodes_.size()) - 1;
    }

    // The child of node for quadrant q, made when missing.
    int Child(int node, int q) {
        if (nodes_[Index(node)].child[Index(q)] < 0) {
            const int c = NewLeafNode();
            nodes_[Index(node)].child[Index(q)] = c;
        }
        return nodes_[Index(node)].child[Index(q)];
    }

    void Insert(int index, double x, double y) {
        int node = root_;
        Square sq = square_;
        for (int depth = 0;; ++depth) {
            if (const int l = nodes_[Index(node)].leaf; l >= 0) {
                Leaf& leaf = leaves_[Index(l)];
                for (int k = 0; k < leaf.count; ++k)
                    if (leaf.px[Index(k)] == x && leaf.py[Index(k)] == y) return;  // loses ties
                if (leaf.count < kLeafPoints) {
                    nodes_[Index(node)].Cover(index, x, y);
                    leaf.Keep(index, x, y);
                    return;
                }
                if (depth >= kMaxDepth) {
                    nodes_[Index(node)].Cover(index, x, y);
                    crowded_.push_back(index);
                    return;
                }
                // Full: its points go one level down (the leaf is reused for one of the
                // children), and so does the new one.
                const Leaf full = leaf;
                leaf.count = 0;
                nodes_[Index(node)].leaf = -1;
                bool reused = false;
                for (int k = 0; k < full.count; ++k) {
                    const auto kk = Index(k);
                    const int q = sq.Quadrant(full.px[kk], full.py[kk]);
                    if (!reused && nodes_[Index(node)].child[Index(q)] < 0) {
                        Node c;
                        c.leaf = l;
                        nodes_.push_back(c);
                        nodes_[Index(node)].child[Index(q)] = static_cast<int>(nodes_.size()) - 1;
                        reused = true;
                    }
                    Node& c = nodes_[Index(Child(node, q))];
                    c.Cover(full.point[kk], full.px[kk], full.py[kk]);
                    leaves_[Index(c.leaf)].Keep(full.point[kk], full.px[kk], full.py[kk]);
                }
            }
            nodes_[Index(node)].Cover(index, x, y);
            const int q = sq.Quadrant(x, y);
            node = Child(node, q);
            sq = sq.Part(q);
        }
    }

    // Whether a box at squared distance d2 whose lowest index is first may still hold a
    // better point than best.
    static bool MayImprove(const Best& best, double d2, int first) {
        return d2 < best.d2 || (d2 == best.d2 && (best.index < 0 || first < best.index));
    }

    // The node's box must be one that may improve best.
    void Search(int node, double x, double y, Best& best) const {
        const Node& n = nodes_[Index(node)];
        if (n.leaf >= 0) {
            const Leaf& leaf = leaves_[Index(n.leaf)];
            for (int k = 0; k < leaf.count; ++k)
                Consider(best, leaf.point[Index(k)], leaf.px[Index(k)], leaf.py[Index(k)], x, y);
            return;
        }
        // Nearest quadrant first, so that the others are mostly cut off.
        struct Part {
            double d2;
            int first, node;
        };
        std::array<Part, 4> part;
        int count = 0;
        for (int c : n.child) {
            if (c < 0) continue;
            const Node& child = nodes_[Index(c)];
            Part p{child.BoxDistance2(x, y), child.first, c};
            int k = count++;
            for (; k > 0 && p.d2 < part[Index(k - 1)].d2; --k) part[Index(k)] = part[Index(k - 1)];
            part[Index(k)] = p;
        }
        for (int k = 0; k < count; ++k) {
            const Part& p = part[Index(k)];
            if (MayImprove(best, p.d2, p.first)) Search(p.node, x, y, best);
        }
    }

    static void Consider(Best& best, int i, double px, double py, double x, double y) {
        const double dx = px - x, dy = py - y;
        const double d2 = dx * dx + dy * dy;
        if (std::isnan(d2)) return;  // a point without coordinates is never near
        // Points are visited out of index order: ties go to the earlier point explicitly.
        if (MayImprove(best, d2, i)) {
            best.index = i;
            best.d2 = d2;
        }
    }

    CGantrelLine& line_;
    double cell_;  // side of the first square
    std::vector<Node> nodes_;
    std::vector<Leaf> leaves_;
    int root_ = -1;
    Square square_;  // the root's
    std::vector<int> unindexed_;
    std::vector<int> crowded_;  // points of full leaves at the greatest depth
};

// One step of length a in direction b from (sx, sy). When a point of the track lies about
// one step away from the start near the proposal, the step bends to pass through it, so the
// array follows the path its earlier points took. Appends the point; returns the direction.
double Step(CTrack& track, double sx, double sy, double a, double b, double& x, double& y) {
    x = sx + a * std::cos(b);
    y = sy + a * std::sin(b);
    if (!track.Empty() && a > 0.0 && std::isfinite(x) && std::isfinite(y)) {
        // Beyond 3a from the proposal a point is more than 2a from the start: too far to snap.
        const int q = track.Nearest(x, y, 3.0 * a);
        if (q >= 0) {
            const double qx = track.X(q) - sx, qy = track.Y(q) - sy;
            if (std::fabs(std::hypot(qx, qy) - a) < a / 2.0) {
                b = std::atan2(qy, qx);
                x = sx + a * std::cos(b);
                y = sy + a * std::sin(b);
            }
        }
    }
    track.Add(x, y);
    return b;
}

void ComputeArrayPositions(CGantrelLine& line) {
    const int n = line.nData();
    if (n == 0) return;
    const CGantrelGeometry& g = *line.pGeometry;
    const double rx = g.fReceiverDipole, tx = g.fTransmitterDipole, rope = g.fRopeLength;
    const double firstStep = rx / 2.0 + rope;
    const double lastStep = rx / 2.0 + rope + tx / 2.0;
    // The tree's first square is as wide as the largest search radius.
    double cell = 3.0 * std::max({firstStep, rx, lastStep});
    if (!(cell >= 0.5 && std::isfinite(cell))) cell = 0.5;
    CTrack track(line, cell);

    const CGantrelData& r0 = line.pData[0];
    double h0 = r0.dHeading;
    for (int j = 1; j < std::min(n, kInitialHeadingReadings); ++j) {
        const double dx = line.pData[Index(j)].dX - r0.dX, dy = line.pData[Index(j)].dY - r0.dY;
        h0 = std::atan2(dy, dx);
        if (std::hypot(dx, dy) > kInitialHeadingReach) break;
    }

    for (int i = 0; i < n; ++i) {
        CGantrelData& d = line.pData[Index(i)];
        const double h = i == 0 ? h0 : d.dHeading;
        const int m = std::clamp(d.nReceiver, 0, kMaxReceiver);
        if (m == 0) {
            // No receivers: the transmitter alone trails behind the tow point.
            Step(track, d.dX, d.dY, lastStep, h + kPi, d.dTransmitterX, d.dTransmitterY);
            continue;
        }
        // Receivers trail from the tow point in the order m-1 .. 0, the transmitter last.
        double b =
            Step(track, d.dX, d.dY, firstStep, h + kPi, d.dReceiverX[m - 1], d.dReceiverY[m - 1]);
        for (int j = m - 2; j >= 0; --j)
            b = Step(track, d.dReceiverX[j + 1], d.dReceiverY[j + 1], rx, b, d.dReceiverX[j],
                     d.dReceiverY[j]);
        Step(track, d.dReceiverX[0], d.dReceiverY[0], lastStep, b, d.dTransmitterX,
             d.dTransmitterY);
    }
}

// ---------------------------------------------------------------------------------------------
// Diagnostic files of the distance assignment

struct CPlacedRecord {
    int k = -1;
    bool bPlaced = false;
};

// Zone and hemisphere for converting a line's plan points back to degrees: those of its first
// fix.
struct CLineZone {
    int iZone = 0;
    bool bSouth = false;
};

CLineZone ZoneOfLine(const CGantrelLine& line) {
    CLineZone z;
    if (line.pGPS.empty()) return z;
    z.iZone = line.pGPS.front().iUTMZone;
    z.bSouth = IsSouthern(line);
    return z;
}

void WriteDistanceReport(const CGantrelLine& line, std::span<const CFlagLocation> flags, int iLine,
                         const std::filesystem::path& folder, const std::vector<int>& fixSegment,
                         const std::vector<CPlacedRecord>& readings,
                         const std::vector<CPlacedRecord>& markers) {
    CTextWriter out;
    if (!OpenSideFile(out, folder / FormatC("SetDistanceFromGPS_%d.txt", iLine))) return;
    const CLineZone zone = ZoneOfLine(line);
    for (size_t i = 0; i < flags.size(); ++i) {
        double lat = 0.0, lon = 0.0;
        FromUTM(zone.iZone, flags[i].dX, flags[i].dY, zone.bSouth, lat, lon);
        out.Printf("Flag: %d %lf %lf %f %.10f %.10f\n", static_cast<int>(i), flags[i].dX,
                   flags[i].dY, static_cast<double>(flags[i].fDistance), lat, lon);
    }
    // Times are seconds from the first fix.
    const CGPSData& first = line.pGPS.front();
    for (int i = 0; i < line.nGPS(); ++i) {
        const CGPSData& f = line.pGPS[Index(i)];
        out.Printf("GPS: %d %lf %lf : %d %lf %lf\n", i, static_cast<double>(f.fDistance),
                   SecondsBetween(f.time, f.iMilliSecond, first.time, first.iMilliSecond),
                   fixSegment[Index(i)], f.dEasting, f.dNorthing);
    }
    for (int i = 0; i < line.nData(); ++i) {
        const CGantrelData& d = line.pData[Index(i)];
        out.Printf("Gantrel: %d %f %d %.3f : %d \n", i, static_cast<double>(d.fDistance),
                   readings[Index(i)].k,
                   SecondsBetween(d.time, d.iMilliSecond, first.time, first.iMilliSecond),
                   readings[Index(i)].bPlaced ? 1 : 0);
    }
    for (int i = 0; i < line.nMarker(); ++i) {
        const CMarkerData& m = line.pMarker[Index(i)];
        out.Printf("Mark: %d %f %d %.3f : %d\n", i, static_cast<double>(m.fDistance),
                   markers[Index(i)].k,
                   SecondsBetween(m.time, m.iMilliSecond, first.time, first.iMilliSecond),
                   markers[Index(i)].bPlaced ? 1 : 0);
    }
    out.Close();
}

// Walks the flags from the first in steps of 1 m, the remainder of a segment carried into the
// next; each point belongs to the segment it lies on (a point on a joint to the earlier one).
void WriteLatitudeLongitudeWalk(const CGantrelLine& line, std::span<const CFlagLocation> flags,
                                int iLine, const std::filesystem::path& folder) {
    CTextWriter out;
    if (!OpenSideFile(out, folder / FormatC("Latitue_and_Longitude_along_line_%d.txt", iLine)))
        return;
    const CLineZone zone = ZoneOfLine(line);
    double start = 0.0;  // distance of the segment's first flag from flag 0
    long step = 0;       // next point lies at step * kWalkStep
    long rows = 0;
    for (size_t i = 0; i + 1 < flags.size() && rows < kMaxWalkRows; ++i) {
        const double dx = flags[i + 1].dX - flags[i].dX, dy = flags[i + 1].dY - flags[i].dY;
        const double length = std::hypot(dx, dy);
        if (!std::isfinite(length)) break;
        const double ux = length > 0.0 ? dx / length : 0.0, uy = length > 0.0 ? dy / length : 0.0;
        while (rows < kMaxWalkRows) {
            const double distance = static_cast<double>(step) * kWalkStep;
            const double along = distance - start;
            if (along > length) break;
            const double x = flags[i].dX + along * ux, y = flags[i].dY + along * uy;
            double lat = 0.0, lon = 0.0;
            FromUTM(zone.iZone, x, y, zone.bSouth, lat, lon);
            out.Printf("%d %f %lf %lf %.10f %.10f \n", static_cast<int>(i), distance, x, y, lat,
                       lon);
            ++step;
            ++rows;
        }
        start += length;
    }
    out.Close();
}

bool FlagsUsable(std::span<const CFlagLocation> flags) {
    if (flags.size() < 2) return false;
    return std::all_of(flags.begin(), flags.end(), [](const CFlagLocation& f) {
        return std::isfinite(f.dX) && std::isfinite(f.dY) && std::isfinite(f.fDistance);
    });
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Building blocks

CFixTimeline::CFixTimeline(const CGantrelLine& line, bool bMilliseconds)
    : line_(line), bMilliseconds_(bMilliseconds) {
    times_.reserve(line.pGPS.size());
    for (int k = 0; k < line.nGPS(); ++k) {
        const CGPSData& f = line.pGPS[Index(k)];
        times_.push_back(-Diff(0, f.time, f.iMilliSecond));
        if (k > 0 && !(times_[Index(k)] >= times_[Index(k - 1)])) bOrdered_ = false;
    }
}

// Time of fix k minus the given time, s; with milliseconds the whole seconds are subtracted
// as integers first, so the difference is exact to the millisecond.
double CFixTimeline::Diff(int k, std::int64_t time, int iMilliSecond) const {
    const CGPSData& f = line_.pGPS[Index(k)];
    if (!bMilliseconds_) return static_cast<double>(f.time - time);
    return SecondsBetween(f.time, f.iMilliSecond, time, iMilliSecond);
}

CFixPair CFixTimeline::At(std::int64_t time, int iMilliSecond) const {
    CFixPair pick;
    const int n = line_.nGPS();
    if (n < 2) {
        pick.k = n == 1 ? 0 : -1;
        pick.bPlaced = n == 1;
        return pick;
    }
    int first = 0;
    if (bOrdered_) {
        // Every pair that ends more than 2 s before the time lies wholly before it and cannot
        // qualify; the margin keeps rounding out of the decision.
        const double t = -Diff(0, time, iMilliSecond);
        const auto it = std::lower_bound(times_.begin() + 1, times_.end(), t - 2.0);
        first = std::clamp(static_cast<int>(it - times_.begin()) - 1, 0, n - 2);
    }
    for (int k = first; k + 1 < n; ++k) {
        const double d1 = Diff(k, time, iMilliSecond);
        const double d2 = Diff(k + 1, time, iMilliSecond);
        if (d1 == d2) continue;  // simultaneous fixes: no direction in time
        const bool enclosed = (d1 < 0.0 && d2 > 0.0) || (d1 > 0.0 && d2 < 0.0) ||
                              std::fabs(d1) < 1.0 || std::fabs(d2) < 1.0;
        const bool beforeFirst = k == 0 && d1 >= 0.0 && d2 >= 0.0;
        const bool afterLast = k == n - 2 && d1 <= 0.0 && d2 <= 0.0;
        if (enclosed || beforeFirst || afterLast) {
            pick.k = k;
            pick.dFactor = -d1 / (d2 - d1);
            pick.bPlaced = true;
            return pick;
        }
    }
    // No pair qualified (fixes out of time order): the fix nearest in time, the first of
    // equally near ones.
    double best = std::numeric_limits<double>::infinity();
    pick.k = 0;
    for (int k = 0; k < n; ++k) {
        const double d = std::fabs(Diff(k, time, iMilliSecond));
        if (d < best) {
            best = d;
            pick.k = k;
        }
    }
    return pick;
}

CFittedLine FitStraightLine(std::span<const double> x, std::span<const double> y) {
    CFittedLine fit;
    const size_t n = std::min(x.size(), y.size());
    if (n == 0 || x.size() != y.size()) return fit;
    // Means taken about the first point: a track of one easting then gives exactly zero
    // spread, not the rounding noise of a mean of large UTM values.
    double sx = 0.0, sy = 0.0;
    for (size_t i = 0; i < n; ++i) {
        sx += x[i] - x[0];
        sy += y[i] - y[0];
    }
    const double mx = x[0] + sx / static_cast<double>(n);
    const double my = y[0] + sy / static_cast<double>(n);
    double sxx = 0.0, sxy = 0.0;
    double xmin = x[0], xmax = x[0], ymin = y[0], ymax = y[0];
    for (size_t i = 0; i < n; ++i) {
        sxx += (x[i] - mx) * (x[i] - mx);
        sxy += (x[i] - mx) * (y[i] - my);
        xmin = std::min(xmin, x[i]);
        xmax = std::max(xmax, x[i]);
        ymin = std::min(ymin, y[i]);
        ymax = std::max(ymax, y[i]);
    }
    if (sxx == 0.0) {
        fit.dSlope = 0.0;
        fit.dIntercept = 0.0;
        fit.dAngle = kHalfPi;
        fit.dX1 = fit.dX2 = mx;
        fit.dY1 = ymin;
        fit.dY2 = ymax;
        return fit;
    }
    const double s = sxy / sxx;
    const double c = my - s * mx;
    fit.dSlope = s;
    fit.dIntercept = c;
    fit.dAngle = std::atan(s);
    if (std::fabs(s) >= 1.0) {
        fit.dX1 = (ymin - c) / s;
        fit.dY1 = ymin;
        fit.dX2 = (ymax - c) / s;
        fit.dY2 = ymax;
    } else {
        fit.dX1 = xmin;
        fit.dY1 = s * xmin + c;
        fit.dX2 = xmax;
        fit.dY2 = s * xmax + c;
    }
    return fit;
}

float DistanceAlongFlags(double x, double y, std::span<const CFlagLocation> flags, int* piSegment) {
    int chosen = -1;
    double chosenS = 0.0, chosenP = 0.0;
    for (size_t i = 0; i + 1 < flags.size(); ++i) {
        const CFlagLocation& a = flags[i];
        const CFlagLocation& b = flags[i + 1];
        const double dx = b.dX - a.dX, dy = b.dY - a.dY;
        const double length = std::hypot(dx, dy);
        if (!(length > 0.0)) continue;  // two flags on one spot give no direction
        const double px = x - a.dX, py = y - a.dY;
        const double s = (px * dx + py * dy) / length;
        const double p = std::fabs(px * dy - py * dx) / length;
        const double span = static_cast<double>(b.fDistance) - static_cast<double>(a.fDistance);
        if (chosen < 0 ||
            (s >= -kSegmentEndTolerance && s <= span + kSegmentEndTolerance && p < chosenP)) {
            chosen = static_cast<int>(i);
            chosenS = s;
            chosenP = p;
        }
    }
    if (piSegment) *piSegment = chosen;
    if (chosen < 0) return flags.empty() ? 0.0f : flags[0].fDistance;
    return static_cast<float>(static_cast<double>(flags[Index(chosen)].fDistance) + chosenS);
}

bool AddFlagAt(CGantrelSurvey& survey, double dEasting, double dNorthing) {
    const int previous = survey.nFlag - 1;
    CFlagLocation* flag = survey.AddFlag();
    if (flag == nullptr) return false;
    flag->dX = dEasting;
    flag->dY = dNorthing;
    flag->fDistance = 0.0f;
    if (previous >= 0) {
        const CFlagLocation& p = survey.pFlag[Index(previous)];
        flag->fDistance = static_cast<float>(static_cast<double>(p.fDistance) +
                                             std::hypot(dEasting - p.dX, dNorthing - p.dY));
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Survey operations

bool SetMarkerSpacing(CGantrelSurvey& survey, double dSpacing) {
    if (!IsMarkerDistance(dSpacing)) return false;
    for (int l = 0; l < survey.nLine; ++l)
        if (!IsMarkerDistance(std::max(survey.Line(l).nMarker() - 1, 0) * dSpacing)) return false;
    for (int l = 0; l < survey.nLine; ++l) {
        CGantrelLine& line = survey.Line(l);
        const int n = line.nMarker();
        const bool reversed = l % 2 == 1;
        for (int j = 0; j < n; ++j) {
            CMarkerData& m = line.pMarker[Index(reversed ? n - 1 - j : j)];
            m.dX = 0.0;
            m.dY = j * dSpacing;
            m.fDistance = static_cast<float>(m.dY);
        }
        line.UpdateRange();
    }
    return true;
}

void SetDistanceFromMarkers(CGantrelSurvey& survey) {
    if (survey.bGPSDistance == 1 && survey.bMarkerDistance == 1) return;
    for (int l = 0; l < survey.nLine; ++l) {
        CGantrelLine& line = survey.Line(l);
        const int n = line.nMarker();
        for (int i = 0; i < line.nData(); ++i) {
            CGantrelData& r = line.pData[Index(i)];
            for (int j = 0; j + 1 < n; ++j) {
                const CMarkerData& a = line.pMarker[Index(j)];
                const CMarkerData& b = line.pMarker[Index(j + 1)];
                const std::int64_t dt1 = r.time - a.time;
                const std::int64_t dt2 = r.time - b.time;
                const bool qualifies =
                    (dt1 < 0 && dt2 > 0) || (dt1 > 0 && dt2 < 0) || dt1 == 0 || dt2 == 0;
                if (!qualifies) continue;
                const double da = a.fDistance, db = b.fDistance;
                double d = da;
                if (survey.bInterpolateByTime == 1) {
                    if (dt1 != dt2)
                        d = da +
                            (db - da) * static_cast<double>(dt1) / static_cast<double>(dt1 - dt2);
                } else {
                    const int count = b.iDataIndex - a.iDataIndex;
                    if (count != 0) d = da + (db - da) / count * (i - a.iDataIndex);
                }
                r.fDistance = static_cast<float>(d);
                break;
            }
        }
    }
    survey.UpdateRanges();
}

int SetDistanceFromGPS(CGantrelSurvey& survey, const std::filesystem::path& dataFolder,
                       CPrompter& prompter, int* pNotPlaced, bool bDiagnosticFiles) {
    if (pNotPlaced) *pNotPlaced = 0;
    const auto error = [&prompter] {
        prompter.Message(
            Tr("Error in setting distance from GPS", "GPSからの距離の設定でエラーが発生しました"));
        return 0;
    };
    if (survey.nFlag < 0 || survey.nFlag > static_cast<int>(survey.pFlag.size())) return error();
    const std::span<const CFlagLocation> flags(survey.pFlag.data(), Index(survey.nFlag));
    if (!FlagsUsable(flags)) return error();
    int total = 0, notPlaced = 0;
    for (int l = 0; l < survey.nLine; ++l) {
        int lineNotPlaced = 0;
        const int placed = SetDistanceFromFlags(survey.Line(l), flags, l, dataFolder,
                                                &lineNotPlaced, bDiagnosticFiles);
        if (placed < 0) return error();
        if (placed == 0) survey.Line(l).bUse = 0;
        total += placed;
        notPlaced += lineNotPlaced;
    }
    if (pNotPlaced) *pNotPlaced = notPlaced;
    if (total > 0) {
        survey.bGPSDistance = 1;
        survey.bMarkerDistance = 1;
        survey.UpdateRanges();
    }
    return total;
}

bool FitSurveyLine(CGantrelSurvey& survey) {
    std::vector<double> x, y;
    for (int l = 0; l < survey.nLine; ++l) {
        for (const auto& f : survey.Line(l).pGPS) {
            x.push_back(f.dEasting);
            y.push_back(f.dNorthing);
        }
    }
    if (x.empty()) return false;
    const CFittedLine fit = FitStraightLine(x, y);
    survey.nFlag = 0;
    AddFlagAt(survey, fit.dX1, fit.dY1);
    AddFlagAt(survey, fit.dX2, fit.dY2);
    return true;
}

// ---------------------------------------------------------------------------------------------
// Line operations

int ComputePositions(CGantrelLine& line, int* pNotPlaced) {
    if (pNotPlaced) *pNotPlaced = 0;
    const int nFix = line.nGPS();
    if (nFix < 2) return 0;
    for (int k = 0; k + 1 < nFix; ++k) {
        CGPSData& f = line.pGPS[Index(k)];
        const CGPSData& next = line.pGPS[Index(k + 1)];
        f.dHeading = std::atan2(next.dNorthing - f.dNorthing, next.dEasting - f.dEasting);
    }

    int notPlaced = 0;
    const CFixTimeline timeline(line, false);
    for (auto& d : line.pData) {
        const CFixPair pick = timeline.At(d.time);
        d.dX = ValueAt(pick, [&](int k) { return line.pGPS[Index(k)].dEasting; });
        d.dY = ValueAt(pick, [&](int k) { return line.pGPS[Index(k)].dNorthing; });
        d.fDistance = pick.bPlaced ? 1.0f : 0.0f;
        if (!pick.bPlaced) ++notPlaced;
    }

    const int n = line.nData();
    for (int i = 0; i < n; ++i) {
        CGantrelData& d = line.pData[Index(i)];
        if (n == 1) {
            d.dHeading = line.pGPS[0].dHeading;  // one reading: the track's direction there
            break;
        }
        const CGantrelData& from = line.pData[Index(i == 0 ? 0 : i - 1)];
        const CGantrelData& to = line.pData[Index(i == n - 1 ? n - 1 : i + 1)];
        d.dHeading = std::atan2(to.dY - from.dY, to.dX - from.dX);
    }

    ComputeArrayPositions(line);
    line.bPosition = 1;
    line.UpdateBoundingBox();
    if (pNotPlaced) *pNotPlaced = notPlaced;
    return 1;
}

bool FitLine(CGantrelLine& line) {
    if (line.pGPS.empty()) return false;
    std::vector<double> x, y;
    x.reserve(line.pGPS.size());
    y.reserve(line.pGPS.size());
    for (const auto& f : line.pGPS) {
        x.push_back(f.dEasting);
        y.push_back(f.dNorthing);
    }
    const CFittedLine fit = FitStraightLine(x, y);
    line.pFittedLine = std::make_unique<CFittedLine>(fit);
    line.pFittedEnds[0] = CFlagLocation();
    line.pFittedEnds[0].dX = fit.dX1;
    line.pFittedEnds[0].dY = fit.dY1;
    line.pFittedEnds[1] = CFlagLocation();
    line.pFittedEnds[1].dX = fit.dX2;
    line.pFittedEnds[1].dY = fit.dY2;
    line.pFittedEnds[1].fDistance =
        static_cast<float>(std::hypot(fit.dX2 - fit.dX1, fit.dY2 - fit.dY1));
    line.iFittedPoints = 2;
    return true;
}

int SetDistanceFromFlags(CGantrelLine& line, std::span<const CFlagLocation> flags, int iLine,
                         const std::filesystem::path& dataFolder, int* pNotPlaced,
                         bool bDiagnosticFiles) {
    if (pNotPlaced) *pNotPlaced = 0;
    if (line.pGPS.empty()) return 0;
    if (!FlagsUsable(flags)) return -1;

    // Everything is computed first and stored only when every distance is a number.
    const int nFix = line.nGPS();
    std::vector<float> fixDistance(Index(nFix));
    std::vector<int> fixSegment(Index(nFix));
    for (int k = 0; k < nFix; ++k) {
        const CGPSData& f = line.pGPS[Index(k)];
        fixDistance[Index(k)] =
            DistanceAlongFlags(f.dEasting, f.dNorthing, flags, &fixSegment[Index(k)]);
        if (!std::isfinite(fixDistance[Index(k)])) return -1;
    }
    const CFixTimeline timeline(line, true);
    const auto distanceAt = [&](std::int64_t time, int ms, CPlacedRecord& placed) {
        const CFixPair pick = timeline.At(time, ms);
        placed.k = pick.k;
        placed.bPlaced = pick.bPlaced;
        return static_cast<float>(
            ValueAt(pick, [&](int k) { return static_cast<double>(fixDistance[Index(k)]); }));
    };
    std::vector<CPlacedRecord> readings(Index(line.nData())), markers(Index(line.nMarker()));
    std::vector<float> readingDistance(readings.size()), markerDistance(markers.size());
    int notPlaced = 0;
    for (int i = 0; i < line.nData(); ++i) {
        const CGantrelData& d = line.pData[Index(i)];
        readingDistance[Index(i)] = distanceAt(d.time, d.iMilliSecond, readings[Index(i)]);
        if (!readings[Index(i)].bPlaced) ++notPlaced;
    }
    for (int i = 0; i < line.nMarker(); ++i) {
        const CMarkerData& m = line.pMarker[Index(i)];
        markerDistance[Index(i)] = distanceAt(m.time, m.iMilliSecond, markers[Index(i)]);
    }

    for (int k = 0; k < nFix; ++k) line.pGPS[Index(k)].fDistance = fixDistance[Index(k)];
    for (int i = 0; i < line.nData(); ++i)
        line.pData[Index(i)].fDistance = readingDistance[Index(i)];
    for (int i = 0; i < line.nMarker(); ++i) {
        line.pMarker[Index(i)].fDistance = markerDistance[Index(i)];
        line.pMarker[Index(i)].dY = markerDistance[Index(i)];
    }
    line.UpdateRange();

    if (bDiagnosticFiles) {
        WriteDistanceReport(line, flags, iLine, dataFolder, fixSegment, readings, markers);
        WriteLatitudeLongitudeWalk(line, flags, iLine, dataFolder);
    }
    if (pNotPlaced) *pNotPlaced = notPlaced;
    return line.nData();
}

// ---------------------------------------------------------------------------------------------
// Commands

bool SurveyHasLinesAndFixes(const CGantrelSurvey& survey) {
    for (int l = 0; l < survey.nLine; ++l)
        if (survey.Line(l).nGPS() > 0) return true;
    return false;
}

bool IsSetFlagsEnabled(int iViewMode) {
    return iViewMode == kViewModeGPSMap;
}

bool IsSetFlagsChecked(int iMouseMode) {
    return iMouseMode == kMouseModeFlags;
}

bool IsSetFlagFromLatLonEnabled(const CGantrelSurvey& survey, int iViewMode) {
    return SurveyHasLinesAndFixes(survey) && iViewMode == kViewModeGPSMap;
}

bool IsSetDistanceEnabled(const CGantrelSurvey& survey) {
    return SurveyHasLinesAndFixes(survey) && survey.nFlag >= 2;
}

bool IsClearAllFlagsEnabled(const CGantrelSurvey& survey, int iViewMode) {
    return SurveyHasLinesAndFixes(survey) && iViewMode == kViewModeGPSMap && survey.nFlag >= 1;
}

bool IsInterpolatedByTimeChecked(const CGantrelSurvey& survey) {
    return survey.bInterpolateByTime == 1;
}

void OnSetFlags(CPositioningView& view) {
    view.iMouseMode = kMouseModeFlags;
    view.bRedraw = true;
}

bool OnFlagMapClick(CGantrelSurvey& survey, CPositioningView& view, double dEasting,
                    double dNorthing) {
    if (view.iMouseMode != kMouseModeFlags || view.iViewMode != kViewModeGPSMap) return false;
    if (!std::isfinite(dEasting) || !std::isfinite(dNorthing)) return false;
    const bool added = AddFlagAt(survey, dEasting, dNorthing);
    view.bRedraw = true;
    return added;
}

bool OnSetFlagFromLatLon(CGantrelSurvey& survey, CPositioningView& view, CPrompter& prompter) {
    if (view.iMouseMode != kMouseModeFlags) return false;
    CTwoValueInput input;
    input.sLabel1 = Tr("Latitude (deg.)", "緯度 (度)");
    input.sLabel2 = Tr("Longitude (deg.)", "経度 (度)");
    for (int l = 0; l < survey.nLine; ++l) {
        const CGantrelLine& line = survey.Line(l);
        if (line.pGPS.empty()) continue;
        input.dValue1 = line.pGPS.front().dLatitude;
        input.dValue2 = line.pGPS.front().dLongitude;
        break;
    }
    input.dValue1 = ReadSettingReal(kFlagLatitudeKey, input.dValue1);
    input.dValue2 = ReadSettingReal(kFlagLongitudeKey, input.dValue2);
    if (!prompter.EditDialog(input)) return false;

    const double lat = input.dValue1, lon = input.dValue2;
    if (!(lat >= -90.0 && lat <= 90.0 && lon >= -180.0 && lon < 180.0)) {
        prompter.Message(
            Tr("The latitude must lie between -90 and 90 degrees and the longitude "
               "between -180 and 180 degrees (180 excluded).",
               "緯度は -90 から 90 度、経度は -180 から 180 度未満の範囲で入力して"
               "ください。"));
        return false;
    }
    double easting = 0.0, northing = 0.0;
    // Just beyond a zone boundary, in the zone of the survey's fixes, so that the flag lands
    // where the map draws the track.
    const auto reference = SurveyUTMReference(survey);
    if (reference && IsNeighbourZone(UTMZoneOf(lon), reference->iZone))
        ToUTMInZone(reference->iZone, lat, lon, easting, northing);
    else
        ToUTM(lat, lon, easting, northing);
    if (!AddFlagAt(survey, easting, northing)) return false;
    WriteSettingReal(kFlagLatitudeKey, lat);
    WriteSettingReal(kFlagLongitudeKey, lon);
    view.bRedraw = true;
    return true;
}

int OnSetDistance(CGantrelSurvey& survey, CPositioningView& view,
                  const std::filesystem::path& dataFolder, CPrompter& prompter) {
    int notPlaced = 0;
    const int placed = SetDistanceFromGPS(survey, dataFolder, prompter, &notPlaced);
    if (notPlaced > 0) {
        prompter.Message(FormatC(
            Tr("Readings given the distance of the nearest GPS fix because no pair of fixes "
               "in time order encloses them: %d",
               "時刻順の GPS データの組で挟めないため、時刻が最も近い GPS データの距離を使った"
               "データ数: %d"),
            notPlaced));
    }
    view.iMouseMode = kMouseModeNormal;
    view.iViewMode = kViewModeLineResistivity;
    view.bRedraw = true;
    return placed;
}

void OnClearAllFlags(CGantrelSurvey& survey, CPositioningView& view) {
    survey.nFlag = 0;
    survey.bGPSDistance = 0;
    survey.bMarkerDistance = 0;
    view.bRedraw = true;
}

void OnInterpolatedByTime(CGantrelSurvey& survey) {
    survey.bInterpolateByTime = survey.bInterpolateByTime == 1 ? 0 : 1;
}
