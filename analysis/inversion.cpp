#include "analysis/inversion.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

#include "analysis/initial_model.h"
#include "common/language.h"
#include "common/resistivity.h"
#include "common/settings.h"
#include "common/side_file.h"
#include "common/text_format.h"

namespace {

// Thickness given to the half-space; the forward model never reads it.
constexpr float kHalfSpaceThickness = 1000.0f;

bool Positive(float v) {
    return v > 0.0f && std::isfinite(v);
}

// A value the store can hold and take the logarithm of: above 0 and finite once rounded to
// float.
bool PositiveAsFloat(double v) {
    return Positive(static_cast<float>(v));
}

// The model and data checks every inversion needs before it takes logarithms.
bool Invertible(const LayerModel& model, const SoundingData& sounding) {
    if (model.nLayer < 1 || model.nLayer > kMaxModelLayers || sounding.nData < 0 ||
        sounding.nData > kMaxSoundingRows)
        return false;
    for (int j = 0; j < model.nLayer; ++j)
        if (!Positive(model.fResistivity[j])) return false;
    for (int k = 0; k < sounding.nData; ++k)
        if (!Positive(sounding.row[k].fObserved)) return false;
    return true;
}

}  // namespace

std::string InversionCancelledMessage() {
    return Tr("The inversion was stopped. The model is as it was before.",
              "インバージョンを中止しました。モデルは実行前のままです。");
}

int ReadJacobianSetting() {
    return ReadSettingInt("iJacobian", kJacobianDifference) == kJacobianExact ? kJacobianExact
                                                                              : kJacobianDifference;
}

void WriteJacobianSetting(int iJacobian) {
    WriteSettingInt("iJacobian",
                    iJacobian == kJacobianExact ? kJacobianExact : kJacobianDifference);
}

const char* JacobianName(int iJacobian) {
    return iJacobian == kJacobianExact ? "exact" : "difference";
}

std::string CDlgLsm::JacobianChoiceText(int iJacobian) {
    return iJacobian == kJacobianExact ? Tr("Exact derivative", "厳密な微分")
                                       : Tr("Finite difference", "差分近似");
}

std::string InversionProgressText(int i, int nColumn) {
    return FormatC(Tr("column %d of %d", "列 %d / %d"), i, nColumn);
}

std::string InversionProgressText(int i, int nColumn, int iIteration, int nIteration,
                                  float fMisfit) {
    return InversionProgressText(i, nColumn) +
           FormatC(Tr(", iteration %d/%d, misfit %.4f", "、反復 %d/%d、ミスフィット %.4f"),
                   iIteration, nIteration, static_cast<double>(fMisfit));
}

void CInversionActivity::Post(int iColumn, int iIteration, float fMisfit) {
    std::lock_guard<std::mutex> lock(mutex_);
    latest_ = {iColumn, iIteration, fMisfit};
}

CInversionActivity::Latest CInversionActivity::Read() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return latest_;
}

// ---------------------------------------------------------------------------------------------

CDlgLsm CDlgLsm::FromSettings(const InversionSettings& s) {
    CDlgLsm d;
    d.nIteration = s.nIteration;
    d.dAlpha = s.dAlpha;
    d.dBeta = s.dBeta;
    d.dDamping = s.dDamping;
    d.dDifference = s.dDifference;
    d.dRegularization = s.dRegularization;
    d.bConstraint = s.bConstraint;
    d.fMinResistivity = s.fMinResistivity * 1000.0f;
    d.fMaxResistivity = s.fMaxResistivity * 1000.0f;
    d.bKeepFirstLayer = s.bKeepFirstLayer;
    d.iJacobian = s.iJacobian;
    return d;
}

void CDlgLsm::ToSettings(InversionSettings& s) const {
    s.nIteration = nIteration;
    s.dAlpha = dAlpha;
    s.dBeta = dBeta;
    s.dDamping = dDamping;
    s.dDifference = dDifference;
    s.dRegularization = dRegularization;
    s.bConstraint = bConstraint;
    s.fMinResistivity = fMinResistivity / 1000.0f;
    s.fMaxResistivity = fMaxResistivity / 1000.0f;
    s.bKeepFirstLayer = bKeepFirstLayer;
    s.iJacobian = iJacobian == kJacobianExact ? kJacobianExact : kJacobianDifference;
}

