// "Save Gantrel data file (*.sto)" and "Save data file (*.stn) for Selket": the loaded survey
// written again in the survey file and the mapping file layouts.
#include "common/language.h"
#include "common/survey_file.h"
#include "common/text_format.h"
#include "processing/commands.h"

namespace {

bool HasLines(const CBrivaneContext& ctx) { return ctx.doc.survey.nLine > 0; }

void SaveGantrelDataFile(CBrivaneContext& ctx) {
    auto path = ctx.prompter.SaveFile(
        "Save", {{"Gantrel file(*.sto)", {"*.sto"}}, {"All files(*.*)", {"*.*"}}},
        ctx.doc.dataFolder / "*.sto");
    if (!path) return;
    // A file that cannot be created or written is reported: a silent failure would let the
    // user believe the edited survey was kept. The old file is replaced only by a whole one.
    SurveySaveReport report;
    CTextWriter out;
    if (out.OpenReplacing(*path)) {
        const CGantrelSurvey& survey = ctx.doc.survey;
        for (int i = 0; i < survey.nLine; ++i)
            WriteSurveyLine(survey.Line(i), out, survey.bMarkerDistance, 1, &report.nLeftOut);
        out.Close();
    }
    report.save = out.Result();
    // Readings the file cannot hold are said, with how many: the save is not a whole one.
    if (!report.ok()) ctx.Fail(SurveySaveMessage(report, *path, false));
}

void SaveMappingFile(CBrivaneContext& ctx) {
    auto path = ctx.prompter.SaveFile(
        "Save", {{"Gantrel file(*.stn)", {"*.stn"}}, {"All files(*.*)", {"*.*"}}},
        ctx.doc.dataFolder / "*.stn");
    if (!path) return;
    // The writer places every marker at 10 m times its line index and retypes it for the
    // mapping layout; those values belong in the file only, so a copy is written and the
    // loaded survey keeps its markers (a later survey file save keeps them too).
    CGantrelSurvey copy;
    copy.CopyFrom(ctx.doc.survey);
    SurveySaveReport report;
    WriteMappingFile(copy, *path, &report);
    if (!report.ok()) ctx.Fail(SurveySaveMessage(report, *path, true));
}

}  // namespace

void RegisterSaveCommands(CCommandTable& table) {
    table.Bind(kCmdSaveGantrel, SaveGantrelDataFile, HasLines);
    table.Bind(kCmdSaveSTN, SaveMappingFile, HasLines);
}
