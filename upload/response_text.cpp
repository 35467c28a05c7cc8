#include "upload/response_text.h"

#include <algorithm>
#include <cstdint>

namespace {

// Length of the well-formed UTF-8 character at s[i], or 0 when the bytes there are not one.
size_t CharacterLength(std::string_view s, size_t i) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) return 1;
    size_t len = 0;
    std::uint32_t cp = 0, least = 0;
    if ((c & 0xE0) == 0xC0) {
        len = 2, cp = c & 0x1Fu, least = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        len = 3, cp = c & 0x0Fu, least = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        len = 4, cp = c & 0x07u, least = 0x10000;
    } else {
        return 0;
    }
    if (len > s.size() - i) return 0;
    for (size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b & 0x3Fu);
    }
    // Overlong forms, surrogates and values past Unicode are not UTF-8.
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

bool IsShownControl(unsigned char c) {
    return c == '\t' || c == '\r' || c == '\n';
}

}  // namespace

std::string ResponseText(std::string_view reply, size_t maxBytes) {
    std::string out;
    out.reserve(std::min(reply.size(), maxBytes));
    size_t i = 0;
    while (i < reply.size()) {
        const size_t len = CharacterLength(reply, i);
        const auto c = static_cast<unsigned char>(reply[i]);
        if (len == 0 || (len == 1 && (c < 0x20 || c == 0x7F) && !IsShownControl(c))) {
            if (out.size() + 1 > maxBytes) break;
            out += '?';
            ++i;
            continue;
        }
        if (out.size() + len > maxBytes) break;
        out.append(reply.substr(i, len));
        i += len;
    }
    return out;
}

std::vector<std::string> SplitResponse(std::string_view text, size_t pieceBytes) {
    pieceBytes = std::max<size_t>(pieceBytes, 4);
    std::vector<std::string> pieces;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = std::min(text.size(), start + pieceBytes);
        // Back off continuation bytes so that no character is split.
        if (end < text.size()) {
            size_t e = end;
            while (e > start && (static_cast<unsigned char>(text[e]) & 0xC0) == 0x80) --e;
            if (e > start) end = e;
        }
        pieces.emplace_back(text.substr(start, end - start));
        start = end;
    }
    if (pieces.empty()) pieces.emplace_back();
    return pieces;
}
