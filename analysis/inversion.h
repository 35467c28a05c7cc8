// "Non-linear inversion (continuous 1D analysis)": every data column of the gridded section
// is inverted on its own as a one-dimensional layered-earth sounding. The layer boundaries
// come from the model column under it and stay fixed; the unknowns are the layer
// resistivities in log10, fitted by damped Gauss-Newton steps with smoothness rows that tie
// each layer to the next.
//
// Index conventions: column c of the store is data column c, model column c and boundary
// column c (the initial model lays them out that way). Layer 0 is at the surface; the last
// layer is a half-space whose thickness is never read.
//
// Columns are independent, so a section is inverted on several threads; every column runs
// the same arithmetic in the same order whichever thread takes it, so the stored results do
// not depend on the thread count.
#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "analysis/numeric.h"
#include "common/forward_model.h"
#include "common/progress.h"
#include "common/prompter.h"
#include "sectionfiles/section_store.h"

// How the Jacobian is taken: raising one layer at a time by dDifference in log10 and running
// the forward model again, or from the derivative of the layer recurrence (the same filter;
// about the cost of two forward runs however many layers).
enum InversionJacobian : int {
    kJacobianDifference = 0,
    kJacobianExact = 1,
};

// The document's inversion parameters. Kept in memory only (every start of the program
// begins at these defaults), except the Jacobian, which the settings keep as "iJacobian".
// Beta, the constraint with its limits and "keep first layer" are collected by the dialog and
// carried, but take no part in the computation.
struct InversionSettings {
    int nIteration = 10;            // iterations run, no convergence test
    double dAlpha = 0.2;            // step factor
    double dBeta = 1.0;             // collected only
    double dDamping = 0.01;         // added to the normal matrix diagonal
    double dDifference = 0.0001;    // finite-difference step, log10 Ohm-m
    double dRegularization = 1.0;   // weight of the smoothing rows
    int bConstraint = 0;            // collected only
    float fMinResistivity = 0.0f;   // Ohm-m, collected only
    float fMaxResistivity = 10000.0f;
    int bKeepFirstLayer = 0;        // collected only
    int iJacobian = kJacobianDifference;
};

// The stored choice of Jacobian ("iJacobian"); anything else than exact reads as difference.
int ReadJacobianSetting();
void WriteJacobianSetting(int iJacobian);
// "difference" or "exact", the words of the dialog and the batch line.
const char* JacobianName(int iJacobian);

// Pivot tolerance of the normal-equation solve.
inline constexpr double kInversionSolveTolerance = 1e-6;

// Largest values the dialog takes. There is no convergence test, so every iteration runs:
// with the default step factor 0.2 the part of a step not yet taken after k iterations is
// 0.8^k, below float resolution after about 75, and even a step factor of 0.02 gets there
// within 1000. Beyond that more iterations only cost time (each is nLayer + 1 forward runs
// per column) and log file (a misfit per iteration per column).
inline constexpr int kMaxInversionIterations = 1000;
// The step factor scales the damped Gauss-Newton step: 0 never moves, and from 2 on the
// iteration overshoots the minimum by at least as much as it started from.
inline constexpr double kMaxStepFactor = 2.0;
// The data rows give normal-matrix entries of the order of their count at most (up to 100
// rows of log-log sensitivities below about 1). A damping of 10000 makes every step a
// steepest-descent step of under a hundredth of the undamped one, so that the result measures
// the iteration count more than the data. The smoothing rows add the square of their weight;
// they say nothing about the model's mean level, which only the data rows fix, and a weight
// of 10000 already leaves those rows 8 of the 16 digits of the normal matrix's entries.
inline constexpr double kMaxDamping = 10000.0;
inline constexpr double kMaxRegularization = 10000.0;

// Progress text drawn before each column: "column %d of %d" with the column (or the number of
// columns done) and the column count.
std::string InversionProgressText(int i, int nColumn);
// The same with the iteration a column has reached and the misfit at its start (rms of log10
// residuals): "column %d of %d, iteration %d/%d, misfit %.4f".
std::string InversionProgressText(int i, int nColumn, int iIteration, int nIteration,
                                  float fMisfit);
