#include "common/forward_model.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <random>

#include "common/resistivity.h"

namespace {

LayerModel Model(std::initializer_list<float> rho, std::initializer_list<float> h) {
    LayerModel m;
    m.nLayer = static_cast<int>(rho.size());
    int i = 0;
    for (float r : rho) {
        m.fResistivity[i] = r;
        m.fLogResistivity[i] = std::log10(r);
        ++i;
    }
    i = 0;
    for (float t : h) m.fThickness[i++] = t;
    return m;
}

// Dipole-mode rows (dipole size, N-factor), distances set as a column would have them.
SoundingData DipoleRows(std::initializer_list<std::pair<float, float>> rows) {
    SoundingData s;
    for (auto [a, n] : rows) {
        s.row[s.nData].fDipoleSize = a;
        s.row[s.nData].fNFactor = n;
        ++s.nData;
    }
    SetSoundingDistances(s);
    return s;
}

// Two-layer earth by the image series: rho1 * sum(+-G(r)) / sum(+-1/r) with
// G(r) = 1/r + 2 sum_n k^n / sqrt(r^2 + (2nh)^2), k = (rho2 - rho1) / (rho2 + rho1).
double TwoLayerImageSeries(double rho1, double rho2, double h, const std::array<float, 4>& r) {
    const double k = (rho2 - rho1) / (rho2 + rho1);
    const double sign[4] = {1, -1, -1, 1};
    double g = 0, geometry = 0;
    for (int a = 0; a < 4; ++a) {
        double s = 1.0 / r[a];
        double kn = k;
        for (int n = 1; std::abs(kn) > 1e-17; ++n, kn *= k) {
            s += 2.0 * kn / std::hypot(static_cast<double>(r[a]), 2.0 * n * h);
        }
        g += sign[a] * s;
        geometry += sign[a] / r[a];
    }
    return rho1 * g / geometry;
}

TEST(ForwardModel, HomogeneousEarthGivesWeightSumForEveryArray) {
    const LayerModel model = Model({100, 100, 100}, {0.7f, 2.5f});
    SoundingData general;
    general.bGeneralArray = 1;
    general.nData = 1;
    general.row[0].electrode = {0.0f, 2.5f, 10.0f, 12.5f};
    CompleteElectrodes(general.row[0].electrode);
    SetSoundingDistances(general);
    for (SoundingData s : {DipoleRows({{1, 0}, {7.5f, 0}}), DipoleRows({{2.5f, -1}}),
                           DipoleRows({{1.25f, 1}, {2.5f, 3}, {5, 6}}), general}) {
        ASSERT_EQ(ForwardModel(model, s), 1);
        for (int k = 0; k < s.nData; ++k) {
            EXPECT_NEAR(s.row[k].fCalculated, 99.9375f, 2e-5f) << s.sArrayName << " row " << k;
        }
    }
}

TEST(ForwardModel, TwoLayerWennerGivesKnownValues) {
    SoundingData s = DipoleRows({{1, 0}, {10, 0}});
    ASSERT_EQ(ForwardModel(Model({10, 100}, {1, 1000}), s), 1);
    EXPECT_NEAR(s.row[0].fCalculated, 13.76f, 0.005f);
    EXPECT_NEAR(s.row[1].fCalculated, 62.97f, 0.005f);
}

// Wenner, pole-pole and dipole-dipole N = 1..10 at spacing/thickness 0.1..20. The short
// filter (three points a decade) is least accurate over a conductive basement, where the
// apparent resistivity falls towards the basement's; each tolerance sits just above the
// worst deviation the filter shows for its contrast.
TEST(ForwardModel, AgreesWithTwoLayerImageSeries) {
    const struct {
        double contrast, tolerance;
    } cases[] = {{0.01, 0.21}, {0.1, 0.016}, {0.3, 0.004}, {3, 0.004}, {10, 0.006}, {100, 0.025}};
    for (const auto& c : cases) {
        const LayerModel model = Model({100.0f, static_cast<float>(100 * c.contrast)}, {1});
        double worst = 0;
        for (int step = 0; step <= 46; ++step) {
            const float a = static_cast<float>(0.1 * std::pow(10.0, step / 20.0));  // h = 1
            for (SoundingData s : {DipoleRows({{a, 0}}), DipoleRows({{a, -1}}),
                                   DipoleRows({{a, 1}, {a, 2}, {a, 3}, {a, 4}, {a, 6}, {a, 10}})}) {
                ForwardModel(model, s);
                for (int k = 0; k < s.nData; ++k) {
                    const double exact =
                        TwoLayerImageSeries(100.0, 100 * c.contrast, 1.0, s.row[k].fR);
                    const double rel = std::abs(s.row[k].fCalculated / exact - 1.0);
                    worst = std::max(worst, rel);
                    EXPECT_LT(rel, c.tolerance) << s.sArrayName << " row " << k << ", a/h " << a
                                                << ", contrast " << c.contrast;
                }
            }
        }
        std::printf("contrast %g: largest relative difference from the image series %.4f\n",
                    c.contrast, worst);
    }
}

TEST(ForwardModel, RefusesModelOrRowsOutsideCapacity) {
    SoundingData s = DipoleRows({{1, 1}});
    s.row[0].fCalculated = -7;
    for (int n : {0, -1, kMaxModelLayers + 1}) {
        LayerModel m = Model({100}, {});
        m.nLayer = n;
        EXPECT_EQ(ForwardModel(m, s), 0);
        EXPECT_EQ(SoundingMisfit(m, s), -1.0f);
    }
    for (int rows : {-1, kMaxSoundingRows + 1}) {
        s.nData = rows;
        EXPECT_EQ(ForwardModel(Model({100}, {}), s), 0);
    }
    EXPECT_EQ(s.row[0].fCalculated, -7);
}

TEST(SoundingMisfit, IsRootMeanSquareOfLogResiduals) {
    SoundingData s = DipoleRows({{1, 1}, {1, 2}});
    s.row[0].fObserved = 999.375f;  // ten times the calculated 99.9375
    s.row[1].fObserved = 9.99375f;  // a tenth of it
    EXPECT_NEAR(SoundingMisfit(Model({100}, {}), s), 1.0f, 1e-6f);
    s.nData = 0;
    EXPECT_EQ(SoundingMisfit(Model({100}, {}), s), 0.0f);
}

TEST(SetSoundingDistances, RowZeroNFactorDecidesTheWholeColumn) {
    SoundingData s = DipoleRows({{2, -1}, {3, 2}});
    EXPECT_EQ(s.sArrayName, "Pole-pole");
    EXPECT_EQ(s.row[1].fR, (std::array<float, 4>{3, 300000, 300000, 300000}));
    s = DipoleRows({{2, 0}, {3, 2}});
    EXPECT_EQ(s.sArrayName, "Wenner");
    EXPECT_EQ(s.row[1].fR, (std::array<float, 4>{3, 6, 6, 3}));
    s = DipoleRows({{2.5f, 3}, {1.25f, 0.5f}});
    EXPECT_EQ(s.sArrayName, "Dipole-dipole");
    EXPECT_EQ(s.row[0].fR, (std::array<float, 4>{12.5f, 10, 10, 7.5f}));
    EXPECT_EQ(s.row[1].fR, (std::array<float, 4>{3.125f, 1.875f, 1.875f, 0.625f}));
}

TEST(SetSoundingDistances, GeneralModeTakesAnAmBnBm) {
    SoundingData s;
    s.bGeneralArray = 1;
    s.nData = 1;
    s.row[0].electrode = {0.0f, 1.0f, 4.0f, 6.0f};
    CompleteElectrodes(s.row[0].electrode);
    SetSoundingDistances(s);
    EXPECT_EQ(s.sArrayName, "General 4 poles");
    EXPECT_EQ(s.row[0].fR, (std::array<float, 4>{6, 4, 5, 3}));
}

// Random columns of every kind (repeated and distinct distances) and random models.
class RandomColumns : public ::testing::Test {
protected:
    std::mt19937 rng{20240611};
    float Uniform(float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); }

