#include "common/resistivity.h"

#include <gtest/gtest.h>

#include <cmath>

#include "common/memory_settings.h"
#include "common/settings.h"

namespace {

// Expected values below were computed independently, emulating every single-precision
// rounding step of the formulas, and are compared bit for bit.

CGantrelData Reading(int n, float v) {
    CGantrelData d;
    d.nReceiver = n;
    for (int i = 0; i < n; ++i) d.fResistance[i] = v;
    return d;
}

CGantrelGeometry Geometry(float at, float ar, float rope, int different = 0) {
    CGantrelGeometry g = CGantrelGeometry::Initial();
    g.fTransmitterDipole = at;
    g.fReceiverDipole = ar;
    g.fRopeLength = rope;
    g.bDifferentSize = different;
    return g;
}

TEST(ApparentResistivity, SameSizeDefaultGeometryIsBitExact) {
    CGantrelGeometry g = Geometry(2.5f, 2.5f, 0.0f);
    CGantrelData d = Reading(5, 1.0f);
    EXPECT_EQ(ComputeResistivity(d, g), 1);
    const float rho[5] = {0.418233246f, 3.00885177f, 8.12076283f, 16.7278633f, 29.7103024f};
    const float depth[5] = {0.625f, 0.9375f, 1.25f, 1.5625f, 1.875f};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(d.fResistivity[i], rho[i]) << "receiver " << i;
        EXPECT_EQ(d.fNFactor[i], static_cast<float>(i + 1)) << "receiver " << i;
        EXPECT_EQ(d.fDepth[i], depth[i]) << "receiver " << i;
    }
    EXPECT_EQ(g.bDifferentSize, 0);
}

TEST(ApparentResistivity, SameSizeWithRopeIsBitExact) {
    CGantrelGeometry g = Geometry(5.0f, 5.0f, 7.5f);
    CGantrelData d = Reading(5, 0.1234f);
    ComputeResistivity(d, g);
    const float rho[5] = {4.77052021f, 8.46846867f, 13.6617603f, 20.5998077f, 29.5319481f};
    const float depth[5] = {3.125f, 3.75f, 4.375f, 5.0f, 5.625f};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(d.fResistivity[i], rho[i]) << "receiver " << i;
        EXPECT_EQ(d.fNFactor[i], static_cast<float>(i + 4)) << "receiver " << i;
        EXPECT_EQ(d.fDepth[i], depth[i]) << "receiver " << i;
    }
}

TEST(ApparentResistivity, SameSizeLeavesElectrodesUntouched) {
    CGantrelGeometry g = Geometry(2.5f, 2.5f, 0.0f);
    CGantrelData d = Reading(2, 1.0f);
    d.electrode[0].fM = 123.0f;
    ComputeResistivity(d, g);
    EXPECT_EQ(d.electrode[0].fM, 123.0f);
}

TEST(ApparentResistivity, DifferentSizeElectrodesAndFactors) {
    CGantrelGeometry g = Geometry(5.0f, 2.5f, 0.0f, 0);
    CGantrelData d = Reading(5, 1.0f);
    ComputeResistivity(d, g);
    EXPECT_EQ(g.bDifferentSize, 1) << "unequal dipoles switch the geometry to different sizes";
    const FourElectrodeGeometry& e = d.electrode[0];
    EXPECT_EQ(e.fA, 0.0f);
    EXPECT_EQ(e.fB, 2.5f);
    EXPECT_EQ(e.fM, 4.375f);
    EXPECT_EQ(e.fN, 5.625f);
    EXPECT_EQ(e.fAN, 5.625f);
    EXPECT_EQ(e.fBM, 1.875f);
    EXPECT_EQ(e.fBN, 3.125f);
    EXPECT_EQ(e.fAM, 4.375f);
    const float fK[5] = {38.6563187f, 106.304863f, 221.11412f, 394.846649f, 639.275513f};
    const float rho[5] = {1.93281591f, 5.31524324f, 11.055706f, 19.7423325f, 31.9637756f};
    const float depth[5] = {0.9375f, 1.25f, 1.5625f, 1.875f, 2.1875f};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(d.electrode[i].fK, fK[i]) << "receiver " << i;
        EXPECT_EQ(d.fResistivity[i], rho[i]) << "receiver " << i;
        EXPECT_EQ(d.fDepth[i], depth[i]) << "receiver " << i;
        EXPECT_EQ(d.electrode[i].fN - d.electrode[i].fM, 1.25f);
    }
}

