#include "common/utm.h"