    SoundingData Column() {
        SoundingData s;
        const int kind = static_cast<int>(rng() % 4);
        s.nData = 1 + static_cast<int>(rng() % 20);
        for (int k = 0; k < s.nData; ++k) {
            SoundingRow& row = s.row[k];
            row.fDipoleSize = (kind == 3) ? Uniform(0.2f, 30.0f) : 1.25f * (1 + rng() % 4);
            row.fNFactor = (kind == 0) ? 0.0f : (kind == 1) ? -1.0f : 1.0f + rng() % 8;
            // Electrodes anywhere, so that any of r0..r3 may be the longest distance.
            row.electrode = {Uniform(0, 60), Uniform(0, 60), Uniform(0, 60), Uniform(0, 60)};
            CompleteElectrodes(row.electrode);
        }
        s.bGeneralArray = (kind == 3) ? 1 : 0;
        SetSoundingDistances(s);
        return s;
    }

    LayerModel RandomModel(int n) {
        LayerModel m;
        m.nLayer = n;
        for (int i = 0; i < n; ++i) {
            m.fResistivity[i] = std::pow(10.0f, Uniform(-0.5f, 4.0f));
            m.fLogResistivity[i] = std::log10(m.fResistivity[i]);
            m.fThickness[i] = Uniform(0.05f, 8.0f);
        }
        return m;
    }
};