std::string CDlgLsm::Validate() const {
    // 0 is a forward run of the model as it stands: its response and misfit are stored.
    if (nIteration < 0 || nIteration > kMaxInversionIterations)
        return FormatC(Tr("The number of iterations must be from 0 to %d. Enter a number of "
                          "iterations in that range.",
                          "反復回数は 0 から %d までにしてください。この範囲の反復回数を入力して"
                          "ください。"),
                       kMaxInversionIterations);
    if (!(dAlpha > 0.0 && dAlpha < kMaxStepFactor))
        return FormatC(Tr("Alpha (the step factor) must be greater than 0 and less than %g: 0 "
                          "never changes the model and a larger factor overshoots. Enter an "
                          "Alpha in that range.",
                          "Alpha (ステップ係数) は 0 より大きく %g より小さくしてください。0 では"
                          "モデルが変わらず、それ以上では行き過ぎます。この範囲の値を入力して"
                          "ください。"),
                       kMaxStepFactor);
    if (!(dRegularization >= 0.0 && dRegularization <= kMaxRegularization))
        return FormatC(Tr("Regularization must be from 0 to %g. Enter a value in that range.",
                          "Regularization は 0 から %g までにしてください。この範囲の値を入力"
                          "してください。"),
                       kMaxRegularization);
    if (!(dDamping >= 0.0 && dDamping <= kMaxDamping))
        return FormatC(Tr("e (the damping) must be from 0 to %g. Enter a value in that range.",
                          "e (減衰係数) は 0 から %g までにしてください。この範囲の値を入力して"
                          "ください。"),
                       kMaxDamping);
    return "";
}

bool CDlgLsm::IsVisible(LsmField field) const {
    switch (field) {
        case LsmField::Iteration:
        case LsmField::Alpha:
        case LsmField::Regularization:
            return true;
        case LsmField::Difference:
            return false;
        default:
            return bAdvancedShown;
    }
}

std::string CDlgLsm::Label(LsmField field) {
    switch (field) {
        case LsmField::Iteration: return "Iteration = ";
        case LsmField::Alpha: return "Alpha = ";
        case LsmField::Regularization: return "Regularization = ";
        case LsmField::Beta: return "Beta = ";
        case LsmField::Damping: return "e =";
        case LsmField::Difference: return "Difference =   *Resistivity ";
        case LsmField::Constraint: return "Yes";
        case LsmField::MinResistivity: return "Min. res.=";
        case LsmField::MaxResistivity: return "Max. res.=";
        case LsmField::MinUnit:
        case LsmField::MaxUnit: return "Ohm-m";
        case LsmField::WeightingForQuality: return "Weighting for quality";
        case LsmField::RobustEstimation: return "Robust estimation";
        case LsmField::KeepFirstLayer: return "Keep first layer resistivity";
        case LsmField::SaveMatrixInformation: return "Save matrix information";
        case LsmField::Jacobian: return "Jacobian";
    }
    return {};
}

// ---------------------------------------------------------------------------------------------

