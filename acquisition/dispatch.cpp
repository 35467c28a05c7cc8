// Console lines and their dispatch: the poll-timer tick, reading the ports, parsing console
// records into readings and writing them while a line is recorded.
#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <exception>

#include "acquisition/acquisition_state.h"
#include "common/language.h"
#include "common/survey_file.h"
#include "common/text_format.h"
#include "upload/upload_target.h"

namespace {
// V/I of a console field: "%f" as the console writes it, blanks around it tolerated. A field
// that holds no number gives 0; a number too large for a float gives an infinity, so that the
// reading is refused as "ERROR" rather than recorded with a wrong value.
float ConsoleValue(std::string_view field) {
    size_t i = 0;
    while (i < field.size() && (field[i] == ' ' || field[i] == '\t')) ++i;
    field.remove_prefix(i);
    bool negative = false;
    if (!field.empty() && (field[0] == '+' || field[0] == '-')) {
        negative = field[0] == '-';
        field.remove_prefix(1);
    }
    // "%f" takes one sign: "--1" and "+-1" hold no number.
    if (!field.empty() && (field[0] == '+' || field[0] == '-')) return 0.0f;
    double v = 0.0;
    const auto r =
        std::from_chars(field.data(), field.data() + field.size(), v, std::chars_format::general);
    if (r.ec == std::errc::result_out_of_range) {
        // Too small gives 0, too large an infinity: tell them apart by the exponent's sign.
        const std::string_view digits(field.data(), static_cast<size_t>(r.ptr - field.data()));
        const size_t e = digits.find_first_of("eE");
        const bool tiny =
            e != std::string_view::npos && e + 1 < digits.size() && digits[e + 1] == '-';
        v = tiny ? 0.0 : HUGE_VAL;
    } else if (r.ec != std::errc()) {
        return 0.0f;
    }
    if (negative) v = -v;
    if (std::isnan(v)) return static_cast<float>(v);
    if (std::fabs(v) > static_cast<double>(FLT_MAX)) return v < 0 ? -HUGE_VALF : HUGE_VALF;
    return static_cast<float>(v);
}

// A level in tenths ("%d"): 0 when the field holds no integer.
float Tenths(std::string_view field) {
    int tenths = 0;
    if (!ScanInt(field, tenths)) tenths = 0;
    return static_cast<float>(tenths) / 10.0f;
}

int Digit(std::string_view field, size_t i) {
    return i < field.size() && field[i] >= '0' && field[i] <= '9' ? field[i] - '0' : 0;
}

int ReceiversOfFieldCount(int nField) {
    switch (nField) {
        case 4:
            return 1;
        case 7:
            return 2;
        case 10:
            return 3;
        case 13:
            return 4;
        case 16:
            return 5;
        default:
            return 0;
    }
}
}  // namespace

int CAcquisitionState::ParseConsoleRecord(std::string_view line, int iMilliSecond, int instrument,
                                          std::int64_t time) {
    instrument = instrument == kSecondInstrument ? kSecondInstrument : kFirstInstrument;
    const std::string_view text = line.substr(0, kMaxRecordLength);
    CFieldTable f;
    const int n = ReceiversOfFieldCount(SplitFields(text, f));
    if (n == 0) return 0;

    CLoggerReading r;
    r.nReceiver = n;
    for (int k = 0; k < n; ++k) {
        // Receiver 1 has the transmitter level between its receiver level and its status.
        const size_t base = k == 0 ? 0 : static_cast<size_t>(3 * k + 1);
        const size_t status = k == 0 ? 3 : base + 2;
        r.fResistance[k] = ConsoleValue(f[base]);
        r.fReceiverLevel[k] = Tenths(f[base + 1]);
        r.iCurrentLevel[k] = Digit(f[status], 0);
        r.iStatus[k] = Digit(f[status], 1);
    }
    r.fTransmitterLevel = Tenths(f[2]);
    r.time = time;
    r.iMilliSecond = std::clamp(iMilliSecond, 0, 999);
    ComputeLoggerResistivity(r, geometry[static_cast<size_t>(instrument)]);
    r.bRecorded = iRecordState == 1 && bPaused == 0 ? 1 : 0;
    readings.Append(r);
    if (r.bRecorded == 0) return n;

    if (IsErrorReading(r)) return kReadingOutOfRange;
    if (!WriteRecord(instrument, FormatReadingRecord(r, ReadingForm::Logging, false),
                     RecordKind::Reading))
        return -1;
    // Written with one write(): the reading is in the survey file before its upload starts.
    if (bUpload != 0) UploadReading(r);
    return n;
}

void CAcquisitionState::UploadReading(const CGantrelData& reading) {
    if (pUploader == nullptr) return;
    pUploader->Submit(reading, fixes.Empty() ? nullptr : &latestFix);
}

