#include "analysis/inversion.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <memory>
#include <random>
#include <sstream>

#include "analysis/initial_model.h"
#include "common/scripted_prompter.h"
#include "common/text_format.h"
#include "tests/analysis/reference_inversion.h"

namespace {

std::uint32_t Bits(float f) {
    return std::bit_cast<std::uint32_t>(f);
}

// Layer tops of the initial model, 10 m deep.
LayerModel Layered(std::vector<float> rho, float depth = 10.0f) {
    LayerModel m;
    m.nLayer = static_cast<int>(rho.size());
    const auto b = LayerBoundaries(m.nLayer, depth);
    for (int j = 0; j < m.nLayer; ++j) {
        m.fResistivity[j] = rho[j];
        m.fThickness[j] = j + 1 < m.nLayer ? b[j] - b[j + 1] : 1000.0f;
    }
    return m;
}

// Rows of one array with the observed values of `truth`, times a little deterministic noise.
SoundingData Synthetic(const LayerModel& truth, const std::vector<std::pair<float, float>>& rows,
                       float noise = 0.03f) {
    SoundingData s;
    for (auto [a, n] : rows) {
        s.row[s.nData].fDipoleSize = a;
        s.row[s.nData].fNFactor = n;
        ++s.nData;
    }
    SetSoundingDistances(s);
    ForwardModel(truth, s);
    for (int k = 0; k < s.nData; ++k)
        s.row[k].fObserved = s.row[k].fCalculated * (1.0f + noise * std::sin(1.7f * k + 0.3f));
    return s;
}

std::vector<std::pair<float, float>> DipoleRows(int count, float a = 1.0f) {
    std::vector<std::pair<float, float>> r;
    for (int n = 1; n <= count; ++n) r.emplace_back(a, static_cast<float>(n));
    return r;
}

// The instruction sets this processor runs, each chosen in turn while `body` runs.
void ForEachPath(const std::function<void(ForwardPath)>& body) {
    for (int p = 0; p < kForwardPathCount; ++p) {
        const auto path = static_cast<ForwardPath>(p);
        if (!SetForwardPath(path)) {
            std::printf("%s is not available here: not compared\n", ForwardPathName(path));
            continue;
        }
        SCOPED_TRACE(ForwardPathName(path));
        body(path);
    }
    SetForwardPath(BestForwardPath());
}

TEST(InvertSounding, FastIterationMatchesThePlainOneBitForBitOnEveryPath) {
    ForEachPath([](ForwardPath) {
        InversionSettings st;
        st.nIteration = 6;
        const LayerModel truth = Layered({30, 80, 300, 120, 20, 50});
        struct Case {
            std::vector<std::pair<float, float>> rows;
        };
        const std::vector<Case> cases = {
            {DipoleRows(12)},
            {{{1.0f, 0.0f}, {2.0f, 0.0f}, {4.0f, 0.0f}, {8.0f, 0.0f}}},     // Wenner
            {{{0.5f, -1.0f}, {1.0f, -1.0f}, {3.0f, -1.0f}, {6.0f, 2.0f}}},  // pole-pole
            {{{1.25f, 1.0f}, {1.25f, 2.0f}, {2.5f, 3.0f}, {2.5f, 4.0f}, {5.0f, 5.0f}}},
        };
        for (const Case& c : cases) {
            SoundingData s0 = Synthetic(truth, c.rows);
            LayerModel m0 = Layered({100, 100, 100, 100, 100, 100});
            SoundingData fastS = s0, refS = s0;
            LayerModel fastM = m0, refM = m0;
            std::vector<float> fastLog, refLog;
            CSoundingInverter inverter;
            const float fastMisfit = inverter.Invert(fastM, fastS, st, &fastLog);
            ReferenceInvert(refM, refS, st, &refLog);
            ASSERT_EQ(fastLog.size(), 6u);
            for (size_t i = 0; i < refLog.size(); ++i)
                EXPECT_EQ(Bits(fastLog[i]), Bits(refLog[i])) << i;
            for (int j = 0; j < m0.nLayer; ++j) {
                EXPECT_EQ(Bits(fastM.fResistivity[j]), Bits(refM.fResistivity[j]))
                    << s0.sArrayName << j;
                EXPECT_EQ(Bits(fastM.fLogResistivity[j]), Bits(refM.fLogResistivity[j]));
            }
            for (int k = 0; k < s0.nData; ++k)
                EXPECT_EQ(Bits(fastS.row[k].fCalculated), Bits(refS.row[k].fCalculated)) << k;
            EXPECT_EQ(Bits(fastMisfit), Bits(SoundingMisfit(refM, refS)));
            EXPECT_LT(fastMisfit, fastLog.front()) << s0.sArrayName << ": the fit improves";
        }
    });
}

// The exact Jacobian differs from the difference quotients by their truncation only, so the
// iteration ends at the same misfit.
TEST(InvertSounding, ExactJacobianReachesTheMisfitOfTheDifferences) {
    const LayerModel truth = Layered({30, 80, 300, 120, 20, 50});
    const std::vector<std::vector<std::pair<float, float>>> arrays = {
        DipoleRows(12),
        {{1.0f, 0.0f}, {2.0f, 0.0f}, {4.0f, 0.0f}, {8.0f, 0.0f}},
        {{0.5f, -1.0f}, {1.0f, -1.0f}, {3.0f, -1.0f}, {6.0f, 2.0f}},
        {{1.25f, 1.0f}, {1.25f, 2.0f}, {2.5f, 3.0f}, {2.5f, 4.0f}, {5.0f, 5.0f}},
    };
    for (const auto& rows : arrays) {
        float misfit[2] = {0, 0};
        std::vector<float> log[2];
        for (int jacobian : {kJacobianDifference, kJacobianExact}) {
            InversionSettings st;
            st.iJacobian = jacobian;
            SoundingData s = Synthetic(truth, rows);
            LayerModel m = Layered({100, 100, 100, 100, 100, 100});
            misfit[jacobian] = InvertSounding(m, s, st, &log[jacobian]);
        }
        ASSERT_EQ(log[1].size(), 10u);
        EXPECT_EQ(Bits(log[1][0]), Bits(log[0][0])) << "the same starting model";
        EXPECT_NEAR(misfit[1] / misfit[0], 1.0, 0.01) << rows.size() << " rows";
        EXPECT_LT(misfit[1], log[1][0]);
    }
}

// One column of 10 dipole-dipole rows (dipole size 1.25 m, N = 1, 3, ... 19) over 30 Ohm-m,
// 3 m thick, on 300 Ohm-m, fitted from a homogeneous start of 10 layers. The deep layers are
// weakly sensitive: a finite difference of their responses in single precision was mostly
// rounding, and two single-precision implementations ended up to 19 % apart.
SoundingData TwoLayerColumn() {
    LayerModel truth;
    truth.nLayer = 2;
    truth.fResistivity = {30.0f, 300.0f};
    truth.fThickness = {3.0f, 1000.0f};
    std::vector<std::pair<float, float>> rows;
    for (int n = 1; n <= 19; n += 2) rows.emplace_back(1.25f, static_cast<float>(n));
    return Synthetic(truth, rows, 0.0f);
}

TEST(InvertSounding, DeepLayersAgreeWithAnIndependentImplementation) {
    const SoundingData s0 = TwoLayerColumn();
    const LayerModel start = StartingModel(s0, 10, 10.0f);
    ASSERT_EQ(start.nLayer, 10);
    for (int iterations : {1, 30}) {
        InversionSettings st;
        st.nIteration = iterations;
        LayerModel program = start, other = start;
        SoundingData s = s0;
        std::vector<float> log;
        CSoundingInverter inverter;
        const float misfit = inverter.Invert(program, s, st, &log);
        const std::vector<double> otherLog = IndependentInvert(other, s0, st);
        EXPECT_EQ(inverter.SkippedUpdates(), 0);
        ASSERT_EQ(log.size() + 1, otherLog.size());
        for (size_t i = 0; i < log.size(); ++i)
            EXPECT_NEAR(log[i] / otherLog[i], 1.0, 1e-4) << "misfit at the start of " << i;
        EXPECT_NEAR(misfit / otherLog.back(), 1.0, 1e-4);
        double worst = 0.0;
        for (int j = 0; j < 10; ++j) {
            const double rel =
                std::abs(double{program.fResistivity[j]} / double{other.fResistivity[j]} - 1.0);
            worst = std::max(worst, rel);
            EXPECT_LT(rel, 1e-4) << "layer " << j << " after " << iterations << ": "
                                 << program.fResistivity[j] << " vs " << other.fResistivity[j];
        }
        std::printf(
            "%d iterations: misfit %.6f (independent %.6f), largest layer difference "
            "%.2e\n",
            iterations, double{misfit}, otherLog.back(), worst);
    }
}

TEST(InvertSounding, StepsToAModelWithoutAPositiveResponseAreSkipped) {
    // Strong random contrasts with a full step and little smoothing: some steps lead to models
    // whose filtered response turns negative somewhere.
    std::mt19937 rng(1);
    std::uniform_real_distribution<float> u(0.0f, 1.0f);
    InversionSettings st;
    st.nIteration = 20;
    st.dAlpha = 1.0;
    st.dRegularization = 0.1;
    const auto tops = LayerBoundaries(10, 10.0f);
    int skipped = 0, soundings = 0;
    for (int t = 0; t < 60; ++t) {
        LayerModel truth;
        truth.nLayer = 10;
        for (int j = 0; j < 10; ++j) {
            truth.fResistivity[j] = std::pow(10.0f, 4.5f * u(rng) - 0.5f);
            truth.fThickness[j] = j < 9 ? tops[j] - tops[j + 1] : 1000.0f;
        }
        SoundingData s;
        s.nData = 10;
        for (int k = 0; k < 10; ++k) {
            s.row[k].fDipoleSize = 0.5f + 3.0f * u(rng);
            s.row[k].fNFactor = static_cast<float>(k + 1);
        }
        SetSoundingDistances(s);
        ForwardModel(truth, s);
        bool usable = true;
        for (int k = 0; k < 10; ++k) {
            usable = usable && s.row[k].fCalculated > 0.0f;
            s.row[k].fObserved = s.row[k].fCalculated * (1.0f + 0.2f * (u(rng) - 0.5f));
        }
        if (!usable) continue;
        ++soundings;
        LayerModel fastM = truth, refM = truth;
        for (int j = 0; j < 10; ++j) fastM.fResistivity[j] = refM.fResistivity[j] = 100.0f;
        SoundingData fastS = s, refS = s;
        std::vector<float> log;
        CSoundingInverter inverter;
        const float misfit = inverter.Invert(fastM, fastS, st, &log);
        skipped += inverter.SkippedUpdates();
        ASSERT_TRUE(std::isfinite(misfit)) << t;
        for (float f : log) ASSERT_TRUE(std::isfinite(f)) << t;
        for (int k = 0; k < 10; ++k) ASSERT_GT(fastS.row[k].fCalculated, 0.0f) << t << " " << k;
        ReferenceInvert(refM, refS, st, nullptr);
        for (int j = 0; j < 10; ++j)
            ASSERT_EQ(Bits(fastM.fResistivity[j]), Bits(refM.fResistivity[j])) << t << " " << j;
    }
    EXPECT_GT(soundings, 50);
    EXPECT_GT(skipped, 0) << "the case this test is about did come up";
}

TEST(SectionInversionRows, ColumnWhoseStartingResponseIsNotANumberIsLeftAsItWas) {
    CTrevascDataOhm store;
    ASSERT_TRUE(store.Initialise(10, 10, 10, 10));
    // A dipole-dipole column (row 0) with a later row of N = 0: that row's distance is 0 and
    // its response not a number.
    store.nColumn = store.nModelColumn = store.nBoundaryColumn = 1;
    store.nLayer = store.nBoundary = 2;
    store.nRow[0] = 2;
    store.fDipoleSize[0][0] = store.fDipoleSize[0][1] = 1.0f;
    store.fNFactor[0][0] = 1.0f;
    store.fNFactor[0][1] = 0.0f;
    store.fObserved[0][0] = store.fObserved[0][1] = 50.0f;
    store.fBoundaryElevation[0][1] = -2.0f;
    store.fLayerResistivity[0][0] = store.fLayerResistivity[0][1] = 50.0f;
    InversionSettings st;
    st.nIteration = 2;
    std::vector<std::string> log;
    const auto r =
        InvertSection(store, st, 1, [&](const std::string& line) { log.push_back(line); });
    EXPECT_EQ(r.nInverted, 0);
    EXPECT_EQ(r.nUnusable, 1);
    EXPECT_EQ(store.fLayerResistivity[0][0], 50.0f);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], " 0 \n") << "no misfits that are not numbers in the log";
}