int SetUpSounding(int c, const CTrevascDataOhm& store, LayerModel& model, SoundingData& sounding) {
    sounding.nData = 0;
    model.nLayer = 0;
    if (!store.IsAllocated() || c < 0 || c >= store.nColumn || c >= store.MaxColumn())
        return kColumnUnusable;
    bool usable = true;

    const int m = store.nRow[static_cast<std::size_t>(c)];
    if (m < 0 || m > kMaxSoundingRows || m > store.MaxRow()) return kColumnUnusable;
    sounding.bGeneralArray = store.bGeneralArray == 1 ? 1 : 0;
    for (int k = 0; k < m; ++k) {
        SoundingRow& row = sounding.row[k];
        if (sounding.bGeneralArray == 1) {
            const FourElectrodeGeometry* e = store.pElectrode[c][k].get();
            row.electrode = FourElectrodeGeometry{};
            if (e != nullptr) {
                row.electrode.fA = e->fA;
                row.electrode.fB = e->fB;
                row.electrode.fM = e->fM;
                row.electrode.fN = e->fN;
                CompleteElectrodes(row.electrode);
            } else {
                usable = false;
            }
        }
        // Carried in general mode too, so that storing the column writes back what it read.
        row.fDipoleSize = store.fDipoleSize[c][k];
        row.fNFactor = store.fNFactor[c][k];
        row.fObserved = store.fObserved[c][k];
        row.fCalculated = store.fCalculated[c][k];
        row.iMarked = store.iMarked[c][k];
        if (!Positive(row.fObserved)) usable = false;
    }
    sounding.nData = m;
    SetSoundingDistances(sounding);

    const int n = store.nLayer;
    if (n >= 1 && n <= kMaxModelLayers && n <= store.MaxLayer() && store.nBoundary >= n &&
        c < store.nModelColumn && c < store.nBoundaryColumn &&
        c < store.MaxBoundaryColumn()) {
        model.nLayer = n;
        for (int j = 0; j < n; ++j) {
            const float rho = store.fLayerResistivity[c][j];
            model.fResistivity[j] = rho;
            model.fLogResistivity[j] = static_cast<float>(std::log10(static_cast<double>(rho)));
            model.fThickness[j] = j < n - 1 ? store.fBoundaryElevation[c][j] -
                                                  store.fBoundaryElevation[c][j + 1]
                                            : kHalfSpaceThickness;
            if (!Positive(rho)) usable = false;
        }
    } else {
        usable = false;
    }
    if (m == 0) return kColumnNoRows;
    return usable ? kColumnReady : kColumnUnusable;
}

void StoreSoundingColumn(int c, CTrevascDataOhm& store, const LayerModel& model,
                         const SoundingData& sounding) {
    if (!store.IsAllocated() || c < 0 || c >= store.MaxColumn()) return;
    const int m = std::clamp(sounding.nData, 0, std::min(kMaxSoundingRows, store.MaxRow()));
    store.nRow[static_cast<std::size_t>(c)] = m;
    for (int k = 0; k < m; ++k) {
        const SoundingRow& row = sounding.row[k];
        store.fDipoleSize[c][k] = row.fDipoleSize;
        store.fNFactor[c][k] = row.fNFactor;
        store.fCalculated[c][k] = row.fCalculated;
        store.fObserved[c][k] = row.fObserved;
        store.iMarked[c][k] = row.iMarked;
    }
    if (c >= store.MaxBoundaryColumn()) return;
    const int n = std::clamp(model.nLayer, 0, std::min(kMaxModelLayers, store.MaxLayer()));
    for (int j = 0; j < n; ++j) {
        store.fLayerResistivity[c][j] = model.fResistivity[j];
        store.fBoundaryElevation[c][j] =
            j == 0 ? 0.0f : store.fBoundaryElevation[c][j - 1] - model.fThickness[j - 1];
    }
}

void StoreSounding(int c, CTrevascDataOhm& store, const LayerModel& model,
                   const SoundingData& sounding) {
    if (!store.IsAllocated() || c < 0 || c >= store.MaxColumn()) return;
    StoreSoundingColumn(c, store, model, sounding);
    store.iDataType = kDataTypeDipole;
    store.nLayer = std::clamp(model.nLayer, 0, std::min(kMaxModelLayers, store.MaxLayer()));
}

// ---------------------------------------------------------------------------------------------

