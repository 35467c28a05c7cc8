#include "processing/console_transfer.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "common/clock.h"
#include "common/language.h"
#include "common/record_time.h"
#include "common/survey_file.h"
#include "common/text_format.h"
#include "processing/open_survey.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A number that fills its whole field ("12.5x" is not 12.5).
bool WholeFloat(std::string_view t, float& v) {
    size_t used = 0;
    float x = 0;
    if (!ScanFloat(t, x, &used) || used != t.size() || !std::isfinite(x)) return false;
    v = x;
    return true;
}

bool WholeInt(std::string_view t, int& v) {
    size_t used = 0;
    int x = 0;
    if (!ScanInt(t, x, &used) || used != t.size()) return false;
    v = x;
    return true;
}

// Comma-separated fields of a receiver group; false when there are not exactly `count`.
bool GroupFields(std::string_view group, std::string_view* fields, size_t count) {
    size_t n = 0, start = 0;
    for (;;) {
        const size_t comma = group.find(',', start);
        if (n == count) return false;
        fields[n++] = group.substr(start, comma == std::string_view::npos ? std::string_view::npos
                                                                          : comma - start);
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    return n == count;
}

// A level written as integer tenths.
bool Level(std::string_view f, float& v) {
    int tenths = 0;
    if (!WholeInt(f, tenths)) return false;
    v = static_cast<float>(tenths) / 10.0f;
    return true;
}

// The status: its first character the current level, its second the status, one digit each.
bool Status(std::string_view f, int& iCurrentLevel, int& iStatus) {
    if (f.size() < 2 || !IsDigit(f[0]) || !IsDigit(f[1])) return false;
    iCurrentLevel = f[0] - '0';
    iStatus = f[1] - '0';
    return true;
}

bool ParseConsoleReading(const std::string_view* tokens, size_t b, CGantrelData& d) {
    const int n = static_cast<int>(b) - 5;
    std::string_view f[4];
    if (!GroupFields(tokens[1], f, 4) || !WholeFloat(f[0], d.fResistance[0]) ||
        !Level(f[1], d.fReceiverLevel[0]) || !Level(f[2], d.fTransmitterLevel) ||
        !Status(f[3], d.iCurrentLevel[0], d.iStatus[0]))
        return false;
    for (int k = 1; k < n; ++k) {
        const auto uk = static_cast<size_t>(k);
        if (!GroupFields(tokens[1 + uk], f, 3) || !WholeFloat(f[0], d.fResistance[uk]) ||
            !Level(f[1], d.fReceiverLevel[uk]) || !Status(f[2], d.iCurrentLevel[uk], d.iStatus[uk]))
            return false;
    }
    const auto un = static_cast<size_t>(n);
    if (!ParseRecordTime(tokens[un + 1], tokens[un + 2], d.time, d.iMilliSecond)) return false;
    d.nReceiver = n;
    return true;
}

std::string FinishedMessage(int nLine, const std::string& fileName) {
    return FormatC(Tr("Data transfer was finished. \n\n %d packets have been transfered and saved "
                      "in %s. ",
                      "データ転送が終了しました。\n\n %d 個のパケットを受信し、%s に保存しました。 "),
                   nLine, fileName.c_str());
}

// Ends the port, the timer and the running flags (the transfer state stays for the caller).
void EndReception(CBrivaneContext& ctx) {
    ctx.view.bTimer = 0;
    if (ctx.view.pTransferPort) ctx.view.pTransferPort->Close();
    ctx.view.pTransferPort.reset();
    ctx.view.bTransfer = 0;
}

void Abort(CBrivaneContext& ctx) {
    EndReception(ctx);
    ctx.view.pTransfer.reset();
    ctx.view.iViewMode = kViewNothing;
}

CSystemClock g_systemClock;

CClock& ClockOf(CBrivaneContext& ctx) { return ctx.clock != nullptr ? *ctx.clock : g_systemClock; }

// Opens the transfer's port and puts the view into waiting (steps 3 to 7 of the start).
bool OpenAndWait(CBrivaneContext& ctx, std::shared_ptr<CConsoleTransfer> transfer) {
    std::string error;
    std::unique_ptr<CSerialPort> port =
        OpenConfiguredPort(transfer->sPortName, transfer->pSetting, transfer->nOpen,
                           *ctx.serialPorts, ctx.prompter, ClockOf(ctx), error, true);
    if (!port) {
        ctx.Fail(Tr("Unable to connect to serial port.", "シリアルポートに接続できません。"));
        return false;
    }
    transfer->nReceivedLine = 0;
    transfer->nReceivedByte = 0;
    if (ctx.view.pTransferPort) ctx.view.pTransferPort->Close();
    ctx.view.pTransferPort = std::move(port);
    ctx.view.pTransfer = std::move(transfer);
    // The shell starts its timer only when it is not running yet.
    if (ctx.view.bTimer == 0) ctx.view.bTimer = 1;
    ctx.view.iViewMode = kViewSerialTransfer;
    ctx.view.bTransfer = 1;
    ctx.prompter.Message(Tr("Ready to transfer data. \n\nTransfer data using 'Manual ASCII "
                            "transfer' menu in R731",
                            "データ転送の準備ができました。\n\nR731 の「Manual ASCII transfer」"
                            "メニューでデータを転送してください"));
    ctx.Redraw();
    return true;
}

}  // namespace

