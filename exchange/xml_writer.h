// XML documents built in memory, element by element, and saved in one step. The writers of
// the exchange documents (section document, KML, upload document) only deal with element
// names and values through this layer.
//
// What a saved document looks like:
// - exactly one declaration, "<?xml " + the declaration data + "?>", always first;
// - then every top-level node (comments, processing instructions, the root element) in the
//   order built, each followed by a line end; nothing is inserted between or inside elements;
// - UTF-8 without a byte order mark, line ends CR LF like every text file of the suite;
// - numbers are formatted here in the C locale: integers "%d", reals "%f" (six decimals).
//
// Errors. The Windows programs raised the XML object's errors as exceptions from every
// building call. Here a building step that cannot be carried out (an invalid name, a value
// that is not UTF-8 or holds a control character, a second root, memory exhausted) records
// the first error in the document; later steps on that document do nothing and return empty
// handles, and Save refuses to write, returning the error with the file's name. A partly
// built document is therefore never saved, and callers build without try/catch and check one
// status at the end.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace pugi {
struct xml_node_struct;
}

// Declaration data of the section and upload documents.
inline constexpr std::string_view kXmlDeclaration = "version='1.0'";

struct CXmlStatus {
    std::string message;  // for the user; empty when all went well
    bool ok() const { return message.empty(); }
};

class CXmlDocument;

// Handle of one element of a document. It stays valid while its document lives. A handle
// returned by a step that failed is empty; every step on an empty handle does nothing.
class CXmlElement {
public:
    bool IsEmpty() const { return node_ == nullptr; }

    // <name/> appended to this element.
    CXmlElement CreateChild(std::string_view name) const;
    // <name>value</name> appended to this element; a float value is written as a real.
    CXmlElement AddTextChild(std::string_view name, std::string_view value) const;
    CXmlElement AddTextChild(std::string_view name, int value) const;
    CXmlElement AddTextChild(std::string_view name, double value) const;
    // <name attribute="value"/> appended to this element.
    CXmlElement AddAttributedChild(std::string_view name, std::string_view attribute,
                                   std::string_view value) const;
    CXmlElement AddAttributedChild(std::string_view name, std::string_view attribute,
                                   int value) const;

    // The steps below return this element, so that they chain.
    // A further attribute of this element; a name already used on it is an error.
    CXmlElement SetAttribute(std::string_view name, std::string_view value) const;
    CXmlElement SetAttribute(std::string_view name, int value) const;
    CXmlElement SetAttribute(std::string_view name, double value) const;
    // A text node appended to this element.
    CXmlElement AddText(std::string_view text) const;
    // <!--text--> and <?target data?> appended to this element.
    CXmlElement AddComment(std::string_view text) const;
    CXmlElement AddProcessingInstruction(std::string_view target, std::string_view data) const;

private:
    friend class CXmlDocument;
    CXmlElement(CXmlDocument* doc, pugi::xml_node_struct* node) : doc_(doc), node_(node) {}

    CXmlDocument* doc_;
    pugi::xml_node_struct* node_;
};

class CXmlDocument {
public:
    // declaration: the data of the one declaration, "version='1.0'" or, for KML,
    // "version='1.0' encoding='UTF-8'". It must start with "version=".
    explicit CXmlDocument(std::string_view declaration = kXmlDeclaration);
    ~CXmlDocument();
    // Handles point into the document, so it stays where it was built.
    CXmlDocument(const CXmlDocument&) = delete;
    CXmlDocument& operator=(const CXmlDocument&) = delete;

    // The root element; a document has exactly one.
    CXmlElement CreateRoot(std::string_view name);
    // Top-level comment and processing instruction, placed in build order relative to the
    // root. The target "xml" (any case) is reserved for the declaration.
    void AddComment(std::string_view text);
    void AddProcessingInstruction(std::string_view target, std::string_view data);

    // The first building error (message without a file name); ok while none occurred.
    const CXmlStatus& Status() const;
    // The bytes Save writes; empty when the document cannot be saved (see Status, and a
    // document without a root element).
    std::string Text() const;
    // Writes the document. Failures: "Cannot open the file %s", "Cannot write the file %s",
    // and "Cannot write the file %s: <building error>" (nothing is written then).
    CXmlStatus Save(const std::filesystem::path& path) const;

private:
    friend class CXmlElement;
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
