#include "common/survey_file.h"
