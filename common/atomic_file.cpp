#include "common/atomic_file.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <system_error>

#if defined(_WIN32)
#include <io.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "common/language.h"
#include "common/text_format.h"

namespace fs = std::filesystem;

namespace {

// The file a save replaces: a link is followed, so the link stays and its file is replaced.
fs::path RealTarget(const fs::path& target) {
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(target, ec))) {
        const fs::path real = fs::canonical(target, ec);
        if (!ec) return real;
    }
    return target;
}

// ".name.<pid>-<n>.tmp" beside the target: hidden, and unique within the process.
fs::path TemporaryName(const fs::path& real, unsigned attempt) {
    static std::atomic<unsigned> counter{0};
    const unsigned n = counter.fetch_add(1) + attempt;
#if defined(_WIN32)
    const long pid = static_cast<long>(_getpid());
#else
    const long pid = static_cast<long>(::getpid());
#endif
    const fs::path folder = real.has_parent_path() ? real.parent_path() : fs::path(".");
    return folder / FormatC(".%s.%ld-%u.tmp", real.filename().string().c_str(), pid, n);
}

std::string ErrorText(int iError) {
    if (iError == 0) return {};
    return std::system_category().message(iError);
}

#if !defined(_WIN32)
// Syncs a file or folder by path; the folder sync makes the rename itself durable. Errors of
// the folder sync are not failures of the save (some file systems refuse it).
bool SyncPath(const fs::path& path, bool bFolder, int& iError) {
    const int fd = ::open(path.c_str(), (bFolder ? O_DIRECTORY : 0) | O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        iError = errno;
        return false;
    }
    const bool ok = ::fsync(fd) == 0;
    if (!ok) iError = errno;
    ::close(fd);
    return ok;
}
#endif

}  // namespace

std::string SaveFailureMessage(const SaveResult& r, const fs::path& target) {
    if (r.ok()) return {};
    const std::string name = target.string();
    const std::string reason = ErrorText(r.iError);
    const std::string because = reason.empty() ? std::string() : ": " + reason;
    const char* kept = r.bReplacing ? Tr(" The file as it was before the save is kept.",
                                         "保存前のファイルはそのまま残っています。")
                                    : Tr(" Nothing was saved.", "何も保存していません。");
    switch (r.eStatus) {
        case SaveStatus::Ok:
            return {};
        case SaveStatus::CannotCreate:
            return FormatC(Tr("Cannot open the file %s%s.%s", "ファイル %s を開けません%s。%s"),
                           name.c_str(), because.c_str(), kept);
        case SaveStatus::WriteFailed:
            return FormatC(Tr("Cannot write the file %s%s.%s", "ファイル %s に書き込めません%s。%s"),
                           name.c_str(), because.c_str(), kept);
        case SaveStatus::CannotReplace:
            return FormatC(Tr("Cannot replace the file %s%s.%s", "ファイル %s を置き換えられません%s。%s"),
                           name.c_str(), because.c_str(), kept);
        case SaveStatus::NotAFile:
            return FormatC(Tr("Cannot write the file %s: it is not a regular file. Nothing was saved.",
                              "ファイル %s に書き込めません: 通常のファイルではありません。何も保存して"
                              "いません。"),
                           name.c_str());
    }
    return {};
}

CAtomicFile::~CAtomicFile() { Discard(); }

