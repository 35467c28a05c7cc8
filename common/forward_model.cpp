#include "common/forward_model.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>

#include "common/forward_lanes.h"

namespace {

constexpr int kJ = kFilterLength;

bool ModelFits(const LayerModelDouble& model) {
    return model.nLayer >= 1 && model.nLayer <= kMaxModelLayers;
}

bool RowCountFits(int nData) {
    return nData >= 0 && nData <= kMaxSoundingRows;
}

// The building blocks below are shared by the straight and the prepared implementations so
// that both evaluate exactly the same floating-point expressions.

// lambda = x_j / r, 1/m.
inline double Lambda(int j, float r) {
    return kFilterAbscissa[j] / r;
}

// tau = (1 - E) / (1 + E) with E = exp(-2 lambda h).
inline double LayerTau(double lambda, double h) {
    const double e = std::exp(-2.0 * lambda * h);
    return (1.0 - e) / (1.0 + e);
}

// One step of the recurrence: the transform at the top of a layer of resistivity rho from
// the transform t at its bottom.
inline double Step(double rho, double tau, double t) {
    return (rho * tau + t) / (1.0 + t * tau / rho);
}

// Apparent resistivity of one row from the surface transforms t[a][j] at lambda = x_j / r[a].
inline double CombineRow(const double* t0, const double* t1, const double* t2, const double* t3,
                         const std::array<float, 4>& r) {
    const double r0 = r[0], r1 = r[1], r2 = r[2], r3 = r[3];
    double s = 0.0;
    for (int j = 0; j < kJ; ++j)
        s += kFilterWeight[j] * (t0[j] / r0 - t1[j] / r1 - t2[j] / r2 + t3[j] / r3);
    const double geometry = 1.0 / r0 - 1.0 / r1 - 1.0 / r2 + 1.0 / r3;
    return s / geometry;
}

// Distances and thicknesses are told apart by their bit patterns: that is what bit-identical
// results need, and it gives a total order even for values a caller should never pass
// (NaN, -0).
inline std::uint32_t Bits(float f) {
    return std::bit_cast<std::uint32_t>(f);
}
inline std::uint64_t Bits(double d) {
    return std::bit_cast<std::uint64_t>(d);
}

}  // namespace

LayerModelDouble ToDouble(const LayerModel& model) {
    LayerModelDouble d;
    d.nLayer = model.nLayer;
    for (int i = 0; i < kMaxModelLayers; ++i) {
        d.dThickness[i] = model.fThickness[i];
        d.dResistivity[i] = model.fResistivity[i];
    }
    return d;
}

void SetSoundingDistances(SoundingData& sounding) {
    const int m = std::clamp(sounding.nData, 0, kMaxSoundingRows);
    if (sounding.bGeneralArray == 1) {
        sounding.sArrayName = "General 4 poles";
        for (int k = 0; k < m; ++k) {
            SoundingRow& row = sounding.row[k];
            const FourElectrodeGeometry& e = row.electrode;
            row.fR = {e.fAN, e.fAM, e.fBN, e.fBM};
        }
        return;
    }
    const float n0 = sounding.row[0].fNFactor;
    if (n0 == 0.0f) {
        sounding.sArrayName = "Wenner";
        for (int k = 0; k < m; ++k) {
            SoundingRow& row = sounding.row[k];
            const float a = row.fDipoleSize;
            row.fR = {a, 2.0f * a, 2.0f * a, a};
        }
    } else if (n0 == -1.0f) {
        sounding.sArrayName = "Pole-pole";
        for (int k = 0; k < m; ++k) {
            SoundingRow& row = sounding.row[k];
            const float a = row.fDipoleSize;
            const float remote = kPolePoleRemoteFactor * a;
            row.fR = {a, remote, remote, remote};
        }
    } else {
        sounding.sArrayName = "Dipole-dipole";
        for (int k = 0; k < m; ++k) {
            SoundingRow& row = sounding.row[k];
            const float a = row.fDipoleSize;
            const float n = row.fNFactor;
            row.fR = {(n + 2.0f) * a, (n + 1.0f) * a, (n + 1.0f) * a, n * a};
        }
    }
}

double ResistivityTransform(const LayerModelDouble& model, double lambda) {
    const int n = model.nLayer;
    double t = model.dResistivity[n - 1];
    for (int i = n - 2; i >= 0; --i)
        t = Step(model.dResistivity[i], LayerTau(lambda, model.dThickness[i]), t);
    return t;
}

