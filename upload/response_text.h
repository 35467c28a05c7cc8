// What the collecting service answered, made fit to show: its reply is outside bytes of any
// length and encoding, shown in a log or a message box and written to a text file.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "common/text_format.h"  // LfLineEnds, for the reply file

// At most maxBytes bytes of valid UTF-8 taken from the start of reply, never cut inside a
// character. A byte that does not belong to a well-formed UTF-8 character, and every control
// character other than tab, CR and LF (NUL included), becomes '?'.
std::string ResponseText(std::string_view reply, size_t maxBytes);

// The text in consecutive pieces of at most pieceBytes bytes (at least 4), cut only between
// characters of valid UTF-8 text; an empty text gives one empty piece.
std::vector<std::string> SplitResponse(std::string_view text, size_t pieceBytes);

