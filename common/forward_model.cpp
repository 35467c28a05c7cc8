#include "common/forward_model.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

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

bool CSoundingForward::SameSetup(const std::vector<float>& distance,
                                 const LayerModelDouble& model) const {
    if (model.nLayer != nLayer_ || distance.size() != distance_.size()) return false;
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
        thickness_.clear();
        distance_.clear();
        rowIndex_.clear();
        rowR_.clear();
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

    rowIndex_.resize(m);
    rowR_.resize(m);
    for (int k = 0; k < m; ++k) {
        rowR_[k] = sounding.row[k].fR;
        for (int a = 0; a < 4; ++a) {
            const auto it = std::lower_bound(bits.begin(), bits.end(), Bits(rowR_[k][a]));
            rowIndex_[k][a] = static_cast<int>(it - bits.begin());
        }
    }
    nData_ = m;
    baseResponse_.resize(m);
    if (SameSetup(distance, model)) return 1;

    nLayer_ = n;
    distance_ = std::move(distance);
    thickness_.assign(model.dThickness.begin(), model.dThickness.begin() + (n - 1));
    const std::size_t nd = distance_.size();
    tau_.resize(nd * (n - 1) * kJ);
    for (std::size_t d = 0; d < nd; ++d) {
        for (int i = 0; i < n - 1; ++i) {
            double* tau = tau_.data() + (d * (n - 1) + i) * kJ;
            for (int j = 0; j < kJ; ++j) tau[j] = LayerTau(Lambda(j, distance_[d]), thickness_[i]);
        }
    }
    top_.resize(nd * n * kJ);
    surface_.resize(nd * kJ);
    changed_.resize(nd);
    baseResistivity_.resize(n);
    return 1;
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
    const double* rho = baseResistivity_.data();
    const std::size_t nd = distance_.size();
    for (std::size_t d = 0; d < nd; ++d) {
        double* top = &top_[d * n * kJ];
        const double* tau = tau_.data() + d * (n - 1) * kJ;  // empty when n = 1
        std::fill(top + (n - 1) * kJ, top + n * kJ, rho[n - 1]);
        // Abscissae innermost: the 18 recurrences are independent, so they pipeline.
        for (int i = n - 2; i >= 0; --i) {
            double* t = top + i * kJ;
            const double* below = t + kJ;
            const double* ti = tau + i * kJ;
            for (int j = 0; j < kJ; ++j) t[j] = Step(rho[i], ti[j], below[j]);
        }
    }
    for (int k = 0; k < nData_; ++k) {
        const std::array<int, 4>& ix = rowIndex_[k];
        baseResponse_[k] = CombineRow(&top_[ix[0] * n * kJ], &top_[ix[1] * n * kJ],
                                      &top_[ix[2] * n * kJ], &top_[ix[3] * n * kJ], rowR_[k]);
    }
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
    const double* rho = baseResistivity_.data();
    const std::size_t nd = distance_.size();
    for (std::size_t d = 0; d < nd; ++d) {
        const double* top = &top_[d * n * kJ];
        const double* tau = tau_.data() + d * (n - 1) * kJ;  // empty when n = 1
        double* surface = &surface_[d * kJ];
        double t[kJ];
        if (q == n - 1) {
            std::fill(t, t + kJ, dResistivity);
        } else {
            const double* below = top + (q + 1) * kJ;
            const double* ti = tau + q * kJ;
            for (int j = 0; j < kJ; ++j) t[j] = Step(dResistivity, ti[j], below[j]);
        }
        // Once the trial transform equals the kept one at some layer top (the change has
        // vanished in rounding), every layer above gives the kept values too.
        int level = q;
        bool changed = true;
        for (;;) {
            if (std::memcmp(t, top + level * kJ, sizeof t) == 0) {
                changed = false;
                break;
            }
            if (level == 0) break;
            --level;
            const double* ti = tau + level * kJ;
            for (int j = 0; j < kJ; ++j) t[j] = Step(rho[level], ti[j], t[j]);
        }
        changed_[d] = changed ? 1 : 0;
        std::copy(changed ? t : top, (changed ? t : top) + kJ, surface);
    }
    for (int k = 0; k < nData_; ++k) {
        const std::array<int, 4>& ix = rowIndex_[k];
        if (changed_[ix[0]] || changed_[ix[1]] || changed_[ix[2]] || changed_[ix[3]]) {
            calculated[k] = CombineRow(&surface_[ix[0] * kJ], &surface_[ix[1] * kJ],
                                       &surface_[ix[2] * kJ], &surface_[ix[3] * kJ], rowR_[k]);
        } else {
            calculated[k] = baseResponse_[k];
        }
    }
    return 1;
}
