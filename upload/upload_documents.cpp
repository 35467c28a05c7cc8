#include "upload/upload_documents.h"

#include <algorithm>
#include <cmath>

#include "common/text_format.h"

std::string BuildReadingDocument(const CGantrelData& reading, const CGPSData* latestFix) {
    // A fix record that never received a position still holds the -200 of an unset one.
    const bool placed = latestFix != nullptr && std::abs(latestFix->dLatitude) <= 90.0 &&
                        std::abs(latestFix->dLongitude) <= 180.0;
    const double latitude = placed ? latestFix->dLatitude : 0.0;
    const double longitude = placed ? latestFix->dLongitude : 0.0;
    std::string body = "<?xml version='1.0'?><gantrel_file><gantrel_data>";
    body += FormatC("<latitude>%f</latitude>", latitude);
    body += FormatC("<longitude>%f</longitude>", longitude);
    body += FormatC("<number_of_receiver>%d</number_of_receiver>", reading.nReceiver);
    const int n = std::clamp(reading.nReceiver, 0, kMaxReceiver);
    for (int j = 1; j <= n; ++j)
        body += FormatC("<resistance_%d>%f</resistance_%d>", j,
                        static_cast<double>(reading.fResistance[j - 1]), j);
    body += "</gantrel_data></gantrel_file>";
    return body;
}

CXmlStatus BuildSurveyDocument(const CGantrelSurvey& survey, const std::string& sProjectName,
                               CXmlDocument& doc) {
    CXmlElement root = doc.CreateRoot("gantrel_file");
    root.AddTextChild("user_name", "OSTREL_PC");
    root.AddTextChild("project_name", sProjectName);
    for (int i = 0; i < survey.nLine && doc.Status().ok(); ++i) {
        const CGantrelLine& line = survey.Line(i);
        CXmlElement l = root.CreateChild("gantrel_line");
        l.AddTextChild("file_index", line.iFileIndex);
        l.AddTextChild("line_index", i);
        const CGantrelGeometry& g = *line.pGeometry;
        CXmlElement geometry = l.CreateChild("gantrel_geometry");
        geometry.AddTextChild("geometry_offset", static_cast<double>(g.fOffset));
        geometry.AddTextChild("geometry_rope_length", static_cast<double>(g.fRopeLength));
        geometry.AddTextChild("geometry_receiver_dipole", static_cast<double>(g.fReceiverDipole));
        geometry.AddTextChild("geometry_transmitter_dipole",
                              static_cast<double>(g.fTransmitterDipole));
        for (const CGantrelData& d : line.pData) {
            CXmlElement data = l.CreateChild("gantrel_data");
            data.AddTextChild("number_of_receiver", d.nReceiver);
            const int n = std::clamp(d.nReceiver, 0, kMaxReceiver);
            for (int j = 1; j <= n; ++j)
                data.AddTextChild(FormatC("resistance_%d", j),
                                  static_cast<double>(d.fResistance[j - 1]));
        }
    }
    return doc.Status();
}

int CountSurveyReadings(const CGantrelSurvey& survey) {
    int n = 0;
    for (int i = 0; i < survey.nLine; ++i) n += survey.Line(i).nData();
    return n;
}