float CSoundingInverter::Invert(LayerModel& model, SoundingData& sounding,
                                const InversionSettings& settings, std::vector<float>* misfits,
                                const std::atomic<bool>* stop,
                                const std::function<void(int, float)>& onIteration) {
    nSkipped_ = 0;
    nIterations_ = 0;
    if (!Invertible(model, sounding)) return -1.0f;
    const int n = model.nLayer;
    const int m = sounding.nData;
    // The iteration runs on a double-precision copy; the model given is rounded from it once,
    // at the end.
    LayerModelDouble work = ToDouble(model);
    std::array<double, kMaxModelLayers> logRho{};  // the unknowns p_j = log10 rho_j
    for (int j = 0; j < n; ++j) logRho[j] = std::log10(work.dResistivity[j]);
    if (forward_.Setup(sounding, work) == 0) return -1.0f;
    if (settings.iJacobian == kJacobianExact)
        derivative_.resize(static_cast<std::size_t>(n) * static_cast<std::size_t>(m));

    std::array<double, kMaxSoundingRows> calculated{};
    std::array<double, kMaxSoundingRows> trial{};
    std::array<double, kMaxSoundingRows> logCalculated{};
    std::array<double, kMaxModelLayers> nextLog{};
    const int rows = m + n - 1;  // data rows, then the smoothing rows
    const double dd = settings.dDifference;
    const double reg = settings.dRegularization;

    if (m > 0 && settings.nIteration > 0 &&
        (system_.n != n || system_.m < rows || system_.residual.size() < std::size_t(rows))) {
        if (!system_.Create(n, std::max(rows, 1), settings.nIteration)) return -1.0f;
    }
    // True when `calculated` already holds the model's response and the forward model's base
    // is the model (the check of the last accepted step computed both).
    bool responseReady = false;
    for (int it = 0; m > 0 && it < settings.nIteration; ++it) {
        if (stop != nullptr && stop->load(std::memory_order_relaxed)) break;
        ++nIterations_;
        if (!responseReady) forward_.Response(work, std::span<double>(calculated));
        responseReady = false;
        const float misfit = LogMisfit(sounding, calculated, system_.residual);
        if (misfits != nullptr) misfits->push_back(misfit);
        if (onIteration) onIteration(it + 1, misfit);
        for (int k = 0; k < m; ++k) logCalculated[k] = std::log10(calculated[k]);
        for (int r = m; r < rows; ++r) system_.residual[static_cast<std::size_t>(r)] = 0.0;

        const bool exact = settings.iJacobian == kJacobianExact;
        if (exact) forward_.Derivatives(derivative_);
        for (int q = 0; q < n; ++q) {
            double* J = system_.jacobian[q];
            if (exact) {
                // d log10 c / d log10 rho = rho / c * dc / drho
                const double* dq = derivative_.data() + q * m;
                for (int k = 0; k < m; ++k) J[k] = work.dResistivity[q] * dq[k] / calculated[k];
            } else {
                forward_.PerturbedResponse(q, std::pow(10.0, logRho[q] + dd),
                                           std::span<double>(trial));
                for (int k = 0; k < m; ++k) J[k] = (std::log10(trial[k]) - logCalculated[k]) / dd;
            }
            for (int r = m; r < rows; ++r) J[r] = 0.0;
            if (q >= 1) J[m + q - 1] = -reg;
            if (q <= n - 2) J[m + q] = reg;
        }
        NormalMatrix(system_.jacobian, system_.normal, n, rows);
        NormalRightHandSide(system_.jacobian, system_.residual, system_.step, n, rows);
        for (int i = 0; i < n; ++i) system_.normal[i][i] += settings.dDamping;
        const GaussStatus status =
            SolveNormal(system_.normal, system_.step, n, kInversionSolveTolerance);

        // A failed solve leaves no meaningful step; nor is a step that would take a
        // resistivity past the float range the model is stored in, or give a model whose
        // response is not a positive number (the filter can turn negative on a strong
        // contrast, and every later residual would be the logarithm of it). The model stays
        // for the next iteration.
        bool accept = status == GaussStatus::Solved;
        LayerModelDouble next = work;
        for (int j = 0; accept && j < n; ++j) {
            nextLog[j] = logRho[j] + settings.dAlpha * system_.step[std::size_t(j)];
            next.dResistivity[j] = std::pow(10.0, nextLog[j]);
            accept = std::isfinite(nextLog[j]) && PositiveAsFloat(next.dResistivity[j]);
        }
        if (accept) {
            forward_.Response(next, std::span<double>(trial));
            for (int k = 0; accept && k < m; ++k) accept = PositiveAsFloat(trial[k]);
            if (accept) {
                work = next;
                std::copy(nextLog.begin(), nextLog.begin() + n, logRho.begin());
                std::copy(trial.begin(), trial.begin() + m, calculated.begin());
                responseReady = true;
            }
        }
        if (!accept) ++nSkipped_;
    }

    // The stored form, and the response of exactly that (not of a trial, nor of the double
    // model it was rounded from).
    for (int j = 0; j < n; ++j) {
        model.fResistivity[j] = static_cast<float>(work.dResistivity[j]);
        model.fLogResistivity[j] = static_cast<float>(logRho[j]);
    }
    forward_.Response(ToDouble(model), std::span<double>(calculated));
    for (int k = 0; k < m; ++k) sounding.row[k].fCalculated = static_cast<float>(calculated[k]);
    return LogMisfit(sounding, calculated);
}

