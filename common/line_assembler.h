// Cutting the bytes of a serial port into text lines, and the comma-separated fields of a
// line. Any byte may arrive (noise at a wrong baud rate, NUL bytes): the capacities below are
// never exceeded and every call returns.
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

class CLineAssembler {
public:
    static constexpr std::size_t kBufferSize = 16384;  // bytes waiting for their line end
    static constexpr std::size_t kMaxLines = 100;      // complete lines per call
    static constexpr std::size_t kLineSize = 1024;     // 1,023 characters and the terminator

    // What becomes of the rest of a line longer than 1,023 characters.
    enum class Overlong {
        // The 1,024th character is dropped and the rest starts the next line (the field
        // logger's console reading).
        DropNextCharacter,
        // Nothing is dropped: the line is cut after every 1,023 characters and each piece is
        // a line of its own, as the survey file reader reads an overlong line of a file.
        Continue,
    };

    explicit CLineAssembler(Overlong overlong = Overlong::DropNextCharacter);

    // Appends the bytes (those that do not fit in the buffer are dropped) and cuts complete
    // lines: a CR or LF ends a non-empty line and is not kept, CR and LF between lines are
    // skipped (so CR LF ends one line), and a line that reaches 1,023 characters is complete
    // (see Overlong for the rest of it). Stops at 100 lines; what is left waits for the next
    // call (a call with no bytes cuts further lines from it). Returns the number of lines.
    int Append(const char* bytes, std::size_t n);
    // How many bytes the buffer can still take.
    std::size_t Room() const { return kBufferSize - fill_; }
    int LineCount() const { return nLine_; }
    // Line i of the last Append, up to its first NUL byte (as a C string would read).
    std::string_view Line(int i) const;
    std::size_t Pending() const { return fill_; }

private:
    Overlong overlong_;
    std::unique_ptr<std::array<char, kBufferSize>> buffer_;
    std::size_t fill_ = 0;
    std::unique_ptr<std::array<std::array<char, kLineSize>, kMaxLines>> lines_;
    std::array<std::size_t, kMaxLines> length_{};
    int nLine_ = 0;
};

// Fields of a comma-separated line: cut at every comma, each field at most 255 characters
// (a longer one is cut), not trimmed; at most 20 fields.
inline constexpr std::size_t kMaxFields = 20;
inline constexpr std::size_t kMaxFieldLength = 255;
using CFieldTable = std::array<std::string_view, kMaxFields>;
// The fields view into line, which must outlive them. Returns min(number of fields, 20).
int SplitFields(std::string_view line, CFieldTable& fields);