TEST(InvertSounding, LeavesTheResponseOfTheFinalModelAndLogsOneMisfitPerIteration) {
    InversionSettings st;
    st.nIteration = 4;
    SoundingData s = Synthetic(Layered({20, 200, 50}), DipoleRows(8));
    LayerModel m = Layered({100, 100, 100});
    const float start = SoundingMisfit(m, s);
    std::vector<float> log;
    const float final = InvertSounding(m, s, st, &log);
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log.front(), start) << "each logged misfit belongs to the model at its start";
    SoundingData check = s;
    ForwardModel(m, check);
    for (int k = 0; k < s.nData; ++k)
        EXPECT_EQ(Bits(s.row[k].fCalculated), Bits(check.row[k].fCalculated))
            << "the calculated values belong to the model left behind, not to a trial";
    EXPECT_EQ(final, SoundingMisfit(m, check));
}

TEST(InvertSounding, ZeroIterationsKeepTheModelAndComputeItsResponse) {
    InversionSettings st;
    st.nIteration = 0;
    SoundingData s = Synthetic(Layered({10, 100}), {{1.0f, 0.0f}, {10.0f, 0.0f}});
    LayerModel m = Layered({100, 100});
    std::vector<float> log;
    InvertSounding(m, s, st, &log);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(m.fResistivity[0], 100.0f);
    EXPECT_EQ(s.row[0].fCalculated, 99.9375f);
    EXPECT_EQ(s.row[1].fCalculated, 99.9375f);
}

