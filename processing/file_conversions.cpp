#include "processing/file_conversions.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "common/language.h"
#include "common/prompter.h"
#include "common/record_time.h"
#include "common/replacing_writer.h"
#include "common/settings.h"
#include "common/side_file.h"
#include "common/survey_file.h"
#include "common/text_format.h"
#include "common/utm.h"
#include "processing/commands.h"

namespace {

// Reads whole lines; a line longer than kMaxConvertedLineLength makes the file unreadable.
class CWholeLineReader {
public:
    bool Open(const std::filesystem::path& path) {
        reader_.maxLength = kMaxConvertedLineLength;
        return reader_.Open(path);
    }
    // False at the end of the file, or at a line that is too long (TooLong() then says so).
    bool Next(std::string& line) {
        if (!reader_.ReadLine(line)) return false;
        if (reader_.LastLineTooLong()) {
            tooLong_ = reader_.LineNumber();
            return false;
        }
        return true;
    }
    std::size_t TooLong() const { return tooLong_; }
    std::size_t LineNumber() const { return reader_.LineNumber(); }

private:
    CLineReader reader_;
    std::size_t tooLong_ = 0;
};

std::string LineTooLongMessage(const std::filesystem::path& path, std::size_t iLine) {
    return FormatC(Tr("Line %d of %s is longer than %d characters: the file is not a text "
                      "file of records, and nothing was converted.",
                      "%d 行目（%s）が %d 文字を超えています。レコードのテキストファイルでは"
                      "ないため、何も変換していません。"),
                   static_cast<int>(iLine), path.string().c_str(),
                   static_cast<int>(kMaxConvertedLineLength));
}

// A scanf-like walk over a line: each read skips blanks first.
class CFieldScanner {
public:
    explicit CFieldScanner(std::string_view text) : rest_(text) {}
    bool Int(int& v) { return Take(ScanInt(rest_, v, &used_)); }
    bool Float(float& v) { return Take(ScanFloat(rest_, v, &used_)); }
    bool Double(double& v) { return Take(ScanDouble(rest_, v, &used_)); }
    bool Word(std::string_view& w) {
        std::string_view tokens[1];
        if (SplitTokens(rest_, tokens, 1) != 1) return false;
        w = tokens[0];
        rest_ = rest_.substr(static_cast<std::size_t>(w.data() + w.size() - rest_.data()));
        return true;
    }

private:
    bool Take(bool ok) {
        if (ok) rest_.remove_prefix(used_);
        return ok;
    }
    std::string_view rest_;
    std::size_t used_ = 0;
};

bool TwoDigits(std::string_view s, std::size_t at, int& value) {
    if (s.size() < at + 2) return false;
    const char a = s[at], b = s[at + 1];
    if (a < '0' || a > '9' || b < '0' || b > '9') return false;
    value = (a - '0') * 10 + (b - '0');
    return true;
}

// A converter reads its input whole or line by line while it writes, so writing onto the
// input (the same path, another spelling of it, a link to it) would destroy it.
bool RefusedDestination(const std::filesystem::path& source,
                        const std::filesystem::path& destination, ConversionResult& r) {
    if (!IsSameFile(source, destination)) return false;
    r.sError = DestinationIsInputMessage(destination, source);
    return true;
}

}  // namespace

std::string DestinationIsInputMessage(const std::filesystem::path& destination,
                                      const std::filesystem::path& input) {
    return FormatC(Tr("%s is the file %s that is being converted: writing there would destroy "
                      "it. Choose another file to write.",
                      "%s は変換中のファイル %s です。書き込むとそのファイルが失われます。別の"
                      "ファイルを選んでください。"),
                   destination.string().c_str(), input.string().c_str());
}

std::optional<std::filesystem::path> AskConversionDestination(
    CBrivaneContext& ctx, const std::string& caption, const std::vector<FileFilter>& filters,
    const std::filesystem::path& initial, const std::vector<std::filesystem::path>& inputs) {
    for (;;) {
        auto destination = ctx.prompter.SaveFile(caption, filters, initial);
        if (!destination) return std::nullopt;
        const auto input = std::find_if(inputs.begin(), inputs.end(),
                                        [&](const auto& f) { return IsSameFile(f, *destination); });
        if (input == inputs.end()) return destination;
        // Asked again, as every dialog asks again on an answer it cannot take.
        ctx.prompter.Message(DestinationIsInputMessage(*destination, *input));
    }
}

