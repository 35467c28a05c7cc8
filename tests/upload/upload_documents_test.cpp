// The two upload documents, the reply text made fit to show, and where uploads go.
#include <gtest/gtest.h>

#include <pugixml.hpp>

#include "common/memory_settings.h"
#include "common/settings.h"
#include "upload/response_text.h"
#include "upload/upload_documents.h"
#include "upload/upload_target.h"

namespace {

CGantrelData Reading(std::initializer_list<float> values) {
    CGantrelData d;
    d.nReceiver = static_cast<int>(values.size());
    int j = 0;
    for (float v : values) d.fResistance[j++] = v;
    return d;
}

CGPSData Fix(double latitude, double longitude) {
    CGPSData f;
    f.dLatitude = latitude;
    f.dLongitude = longitude;
    return f;
}

TEST(ReadingDocument, TwoReceiversAtAFixGiveTheExactOneLineBody) {
    const CGPSData fix = Fix(35.5, 139.25);
    EXPECT_EQ(BuildReadingDocument(Reading({12.5f, 3.25f}), &fix),
              "<?xml version='1.0'?><gantrel_file><gantrel_data>"
              "<latitude>35.500000</latitude><longitude>139.250000</longitude>"
              "<number_of_receiver>2</number_of_receiver>"
              "<resistance_1>12.500000</resistance_1><resistance_2>3.250000</resistance_2>"
              "</gantrel_data></gantrel_file>");
}

TEST(ReadingDocument, WithoutAFixThePositionIsZero) {
    const std::string body = BuildReadingDocument(Reading({1.0f}), nullptr);
    EXPECT_NE(body.find("<latitude>0.000000</latitude><longitude>0.000000</longitude>"),
              std::string::npos);
    EXPECT_NE(body.find("<resistance_1>1.000000</resistance_1></gantrel_data>"),
              std::string::npos);
}

TEST(ReadingDocument, AFixRecordWithoutAPositionCountsAsNoFix) {
    const CGPSData unset;  // -200, -200
    EXPECT_NE(BuildReadingDocument(Reading({1.0f}), &unset)
                  .find("<latitude>0.000000</latitude><longitude>0.000000</longitude>"),
              std::string::npos);
    const CGPSData pole = Fix(-90.0, 180.0);
    EXPECT_NE(BuildReadingDocument(Reading({1.0f}), &pole)
                  .find("<latitude>-90.000000</latitude><longitude>180.000000</longitude>"),
              std::string::npos);
}

TEST(ReadingDocument, CoordinatesKeepTheSixthDecimalOfTheFix) {
    // In single precision these would read 35.123455 and 139.765427 (a metre off).
    const CGPSData fix = Fix(35.1234567, -139.7654321);
    const std::string body = BuildReadingDocument(Reading({1.0f}), &fix);
    EXPECT_NE(body.find("<latitude>35.123457</latitude>"), std::string::npos) << body;
    EXPECT_NE(body.find("<longitude>-139.765432</longitude>"), std::string::npos) << body;
}

TEST(ReadingDocument, ReceiverCountOutsideTheArrayNeverReadsPastIt) {
    CGantrelData d = Reading({1, 2, 3, 4, 5});
    d.nReceiver = 9;
    const std::string body = BuildReadingDocument(d, nullptr);
    EXPECT_NE(body.find("<number_of_receiver>9</number_of_receiver>"), std::string::npos);
    EXPECT_NE(body.find("<resistance_5>5.000000</resistance_5></gantrel_data>"),
              std::string::npos);
    d.nReceiver = -1;
    EXPECT_EQ(BuildReadingDocument(d, nullptr).find("<resistance_"), std::string::npos);
}

class SurveyDocumentTest : public ::testing::Test {
protected:
    void SetUp() override { SetSettingsBackend(&store); }
    void TearDown() override { SetSettingsBackend(nullptr); }
    CGantrelLine& AddLine(int fileIndex, std::initializer_list<std::initializer_list<float>> data) {
        CGantrelLine& line = *survey.AddLine();
        line.iFileIndex = fileIndex;
        for (auto values : data) *line.AddData() = Reading(values);
        return line;
    }
    CMemorySettingsBackend store;
    CGantrelSurvey survey;
};

TEST_F(SurveyDocumentTest, OneLineIsWrittenInTheDocumentsOrderAndFormats) {
    CGantrelLine& line = AddLine(7, {{12.5f, 3.25f}});
    line.pGeometry->fOffset = 5.0f;
    line.pGeometry->fRopeLength = 10.0f;
    line.pGeometry->fReceiverDipole = 2.5f;
    line.pGeometry->fTransmitterDipole = 5.0f;
    CXmlDocument doc;
    ASSERT_TRUE(BuildSurveyDocument(survey, "North field", doc).ok());
    EXPECT_EQ(doc.Text(),
              "<?xml version='1.0'?>\r\n<gantrel_file><user_name>OSTREL_PC</user_name>"
              "<project_name>North field</project_name><gantrel_line>"
              "<file_index>7</file_index><line_index>0</line_index><gantrel_geometry>"
              "<geometry_offset>5.000000</geometry_offset>"
              "<geometry_rope_length>10.000000</geometry_rope_length>"
              "<geometry_receiver_dipole>2.500000</geometry_receiver_dipole>"
              "<geometry_transmitter_dipole>5.000000</geometry_transmitter_dipole>"
              "</gantrel_geometry><gantrel_data><number_of_receiver>2</number_of_receiver>"
              "<resistance_1>12.500000</resistance_1><resistance_2>3.250000</resistance_2>"
              "</gantrel_data></gantrel_line></gantrel_file>\r\n");
}

TEST_F(SurveyDocumentTest, LinesAndReadingsFollowSurveyOrder) {
    AddLine(3, {{1.0f}, {2.0f, 2.5f}});
    AddLine(3, {});
    AddLine(4, {{9.0f, 8.0f, 7.0f, 6.0f, 5.0f}});
    CXmlDocument doc;
    ASSERT_TRUE(BuildSurveyDocument(survey, "", doc).ok());
    pugi::xml_document parsed;
    ASSERT_TRUE(parsed.load_string(doc.Text().c_str()));
    pugi::xml_node root = parsed.child("gantrel_file");
    EXPECT_STREQ(root.child_value("project_name"), "");
    std::vector<std::string> lines;
    for (pugi::xml_node l : root.children("gantrel_line")) {
        std::string s = std::string(l.child_value("file_index")) + "/" + l.child_value("line_index");
        // The geometry comes before the readings.
        EXPECT_STREQ(l.first_child().next_sibling().next_sibling().name(), "gantrel_geometry");
        for (pugi::xml_node d : l.children("gantrel_data")) {
            s += " " + std::string(d.child_value("number_of_receiver")) + ":";
            for (pugi::xml_node r = d.child("number_of_receiver").next_sibling(); r;
                 r = r.next_sibling())
                s += std::string(r.name()).substr(11) + "=" + r.child_value() + ",";
        }
        lines.push_back(s);
    }
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "3/0 1:1=1.000000, 2:1=2.000000,2=2.500000,", "3/1",
                         "4/2 5:1=9.000000,2=8.000000,3=7.000000,4=6.000000,5=5.000000,"}));
    EXPECT_EQ(CountSurveyReadings(survey), 3);
}