TEST(InvertSounding, WithoutRegularisationTheStepIsTheDampedGaussNewtonStep) {
    InversionSettings st;
    st.nIteration = 1;
    st.dAlpha = 1.0;
    st.dRegularization = 0.0;
    SoundingData s = Synthetic(Layered({10, 100}), {{1, 0}, {2, 0}, {5, 0}, {10, 0}}, 0.0f);
    const LayerModel start = Layered({30, 60});
    // Jacobian by forward differences and the 2 x 2 damped normal equations by Cramer's rule.
    const LayerModelDouble base = ToDouble(start);
    std::vector<double> c(s.nData), tc[2];
    ForwardModel(base, s, c);
    for (int q = 0; q < 2; ++q) {
        LayerModelDouble t = base;
        t.dResistivity[q] = std::pow(10.0, std::log10(base.dResistivity[q]) + 1e-4);
        tc[q].resize(s.nData);
        ForwardModel(t, s, tc[q]);
    }
    double a11 = 0.01, a12 = 0, a22 = 0.01, b1 = 0, b2 = 0;
    for (int k = 0; k < s.nData; ++k) {
        double d[2];
        for (int q = 0; q < 2; ++q) d[q] = (std::log10(tc[q][k]) - std::log10(c[k])) / 1e-4;
        const double e = std::log10(double{s.row[k].fObserved}) - std::log10(c[k]);
        a11 += d[0] * d[0];
        a12 += d[0] * d[1];
        a22 += d[1] * d[1];
        b1 += d[0] * e;
        b2 += d[1] * e;
    }
    const double det = a11 * a22 - a12 * a12;
    const double step0 = (b1 * a22 - a12 * b2) / det, step1 = (a11 * b2 - a12 * b1) / det;

    LayerModel m = start;
    InvertSounding(m, s, st);
    EXPECT_NEAR(m.fLogResistivity[0], std::log10(30.0) + step0, 1e-6);
    EXPECT_NEAR(m.fLogResistivity[1], std::log10(60.0) + step1, 1e-6);

    st.dRegularization = 1.0;  // the smoothing rows pull the two layers together
    LayerModel r = start;
    InvertSounding(r, s, st);
    EXPECT_LT(r.fLogResistivity[1] - r.fLogResistivity[0],
              m.fLogResistivity[1] - m.fLogResistivity[0]);
}

TEST(InvertSounding, FailedSolvesKeepTheModel) {
    InversionSettings st;
    st.nIteration = 3;
    SoundingData s = Synthetic(Layered({10, 100}), DipoleRows(4));
    LayerModel m = Layered({50});  // one unknown: the solver refuses n < 2
    CSoundingInverter inverter;
    std::vector<float> log;
    inverter.Invert(m, s, st, &log);
    EXPECT_EQ(inverter.SkippedUpdates(), 3);
    EXPECT_EQ(log.size(), 3u);
    EXPECT_EQ(m.fResistivity[0], 50.0f);
    EXPECT_FLOAT_EQ(s.row[0].fCalculated, 50.0f * 0.999375f);

    st.dDifference = 0.0;  // a Jacobian of infinities: no step can be trusted
    LayerModel two = Layered({50, 60});
    inverter.Invert(two, s, st);
    EXPECT_EQ(inverter.SkippedUpdates(), 3);
    EXPECT_EQ(two.fResistivity[1], 60.0f);
}

TEST(InvertSounding, RefusesModelsWithoutALogarithm) {
    SoundingData s = Synthetic(Layered({10, 100}), DipoleRows(4));
    LayerModel m = Layered({-1, -1});
    EXPECT_EQ(InvertSounding(m, s, InversionSettings{}), -1.0f);
    EXPECT_EQ(m.fResistivity[0], -1.0f);
    LayerModel good = Layered({10, 100});
    s.row[2].fObserved = 0.0f;
    EXPECT_EQ(InvertSounding(good, s, InversionSettings{}), -1.0f);
}

TEST(InversionLog, LineHoldsTheColumnAndEveryMisfit) {
    const std::vector<float> misfits = {0.5f, 0.125f};
    EXPECT_EQ(InversionLogLine(3, misfits), " 3  0.500000  0.125000 \n");
    EXPECT_EQ(InversionLogLine(12, {}), " 12 \n");
    EXPECT_EQ(InversionProgressText(4, 120), "column 4 of 120");
}