// ---------------------------------------------------------------------------------------------

ConversionResult ReverseSurveyFile(const std::filesystem::path& source,
                                   const std::filesystem::path& destination) {
    ConversionResult r;
    if (RefusedDestination(source, destination, r)) return r;
    CWholeLineReader in;
    if (!in.Open(source)) {
        r.sError = CannotOpenFileMessage(source);
        return r;
    }
    std::vector<std::string> lines;
    std::string line;
    while (in.Next(line)) {
        if (static_cast<int>(lines.size()) < kMaxReversedLines) {
            lines.push_back(line);
        } else {
            if (r.nLeftOut++ == 0) r.iFirstLeftOut = in.LineNumber();
        }
    }
    if (in.TooLong() != 0) {
        r.sError = LineTooLongMessage(source, in.TooLong());
        return r;
    }
    CReplacingWriter out;
    if (!out.Open(destination)) {
        r.sError = out.Error();
        return r;
    }
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
        out.Text().Write(*it);
        out.Text().Write("\n");
    }
    if (!out.Commit()) {
        r.sError = out.Error();
        return r;
    }
    r.nWritten = static_cast<int>(lines.size());
    return r;
}

CaptureLine ConvertCaptureLine(std::string_view line, std::string& out) {
    out.clear();
    int type = 0;
    if (!ScanInt(line, type) || type == 0) return CaptureLine::Dropped;
    if (type != 21) {
        out.assign(line);
        return CaptureLine::Copied;
    }
    std::string text(line);
    std::replace(text.begin(), text.end(), ',', ' ');
    if (text.size() < kCaptureDateAt + kCaptureDateLength) return CaptureLine::Unusable;
    const std::string timeText = text.substr(kCaptureTimeAt, kCaptureTimeLength);
    const std::string dateText = text.substr(kCaptureDateAt, kCaptureDateLength);
    // After the 21: resistance 1, receiver level 1, transmitter level, status 1, then
    // resistance, receiver level and status of receivers 2 and 3, and resistance 4.
    CFieldScanner scan(text);
    int head = 0, level = 0;
    float r[4] = {};
    const bool ok = scan.Int(head) && scan.Float(r[0]) && scan.Int(level) && scan.Int(level) &&
                    scan.Int(level) && scan.Float(r[1]) && scan.Int(level) && scan.Int(level) &&
                    scan.Float(r[2]) && scan.Int(level) && scan.Int(level) && scan.Float(r[3]);
    if (!ok) return CaptureLine::Unusable;
    out = FormatC("30 4 %f 0 %f 0 %f 0 %f 0  %s %s", static_cast<double>(r[0]),
                  static_cast<double>(r[1]), static_cast<double>(r[2]), static_cast<double>(r[3]),
                  timeText.c_str(), dateText.c_str());
    return CaptureLine::Converted;
}

ConversionResult ConvertTextCapture(const std::filesystem::path& source,
                                    const std::filesystem::path& destination) {
    ConversionResult r;
    if (RefusedDestination(source, destination, r)) return r;
    CWholeLineReader in;
    if (!in.Open(source)) {
        r.sError = CannotOpenFileMessage(source);
        return r;
    }
    CReplacingWriter out;
    if (!out.Open(destination)) {
        r.sError = out.Error();
        return r;
    }
    out.Text().Write("99 0 0 1\n");
    std::string line, record;
    while (in.Next(line)) {
        const CaptureLine kind = ConvertCaptureLine(line, record);
        if (kind == CaptureLine::Unusable) {
            if (r.nLeftOut++ == 0) r.iFirstLeftOut = in.LineNumber();
            continue;
        }
        if (kind == CaptureLine::Dropped) continue;
        out.Text().Write(record);
        out.Text().Write("\n");
        ++r.nWritten;
    }
    if (in.TooLong() != 0) {
        r.sError = LineTooLongMessage(source, in.TooLong());
        return r;  // the temporary goes with out; the destination stays as it was
    }
    if (!out.Commit()) r.sError = out.Error();
    return r;
}