TEST(ApparentResistivity, DifferentSizeWithRopeIsBitExact) {
    CGantrelGeometry g = Geometry(10.0f, 2.5f, 3.0f, 1);
    CGantrelData d = Reading(5, 0.05f);
    ComputeResistivity(d, g);
    const float M[5] = {11.125f, 12.375f, 13.625f, 14.875f, 16.125f};
    const float rho[5] = {0.844853699f, 1.2835815f, 1.84612775f, 2.54718423f, 3.4014554f};
    const float depth[5] = {2.3125f, 2.625f, 2.9375f, 3.25f, 3.5625f};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(d.electrode[i].fM, M[i]);
        EXPECT_EQ(d.fResistivity[i], rho[i]) << "receiver " << i;
        EXPECT_EQ(d.fDepth[i], depth[i]) << "receiver " << i;
    }
}

TEST(ApparentResistivity, GeometricFactorMatchesPointElectrodeFormula) {
    // Independent check in long double: K = 2 pi / (1/BM + 1/AN - 1/BN - 1/AM).
    for (float at : {1.0f, 2.5f, 5.0f, 10.0f, 40.0f}) {
        for (float ar : {1.0f, 2.0f, 2.5f, 15.0f}) {
            for (float rope : {0.0f, 2.0f, 12.5f}) {
                if (at == ar) continue;
                CGantrelGeometry g = Geometry(at, ar, rope, 1);
                CGantrelData d = Reading(5, 1.0f);
                ComputeResistivity(d, g);
                for (int i = 0; i < 5; ++i) {
                    const long double A = 0, B = at / 2.0L;
                    const long double M = 0.75L * at + rope + (2 * i + 1) * ar / 4.0L;
                    const long double N = M + ar / 2.0L;
                    const long double K =
                        2 * 3.14159265358979323846L /
                        (1 / fabsl(B - M) + 1 / fabsl(A - N) - 1 / fabsl(B - N) - 1 / fabsl(A - M));
                    EXPECT_NEAR(d.electrode[i].fK / K, 1.0L, 2e-6L)
                        << "at=" << at << " ar=" << ar << " rope=" << rope << " i=" << i;
                    EXPECT_NEAR(d.fResistivity[i], static_cast<double>(K / 20.0L), 2e-6 * K / 20);
                }
            }
        }
    }
}

TEST(ApparentResistivity, ZeroValueAndReceiverFactor) {
    CGantrelGeometry g = Geometry(2.5f, 2.5f, 0.0f);
    g.pReceiverFactor[1] = 2.0f;
    CGantrelData d = Reading(3, 1.0f);
    d.fResistance[2] = 0.0f;
    ComputeResistivity(d, g);
    EXPECT_EQ(d.fResistivity[0], 0.418233246f);
    EXPECT_EQ(d.fResistivity[1], 6.01770353f);  // twice 3.00885177 after double rounding
    EXPECT_EQ(d.fResistivity[2], 0.0f);
}

TEST(ApparentResistivity, OnlyTheReadingsReceiversAreTouched) {
    CGantrelGeometry g = Geometry(2.5f, 2.5f, 0.0f);
    CGantrelData d = Reading(2, 1.0f);
    d.fResistivity[2] = -7.0f;
    d.fDepth[4] = -7.0f;
    ComputeResistivity(d, g);
    EXPECT_EQ(d.fResistivity[2], -7.0f);
    EXPECT_EQ(d.fDepth[4], -7.0f);
}

TEST(ApparentResistivity, DegenerateGeometryStaysFinite) {
    // Receiver count beyond the array and a dipole shorter than the 0.4 m gap.
    CGantrelGeometry g = Geometry(0.2f, 0.2f, -3.0f);
    CGantrelData d = Reading(5, 1.0f);
    d.nReceiver = 9;
    ComputeResistivity(d, g);
    for (int i = 0; i < 5; ++i) EXPECT_FALSE(std::isnan(d.fResistivity[i])) << i;
}