float InvertSounding(LayerModel& model, SoundingData& sounding, const InversionSettings& settings,
                     std::vector<float>* misfits) {
    CSoundingInverter inverter;
    return inverter.Invert(model, sounding, settings, misfits);
}

std::vector<float> ColumnMisfits(const CTrevascDataOhm& store) {
    std::vector<float> misfit;
    if (!store.IsAllocated()) return misfit;
    const int nColumn = std::clamp(store.nColumn, 0, store.MaxColumn());
    misfit.assign(static_cast<std::size_t>(nColumn), -1.0f);
    for (int c = 0; c < nColumn; ++c) {
        const int m = std::clamp(store.nRow[static_cast<std::size_t>(c)], 0, store.MaxRow());
        double sum = 0.0;
        int count = 0;
        for (int k = 0; k < m; ++k) {
            const float obs = store.fObserved[c][k], calc = store.fCalculated[c][k];
            if (!Positive(obs) || !Positive(calc)) continue;
            const double e =
                std::log10(static_cast<double>(obs)) - std::log10(static_cast<double>(calc));
            sum += e * e;
            ++count;
        }
        if (count > 0)
            misfit[static_cast<std::size_t>(c)] = static_cast<float>(std::sqrt(sum / count));
    }
    return misfit;
}

float MedianMisfit(std::span<const float> misfits) {
    std::vector<float> v;
    for (float f : misfits)
        if (f >= 0.0f) v.push_back(f);
    if (v.empty()) return -1.0f;
    std::sort(v.begin(), v.end());
    const std::size_t h = v.size() / 2;
    return v.size() % 2 == 1 ? v[h] : 0.5f * (v[h - 1] + v[h]);
}

std::vector<int> WorstColumns(std::span<const float> misfits, int nWorst) {
    std::vector<int> c;
    for (std::size_t i = 0; i < misfits.size(); ++i)
        if (misfits[i] >= 0.0f) c.push_back(static_cast<int>(i));
    std::stable_sort(c.begin(), c.end(), [&](int a, int b) {
        return misfits[static_cast<std::size_t>(a)] > misfits[static_cast<std::size_t>(b)];
    });
    if (static_cast<int>(c.size()) > std::max(nWorst, 0))
        c.resize(static_cast<std::size_t>(std::max(nWorst, 0)));
    return c;
}

std::string InversionLogLine(int c, std::span<const float> misfits) {
    std::string line = FormatC(" %d ", c);
    for (float f : misfits) line += FormatC(" %f ", static_cast<double>(f));
    line += "\n";
    return line;
}