ConsoleLineKind ConvertConsoleLine(std::string_view line, std::string& record) {
    record.clear();
    if (line.find("$GPGGA") != std::string_view::npos ||
        line.find("$GNGGA") != std::string_view::npos) {
        record.assign(line);
        return ConsoleLineKind::GPSSentence;
    }
    if (!line.empty() && (line[0] == '3' || line[0] == '6')) {
        record.assign(line);
        return ConsoleLineKind::GeometryOrMarker;
    }
    if (line.empty() || line[0] == '0') return ConsoleLineKind::Dropped;

    CGantrelData d;
    if (!ParseConsoleReadingLine(line, d) || IsErrorReading(d)) return ConsoleLineKind::Dropped;
    record = FormatReadingRecord(d, ReadingForm::ZeroStatus, false);
    return ConsoleLineKind::Reading;
}

bool ParseConsoleReadingLine(std::string_view line, CGantrelData& data) {
    // One token more than a reading can have tells a longer line.
    std::string_view tokens[11];
    const size_t b = SplitTokens(line, tokens, 11);
    if (b < 6 || b > 10) return false;
    CGantrelData d;
    if (!ParseConsoleReading(tokens, b, d)) return false;
    data = d;
    return true;
}

CConsoleTransfer::CConsoleTransfer() { pSetting.Load(); }

void CConsoleTransfer::Keep(std::string record) {
    if (pRecordList.size() >= kMaxTransferRecords) pRecordList.pop_front();
    pRecordList.push_back(std::move(record));
}

