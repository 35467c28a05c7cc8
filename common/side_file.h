// Side and diagnostic files ("gps.nmea", "Gantrel_data_files.txt", "rms_error.txt", the
// distance logs, ...) are written next to the data under fixed names, so a data file that
// happens to carry one of those names could be replaced by one. They never replace a file
// that is being read: while a CSideFileGuard exists, the files it holds are left alone and
// each side file refused is noted for the user.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

class CTextWriter;

class CSideFileGuard {
public:
    // Keeps a reference to inputs, which may grow while the guard lives (a command adds the
    // files it opens).
    explicit CSideFileGuard(const std::vector<std::filesystem::path>& inputs);
    ~CSideFileGuard();
    CSideFileGuard(const CSideFileGuard&) = delete;
    CSideFileGuard& operator=(const CSideFileGuard&) = delete;

private:
    const std::vector<std::filesystem::path>* inputs_;
};

// True when the two paths name the same file (the same file through another spelling or a
// link included).
bool IsSameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// The guarded input that sideFile would replace; empty when there is none.
std::filesystem::path GuardedInputAt(const std::filesystem::path& sideFile);

// Opens a side file to replace it safely (CTextWriter::OpenReplacing), unless it is a guarded
// input: then nothing is opened, the refusal is noted and false is returned. False as well
// when the file cannot be created (side files are optional; nothing is noted for that).
bool OpenSideFile(CTextWriter& out, const std::filesystem::path& sideFile);

// "The side file %s was not written: it is a file being read." for a refusal.
std::string SideFileRefusalMessage(const std::filesystem::path& sideFile);

// Notes a side file not written because it is a guarded input (for writers that do not go
// through OpenSideFile).
void NoteSideFileRefusal(const std::filesystem::path& sideFile);
// The refusals noted since the last call, in order; the command shows them.
std::vector<std::string> TakeSideFileRefusals();
