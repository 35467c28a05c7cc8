#include "acquisition/survey_appender.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

void CRecordCounts::Add(RecordKind kind, int n) {
    nRecord += n;
    if (kind == RecordKind::Reading) nReading += n;
    if (kind == RecordKind::Fix) nFix += n;
    if (kind == RecordKind::Marker) nMarker += n;
}

CRecordCounts& CRecordCounts::operator+=(const CRecordCounts& o) {
    nRecord += o.nRecord;
    nReading += o.nReading;
    nFix += o.nFix;
    nMarker += o.nMarker;
    return *this;
}

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

bool CSurveyAppender::WriteRecord(const std::filesystem::path& path, const Record& record) {
    const int fd = FileFor(path);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        Drop(path);
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
        Drop(path);
        return false;
    }
    return true;
}

CSurveyAppender::Held* CSurveyAppender::Find(const std::filesystem::path& path, bool bAbandoned) {
    for (auto& h : held_)
        if (h.path == path && h.bAbandoned == bAbandoned) return &h;
    return nullptr;
}

void CSurveyAppender::Erase(const Held* held) {
    held_.erase(
        std::find_if(held_.begin(), held_.end(), [&](const Held& h) { return &h == held; }));
}

void CSurveyAppender::NoteLate(const std::filesystem::path& path, const CRecordCounts& counts) {
    if (counts.nRecord == 0) return;
    for (auto& l : late_)
        if (l.path == path) {
            l.counts += counts;
            return;
        }
    late_.push_back({path, counts});
}

bool CSurveyAppender::Retry(const std::filesystem::path& path) {
    Held* h = Find(path, false);
    if (h == nullptr) return true;
    CRecordCounts written;
    while (!h->records.empty() && WriteRecord(path, h->records.front())) {
        written.Add(h->records.front().kind);
        pendingBytes_ -= h->records.front().bytes.size();
        h->records.pop_front();
    }
    NoteLate(path, written);
    if (!h->records.empty()) return false;
    // What was refused is gone for good: it stays listed, as abandoned, to be reported.
    if (h->refused.nRecord > 0) {
        Held* old = Find(path, true);
        if (old != nullptr) {
            old->refused += h->refused;
            Erase(h);
        } else {
            h->bAbandoned = true;
        }
    } else {
        Erase(h);
    }
    return true;
}

bool CSurveyAppender::Append(const std::filesystem::path& path, std::string_view line,
                             RecordKind kind) {
    Record record{std::string(line), kind};
    record.bytes += "\r\n";
    if (Retry(path) && WriteRecord(path, record)) return true;
    Held* h = Find(path, false);
    if (h == nullptr) {
        held_.push_back({path, {}, {}, false});
        h = &held_.back();
    }
    if (pendingBytes_ + record.bytes.size() <= kMaxPendingBytes) {
        pendingBytes_ += record.bytes.size();
        h->records.push_back(std::move(record));
    } else {
        h->refused.Add(kind);
    }
    return false;
}

void CSurveyAppender::Abandon(const std::filesystem::path& path) {
    Held* h = Find(path, false);
    if (h == nullptr) return;
    Held* old = Find(path, true);
    if (old == nullptr) {
        h->bAbandoned = true;
        return;
    }
    // Left twice: one list for the file, in the order the records came.
    for (auto& r : h->records) old->records.push_back(std::move(r));
    old->refused += h->refused;
    Erase(h);
}

bool CSurveyAppender::SaveHeldTo(const std::filesystem::path& from,
                                 const std::filesystem::path& to) {
    for (bool bAbandoned : {true, false}) {
        Held* h = Find(from, bAbandoned);
        if (h == nullptr) continue;
        CRecordCounts written;
        while (!h->records.empty() && WriteRecord(to, h->records.front())) {
            written.Add(h->records.front().kind);
            pendingBytes_ -= h->records.front().bytes.size();
            h->records.pop_front();
        }
        NoteLate(to, written);
        if (!h->records.empty()) return false;
        // Only the refused count is left: it stays listed to be reported.
        if (h->refused.nRecord == 0) Erase(h);
    }
    return Flush();
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

std::vector<CLateWrite> CSurveyAppender::TakeLateWrites() {
    std::vector<CLateWrite> out;
    out.swap(late_);
    return out;
}

std::vector<CHeldFile> CSurveyAppender::HeldFiles() const {
    std::vector<CHeldFile> out;
    for (bool bAbandoned : {false, true})
        for (const auto& h : held_) {
            if (h.bAbandoned != bAbandoned) continue;
            CHeldFile f{h.path, {}, h.refused, h.bAbandoned};
            for (const auto& r : h.records) f.held.Add(r.kind);
            out.push_back(std::move(f));
        }
    return out;
}

bool CSurveyAppender::IsHolding(const std::filesystem::path& path) const {
    return std::any_of(held_.begin(), held_.end(),
                       [&](const Held& h) { return !h.bAbandoned && h.path == path; });
}

std::size_t CSurveyAppender::PendingRecords() const {
    std::size_t n = 0;
    for (const auto& h : held_) n += h.records.size();
    return n;
}
