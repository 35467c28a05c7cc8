// Layered-earth forward model: the apparent resistivity that a one-dimensional model of
// horizontal layers gives for four-electrode rows, by an 18-point linear filter over the
// resistivity transform. Shared by the processing program's inversion, its model views and
// exports, and the logging program's two-layer demonstration.
//
// Units: thicknesses and distances in metres, resistivities in Ohm-m. Layer 0 is at the
// surface; the last layer is a half-space (its thickness is never read).
//
// Precision: the model and the distances are stored in single precision, but everything the
// computation holds (E, tau, T, the filter sum S and the result) is double precision, and a
// model may be given in double precision as well (LayerModelDouble). The inversion's Jacobian
// is a finite difference of responses for a step of 1e-4 in log10 resistivity; for weakly
// sensitive layers the change it measures is of the order of a float's rounding, so the
// responses are rounded to float only where they are stored (fCalculated).
//
// Two implementations give bit-identical results:
//  - ForwardModel / ApparentResistivity: straight from the formulas, row by row;
//  - CSoundingForward: one sounding's geometry and thicknesses precomputed once, for the
//    repeated responses and one-layer perturbations of an inversion.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/survey.h"

inline constexpr int kMaxSoundingRows = 100;
inline constexpr int kMaxModelLayers = 100;
inline constexpr int kFilterLength = 18;

// Filter abscissae x_j = 0.706015 * 10^((j - 9) / 3), three per decade, and their weights.
// The weights sum to 0.999375, so a homogeneous earth of rho gives 0.999375 * rho.
inline constexpr std::array<double, kFilterLength> kFilterAbscissa = {
    0.000706015, 0.00152106, 0.00327703, 0.00706015, 0.0152106, 0.0327703,
    0.0706015,   0.152106,   0.327703,   0.706015,   1.52106,   3.27703,
    7.06015,     15.2106,    32.7703,    70.6015,    152.106,   327.703};
inline constexpr std::array<double, kFilterLength> kFilterWeight = {
    0.00112, 0.000661, 0.00281, 0.00529, 0.0116,  0.0254,  0.0532,   0.118,    0.238,
    0.492,   0.543,    -0.612,  0.142,   -0.0276, 0.00794, -0.00275, 0.000923, -0.000219};

// Pole-pole rows put the remote electrodes at this many dipole sizes.
inline constexpr float kPolePoleRemoteFactor = 100000.0f;

// One column's layered model.
struct LayerModel {
    int nLayer = 0;                                        // 1..kMaxModelLayers when usable
    std::array<float, kMaxModelLayers> fThickness{};       // h, m; last layer unused
    std::array<float, kMaxModelLayers> fResistivity{};     // rho, Ohm-m
    std::array<float, kMaxModelLayers> fLogResistivity{};  // log10 rho (the inversion's unknowns)
};

// The same model in double precision: the inversion's working model, rounded to a LayerModel
// only when its result is stored.
struct LayerModelDouble {
    int nLayer = 0;
    std::array<double, kMaxModelLayers> dThickness{};    // h, m; last layer unused
    std::array<double, kMaxModelLayers> dResistivity{};  // rho, Ohm-m
};

// Exact: every float is a double.
LayerModelDouble ToDouble(const LayerModel& model);

// One row of a sounding. fR holds the four distances the forward model uses:
// (r0, r1, r2, r3) = (AN, AM, BN, BM) of the row's four-electrode array.
struct SoundingRow {
    FourElectrodeGeometry electrode;  // general mode only
    float fDipoleSize = 0.0f;         // dipole mode only, m
    float fNFactor = 0.0f;            // dipole mode only; 0 Wenner, -1 pole-pole
    std::array<float, 4> fR{};        // m
    float fObserved = 0.0f;           // Ohm-m
    float fCalculated = 0.0f;         // Ohm-m, written by the forward model
    int iMarked = 0;
};