void ExpectSameBits(std::span<const double> reference, std::span<const double> fast, int q) {
    for (size_t k = 0; k < reference.size(); ++k) {
        EXPECT_EQ(std::bit_cast<std::uint64_t>(reference[k]), std::bit_cast<std::uint64_t>(fast[k]))
            << "row " << k << " layer " << q << ": " << reference[k] << " vs " << fast[k];
    }
}

void ExpectSameBits(const SoundingData& reference, std::span<const float> fast, int q) {
    for (int k = 0; k < reference.nData; ++k) {
        EXPECT_EQ(std::bit_cast<std::uint32_t>(reference.row[k].fCalculated),
                  std::bit_cast<std::uint32_t>(fast[k]))
            << "row " << k << " layer " << q << ": " << reference.row[k].fCalculated << " vs "
            << fast[k];
    }
}

// The prepared forward model on one instruction set; paths the processor lacks are skipped.
class PathColumns : public RandomColumns, public ::testing::WithParamInterface<ForwardPath> {
protected:
    void SetUp() override {
        if (!ForwardPathAvailable(GetParam()))
            GTEST_SKIP() << ForwardPathName(GetParam()) << " is not available here";
        ASSERT_TRUE(SetForwardPath(GetParam()));
    }
    void TearDown() override { SetForwardPath(BestForwardPath()); }
};

INSTANTIATE_TEST_SUITE_P(EveryPath, PathColumns,
                         ::testing::Values(ForwardPath::Scalar, ForwardPath::Avx2,
                                           ForwardPath::Avx512),
                         [](const auto& info) {
                             return std::string(info.param == ForwardPath::Scalar ? "Scalar"
                                                : info.param == ForwardPath::Avx2 ? "Avx2"
                                                                                  : "Avx512");
                         });

TEST_P(PathColumns, ResponseAndPerturbationsMatchReferenceBitForBit) {
    CSoundingForward fast;
    std::vector<double> out(kMaxSoundingRows), want;
    for (int trial = 0; trial < 30; ++trial) {
        SoundingData s = Column();
        const int n = (trial == 0) ? kMaxModelLayers : 1 + static_cast<int>(rng() % 20);
        LayerModelDouble model = ToDouble(RandomModel(n));
        want.resize(s.nData);
        ASSERT_EQ(fast.Setup(s, model), 1);
        ASSERT_EQ(fast.Path(), GetParam());
        for (int iteration = 0; iteration < 2; ++iteration) {
            ASSERT_EQ(fast.Response(model, out), 1);
            ASSERT_EQ(ForwardModel(model, s, want), 1);
            ExpectSameBits(want, std::span(out).first(s.nData), -1);
            // Trial steps as the Jacobian takes them, a large one, and no change at all.
            for (int q = 0; q < n; q += (n > 25 && q > 0 && q < n - 3) ? 24 : 1) {
                for (double step : {1e-4, 0.7, 0.0}) {
                    LayerModelDouble perturbed = model;
                    perturbed.dResistivity[q] =
                        std::pow(10.0, std::log10(model.dResistivity[q]) + step);
                    ASSERT_EQ(fast.PerturbedResponse(q, perturbed.dResistivity[q], out), 1);
                    ForwardModel(perturbed, s, want);
                    ExpectSameBits(want, std::span(out).first(s.nData), q);
                }
            }
            // Values no float holds: the base model is double precision too.
            for (int i = 0; i < n; ++i) model.dResistivity[i] *= Uniform(0.5f, 2.0f) + 1e-12;
        }
        if (HasFailure()) return;
    }
}