// ---------------------------------------------------------------------------------------------

std::string FormatDumpLine(int iBlock, std::string_view block) {
    const std::string_view text = block.substr(0, std::min(block.find('\0'), kDumpBlockSize));
    std::string line = FormatC("%d %d ", iBlock, static_cast<int>(kDumpBlockSize));
    line.append(text);
    return line;
}

ConversionResult DumpBinaryFile(const std::filesystem::path& source,
                                const std::filesystem::path& destination) {
    ConversionResult r;
    if (RefusedDestination(source, destination, r)) return r;
    std::FILE* in = std::fopen(source.string().c_str(), "rb");
    if (in == nullptr) {
        r.sError = CannotOpenFileMessage(source);
        return r;
    }
    CReplacingWriter out;
    if (!out.Open(destination)) {
        std::fclose(in);
        r.sError = out.Error();
        return r;
    }
    char block[kDumpBlockSize];
    for (;;) {
        const std::size_t n = std::fread(block, 1, kDumpBlockSize, in);
        if (n < kDumpBlockSize) {
            r.nLeftOut = static_cast<int>(n);
            break;
        }
        out.Text().Write(FormatDumpLine(r.nWritten, std::string_view(block, n)));
        out.Text().Write("\n");
        ++r.nWritten;
    }
    const bool readError = std::ferror(in) != 0;
    std::fclose(in);
    if (readError) {
        r.sError = FormatC(Tr("The file %s could not be read to its end; nothing was written.",
                              "ファイル %s を最後まで読めませんでした。何も書き込んでいません。"),
                           source.string().c_str());
        return r;
    }
    if (!out.Commit()) r.sError = out.Error();
    return r;
}

// ---------------------------------------------------------------------------------------------

std::optional<GPSPosition> ParseGPSPositionLine(std::string_view line) {
    CFieldScanner scan(line);
    int unusedInt = 0;
    double easting = 0.0, northing = 0.0, unusedReal = 0.0;
    std::string_view word;
    if (!scan.Int(unusedInt) || !scan.Double(easting) || !scan.Double(northing) ||
        !scan.Double(unusedReal) || !scan.Word(word))
        return std::nullopt;
    if (!std::isfinite(easting) || !std::isfinite(northing)) return std::nullopt;
    int hour = 0, minute = 0, second = 0;
    if (!TwoDigits(word, 0, hour) || !TwoDigits(word, 3, minute) || !TwoDigits(word, 6, second) ||
        hour > 23 || minute > 59 || second > 60)
        return std::nullopt;
    GPSPosition p;
    p.dEasting = easting;
    p.dNorthing = northing;
    p.iSecondOfDay = hour * 3600 + minute * 60 + second;
    return p;
}

std::optional<GPSPositionZone> PositionZoneOf(const CGantrelSurvey& survey) {
    for (int l = 0; l < survey.nLine; ++l) {
        for (const CGPSData& g : survey.Line(l).pGPS) {
            int zone = g.iUTMZone;
            if (zone < 1 || zone > 60) zone = UTMZoneOf(g.dLongitude);
            if (zone >= 1 && zone <= 60) return GPSPositionZone{zone, IsSouthern(g)};
        }
    }
    const int stored = ReadSuiteInt("iUTMZone", 0);
    if (stored >= 1 && stored <= 60) return GPSPositionZone{stored, false};
    return std::nullopt;
}

std::optional<CGPSData> PositionFix(const GPSPosition& position, const GPSPositionZone& zone,
                                    std::int64_t day, std::int64_t until) {
    RecordClock clock;
    if (!LocalClock(day, 0, clock)) return std::nullopt;
    const int h = position.iSecondOfDay / 3600, m = position.iSecondOfDay / 60 % 60,
              sec = position.iSecondOfDay % 60;
    CGPSData gps;
    if (!LocalCalendarTime(clock.iYear, clock.iMonth, clock.iDay, h, m, sec, gps.time))
        return std::nullopt;
    std::int64_t next = 0;
    if (gps.time < day &&
        LocalCalendarTime(clock.iYear, clock.iMonth, clock.iDay + 1, h, m, sec, next) &&
        next <= until)
        gps.time = next;
    gps.iMilliSecond = 0;
    gps.dEasting = position.dEasting;
    gps.dNorthing = position.dNorthing;
    gps.iUTMZone = zone.iZone;
    FromUTM(zone.iZone, position.dEasting, position.dNorthing, zone.bSouth, gps.dLatitude,
            gps.dLongitude);
    return gps;
}

