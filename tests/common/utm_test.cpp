#include "common/utm.h"

#include <gtest/gtest.h>