// Shown when the user stopped an inversion (or a model response pass) between columns.
std::string InversionCancelledMessage();

// ---------------------------------------------------------------------------------------------
// The dialog "Non-linear LSM parameters".

// Its fields, in the order the dialog lays them out.
enum class LsmField : int {
    Iteration,
    Alpha,
    Regularization,
    Beta,
    Damping,
    Difference,
    Constraint,      // check box "Yes" in the group "Constraint"
    MinResistivity,
    MinUnit,         // read-only "Ohm-m"
    MaxResistivity,
    MaxUnit,         // read-only "Ohm-m"
    WeightingForQuality,
    RobustEstimation,
    KeepFirstLayer,
    SaveMatrixInformation,
    Jacobian,        // "Finite difference" or "Exact derivative"
};
inline constexpr int kLsmFieldCount = 16;

struct CDlgLsm : CDialogValues {
    int nIteration = 10;
    double dAlpha = 0.2;
    double dBeta = 1.0;
    double dDamping = 0.01;
    double dDifference = 0.0001;
    double dRegularization = 1.0;
    int bConstraint = 0;
    // Shown as the settings' limits times 1000 (and divided back on OK).
    float fMinResistivity = 0.0f;
    float fMaxResistivity = 10000000.0f;
    std::string sMinUnit = "Ohm-m";
    std::string sMaxUnit = "Ohm-m";
    // Start unchecked each time and are not kept.
    int bWeightingForQuality = 0;
    int bRobustEstimation = 0;
    int bSaveMatrixInformation = 0;
    int bKeepFirstLayer = 0;
    int iJacobian = kJacobianDifference;  // kept in the settings
    // "Advanced menu" pressed an odd number of times: the advanced fields are shown.
    bool bAdvancedShown = false;

    std::string DialogName() const override { return "Non-linear LSM parameters"; }
    // The message that keeps the dialog open, or empty when the values can be used: 0 to
    // kMaxInversionIterations iterations, Alpha above 0 and below kMaxStepFactor,
    // Regularization and e from 0 to their bounds (a value that is not a number never
    // passes). The fields that take no part in the computation are not judged.
    std::string Validate() const;

    static CDlgLsm FromSettings(const InversionSettings& settings);
    void ToSettings(InversionSettings& settings) const;

    // The "Advanced menu" button: shows the advanced fields, or hides them again.
    void ToggleAdvanced() { bAdvancedShown = !bAdvancedShown; }
    // Iteration, Alpha and Regularization always; Difference never; the rest while the
    // advanced fields are shown.
    bool IsVisible(LsmField field) const;
    // The field's label ("Iteration = ", "e =", "Yes", ...).
    static std::string Label(LsmField field);
    static std::string AdvancedButtonText() { return "Advanced menu"; }
    static std::string ConstraintGroupText() { return "Constraint"; }
    // The choices of the Jacobian field, by InversionJacobian.
    static std::string JacobianChoiceText(int iJacobian);
};

// ---------------------------------------------------------------------------------------------
// One column.

// What SetUpSounding found in the column.
enum ColumnSetUp : int {
    kColumnReady = 1,
    kColumnNoRows = 0,     // nothing to fit; the column is left as it is
    kColumnUnusable = -1,  // no model column under it, a row count past capacity, a general-
                           // mode row without geometry, or a value without a logarithm
                           // (observed or model resistivity not above 0)
};

// Fills the working records from column c: the rows (dipole size and N-factor, or in general
// mode the electrode positions with their distances and geometric factor recomputed), the
// observed values and marks, the four distances of every row (row 0's N-factor choosing the
// array of the whole column in dipole mode), and the model: nLayer layers with the column's
// resistivities and the thicknesses between its boundaries (1000 m for the half-space).
// The records are filled as far as the column allows (a display may show them whatever the
// result); only kColumnReady leaves records an inversion may run on.
int SetUpSounding(int c, const CTrevascDataOhm& store, LayerModel& model, SoundingData& sounding);