int CConsoleTransfer::Poll(CSerialPort& port, CPrompter& prompter) {
    long queued = port.BytesQueued();
    if (queued == kSerialGone) return -1;
    std::vector<char> bytes;
    if (queued > 0) {
        // Everything queued is read, even what will not fit: the console's bytes must not wait
        // in the system's buffer to come in a later poll as if the console were still sending.
        bytes.resize(static_cast<size_t>(std::min<long>(queued, 1L << 20)));
        const long got = port.Read(bytes.data(), bytes.size());
        if (got == kSerialGone) return -1;
        bytes.resize(got > 0 ? static_cast<size_t>(got) : 0);
    }
    // What does not fit in the receive buffer is dropped; said once the poll's records are
    // on disk.
    const bool bOverflow = bytes.size() > pReceive.Room();
    // Lines a poll of more than 100 lines left waiting are cut now even when nothing new came.
    int nLine = pReceive.Append(bytes.data(), bytes.size());

    std::string kept;
    std::string record;
    for (int i = 0; i < nLine; ++i) {
        if (ConvertConsoleLine(pReceive.Line(i), record) == ConsoleLineKind::Dropped) continue;
        kept += record;
        kept += '\n';
        Keep(record);
    }
    if (!kept.empty() && bFileChosen == 1) {
        // Opened for appending: a file chosen again keeps what an earlier transfer wrote.
        CTextWriter out;
        bool ok = out.Open(sPath, true);
        if (ok) {
            out.Write(kept);
            ok = out.Close();
        }
        if (!ok && !bWriteFailed_) {
            bWriteFailed_ = true;
            prompter.Message(
                FormatC(Tr("The received records cannot be written to %s. The transfer goes on; "
                           "the records are still imported when it ends.",
                           "受信したレコードを %s に書き込めません。転送は続行し、終了時には"
                           "レコードを取り込みます。"),
                        sPath.string().c_str()));
        }
    }
    if (bOverflow) prompter.Message(Tr("Character buffer error 1", "文字バッファエラー 1"));
    nReceivedByte += static_cast<int>(std::min<size_t>(bytes.size(), 1u << 30));
    nReceivedLine += nLine;
    return nLine;
}

bool IsConsoleTransferEnabled(const CBrivaneContext& ctx) {
    return ctx.doc.store.nColumn == 0 && ctx.doc.survey.nLine == 0 && ctx.view.bTransfer == 0;
}

void StartConsoleTransfer(CBrivaneContext& ctx) {
    auto transfer = std::make_shared<CConsoleTransfer>();
    const auto destination = ctx.prompter.SaveFile(
        "Save As", {{"ASCII Gantrel data file(*.stn)", {"*.stn"}}}, ctx.doc.dataFolder / "*.stn");
    if (!destination || destination->empty()) return;
    transfer->sPath = *destination;
    transfer->sFileName = destination->filename().string();
    transfer->bFileChosen = 1;

    const auto noPort = [&ctx] {
        ctx.Fail(Tr("No available comport", "使用できるシリアルポートがありません"));
    };
    if (ctx.serialPorts == nullptr) return noPort();
    CSerialPortSystem& system = *ctx.serialPorts;
    // A device typed in the dialog before (a pseudo-terminal, a udev link) is listed again
    // while it exists.
    if (!transfer->pSetting.sPortName.empty()) system.AddKnownDevice(transfer->pSetting.sPortName);
    // Always 16 names; a port is available when it can be opened now.
    CSerialPortList list(kTransferPortCount);
    ApplyReportedPortNames(list, system);
    bool any = false;
    for (int i = 0; i < list.nPort(); ++i) {
        const auto ui = static_cast<size_t>(i);
        list.bAvailable[ui] = system.CanOpen(list.sPortName[ui]) ? 1 : 0;
        any = any || list.bAvailable[ui] == 1;
    }
    if (!any) return noPort();
    if (!RunSerialPortDialog(list, transfer->pSetting, system, ctx.prompter)) return;
    transfer->sPortName = PortNameOf(transfer->pSetting, list);
    if (transfer->sPortName.empty())
        return ctx.Fail(Tr("Unable to connect to serial port.", "シリアルポートに接続できません。"));
    OpenAndWait(ctx, std::move(transfer));
}

bool StartConsoleTransferOn(CBrivaneContext& ctx, const std::string& sDevice, int iBaudRate,
                            const std::filesystem::path& destination) {
    if (ctx.serialPorts == nullptr) {
        ctx.Fail(Tr("No available comport", "使用できるシリアルポートがありません"));
        return false;
    }
    auto transfer = std::make_shared<CConsoleTransfer>();
    transfer->sPath = destination;
    transfer->sFileName = destination.filename().string();
    transfer->bFileChosen = 1;
    transfer->sPortName = sDevice;
    if (iBaudRate > 0) {
        const auto it = std::find(kBaudRateTable.begin(), kBaudRateTable.end(), iBaudRate);
        if (it == kBaudRateTable.end()) {
            ctx.Fail(FormatC(Tr("%d baud is not one of the console's baud rates.",
                                "%d ボーはコンソールのボーレートにありません。"),
                             iBaudRate));
            return false;
        }
        transfer->pSetting.iBaudIndex = static_cast<int>(it - kBaudRateTable.begin());
    }
    return OpenAndWait(ctx, std::move(transfer));
}