double ResistivityTransform(const LayerModel& model, double lambda) {
    return ResistivityTransform(ToDouble(model), lambda);
}

double ApparentResistivity(const LayerModelDouble& model, const std::array<float, 4>& r) {
    double t[4][kJ];
    for (int a = 0; a < 4; ++a) {
        for (int j = 0; j < kJ; ++j) t[a][j] = ResistivityTransform(model, Lambda(j, r[a]));
    }
    return CombineRow(t[0], t[1], t[2], t[3], r);
}

double ApparentResistivity(const LayerModel& model, const std::array<float, 4>& r) {
    return ApparentResistivity(ToDouble(model), r);
}

int ForwardModel(const LayerModelDouble& model, const SoundingData& sounding,
                 std::span<double> calculated) {
    if (!ModelFits(model) || !RowCountFits(sounding.nData) ||
        calculated.size() < static_cast<std::size_t>(sounding.nData))
        return 0;
    for (int k = 0; k < sounding.nData; ++k)
        calculated[static_cast<std::size_t>(k)] = ApparentResistivity(model, sounding.row[k].fR);
    return 1;
}

int ForwardModel(const LayerModel& model, SoundingData& sounding) {
    double calculated[kMaxSoundingRows];
    if (ForwardModel(ToDouble(model), sounding, calculated) == 0) return 0;
    for (int k = 0; k < sounding.nData; ++k)
        sounding.row[k].fCalculated = static_cast<float>(calculated[k]);
    return 1;
}

float LogMisfit(const SoundingData& sounding, std::span<const double> calculated,
                std::span<double> residual) {
    const int m = std::clamp(sounding.nData, 0, kMaxSoundingRows);
    if (m == 0) return 0.0f;
    const bool keep = residual.size() >= static_cast<std::size_t>(m);
    double sum = 0.0;
    for (int k = 0; k < m; ++k) {
        const double e = std::log10(static_cast<double>(sounding.row[k].fObserved)) -
                         std::log10(calculated[static_cast<std::size_t>(k)]);
        if (keep) residual[static_cast<std::size_t>(k)] = e;
        sum += e * e;
    }
    return static_cast<float>(std::sqrt(sum / m));
}

float SoundingMisfit(const LayerModel& model, SoundingData& sounding) {
    double calculated[kMaxSoundingRows];
    if (ForwardModel(ToDouble(model), sounding, calculated) == 0) return -1.0f;
    for (int k = 0; k < sounding.nData; ++k)
        sounding.row[k].fCalculated = static_cast<float>(calculated[k]);
    return LogMisfit(sounding, calculated);
}

// ---------------------------------------------------------------------------------------

namespace {

bool ProcessorRuns(ForwardPath path) {
    switch (path) {
        case ForwardPath::Scalar:
            return true;
#if defined(GANTREL_X86_LANES)
        case ForwardPath::Avx2:
            return __builtin_cpu_supports("avx2") != 0;
        case ForwardPath::Avx512:
            return __builtin_cpu_supports("avx512f") != 0;
#endif
        default:
            return false;
    }
}

const gantrel_lanes::LaneKernels& LaneKernelsOf(ForwardPath path) {
#if defined(GANTREL_X86_LANES)
    if (path == ForwardPath::Avx2) return gantrel_lanes::Avx2LaneKernels();
    if (path == ForwardPath::Avx512) return gantrel_lanes::Avx512LaneKernels();
#endif
    (void)path;
    return gantrel_lanes::ScalarLaneKernels();
}

// -1 until SetForwardPath chose one: BestForwardPath().
std::atomic<int> gChosenPath{-1};

const gantrel_lanes::LaneKernels& Lanes(const void* kernels) {
    return *static_cast<const gantrel_lanes::LaneKernels*>(kernels);
}

}  // namespace

const char* ForwardPathName(ForwardPath path) {
    switch (path) {
        case ForwardPath::Scalar:
            return "scalar";
        case ForwardPath::Avx2:
            return "AVX2";
        case ForwardPath::Avx512:
            return "AVX-512";
    }
    return "?";
}

bool ForwardPathAvailable(ForwardPath path) {
    return ProcessorRuns(path);
}

ForwardPath BestForwardPath() {
    static const ForwardPath best = ForwardPathAvailable(ForwardPath::Avx512) ? ForwardPath::Avx512
                                    : ForwardPathAvailable(ForwardPath::Avx2) ? ForwardPath::Avx2
                                                                              : ForwardPath::Scalar;
    return best;
}

