// Serial devices as the field logger uses them: opened for reading only with the line
// settings, asked how many bytes are queued, read without waiting. The platform implements
// this (termios on POSIX systems); the logger's acquisition code only sees these interfaces.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

// Stop-bit codes of the line settings (the codes the logger's settings store).
inline constexpr int kOneStopBit = 0;
inline constexpr int kOne5StopBits = 1;
inline constexpr int kTwoStopBits = 2;

struct SerialLineSettings {
    int iBaudRate = 1200;
    int iStopBits = kOneStopBit;
    // Always 8 data bits, no parity, no flow control of any kind, DTR and RTS off.
};

// Result codes of BytesQueued and Read besides a byte count.
inline constexpr long kSerialFailed = -1;  // this call failed; the device may still be there
inline constexpr long kSerialGone = -2;    // the device is gone (unplugged, hung up)

class CSerialPort {
public:
    virtual ~CSerialPort() = default;
    // Bytes waiting to be read, kSerialFailed or kSerialGone.
    virtual long BytesQueued() = 0;
    // Reads up to n of the queued bytes without waiting: the count read, kSerialFailed or
    // kSerialGone.
    virtual long Read(char* buffer, std::size_t n) = 0;
    // Also done by the destructor.
    virtual void Close() = 0;
};

// A port the system reports. iNumber is the port number of the logger's port table (the n of
// "COM%d" where the system numbers its ports so, otherwise the position in the system's list
// counted from 1); sName is what the user sees and what Open takes.
struct SerialPortReport {
    int iNumber = 0;
    std::string sName;
};

class CSerialPortSystem {
public:
    virtual ~CSerialPortSystem() = default;
    // The serial ports the system has, in its order.
    virtual std::vector<SerialPortReport> ReportedPorts() = 0;
    // Opens a port for reading (exclusive where the system allows) and applies the settings;
    // nullptr when it cannot be opened. error then says why.
    virtual std::unique_ptr<CSerialPort> Open(const std::string& sName,
                                              const SerialLineSettings& settings,
                                              std::string& error) = 0;
    // Whether the port could be opened now (opened and closed again at once, its line
    // settings untouched): false when it is missing or held by another program.
    virtual bool CanOpen(const std::string& sName) = 0;
    // A device the user named that the system may not list (a pseudo-terminal, a symbolic
    // link): listed from now on while it exists.
    virtual void AddKnownDevice(const std::string& sName) = 0;
};