// Writes the result back into column c: the rows (dipole size, N-factor, calculated,
// observed, mark), the layer resistivities and the boundaries rebuilt from the thicknesses
// (0 at the top), iDataType = 3 and nLayer. StoreSoundingColumn writes the column only and
// leaves the store's scalars, for writers running side by side on different columns.
void StoreSounding(int c, CTrevascDataOhm& store, const LayerModel& model,
                   const SoundingData& sounding);
void StoreSoundingColumn(int c, CTrevascDataOhm& store, const LayerModel& model,
                         const SoundingData& sounding);

// Work arrays of one inversion, reused from column to column by one thread.
class CSoundingInverter {
public:
    // Runs settings.nIteration iterations on model and sounding (see InvertSounding) and then
    // one forward run on the final model, so the sounding's calculated values belong to the
    // model it is left with. The iterations run in double precision on a copy of the model;
    // model receives the result rounded to float, and the calculated values and the misfit
    // returned are those of the rounded model. Appends the misfit at the start of every
    // iteration to *misfits when given. Returns the misfit of the final model, or -1 (nothing
    // changed) when the model or the sounding is outside its capacity or a model or observed
    // resistivity is not above 0. When stop is given and becomes true, no further iteration
    // starts (the caller throws the column away).
    // onIteration, when given, hears (iteration from 1, misfit at its start) as every
    // iteration starts, on the calling thread.
    float Invert(LayerModel& model, SoundingData& sounding, const InversionSettings& settings,
                 std::vector<float>* misfits = nullptr,
                 const std::atomic<bool>* stop = nullptr,
                 const std::function<void(int, float)>& onIteration = {});

    // Iterations of the last Invert whose normal equations could not be solved (a single
    // layer, a pivot below the tolerance, a step that is not finite) or whose step led to a
    // model the store cannot hold or without a positive response: the model was kept.
    int SkippedUpdates() const { return nSkipped_; }
    // Iterations the last Invert ran (fewer than asked only when it was stopped).
    int IterationsRun() const { return nIterations_; }

private:
    CSoundingForward forward_;
    LeastSquaresSystem system_;
    std::vector<double> derivative_;  // d calculated / d rho, layer by layer
    int nSkipped_ = 0;
    int nIterations_ = 0;
};

// The whole iteration for one column, with its own work arrays, in double precision. Each
// iteration: the forward response c and the residuals e = log10 observed - log10 c (the
// misfit, their root mean square, is logged); the Jacobian by raising one layer at a time by
// dDifference in log10; nLayer - 1 smoothing rows dRegularization (p_r - p_r+1) with zero
// residual; the normal equations plus dDamping on the diagonal; the step times dAlpha added
// to the log10 resistivities. An iteration whose solve fails keeps the model.
float InvertSounding(LayerModel& model, SoundingData& sounding, const InversionSettings& settings,
                     std::vector<float>* misfits = nullptr);

// The misfit of every column of the store as it stands: the root mean square of log10
// observed - log10 calculated over the column's rows where both are above 0, or -1 for a
// column without such rows. Index = column.
std::vector<float> ColumnMisfits(const CTrevascDataOhm& store);

// The middle of the misfits that are not -1 (the mean of the two middle ones for an even
// count), -1 when there is none.
float MedianMisfit(std::span<const float> misfits);
// The columns of the nWorst largest misfits, largest first (the lower column first on a tie).
std::vector<int> WorstColumns(std::span<const float> misfits, int nWorst);

// One line of "rms_error.txt": " %d " with the column, " %f " per misfit, then "\n".
std::string InversionLogLine(int c, std::span<const float> misfits);

