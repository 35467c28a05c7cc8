#include "exchange/kml.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <pugixml.hpp>
#include <sstream>

#include "common/memory_settings.h"
#include "common/settings.h"
#include "common/text_format.h"

namespace fs = std::filesystem;

namespace {

const char* const kHead =
    "<?xml version='1.0' encoding='UTF-8'?>\r\n"
    "<kml xmlns=\"http://www.opengis.net/kml/2.2\" "
    "xmlns:gx=\"http://www.google.com/kml/ext/2.2\" "
    "xmlns:kml=\"http://www.opengis.net/kml/2.2\" "
    "xmlns:atom=\"http://www.w3.org/2005/Atom\"><Document><Folder>";
const char* const kTail = "</Folder></Document></kml>\r\n";

class KmlTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetSettingsBackend(&settings_);  // lines read their geometry defaults from the store
        dir_ = fs::temp_directory_path() /
               ("gantrel_kml_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        fs::remove_all(dir_);
        SetSettingsBackend(nullptr);
    }
    static std::string Slurp(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    static void AddFix(CGantrelLine& line, double lat, double lon, double alt,
                       std::int64_t time = 1245027601, int ms = 0) {
        CGPSData* fix = line.AddGPS();
        ASSERT_NE(fix, nullptr);
        fix->time = time;
        fix->iMilliSecond = ms;
        fix->dLatitude = lat;
        fix->dLongitude = lon;
        fix->dAltitude = alt;
        fix->dEasting = 387289.63;
        fix->dNorthing = 3899850.4;
    }

    CMemorySettingsBackend settings_;
    fs::path dir_;
};

TEST_F(KmlTest, TrackHasOneCoordPerFixInOrder) {
    CGantrelLine line;
    AddFix(line, 35.23539, 139.761315, 35.2);
    AddFix(line, 35.2354, 139.7613154, 35.25, 1245027602, 250);
    const fs::path path = dir_ / "track.kml";
    ASSERT_TRUE(WriteGPSTrackKml(line, path).ok());
    const std::string bytes = Slurp(path);
    EXPECT_EQ(bytes, std::string(kHead) +
                         "<Placemark><gx:Track>"
                         "<when>2009-06-15T01:00:01Z</when>"
                         "<when>2009-06-15T01:00:02.250Z</when>"
                         "<gx:coord>139.761315 35.235390 35.200000</gx:coord>"
                         "<gx:coord>139.761315 35.235400 35.250000</gx:coord>"
                         "</gx:Track></Placemark>" +
                         kTail);
    pugi::xml_document parsed;
    EXPECT_TRUE(parsed.load_string(bytes.c_str()));
}

TEST_F(KmlTest, CoordinatesKeepSignsAndSixDecimals) {
    CGantrelLine line;
    AddFix(line, -33.8688197, -151.2092957, -12.0);
    AddFix(line, 0.0, 0.0, 0.0);
    CXmlDocument doc(kKmlDeclaration);
    AddGPSTrack(AddKmlHead(doc), line);
    EXPECT_EQ(doc.Text(), std::string(kHead) +
                              "<Placemark><gx:Track>"
                              "<when>2009-06-15T01:00:01Z</when>"
                              "<when>2009-06-15T01:00:01Z</when>"
                              "<gx:coord>-151.209296 -33.868820 -12.000000</gx:coord>"
                              "<gx:coord>0.000000 0.000000 0.000000</gx:coord>"
                              "</gx:Track></Placemark>" +
                              kTail);
}

TEST(KmlWhen, IsUtcWithMillisecondsOnlyWhenThereAreSome) {
    const struct {
        std::int64_t time;
        int ms;
        const char* text;
    } cases[] = {
        {0, 0, "1970-01-01T00:00:00Z"},
        {1245027601, 0, "2009-06-15T01:00:01Z"},
        {1245027601, 5, "2009-06-15T01:00:01.005Z"},
        {1245027601, 999, "2009-06-15T01:00:01.999Z"},
        {951782400, 0, "2000-02-29T00:00:00Z"},
    };
    for (const auto& c : cases) EXPECT_EQ(KmlWhen(c.time, c.ms), c.text) << c.time;
}

// An independent reader takes the track: GDAL's ogrinfo, which fails on a gx:Track whose
// coordinates have no times.
TEST_F(KmlTest, TrackIsReadByAnIndependentReader) {
    if (std::system("command -v ogrinfo >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "ogrinfo (gdal-bin) is not installed";
    CGantrelLine line;
    for (int i = 0; i < 5; ++i) AddFix(line, 35.0 + 1e-4 * i, 139.75, 20.0, 1245027601 + i);
    const fs::path path = dir_ / "gps_0.kml", out = dir_ / "ogrinfo.txt";
    ASSERT_TRUE(WriteGPSTrackKml(line, path).ok());
    const std::string command = "ogrinfo -ro -al " + path.string() + " > " + out.string() + " 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << Slurp(out);
    const std::string text = Slurp(out);
    EXPECT_NE(text.find("Feature Count: 1"), std::string::npos) << text;
    EXPECT_NE(text.find("139.75 35.0004"), std::string::npos) << text;
}

TEST_F(KmlTest, LineWithoutFixesGetsAnEmptyTrack) {
    CGantrelLine line;
    const fs::path path = dir_ / "empty.kml";
    ASSERT_TRUE(WriteGPSTrackKml(line, path).ok());
    EXPECT_EQ(Slurp(path), std::string(kHead) + "<Placemark><gx:Track/></Placemark>" + kTail);
}

TEST_F(KmlTest, SurveyOfThreeLinesWritesOneFilePerLine) {
    CGantrelSurvey survey;
    for (int i = 0; i < 3; ++i) {
        CGantrelLine* line = survey.AddLine();
        ASSERT_NE(line, nullptr);
        if (i != 1) AddFix(*line, 35.0 + i, 139.0, 10.0);
    }
    int written = -1;
    ASSERT_TRUE(WriteGPSTracksKml(survey, dir_, nullptr, &written).ok());
    EXPECT_EQ(written, 3);
    EXPECT_EQ(GPSTrackKmlPath(dir_, 2), dir_ / "gps_2.kml");
    EXPECT_NE(Slurp(dir_ / "gps_0.kml").find("<gx:coord>139.000000 35.000000 10.000000<"),
              std::string::npos);
    EXPECT_NE(Slurp(dir_ / "gps_1.kml").find("<gx:Track/>"), std::string::npos);
    EXPECT_NE(Slurp(dir_ / "gps_2.kml").find("<gx:coord>139.000000 37.000000 10.000000<"),
              std::string::npos);
    EXPECT_FALSE(fs::exists(dir_ / "gps_3.kml"));
}

TEST_F(KmlTest, FixesAlsoGoToTheSideText) {
    CGantrelLine line;
    AddFix(line, 35.23539, 139.761315, 35.2);
    const fs::path side = dir_ / "side.txt";
    {
        CTextWriter out;
        ASSERT_TRUE(out.Open(side));
        ASSERT_TRUE(WriteGPSTrackKml(line, dir_ / "t.kml", &out).ok());
    }
    EXPECT_EQ(Slurp(side), "35.235390 139.761315 387289.630000 3899850.400000 35.200000 \r\n");
}

TEST_F(KmlTest, UnwritableFolderStopsAtTheFirstFile) {
    CGantrelSurvey survey;
    survey.AddLine();
    survey.AddLine();
    const fs::path folder = dir_ / "no such folder";
    int written = -1;
    const CXmlStatus status = WriteGPSTracksKml(survey, folder, nullptr, &written);
    EXPECT_EQ(status.message, "Cannot open the file " + (folder / "gps_0.kml").string());
    EXPECT_EQ(written, 0);
}

TEST_F(KmlTest, MapOverlayIsAGroundOverlayWithItsFourEdges) {
    const fs::path path = dir_ / "map.kml";
    const CLatLonBox box{-30.0012345, -29.9987, 140.998, 141.0025};
    ASSERT_TRUE(WriteMapOverlayKml(path, "line01.sto", "line01.sto-0.png", box).ok());
    const std::string text = Slurp(path);
    EXPECT_EQ(text, std::string(kHead) +
                        "<name>line01.sto</name><GroundOverlay><name>line01.sto</name>"
                        "<Icon><href>line01.sto-0.png</href></Icon><color>55ffffff</color>"
                        "<LatLonBox><south>-30.001234</south><north>-29.998700</north>"
                        "<west>140.998000</west><east>141.002500</east></LatLonBox>"
                        "</GroundOverlay>" +
                        kTail);
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(text.c_str()));
    const pugi::xml_node latLon =
        doc.select_node("/kml/Document/Folder/GroundOverlay/LatLonBox").node();
    ASSERT_TRUE(latLon);
    EXPECT_DOUBLE_EQ(latLon.child("south").text().as_double(), -30.001234);
    EXPECT_DOUBLE_EQ(latLon.child("east").text().as_double(), 141.0025);
}

TEST_F(KmlTest, MapOverlayNameIsEscapedAndAFolderThatCannotBeWrittenFails) {
    const fs::path path = dir_ / "a.kml";
    ASSERT_TRUE(WriteMapOverlayKml(path, "A & B <1>", "A & B <1>.png", {}).ok());
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file(path.c_str()));
    EXPECT_STREQ(doc.select_node("//GroundOverlay/name").node().text().get(), "A & B <1>");
    EXPECT_FALSE(WriteMapOverlayKml(dir_ / "no" / "such" / "b.kml", "b", "b.png", {}).ok());
}

}  // namespace
