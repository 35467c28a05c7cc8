// "Save XML file (processed result)": the current section's layered model and the apparent
// resistivity data it came from, as the standard XML section document.
#pragma once

#include "exchange/standard_xml.h"
#include "processing/document.h"
#include "sectionfiles/dunvar.h"

// The section as the document carries it. The grid gets one node row more than the store's
// boundaries, the base of the deepest layer: with cell size d, column 0 lies 3d below its
// last boundary, every other column at the deeper of 1.5d below its last boundary and the
// straight line between the first and the last column's points 3d below theirs. The
// positions and data are the electrode-array data set built in mode 4.
StandardXmlSection BuildStandardXmlSection(const CTrevascDataOhm& store, const DunvarDataSet& set);

void SaveStandardXmlCommand(CBrivaneContext& ctx);
