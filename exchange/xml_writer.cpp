#include "exchange/xml_writer.h"

#include <cstdint>
#include <pugixml.hpp>
#include <utility>

#include "common/atomic_file.h"
#include "common/language.h"
#include "common/text_format.h"
#include "common/utf8.h"

namespace {

// Empty when text is well-formed UTF-8 holding only characters XML 1.0 can carry; otherwise
// what is wrong, to follow a description of where the text was going.
std::string CharacterProblem(std::string_view text) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        const unsigned char c = s[i];
        if (c < 0x80) {
            if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
                return FormatC("contains the control character 0x%02X", c);
            ++i;
            continue;
        }
        std::uint32_t cp = 0;
        const size_t len = Utf8CharacterLength(text, i, &cp);
        if (len == 0) return "is not valid UTF-8";
        if (cp == 0xFFFE || cp == 0xFFFF)
            return FormatC("contains the non-character U+%04X", static_cast<unsigned>(cp));
        i += len;
    }
    return {};
}

// XML names, simplified: ASCII letters, "_" and ":" start a name, digits, "." and "-" may
// follow, and every non-ASCII character is accepted (the Japanese tag vocabulary).
bool IsXmlName(std::string_view name) {
    if (name.empty()) return false;
    for (size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        const bool start =
            (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' || c >= 0x80;
        const bool follow = (c >= '0' && c <= '9') || c == '.' || c == '-';
        if (!start && !(i > 0 && follow)) return false;
    }
    return true;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}


class StringSink : public pugi::xml_writer {
public:
    explicit StringSink(std::string& out) : out_(out) {}
    void write(const void* data, size_t size) override {
        out_.append(static_cast<const char*>(data), size);
    }

private:
    std::string& out_;
};

}  // namespace

struct CXmlDocument::Impl {
    pugi::xml_document doc;
    std::string declaration;
    CXmlStatus status;

    bool Failed() const { return !status.ok(); }
    void Fail(std::string message) {
        if (status.ok()) status.message = std::move(message);
    }

    bool CheckName(std::string_view name, const char* kind) {
        const std::string problem = CharacterProblem(name);
        if (!problem.empty())
            Fail(FormatC("the %s name %s", kind, problem.c_str()));
        else if (!IsXmlName(name))
            Fail(FormatC("invalid %s name \"%.*s\"", kind, static_cast<int>(name.size()),
                         name.data()));
        return !Failed();
    }

    bool CheckValue(std::string_view value, const std::string& where) {
        std::string problem = CharacterProblem(value);
        if (!problem.empty()) Fail(where + " " + problem);
        return !Failed();
    }

    pugi::xml_node AppendElement(pugi::xml_node parent, std::string_view name) {
        if (Failed() || !parent || !CheckName(name, "element")) return {};
        pugi::xml_node e = parent.append_child(pugi::node_element);
        if (!e || !e.set_name(std::string(name).c_str())) {
            Fail("out of memory");
            return {};
        }
        return e;
    }

    bool AppendText(pugi::xml_node e, std::string_view text) {
        if (Failed() || !e) return false;
        if (!CheckValue(text, FormatC("the text of element \"%s\"", e.name()))) return false;
        pugi::xml_node t = e.append_child(pugi::node_pcdata);
        if (!t || !t.set_value(text.data(), text.size())) {
            Fail("out of memory");
            return false;
        }
        return true;
    }

    bool SetAttribute(pugi::xml_node e, std::string_view name, std::string_view value) {
        if (Failed() || !e || !CheckName(name, "attribute")) return false;
        const std::string key(name);
        if (e.attribute(key.c_str())) {
            Fail(FormatC("attribute \"%s\" repeated on element \"%s\"", key.c_str(), e.name()));
            return false;
        }
        if (!CheckValue(value, FormatC("the value of attribute \"%s\"", key.c_str()))) return false;
        pugi::xml_attribute a = e.append_attribute(key.c_str());
        if (!a || !a.set_value(value.data(), value.size())) {
            Fail("out of memory");
            return false;
        }
        return true;
    }

    void AppendComment(pugi::xml_node parent, std::string_view text) {
        if (Failed() || !parent || !CheckValue(text, "a comment")) return;
        // "--" would end the comment early; a final "-" would make "--->".
        if (text.find("--") != std::string_view::npos || (!text.empty() && text.back() == '-')) {
            Fail("a comment contains \"--\" or ends with \"-\"");
            return;
        }
        // Comments and processing instructions cannot escape a CR, so their line ends become
        // LF here and CR LF in the file, which any parser reads back as LF.
        const std::string value = LfLineEnds(text);
        pugi::xml_node c = parent.append_child(pugi::node_comment);
        if (!c || !c.set_value(value.c_str())) Fail("out of memory");
    }

    void AppendProcessingInstruction(pugi::xml_node parent, std::string_view target,
                                     std::string_view data) {
        if (Failed() || !parent || !CheckName(target, "processing instruction")) return;
        if (EqualsNoCase(target, "xml")) {
            Fail("the processing instruction target \"xml\" is reserved for the declaration");
            return;
        }
        if (!CheckValue(data, "a processing instruction")) return;
        if (data.find("?>") != std::string_view::npos) {
            Fail("a processing instruction contains \"?>\"");
            return;
        }
        const std::string value = LfLineEnds(data);
        pugi::xml_node pi = parent.append_child(pugi::node_pi);
        if (!pi || !pi.set_name(std::string(target).c_str()) || !pi.set_value(value.c_str()))
            Fail("out of memory");
    }

    // Why the document cannot be saved, or empty.
    std::string SaveProblem() const {
        if (Failed()) return status.message;
        if (!doc.document_element()) return "the document has no root element";
        return {};
    }

