#include "common/replacing_writer.h"

#include <cerrno>
#include <cstdio>
#include <system_error>

#include "common/atomic_file.h"
#include "common/language.h"

namespace {

bool IsFolder(const std::filesystem::path& p) {
    std::error_code ec;
    return std::filesystem::is_directory(p, ec);
}

}  // namespace

CReplacingWriter::~CReplacingWriter() { Discard(); }

bool CReplacingWriter::Open(const std::filesystem::path& path) {
    Discard();
    error_.clear();
    target_ = path;
    // A folder is never replaced by a file, and a name without a file part cannot be one.
    if (path.filename().empty() || IsFolder(path) || !out_.OpenReplacing(path)) {
        error_ = CannotOpenFileMessage(path);
        return false;
    }
    return true;
}

bool CReplacingWriter::Commit() {
    if (!out_.IsOpen()) {
        if (error_.empty()) error_ = CannotOpenFileMessage(target_);
        return false;
    }
    if (!out_.Close()) {
        error_ = CannotWriteFileMessage(target_);
        return false;
    }
    return true;
}

void CReplacingWriter::Discard() { out_.Abandon(); }

std::string ReplaceFileBytes(const std::filesystem::path& path, std::string_view bytes) {
    if (path.filename().empty() || IsFolder(path)) return CannotOpenFileMessage(path);
    CAtomicFile file;
    if (!file.Create(path)) return CannotOpenFileMessage(path);
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file.Stream()) != bytes.size())
        file.MarkFailed(errno);
    return file.Commit().ok() ? std::string() : CannotWriteFileMessage(path);
}
