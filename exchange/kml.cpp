#include "exchange/kml.h"

#include <ctime>

#include "common/text_format.h"

std::string KmlWhen(std::int64_t time, int iMilliSecond) {
    const std::time_t t = static_cast<std::time_t>(time);
    std::tm utc{};
    if (::gmtime_r(&t, &utc) == nullptr) return "1970-01-01T00:00:00Z";
    std::string text = FormatC("%04d-%02d-%02dT%02d:%02d:%02d", utc.tm_year + 1900, utc.tm_mon + 1,
                               utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
    if (iMilliSecond > 0 && iMilliSecond < 1000) text += FormatC(".%03d", iMilliSecond);
    return text + "Z";
}

CXmlElement AddKmlHead(CXmlDocument& doc) {
    CXmlElement kml = doc.CreateRoot("kml");
    kml.SetAttribute("xmlns", kKmlNamespace)
        .SetAttribute("xmlns:gx", kKmlExtensionNamespace)
        .SetAttribute("xmlns:kml", kKmlNamespace)
        .SetAttribute("xmlns:atom", kAtomNamespace);
    return kml.CreateChild("Document").CreateChild("Folder");
}

void AddGPSTrack(const CXmlElement& folder, const CGantrelLine& line, CTextWriter* sideText) {
    CXmlElement track = folder.CreateChild("Placemark").CreateChild("gx:Track");
    // A track holds one when per coordinate, all of them before the first coordinate.
    for (const CGPSData& fix : line.pGPS)
        track.AddTextChild("when", KmlWhen(fix.time, fix.iMilliSecond));
    for (const CGPSData& fix : line.pGPS) {
        track.AddTextChild("gx:coord",
                           FormatC("%f %f %f", fix.dLongitude, fix.dLatitude, fix.dAltitude));
        if (sideText != nullptr)
            sideText->Printf("%f %f %f %f %f \n", fix.dLatitude, fix.dLongitude, fix.dEasting,
                             fix.dNorthing, fix.dAltitude);
    }
}

std::filesystem::path GPSTrackKmlPath(const std::filesystem::path& folder, int iLine) {
    return folder / FormatC("gps_%d.kml", iLine);
}

CXmlStatus WriteGPSTrackKml(const CGantrelLine& line, const std::filesystem::path& path,
                            CTextWriter* sideText) {
    CXmlDocument doc(kKmlDeclaration);
    AddGPSTrack(AddKmlHead(doc), line, sideText);
    return doc.Save(path);
}

CXmlStatus WriteGPSTracksKml(const CGantrelSurvey& survey, const std::filesystem::path& folder,
                             CTextWriter* sideText, int* nWritten) {
    int written = 0;
    CXmlStatus status;
    for (int i = 0; i < survey.nLine && status.ok(); ++i) {
        status = WriteGPSTrackKml(survey.Line(i), GPSTrackKmlPath(folder, i), sideText);
        if (status.ok()) ++written;
    }
    if (nWritten != nullptr) *nWritten = written;
    return status;
}

CXmlStatus WriteMapOverlayKml(const std::filesystem::path& path, std::string_view name,
                              std::string_view imageReference, const CLatLonBox& box) {
    CXmlDocument doc(kKmlDeclaration);
    CXmlElement folder = AddKmlHead(doc);
    folder.AddTextChild("name", name);
    CXmlElement overlay = folder.CreateChild("GroundOverlay");
    overlay.AddTextChild("name", name);
    overlay.CreateChild("Icon").AddTextChild("href", imageReference);
    overlay.AddTextChild("color", "55ffffff");
    CXmlElement latLon = overlay.CreateChild("LatLonBox");
    latLon.AddTextChild("south", box.dSouth);
    latLon.AddTextChild("north", box.dNorth);
    latLon.AddTextChild("west", box.dWest);
    latLon.AddTextChild("east", box.dEast);
    return doc.Save(path);
}