ForwardPath ActiveForwardPath() {
    const int chosen = gChosenPath.load(std::memory_order_relaxed);
    return chosen < 0 ? BestForwardPath() : static_cast<ForwardPath>(chosen);
}

bool SetForwardPath(ForwardPath path) {
    if (!ForwardPathAvailable(path)) return false;
    gChosenPath.store(static_cast<int>(path), std::memory_order_relaxed);
    return true;
}

// ---------------------------------------------------------------------------------------

bool CSoundingForward::SameSetup(const std::vector<float>& distance,
                                 const LayerModelDouble& model) const {
    if (model.nLayer != nLayer_ || distance.size() != distance_.size() ||
        ActiveForwardPath() != path_)
        return false;
    for (std::size_t d = 0; d < distance.size(); ++d) {
        if (Bits(distance[d]) != Bits(distance_[d])) return false;
    }
    for (int i = 0; i < nLayer_ - 1; ++i) {
        if (Bits(model.dThickness[i]) != Bits(thickness_[i])) return false;
    }
    return true;
}

int CSoundingForward::Setup(const SoundingData& sounding, const LayerModelDouble& model) {
    bBase_ = false;
    if (!ModelFits(model) || !RowCountFits(sounding.nData)) {
        nData_ = 0;
        nLayer_ = 0;
        nDistance_ = 0;
        stride_ = 0;
        thickness_.clear();
        distance_.clear();
        rowLane_.clear();
        rowGeometry_.clear();
        return 0;
    }
    const int m = sounding.nData;
    const int n = model.nLayer;

    std::vector<std::uint32_t> bits;
    bits.reserve(4 * static_cast<std::size_t>(m));
    for (int k = 0; k < m; ++k) {
        for (float r : sounding.row[k].fR) bits.push_back(Bits(r));
    }
    std::sort(bits.begin(), bits.end());
    bits.erase(std::unique(bits.begin(), bits.end()), bits.end());
    std::vector<float> distance(bits.size());
    for (std::size_t d = 0; d < bits.size(); ++d) distance[d] = std::bit_cast<float>(bits[d]);

    rowLane_.resize(4 * static_cast<std::size_t>(m));
    rowGeometry_.resize(m);
    for (int k = 0; k < m; ++k) {
        const std::array<float, 4>& r = sounding.row[k].fR;
        for (int a = 0; a < 4; ++a) {
            const auto it = std::lower_bound(bits.begin(), bits.end(), Bits(r[a]));
            rowLane_[4 * k + a] = static_cast<int>(it - bits.begin()) * kJ;
        }
        const double r0 = r[0], r1 = r[1], r2 = r[2], r3 = r[3];
        rowGeometry_[k] = 1.0 / r0 - 1.0 / r1 - 1.0 / r2 + 1.0 / r3;
    }
    nData_ = m;
    baseResponse_.resize(m);
    if (SameSetup(distance, model)) return 1;

    nLayer_ = n;
    path_ = ActiveForwardPath();
    kernels_ = &LaneKernelsOf(path_);
    distance_ = std::move(distance);
    nDistance_ = static_cast<int>(distance_.size());
    thickness_.assign(model.dThickness.begin(), model.dThickness.begin() + (n - 1));
    constexpr int block = gantrel_lanes::kLaneBlock;
    stride_ = std::max(block, (nDistance_ * kJ + block - 1) / block * block);
    const std::size_t stride = static_cast<std::size_t>(stride_);
    // Lanes in the order of their wavenumbers, largest first: a perturbed layer's change dies
    // out in the short waves within a few layers above it, and neighbouring lanes of similar
    // wavenumber then leave the walk in whole blocks. pair = d * kJ + j, the row-combining order.
    const int nPair = nDistance_ * kJ;
    laneOfPair_.resize(nPair);
    std::vector<int> order(nPair);
    for (int p = 0; p < nPair; ++p) order[p] = p;
    auto lambda = [&](int p) { return Lambda(p % kJ, distance_[p / kJ]); };
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return lambda(a) > lambda(b); });
    for (int l = 0; l < nPair; ++l) laneOfPair_[order[l]] = l;
    laneR_.assign(stride, 1.0);
    tau_.assign((n - 1) * stride, 0.0);
    for (int p = 0; p < nPair; ++p) {
        const int l = laneOfPair_[p];
        const float r = distance_[p / kJ];
        laneR_[l] = r;
        for (int i = 0; i < n - 1; ++i)
            tau_[i * stride + l] = LayerTau(Lambda(p % kJ, r), thickness_[i]);
    }
    pairU_.assign(nPair, 0.0);
    top_.assign(n * stride, 0.0);
    surface_.assign(stride, 0.0);
    u_.assign(stride, 0.0);
    grad_.clear();
    baseResistivity_.resize(n);
    return 1;
}

