#include "common/nmea.h"

#include <gtest/gtest.h>
