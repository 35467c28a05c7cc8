#include "common/utf8.h"

std::size_t Utf8CharacterLength(std::string_view text, std::size_t i, std::uint32_t* codePoint) {
    const auto c = static_cast<unsigned char>(text[i]);
    std::size_t len = 0;
    std::uint32_t cp = 0, least = 0;
    if (c < 0x80) {
        len = 1, cp = c;
    } else if ((c & 0xE0) == 0xC0) {
        len = 2, cp = c & 0x1Fu, least = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        len = 3, cp = c & 0x0Fu, least = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        len = 4, cp = c & 0x07u, least = 0x10000;
    } else {
        return 0;
    }
    if (len > text.size() - i) return 0;
    for (std::size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(text[i + k]);
        if ((b & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b & 0x3Fu);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    if (codePoint != nullptr) *codePoint = cp;
    return len;
}