TEST(ApparentResistivity, DipolesOfZeroGiveZeroNotInfinity) {
    // As a damaged geometry record can carry them: no factor can be had.
    const CGantrelGeometry geometries[] = {Geometry(0.0f, 2.5f, 0.0f), Geometry(0.0f, 0.0f, 0.0f)};
    for (CGantrelGeometry g : geometries) {
        CGantrelData d = Reading(5, 1.0f);
        ComputeResistivity(d, g);
        for (int i = 0; i < 5; ++i) {
            EXPECT_TRUE(std::isfinite(d.fResistivity[i])) << g.fReceiverDipole << " " << i;
            EXPECT_TRUE(std::isfinite(d.fDepth[i])) << i;
            EXPECT_TRUE(std::isfinite(d.fNFactor[i])) << i;
            EXPECT_EQ(d.fResistance[i], 1.0f) << "the measurement is kept";
        }
        if (g.fReceiverDipole > 0.0f) {
            EXPECT_EQ(d.fResistivity[0], 0.0f) << "no factor";
        }
    }
}

TEST(Geometry, NewGeometryWithoutSettingsHasConstructionValues) {
    CMemorySettingsBackend store;
    SetSettingsBackend(&store);
    CGantrelGeometry g;
    EXPECT_EQ(g.fOffset, 7.5f);
    EXPECT_EQ(g.fRopeLength, 0.0f);
    EXPECT_EQ(g.iDipoleIndex, 2);
    EXPECT_EQ(g.iDipoleIndexReceiver, 2);
    EXPECT_EQ(g.fTransmitterDipole, 2.5f);
    EXPECT_EQ(g.fReceiverDipole, 2.5f);
    EXPECT_EQ(g.bDifferentSize, 0);
    for (float f : g.pReceiverFactor) EXPECT_EQ(f, 1.0f);
    SetSettingsBackend(nullptr);
}

TEST(Geometry, NewGeometryTakesTheSettings) {
    CMemorySettingsBackend store;
    SetSettingsBackend(&store);
    WriteSettingReal("GeometryOffset", 3.25);
    WriteSettingReal("GeometryRopeLength", 10.0);
    WriteSettingInt("GeometryiDipoleIndex", 4);
    WriteSettingInt("GeometryiDipoleIndexReceiver", 3);
    CGantrelGeometry same;
    EXPECT_EQ(same.fOffset, 3.25f);
    EXPECT_EQ(same.fRopeLength, 10.0f);
    EXPECT_EQ(same.fTransmitterDipole, 10.0f);
    EXPECT_EQ(same.fReceiverDipole, 10.0f) << "same size: the receiver index is ignored";
    WriteSettingInt("GeometrybDifferentSize", 1);
    CGantrelGeometry different;
    EXPECT_EQ(different.fTransmitterDipole, 10.0f);
    EXPECT_EQ(different.fReceiverDipole, 5.0f);
    SetSettingsBackend(nullptr);
}

TEST(Geometry, IndexOutsideTableKeepsSize) {
    CGantrelGeometry g = CGantrelGeometry::Initial();
    g.iDipoleIndex = 11;
    g.SizeFromIndex();
    EXPECT_EQ(g.fTransmitterDipole, 2.5f);
    g.iDipoleIndex = -1;
    g.SizeFromIndex();
    EXPECT_EQ(g.fTransmitterDipole, 2.5f);
    g.iDipoleIndex = 10;
    g.SizeFromIndex();
    EXPECT_EQ(g.fTransmitterDipole, 40.0f);
}

TEST(Geometry, IndexFromSize) {
    CGantrelGeometry g = CGantrelGeometry::Initial();
    const std::pair<float, int> cases[] = {{1.0f, 0}, {2.5f, 2}, {3.0f, 0},   {40.0f, 10},
                                           {2.505f, 2}, {2.511f, 0}, {35.0f, 9}};
    for (auto [size, index] : cases) {
        g.fTransmitterDipole = size;
        EXPECT_EQ(g.IndexFromSize(), index) << size;
        EXPECT_EQ(g.iDipoleIndex, index);
    }
}

}  // namespace