LayerModel StartingModel(const SoundingData& sounding, int nLayer, float fDepth) {
    LayerModel model;
    if (nLayer < 1 || nLayer > kMaxModelLayers || sounding.nData < 1 ||
        sounding.nData > kMaxSoundingRows)
        return model;
    float sum = 0.0f;
    for (int k = 0; k < sounding.nData; ++k) {
        const float v = sounding.row[k].fObserved;
        if (!Positive(v)) return model;
        sum += static_cast<float>(std::log10(v));
    }
    const float rho = static_cast<float>(std::pow(10.0, sum / sounding.nData));
    const std::vector<float> b = LayerBoundaries(nLayer, fDepth);
    if (static_cast<int>(b.size()) != nLayer) return model;
    model.nLayer = nLayer;
    for (int j = 0; j < nLayer; ++j) {
        model.fResistivity[j] = rho;
        model.fLogResistivity[j] = static_cast<float>(std::log10(static_cast<double>(rho)));
        model.fThickness[j] = j < nLayer - 1 ? b[j] - b[j + 1] : kHalfSpaceThickness;
    }
    return model;
}

// ---------------------------------------------------------------------------------------------

int InversionThreadCount() {
    const unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : static_cast<int>(std::min(n, 256u));
}

namespace {

// What one column left for the calling thread.
struct ColumnOutcome {
    int status = kColumnNoRows;
    int nSkipped = 0;
    int nIterations = 0;
    std::vector<float> misfits;
};

// Work arrays of one thread.
struct ColumnWorker {
    LayerModel model;
    SoundingData sounding;
    CSoundingInverter inverter;

    void Run(int c, CTrevascDataOhm& store, const InversionSettings& settings, bool keepMisfits,
             ColumnOutcome& out, const std::atomic<bool>* stop = nullptr,
             const std::function<void(int, float)>& onIteration = {}) {
        try {
            out.status = SetUpSounding(c, store, model, sounding);
            if (out.status != kColumnReady) return;
            // Not >= 0: refused, or a misfit that is not a number (a response of the starting
            // model that is not positive, say).
            const float misfit = inverter.Invert(model, sounding, settings,
                                                 keepMisfits ? &out.misfits : nullptr, stop,
                                                 onIteration);
            if (!(misfit >= 0.0f)) {
                out.status = kColumnUnusable;
                out.misfits.clear();
                return;
            }
            // Without iterations the one misfit is that of the forward run just made.
            if (keepMisfits && settings.nIteration == 0) out.misfits.push_back(misfit);
            out.nSkipped = inverter.SkippedUpdates();
            out.nIterations = inverter.IterationsRun();
            StoreSoundingColumn(c, store, model, sounding);
        } catch (const std::exception&) {
            // Only memory can run out here; the column keeps what it had.
            out.status = kColumnUnusable;
            out.misfits.clear();
        }
    }
};

// Longest wait of the calling thread between two reports while workers run.
constexpr std::chrono::milliseconds kProgressWait{40};

void Tally(SectionInversionResult& result, int c, const ColumnOutcome& o) {
    if (o.status == kColumnReady) ++result.nInverted;
    else if (o.status == kColumnNoRows) ++result.nNoRows;
    else ++result.nUnusable;
    if (o.status != kColumnReady) return;
    result.nIterations += o.nIterations;
    result.nSkippedUpdates += o.nSkipped;
    if (o.nSkipped == 0) return;
    ++result.nColumnsSkipping;
    if (o.nSkipped >= o.nIterations) ++result.nColumnsAllSkipped;
    if (static_cast<int>(result.skippingColumns.size()) < kMaxListedColumns)
        result.skippingColumns.push_back(c);
}

}  // namespace

