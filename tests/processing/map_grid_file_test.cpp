#include "processing/map_grid_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/language.h"
#include "tests/processing/command_fixture.h"

namespace {

namespace fs = std::filesystem;
using commandtest::HaveTool;
using commandtest::RunTool;

// A grid of 4 x 3 nodes, 2 m apart, from (x0, y0); node (3, 0) lies far from data.
CInterpolatedGrid SmallGrid(double x0, double y0) {
    CInterpolatedGrid g;
    g.nSlice = 2;
    g.nx = 4;
    g.ny = 3;
    g.dx = g.dy = 2.0f;
    g.x0 = x0;
    g.y0 = y0;
    EXPECT_TRUE(g.value.Allocate(2, 4, 3) && g.distance.Allocate(2, 4, 3));
    for (int s = 0; s < 2; ++s)
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 3; ++j) {
                g.value(s, i, j) = static_cast<float>(100 * s + 10 * i + j);
                g.distance(s, i, j) = i == 3 && j == 0 ? 50.0f : 1.0f;
            }
    g.pDepth = {1.0f, 2.0f};
    return g;
}

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class MapGridFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetLanguage(kLanguageEnglish);
        folder = fs::temp_directory_path() / ("gantrel_gis_" + std::to_string(::getpid()));
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }
    fs::path folder;
};

TEST_F(MapGridFileTest, GridAndProjectionReadBackThroughAGisReader) {
    const struct {
        const char* name;
        CMapGridZone zone;
        double y0;       // the survey's (folded) northing of node (0, 0)
        double originY;  // upper edge of the grid in the hemisphere's own northings
        int epsg;
    } cases[] = {
        {"north", {54, false}, 3899850.0, 3899855.0, 32654},
        // From the equator to about 9 S the survey's northings are negative.
        {"south, near the equator", {54, true}, -552664.0, 9447341.0, 32754},
        {"south, false northing applied", {54, true}, 6681214.0, 6681219.0, 32754},
    };
    if (!HaveTool("gdalinfo"))
        GTEST_SKIP() << "gdalinfo (Debian package gdal-bin) is not installed";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path path = folder / "map.asc";
        const CInterpolatedGrid g = SmallGrid(387289.0, c.y0);
        ASSERT_EQ(WriteMapGridFile(g, 1, 10.0f, c.zone, path), MapGridFileStatus::Ok);
        int status = 0;
        const std::string out = RunTool("gdalinfo -stats '" + path.string() + "' 2>&1", status);
        ASSERT_EQ(status, 0) << out;
        // Node (0, 0) is the centre of the lower left cell: the corner lies half a cell out.
        double ox = 0, oy = 0, px = 0, py = 0;
        const size_t origin = out.find("Origin = (");
        const size_t pixel = out.find("Pixel Size = (");
        ASSERT_NE(origin, std::string::npos) << out;
        ASSERT_NE(pixel, std::string::npos) << out;
        ASSERT_EQ(std::sscanf(out.c_str() + origin, "Origin = (%lf,%lf)", &ox, &oy), 2);
        ASSERT_EQ(std::sscanf(out.c_str() + pixel, "Pixel Size = (%lf,%lf)", &px, &py), 2);
        EXPECT_DOUBLE_EQ(ox, 387288.0);
        EXPECT_DOUBLE_EQ(oy, c.originY);
        EXPECT_DOUBLE_EQ(px, 2.0);
        EXPECT_DOUBLE_EQ(py, -2.0);
        EXPECT_NE(out.find("Size is 4, 3"), std::string::npos) << out;
        EXPECT_NE(out.find("ID[\"EPSG\"," + std::to_string(c.epsg) + "]"), std::string::npos)
            << out;
        EXPECT_NE(out.find("NoData Value=-9999"), std::string::npos) << out;
        // Slice 1 holds 100 + 10 i + j; the cell far from data is not counted.
        EXPECT_NE(out.find("STATISTICS_VALID_PERCENT=91.67"), std::string::npos) << out;
        fs::remove(folder / "map.asc.aux.xml");
    }
}

TEST_F(MapGridFileTest, RowsRunFromNorthToSouthAndFarCellsHoldNoData) {
    const CInterpolatedGrid g = SmallGrid(500000.0, 4000000.0);
    ASSERT_EQ(WriteMapGridFile(g, 0, 10.0f, {12, false}, folder / "m.asc"), MapGridFileStatus::Ok);
    EXPECT_EQ(ReadAll(folder / "m.asc"),
              "ncols 4\r\nnrows 3\r\nxllcorner 499999.000\r\nyllcorner 3999999.000\r\n"
              "cellsize 2.000000\r\nNODATA_value -9999\r\n"
              "2.0000 12.0000 22.0000 32.0000\r\n1.0000 11.0000 21.0000 31.0000\r\n"
              "0.0000 10.0000 20.0000 -9999\r\n");
    EXPECT_NE(ReadAll(folder / "m.prj").find("PARAMETER[\"central_meridian\",-111]"),
              std::string::npos);
    // Refusals: no such slice, no zone.
    EXPECT_EQ(WriteMapGridFile(g, 2, 10.0f, {12, false}, folder / "n.asc"),
              MapGridFileStatus::NoGrid);
    EXPECT_EQ(WriteMapGridFile(g, 0, 10.0f, {0, false}, folder / "n.asc"),
              MapGridFileStatus::BadZone);
    EXPECT_FALSE(fs::exists(folder / "n.asc"));
}

}  // namespace
