// Saving a file without ever destroying the one it replaces: the new content goes to a
// temporary file in the target's folder (so the rename cannot cross file systems), is
// flushed and synced to the disk, and only then renamed over the target. A save that fails
// at any step (folder not writable, disk full, rename refused) removes the temporary and
// leaves the old file exactly as it was.
#pragma once

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

enum class SaveStatus {
    Ok,
    CannotCreate,   // the temporary could not be made in the target's folder
    WriteFailed,    // writing, flushing or syncing the content failed (a full disk)
    CannotReplace,  // the content was complete but could not take the target's place
    NotAFile,       // the target exists and is a folder, a device or a pipe, not a file
};

struct SaveResult {
    SaveStatus eStatus = SaveStatus::Ok;
    int iError = 0;  // the system's error number of the failed step; 0 when none is known
    bool bReplacing = false;  // the target existed before the save

    bool ok() const { return eStatus == SaveStatus::Ok; }
    explicit operator bool() const { return ok(); }
};

// The user's message for a failed save, naming the file and the reason, and saying that the
// file as it was before is kept; empty for a save that succeeded.
std::string SaveFailureMessage(const SaveResult& result, const std::filesystem::path& target);

// One save in progress. Create() makes the temporary; Stream() is where the content goes;
// Commit() puts it in the target's place. Destroying the object without a successful
// Commit() removes the temporary, so an early return never leaves a partial file behind.
class CAtomicFile {
public:
    CAtomicFile() = default;
    ~CAtomicFile();
    CAtomicFile(const CAtomicFile&) = delete;
    CAtomicFile& operator=(const CAtomicFile&) = delete;

    // False (with the reason in Result()) when no temporary can be made beside the target.
    bool Create(const std::filesystem::path& target);
    std::FILE* Stream() const { return file_; }
    const std::filesystem::path& TemporaryPath() const { return temporary_; }
    // Closes Stream() and keeps the temporary, for content written to TemporaryPath() by
    // code that opens the file itself; Commit() then syncs it by its path.
    bool CloseStream();
    // Notes a write that failed so that Commit() refuses to replace the target.
    void MarkFailed(int iError);
    // Flushes, syncs and closes the temporary, then renames it over the target.
    SaveResult Commit();
    // Removes the temporary; the target is not touched.
    void Discard();
    const SaveResult& Result() const { return result_; }

private:
    std::FILE* file_ = nullptr;
    std::filesystem::path target_, temporary_;
    SaveResult result_;
};

// For content written by code that takes a path (an image library, say): write() gets the
// path of an empty temporary beside the target, fills it and returns true; the temporary is
// then synced and renamed over the target. When write() returns false the save counts as a
// failed write and the target is left as it was.
SaveResult SaveAtomically(const std::filesystem::path& target,
                          const std::function<bool(const std::filesystem::path& temporary)>& write);