// One column's data.
struct SoundingData {
    int nData = 0;          // rows in use, 0..kMaxSoundingRows
    int bGeneralArray = 0;  // 1 when the rows carry four-electrode geometry
    std::array<SoundingRow, kMaxSoundingRows> row{};
    std::string sArrayName;  // "General 4 poles", "Wenner", "Pole-pole" or "Dipole-dipole"
};

// Sets fR of rows 0..nData-1 and sArrayName. General mode: (fAN, fAM, fBN, fBM) of each row's
// electrode. Otherwise row 0's N-factor decides the array of the whole column, and each row
// uses its own dipole size a and N-factor N: N = 0 Wenner (a, 2a, 2a, a); N = -1 pole-pole
// (a, 100000a, 100000a, 100000a); any other N dipole-dipole ((N+2)a, (N+1)a, (N+1)a, Na).
// nData outside 0..kMaxSoundingRows is taken as clipped to that range.
void SetSoundingDistances(SoundingData& sounding);

// Resistivity transform T(lambda) of the model at the surface (lambda in 1/m), by the
// recurrence from the bottom layer up. Requires 1 <= nLayer <= kMaxModelLayers.
double ResistivityTransform(const LayerModelDouble& model, double lambda);
double ResistivityTransform(const LayerModel& model, double lambda);

// Apparent resistivity of one row with distances r = (r0, r1, r2, r3).
// Requires 1 <= nLayer <= kMaxModelLayers.
double ApparentResistivity(const LayerModelDouble& model, const std::array<float, 4>& r);
double ApparentResistivity(const LayerModel& model, const std::array<float, 4>& r);

// Writes fCalculated of every row (each response rounded to float once). Returns 1, or 0
// without writing anything when nLayer is outside 1..kMaxModelLayers or nData outside
// 0..kMaxSoundingRows.
int ForwardModel(const LayerModel& model, SoundingData& sounding);
// The responses of rows 0..nData-1 in double precision into calculated. Returns 1, or 0
// without writing when the model or the sounding is refused as above or calculated is
// shorter than nData.
int ForwardModel(const LayerModelDouble& model, const SoundingData& sounding,
                 std::span<double> calculated);

// Root mean square of log10(observed) - log10(calculated) over rows 0..nData-1, in double
// precision and rounded once; each residual is left in residual[k] when residual is long
// enough. 0 for a sounding without rows.
float LogMisfit(const SoundingData& sounding, std::span<const double> calculated,
                std::span<double> residual = {});

// Runs ForwardModel and returns LogMisfit of its double-precision responses (fCalculated
// receives them rounded to float). Returns 0 for a sounding without rows, and -1 when
// ForwardModel refuses the model or the sounding.
float SoundingMisfit(const LayerModel& model, SoundingData& sounding);

// The instruction sets the prepared forward model runs on. Every path gives the same bits; they
// differ in speed only.
enum class ForwardPath : int {
    Scalar = 0,  // portable: one lane at a time
    Avx2 = 1,    // four lanes per instruction (x86-64)
    Avx512 = 2,  // eight lanes per instruction (x86-64)
};
inline constexpr int kForwardPathCount = 3;

// "scalar", "AVX2" or "AVX-512".
const char* ForwardPathName(ForwardPath path);
// Built into this program and reported by the processor.
bool ForwardPathAvailable(ForwardPath path);
// The fastest available path: the one used unless SetForwardPath chose another.
ForwardPath BestForwardPath();
// The path CSoundingForward objects take at their next Setup.
ForwardPath ActiveForwardPath();
// Chooses the path for every later Setup (tests and benchmarks compare the paths). Returns
// false and changes nothing when the path is not available.
bool SetForwardPath(ForwardPath path);

