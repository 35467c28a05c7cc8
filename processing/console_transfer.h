// "Import R731 data by manual transfer": the processing program listens on a serial port while
// the magnetometer console sends its stored records, converts every console line into a
// survey record, appends the kept records to a mapping file (.stn) and, once the console has
// fallen silent, reads them as the current survey. Everything runs on the thread of the
// window's 100 ms timer (the batch line ticks the same way).
#pragma once

#include <cstddef>
#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "common/line_assembler.h"
#include "common/serial_port.h"
#include "common/serial_port_table.h"
#include "processing/commands.h"

// ---------------------------------------------------------------------------------------------
// One console line

enum class ConsoleLineKind {
    Reading,           // a reading, kept as a reading record "30 ..."
    GPSSentence,       // holds a GGA sentence, kept unchanged
    GeometryOrMarker,  // starts with 3 or 6, kept unchanged
    Dropped,           // not used
};

// Converts one console line (without its line end). The kinds are decided in this order: a
// line holding "$GPGGA" or "$GNGGA" anywhere, a first character 3 (geometry records "33 GOHM"
// and marker records), a first character 6 (marker records), a first character 0 (dropped),
// then a line of 6 to 10 tokens (blank or tab separated) with b tokens: a reading of
// n = b - 5 receivers in tokens 2 to n + 1, each a comma-separated group (receiver 1:
// resistance, receiver level, transmitter level, status; the others: resistance, receiver
// level, status; levels are integer tenths, the status digits give the current level and the
// status), the time in token n + 2 and the date in token n + 3. A reading whose groups, time or
// date cannot be read, or whose value could only be written as "ERROR", is dropped: a record
// the reader would refuse is never written. record receives the kept record (empty when
// dropped).
ConsoleLineKind ConvertConsoleLine(std::string_view line, std::string& record);
// The reading of a console reading line (6 to 10 tokens); false when it is not one.
bool ParseConsoleReadingLine(std::string_view line, CGantrelData& data);

// ---------------------------------------------------------------------------------------------
// The transfer

// Kept records the transfer holds for the import; a record arriving at a full list removes the
// oldest (the destination file keeps all of them).
inline constexpr std::size_t kMaxTransferRecords = 100000;
// More bytes than this without one complete line: the baud rate is wrong.
inline constexpr int kMaxBytesWithoutLine = 200;
// Polls without a complete line after the first line that end the transfer: the one after
// the tenth.
inline constexpr int kMaxIdlePolls = 10;
// The timer's identifier and period, ms.
inline constexpr int kTransferTimerId = 0;
inline constexpr int kTransferTimerPeriod = 100;
// The settings prefix of the transfer's port setting, and the size of its port table.
inline constexpr const char* kTransferSettingPrefix = "Brivane";
inline constexpr int kTransferPortCount = 16;
// Records the transfer display lists, newest last.
inline constexpr int kTransferShownRecords = 30;

class CConsoleTransfer {
public:
    CConsoleTransfer();

    int bReady = 1;
    int nOpen = 0;  // times the port was opened for this transfer
    std::deque<std::string> pRecordList;  // kept records in arrival order
    CSerialPortSetting pSetting{kTransferSettingPrefix};
    // Received bytes waiting for their line end. A line longer than 1,023 characters is cut
    // into pieces of 1,023 characters, each converted as a line of its own, without losing a
    // character: the survey file reader reads an overlong line of a file so, and the
    // destination file then reads back as the console sent it. (No console line comes near
    // that length; the pieces of such a line are noise and are mostly dropped.)
    CLineAssembler pReceive{CLineAssembler::Overlong::Continue};
    int bFileChosen = 0;
    int nReceivedLine = 0;  // complete lines since the port was opened
    int nIdlePoll = 0;      // polls without a line after the first line, never reset
    int nReceivedByte = 0;  // bytes since the port was opened
    std::filesystem::path sPath;  // the destination
    std::string sFileName;        // its name without folder
    std::string sPortName;        // the device the transfer listens on

    // One poll of the port: reads the bytes queued, cuts the complete lines, converts them and
    // appends every kept record to the destination (opened for appending, flushed and closed
    // once per poll, so what arrived is on disk whatever happens next). Returns the number of
    // complete lines of this poll, or -1 when the port is gone. Messages go to the prompter:
    // "Character buffer error 1" when the receive buffer overflows, and once per transfer the
    // destination that cannot be written.
    int Poll(CSerialPort& port, CPrompter& prompter);
    // Adds a kept record to the list (dropping the oldest at the capacity).
    void Keep(std::string record);

    // Whether the destination could not be written at some poll.
    bool DestinationFailed() const { return bWriteFailed_; }

private:
    bool bWriteFailed_ = false;
};

// The command and the events that drive it. The view state holds the transfer (pTransfer,
// bTransfer, bTimer, the port); the shell runs a timer of kTransferTimerPeriod ms while
// view.bTimer is 1 and calls ConsoleTransferTick on it.

// "Import R731 data by manual transfer": destination, port dialog, opening and configuring the
// port, then the view waits (iViewMode 5). Needs ctx.serialPorts.
void StartConsoleTransfer(CBrivaneContext& ctx);
// Enabled when the section store has no columns, the survey no line and no transfer runs.
bool IsConsoleTransferEnabled(const CBrivaneContext& ctx);
// Starts a transfer without dialogs (the batch line): the device, its baud rate (nullopt: the
// stored setting's) and the destination. False, with the reason recorded as ctx.failure, when
// the baud rate is not one of the table's or the port cannot be opened.
bool StartConsoleTransferOn(CBrivaneContext& ctx, const std::string& sDevice, int iBaudRate,
                            const std::filesystem::path& destination);
// One tick of the timer: poll, the baud-rate abort, the silence rule, redraw.
void ConsoleTransferTick(CBrivaneContext& ctx);
// The stop button and Escape while a transfer runs: nothing is imported, the destination
// keeps what was written, the view shows nothing. False when no transfer ran.
bool StopConsoleTransfer(CBrivaneContext& ctx);
// The end by silence: the records are read as the current survey (the mapping file reader,
// without GPS mode) and the marker path of the open follows.
void FinishConsoleTransfer(CBrivaneContext& ctx);

// Binds "Import R731 data by manual transfer" and the stop button.
void RegisterTransferCommands(CCommandTable& table);
