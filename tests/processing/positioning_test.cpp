#include "processing/positioning.h"

#include <gtest/gtest.h>