const double* CSoundingForward::PairOrder(const double* u) {
    const int nPair = nDistance_ * kJ;
    for (int p = 0; p < nPair; ++p) pairU_[p] = u[laneOfPair_[p]];
    return pairU_.data();
}

double CSoundingForward::CombineRow(int k, const double* u) const {
    const double* u0 = u + rowLane_[4 * k];
    const double* u1 = u + rowLane_[4 * k + 1];
    const double* u2 = u + rowLane_[4 * k + 2];
    const double* u3 = u + rowLane_[4 * k + 3];
    double s = 0.0;
    for (int j = 0; j < kJ; ++j) s += kFilterWeight[j] * (u0[j] - u1[j] - u2[j] + u3[j]);
    return s / rowGeometry_[k];
}

int CSoundingForward::Response(const LayerModelDouble& model, std::span<double> calculated) {
    const int n = nLayer_;
    if (n < 1 || model.nLayer != n || calculated.size() < static_cast<std::size_t>(nData_)) {
        return 0;
    }
    for (int i = 0; i < n - 1; ++i) {
        if (Bits(model.dThickness[i]) != Bits(thickness_[i])) return 0;
    }
    std::copy(model.dResistivity.begin(), model.dResistivity.begin() + n,
              baseResistivity_.begin());
    const gantrel_lanes::LaneKernels& lanes = Lanes(kernels_);
    lanes.recurrence(n, baseResistivity_.data(), tau_.data(), top_.data(), stride_);
    lanes.divide(top_.data(), laneR_.data(), u_.data(), stride_);
    const double* u = PairOrder(u_.data());
    for (int k = 0; k < nData_; ++k) baseResponse_[k] = CombineRow(k, u);
    std::copy(baseResponse_.begin(), baseResponse_.end(), calculated.begin());
    bBase_ = true;
    return 1;
}

int CSoundingForward::Response(const LayerModel& model, SoundingData& sounding) {
    double calculated[kMaxSoundingRows];
    if (Response(ToDouble(model), std::span<double>(calculated, kMaxSoundingRows)) == 0) return 0;
    for (int k = 0; k < nData_; ++k) sounding.row[k].fCalculated = static_cast<float>(calculated[k]);
    return 1;
}

int CSoundingForward::PerturbedResponse(int q, double dResistivity, std::span<double> calculated) {
    const int n = nLayer_;
    if (!bBase_ || q < 0 || q >= n || calculated.size() < static_cast<std::size_t>(nData_)) {
        return 0;
    }
    const gantrel_lanes::LaneKernels& lanes = Lanes(kernels_);
    lanes.perturbed(n, q, dResistivity, baseResistivity_.data(), tau_.data(), top_.data(), stride_,
                    surface_.data());
    lanes.divide(surface_.data(), laneR_.data(), u_.data(), stride_);
    const double* u = PairOrder(u_.data());
    for (int k = 0; k < nData_; ++k) calculated[k] = CombineRow(k, u);
    return 1;
}

int CSoundingForward::Derivatives(std::span<double> derivative) {
    const int n = nLayer_;
    const std::size_t count = static_cast<std::size_t>(n) * static_cast<std::size_t>(nData_);
    if (!bBase_ || derivative.size() < count) return 0;
    const std::size_t stride = static_cast<std::size_t>(stride_);
    grad_.resize(n * stride);
    const gantrel_lanes::LaneKernels& lanes = Lanes(kernels_);
    lanes.derivative(n, baseResistivity_.data(), tau_.data(), top_.data(), stride_, grad_.data());
    for (int q = 0; q < n; ++q) {
        double* g = grad_.data() + q * stride;
        lanes.divide(g, laneR_.data(), g, stride_);
        const double* u = PairOrder(g);
        for (int k = 0; k < nData_; ++k) derivative[q * nData_ + k] = CombineRow(k, u);
    }
    return 1;
}
