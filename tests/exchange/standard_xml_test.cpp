#include "exchange/standard_xml.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <pugixml.hpp>
#include <sstream>

#include "common/memory_settings.h"
#include "common/settings.h"

namespace fs = std::filesystem;

namespace {

class StandardXml : public ::testing::Test {
protected:
    void SetUp() override {
        SetSettingsBackend(&settings);
        dir = fs::temp_directory_path() /
              ("gantrel_sxml_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        fs::remove_all(dir);
        SetSettingsBackend(nullptr);
    }
    static std::string Slurp(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    // 3 node columns at 0, 5 and 10 m, 2 layers (tops at 0 and -2 m, base closed at -5 m),
    // element resistivities 100 + 10 i + j; two electrodes and one datum.
    static StandardXmlSection ThreeColumnsTwoLayers() {
        StandardXmlSection s;
        s.nx = 2;
        s.nz = 2;
        for (int i = 0; i <= 2; ++i) {
            for (float z : {0.0f, -2.0f, -5.0f}) {
                s.nodeX.push_back(5.0f * static_cast<float>(i));
                s.nodeZ.push_back(z);
            }
        }
        for (int i = 0; i < 2; ++i)
            for (int j = 0; j < 2; ++j)
                s.elementResistivity.push_back(100.0f + 10.0f * static_cast<float>(i) +
                                               static_cast<float>(j));
        s.positionDistance = {12.5f, 15.0f, 17.5f, 20.0f};
        s.positionElevation = {0.0f, 0.0f, 0.0f, 0.0f};
        s.data.push_back({1, 2, 3, 4, 123.25f});
        return s;
    }
    pugi::xml_document Parse(const fs::path& p) {
        pugi::xml_document doc;
        const pugi::xml_parse_result r =
            doc.load_file(p.c_str(), pugi::parse_default | pugi::parse_comments);
        EXPECT_TRUE(r) << r.description();
        return doc;
    }

    CMemorySettingsBackend settings;
    fs::path dir;
    CStandardXMLSurveyInfo info;
};

std::vector<std::string> ChildNames(const pugi::xml_node& n) {
    std::vector<std::string> out;
    for (const pugi::xml_node c : n.children())
        if (c.type() == pugi::node_element) out.emplace_back(c.name());
    return out;
}

TEST_F(StandardXml, GridOfThreeColumnsAndTwoLayers) {
    const fs::path path = dir / "section.xml";
    ASSERT_TRUE(WriteStandardXmlDocument(path, CStandardXMLTagResistivity(), info,
                                         ThreeColumnsTwoLayers())
                    .ok());
    const pugi::xml_document doc = Parse(path);
    const pugi::xml_node grid =
        doc.child("geophysical_sections").child("line").child("section").child("section_grid");
    EXPECT_STREQ(grid.child_value("grid_nx"), "2");
    EXPECT_STREQ(grid.child_value("grid_nz"), "2");
    const pugi::xml_node nodes = grid.child("node_definition");
    EXPECT_STREQ(nodes.child_value("node_n_node"), "9");
    int nNode = 0, nSurface = 0;
    for (const pugi::xml_node n : nodes.children("node_node")) {
        const int i = n.attribute("node_x_index").as_int();
        const int j = n.attribute("node_z_index").as_int();
        EXPECT_EQ(n.child("node_index").text().as_int(), 3 * i + j);
        if (n.attribute("node_property")) {
            EXPECT_STREQ(n.attribute("node_property").value(), "surface");
            EXPECT_EQ(j, 0);
            ++nSurface;
        }
        ++nNode;
    }
    EXPECT_EQ(nNode, 9);
    EXPECT_EQ(nSurface, 3);
    const pugi::xml_node elements = grid.child("element_definition");
    EXPECT_STREQ(elements.child_value("element_n_element"), "4");
    std::vector<pugi::xml_node> list;
    for (const pugi::xml_node e : elements.children("element_element")) list.push_back(e);
    ASSERT_EQ(list.size(), 4u);
    const pugi::xml_node e10 = list[2];
    EXPECT_EQ(e10.attribute("element_x_index").as_int(), 1);
    EXPECT_EQ(e10.attribute("element_z_index").as_int(), 0);
    EXPECT_STREQ(e10.child_value("element_index"), "2");
    EXPECT_STREQ(e10.child_value("element_n_node"), "4");
    EXPECT_STREQ(e10.child_value("element_data"), "110.000000");
    std::vector<int> corners, orders;
    for (const pugi::xml_node c : e10.children("element_node_index")) {
        corners.push_back(c.text().as_int());
        orders.push_back(c.attribute("element_node_order").as_int());
    }
    EXPECT_EQ(corners, (std::vector<int>{3, 4, 7, 6}));
    EXPECT_EQ(orders, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_TRUE(grid.child("data_definition"));
    EXPECT_FALSE(grid.child("data_definition").first_child());
}

TEST_F(StandardXml, ElementsInTheOrderOfTheFormat) {
    settings.WriteString(SettingsScope::Profile, "Investigation_sClient", "Prefecture");
    info.Load();
    const fs::path path = dir / "order.xml";
    ASSERT_TRUE(WriteStandardXmlDocument(path, CStandardXMLTagResistivity(), info,
                                         ThreeColumnsTwoLayers())
                    .ok());
    const std::string text = Slurp(path);
    EXPECT_EQ(text.substr(0, 23), "<?xml version='1.0'?>\r\n");
    EXPECT_EQ(text.find("<?xml", 1), std::string::npos) << "one declaration";
    const pugi::xml_document doc = Parse(path);
    EXPECT_EQ(doc.first_child().type(), pugi::node_comment);
    EXPECT_STREQ(doc.first_child().value(), kStandardXmlComment);
    const pugi::xml_node root = doc.child("geophysical_sections");
    EXPECT_EQ(ChildNames(root),
              (std::vector<std::string>{"language", "database", "number_of_lines", "line"}));
    EXPECT_STREQ(root.child_value("language"), "English");
    EXPECT_STREQ(root.child("database").child_value("database_version"),
                 "PWRI.STANDARD.FORMAT.2011.01");
    EXPECT_STREQ(root.child_value("number_of_lines"), "1");
    const pugi::xml_node line = root.child("line");
    EXPECT_EQ(ChildNames(line), (std::vector<std::string>{"header", "section", "resistivity_2d"}));
    const pugi::xml_node header = line.child("header");
    EXPECT_EQ(ChildNames(header.child("investigation")),
              (std::vector<std::string>{"project", "investigation_name", "client", "contractor",
                                        "application", "site_name"}));
    EXPECT_STREQ(header.child("investigation").child_value("client"), "Prefecture");
    EXPECT_STREQ(header.child("investigation").child_value("application"), "Purpose");
    const pugi::xml_node survey = header.child("survey");
    EXPECT_EQ(ChildNames(survey), (std::vector<std::string>{"survey_method", "survey_section_index",
                                                            "acquisition", "analysis"}));
    EXPECT_STREQ(survey.child_value("survey_method"), "geophysical_exploration");
    EXPECT_EQ(ChildNames(survey.child("acquisition")),
              (std::vector<std::string>{"operator", "acquisition_date", "acquisition_method",
                                        "instrument"}));
    EXPECT_STREQ(survey.child("acquisition").child_value("acquisition_date"), "20010101");
    EXPECT_STREQ(survey.child("analysis").child_value("analysys_software"), "Sarovin");
    EXPECT_EQ(ChildNames(line.child("section")),
              (std::vector<std::string>{"section_index", "data_information", "section_format",
                                        "data_method", "data_area", "section_grid",
                                        "physical_property", "unit"}));
    EXPECT_STREQ(line.child("section").child_value("section_format"), "TETRAGON_GRIDS");
    EXPECT_STREQ(line.child("section").child_value("data_area"), "ELEMENT_DEFINITION");
}

TEST_F(StandardXml, ResistivityDataWithTheirElectrodePositions) {
    const fs::path path = dir / "data.xml";
    ASSERT_TRUE(WriteStandardXmlDocument(path, CStandardXMLTagResistivity(), info,
                                         ThreeColumnsTwoLayers())
                    .ok());
    const pugi::xml_document doc = Parse(path);
    const pugi::xml_node r2d = doc.child("geophysical_sections").child("line").child("resistivity_2d");
    EXPECT_STREQ(r2d.child_value("resistivity_2d_section_index"), "0");
    const pugi::xml_node pos = r2d.child("resistivity_2d_position");
    EXPECT_STREQ(pos.child_value("resistivity_2d_position_n_position"), "4");
    std::vector<std::string> distances;
    int expected = 1;
    for (const pugi::xml_node p : pos.children("resistivity_2d_position_location")) {
        EXPECT_EQ(p.attribute("resistivity_2d_position_index").as_int(), expected++);
        EXPECT_STREQ(p.child_value("resistivity_2d_position_property"), "1");
        distances.emplace_back(p.child_value("resistivity_2d_position_distance"));
        EXPECT_STREQ(p.child_value("resistivity_2d_position_elevation"), "0.000000");
    }
    EXPECT_EQ(distances, (std::vector<std::string>{"12.500000", "15.000000", "17.500000",
                                                   "20.000000"}))
        << "reals in the C locale, six decimals";
    const pugi::xml_node data = r2d.child("resistivity_2d_data");
    EXPECT_STREQ(data.child_value("resistivity_2d_data_n_data"), "1");
    EXPECT_STREQ(data.child_value("resistivity_2d_data_unit_resistivity"), "ohm");
    const pugi::xml_node d = data.child("resistivity_2d_data_data");
    EXPECT_STREQ(d.child_value("resistivity_2d_data_data_p1_index"), "3");
    EXPECT_STREQ(d.child("resistivity_2d_data_data_observation")
                     .child_value("resistivity_2d_data_data_observation_resistivity"),
                 "123.250000");
}

TEST_F(StandardXml, JapaneseVocabularyKeepsSomeTagsInEnglish) {
    const fs::path path = dir / "ja.xml";
    const CStandardXMLTagResistivityJapanese ja;
    EXPECT_EQ(ja.Language(), "JAPANESE");
    EXPECT_EQ(CStandardXMLTagResistivity().Language(), "ENGLISH");
    ASSERT_TRUE(WriteStandardXmlDocument(path, ja, info, ThreeColumnsTwoLayers()).ok());
    const std::string text = Slurp(path);
    // UTF-8 in the file itself, not character references.
    EXPECT_NE(text.find("<物理探査結果><language>日本語</language>"), std::string::npos);
    EXPECT_EQ(text.find("&#"), std::string::npos);
    const pugi::xml_document doc = Parse(path);
    const pugi::xml_node root = doc.child("物理探査結果");
    ASSERT_TRUE(root);
    EXPECT_EQ(ChildNames(root),
              (std::vector<std::string>{"language", "データベース情報", "測線数", "測線"}));
    const pugi::xml_node line = root.child("測線");
    EXPECT_TRUE(line.child("標題情報").child("調査情報").child("site_name"));
    const pugi::xml_node section = line.child("断面");
    EXPECT_TRUE(section.child("data_information"));
    EXPECT_STREQ(section.child_value("断面_書式"), "四角形格子");
    EXPECT_STREQ(section.child_value("物性値_定義方法"), "要素");
    const pugi::xml_node node = section.child("四角形格子").child("節点定義").child("節点");
    EXPECT_STREQ(node.attribute("節点_属性").value(), "地表");
    EXPECT_TRUE(node.attribute("節点_X番号"));
    EXPECT_TRUE(line.child("resistivity_2d").child("resistivity_2d_data"))
        << "the resistivity data's tags stay English";
}

TEST_F(StandardXml, AnIndependentParserAcceptsBothVocabularies) {
    int status = std::system("command -v xmllint >/dev/null 2>&1");
    if (status != 0) GTEST_SKIP() << "xmllint (Debian package libxml2-utils) is not installed";
    const CStandardXMLTagResistivity en;
    const CStandardXMLTagResistivityJapanese ja;
    for (const CStandardXMLTagResistivity* tags :
         {&en, static_cast<const CStandardXMLTagResistivity*>(&ja)}) {
        const fs::path path = dir / (tags->Language() + ".xml");
        ASSERT_TRUE(WriteStandardXmlDocument(path, *tags, info, ThreeColumnsTwoLayers()).ok());
        const std::string command = "xmllint --noout '" + path.string() + "' 2>&1";
        FILE* p = ::popen(command.c_str(), "r");
        ASSERT_NE(p, nullptr);
        std::string out;
        char buffer[512];
        size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
        const int rc = ::pclose(p);
        EXPECT_TRUE(WIFEXITED(rc) && WEXITSTATUS(rc) == 0) << tags->Language() << ": " << out;
    }
}

TEST_F(StandardXml, AFailedDocumentLeavesThePreviousFile) {
    const fs::path path = dir / "keep.xml";
    {
        std::ofstream(path, std::ios::binary) << "previous";
    }
    info.investigation.sProject = std::string("bad\x01name");
    const CXmlStatus s =
        WriteStandardXmlDocument(path, CStandardXMLTagResistivity(), info, ThreeColumnsTwoLayers());
    EXPECT_FALSE(s.ok());
    EXPECT_EQ(s.message.rfind("Cannot write the file " + path.string() + ": ", 0), 0u) << s.message;
    EXPECT_EQ(Slurp(path), "previous");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1)
        << "no temporary left behind";

    const fs::path missing = dir / "no" / "x.xml";
    EXPECT_EQ(WriteStandardXmlDocument(missing, CStandardXMLTagResistivity(), CStandardXMLSurveyInfo(),
                                       ThreeColumnsTwoLayers())
                  .message,
              "Cannot open the file " + missing.string());
}

}  // namespace