    // The whole document with LF line ends. A CR can only come from a text node here
    // (pugixml escapes it in attribute values; comments and instructions were normalised), and
    // is written as a character reference so that it survives the reader's line-end handling.
    std::string SerializeLf() const {
        std::string out = "<?xml " + declaration + "?>\n";
        std::string raw;
        StringSink sink(raw);
        for (pugi::xml_node node : doc.children()) {
            raw.clear();
            node.print(sink, "", pugi::format_raw, pugi::encoding_utf8);
            for (char c : raw) {
                if (c == '\r')
                    out += "&#13;";
                else
                    out += c;
            }
            out += '\n';
        }
        return out;
    }
};

CXmlDocument::CXmlDocument(std::string_view declaration) : impl_(std::make_unique<Impl>()) {
    impl_->declaration = std::string(declaration);
    if (!CharacterProblem(declaration).empty() || declaration.substr(0, 8) != "version=" ||
        declaration.find("?>") != std::string_view::npos ||
        declaration.find_first_of("\r\n") != std::string_view::npos)
        impl_->Fail("invalid XML declaration");
}

CXmlDocument::~CXmlDocument() = default;

CXmlElement CXmlDocument::CreateRoot(std::string_view name) {
    if (!impl_->Failed()) {
        if (pugi::xml_node root = impl_->doc.document_element())
            impl_->Fail(FormatC("the document already has the root element \"%s\"", root.name()));
    }
    return CXmlElement(this, impl_->AppendElement(impl_->doc, name).internal_object());
}

void CXmlDocument::AddComment(std::string_view text) {
    impl_->AppendComment(impl_->doc, text);
}

void CXmlDocument::AddProcessingInstruction(std::string_view target, std::string_view data) {
    impl_->AppendProcessingInstruction(impl_->doc, target, data);
}

const CXmlStatus& CXmlDocument::Status() const {
    return impl_->status;
}

std::string CXmlDocument::Text() const {
    if (!impl_->SaveProblem().empty()) return {};
    const std::string lf = impl_->SerializeLf();
    std::string out;
    out.reserve(lf.size() + lf.size() / 16);
    for (char c : lf) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

CXmlStatus CXmlDocument::Save(const std::filesystem::path& path) const {
    const std::string problem = impl_->SaveProblem();
    if (!problem.empty()) return {CannotWriteFileMessage(path) + ": " + problem};
    // A temporary beside the file, renamed over it once whole: a failed save (a full disk, a
    // pulled stick) keeps the previous document. The writer turns every LF into CR LF.
    std::error_code ec;
    if (path.filename().empty() || std::filesystem::is_directory(path, ec))
        return {CannotOpenFileMessage(path)};
    CTextWriter out;
    if (!out.OpenReplacing(path)) return {CannotOpenFileMessage(path)};
    out.Write(impl_->SerializeLf());
    if (!out.Close()) return {SaveFailureMessage(out.Result(), path)};
    return {};
}

// Every step below does nothing on an empty handle; the document's first error stands.

CXmlElement CXmlElement::CreateChild(std::string_view name) const {
    if (IsEmpty()) return *this;
    return CXmlElement(doc_,
                       doc_->impl_->AppendElement(pugi::xml_node(node_), name).internal_object());
}

CXmlElement CXmlElement::AddTextChild(std::string_view name, std::string_view value) const {
    CXmlElement e = CreateChild(name);
    if (e.IsEmpty() || !doc_->impl_->AppendText(pugi::xml_node(e.node_), value))
        return CXmlElement(doc_, nullptr);
    return e;
}

CXmlElement CXmlElement::AddTextChild(std::string_view name, int value) const {
    return AddTextChild(name, FormatC("%d", value));
}

CXmlElement CXmlElement::AddTextChild(std::string_view name, double value) const {
    return AddTextChild(name, FormatC("%f", value));
}

CXmlElement CXmlElement::AddAttributedChild(std::string_view name, std::string_view attribute,
                                            std::string_view value) const {
    CXmlElement e = CreateChild(name);
    if (e.IsEmpty() || !doc_->impl_->SetAttribute(pugi::xml_node(e.node_), attribute, value))
        return CXmlElement(doc_, nullptr);
    return e;
}

CXmlElement CXmlElement::AddAttributedChild(std::string_view name, std::string_view attribute,
                                            int value) const {
    return AddAttributedChild(name, attribute, FormatC("%d", value));
}

CXmlElement CXmlElement::SetAttribute(std::string_view name, std::string_view value) const {
    if (!IsEmpty()) doc_->impl_->SetAttribute(pugi::xml_node(node_), name, value);
    return *this;
}

CXmlElement CXmlElement::SetAttribute(std::string_view name, int value) const {
    return SetAttribute(name, FormatC("%d", value));
}

CXmlElement CXmlElement::SetAttribute(std::string_view name, double value) const {
    return SetAttribute(name, FormatC("%f", value));
}

CXmlElement CXmlElement::AddText(std::string_view text) const {
    if (!IsEmpty()) doc_->impl_->AppendText(pugi::xml_node(node_), text);
    return *this;
}

CXmlElement CXmlElement::AddComment(std::string_view text) const {
    if (!IsEmpty()) doc_->impl_->AppendComment(pugi::xml_node(node_), text);
    return *this;
}

CXmlElement CXmlElement::AddProcessingInstruction(std::string_view target,
                                                  std::string_view data) const {
    if (!IsEmpty()) doc_->impl_->AppendProcessingInstruction(pugi::xml_node(node_), target, data);
    return *this;
}