TEST(ColumnMisfitSummary, MedianAndWorstSkipColumnsWithoutAMisfit) {
    const struct {
        std::vector<float> misfits;
        float median;
        std::vector<int> worst;  // three at most
    } cases[] = {
        {{}, -1.0f, {}},
        {{-1.0f, -1.0f}, -1.0f, {}},
        {{0.3f}, 0.3f, {0}},
        {{0.1f, -1.0f, 0.4f, 0.2f}, 0.2f, {2, 3, 0}},
        {{0.1f, 0.4f, 0.2f, 0.3f, 0.4f}, 0.3f, {1, 4, 3}},  // a tie: the lower column first
        {{0.5f, 0.1f, 0.2f, 0.3f}, 0.25f, {0, 3, 2}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MedianMisfit(c.misfits), c.median) << c.misfits.size();
        EXPECT_EQ(WorstColumns(c.misfits, 3), c.worst) << c.misfits.size();
    }
}

TEST(LsmDialog, ShowsTheAdvancedFieldsOnlyAfterTheButtonAndNeverTheDifference) {
    InversionSettings s;
    s.fMinResistivity = 0.5f;
    CDlgLsm d = CDlgLsm::FromSettings(s);
    EXPECT_EQ(d.DialogName(), "Non-linear LSM parameters");
    EXPECT_EQ(d.fMinResistivity, 500.0f);
    EXPECT_EQ(d.fMaxResistivity, 10000000.0f);
    EXPECT_EQ(d.sMaxUnit, "Ohm-m");
    for (int f = 0; f < kLsmFieldCount; ++f) {
        const auto field = static_cast<LsmField>(f);
        const bool basic = field == LsmField::Iteration || field == LsmField::Alpha ||
                           field == LsmField::Regularization;
        EXPECT_EQ(d.IsVisible(field), basic) << CDlgLsm::Label(field);
        d.ToggleAdvanced();
        EXPECT_EQ(d.IsVisible(field), field != LsmField::Difference) << CDlgLsm::Label(field);
        d.ToggleAdvanced();
    }
    EXPECT_EQ(CDlgLsm::Label(LsmField::Damping), "e =");
    EXPECT_EQ(CDlgLsm::Label(LsmField::Jacobian), "Jacobian");
    EXPECT_EQ(CDlgLsm::Label(LsmField::Difference), "Difference =   *Resistivity ");
    d.fMaxResistivity = 2000.0f;
    d.nIteration = 3;
    d.ToSettings(s);
    EXPECT_EQ(s.fMaxResistivity, 2.0f);
    EXPECT_EQ(s.fMinResistivity, 0.5f);
    EXPECT_EQ(s.nIteration, 3);
}

// ---------------------------------------------------------------------------------------------

class SectionInversion : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(store.Initialise(3000, 100, 3000, 100)); }

    // A model of n layers under nColumn columns, 10 m deep, every layer at rho.
    void SetModel(CTrevascDataOhm& st, int nColumn, int n, float rho) {
        const auto b = LayerBoundaries(n, 10.0f);
        st.nColumn = st.nModelColumn = st.nBoundaryColumn = nColumn;
        st.nLayer = st.nBoundary = n;
        for (int c = 0; c < nColumn; ++c) {
            st.fColumnX[static_cast<size_t>(c)] = static_cast<float>(c);
            for (int j = 0; j < n; ++j) {
                st.fBoundaryElevation[c][j] = b[j];
                st.fLayerResistivity[c][j] = rho;
            }
        }
    }
    // Column c gets rows of the given dipole sizes and N-factors, observed from a model that
    // changes from column to column.
    void SetRows(CTrevascDataOhm& st, int c, const std::vector<std::pair<float, float>>& rows) {
        const float top = 20.0f + 10.0f * static_cast<float>(c % 7);
        const SoundingData s = Synthetic(Layered({top, 150, 60, 400}), rows);
        st.nRow[static_cast<size_t>(c)] = s.nData;
        for (int k = 0; k < s.nData; ++k) {
            st.fObserved[c][k] = s.row[k].fObserved;
            st.fDipoleSize[c][k] = s.row[k].fDipoleSize;
            st.fNFactor[c][k] = s.row[k].fNFactor;
            st.iMarked[c][k] = k == 1 ? 1 : 0;
        }
    }
    void Fill(CTrevascDataOhm& st, int nColumn) {
        SetModel(st, nColumn, 6, 80.0f);
        for (int c = 0; c < nColumn; ++c) {
            if (c % 5 == 3) continue;  // a column without rows
            SetRows(st, c, DipoleRows(3 + c % 9, c % 2 == 0 ? 1.0f : 2.5f));
        }
    }

    CTrevascDataOhm store;
};

TEST_F(SectionInversion, ColumnMisfitsAreThoseOfTheStoredResponses) {
    Fill(store, 6);
    InversionSettings st;
    st.nIteration = 2;
    InvertSection(store, st, 1);
    const std::vector<float> misfit = ColumnMisfits(store);
    ASSERT_EQ(misfit.size(), 6u);
    EXPECT_EQ(misfit[3], -1.0f) << "a column without rows";
    for (int c : {0, 1, 2, 4, 5}) {
        LayerModel m;
        SoundingData s;
        ASSERT_EQ(SetUpSounding(c, store, m, s), kColumnReady);
        std::vector<double> calculated(s.nData);
        for (int k = 0; k < s.nData; ++k) calculated[k] = s.row[k].fCalculated;
        EXPECT_FLOAT_EQ(misfit[c], LogMisfit(s, calculated)) << c;
    }
}

TEST_F(SectionInversion, RowZeroChoosesPolePoleForTheWholeColumn) {
    SetModel(store, 1, 3, 50.0f);
    SetRows(store, 0, {{1.0f, -1.0f}, {2.0f, 3.0f}});
    LayerModel m;
    SoundingData s;
    ASSERT_EQ(SetUpSounding(0, store, m, s), kColumnReady);
    EXPECT_EQ(s.sArrayName, "Pole-pole");
    EXPECT_EQ(s.row[1].fR, (std::array<float, 4>{2.0f, 200000.0f, 200000.0f, 200000.0f}));
    EXPECT_EQ(s.row[1].iMarked, 1);
    ASSERT_EQ(m.nLayer, 3);
    EXPECT_FLOAT_EQ(m.fThickness[0], 10.0f / 2.2f);
    EXPECT_EQ(m.fThickness[2], 1000.0f);
    EXPECT_EQ(m.fResistivity[1], 50.0f);
}