TEST_F(RandomColumns, FloatModelGivesTheDoubleResponseRoundedOnce) {
    for (int trial = 0; trial < 10; ++trial) {
        SoundingData s = Column();
        const LayerModel model = RandomModel(1 + static_cast<int>(rng() % 12));
        std::vector<double> exact(s.nData);
        ASSERT_EQ(ForwardModel(ToDouble(model), s, exact), 1);
        ASSERT_EQ(ForwardModel(model, s), 1);
        for (int k = 0; k < s.nData; ++k) {
            EXPECT_EQ(s.row[k].fCalculated, static_cast<float>(exact[k]));
            EXPECT_EQ(ApparentResistivity(model, s.row[k].fR), exact[k]);
        }
        CSoundingForward fast;
        ASSERT_EQ(fast.Setup(s, model), 1);
        SoundingData viaFast = s;
        ASSERT_EQ(fast.Response(model, viaFast), 1);
        for (int k = 0; k < s.nData; ++k)
            EXPECT_EQ(viaFast.row[k].fCalculated, s.row[k].fCalculated);
    }
}

// The next column usually has the same distances in another order or fewer rows, and the
// prepared values are kept; other distances or thicknesses must replace them.
TEST_P(PathColumns, SetupForNextColumnGivesReferenceValues) {
    CSoundingForward fast;
    const LayerModel model = RandomModel(12);
    SoundingData first = DipoleRows({{1.25f, 1}, {1.25f, 2}, {2.5f, 1}, {2.5f, 2}});
    SoundingData fewer = DipoleRows({{2.5f, 2}, {1.25f, 1}, {2.5f, 1}});
    SoundingData other = DipoleRows({{5, 1}, {5, 4}});
    LayerModel thicker = model;
    thicker.fThickness[3] *= 2;
    for (auto [s, m] : {std::pair{first, model},
                        {fewer, model},
                        {other, model},
                        {other, thicker},
                        {first, model}}) {
        ASSERT_EQ(fast.Setup(s, m), 1);
        ASSERT_EQ(fast.Response(m, s), 1);
        std::vector<float> got(s.nData);
        for (int k = 0; k < s.nData; ++k) got[k] = s.row[k].fCalculated;
        ForwardModel(m, s);
        ExpectSameBits(s, got, -1);
    }
}

