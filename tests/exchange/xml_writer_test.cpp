#include "exchange/xml_writer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <pugixml.hpp>
#include <sstream>

#include "common/language.h"
#include "tests/support/small_disk.h"

namespace fs = std::filesystem;

namespace {

class XmlDocumentTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("gantrel_xml_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    static std::string Slurp(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    // Saves, checks the file holds exactly Text(), and returns it.
    std::string SaveAndRead(const CXmlDocument& doc) {
        const fs::path path = dir_ / "out.xml";
        const CXmlStatus status = doc.Save(path);
        EXPECT_TRUE(status.ok()) << status.message;
        std::string bytes = Slurp(path);
        EXPECT_EQ(bytes, doc.Text());
        return bytes;
    }
    std::string SaveError(const CXmlDocument& doc) {
        const fs::path path = dir_ / "bad.xml";
        const CXmlStatus status = doc.Save(path);
        EXPECT_FALSE(fs::exists(path)) << "a document with an error must not be written";
        EXPECT_TRUE(doc.Text().empty());
        return status.message;
    }
    std::string BadPath() const { return (dir_ / "bad.xml").string(); }

    fs::path dir_;
};

TEST_F(XmlDocumentTest, SavesDeclarationThenNodesInBuildOrder) {
    CXmlDocument doc;
    doc.AddComment("first");
    CXmlElement root = doc.CreateRoot("survey");
    root.AddTextChild("name", "line A");
    CXmlElement geometry = root.CreateChild("geometry");
    geometry.AddTextChild("offset", 7.5f).SetAttribute("unit", 0.1);
    geometry.AddTextChild("count", -3);
    root.AddAttributedChild("node", "index", 4).SetAttribute("kind", "surface");
    root.CreateChild("empty");
    root.AddTextChild("blank", "");
    geometry.AddTextChild("late", 1);  // appended to an earlier element after its siblings
    EXPECT_EQ(SaveAndRead(doc),
              "<?xml version='1.0'?>\r\n<!--first-->\r\n<survey><name>line A</name>"
              "<geometry><offset "
              "unit=\"0.100000\">7.500000</offset><count>-3</count><late>1</late></geometry>"
              "<node index=\"4\" kind=\"surface\"/><empty/><blank></blank></survey>\r\n");
}

TEST_F(XmlDocumentTest, WritesTheGivenDeclarationOnce) {
    CXmlDocument doc("version='1.0' encoding='UTF-8'");
    doc.CreateRoot("kml");
    EXPECT_EQ(SaveAndRead(doc), "<?xml version='1.0' encoding='UTF-8'?>\r\n<kml/>\r\n");
}

TEST_F(XmlDocumentTest, EscapesMarkupInTextAndAttributes) {
    CXmlDocument doc;
    CXmlElement root = doc.CreateRoot("r");
    root.AddAttributedChild("a", "v", "x & y < z > \"q\" 'p'");
    root.AddTextChild("t", "x & y < z > \"q\" 'p' ]]>");
    const std::string bytes = SaveAndRead(doc);
    EXPECT_EQ(bytes,
              "<?xml version='1.0'?>\r\n<r><a v=\"x &amp; y &lt; z > &quot;q&quot; 'p'\"/>"
              "<t>x &amp; y &lt; z &gt; \"q\" 'p' ]]&gt;</t></r>\r\n");
    pugi::xml_document parsed;
    ASSERT_TRUE(parsed.load_string(bytes.c_str()));
    EXPECT_STREQ(parsed.child("r").child("a").attribute("v").value(), "x & y < z > \"q\" 'p'");
    EXPECT_STREQ(parsed.child("r").child("t").text().get(), "x & y < z > \"q\" 'p' ]]>");
}

TEST_F(XmlDocumentTest, KeepsJapaneseNamesAndTextAsUtf8) {
    CXmlDocument doc;
    doc.AddComment("物理探査結果二次元断面共通書式");
    CXmlElement root = doc.CreateRoot("物理探査結果");
    root.AddTextChild("language", "日本語");
    root.AddAttributedChild("節点", "節点_X番号", 0).SetAttribute("節点_属性", "地表");
    EXPECT_EQ(SaveAndRead(doc),
              "<?xml version='1.0'?>\r\n<!--物理探査結果二次元断面共通書式-->\r\n"
              "<物理探査結果><language>日本語</language>"
              "<節点 節点_X番号=\"0\" 節点_属性=\"地表\"/></物理探査結果>\r\n");
}

TEST_F(XmlDocumentTest, LineEndsInTextAreCrLfAndReadBackUnchanged) {
    CXmlDocument doc;
    CXmlElement root = doc.CreateRoot("r");
    root.AddTextChild("t", "one\ntwo\r\nthree\rfour");
    root.SetAttribute("a", "x\ny\rz");
    root.AddComment("c1\r\nc2");
    const std::string bytes = SaveAndRead(doc);
    EXPECT_EQ(bytes,
              "<?xml version='1.0'?>\r\n<r a=\"x&#10;y&#13;z\"><t>one\r\ntwo&#13;\r\nthree&#13;"
              "four</t><!--c1\r\nc2--></r>\r\n");
    pugi::xml_document parsed;
    ASSERT_TRUE(parsed.load_string(bytes.c_str()));
    EXPECT_STREQ(parsed.child("r").child("t").text().get(), "one\ntwo\r\nthree\rfour");
    EXPECT_STREQ(parsed.child("r").attribute("a").value(), "x\ny\rz");
}

TEST_F(XmlDocumentTest, WritesProcessingInstructionsAndCommentsWhereBuilt) {
    CXmlDocument doc;
    doc.AddProcessingInstruction("xml-stylesheet", "href='s.xsl'");
    CXmlElement root = doc.CreateRoot("r");
    root.AddProcessingInstruction("note", "").AddComment("inside").AddText("tail");
    doc.AddComment("after");
    EXPECT_EQ(SaveAndRead(doc),
              "<?xml version='1.0'?>\r\n<?xml-stylesheet href='s.xsl'?>\r\n"
              "<r><?note?><!--inside-->tail</r>\r\n<!--after-->\r\n");
}

TEST_F(XmlDocumentTest, RefusesInvalidNames) {
    CXmlDocument doc;
    doc.CreateRoot("r").CreateChild("two words");
    EXPECT_EQ(doc.Status().message, "invalid element name \"two words\"");
    EXPECT_EQ(SaveError(doc),
              "Cannot write the file " + BadPath() + ": invalid element name \"two words\"");

    CXmlDocument digit;
    digit.CreateRoot("1st");
    EXPECT_EQ(digit.Status().message, "invalid element name \"1st\"");

    CXmlDocument control;
    control.CreateRoot("esc\x1b");
    EXPECT_EQ(control.Status().message, "the element name contains the control character 0x1B");

    CXmlDocument attribute;
    attribute.CreateRoot("r").SetAttribute("", "v");
    EXPECT_EQ(attribute.Status().message, "invalid attribute name \"\"");
}

TEST_F(XmlDocumentTest, RefusesTextThatXmlCannotCarry) {
    CXmlDocument latin1;
    latin1.CreateRoot("r").AddTextChild("project", "caf\xe9");
    EXPECT_EQ(SaveError(latin1), "Cannot write the file " + BadPath() +
                                     ": the text of element \"project\" is not valid UTF-8");

    CXmlDocument control;
    control.CreateRoot("r").SetAttribute("a", std::string_view("x\0y", 3));
    EXPECT_EQ(control.Status().message,
              "the value of attribute \"a\" contains the control character 0x00");

    CXmlDocument truncated;  // a three-byte character cut after two bytes
    truncated.CreateRoot("r").AddText("\xe6\x97");
    EXPECT_EQ(truncated.Status().message, "the text of element \"r\" is not valid UTF-8");
}

TEST_F(XmlDocumentTest, RefusesASecondRootAndADocumentWithoutRoot) {
    CXmlDocument two;
    two.CreateRoot("a");
    EXPECT_TRUE(two.CreateRoot("b").IsEmpty());
    EXPECT_EQ(two.Status().message, "the document already has the root element \"a\"");

    CXmlDocument none;
    none.AddComment("only a comment");
    EXPECT_TRUE(none.Status().ok());
    EXPECT_EQ(SaveError(none),
              "Cannot write the file " + BadPath() + ": the document has no root element");
}

TEST_F(XmlDocumentTest, RefusesASecondDeclarationAndMalformedMarkup) {
    CXmlDocument pi;
    pi.CreateRoot("r");
    pi.AddProcessingInstruction("XML", "version='1.0'");
    EXPECT_EQ(pi.Status().message,
              "the processing instruction target \"xml\" is reserved for the declaration");

    CXmlDocument piEnd;
    piEnd.CreateRoot("r").AddProcessingInstruction("p", "a ?> b");
    EXPECT_EQ(piEnd.Status().message, "a processing instruction contains \"?>\"");

    CXmlDocument comment;
    comment.AddComment("a -- b");
    EXPECT_EQ(comment.Status().message, "a comment contains \"--\" or ends with \"-\"");

    CXmlDocument repeated;
    repeated.CreateRoot("r").SetAttribute("a", 1).SetAttribute("a", 2);
    EXPECT_EQ(repeated.Status().message, "attribute \"a\" repeated on element \"r\"");

    CXmlDocument declaration("encoding='UTF-8'");
    declaration.CreateRoot("r");
    EXPECT_EQ(declaration.Status().message, "invalid XML declaration");
}

TEST_F(XmlDocumentTest, KeepsTheFirstErrorAndIgnoresLaterSteps) {
    CXmlDocument doc;
    CXmlElement root = doc.CreateRoot("r");
    CXmlElement bad = root.AddTextChild("bad name", 1);
    EXPECT_TRUE(bad.IsEmpty());
    EXPECT_TRUE(bad.CreateChild("child").IsEmpty());
    EXPECT_TRUE(root.CreateChild("fine").IsEmpty());
    root.CreateChild("also bad");
    EXPECT_EQ(doc.Status().message, "invalid element name \"bad name\"");
}

TEST_F(XmlDocumentTest, ReportsAFileThatCannotBeOpened) {
    CXmlDocument doc;
    doc.CreateRoot("r");
    const fs::path path = dir_ / "missing folder" / "out.xml";
    EXPECT_EQ(doc.Save(path).message, "Cannot open the file " + path.string());
    EXPECT_EQ(doc.Save(dir_).message, "Cannot open the file " + dir_.string());
}

TEST_F(XmlDocumentTest, SaveFailuresSpeakTheCurrentLanguage) {
    SetLanguage(kLanguageJapanese);
    CXmlDocument doc;
    doc.CreateRoot("r");
    const fs::path path = dir_ / "missing folder" / "out.xml";
    const std::string cannotOpen = doc.Save(path).message;
    CXmlDocument bad;
    bad.CreateRoot("two words");
    const std::string cannotWrite = SaveError(bad);
    SetLanguage(kLanguageEnglish);
    EXPECT_EQ(cannotOpen, "ファイル " + path.string() + " を開けません");
    EXPECT_EQ(cannotWrite,
              "ファイル " + BadPath() + " に書き込めません: invalid element name \"two words\"");
}

TEST_F(XmlDocumentTest, AFullDiskKeepsThePreviousDocument) {
    testdata::CSmallDisk disk("xml");
    if (!disk.Mounted()) GTEST_SKIP() << disk.Reason();
    const fs::path path = disk.Folder() / "section.xml";
    CXmlDocument small;
    small.CreateRoot("r").AddTextChild("t", "kept");
    ASSERT_TRUE(small.Save(path).ok());
    const std::string before = Slurp(path);
    ASSERT_TRUE(disk.Fill());

    CXmlDocument doc;
    doc.CreateRoot("r").AddTextChild("t", std::string(100000, 'x'));
    const std::string message = doc.Save(path).message;
    EXPECT_EQ(message.rfind("Cannot write the file " + path.string(), 0), 0u) << message;
    EXPECT_NE(message.find("kept"), std::string::npos) << message;
    EXPECT_EQ(Slurp(path), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(disk.Folder()), fs::directory_iterator()), 2)
        << "the document and the filler, no temporary left";
}

TEST_F(XmlDocumentTest, NeverReplacesAFolderOrADevice) {
    CXmlDocument doc;
    doc.CreateRoot("r");
    EXPECT_EQ(doc.Save(fs::temp_directory_path()).message,
              "Cannot open the file " + fs::temp_directory_path().string());
    if (fs::exists("/dev/full")) {
        EXPECT_FALSE(doc.Save("/dev/full").ok());
        EXPECT_TRUE(fs::is_character_file("/dev/full"));
    }
}

}  // namespace
