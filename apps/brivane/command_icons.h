// Toolbar icons of the processing program, drawn with QPainter (no image files to ship).
#pragma once

#include <QIcon>

// The icon of a toolbar command; a lettered tile for a command without a drawing of its own.
QIcon CommandIcon(int id);