SectionInversionResult InvertSection(CTrevascDataOhm& store, const InversionSettings& settings,
                                     int nThread, const std::function<void(const std::string&)>& log,
                                     const std::function<bool(int, int)>& progress,
                                     CInversionActivity* activity) {
    SectionInversionResult result;
    if (!store.IsAllocated()) return result;
    const int nColumn = std::clamp(store.nColumn, 0, store.MaxColumn());
    const bool keepMisfits = static_cast<bool>(log);
    int threads = nThread > 0 ? nThread : InversionThreadCount();
    threads = std::min(threads, std::max(nColumn, 1));

    // Workers hand each finished column to the calling thread, which reports progress and
    // writes the log lines in column order.
    std::vector<ColumnOutcome> outcome(static_cast<std::size_t>(nColumn));
    std::vector<char> done(static_cast<std::size_t>(nColumn), 0);
    std::atomic<int> next{0};
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::condition_variable finished;
    int nDone = 0;

    auto work = [&] {
        ColumnWorker worker;
        for (;;) {
            if (stop.load()) break;
            const int c = next.fetch_add(1);
            if (c >= nColumn) break;
            std::function<void(int, float)> post;
            if (activity != nullptr)
                post = [activity, c](int it, float misfit) { activity->Post(c, it, misfit); };
            worker.Run(c, store, settings, keepMisfits, outcome[static_cast<std::size_t>(c)],
                       &stop, post);
            {
                std::lock_guard<std::mutex> lock(mutex);
                done[static_cast<std::size_t>(c)] = 1;
                ++nDone;
            }
            finished.notify_one();
        }
    };

    // The first report comes before any column is touched: the caller may still read the
    // store then (to keep a picture of it, say).
    if (progress && !progress(0, nColumn)) {
        result.bCancelled = true;
        return result;
    }

    std::vector<std::thread> pool;
    if (threads > 1) {
        for (int t = 0; t < threads; ++t) {
            try {
                pool.emplace_back(work);
            } catch (const std::system_error&) {
                break;  // fewer threads; those started take every column
            }
        }
    }

    auto finish = [&](int c) {
        ColumnOutcome& o = outcome[static_cast<std::size_t>(c)];
        Tally(result, c, o);
        if (log) log(InversionLogLine(c, o.misfits));
        std::vector<float>().swap(o.misfits);
    };

    if (pool.empty()) {
        ColumnWorker worker;
        for (int c = 0; c < nColumn; ++c) {
            if (c > 0 && progress && !progress(c, nColumn)) {
                result.bCancelled = true;
                break;
            }
            // The column's own iterations report too; a stop asked between them leaves the
            // column unfinished.
            std::function<void(int, float)> post;
            if (activity != nullptr) {
                post = [&, c](int it, float misfit) {
                    activity->Post(c, it, misfit);
                    if (progress && !stop.load() && !progress(c, nColumn))
                        stop.store(true);
                };
            }
            worker.Run(c, store, settings, keepMisfits, outcome[static_cast<std::size_t>(c)],
                       &stop, post);
            if (stop.load()) {
                result.bCancelled = true;
                break;
            }
            finish(c);
        }
    } else {
        int written = 0, reported = 0;
        while (written < nColumn) {
            int count = 0, ready = written;
            bool woken = true;
            {
                std::unique_lock<std::mutex> lock(mutex);
                // A column can take long (many iterations): the caller hears from the run
                // now and then even while no column finishes, so that a stop is not kept
                // waiting for one.
                woken = finished.wait_for(lock, kProgressWait, [&] {
                    return nDone > reported || done[static_cast<std::size_t>(written)] != 0;
                });
                count = nDone;
                while (ready < nColumn && done[static_cast<std::size_t>(ready)] != 0) ++ready;
            }
            for (; written < ready; ++written) finish(written);
            const bool report = woken ? count > reported && count < nColumn : count < nColumn;
            if (report && progress && !progress(count, nColumn)) {
                // Columns already taken are finished; no worker takes another.
                stop.store(true);
                result.bCancelled = true;
                break;
            }
            reported = count;
        }
        for (auto& t : pool) t.join();
    }
    if (result.bCancelled) return result;
    store.iDataType = kDataTypeDipole;
    return result;
}