// A homogeneous starting model for a single sounding: the geometric mean of its observed
// values in every layer, with the initial model's layering (nLayer layers, the last one's top
// at fDepth m). nLayer 0 when the sounding has no usable rows or nLayer is outside 1..100.
LayerModel StartingModel(const SoundingData& sounding, int nLayer, float fDepth);

// ---------------------------------------------------------------------------------------------
// A whole section.

struct SectionInversionResult {
    int nInverted = 0;  // columns inverted and stored
    int nNoRows = 0;    // columns without rows, left as they were
    int nUnusable = 0;  // columns with rows that could not be set up, left as they were
    int nSkippedUpdates = 0;  // iterations over all columns whose update was skipped
    int nIterations = 0;      // iterations run over all columns
    int nColumnsSkipping = 0;     // inverted columns with at least one skipped update
    int nColumnsAllSkipped = 0;   // inverted columns whose every update was skipped
    std::vector<int> skippingColumns;  // the first kMaxListedColumns of them, ascending
    bool bCancelled = false;  // progress asked to stop; some columns were not inverted

    // No column took a single step: every column was left as it was or had every update
    // skipped (its model is the starting model; only its calculated values are new).
    bool NothingFitted() const { return nInverted == nColumnsAllSkipped; }
};
inline constexpr int kMaxListedColumns = 10;

// Shown after "Inversion finished !" when updates were skipped: how many, in how many columns
// (the first few named), in how many every update, and why an update is skipped. Empty when
// none was.
std::string SkippedUpdatesMessage(const SectionInversionResult& result);

// Number of worker threads of an inversion: the hardware's concurrency, at least 1.
int InversionThreadCount();

// Inverts columns 0..nColumn-1 of the store on nThread threads (0: InversionThreadCount()).
// Everything the caller is given runs on the calling thread: log receives one
// InversionLogLine per column in column order as soon as the columns before it are done
// (columns left as they were get a line without misfits); progress receives (columns done,
// nColumn) before the first column (before any column is touched) and whenever the count
// grows while below nColumn, so with one thread it is called before every column with that
// column's index. When progress returns false no further column is started, the run ends
// with bCancelled set and the columns inverted so far stay in the store; otherwise iDataType
// becomes 3.
//
// The iteration the run has reached: with activity given every worker posts the iteration
// each column starts (and the misfit at its start) there, and with one thread progress is
// also called as every iteration starts, with the columns done, so that
// a long column shows its iterations. A false answer then stops the column where it is.
class CInversionActivity {
public:
    struct Latest {
        int iColumn = -1;     // -1 before any iteration started
        int iIteration = 0;   // from 1
        float fMisfit = -1.0f;
    };
    void Post(int iColumn, int iIteration, float fMisfit);
    Latest Read() const;

private:
    mutable std::mutex mutex_;
    Latest latest_;
};

SectionInversionResult InvertSection(CTrevascDataOhm& store, const InversionSettings& settings,
                                     int nThread = 0,
                                     const std::function<void(const std::string&)>& log = {},
                                     const std::function<bool(int, int)>& progress = {},
                                     CInversionActivity* activity = nullptr);

// The command: opens "rms_error.txt" in dataFolder (replacing it; the run goes on without it
// when it cannot be created), shows the dialog until its values pass Validate (each refusal
// told in a message) or it is cancelled, and on OK copies the values into settings, inverts
// every column and shows "Inversion finished !", followed by SkippedUpdatesMessage when
// updates were skipped. progress receives the "column %d of %d" texts, followed once a column
// has started iterating by the iteration and misfit it has reached. True when the inversion ran
// (*pResult, when given, then holds what it did); false on Cancel (the log file is left
// empty), when the store holds no model, or when progress asked to stop (the store is then
// put back as it was, the settings keep the dialog's values and the user is told).
bool NonLinearInversion(CTrevascDataOhm& store, InversionSettings& settings,
                        const std::filesystem::path& dataFolder, CPrompter& prompter,
                        const ProgressReport& progress = {}, int nThread = 0,
                        SectionInversionResult* pResult = nullptr);
