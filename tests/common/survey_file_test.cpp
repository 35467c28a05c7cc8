#include "common/survey_file.h"

#include <gtest/gtest.h>
