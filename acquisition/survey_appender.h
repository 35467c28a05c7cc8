// Appending records to the survey files so that nothing shown as recorded is lost: each
// record goes to the file with one write of the whole line (CR LF included), and Flush forces
// what was written to the storage device, once per poll. A record that cannot be written (disk
// full, folder removed, medium pulled) never leaves half a line in the file; it is held, in
// order with everything after it for the same file, and goes to that file as soon as the file
// takes writes again. Records for other files are written at once: one failing file holds back
// nothing but its own records.
//
// When the logger moves on to another file (new file ID, folder or prefix), what is held for
// the old one is abandoned: never written there later, only kept so that it can be saved to a
// file the user chooses.
#pragma once

#include <cstddef>
#include <deque>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

enum class RecordKind { Other, Reading, Fix, Marker };

// Records of each kind.
struct CRecordCounts {
    int nRecord = 0, nReading = 0, nFix = 0, nMarker = 0;
    void Add(RecordKind kind, int n = 1);
    CRecordCounts& operator+=(const CRecordCounts& o);
};

// Records that waited and then reached their file.
struct CLateWrite {
    std::filesystem::path path;
    CRecordCounts counts;
};

// Records that have not reached their file. nRefused counts those beyond the memory bound,
// which are gone: they are reported, never written.
struct CHeldFile {
    std::filesystem::path path;
    CRecordCounts held;
    CRecordCounts refused;
    bool bAbandoned = false;
    int Readings() const { return held.nReading + refused.nReading; }
};

class CSurveyAppender {
public:
    // Records held for all files together are kept up to this many bytes; records beyond it
    // are refused (reported like any failed write, and counted).
    static constexpr std::size_t kMaxPendingBytes = std::size_t{64} << 20;

    CSurveyAppender() = default;
    ~CSurveyAppender();
    CSurveyAppender(const CSurveyAppender&) = delete;
    CSurveyAppender& operator=(const CSurveyAppender&) = delete;

    // Appends the line and its CR LF. True when it, and every record held before it for the
    // same file, is now in the file; false when it is held (or was refused).
    bool Append(const std::filesystem::path& path, std::string_view line,
                RecordKind kind = RecordKind::Other);
    // Writes what is held for the file, if it takes it now. True when nothing is held for it.
    bool Retry(const std::filesystem::path& path);
    // The held records of path are never written there: kept for SaveHeldTo only.
    void Abandon(const std::filesystem::path& path);
    // Writes every record held for `from` (being recorded or abandoned) to `to`, appended in
    // order, and forces them to the device. True when all of them are there; they are no
    // longer held then.
    bool SaveHeldTo(const std::filesystem::path& from, const std::filesystem::path& to);
    // Forces the written records to the storage device and closes the files. False when the
    // device reported a failure.
    bool Flush();

    // Held records that reached their file since the last call, by file.
    std::vector<CLateWrite> TakeLateWrites();
    // Every file with records held or refused: those being recorded first, then the abandoned.
    std::vector<CHeldFile> HeldFiles() const;
    bool IsHolding(const std::filesystem::path& path) const;

    std::size_t PendingRecords() const;
    std::size_t PendingBytes() const { return pendingBytes_; }

private:
    struct File {
        std::filesystem::path path;
        int fd = -1;
    };
    struct Record {
        std::string bytes;  // the line with its CR LF
        RecordKind kind = RecordKind::Other;
    };
    struct Held {
        std::filesystem::path path;
        std::deque<Record> records;
        CRecordCounts refused;
        bool bAbandoned = false;
    };
    bool WriteRecord(const std::filesystem::path& path, const Record& record);
    int FileFor(const std::filesystem::path& path);
    void Drop(const std::filesystem::path& path);
    Held* Find(const std::filesystem::path& path, bool bAbandoned);
    void Erase(const Held* held);
    void NoteLate(const std::filesystem::path& path, const CRecordCounts& counts);

    std::vector<File> files_;  // open until the next Flush
    std::vector<Held> held_;   // in the order they first held a record
    std::vector<CLateWrite> late_;
    std::size_t pendingBytes_ = 0;
};
