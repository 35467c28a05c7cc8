// Small surveys for the analysis tests, made with the settings store replaced by an empty
// in-memory one so that new geometries take their construction values.
#pragma once

#include <gtest/gtest.h>

#include "common/memory_settings.h"
#include "common/resistivity.h"
#include "common/survey.h"

class SurveyTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetSettingsBackend(&settings);
        survey.bMarkerDistance = 1;  // the readings carry their distances, as from a file
    }
    void TearDown() override { SetSettingsBackend(nullptr); }

    // A line of same-size dipoles (receiver dipole 2 * halfDipole), offset 7.5, rope 0.
    CGantrelLine& AddLine(float dipole = 2.5f, int nMaxReceiver = 1) {
        CGantrelLine& line = *survey.AddLine();
        line.pGeometry->fTransmitterDipole = dipole;
        line.pGeometry->fReceiverDipole = dipole;
        line.pGeometry->bDifferentSize = 0;
        line.nMaxReceiver = nMaxReceiver;
        return line;
    }
    // A reading at the given distance with one value per receiver.
    CGantrelData& AddReading(CGantrelLine& line, float distance,
                             std::initializer_list<float> resistance) {
        CGantrelData& d = *line.AddData();
        d.fDistance = distance;
        d.nReceiver = static_cast<int>(resistance.size());
        int j = 0;
        for (float v : resistance) d.fResistance[j++] = v;
        ComputeResistivity(d, *line.pGeometry);
        return d;
    }

    CMemorySettingsBackend settings;
    CGantrelSurvey survey;
};