void ConsoleTransferTick(CBrivaneContext& ctx) {
    CConsoleTransfer* t = ctx.view.pTransfer.get();
    if (ctx.view.bTransfer == 0 || t == nullptr || !ctx.view.pTransferPort) return;
    const int nLine = t->Poll(*ctx.view.pTransferPort, ctx.prompter);
    if (nLine < 0) {
        // The device went away (unplugged): what came is imported; with nothing yet there is
        // nothing to wait for.
        const std::string name = t->sPortName;
        if (t->nReceivedLine > 0) {
            ctx.prompter.Message(FormatC(Tr("The serial port %s was disconnected.",
                                            "シリアルポート %s の接続が切れました。"),
                                         name.c_str()));
            FinishConsoleTransfer(ctx);
        } else {
            Abort(ctx);
            ctx.Fail(FormatC(Tr("The serial port %s was disconnected.",
                                "シリアルポート %s の接続が切れました。"),
                             name.c_str()));
        }
        ctx.Redraw();
        return;
    }
    if (t->nReceivedLine == 0 && t->nReceivedByte > kMaxBytesWithoutLine) {
        Abort(ctx);
        ctx.Fail(Tr("Cannot resolve transfered data. Check Baudrate.",
                    "転送されたデータを解読できません。ボーレートを確認してください。"));
    } else if (t->nReceivedLine > 0 && nLine == 0) {
        if (++t->nIdlePoll > kMaxIdlePolls) FinishConsoleTransfer(ctx);
    }
    ctx.Redraw();
}

bool StopConsoleTransfer(CBrivaneContext& ctx) {
    if (ctx.view.bTransfer != 1) return false;
    Abort(ctx);
    ctx.Redraw();
    return true;
}

void FinishConsoleTransfer(CBrivaneContext& ctx) {
    std::shared_ptr<CConsoleTransfer> t = ctx.view.pTransfer;
    if (!t) return;
    EndReception(ctx);
    ctx.prompter.Message(FinishedMessage(t->nReceivedLine, t->sFileName));
    ctx.view.iViewMode = kViewLineResistivity;

    CBrivaneDoc& doc = ctx.doc;
    // The destination is the survey's file now: side files go beside it and never replace it.
    if (!t->sPath.empty()) {
        doc.dataFolder = t->sPath.parent_path();
        doc.inputFiles.push_back(t->sPath);
    }
    std::vector<std::string> lines;
    lines.reserve(t->pRecordList.size());
    for (const std::string& r : t->pRecordList) lines.push_back(r + "\n");
    ReadMappingRecords(doc.survey, lines, 0, ctx.prompter);
    ctx.prompter.Message(
        FormatC(Tr("%d lines are imported", "%d 本の測線を取り込みました"), doc.survey.nLine));
    const std::string fileName = t->sFileName;
    ctx.view.pTransfer.reset();
    t.reset();
    if (doc.survey.nLine > 0) {
        // The plots are captioned with the file the survey came into.
        doc.sDataTitle = fileName;
        doc.mapGrid.Clear();
        ctx.bNewData = true;
        doc.survey.BuildDepthList();
        RunMarkerPath(ctx);
    }
    ctx.Redraw();
}

void RegisterTransferCommands(CCommandTable& table) {
    table.Bind(kCmdImportR731, StartConsoleTransfer, IsConsoleTransferEnabled);
    table.Bind(kCmdStopSerialTransfer, [](CBrivaneContext& ctx) {
        StopConsoleTransfer(ctx);
        ctx.view.iMouseMode = kMouseNormal;
        ctx.Redraw();
    });
}
