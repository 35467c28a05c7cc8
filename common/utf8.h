// UTF-8 as the suite's texts carry it (Japanese tags and messages, replies of web services).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// Length of the well-formed UTF-8 character at text[i] (1 to 4), or 0 when the bytes there are
// not one (overlong forms, surrogates and values past U+10FFFF are not). Its code point goes
// to *codePoint when given.
std::size_t Utf8CharacterLength(std::string_view text, std::size_t i,
                                std::uint32_t* codePoint = nullptr);
