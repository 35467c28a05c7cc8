#include "common/text_format.h"

#include <cerrno>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdarg>
#include <cstring>
#include <vector>

#if !defined(_WIN32)
#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "common/language.h"

namespace {
#if !defined(_WIN32)
locale_t CLocale() {
    static locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return loc;
}
#endif

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string VFormat(const char* format, va_list args) {
    CNumericLocaleGuard guard;
    char small[256];
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (n < 0) return {};
    if (static_cast<size_t>(n) < sizeof small) return std::string(small, static_cast<size_t>(n));
    std::string out(static_cast<size_t>(n) + 1, '\0');
    std::vsnprintf(out.data(), out.size(), format, args);
    out.resize(static_cast<size_t>(n));
    return out;
}

// Skips blanks and a '+' sign (from_chars accepts '-' only).
template <typename T>
bool ScanNumber(std::string_view text, T& value, size_t* consumed) {
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) return false;
    T v{};
    const char* begin = text.data() + i;
    const char* end = text.data() + text.size();
    std::from_chars_result r;
    if constexpr (std::is_floating_point_v<T>) {
        r = std::from_chars(begin, end, v, std::chars_format::general);
    } else {
        // Parse as 64-bit so "-2147483648" fits before the sign is applied.
        long long wide = 0;
        r = std::from_chars(begin, end, wide);
        if (r.ec == std::errc()) {
            if (negative) wide = -wide;
            if (wide < INT32_MIN || wide > INT32_MAX) return false;
            value = static_cast<T>(wide);
            if (consumed) *consumed = static_cast<size_t>(r.ptr - text.data());
            return true;
        }
    }
    if (r.ec != std::errc()) return false;
    value = negative ? -v : v;
    if (consumed) *consumed = static_cast<size_t>(r.ptr - text.data());
    return true;
}
}  // namespace

CNumericLocaleGuard::CNumericLocaleGuard() {
#if !defined(_WIN32)
    previous_ = uselocale(CLocale());
#endif
}

CNumericLocaleGuard::~CNumericLocaleGuard() {
#if !defined(_WIN32)
    uselocale(static_cast<locale_t>(previous_));
#endif
}

std::string FormatC(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string s = VFormat(format, args);
    va_end(args);
    return s;
}

bool ScanDouble(std::string_view text, double& value, size_t* consumed) {
    return ScanNumber(text, value, consumed);
}

bool ScanFloat(std::string_view text, float& value, size_t* consumed) {
    return ScanNumber(text, value, consumed);
}

bool ScanInt(std::string_view text, int& value, size_t* consumed) {
    return ScanNumber(text, value, consumed);
}

size_t SplitTokens(std::string_view text, std::string_view* tokens, size_t maxTokens) {
    size_t n = 0, i = 0;
    while (n < maxTokens) {
        while (i < text.size() && IsBlank(text[i])) ++i;
        if (i >= text.size()) break;
        size_t start = i;
        while (i < text.size() && !IsBlank(text[i])) ++i;
        tokens[n++] = text.substr(start, i - start);
    }
    return n;
}

