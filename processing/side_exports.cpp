// "Export a Surfer file format data", "Save current level information" and "Save current
// line to ASCII file".
#include "processing/side_exports.h"

#include <algorithm>

#include "common/language.h"
#include "common/record_time.h"
#include "common/replacing_writer.h"
#include "common/text_format.h"
#include "processing/commands.h"

std::string FormatSurferRow(const CGantrelData& data, int j, int iLine) {
    // The time and date fields each begin with a blank; the row's own separators come on top.
    const std::string stamp = FormatRecordTimeDate(data.time, data.iMilliSecond);
    const size_t split = stamp.rfind(' ');
    const std::string timeField = stamp.substr(0, split);
    const std::string dateField = stamp.substr(split);
    const double x = (data.dTransmitterX + data.dReceiverX[j]) / 2.0;
    const double y = (data.dTransmitterY + data.dReceiverY[j]) / 2.0;
    return FormatC("%.5f %.5f %.2f %.2f %.3f %.6f %d %d %.3f %s %s", x, y, 0.0,
                   static_cast<double>(data.fNFactor[j]),
                   static_cast<double>(data.fResistivity[j]),
                   static_cast<double>(data.fResistance[j]), iLine, data.iMarkerIndex,
                   static_cast<double>(data.fDepth[j]), timeField.c_str(), dateField.c_str());
}

std::string WriteSurferFile(const CGantrelSurvey& survey, const std::filesystem::path& path,
                            int* nRow) {
    if (nRow != nullptr) *nRow = 0;
    CReplacingWriter file;
    if (!file.Open(path)) return file.Error();
    CRecordTimeBatch timeBatch;
    CTextWriter& out = file.Text();
    out.Write(kSurferHeader);
    out.Write("\n");
    int rows = 0;
    for (int i = 0; i < survey.nLine; ++i) {
        for (const CGantrelData& d : survey.Line(i).pData) {
            const int n = std::min(d.nReceiver, kMaxReceiver);
            for (int j = 0; j < n; ++j) {
                if (d.bValid[j] != 1) continue;
                out.Write(FormatSurferRow(d, j, i));
                out.Write("\n");
                ++rows;
            }
        }
    }
    if (!file.Commit()) return file.Error();
    if (nRow != nullptr) *nRow = rows;
    return {};
}

int WriteCurrentLevelRow(const CGantrelData& data, float fTransmitterDipole, CTextWriter& out,
                         int iLine) {
    if (!out.IsOpen()) return 0;
    out.Printf("%d %d %d %f %f\n", iLine, data.nReceiver, data.iCurrentLevel[0],
               static_cast<double>(fTransmitterDipole), static_cast<double>(data.fResistivity[0]));
    return 1;
}

int WriteLineTable(const CGantrelLine& line, const std::filesystem::path& path,
                   std::string& error) {
    CReplacingWriter file;
    if (!file.Open(path)) {
        error = file.Error();
        return -1;
    }
    CTextWriter& out = file.Text();
    int values = 0;
    for (const CGantrelData& d : line.pData) {
        const int n = std::clamp(d.nReceiver, 0, kMaxReceiver);
        out.Printf("%f ", static_cast<double>(d.fDistance));
        for (int j = 0; j < n; ++j) out.Printf(" %f ", static_cast<double>(d.fResistance[j]));
        for (int j = 0; j < n; ++j) out.Printf(" %f ", static_cast<double>(d.fResistivity[j]));
        out.Printf("%d \n", d.iCurrentLevel[0]);
        values += 2 * n;
    }
    if (!file.Commit()) {
        error = file.Error();
        return -1;
    }
    return values;
}

std::string CurrentLevelSavedMessage(int nRow, const std::filesystem::path& path) {
    return FormatC(Tr("%d data were saved in %s", "%d 個のデータを %s に保存しました"), nRow,
                   path.string().c_str());
}

namespace {

bool HasLines(const CBrivaneContext& ctx) { return ctx.doc.survey.nLine > 0; }

void ExportSurferCommand(CBrivaneContext& ctx) {
    const auto path = ctx.prompter.SaveFile(
        "Save", {{"Surfer fromat file (*.dat)", {"*.dat"}}, {"All files(*.*)", {"*.*"}}},
        ctx.doc.dataFolder / "*.dat");
    if (!path) return;
    const std::string error = WriteSurferFile(ctx.doc.survey, *path);
    if (!error.empty()) ctx.Fail(error);
}

void SaveCurrentLevelCommand(CBrivaneContext& ctx) {
    const auto path = ctx.prompter.SaveFile(
        "Save", {{"Current level information file(*.*)", {"*.*"}}}, ctx.doc.dataFolder / "*.*");
    if (!path) return;
    const CGantrelSurvey& survey = ctx.doc.survey;
    CReplacingWriter file;
    int rows = 0;
    if (file.Open(*path)) {
        for (int i = 0; i < survey.nLine; ++i) {
            const CGantrelLine& line = survey.Line(i);
            for (const CGantrelData& d : line.pData)
                rows += WriteCurrentLevelRow(d, line.pGeometry->fTransmitterDipole, file.Text(), i);
        }
        if (!file.Commit()) rows = 0;
    }
    // The count is the user's confirmation; a file that could not be made says why as well.
    ctx.prompter.Message(CurrentLevelSavedMessage(rows, *path));
    if (!file.Error().empty()) ctx.Fail(file.Error());
}

bool LineViewShown(const CBrivaneContext& ctx) {
    return HasLines(ctx) && ctx.view.iViewMode == kViewLineResistivity;
}

void SaveLineAsciiCommand(CBrivaneContext& ctx) {
    const auto path =
        ctx.prompter.SaveFile("Save", {{"ASCII file(*.*)", {"*.*"}}}, ctx.doc.dataFolder / "*.*");
    if (!path) return;
    const CGantrelSurvey& survey = ctx.doc.survey;
    const int iLine = std::clamp(ctx.view.iCurrentLine, 0, survey.nLine - 1);
    std::string error;
    if (WriteLineTable(survey.Line(iLine), *path, error) < 0) ctx.Fail(error);
}

}  // namespace

void RegisterSideExportCommands(CCommandTable& table) {
    table.Bind(kCmdExportSurfer, ExportSurferCommand, HasLines);
    table.Bind(kCmdSaveCurrentLevel, SaveCurrentLevelCommand, HasLines);
    table.Bind(kCmdSaveLineASCII, SaveLineAsciiCommand, LineViewShown);
}