TEST_F(SectionInversion, GeneralRowsTakeTheirDistancesFromTheElectrodes) {
    SetModel(store, 1, 2, 50.0f);
    store.bGeneralArray = 1;
    store.nRow[0] = 1;
    store.fObserved[0][0] = 40.0f;
    store.pElectrode[0][0] = std::make_unique<FourElectrodeGeometry>();
    *store.pElectrode[0][0] = {0.0f, 1.0f, 3.0f, 4.0f};
    LayerModel m;
    SoundingData s;
    ASSERT_EQ(SetUpSounding(0, store, m, s), kColumnReady);
    EXPECT_EQ(s.sArrayName, "General 4 poles");
    EXPECT_EQ(s.row[0].fR, (std::array<float, 4>{4.0f, 3.0f, 3.0f, 2.0f}));  // AN, AM, BN, BM
    EXPECT_GT(s.row[0].electrode.fK, 0.0f);

    store.pElectrode[0][0].reset();
    EXPECT_EQ(SetUpSounding(0, store, m, s), kColumnUnusable);
}

TEST_F(SectionInversion, ColumnsWithoutRowsOrWithoutAModelAreNotReady) {
    SetModel(store, 2, 3, 50.0f);
    store.nColumn = 3;  // column 2 has data but no model column under it
    SetRows(store, 0, DipoleRows(3));
    SetRows(store, 2, DipoleRows(3));
    LayerModel m;
    SoundingData s;
    EXPECT_EQ(SetUpSounding(1, store, m, s), kColumnNoRows);
    EXPECT_EQ(SetUpSounding(2, store, m, s), kColumnUnusable);
    EXPECT_EQ(SetUpSounding(3, store, m, s), kColumnUnusable);
    store.fLayerResistivity[0][1] = -1.0f;
    EXPECT_EQ(SetUpSounding(0, store, m, s), kColumnUnusable);
}

TEST_F(SectionInversion, StoringRebuildsTheBoundariesFromTheThicknesses) {
    SetModel(store, 1, 4, 50.0f);
    SetRows(store, 0, DipoleRows(5));
    LayerModel m;
    SoundingData s;
    ASSERT_EQ(SetUpSounding(0, store, m, s), kColumnReady);
    m.fResistivity[2] = 7.0f;
    s.row[0].fCalculated = 12.5f;
    store.iDataType = 4;
    StoreSounding(0, store, m, s);
    EXPECT_EQ(store.iDataType, 3);
    EXPECT_EQ(store.fLayerResistivity[0][2], 7.0f);
    EXPECT_EQ(store.fCalculated[0][0], 12.5f);
    EXPECT_EQ(store.fBoundaryElevation[0][0], 0.0f);
    const auto b = LayerBoundaries(4, 10.0f);
    for (int j = 1; j < 4; ++j) EXPECT_NEAR(store.fBoundaryElevation[0][j], b[j], 1e-5) << j;
}

TEST_F(SectionInversion, NeitherPathNorThreadCountChangesAnyStoredValueOrTheLog) {
    for (int jacobian : {kJacobianDifference, kJacobianExact}) {
        SCOPED_TRACE(JacobianName(jacobian));
        // The first run (scalar, one thread) is the one every other must equal.
        std::vector<std::vector<std::string>> logs;
        std::vector<std::unique_ptr<CTrevascDataOhm>> stores;
        std::vector<std::string> names;
        InversionSettings st;
        st.nIteration = 3;
        st.iJacobian = jacobian;
        ForEachPath([&](ForwardPath path) {
            for (int threads : {1, 2, 4}) {
                stores.push_back(std::make_unique<CTrevascDataOhm>());
                logs.emplace_back();
                names.push_back(FormatC("%s, %d threads", ForwardPathName(path), threads));
                CTrevascDataOhm& one = *stores.back();
                ASSERT_TRUE(one.Initialise(3000, 100, 3000, 100));
                Fill(one, 23);
                auto& log = logs.back();
                const auto r = InvertSection(one, st, threads,
                                             [&](const std::string& line) { log.push_back(line); });
                EXPECT_EQ(r.nInverted, 19);
                EXPECT_EQ(r.nNoRows, 4);
                EXPECT_EQ(r.nUnusable, 0);
            }
        });
        ASSERT_GE(stores.size(), 6u) << "the scalar and at least one vector path";
        for (size_t i = 1; i < stores.size(); ++i) {
            SCOPED_TRACE(names[i]);
            const CTrevascDataOhm& got = *stores[i];
            const CTrevascDataOhm& want = *stores[0];
            EXPECT_EQ(logs[i], logs[0]);
            for (int c = 0; c < 23; ++c) {
                ASSERT_EQ(got.nRow[c], want.nRow[c]);
                for (int k = 0; k < want.nRow[c]; ++k)
                    ASSERT_EQ(Bits(got.fCalculated[c][k]), Bits(want.fCalculated[c][k]));
                for (int j = 0; j < 6; ++j) {
                    ASSERT_EQ(Bits(got.fLayerResistivity[c][j]),
                              Bits(want.fLayerResistivity[c][j]));
                    ASSERT_EQ(Bits(got.fBoundaryElevation[c][j]),
                              Bits(want.fBoundaryElevation[c][j]));
                }
            }
        }
        ASSERT_EQ(logs[0].size(), 23u);
        EXPECT_EQ(logs[0][3], " 3 \n") << "a column without rows gets a line without misfits";
        EXPECT_EQ(logs[0][4].rfind(" 4  ", 0), 0u);
    }
}