TEST_F(SurveyDocumentTest, AProjectNameThatIsNotUtf8IsRefusedNotSent) {
    AddLine(1, {{1.0f}});
    CXmlDocument doc;
    const CXmlStatus status = BuildSurveyDocument(survey, "bad \xFF name", doc);
    EXPECT_FALSE(status.ok());
    EXPECT_NE(status.message.find("project_name"), std::string::npos) << status.message;
    EXPECT_EQ(doc.Text(), "");
}

TEST(ResponseText, KeepsValidTextAndMarksWhatCannotBeShown) {
    EXPECT_EQ(ResponseText("OK\r\n\tdone", 100), "OK\r\n\tdone");
    EXPECT_EQ(ResponseText(std::string("a\0b\x1b[2J\x7f", 8), 100), "a?b?[2J?");
    EXPECT_EQ(ResponseText("\xC3(\xE6\x97\xA5\xED\xA0\x80", 100), "?(\xE6\x97\xA5???")
        << "a stray lead byte and a surrogate are not UTF-8";
    EXPECT_EQ(ResponseText("\xC0\xAF", 100), "??") << "overlong";
}

TEST(ResponseText, IsCutAtTheLimitBetweenCharacters) {
    EXPECT_EQ(ResponseText("abcdef", 4), "abcd");
    EXPECT_EQ(ResponseText("ab\xE6\x97\xA5", 4), "ab") << "the character would not fit whole";
    EXPECT_EQ(ResponseText("", 4), "");
}

