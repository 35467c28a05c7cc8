// Dialogs both programs show for values the core keeps in common/ (the colour scale's
// "Contour interval"). Each works on a copy of the values and writes it back on OK.
#pragma once

#include "platform/qt_prompter.h"

struct CDlgContourInterval;

bool ContourIntervalDialog(CQtPrompter& prompter, CDlgContourInterval& values);