std::string LfLineEnds(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

CTextWriter::~CTextWriter() {
    // A replacing save that was not closed is abandoned: the old file stays.
    if (replacing_) {
        file_ = nullptr;
        atomic_.Discard();
        return;
    }
    Close();
}

bool CTextWriter::Open(const std::filesystem::path& path, bool append) {
    Close();
    good_ = true;
    replacing_ = false;
    result_ = SaveResult{};
    file_ = std::fopen(path.string().c_str(), append ? "ab" : "wb");
    if (file_ == nullptr) good_ = false;
    return file_ != nullptr;
}

bool CTextWriter::OpenReplacing(const std::filesystem::path& path) {
    Close();
    good_ = true;
    replacing_ = true;
    const bool ok = atomic_.Create(path);
    result_ = atomic_.Result();
    file_ = ok ? atomic_.Stream() : nullptr;
    if (!ok) {
        good_ = false;
        replacing_ = false;
    }
    return ok;
}

void CTextWriter::Failed() {
    if (good_) lastError_ = errno;
    good_ = false;
}

void CTextWriter::Write(std::string_view text) {
    if (file_ == nullptr) return;
    size_t start = 0;
    while (start < text.size()) {
        size_t nl = text.find('\n', start);
        size_t end = nl == std::string_view::npos ? text.size() : nl;
        if (end > start && std::fwrite(text.data() + start, 1, end - start, file_) != end - start)
            Failed();
        if (nl == std::string_view::npos) break;
        if (std::fwrite("\r\n", 1, 2, file_) != 2) Failed();
        start = nl + 1;
    }
}

void CTextWriter::Printf(const char* format, ...) {
    if (file_ == nullptr) return;
    va_list args;
    va_start(args, format);
    std::string s = VFormat(format, args);
    va_end(args);
    Write(s);
}

bool CTextWriter::Close() {
    if (file_ == nullptr) return good_;
    if (replacing_) {
        replacing_ = false;
        file_ = nullptr;  // owned by atomic_
        if (!good_) atomic_.MarkFailed(lastError_);
        result_ = atomic_.Commit();
        good_ = result_.ok();
        return good_;
    }
    if (std::fclose(file_) != 0) good_ = false;
    file_ = nullptr;
    return good_;
}

void CTextWriter::Abandon() {
    if (replacing_) {
        replacing_ = false;
        file_ = nullptr;  // owned by atomic_
        atomic_.Discard();
        return;
    }
    Close();
}

CLineReader::~CLineReader() { Close(); }

bool CLineReader::Open(const std::filesystem::path& path) {
    Close();
    lineNumber_ = 0;
    pos_ = end_ = 0;
    skipLF_ = false;
    buffer_.resize(1 << 16);
#if defined(_WIN32)
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return false;
    file_ = std::fopen(path.string().c_str(), "rb");
#else
    // Opened without waiting, and taken only when it is a regular file: a pipe would block
    // the open until a writer comes, and a device (/dev/zero) would be read for ever.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) (void)::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    file_ = ::fdopen(fd, "rb");
    if (file_ == nullptr) ::close(fd);
#endif
    return file_ != nullptr;
}

void CLineReader::Close() {
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
}

bool CLineReader::ReadLine(std::string& line) {
    line.clear();
    tooLong_ = false;
    if (file_ == nullptr) return false;
    bool any = false;
    for (;;) {
        if (pos_ == end_) {
            end_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
            pos_ = 0;
            if (end_ == 0) break;
        }
        // The LF of a CR LF split across two reads of the file.
        if (skipLF_) {
            skipLF_ = false;
            if (buffer_[pos_] == '\n') {
                ++pos_;
                continue;
            }
        }
        any = true;
        const char* begin = buffer_.data() + pos_;
        const size_t avail = end_ - pos_;
        const void* nl = std::memchr(begin, '\n', avail);
        size_t len = nl ? static_cast<size_t>(static_cast<const char*>(nl) - begin) : avail;
        // A CR ends the line as well: CR LF, or a CR alone (files of old Macintosh editors).
        const void* cr = std::memchr(begin, '\r', len);
        size_t skip = nl ? 1 : 0;
        if (cr != nullptr) {
            const size_t at = static_cast<size_t>(static_cast<const char*>(cr) - begin);
            skip = at + 1 == len && nl ? 2 : 1;
            if (at + 1 == avail) skipLF_ = true;  // its LF, if any, is in the next read
            len = at;
        }
        const size_t room = maxLength - line.size();
        line.append(begin, len < room ? len : room);
        if (len > room) tooLong_ = true;
        pos_ += len + skip;
        if (skip > 0) break;
    }
    if (!any) return false;
    ++lineNumber_;
    return true;
}

std::string UnreadableFileReason(const std::filesystem::path& path) {
    std::error_code ec;
    const std::filesystem::file_status st = std::filesystem::status(path, ec);
    if (st.type() == std::filesystem::file_type::not_found)
        return Tr("there is no such file", "そのようなファイルはありません");
    if (ec) return ec.message();
    if (st.type() == std::filesystem::file_type::directory)
        return Tr("it is a folder, not a file", "ファイルではなくフォルダーです");
    if (st.type() != std::filesystem::file_type::regular)
        return Tr("it is not a regular file", "通常のファイルではありません");
    CLineReader in;
    if (!in.Open(path)) return Tr("it cannot be read", "読み込めません");
    return {};
}

std::string NotRegularFileMessage(const std::filesystem::path& path) {
    std::error_code ec;
    const std::filesystem::file_status st = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::exists(st) || std::filesystem::is_regular_file(st)) return {};
    return CannotOpenFileMessage(path) + ": " + UnreadableFileReason(path);
}
