#include "common/line_assembler.h"

#include <algorithm>
#include <cstring>

CLineAssembler::CLineAssembler(Overlong overlong)
    : overlong_(overlong),
      buffer_(std::make_unique<std::array<char, kBufferSize>>()),
      lines_(std::make_unique<std::array<std::array<char, kLineSize>, kMaxLines>>()) {}

int CLineAssembler::Append(const char* bytes, std::size_t n) {
    std::array<char, kBufferSize>& buf = *buffer_;
    if (bytes != nullptr && n > 0) {
        const std::size_t take = std::min(n, kBufferSize - fill_);
        std::memcpy(buf.data() + fill_, bytes, take);
        fill_ += take;
    }

    nLine_ = 0;
    std::size_t current = 0;   // characters in the line being cut
    std::size_t consumed = 0;  // bytes up to and including the last complete line's end
    for (std::size_t i = 0; i < fill_ && static_cast<std::size_t>(nLine_) < kMaxLines; ++i) {
        const char c = buf[i];
        const bool bTerminator = c == '\r' || c == '\n';
        if (bTerminator && current == 0) {
            consumed = i + 1;  // nothing of a line yet: the line end is simply skipped
            continue;
        }
        if (!bTerminator && current == kLineSize - 1 && overlong_ == Overlong::Continue) {
            // The line is full; this character starts the next piece.
            length_[static_cast<std::size_t>(nLine_)] = current;
            (*lines_)[static_cast<std::size_t>(nLine_)][current] = '\0';
            ++nLine_;
            current = 0;
            consumed = i;
            if (static_cast<std::size_t>(nLine_) == kMaxLines) break;
        } else if (bTerminator || current == kLineSize - 1) {
            // The terminator, or the 1,024th character, becomes the line's end and is dropped.
            length_[static_cast<std::size_t>(nLine_)] = current;
            (*lines_)[static_cast<std::size_t>(nLine_)][current] = '\0';
            ++nLine_;
            current = 0;
            consumed = i + 1;
            continue;
        }
        (*lines_)[static_cast<std::size_t>(nLine_)][current++] = c;
    }
    // Skipped line ends before an unfinished line need not be kept either.
    if (consumed > 0) {
        std::memmove(buf.data(), buf.data() + consumed, fill_ - consumed);
        fill_ -= consumed;
    }
    return nLine_;
}

std::string_view CLineAssembler::Line(int i) const {
    if (i < 0 || i >= nLine_) return {};
    const auto& line = (*lines_)[static_cast<std::size_t>(i)];
    const std::size_t len = length_[static_cast<std::size_t>(i)];
    const void* nul = std::memchr(line.data(), '\0', len);
    return {line.data(), nul != nullptr
                             ? static_cast<std::size_t>(static_cast<const char*>(nul) - line.data())
                             : len};
}

int SplitFields(std::string_view line, CFieldTable& fields) {
    std::size_t n = 0, start = 0;
    while (n < kMaxFields) {
        const std::size_t comma = line.find(',', start);
        const std::size_t end = comma == std::string_view::npos ? line.size() : comma;
        fields[n++] = line.substr(start, std::min(end - start, kMaxFieldLength));
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    for (std::size_t k = n; k < kMaxFields; ++k) fields[k] = {};
    return static_cast<int>(n);
}
