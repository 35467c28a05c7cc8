#include "common/record_time.h"
