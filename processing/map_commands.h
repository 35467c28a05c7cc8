// The plan-view map's commands and the values they keep.
#pragma once

#include "processing/document.h"

// Settings (section "General") of the map's colouring and maximum distance (text "%f", m).
inline constexpr const char* kMapColorModeKey = "iMapColorMode";
inline constexpr const char* kMaxDistanceKey = "fMaxDistance";
// Largest maximum distance taken, m: beyond a survey's extent every cell is drawn anyway.
inline constexpr double kMaxMapDistanceSetting = 1.0e7;
// The interpolation's diagnostic listing, in the process's current folder.
inline constexpr const char* kMapInterpolationListing = "DataInterpolation.txt";

// A depth index kept within the survey's pseudo-depths (0 when there are none).
int ClampMapDepthIndex(const CBrivaneContext& ctx, int index);
