// A real file system that can be filled: a 64 KiB tmpfs mounted on a fresh folder for one
// test. Mounting needs root (or the capability to mount); elsewhere Reason() says why it is
// not there and the test skips with it.
#pragma once

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace testdata {

class CSmallDisk {
public:
    explicit CSmallDisk(const std::string& name) {
        folder_ = std::filesystem::temp_directory_path() /
                  ("gantrel_small_disk_" + std::to_string(::getpid()) + "_" + name);
        std::error_code ec;
        std::filesystem::create_directories(folder_, ec);
        if (::geteuid() != 0) {
            reason_ = "mounting a small tmpfs to fill needs root; not run as root";
            return;
        }
        if (::mount("tmpfs", folder_.c_str(), "tmpfs", 0, "size=64k") != 0) {
            reason_ = std::string("a small tmpfs could not be mounted: ") + std::strerror(errno);
            return;
        }
        mounted_ = true;
    }
    ~CSmallDisk() {
        if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }
    CSmallDisk(const CSmallDisk&) = delete;
    CSmallDisk& operator=(const CSmallDisk&) = delete;

    bool Mounted() const { return mounted_; }
    const std::string& Reason() const { return reason_; }
    const std::filesystem::path& Folder() const { return folder_; }

    // Takes every free block with a filler file; true once a write failed for lack of space.
    bool Fill() {
        const int fd = ::open((folder_ / "filler").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        if (fd < 0) return false;
        const std::vector<char> block(512, 'x');
        bool full = false;
        for (int i = 0; i < 100000 && !full; ++i) {
            const ssize_t n = ::write(fd, block.data(), block.size());
            full = n < 0 ? errno == ENOSPC : static_cast<size_t>(n) < block.size();
        }
        ::close(fd);
        return full;
    }

    // The names in the folder, sorted: what a failed save must not add to.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(folder_))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::filesystem::path folder_;
    std::string reason_;
    bool mounted_ = false;
};

}  // namespace testdata