std::string SkippedUpdatesMessage(const SectionInversionResult& r) {
    if (r.nSkippedUpdates <= 0) return "";
    std::string columns = r.nColumnsSkipping == 1 ? Tr("column ", "列 ") : Tr("columns ", "列 ");
    for (std::size_t i = 0; i < r.skippingColumns.size(); ++i)
        columns += FormatC(i == 0 ? "%d" : ", %d", r.skippingColumns[i]);
    if (r.nColumnsSkipping > static_cast<int>(r.skippingColumns.size()))
        columns += FormatC(Tr(" and %d more", " ほか %d 列"),
                           r.nColumnsSkipping - static_cast<int>(r.skippingColumns.size()));
    std::string text = FormatC(
        Tr("Updates skipped: %d of %d iterations, in %d of %d columns (%s). A skipped "
           "iteration keeps its model: its normal equations could not be solved (a single "
           "layer, or a pivot below the tolerance), or its step led to a resistivity or a "
           "response that is not a positive number.",
           "更新を省いた反復: %d / %d 回、%d / %d 列 (%s)。省いた反復ではモデルは変わり"
           "ません。正規方程式が解けない (1 層、または許容値より小さいピボット) か、ステップ"
           "の結果の比抵抗または応答が正の数になりませんでした。"),
        r.nSkippedUpdates, r.nIterations, r.nColumnsSkipping, r.nInverted, columns.c_str());
    if (r.nColumnsAllSkipped > 0)
        text += FormatC(Tr(" In %d columns every update was skipped: their models are the "
                           "starting models.",
                           " %d 列ではすべての更新を省きました。そのモデルは初期モデルのまま"
                           "です。"),
                        r.nColumnsAllSkipped);
    return text;
}

bool NonLinearInversion(CTrevascDataOhm& store, InversionSettings& settings,
                        const std::filesystem::path& dataFolder, CPrompter& prompter,
                        const ProgressReport& progress, int nThread,
                        SectionInversionResult* pResult) {
    if (!store.IsAllocated() || store.nLayer < 1) return false;
    CTextWriter logFile;
    OpenSideFile(logFile, dataFolder / "rms_error.txt");  // optional: the run goes on without it

    CDlgLsm dialog = CDlgLsm::FromSettings(settings);
    for (;;) {
        if (!prompter.EditDialog(dialog)) {
            logFile.Close();
            return false;
        }
        const std::string problem = dialog.Validate();
        if (problem.empty()) break;
        prompter.Message(problem);
    }
    dialog.ToSettings(settings);
    WriteJacobianSetting(settings.iJacobian);

    std::function<void(const std::string&)> log;
    if (logFile.IsOpen()) log = [&logFile](const std::string& line) { logFile.Write(line); };
    // A run the user stops puts the store back as it was; the copy is only needed when a
    // report can ask to stop.
    CTrevascDataOhm before;
    CInversionActivity activity;
    std::function<bool(int, int)> report;
    if (progress) {
        // Without the memory for the copy the run shows its progress but cannot be stopped.
        const bool canStop = store.SnapshotTo(before);
        report = [&progress, canStop, &activity, &settings](int i, int n) {
            const CInversionActivity::Latest at = activity.Read();
            const std::string text =
                at.iColumn < 0 ? InversionProgressText(i, n)
                               : InversionProgressText(i, n, at.iIteration, settings.nIteration,
                                                       at.fMisfit);
            return progress(i, n, text) || !canStop;
        };
    }
    const SectionInversionResult result =
        InvertSection(store, settings, nThread, log, report, &activity);
    if (result.bCancelled) {
        store.RestoreFrom(before);
        logFile.Close();
        prompter.Message(InversionCancelledMessage());
        return false;
    }

    if (result.nUnusable > 0) {
        prompter.Message(FormatC(
            Tr("Columns left as they were: %d. They have no model under them, or a data or "
               "model resistivity that is not above 0.",
               "そのままにした列: %d。モデルがないか、0 以下の比抵抗 (データまたはモデル) "
               "があります。"),
            result.nUnusable));
    }
    prompter.Message("Inversion finished !");
    if (const std::string skipped = SkippedUpdatesMessage(result); !skipped.empty())
        prompter.Message(skipped);
    logFile.Close();
    if (pResult != nullptr) *pResult = result;
    return true;
}
