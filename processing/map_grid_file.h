// One slice of the interpolated plan-view map as a GIS grid: an ESRI ASCII grid (.asc) of the
// apparent resistivities at the grid's nodes, with the projection of the survey beside it
// (.prj, WGS 84 / UTM zone of the survey, north or south).
//
// Nodes are the centres of the grid's cells: node (i, j) at easting x0 + i dx and northing
// y0 + j dy is the cell whose lower left corner is (x0 + (i - 1/2) dx, y0 + (j - 1/2) dy).
// Rows run from north to south, as the format has them. Cells farther from data than the
// map's maximum distance hold the no-data value.
#pragma once

#include <filesystem>
#include <string>

#include "analysis/map_interpolation.h"
#include "common/atomic_file.h"

inline constexpr const char* kMapGridNoData = "-9999";

// The zone and hemisphere of the survey's UTM coordinates.
struct CMapGridZone {
    int iZone = 0;  // 1..60
    bool bSouth = false;
};

// EPSG code of WGS 84 / UTM: 32600 + zone in the north, 32700 + zone in the south.
int UtmEpsgCode(const CMapGridZone& zone);
// The projection as well-known text, with its EPSG code.
std::string UtmProjectionText(const CMapGridZone& zone);

enum class MapGridFileStatus {
    Ok,
    NoGrid,       // the slice is not in the grid (no interpolation yet, or no such depth)
    BadZone,      // the survey's zone is not 1..60
    CannotWrite,  // the grid or its .prj could not be written (save tells why)
};

// Writes slice `slice` of the grid to path and the projection to path with the extension
// ".prj"; each file replaces an earlier one only once it was written.
MapGridFileStatus WriteMapGridFile(const CInterpolatedGrid& grid, int slice, float fMaxDistance,
                                   const CMapGridZone& zone, const std::filesystem::path& path,
                                   SaveResult* save = nullptr);
// The message of a refused or failed write; empty for Ok.
std::string MapGridFileMessage(MapGridFileStatus status, const std::filesystem::path& path,
                               const SaveResult* save = nullptr);
