#include "platform/posix_serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

namespace {
// errno values that mean the device itself went away rather than one call failing.
bool IsGoneError(int e) {
    return e == EIO || e == ENXIO || e == ENODEV || e == EBADF;
}

speed_t StandardSpeed(int iBaudRate) {
    switch (iBaudRate) {
        case 110:
            return B110;
        case 300:
            return B300;
        case 600:
            return B600;
        case 1200:
            return B1200;
        case 2400:
            return B2400;
        case 4800:
            return B4800;
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
#ifdef B230400
        case 230400:
            return B230400;
#endif
        default:
            return B0;
    }
}

class CPosixSerialPort : public CSerialPort {
public:
    explicit CPosixSerialPort(int fd) : fd_(fd) {}
    ~CPosixSerialPort() override { Close(); }

    long BytesQueued() override {
        if (fd_ < 0) return kSerialGone;
        int n = 0;
        if (ioctl(fd_, FIONREAD, &n) != 0) return IsGoneError(errno) ? kSerialGone : kSerialFailed;
        if (n > 0) return n;
        // Nothing queued: a hung-up terminal (unplugged adapter, closed pseudo-terminal
        // master) says so only through poll.
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0)
            return kSerialGone;
        return 0;
    }

    long Read(char* buffer, std::size_t n) override {
        if (fd_ < 0) return kSerialGone;
        if (n == 0) return 0;
        const ssize_t got = read(fd_, buffer, n);
        if (got >= 0) return static_cast<long>(got);
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return 0;
        return IsGoneError(errno) ? kSerialGone : kSerialFailed;
    }

    void Close() override {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

// Opens a terminal device for reading and takes the advisory lock; -1 with error set.
int OpenTerminal(const std::string& sName, std::string& error) {
    if (sName.empty() || sName[0] != '/') {
        error = "not a device path";
        return -1;
    }
    const int fd = open(sName.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = std::strerror(errno);
        return -1;
    }
    if (!isatty(fd)) {
        close(fd);
        error = "not a terminal device";
        return -1;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        error = "in use by another program";
        return -1;
    }
    return fd;
}

void ApplyLineSettings(int fd, const SerialLineSettings& s) {
    termios t{};
    if (tcgetattr(fd, &t) != 0) return;  // settings that cannot be read are left alone
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD | CS8;
    t.c_cflag &= ~static_cast<tcflag_t>(PARENB | CRTSCTS);
    // POSIX has no 1.5 stop bits: the receiver reads either with two.
    if (s.iStopBits == kOneStopBit)
        t.c_cflag &= ~static_cast<tcflag_t>(CSTOPB);
    else
        t.c_cflag |= CSTOPB;
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    const speed_t speed = StandardSpeed(s.iBaudRate);
    if (speed != B0) {
        cfsetispeed(&t, speed);
        cfsetospeed(&t, speed);
    }
    tcsetattr(fd, TCSANOW, &t);  // a terminal that refuses some settings is still read
    if (speed == B0) SetCustomBaudRate(fd, s.iBaudRate);
    int lines = TIOCM_DTR | TIOCM_RTS;
    ioctl(fd, TIOCMBIC, &lines);  // pseudo-terminals have no modem lines
}

std::string ReadFirstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}
}  // namespace

CPosixSerialPortSystem::CPosixSerialPortSystem(std::vector<std::string> knownDevices,
                                               fs::path sysClassTty, fs::path devFolder)
    : known_(std::move(knownDevices)),
      sysClassTty_(std::move(sysClassTty)),
      devFolder_(std::move(devFolder)) {}

std::vector<std::string> CPosixSerialPortSystem::DiscoverPorts() const {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(sysClassTty_, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path entry = it->path();
        const std::string name = entry.filename().string();
        // Backed by a device (virtual consoles and pseudo-terminals are not).
        if (!fs::exists(entry / "device", ec)) continue;
        // An 8250 slot reports UART type 0 when no chip answers.
        if (fs::exists(entry / "type", ec) && ReadFirstLine(entry / "type") == "0") continue;
        const fs::path dev = devFolder_ / name;
        if (!fs::exists(dev, ec)) continue;
        names.push_back(dev.string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<SerialPortReport> CPosixSerialPortSystem::ReportedPorts() {
    std::vector<std::string> names = DiscoverPorts();
    for (const auto& k : known_) {
        struct stat st {};
        if (stat(k.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) continue;
        if (std::find(names.begin(), names.end(), k) == names.end()) names.push_back(k);
    }
    std::vector<SerialPortReport> reports;
    for (size_t i = 0; i < names.size(); ++i)
        reports.push_back({static_cast<int>(i + 1), names[i]});
    return reports;
}

std::unique_ptr<CSerialPort> CPosixSerialPortSystem::Open(const std::string& sName,
                                                          const SerialLineSettings& settings,
                                                          std::string& error) {
    const int fd = OpenTerminal(sName, error);
    if (fd < 0) return nullptr;
    ioctl(fd, TIOCEXCL);  // further opens fail, except for the superuser
    ApplyLineSettings(fd, settings);
    return std::make_unique<CPosixSerialPort>(fd);
}

bool CPosixSerialPortSystem::CanOpen(const std::string& sName) {
    std::string error;
    const int fd = OpenTerminal(sName, error);
    if (fd < 0) return false;
    close(fd);
    return true;
}

void CPosixSerialPortSystem::AddKnownDevice(const std::string& sName) {
    if (sName.empty()) return;
    if (std::find(known_.begin(), known_.end(), sName) == known_.end()) known_.push_back(sName);
}
