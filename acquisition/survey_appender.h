// Appending records to the survey files so that nothing shown as recorded is lost: each
// record goes to the file with one write of the whole line (CR LF included), and Flush forces
// what was written to the storage device, once per poll. A record that cannot be written (disk
// full, folder removed, medium pulled) never leaves half a line in the file; it waits, in
// order with everything after it, and goes to its file as soon as the file takes writes again.
#pragma once

#include <cstddef>
#include <deque>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

class CSurveyAppender {
public:
    // Records waiting for a writable file are kept up to this many bytes; records beyond it
    // are refused (reported like any failed write).
    static constexpr std::size_t kMaxPendingBytes = std::size_t{64} << 20;

    CSurveyAppender() = default;
    ~CSurveyAppender();
    CSurveyAppender(const CSurveyAppender&) = delete;
    CSurveyAppender& operator=(const CSurveyAppender&) = delete;

    // Appends the line and its CR LF. True when it, and every record waiting before it, is
    // now in the file; false when it had to wait (or was refused).
    bool Append(const std::filesystem::path& path, std::string_view line);
    // Writes what waits, if the files take it now.
    bool Retry();
    // Forces the written records to the storage device and closes the files. False when the
    // device reported a failure.
    bool Flush();

    std::size_t PendingRecords() const { return pending_.size(); }
    std::size_t PendingBytes() const { return pendingBytes_; }

private:
    struct File {
        std::filesystem::path path;
        int fd = -1;
    };
    struct Record {
        std::filesystem::path path;
        std::string bytes;  // the line with its CR LF
    };
    bool WriteRecord(const Record& record);
    int FileFor(const std::filesystem::path& path);
    void Drop(const std::filesystem::path& path);

    std::vector<File> files_;  // open until the next Flush
    std::deque<Record> pending_;
    std::size_t pendingBytes_ = 0;
};
