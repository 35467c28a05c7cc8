#include "common/replacing_writer.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <system_error>

#include "common/language.h"

namespace {

// A name beside the destination that no other writer of this process (or, by the clock, of
// another) uses at the same time: ".<name>.<stamp>-<count>.tmp".
std::filesystem::path TemporaryBeside(const std::filesystem::path& target) {
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    std::string name = "." + target.filename().string() + "." +
                       std::to_string(static_cast<long long>(stamp)) + "-" +
                       std::to_string(counter.fetch_add(1)) + ".tmp";
    return target.parent_path() / name;
}

bool IsFolder(const std::filesystem::path& p) {
    std::error_code ec;
    return std::filesystem::is_directory(p, ec);
}

bool RenameOver(const std::filesystem::path& from, const std::filesystem::path& to) {
    std::error_code ec;
    std::filesystem::rename(from, to, ec);
    return !ec;
}

void RemoveQuietly(const std::filesystem::path& p) {
    std::error_code ec;
    if (!p.empty()) std::filesystem::remove(p, ec);
}

}  // namespace

CReplacingWriter::~CReplacingWriter() { Discard(); }

bool CReplacingWriter::Open(const std::filesystem::path& path) {
    Discard();
    error_.clear();
    target_ = path;
    // A folder is never replaced by a file, and a name without a file part cannot be one.
    if (path.filename().empty() || IsFolder(path)) {
        error_ = CannotOpenFileMessage(path);
        return false;
    }
    temp_ = TemporaryBeside(path);
    if (!out_.Open(temp_)) {
        temp_.clear();
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
    const bool written = out_.Close();
    if (!written || !RenameOver(temp_, target_)) {
        RemoveQuietly(temp_);
        temp_.clear();
        error_ = CannotWriteFileMessage(target_);
        return false;
    }
    temp_.clear();
    return true;
}

void CReplacingWriter::Discard() {
    out_.Close();
    RemoveQuietly(temp_);
    temp_.clear();
}

std::string ReplaceFileBytes(const std::filesystem::path& path, std::string_view bytes) {
    if (path.filename().empty() || IsFolder(path)) return CannotOpenFileMessage(path);
    const std::filesystem::path temp = TemporaryBeside(path);
    std::FILE* f = std::fopen(temp.string().c_str(), "wb");
    if (f == nullptr) return CannotOpenFileMessage(path);
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = std::fclose(f) == 0 && ok;
    if (!ok || !RenameOver(temp, path)) {
        RemoveQuietly(temp);
        return CannotWriteFileMessage(path);
    }
    return {};
}
