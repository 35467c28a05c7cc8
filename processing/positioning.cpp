#include "processing/positioning.h"