void CAcquisitionState::SetUploader(CReadingUploader* uploader) {
    if (pUploader != nullptr && pUploader != uploader) pUploader->SetEnabled(false);
    pUploader = uploader;
    if (pUploader == nullptr)
        bUpload = 0;
    else
        pUploader->SetEnabled(bUpload != 0);
}

bool CAcquisitionState::SetUpload(bool bOn) {
    if (pUploader == nullptr) {
        bUpload = 0;
        return !bOn;
    }
    pUploader->SetEnabled(bOn);
    bUpload = bOn ? 1 : 0;
    return true;
}

bool CAcquisitionState::SetupUploadDatabase() {
    const std::string current = pUploader != nullptr ? pUploader->URL() : LoadReadingUploadURL();
    std::string typed = current;
    for (;;) {
        const auto url =
            prompter_.InputText("Setup Brivane database", "URL to uploading data", typed);
        if (!url) return false;
        const std::string why = UploadURLProblem(*url);
        if (why.empty()) {
            if (pUploader != nullptr) pUploader->SetURL(*url);
            StoreReadingUploadURL(*url);
            return true;
        }
        // The operator asked for this dialog: the refusal may wait for OK.
        prompter_.Message(why);
        typed = *url;
    }
}

void CAcquisitionState::TakeUploadEvents() {
    if (pUploader == nullptr) return;
    for (const CUploadEvent& e : pUploader->TakeEvents()) {
        if (!e.sResponse.empty()) receivedLines.Append(e.sResponse);
        // Readings stop going out: the operator sees it beside the data, not only in the
        // logging window.
        if (e.bQueueFull) dataLines.Append(e.sResponse);
        if (e.bSwitchedOff) {
            bUpload = 0;
            Notify(kUploadStoppedMessage);
        }
    }
}

bool CAcquisitionState::WriteRecord(int instrument, const std::string& record, RecordKind kind) {
    const std::filesystem::path& path = sSurveyPath[static_cast<size_t>(instrument)];
    const std::size_t nWaiting = appender_.PendingRecords();
    const bool bWritten = appender_.Append(path, record, kind);
    // The live section sees a record once it is in the file or held for it.
    if (onRecordWritten && (bWritten || appender_.PendingRecords() > nWaiting))
        onRecordWritten(instrument, record);
    if (!bWritten) {
        UpdateStatus();
        return false;
    }
    CRecordCounts one;
    one.Add(kind);
    NoteWritten(path, one);
    return true;
}

// The summary counts what is in the files: the first instrument's file of the moment.
void CAcquisitionState::NoteWritten(const std::filesystem::path& path, const CRecordCounts& c) {
    if (c.nRecord == 0) return;
    if (std::find(recorded.files.begin(), recorded.files.end(), path) == recorded.files.end())
        recorded.files.push_back(path);
    if (path != sSurveyPath[kFirstInstrument]) return;
    recorded.nReading += c.nReading;
    recorded.nFix += c.nFix;
    recorded.nMarker += c.nMarker;
}

void CAcquisitionState::CautionNotSaved() {
    Notify(kCautionNotSaved);
}

void CAcquisitionState::CautionOutOfRange() {
    Notify(kCautionOutOfRange);
}

void CAcquisitionState::FlushRecords() {
    // Held records wait for their own file only while it is the one being recorded.
    for (const auto& path : sSurveyPath) appender_.Retry(path);
    for (const CLateWrite& w : appender_.TakeLateWrites()) {
        NoteWritten(w.path, w.counts);
        if (w.counts.nReading > 0)
            Notify(FormatC(Tr("%d held readings written to %s",
                              "保留していた測定値 %d 件を %s に書き込みました"),
                           w.counts.nReading, w.path.string().c_str()));
    }
    if (!appender_.Flush()) CautionNotSaved();
    UpdateStatus();
}

void CAcquisitionState::UpdateStatus() {
    std::string status;
    form.bSaveFailing = false;
    for (const auto& path : sSurveyPath) {
        if (!appender_.IsHolding(path)) continue;
        form.bSaveFailing = true;
        for (const CHeldFile& f : appender_.HeldFiles())
            if (f.path == path && !f.bAbandoned)
                status = FormatC(Tr("Could not save data to %s: %d readings waiting",
                                    "%s に保存できません: 測定値 %d 件が保留中"),
                                 path.string().c_str(), f.Readings());
        break;
    }
    for (int slot : {kSlotGantrel, kSlotGantrel2, kSlotGPS}) {
        if (!IsLost(slot)) continue;
        if (!status.empty()) status += "; ";
        status += FormatC(Tr("%s disconnected: waiting for %s", "%s 切断: %s を待っています"),
                          slot == kSlotGantrel ? "Gantrel"
                          : slot == kSlotGPS   ? "GPS"
                                               : "2nd Gantrel",
                          sLostPort[static_cast<size_t>(slot)].c_str());
    }
    form.sStatus = status;
}

