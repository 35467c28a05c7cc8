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
    CTextWriter out;
    // A file that cannot be created or written is reported: a silent failure would let the
    // user believe the edited survey was kept.
    if (!out.Open(*path)) {
        ctx.Fail(CannotOpenFileMessage(*path));
        return;
    }
    const CGantrelSurvey& survey = ctx.doc.survey;
    bool ok = true;
    for (int i = 0; i < survey.nLine; ++i)
        ok = WriteSurveyLine(survey.Line(i), out, survey.bMarkerDistance, 1) && ok;
    if (!out.Close() || !ok) ctx.Fail(CannotWriteFileMessage(*path));
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
    CMessageTap tap(ctx.prompter);
    if (!WriteMappingFile(copy, *path, tap))
        ctx.Failed(tap.LastMessage().value_or(CannotWriteFileMessage(*path)));
}

}  // namespace

void RegisterSaveCommands(CCommandTable& table) {
    table.Bind(kCmdSaveGantrel, SaveGantrelDataFile, HasLines);
    table.Bind(kCmdSaveSTN, SaveMappingFile, HasLines);
}
