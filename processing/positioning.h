// Distances along lines and plan positions of readings.
#pragma once

#include "common/survey.h"
