// Survey text files (.sto) and magnetometer mapping files (.stn): reading into a survey and
// writing back, record by record. (Declarations are filled in with the readers.)
#pragma once

#include "common/survey.h"
