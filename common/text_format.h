// Text conventions shared by every file the suite reads or writes: numbers are formatted and
// parsed in the C locale whatever the process locale is, lines are written with CR LF ends,
// and readers accept CR LF, LF, a CR alone and a last line without an end.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "common/atomic_file.h"

#if defined(__GNUC__)
#define GANTREL_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define GANTREL_PRINTF(fmt, args)
#endif

// printf into a std::string, numbers in the C locale.
std::string FormatC(const char* format, ...) GANTREL_PRINTF(1, 2);

// scanf-like number reads: leading blanks skipped, an optional sign, then the longest number
// prefix. False when there is no number or it does not fit (1e999 for a double, 2^31 for an
// int). The C locale's dot is the decimal separator.
bool ScanDouble(std::string_view text, double& value, size_t* consumed = nullptr);
bool ScanFloat(std::string_view text, float& value, size_t* consumed = nullptr);
bool ScanInt(std::string_view text, int& value, size_t* consumed = nullptr);

// Splits text at blanks (space, tab, CR, LF) as "%s" would, without copying.
// Returns the number of tokens stored (at most maxTokens).
size_t SplitTokens(std::string_view text, std::string_view* tokens, size_t maxTokens);

// Sets the calling thread's numeric locale to "C" for its lifetime.
class CNumericLocaleGuard {
public:
    CNumericLocaleGuard();
    ~CNumericLocaleGuard();
    CNumericLocaleGuard(const CNumericLocaleGuard&) = delete;
    CNumericLocaleGuard& operator=(const CNumericLocaleGuard&) = delete;

private:
    void* previous_ = nullptr;
};

// A text file written as the Windows programs' text-mode streams write: every "\n" becomes
// CR LF. Writes are buffered; Close flushes. Errors are sticky: Good() stays false after a
// failed write so callers can report a full disk once at the end.
//
// Saves open with OpenReplacing: the text goes to a temporary beside the file and Close()
// puts it in the file's place only when every write succeeded; a writer destroyed without
// Close() leaves the old file as it was. Open writes in place (logs that are appended to).
// The text with every line end (CR LF, LF or a lone CR) as LF, for CTextWriter, which writes
// each LF as CR LF.
std::string LfLineEnds(std::string_view text);

class CTextWriter {
public:
    CTextWriter() = default;
    ~CTextWriter();
    CTextWriter(const CTextWriter&) = delete;
    CTextWriter& operator=(const CTextWriter&) = delete;

    // append = true opens for appending (created when missing).
    bool Open(const std::filesystem::path& path, bool append = false);
    // False when no temporary can be made beside the file (or the path is not a file).
    bool OpenReplacing(const std::filesystem::path& path);
    bool IsOpen() const { return file_ != nullptr; }
    void Printf(const char* format, ...) GANTREL_PRINTF(2, 3);
    void Write(std::string_view text);
    bool Close();  // false when any write, the close or the replacement failed
    // Ends the file without replacing anything: a replacing save is abandoned (its temporary
    // removed, the old file kept); a plain file is closed.
    void Abandon();
    bool Good() const { return good_; }
    // How the last OpenReplacing save went: set by OpenReplacing and by Close(). For the
    // user's message, SaveFailureMessage(writer.Result(), path).
    const SaveResult& Result() const { return result_; }

private:
    void Failed();

    std::FILE* file_ = nullptr;
    bool good_ = true;
    int lastError_ = 0;  // errno of the first failed write
    bool replacing_ = false;
    CAtomicFile atomic_;
    SaveResult result_;
};

// Reads lines of any of the accepted line-end conventions: CR LF, LF and CR alone. Only
// regular files are opened (a pipe or a device would be waited on for ever). A line longer
// than maxLength is returned cut at maxLength and the rest of it is discarded
// (LastLineTooLong reports it).
class CLineReader {
public:
    CLineReader() = default;
    ~CLineReader();
    CLineReader(const CLineReader&) = delete;
    CLineReader& operator=(const CLineReader&) = delete;

    bool Open(const std::filesystem::path& path);
    bool IsOpen() const { return file_ != nullptr; }
    // False at the end of the file. The line excludes its CR LF or LF.
    bool ReadLine(std::string& line);
    bool LastLineTooLong() const { return tooLong_; }
    size_t LineNumber() const { return lineNumber_; }
    void Close();

    size_t maxLength = 1 << 20;

private:
    std::FILE* file_ = nullptr;
    std::vector<char> buffer_;
    size_t pos_ = 0, end_ = 0;
    bool tooLong_ = false;
    bool skipLF_ = false;  // the last line ended at a CR that was the last byte read
    size_t lineNumber_ = 0;
};

// Why a file cannot be read as an input, in the current language: "there is no such file",
// "it is a folder, not a file", "it is not a regular file" (a device or a pipe, which a
// reader would wait on for ever), "it cannot be read"; empty when it can. Never throws.
std::string UnreadableFileReason(const std::filesystem::path& path);
// "Cannot open the file %s: <reason>" for an input that exists but is a folder, a device or a
// pipe; empty otherwise (a missing file is left to the reader's own message).
std::string NotRegularFileMessage(const std::filesystem::path& path);