namespace {

// The fixes from the time of the line's first reading to that of its last, both included, in
// the order given, replace the line's fixes. Returns how many were placed.
int PlaceFixesOnLine(CGantrelLine& line, const std::vector<CGPSData>& fixes) {
    line.pGPS.clear();
    if (line.pData.empty()) return 0;
    const std::int64_t first = line.pData.front().time;
    const std::int64_t last = line.pData.back().time;
    int placed = 0;
    for (const CGPSData& f : fixes) {
        if (f.time < first || f.time > last) continue;
        CGPSData* g = line.AddGPS();
        if (g == nullptr) break;  // the line holds kMaxGPSPerLine fixes
        g->time = f.time;
        g->iMilliSecond = f.iMilliSecond;
        g->dLatitude = f.dLatitude;
        g->dLongitude = f.dLongitude;
        g->dAltitude = f.dAltitude;
        g->dEasting = f.dEasting;
        g->dNorthing = f.dNorthing;
        g->iUTMZone = f.iUTMZone;
        g->sSentence = f.sSentence;
        ++placed;
    }
    return placed;
}

int FinishPlacing(CGantrelSurvey& survey, int placed) {
    // The lines are complete already (two markers or more, the last one marked), so this only
    // ties every marker and fix to the reading nearest in time again.
    CompleteLines(survey);
    survey.bGPS = placed > 0 ? 1 : 0;
    return placed;
}

}  // namespace

int ApplyGPSFixes(CGantrelSurvey& survey, const std::vector<CGPSData>& fixes) {
    int placed = 0;
    for (int l = 0; l < survey.nLine; ++l) placed += PlaceFixesOnLine(survey.Line(l), fixes);
    return FinishPlacing(survey, placed);
}

int ApplyGPSPositions(CGantrelSurvey& survey, const std::vector<GPSPosition>& positions,
                      const GPSPositionZone& zone) {
    int placed = 0;
    std::vector<CGPSData> fixes;
    CRecordTimeBatch timeBatch;
    for (int l = 0; l < survey.nLine; ++l) {
        CGantrelLine& line = survey.Line(l);
        fixes.clear();
        for (const GPSPosition& p : positions) {
            if (line.pData.empty()) break;
            if (auto fix = PositionFix(p, zone, line.pData.front().time, line.pData.back().time))
                fixes.push_back(*fix);
        }
        placed += PlaceFixesOnLine(line, fixes);
    }
    return FinishPlacing(survey, placed);
}

int DropEmptyLines(CGantrelSurvey& survey) {
    const auto begin = survey.pLine.begin();
    const auto end = begin + survey.nLine;
    const auto kept = std::stable_partition(
        begin, end, [](const std::unique_ptr<CGantrelLine>& l) { return !l->pData.empty(); });
    survey.nLine = static_cast<int>(kept - begin);
    return survey.nLine;
}

// ---------------------------------------------------------------------------------------------
// Commands

namespace {

std::string LeftOutMessage(const ConversionResult& r, const std::filesystem::path& source,
                           const char* what, const char* whatJa) {
    return FormatC(Tr("%d lines of %s were left out (%s); the first is line %d.",
                      "%d 行（%s）を変換しませんでした（%s）。最初は %d 行目です。"),
                   r.nLeftOut, source.string().c_str(), Tr(what, whatJa),
                   static_cast<int>(r.iFirstLeftOut));
}

}  // namespace