// d log10(response) / d log10(rho_q) from the derivative of the recurrence, against central
// differences of the plain forward model, on the forward model's edge cases and random
// layerings (insensitive entries, below 1e-4, to 1e-8: there the difference quotient is
// mostly rounding); and the sum over layers is 1, since scaling every resistivity scales the
// response by the same factor.
TEST_P(PathColumns, DerivativesAgreeWithDifferencesOfThePlainModel) {
    SoundingData general;
    general.bGeneralArray = 1;
    general.nData = 2;
    general.row[0].electrode = {0.0f, 2.5f, 10.0f, 12.5f};
    general.row[1].electrode = {3.0f, 41.0f, 0.5f, 17.0f};
    for (int k = 0; k < 2; ++k) CompleteElectrodes(general.row[k].electrode);
    SetSoundingDistances(general);
    struct Case {
        LayerModel model;
        SoundingData rows;
    };
    std::vector<Case> cases = {
        {Model({100, 100, 100}, {0.7f, 2.5f}), DipoleRows({{1, 0}, {7.5f, 0}})},
        {Model({100, 100, 100}, {0.7f, 2.5f}), DipoleRows({{2.5f, -1}, {5, -1}})},
        {Model({100, 100, 100}, {0.7f, 2.5f}), general},
        {Model({10, 100}, {1}), DipoleRows({{1, 0}, {10, 0}})},
        {Model({100, 1}, {1}), DipoleRows({{1.25f, 1}, {2.5f, 3}, {5, 6}})},
        {Model({30, 300, 5, 80}, {0.4f, 2, 6}), DipoleRows({{1.25f, 1}, {2.5f, 4}, {5, 8}})},
    };
    for (int trial = 0; trial < 6; ++trial) cases.push_back({RandomModel(2 + trial * 3), Column()});
    for (const Case& c : cases) {
        const LayerModelDouble model = ToDouble(c.model);
        const int n = model.nLayer, m = c.rows.nData;
        CSoundingForward fast;
        std::vector<double> base(m), derivative(n * m), up(m), down(m);
        ASSERT_EQ(fast.Setup(c.rows, model), 1);
        EXPECT_EQ(fast.Derivatives(derivative), 0) << "no base response yet";
        ASSERT_EQ(fast.Response(model, base), 1);
        EXPECT_EQ(fast.Derivatives(std::span(derivative).first(n * m - 1)), 0);
        ASSERT_EQ(fast.Derivatives(derivative), 1);
        constexpr double h = 1e-3;  // in log10 rho
        std::vector<double> sum(m, 0.0);
        for (int q = 0; q < n; ++q) {
            LayerModelDouble raised = model, lowered = model;
            raised.dResistivity[q] *= std::pow(10.0, h);
            lowered.dResistivity[q] *= std::pow(10.0, -h);
            ForwardModel(raised, c.rows, up);
            ForwardModel(lowered, c.rows, down);
            for (int k = 0; k < m; ++k) {
                const double want = (std::log10(up[k]) - std::log10(down[k])) / (2 * h);
                const double got = model.dResistivity[q] * derivative[q * m + k] / base[k];
                sum[k] += got;
                EXPECT_NEAR(got, want, 1e-4 * std::abs(want) + 1e-8)
                    << c.rows.sArrayName << " layers " << n << " row " << k << " layer " << q;
            }
        }
        for (int k = 0; k < m; ++k) EXPECT_NEAR(sum[k], 1.0, 1e-9) << c.rows.sArrayName << k;
        if (HasFailure()) return;
    }
}

TEST(SoundingForward, RefusesMismatchedOrMissingInput) {
    CSoundingForward fast;
    const LayerModelDouble model = ToDouble(Model({10, 100, 30}, {1, 2}));
    SoundingData s = DipoleRows({{1, 1}, {1, 2}});
    std::vector<double> out(2, -7.0);
    EXPECT_EQ(fast.Response(model, out), 0);  // never set up
    ASSERT_EQ(fast.Setup(s, model), 1);
    EXPECT_EQ(fast.nDistance(), 4);                    // 3a, 2a, a; 4a, 3a, 2a
    EXPECT_EQ(fast.PerturbedResponse(0, 20, out), 0);  // no base response yet
    LayerModelDouble other = model;
    other.dThickness[1] = 2.5;
    EXPECT_EQ(fast.Response(other, out), 0);
    other.dThickness[1] = std::nextafter(2.0, 3.0);  // no float, but another thickness
    EXPECT_EQ(fast.Response(other, out), 0);
    other = ToDouble(Model({10, 100}, {1}));
    EXPECT_EQ(fast.Response(other, out), 0);
    EXPECT_EQ(fast.Response(model, std::span<double>(out.data(), 1)), 0);
    EXPECT_EQ(out, std::vector<double>(2, -7.0));
    other = model;
    other.dThickness[2] = 55;  // the half-space's thickness is never read
    ASSERT_EQ(fast.Response(other, out), 1);
    EXPECT_EQ(fast.PerturbedResponse(3, 20, out), 0);
    EXPECT_EQ(fast.PerturbedResponse(-1, 20, out), 0);
    std::vector<double> shortOut(1);
    EXPECT_EQ(ForwardModel(model, s, shortOut), 0);
    s.nData = kMaxSoundingRows + 1;
    EXPECT_EQ(fast.Setup(s, model), 0);
    EXPECT_EQ(fast.Response(model, out), 0);
}

}  // namespace
