#include "common/nmea.h"
