#include "upload/response_text.h"

#include <algorithm>

#include "common/utf8.h"

namespace {

bool IsShownControl(unsigned char c) {
    return c == '\t' || c == '\r' || c == '\n';
}

}  // namespace

std::string ResponseText(std::string_view reply, size_t maxBytes) {
    std::string out;
    out.reserve(std::min(reply.size(), maxBytes));
    size_t i = 0;
    while (i < reply.size()) {
        const size_t len = Utf8CharacterLength(reply, i);
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
