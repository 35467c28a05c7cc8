#include "acquisition/survey_appender.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

CSurveyAppender::~CSurveyAppender() {
    Flush();
}

int CSurveyAppender::FileFor(const std::filesystem::path& path) {
    for (const auto& f : files_)
        if (f.path == path) return f.fd;
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return -1;
    files_.push_back({path, fd});
    return fd;
}

// Closes a file that failed, so the next attempt opens it afresh (a folder made again, a
// medium put back).
void CSurveyAppender::Drop(const std::filesystem::path& path) {
    for (auto it = files_.begin(); it != files_.end(); ++it) {
        if (it->path != path) continue;
        ::close(it->fd);
        files_.erase(it);
        return;
    }
}

bool CSurveyAppender::WriteRecord(const Record& record) {
    const int fd = FileFor(record.path);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        Drop(record.path);
        return false;
    }
    const char* p = record.bytes.data();
    std::size_t left = record.bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n > 0) {
            p += n;
            left -= static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        // Part of the line may be in: cut the file back to where the record began.
        if (left != record.bytes.size()) {
            if (::ftruncate(fd, st.st_size) != 0) { /* the reader skips a broken line */
            }
        }
        Drop(record.path);
        return false;
    }
    return true;
}

bool CSurveyAppender::Retry() {
    while (!pending_.empty()) {
        if (!WriteRecord(pending_.front())) return false;
        pendingBytes_ -= pending_.front().bytes.size();
        pending_.pop_front();
    }
    return true;
}

bool CSurveyAppender::Append(const std::filesystem::path& path, std::string_view line) {
    Record record{path, std::string(line)};
    record.bytes += "\r\n";
    if (Retry() && WriteRecord(record)) return true;
    if (pendingBytes_ + record.bytes.size() <= kMaxPendingBytes) {
        pendingBytes_ += record.bytes.size();
        pending_.push_back(std::move(record));
    }
    return false;
}

bool CSurveyAppender::Flush() {
    bool ok = true;
    for (auto& f : files_) {
        if (::fdatasync(f.fd) != 0 && errno != EINVAL) ok = false;
        if (::close(f.fd) != 0) ok = false;
    }
    files_.clear();
    return ok;
}