bool CAtomicFile::Create(const fs::path& target) {
    Discard();
    result_ = SaveResult{};
    target_ = RealTarget(target);
    std::error_code ec;
    const fs::file_status st = fs::status(target_, ec);
    result_.bReplacing = fs::exists(st);
    // Renaming over a folder, a device or a pipe would replace the thing itself, not write
    // into it.
    if (result_.bReplacing && !fs::is_regular_file(st)) {
        result_.eStatus = SaveStatus::NotAFile;
        return false;
    }
#if defined(_WIN32)
    for (unsigned attempt = 0; attempt < 100 && file_ == nullptr; ++attempt) {
        temporary_ = TemporaryName(target_, attempt);
        if (fs::exists(temporary_, ec)) continue;
        file_ = _wfopen(temporary_.c_str(), L"wb");
        if (file_ == nullptr) result_.iError = errno;
    }
#else
    for (unsigned attempt = 0; attempt < 100 && file_ == nullptr; ++attempt) {
        temporary_ = TemporaryName(target_, attempt);
        // 0666 less the process's umask, as a file created in place would get.
        const int fd = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            result_.iError = errno;
            if (errno == EEXIST) continue;
            break;
        }
        // A replaced file keeps its permissions.
        struct stat old {};
        if (result_.bReplacing && ::stat(target_.c_str(), &old) == 0)
            (void)::fchmod(fd, old.st_mode & 07777);
        file_ = ::fdopen(fd, "wb");
        if (file_ == nullptr) {
            result_.iError = errno;
            ::close(fd);
            ::unlink(temporary_.c_str());
            break;
        }
    }
#endif
    if (file_ == nullptr) {
        temporary_.clear();
        result_.eStatus = SaveStatus::CannotCreate;
        return false;
    }
    result_.iError = 0;
    return true;
}

void CAtomicFile::MarkFailed(int iError) {
    if (result_.eStatus != SaveStatus::Ok) return;
    result_.eStatus = SaveStatus::WriteFailed;
    result_.iError = iError;
}

void CAtomicFile::Discard() {
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
    if (!temporary_.empty()) {
        std::error_code ec;
        fs::remove(temporary_, ec);
    }
    temporary_.clear();
}

SaveResult CAtomicFile::Commit() {
    if (temporary_.empty()) {
        if (result_.ok()) result_.eStatus = SaveStatus::CannotCreate;
        return result_;
    }
    auto fail = [this](SaveStatus status, int iError) {
        if (result_.ok()) {
            result_.eStatus = status;
            result_.iError = iError;
        }
        Discard();
        return result_;
    };
    if (!result_.ok()) return fail(result_.eStatus, result_.iError);
    if (file_ != nullptr) {
        std::FILE* f = file_;
        file_ = nullptr;
        errno = 0;
        if (std::fflush(f) != 0) {
            const int e = errno;
            std::fclose(f);
            return fail(SaveStatus::WriteFailed, e);
        }
#if defined(_WIN32)
        if (_commit(_fileno(f)) != 0) {
            const int e = errno;
            std::fclose(f);
            return fail(SaveStatus::WriteFailed, e);
        }
#else
        if (::fsync(::fileno(f)) != 0) {
            const int e = errno;
            std::fclose(f);
            return fail(SaveStatus::WriteFailed, e);
        }
#endif
        if (std::fclose(f) != 0) return fail(SaveStatus::WriteFailed, errno);
    } else {
#if !defined(_WIN32)
        // Content written through the path: synced by path.
        int e = 0;
        if (!SyncPath(temporary_, false, e)) return fail(SaveStatus::WriteFailed, e);
#endif
    }
#if defined(_WIN32)
    std::error_code ec;
    fs::rename(temporary_, target_, ec);
    if (ec) return fail(SaveStatus::CannotReplace, ec.value());
#else
    if (::rename(temporary_.c_str(), target_.c_str()) != 0)
        return fail(SaveStatus::CannotReplace, errno);
    int ignored = 0;
    SyncPath(target_.has_parent_path() ? target_.parent_path() : fs::path("."), true, ignored);
#endif
    temporary_.clear();
    return result_;
}

bool CAtomicFile::CloseStream() {
    if (file_ == nullptr) return !temporary_.empty();
    const bool ok = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!ok) MarkFailed(errno);
    return ok;
}

SaveResult SaveAtomically(const fs::path& target,
                          const std::function<bool(const fs::path& temporary)>& write) {
    CAtomicFile file;
    if (!file.Create(target)) return file.Result();
    // The writer opens the path itself; the empty file only holds the name.
    if (!file.CloseStream()) return file.Commit();
    if (!write(file.TemporaryPath())) file.MarkFailed(0);
    return file.Commit();
}