TEST(ResponseText, PiecesNeverSplitACharacter) {
    const std::string text = "abc\xE6\x97\xA5\xE6\x97\xA5z";  // 3 + 3 + 3 + 1 bytes
    EXPECT_EQ(SplitResponse(text, 5),
              (std::vector<std::string>{"abc", "\xE6\x97\xA5", "\xE6\x97\xA5z"}));
    EXPECT_EQ(SplitResponse(std::string(16, 'x'), 8).size(), 2u) << "no empty last piece";
    EXPECT_EQ(SplitResponse("", 8), std::vector<std::string>{""});
}

TEST(ResponseText, LineEndsOfEveryKindBecomeLf) {
    EXPECT_EQ(LfLineEnds("a\r\nb\nc\rd\r"), "a\nb\nc\nd\n");
}

class UploadTargetTest : public SurveyDocumentTest {};

TEST_F(UploadTargetTest, TheServiceAddressIsASettingWithALocalDefault) {
    EXPECT_EQ(ServiceURL(kSurveyUploadPath),
              "http://localhost/gantrel/upload_gantrel_data_multi.php");
    EXPECT_EQ(LoadReadingUploadURL(), "http://localhost/gantrel/upload_gantrel_data.php");
    WriteSettingString("sServiceAddress", "https://survey.example.test:8443//");
    EXPECT_EQ(LoadReadingUploadURL(),
              "https://survey.example.test:8443/gantrel/upload_gantrel_data.php");
    StoreReadingUploadURL("http://127.0.0.1:9/x.php");
    EXPECT_EQ(ReadSettingString("sRegistrationURL", ""), "http://127.0.0.1:9/x.php");
    EXPECT_EQ(LoadReadingUploadURL(), "http://127.0.0.1:9/x.php") << "the user's URL wins";
}

TEST(UploadFailureCounter, ThirdFailureInARowSwitchesOffAndASuccessResets) {
    CUploadFailureCounter c;
    EXPECT_FALSE(c.Count(false));
    EXPECT_FALSE(c.Count(false));
    EXPECT_FALSE(c.Count(true));
    EXPECT_FALSE(c.Count(false));
    EXPECT_FALSE(c.Count(false));
    EXPECT_TRUE(c.Count(false));
    EXPECT_EQ(c.nFailure, 0);
}

TEST(UploadErrorText, NamesTheNumberAndAtMost512BytesOfTheMessage) {
    EXPECT_EQ(UploadErrorText(7, "Couldn't connect to server"),
              "Error during upload\r\nError: 7\r\nCouldn't connect to server");
    const std::string text = UploadErrorText(28, std::string(2000, 'm'));
    EXPECT_EQ(text.size(), std::string("Error during upload\r\nError: 28\r\n").size() + 512);
}

}  // namespace
