// KML documents for display on a virtual globe: the head every KML document of the suite
// shares, the GPS track of a survey line, and the map laid over the globe as an image.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "common/survey.h"
#include "exchange/xml_writer.h"

class CTextWriter;

// Declaration data of every KML document.
inline constexpr std::string_view kKmlDeclaration = "version='1.0' encoding='UTF-8'";

// Namespaces declared on the kml root, in this order: default, gx, kml, atom.
inline constexpr std::string_view kKmlNamespace = "http://www.opengis.net/kml/2.2";
inline constexpr std::string_view kKmlExtensionNamespace = "http://www.google.com/kml/ext/2.2";
inline constexpr std::string_view kAtomNamespace = "http://www.w3.org/2005/Atom";

// Adds the common head to a document made with kKmlDeclaration: the kml root with its four
// namespace declarations, then Document holding one Folder. Returns the Folder.
CXmlElement AddKmlHead(CXmlDocument& doc);

// A moment as a KML time stamp in UTC, "2009-06-15T01:00:01Z", with ".mmm" before the Z
// when iMilliSecond is 1..999. time is calendar seconds.
std::string KmlWhen(std::int64_t time, int iMilliSecond);

// Folder -> Placemark -> gx:Track with one when (KmlWhen of the fix's time) per fix, then one
// gx:coord "lon lat alt" ("%f %f %f") per fix, both in the order of the fixes; a line without
// fixes gives an empty track. When
// sideText is given and open, every fix is also written to it as the line
// "%f %f %f %f %f \n" of latitude, longitude, easting, northing and altitude.
void AddGPSTrack(const CXmlElement& folder, const CGantrelLine& line,
                 CTextWriter* sideText = nullptr);

// "gps_<line index from 0>.kml" in the data folder.
std::filesystem::path GPSTrackKmlPath(const std::filesystem::path& folder, int iLine);

// One track document of one line at path.
CXmlStatus WriteGPSTrackKml(const CGantrelLine& line, const std::filesystem::path& path,
                            CTextWriter* sideText = nullptr);

// One track document per line of the survey (lines without fixes too, so that file i is
// always line i) into folder. Stops at the first file that cannot be written and returns its
// status; nWritten, when given, receives how many files were written.
CXmlStatus WriteGPSTracksKml(const CGantrelSurvey& survey, const std::filesystem::path& folder,
                             CTextWriter* sideText = nullptr, int* nWritten = nullptr);

// The geographic box of a map image, degrees.
struct CLatLonBox {
    double dSouth = 0.0, dNorth = 0.0, dWest = 0.0, dEast = 0.0;
};

// Folder -> name, then GroundOverlay -> name, Icon/href (the image, relative to the KML
// file), color "55ffffff" (white at a third opacity) and LatLonBox with south, north, west
// and east ("%f").
CXmlStatus WriteMapOverlayKml(const std::filesystem::path& path, std::string_view name,
                              std::string_view imageReference, const CLatLonBox& box);
