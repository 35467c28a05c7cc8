// The model commands of the processing program: "Non-linear inversion (continuous 1D
// analysis)", the three "Smoothing for resistivity model" commands with their undo copy, and
// the inversion of a one-dimensional survey's averaged sounding for the model display.
#pragma once

#include <vector>

#include "analysis/inversion.h"
#include "processing/document.h"

// Default layering of a one-dimensional survey's starting model (the initial model's
// defaults): 10 layers, the last one's top at 10 m.
inline constexpr int kAveragedSoundingLayers = 10;
inline constexpr float kAveragedSoundingDepth = 10.0f;

// The averaged sounding of a one-dimensional survey as the inversion's working record: one
// dipole-mode row per point (dipole size the half receiver dipole, N its n-factor, observed
// its resistivity, mark its flag), distances set from row 0's N-factor. Returns the row
// count, or -1 (sounding emptied) when there are more points than a sounding holds.
int SetUpAveragedSounding(const CSoundingData& data, SoundingData& sounding);

// Inverts the document's averaged sounding with its inversion settings. model is the
// starting model (a homogeneous StartingModel of the default layering when its nLayer is 0)
// and receives the result; sounding receives the rows with the calculated values of that
// result; misfits, when given, the misfit at the start of every iteration. Returns the
// misfit of the result, or -1 (model unchanged) when there is nothing to invert: no points,
// too many, or a resistivity that is not above 0.
float InvertAveragedSounding(const CBrivaneDoc& doc, LayerModel& model, SoundingData& sounding,
                             std::vector<float>* misfits = nullptr);

// Before a smoothing: the undo copy becomes the current store, "Undo" restores the model
// and no longer the survey.
void SaveModelForUndo(CBrivaneDoc& doc);
