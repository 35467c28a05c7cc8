#include "processing/map_grid_file.h"

#include <cmath>

#include "common/language.h"
#include "common/text_format.h"
#include "common/utm.h"

int UtmEpsgCode(const CMapGridZone& zone) {
    return (zone.bSouth ? 32700 : 32600) + zone.iZone;
}

std::string UtmProjectionText(const CMapGridZone& zone) {
    const int centralMeridian = zone.iZone * 6 - 183;
    return FormatC(
        "PROJCS[\"WGS 84 / UTM zone %d%c\",GEOGCS[\"WGS 84\",DATUM[\"WGS_1984\",SPHEROID[\"WGS "
        "84\",6378137,298.257223563,AUTHORITY[\"EPSG\",\"7030\"]],AUTHORITY[\"EPSG\",\"6326\"]],"
        "PRIMEM[\"Greenwich\",0,AUTHORITY[\"EPSG\",\"8901\"]],UNIT[\"degree\",0.0174532925199433,"
        "AUTHORITY[\"EPSG\",\"9122\"]],AUTHORITY[\"EPSG\",\"4326\"]],PROJECTION[\"Transverse_"
        "Mercator\"],PARAMETER[\"latitude_of_origin\",0],PARAMETER[\"central_meridian\",%d],"
        "PARAMETER[\"scale_factor\",0.9996],PARAMETER[\"false_easting\",500000],"
        "PARAMETER[\"false_northing\",%d],UNIT[\"metre\",1,AUTHORITY[\"EPSG\",\"9001\"]],"
        "AXIS[\"Easting\",EAST],AXIS[\"Northing\",NORTH],AUTHORITY[\"EPSG\",\"%d\"]]",
        zone.iZone, zone.bSouth ? 'S' : 'N', centralMeridian, zone.bSouth ? 10000000 : 0,
        UtmEpsgCode(zone));
}

MapGridFileStatus WriteMapGridFile(const CInterpolatedGrid& grid, int slice, float fMaxDistance,
                                   const CMapGridZone& zone, const std::filesystem::path& path,
                                   SaveResult* save) {
    if (!grid.HasGrid() || slice < 0 || slice >= grid.nSlice) return MapGridFileStatus::NoGrid;
    if (zone.iZone < 1 || zone.iZone > 60) return MapGridFileStatus::BadZone;
    // The survey's northings are folded (negative from the equator to about 9 S); the grid
    // gives them in the hemisphere's own false northing.
    const double northing = UnfoldNorthing(grid.y0, zone.bSouth) + (zone.bSouth ? 10000000.0 : 0.0);

    CTextWriter out;
    auto failed = [&] {
        if (save != nullptr) *save = out.Result();
        return MapGridFileStatus::CannotWrite;
    };
    if (!out.OpenReplacing(path)) return failed();
    out.Printf("ncols %d\n", grid.nx);
    out.Printf("nrows %d\n", grid.ny);
    out.Printf("xllcorner %.3f\n", grid.x0 - 0.5 * grid.dx);
    out.Printf("yllcorner %.3f\n", northing - 0.5 * grid.dy);
    out.Printf("cellsize %.6f\n", static_cast<double>(grid.dx));
    out.Printf("NODATA_value %s\n", kMapGridNoData);
    for (int j = grid.ny - 1; j >= 0; --j) {
        for (int i = 0; i < grid.nx; ++i) {
            const float v = grid.value(slice, i, j);
            const bool far = !(grid.distance(slice, i, j) <= fMaxDistance);
            if (i > 0) out.Write(" ");
            if (far || !std::isfinite(v))
                out.Write(kMapGridNoData);
            else
                out.Printf("%.4f", static_cast<double>(v));
        }
        out.Write("\n");
    }
    if (!out.Close()) return failed();

    std::filesystem::path prj = path;
    prj.replace_extension(".prj");
    CTextWriter projection;
    if (!projection.OpenReplacing(prj)) {
        if (save != nullptr) *save = projection.Result();
        return MapGridFileStatus::CannotWrite;
    }
    projection.Write(UtmProjectionText(zone));
    projection.Write("\n");
    if (!projection.Close()) {
        if (save != nullptr) *save = projection.Result();
        return MapGridFileStatus::CannotWrite;
    }
    if (save != nullptr) *save = projection.Result();
    return MapGridFileStatus::Ok;
}

std::string MapGridFileMessage(MapGridFileStatus status, const std::filesystem::path& path,
                               const SaveResult* save) {
    switch (status) {
        case MapGridFileStatus::Ok:
            return {};
        case MapGridFileStatus::NoGrid:
            return Tr(
                "There is no interpolated map of this depth to save. Run \"Interpolation\" "
                "first.",
                "この深度の補間マップがありません。先に「補間」を実行してください。");
        case MapGridFileStatus::BadZone:
            return FormatC(Tr("The survey has no UTM zone (no GPS fix); %s was not written.",
                              "調査にUTMゾーンがありません (GPS測位なし)。%s は書き出していませ"
                              "ん。"),
                           path.string().c_str());
        case MapGridFileStatus::CannotWrite:
            if (save != nullptr && !save->ok()) return SaveFailureMessage(*save, path);
            return FormatC(Tr("Cannot write the file %s", "ファイル %s に書き込めません"),
                           path.string().c_str());
    }
    return {};
}
