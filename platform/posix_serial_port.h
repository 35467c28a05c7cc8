// Serial ports on POSIX systems through termios. A port is a device path; discovery lists the
// system's real serial devices (/sys/class/tty entries backed by hardware, /dev/<name>) and
// the devices the user named (pseudo-terminals, udev links) while they exist.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "common/serial_port.h"

class CPosixSerialPortSystem : public CSerialPortSystem {
public:
    // sysClassTty and devFolder are where the system describes its terminals (tests give
    // other folders).
    explicit CPosixSerialPortSystem(std::vector<std::string> knownDevices = {},
                                    std::filesystem::path sysClassTty = "/sys/class/tty",
                                    std::filesystem::path devFolder = "/dev");

    // The real ports, sorted by name, then the known devices that exist and are not among
    // them; numbered from 1 in that order.
    std::vector<SerialPortReport> ReportedPorts() override;
    // Only absolute paths of terminal devices open. The port is opened read-only and
    // non-blocking, held exclusively (TIOCEXCL and an advisory lock, so a second logger
    // cannot read the same port), raw 8N1 without flow control, DTR and RTS dropped.
    std::unique_ptr<CSerialPort> Open(const std::string& sName, const SerialLineSettings& settings,
                                      std::string& error) override;
    bool CanOpen(const std::string& sName) override;
    void AddKnownDevice(const std::string& sName) override;

    // The hardware-backed terminals of the system, sorted (no pseudo-terminals, no virtual
    // consoles, no 8250 slots without a UART).
    std::vector<std::string> DiscoverPorts() const;

private:
    std::vector<std::string> known_;
    std::filesystem::path sysClassTty_;
    std::filesystem::path devFolder_;
};

// Applies a baud rate termios has no constant for (14400, 56000, 128000, 256000); false when
// the system cannot. Linux only; elsewhere always false.
bool SetCustomBaudRate(int fd, int iBaudRate);
