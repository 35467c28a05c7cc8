#include "common/record_time.h"

#include <gtest/gtest.h>