// The forward model of one sounding prepared for an inversion: the distances and the layer
// thicknesses never change between iterations, so every exp(-2 lambda h) is computed once;
// rows share distances, so each distinct distance is evaluated once; and the recurrence of
// the last Response() is kept layer by layer, so a model that differs in one layer q only
// re-runs the recurrence from layer q upwards (and stops as soon as it rejoins the kept
// values). The recurrences of all (distance, abscissa) pairs are independent and run side by
// side on the vector path of ActiveForwardPath(). Results are bit-identical to ForwardModel.
//
// Not safe for concurrent use of one object; use one object per thread (columns are
// independent).
class CSoundingForward {
public:
    // Prepares for the rows' distances (fR of rows 0..nData-1) and the thicknesses of the
    // model's layers 0..nLayer-2. Returns 1, or 0 when nData or nLayer is outside its
    // capacity; the object is then empty and refuses every response. Preparing again for the
    // same distinct distances and thicknesses (the next column of a section, usually) keeps
    // the precomputed values.
    int Setup(const SoundingData& sounding, const LayerModelDouble& model);
    int Setup(const SoundingData& sounding, const LayerModel& model) {
        return Setup(sounding, ToDouble(model));
    }

    int nData() const { return nData_; }
    int nLayer() const { return nLayer_; }
    int nDistance() const { return nDistance_; }
    ForwardPath Path() const { return path_; }

    // Calculated apparent resistivity of `model` into calculated[0..nData-1]; the model also
    // becomes the base of PerturbedResponse and Derivatives. Returns 1, or 0 without writing
    // when the object is empty, the model's layer count or thicknesses differ from Setup's,
    // or `calculated` is shorter than nData.
    int Response(const LayerModelDouble& model, std::span<double> calculated);

    // Response of the last Response() model with layer q's resistivity replaced by
    // dResistivity. Returns 1, or 0 without writing when there is no base model, q is outside
    // 0..nLayer-1, or `calculated` is shorter than nData.
    int PerturbedResponse(int q, double dResistivity, std::span<double> calculated);

    // The exact derivatives of the last Response(): derivative[q * nData + k] = d calculated_k
    // / d rho_q (per Ohm-m) for layers q < nLayer, from the derivative of the recurrence.
    // Returns 1, or 0 without writing when there is no base model or `derivative` is shorter
    // than nLayer * nData.
    int Derivatives(std::span<double> derivative);

    // Convenience: Response into the sounding's fCalculated, rounded to float (the same rows
    // as Setup's).
    int Response(const LayerModel& model, SoundingData& sounding);

private:
    bool SameSetup(const std::vector<float>& distance, const LayerModelDouble& model) const;
    // u = T / r per lane into the (distance, abscissa) order rows are combined in; returns
    // pairU_.
    const double* PairOrder(const double* u);
    // Apparent resistivity of row k from u = T / r per (distance, abscissa) pair.
    double CombineRow(int k, const double* u) const;

    int nData_ = 0;
    int nLayer_ = 0;
    int nDistance_ = 0;
    int stride_ = 0;  // lanes per layer: 18 per distance, padded to whole vector blocks
    ForwardPath path_ = ForwardPath::Scalar;
    const void* kernels_ = nullptr;             // the lane kernels of path_
    std::vector<double> thickness_;             // layers 0..nLayer-2
    std::vector<float> distance_;               // distinct distances
    std::vector<double> laneR_;                 // per lane: its distance (1 in the padding)
    std::vector<int> rowLane_;     // per row: first pair (d * 18) of r0..r3 (4 per row)
    std::vector<int> laneOfPair_;  // lane of pair d * 18 + j (lanes sorted by wavenumber)
    std::vector<double> pairU_;    // scratch: T / r per pair
    std::vector<double> rowGeometry_;           // per row: 1/r0 - 1/r1 - 1/r2 + 1/r3
    // tau of layer i in lane l: tau_[i * stride + l] (0 in the padding).
    std::vector<double> tau_;
    // Base model: resistivities, T at the top of layer i: top_[i * stride + l], and the
    // calculated values.
    bool bBase_ = false;
    std::vector<double> baseResistivity_;
    std::vector<double> top_;
    std::vector<double> baseResponse_;
    // Scratch: surface T and T / r per lane, derivatives per layer and lane.
    std::vector<double> surface_;
    std::vector<double> u_;
    std::vector<double> grad_;
};