TEST_F(SectionInversion, EachColumnMatchesTheSingleSoundingInversion) {
    Fill(store, 6);
    store.fLayerResistivity[3][0] = -1.0f;  // no rows and no model: left as it is
    InversionSettings st;
    st.nIteration = 2;
    LayerModel m;
    SoundingData s;
    ASSERT_EQ(SetUpSounding(4, store, m, s), kColumnReady);
    ReferenceInvert(m, s, st, nullptr);
    std::vector<int> progress;
    InvertSection(store, st, 1, {}, [&](int i, int n) {
        EXPECT_EQ(n, 6);
        progress.push_back(i);
        return true;
    });
    EXPECT_EQ(progress, (std::vector<int>{0, 1, 2, 3, 4, 5}));
    for (int j = 0; j < 6; ++j)
        EXPECT_EQ(Bits(store.fLayerResistivity[4][j]), Bits(m.fResistivity[j]));
    EXPECT_EQ(store.fLayerResistivity[3][0], -1.0f);
    EXPECT_EQ(store.fLayerResistivity[3][1], 80.0f);
    EXPECT_EQ(store.iDataType, 3);
}

TEST(InversionProgress, TextsNameTheColumnAndWhenKnownTheIterationAndMisfit) {
    EXPECT_EQ(InversionProgressText(0, 202), "column 0 of 202");
    EXPECT_EQ(InversionProgressText(12, 202, 4, 10, 0.03124f),
              "column 12 of 202, iteration 4/10, misfit 0.0312");
    EXPECT_EQ(InversionProgressText(1, 1, 10, 10, 1.5f), "column 1 of 1, iteration 10/10, misfit 1.5000");
}

// With the activity every iteration is posted, on every thread count; with one thread it also
// reaches the progress, whose misfits are those the log keeps.
TEST_F(SectionInversion, ActivityHearsEveryIterationAndItsMisfit) {
    for (int threads : {1, 2}) {
        Fill(store, 3);
        InversionSettings st;
        st.nIteration = 3;
        CInversionActivity activity;
        std::vector<std::string> log;
        std::vector<std::pair<int, float>> heard;  // (column, misfit) at each progress call
        InvertSection(
            store, st, threads, [&](const std::string& line) { log.push_back(line); },
            [&](int, int) {
                const auto at = activity.Read();
                heard.emplace_back(at.iColumn, at.fMisfit);
                return true;
            },
            &activity);
        const CInversionActivity::Latest last = activity.Read();
        EXPECT_EQ(last.iIteration, 3) << threads;
        EXPECT_GE(last.iColumn, 0);
        if (threads != 1) continue;
        EXPECT_EQ(last.iColumn, 2);
        ASSERT_EQ(heard.size(), 3u + 3u * 3u) << "before each column, then per iteration";
        EXPECT_EQ(heard[0].first, -1) << "nothing iterated before the first column";
        // heard[6]: column 1's second iteration (after column 0's report and three
        // iterations, and column 1's report and first), the second misfit of its log line.
        int column = -1;
        float a = 0, b = 0;
        ASSERT_EQ(std::sscanf(log[1].c_str(), " %d  %f  %f", &column, &a, &b), 3) << log[1];
        EXPECT_EQ(heard[6].first, 1);
        EXPECT_NEAR(heard[6].second, b, 2e-6f);
    }
}