void ConvertStoToStnCommand(CBrivaneContext& ctx) {
    const auto sources = ctx.prompter.OpenFiles("Open", {{"STO file(*.sto)", {"*.sto"}}},
                                                ctx.doc.dataFolder / "*.sto", false);
    if (sources.empty()) return;
    const std::filesystem::path& source = sources.front();
    // The source is read before the destination is asked for, as the user expects an
    // unreadable file to be said at once.
    {
        std::FILE* probe = std::fopen(source.string().c_str(), "rb");
        if (probe == nullptr) {
            ctx.Fail(CannotOpenFileMessage(source));
            return;
        }
        std::fclose(probe);
    }
    const auto destination = AskConversionDestination(ctx, "Save", {{"STN file", {"*.stn"}}},
                                                      source.parent_path() / "*.stn", {source});
    if (!destination) return;
    const ConversionResult r = ReverseSurveyFile(source, *destination);
    if (!r.ok()) {
        ctx.Fail(r.sError);
        return;
    }
    if (r.nLeftOut > 0) {
        ctx.Fail(FormatC(Tr("%s has more than %d lines: only the first %d were converted, %d "
                            "lines were left out.",
                            "%s は %d 行を超えています。最初の %d 行だけを変換し、%d 行を変換"
                            "しませんでした。"),
                         source.string().c_str(), kMaxReversedLines, kMaxReversedLines,
                         r.nLeftOut));
    }
}

void ConvertTextToStnCommand(CBrivaneContext& ctx) {
    const auto sources = ctx.prompter.OpenFiles("Open", {{"Text data file(*.*)", {"*.*"}}},
                                                ctx.doc.dataFolder / "*.*", false);
    if (sources.empty()) return;
    const std::filesystem::path& source = sources.front();
    const auto destination =
        AskConversionDestination(ctx, "Save", {{"Text data file(*.stn)", {"*.stn"}}},
                                 source.parent_path() / "*.stn", {source});
    if (!destination) return;
    const ConversionResult r = ConvertTextCapture(source, *destination);
    if (!r.ok()) {
        ctx.Fail(r.sError);
        return;
    }
    if (r.nLeftOut > 0)
        ctx.prompter.Message(LeftOutMessage(r, source,
                                            "type 21 without its time, date and four receivers",
                                            "時刻・日付・4 受信器のない 21 型"));
}

void OpenBinaryFileCommand(CBrivaneContext& ctx) {
    const auto sources = ctx.prompter.OpenFiles("Open", {{"Binary data file(*.bin)", {"*.bin"}}},
                                                ctx.doc.dataFolder / "*.bin", false);
    if (sources.empty()) return;
    const std::filesystem::path& source = sources.front();
    // The dump goes where the user says, beside the binary file unless told otherwise.
    const auto destination = AskConversionDestination(
        ctx, "Save", {{"Text file(*.txt)", {"*.txt"}}, {"All files(*.*)", {"*.*"}}},
        source.parent_path() / "test.txt", {source});
    if (!destination) return;
    const ConversionResult r = DumpBinaryFile(source, *destination);
    if (!r.ok()) {
        ctx.Fail(r.sError);
        return;
    }
    if (r.nLeftOut > 0)
        ctx.prompter.Message(FormatC(Tr("The last %d bytes of %s do not fill a block of %d bytes "
                                        "and are not in the dump.",
                                        "最後の %d バイト（%s）は %d バイトのブロックに満たない"
                                        "ため、ダンプに含まれていません。"),
                                     r.nLeftOut, source.string().c_str(),
                                     static_cast<int>(kDumpBlockSize)));
}

