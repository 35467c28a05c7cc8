// Files written whole or not at all, with the plain messages of the export commands: the
// saves of common/atomic_file.h (a synced temporary beside the destination, renamed over it)
// behind "Cannot open the file %s" and "Cannot write the file %s".
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "common/text_format.h"

// A text file (CR LF line ends, as CTextWriter writes) that replaces its destination on
// Commit.
class CReplacingWriter {
public:
    CReplacingWriter() = default;
    ~CReplacingWriter();  // removes the temporary unless committed
    CReplacingWriter(const CReplacingWriter&) = delete;
    CReplacingWriter& operator=(const CReplacingWriter&) = delete;

    // Creates the temporary beside path. False when it cannot be created (the folder is
    // missing or not writable, or path names a folder): Error() then holds "Cannot open the
    // file %s" with the destination's name.
    bool Open(const std::filesystem::path& path);
    bool IsOpen() const { return out_.IsOpen(); }
    CTextWriter& Text() { return out_; }
    // Closes the temporary and renames it over the destination. False when a write, the close
    // or the rename failed: the destination is then untouched and Error() holds "Cannot write
    // the file %s".
    bool Commit();
    // Abandons the write: the temporary is removed, the destination untouched.
    void Discard();
    const std::string& Error() const { return error_; }

private:
    std::filesystem::path target_;
    CTextWriter out_;
    std::string error_;
};

// Writes bytes exactly as given (no line-end translation) in the same way. Returns an empty
// string on success, else "Cannot open the file %s" or "Cannot write the file %s".
std::string ReplaceFileBytes(const std::filesystem::path& path, std::string_view bytes);