TEST_F(SectionInversion, StoppedBetweenColumnsLeavesTheRestUntouched) {
    Fill(store, 8);
    InversionSettings st;
    st.nIteration = 2;
    std::vector<std::string> log;
    std::vector<int> asked;
    const auto r = InvertSection(
        store, st, 1, [&](const std::string& line) { log.push_back(line); },
        [&](int i, int) {
            asked.push_back(i);
            return i < 3;
        });
    EXPECT_TRUE(r.bCancelled);
    EXPECT_EQ(asked, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(log.size(), 3u) << "a log line for each column inverted, none after";
    EXPECT_NE(store.fLayerResistivity[2][0], 80.0f);
    for (int c = 3; c < 8; ++c)
        for (int j = 0; j < 6; ++j) EXPECT_EQ(store.fLayerResistivity[c][j], 80.0f) << c;
    EXPECT_EQ(store.iDataType, 0) << "an unfinished run does not claim its row layout";

    // Stopped at the first report, before any column is touched.
    CTrevascDataOhm fresh;
    ASSERT_TRUE(fresh.Initialise(3000, 100, 3000, 100));
    Fill(fresh, 8);
    EXPECT_TRUE(InvertSection(fresh, st, 1, {}, [](int, int) { return false; }).bCancelled);
    EXPECT_EQ(fresh.fLayerResistivity[0][0], 80.0f);
}

TEST_F(SectionInversion, StoppedWorkerThreadsFinishTheirColumnsAndTakeNoMore) {
    // Far more columns than the workers get through while the calling thread wakes up, even on
    // a loaded machine: some 10 ms a column, seconds for half of them.
    Fill(store, 1000);
    InversionSettings st;
    st.nIteration = 300;
    int reports = 0;
    const auto r = InvertSection(store, st, 3, {}, [&](int done, int n) {
        EXPECT_EQ(n, 1000);
        ++reports;
        return done == 0;  // the first report after a column is done stops the run
    });
    ASSERT_TRUE(r.bCancelled);
    EXPECT_GE(reports, 2) << "reports may come while no column has finished yet";
    int untouched = 0;
    for (int c = 0; c < 1000; ++c) untouched += store.fLayerResistivity[c][0] == 80.0f ? 1 : 0;
    EXPECT_GT(untouched, 500) << "the workers stopped taking columns";
}

TEST_F(SectionInversion, StopReachesAColumnInTheMiddleOfItsIterations) {
    // Each column would take minutes: the stop must not wait for one to finish.
    Fill(store, 4);
    InversionSettings st;
    st.nIteration = 100000000;
    int reports = 0;
    const auto r = InvertSection(store, st, 2, {}, [&](int, int) { return ++reports < 2; });
    EXPECT_TRUE(r.bCancelled);
    EXPECT_EQ(r.nInverted, 0) << "no column ran its iterations to the end";
}

// ---------------------------------------------------------------------------------------------

class InversionCommand : public SectionInversion {
protected:
    void SetUp() override {
        SectionInversion::SetUp();
        folder = std::filesystem::temp_directory_path() /
                 ("gantrel-inversion-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
    }
    void TearDown() override { std::filesystem::remove_all(folder); }
    std::string ReadLog() {
        std::ifstream in(folder / "rms_error.txt", std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    std::filesystem::path folder;
    CScriptedPrompter prompter;
    InversionSettings settings;
};

TEST_F(InversionCommand, WritesOneLogLinePerColumnAndTakesTheDialogValues) {
    Fill(store, 3);
    prompter.PushDialog<CDlgLsm>([](CDlgLsm& d) {
        EXPECT_EQ(d.nIteration, 10);
        EXPECT_FALSE(d.bAdvancedShown);
        EXPECT_EQ(d.iJacobian, kJacobianDifference);
        d.nIteration = 2;
        d.fMinResistivity = 1500.0f;
        d.iJacobian = kJacobianExact;
    });
    std::vector<std::string> progress;
    ASSERT_TRUE(NonLinearInversion(
        store, settings, folder, prompter,
        [&](int, int, const std::string& t) {
            progress.push_back(t);
            return true;
        },
        1));
    EXPECT_EQ(settings.nIteration, 2);
    EXPECT_EQ(settings.fMinResistivity, 1.5f);
    EXPECT_EQ(settings.iJacobian, kJacobianExact);
    EXPECT_EQ(ReadJacobianSetting(), kJacobianExact) << "the choice is kept for the next start";
    WriteJacobianSetting(kJacobianDifference);
    // Before each column its count; once the first column iterates, every iteration with the
    // misfit at its start.
    std::vector<std::string> columns;
    for (const std::string& t : progress)
        if (t.find("iteration") == std::string::npos) columns.push_back(t);
    EXPECT_EQ(columns, (std::vector<std::string>{"column 0 of 3"}));
    ASSERT_EQ(progress.size(), 3u + 3u * 2u);
    EXPECT_EQ(progress[1].rfind("column 0 of 3, iteration 1/2, misfit 0.", 0), 0u) << progress[1];
    EXPECT_EQ(progress[8].rfind("column 2 of 3, iteration 2/2, misfit 0.", 0), 0u) << progress[8];
    EXPECT_EQ(prompter.Messages(), (std::vector<std::string>{"Inversion finished !"}));

    std::istringstream lines(ReadLog());
    std::string line;
    for (int c = 0; c < 3; ++c) {
        ASSERT_TRUE(std::getline(lines, line));
        ASSERT_FALSE(line.empty());
        EXPECT_EQ(line.back(), '\r');
        int column = -1;
        float a = 0, b = 0;
        char rest = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), " %d  %f  %f %c", &column, &a, &b, &rest), 3) << line;
        EXPECT_EQ(column, c);
        EXPECT_EQ(line, FormatC(" %d  %f  %f \r", c, double{a}, double{b}));
    }
    EXPECT_FALSE(std::getline(lines, line));
}

TEST_F(InversionCommand, CancelLeavesAnEmptyLogAndTheStoreAsItWas) {
    Fill(store, 2);
    store.iDataType = 4;
    prompter.PushCancel();
    EXPECT_FALSE(NonLinearInversion(store, settings, folder, prompter));
    EXPECT_TRUE(std::filesystem::exists(folder / "rms_error.txt"));
    EXPECT_EQ(ReadLog(), "");
    EXPECT_EQ(store.fLayerResistivity[0][0], 80.0f);
    EXPECT_EQ(store.iDataType, 4);
    EXPECT_TRUE(prompter.Messages().empty());
}

TEST_F(InversionCommand, StopPutsBackEveryValueTheRunHadChanged) {
    Fill(store, 6);
    store.iDataType = 4;
    for (int c = 0; c < 6; ++c)
        for (int k = 0; k < store.nRow[c]; ++k) store.fCalculated[c][k] = 7.0f;
    CTrevascDataOhm before;
    ASSERT_TRUE(store.SnapshotTo(before));
    prompter.PushDialog<CDlgLsm>([](CDlgLsm& d) { d.nIteration = 3; });
    std::vector<std::string> shown;
    EXPECT_FALSE(NonLinearInversion(
        store, settings, folder, prompter,
        [&](int done, int, const std::string& text) {
            shown.push_back(text);
            return done < 4;
        },
        1));
    EXPECT_EQ(shown.back().rfind("column 4 of 6, ", 0), 0u) << shown.back();
    for (int c = 0; c < 6; ++c) {
        for (int k = 0; k < store.nRow[c]; ++k)
            ASSERT_EQ(Bits(store.fCalculated[c][k]), Bits(before.fCalculated[c][k])) << c;
        for (int j = 0; j < 6; ++j) {
            ASSERT_EQ(Bits(store.fLayerResistivity[c][j]), Bits(before.fLayerResistivity[c][j]));
            ASSERT_EQ(Bits(store.fBoundaryElevation[c][j]), Bits(before.fBoundaryElevation[c][j]));
        }
    }
    EXPECT_EQ(store.iDataType, 4);
    EXPECT_EQ(settings.nIteration, 3) << "the parameters entered are kept for the next run";
    EXPECT_EQ(prompter.Messages(), (std::vector<std::string>{InversionCancelledMessage()}));
}

TEST_F(InversionCommand, RunsWithoutTheLogWhenItCannotBeCreated) {
    Fill(store, 2);
    prompter.PushAccept();
    ASSERT_TRUE(NonLinearInversion(store, settings, folder / "missing", prompter, {}, 2));
    EXPECT_NE(store.fLayerResistivity[0][0], 80.0f);
    EXPECT_EQ(prompter.Messages(), (std::vector<std::string>{"Inversion finished !"}));
}

TEST_F(InversionCommand, TellsHowManyColumnsCouldNotBeUsed) {
    Fill(store, 3);
    store.fObserved[1][0] = 0.0f;
    prompter.PushAccept();
    ASSERT_TRUE(NonLinearInversion(store, settings, folder, prompter, {}, 1));
    EXPECT_EQ(prompter.Messages(),
              (std::vector<std::string>{
                  "Columns left as they were: 1. They have no model under them, or a data or "
                  "model resistivity that is not above 0.",
                  "Inversion finished !"}));
    EXPECT_EQ(store.fLayerResistivity[1][0], 80.0f);
}

}  // namespace