void ApplyNewGPSCommand(CBrivaneContext& ctx) {
    const auto mappings = ctx.prompter.OpenFiles("Open", {{"Gantrel STN file(*.stn)", {"*.stn"}}},
                                                 ctx.doc.dataFolder / "*.stn", false);
    if (mappings.empty()) return;
    const std::filesystem::path& mapping = mappings.front();
    CGantrelSurvey scratch;
    CMessageTap tap(ctx.prompter);
    ReadMappingFile(scratch, mapping, tap);
    const int nLine = DropEmptyLines(scratch);
    ctx.prompter.Message(FormatC(Tr("Number of Gantrel lines=%d", "Gantrel測線数=%d"), nLine));
    if (nLine == 0) {
        // Nothing to place fixes on; a file that could not be opened is the cause.
        const std::string cannotOpen = CannotOpenFileMessage(mapping);
        ctx.Failed(tap.LastMessage() == cannotOpen
                       ? cannotOpen
                       : FormatC(Tr("%s holds no line with readings.",
                                    "%s には読み取り値のある測線がありません。"),
                                 mapping.string().c_str()));
        return;
    }

    const auto positionFiles = ctx.prompter.OpenFiles("Open", {{"GPS file(*.*)", {"*.*"}}},
                                                      mapping.parent_path() / "*.*", false);
    if (positionFiles.empty()) return;
    const std::filesystem::path& positionFile = positionFiles.front();
    CLineReader in;
    in.maxLength = kMaxConvertedLineLength;
    if (!in.Open(positionFile)) {
        ctx.Fail(CannotOpenFileMessage(positionFile));
        return;
    }
    // The zone comes from the mapping file's own fixes, which are then replaced.
    const std::optional<GPSPositionZone> zone = PositionZoneOf(scratch);
    std::vector<GPSPosition> positions;
    std::string line;
    int nBeyond = 0;  // usable fixes past the capacity
    while (in.ReadLine(line)) {
        auto position = in.LastLineTooLong() ? std::nullopt : ParseGPSPositionLine(line);
        if (!position) continue;
        if (static_cast<int>(positions.size()) < kMaxApplyGPSFixes)
            positions.push_back(*position);
        else
            ++nBeyond;
    }
    const int nPositions = static_cast<int>(positions.size());
    ctx.prompter.Message(FormatC(Tr("Number of GPS data=%d", "GPSデータ数=%d"), nPositions));
    if (nBeyond > 0)
        ctx.prompter.Message(FormatC(Tr("%s holds more than %d fixes; the %d after them were "
                                        "not used.",
                                        "%s には %d 個を超える GPS データがあり、超えた %d 個は"
                                        "使用していません。"),
                                     positionFile.string().c_str(), kMaxApplyGPSFixes, nBeyond));
    if (!zone) {
        ctx.Failed(FormatC(Tr("%s holds no GPS fix, and no survey read before gave a UTM zone: "
                              "the zone of the positions in %s is not known. Nothing was "
                              "written.",
                              "%s には GPS データがなく、以前に読んだ測量からも UTM ゾーンが"
                              "わかりません。%s の位置のゾーンが不明なため、何も書き込んで"
                              "いません。"),
                           mapping.string().c_str(), positionFile.string().c_str()));
        return;
    }
    const int nApplied = ApplyGPSPositions(scratch, positions, *zone);
    if (nApplied == 0) {
        ctx.Failed(FormatC(Tr("None of the %d GPS data of %s lies within the time of the "
                              "readings of %s: no fix was applied and nothing was written.",
                              "%d 個の GPS データ（%s）のどれも %s の読み取り値の時間内に"
                              "ありません。適用した GPS データがないため、何も書き込んで"
                              "いません。"),
                           nPositions, positionFile.string().c_str(), mapping.string().c_str()));
        return;
    }
    ctx.prompter.Message(FormatC(Tr("GPS data applied: %d of %d (UTM zone %d%s)",
                                    "適用した GPS データ: %d / %d (UTM ゾーン %d%s)"),
                                 nApplied, nPositions, zone->iZone,
                                 zone->bSouth ? Tr(" south", " 南半球") : ""));

    const auto destination =
        AskConversionDestination(ctx, "Save", {{"Destination STN file (*stn)", {"*.stn"}}},
                                 mapping.parent_path() / "*.stn", {mapping, positionFile});
    if (!destination) return;
    CMessageTap writeTap(ctx.prompter);
    if (!WriteMappingFile(scratch, *destination, writeTap))
        ctx.Failed(writeTap.LastMessage().value_or(CannotWriteFileMessage(*destination)));
}

void RegisterConversionCommands(CCommandTable& table) {
    table.Bind(kCmdConvertSTOtoSTN, ConvertStoToStnCommand);
    table.Bind(kCmdConvertTextToSTN, ConvertTextToStnCommand);
    table.Bind(kCmdOpenBinary, OpenBinaryFileCommand);
    table.Bind(kCmdApplyNewGPS, ApplyNewGPSCommand);
}