int CAcquisitionState::DispatchLine(std::string_view line, int slot, CClockTime t, int bPublish) {
    if (slot == kSlotGantrel || slot == kSlotGantrel2) {
        const int instrument = slot == kSlotGantrel ? kFirstInstrument : kSecondInstrument;
        const int n = ParseConsoleRecord(line, t.iMilliSecond, instrument, t.time);
        serialLogs.Append(CSerialLogs::Gantrel, line);
        if (n == kReadingOutOfRange) return kLineOutOfRange;
        if (n < 0) return kLineNotSaved;
        return slot == kSlotGantrel ? kLineGantrel : kLineGantrel2;
    }
    const bool bGGA = line.find("$GPGGA") != std::string_view::npos ||
                      line.find("$GNGGA") != std::string_view::npos;
    if (!bGGA) {
        serialLogs.Append(CSerialLogs::Etcetera, line);
        return kLineOtherGPS;
    }
    serialLogs.Append(CSerialLogs::GPS, line);
    try {
        HandleGGA(line, t, bPublish);
    } catch (const std::exception&) {
        return kLineNoKind;
    }
    return kLineGGA;
}

int CAcquisitionState::PollSerialPort(int slot) {
    CSerialPort* port = slots.Port(slot);
    if (port == nullptr) return 0;
    long queued = port->BytesQueued();
    if (queued > 0)
        queued = port->Read(readBuffer_.data(),
                            std::min(static_cast<size_t>(queued), readBuffer_.size()));
    if (queued == kSerialGone) {
        DeviceLost(slot);
        return 0;
    }
    if (queued <= 0) return 0;

    CLineAssembler& lines = assembler[static_cast<size_t>(slot)];
    int nLine = lines.Append(readBuffer_.data(), static_cast<size_t>(queued));
    if (nLine == 0) return 0;
    // Every line of one read carries the time of the read.
    const CClockTime t = clock_.Now();
    int count = 0;
    // More than 100 lines in one read wait in the assembler; they are taken now, so a burst
    // (after the computer stalled) is never cut short by the assembler's buffer.
    while (nLine > 0) {
        for (int i = 0; i < nLine; ++i) {
            const std::string text(lines.Line(i));
            int kind = kLineNoKind;
            try {
                kind = DispatchLine(text, slot, t, 1);
                receivedLines.Append(text);
                if (kind == kLineGantrel || kind == kLineGGA || kind == kLineGantrel2) {
                    dataLines.Append(text);
                    ++count;
                } else if (kind == kLineNotSaved) {
                    dataLines.Append(text);
                    CautionNotSaved();
                } else if (kind == kLineOutOfRange) {
                    dataLines.Append(text);
                    CautionOutOfRange();
                }
            } catch (const std::exception&) {
                // One line that cannot be handled does not stop the others.
            }
        }
        nLine = lines.Append(nullptr, 0);
    }
    FlushRecords();
    return count;
}

void CAcquisitionState::Tick(int iTimer) {
    const CClockTime start = clock_.Now();
    bool bArrived = false;
    for (int slot : {kSlotGantrel, kSlotGPS, kSlotGantrel2})
        if (IsLost(slot)) TryReconnect(slot);

    if (bGantrelStarted != 0 && bGantrelDemonstration != 0) {
        if (RunDemonstrationStep(kSlotGantrel)) bArrived = true;
    } else if (bGantrelStarted != 0 && iTimer == kPollTimer) {
        if (PollSerialPort(kSlotGantrel) > 0) bArrived = true;
    }
    if (bGantrel2Started != 0 && PollSerialPort(kSlotGantrel2) > 0) bArrived = true;
    if (bGPSStarted != 0) {
        if (bRegistryGPS != 0) {
            if (ReadRegistryGPS() > 0) bArrived = true;
        } else if (bGPSDemonstration != 0) {
            if (RunDemonstrationStep(kSlotGPS)) bArrived = true;
        } else if (iTimer == kPollTimer) {
            if (PollSerialPort(kSlotGPS) > 0) bArrived = true;
        }
    }
    FlushRecords();
    TakeUploadEvents();

    if (bArrived) {
        UpdateViews();
        RefreshForm();
        lastRefresh = clock_.Now();
    }
    if (clock_.Now().time - lastRefresh.time > 1) {
        dataLines.Append("");
        RefreshForm();
        lastRefresh = start;
    }
}