namespace {

TEST_F(InversionCommand, RefusesNonsensicalParametersUntilTheyAreSound) {
    Fill(store, 2);
    const auto edit = [this](std::function<void(CDlgLsm&)> f) { prompter.PushDialog<CDlgLsm>(f); };
    edit([](CDlgLsm& d) { d.nIteration = -1; });
    edit([](CDlgLsm& d) { d.nIteration = 2147483647; });
    edit([](CDlgLsm& d) {
        d.nIteration = 2;
        d.dAlpha = -0.2;
    });
    edit([](CDlgLsm& d) { d.dAlpha = 1e10; });
    edit([](CDlgLsm& d) {
        d.dAlpha = 0.5;
        d.dDamping = 1e308;
    });
    edit([](CDlgLsm& d) { d.dDamping = std::nan(""); });
    edit([](CDlgLsm& d) {
        d.dDamping = 0.0;
        d.dRegularization = -1.0;
    });
    edit([](CDlgLsm& d) {
        EXPECT_EQ(d.dRegularization, -1.0) << "the dialog comes back with what was entered";
        d.dRegularization = std::numeric_limits<double>::infinity();
    });
    edit([](CDlgLsm& d) { d.dRegularization = 0.5; });
    ASSERT_TRUE(NonLinearInversion(store, settings, folder, prompter, {}, 1));
    const std::string iterations =
        "The number of iterations must be from 0 to 1000. Enter a number of iterations in that "
        "range.";
    const std::string alpha =
        "Alpha (the step factor) must be greater than 0 and less than 2: 0 never changes the "
        "model and a larger factor overshoots. Enter an Alpha in that range.";
    const std::string damping =
        "e (the damping) must be from 0 to 10000. Enter a value in that "
        "range.";
    const std::string regularization =
        "Regularization must be from 0 to 10000. Enter a value in that range.";
    EXPECT_EQ(prompter.Messages(),
              (std::vector<std::string>{iterations, iterations, alpha, alpha, damping, damping,
                                        regularization, regularization, "Inversion finished !"}));
    EXPECT_EQ(settings.nIteration, 2);
    EXPECT_EQ(settings.dAlpha, 0.5);
    EXPECT_EQ(settings.dDamping, 0.0) << "no damping is sound: the smoothing rows keep the "
                                         "normal matrix regular";
    EXPECT_EQ(settings.dRegularization, 0.5);
    EXPECT_NE(store.fLayerResistivity[0][0], 80.0f);
}

TEST_F(InversionCommand, CancelAfterARefusalKeepsTheSettingsAndTheStore) {
    Fill(store, 2);
    prompter.PushDialog<CDlgLsm>([](CDlgLsm& d) { d.nIteration = -3; });
    prompter.PushCancel();
    EXPECT_FALSE(NonLinearInversion(store, settings, folder, prompter, {}, 1));
    EXPECT_EQ(settings.nIteration, 10);
    EXPECT_EQ(store.fLayerResistivity[0][0], 80.0f);
    EXPECT_EQ(ReadLog(), "");
}

TEST_F(InversionCommand, SkippedUpdatesAreReportedAfterTheFinish) {
    SetModel(store, 3, 1, 80.0f);  // one unknown: no normal equations can be solved
    for (int c = 0; c < 3; ++c) SetRows(store, c, DipoleRows(4));
    prompter.PushDialog<CDlgLsm>([](CDlgLsm& d) { d.nIteration = 2; });
    SectionInversionResult result;
    ASSERT_TRUE(NonLinearInversion(store, settings, folder, prompter, {}, 2, &result));
    EXPECT_EQ(prompter.Messages(),
              (std::vector<std::string>{
                  "Inversion finished !",
                  "Updates skipped: 6 of 6 iterations, in 3 of 3 columns (columns 0, 1, 2). A "
                  "skipped iteration keeps its model: its normal equations could not be solved "
                  "(a single layer, or a pivot below the tolerance), or its step led to a "
                  "resistivity or a response that is not a positive number. In 3 columns every "
                  "update was skipped: their models are the starting models."}));
    EXPECT_TRUE(result.NothingFitted());
    EXPECT_EQ(store.fLayerResistivity[1][0], 80.0f);
    EXPECT_FLOAT_EQ(store.fCalculated[1][0], 80.0f * 0.999375f) << "the model's response";
}

TEST(SkippedUpdatesMessage, NamesTheFirstColumnsAndCountsTheRest) {
    SectionInversionResult r;
    r.nInverted = 40;
    r.nIterations = 400;
    EXPECT_EQ(SkippedUpdatesMessage(r), "");
    EXPECT_FALSE(r.NothingFitted());
    r.nSkippedUpdates = 1;
    r.nColumnsSkipping = 1;
    r.skippingColumns = {17};
    EXPECT_EQ(SkippedUpdatesMessage(r).rfind(
                  "Updates skipped: 1 of 400 iterations, in 1 of 40 columns (column 17). ", 0),
              0u)
        << SkippedUpdatesMessage(r);
    r.nSkippedUpdates = 25;
    r.nColumnsSkipping = 13;
    r.skippingColumns = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    EXPECT_NE(SkippedUpdatesMessage(r).find("(columns 0, 1, 2, 3, 4, 5, 6, 7, 8, 9 and 3 more)"),
              std::string::npos);
    EXPECT_EQ(SkippedUpdatesMessage(r).find("every update"), std::string::npos);
}

TEST_F(SectionInversion, ResultCountsSkippedUpdatesPerColumn) {
    SetModel(store, 3, 3, 80.0f);
    SetRows(store, 0, DipoleRows(5));
    SetRows(store, 2, DipoleRows(5));
    store.nLayer = 1;  // column 1 is left without rows; the others cannot solve one unknown
    InversionSettings st;
    st.nIteration = 4;
    const SectionInversionResult r = InvertSection(store, st, 1);
    EXPECT_EQ(r.nInverted, 2);
    EXPECT_EQ(r.nNoRows, 1);
    EXPECT_EQ(r.nIterations, 8);
    EXPECT_EQ(r.nSkippedUpdates, 8);
    EXPECT_EQ(r.nColumnsSkipping, 2);
    EXPECT_EQ(r.nColumnsAllSkipped, 2);
    EXPECT_EQ(r.skippingColumns, (std::vector<int>{0, 2}));
    EXPECT_TRUE(r.NothingFitted());

    store.nLayer = 3;
    const SectionInversionResult fitted = InvertSection(store, st, 2);
    EXPECT_EQ(fitted.nSkippedUpdates, 0);
    EXPECT_FALSE(fitted.NothingFitted());
}

}  // namespace
