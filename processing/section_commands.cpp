#include "processing/section_commands.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "analysis/gridding.h"
#include "analysis/inversion.h"
#include "common/language.h"
#include "common/settings.h"
#include "common/side_file.h"
#include "common/text_format.h"
#include "common/utm.h"
#include "positioning/positioning.h"
#include "processing/commands.h"
#include "sectionfiles/dunvar.h"
#include "sectionfiles/ovs_file.h"
#include "sectionfiles/res2dinv.h"

std::vector<FileFilter> SectionFileFilters() {
    return {{"Trevasc data file(*.ovs)", {"*.ovs"}}};
}

std::vector<FileFilter> Res2dinvFileFilters() {
    return {{"RES2D file(*.dat)", {"*.dat"}}, {"All files(*.*)", {"*.*"}}};
}

int ViewModeAfterSectionOpen(const CTrevascDataOhm& store, const CGantrelSurvey& survey,
                             int current) {
    if (std::max(survey.nLine, store.nColumn) <= 0) return current;
    if (store.nColumn == 1) return kViewModel1D;
    if (store.nColumn >= 2) return store.nLayer > 0 ? kViewModel2D : kViewSectionGridded;
    return survey.bMarkerDistance == 1 ? kViewSectionOriginal : kViewLineResistivity;
}

bool PlaceReadingsOnMarkers(CGantrelSurvey& survey) {
    if (survey.nLine <= 0 || survey.bMarkerDistance == 1) return false;
    // Only markers placed along the line can place the readings.
    if (survey.CheckMarkerDistance() != 1) return false;
    SetDistanceFromMarkers(survey);
    return true;
}

namespace {


// Smallest cell size (to 0.001 m) whose column count fits the store; 0 when none is found.
float SmallestCellSize(const Res2dinvFile& file, int maxColumn) {
    const double span = static_cast<double>(file.fMaxX) - static_cast<double>(file.fMinX);
    float w = static_cast<float>(std::ceil(span / maxColumn * 1000.0) / 1000.0);
    for (int i = 0; i < 10; ++i, w += 0.001f)
        if (Res2dinvColumnCount(file.fMinX, file.fMaxX, w, maxColumn) > 0) return w;
    return 0.0f;
}

}  // namespace

int ImportRes2dinvFile(CTrevascDataOhm& store, const std::filesystem::path& path,
                       CPrompter& prompter, std::string* leftOut) {
    if (!store.IsAllocated()) return -1;
    const Res2dinvFile file = ReadRes2dinvFile(path);
    if (!ReportRes2dinvFile(file, prompter)) return -1;
    if (file.points.empty()) {
        prompter.Message(FormatC(Tr("%s holds no data points.", "%s にはデータ点がありません。"),
                                 path.string().c_str()));
        return -1;
    }
    Res2dinvRowKinds kinds;
    if (ClassifyRes2dinv(file, kinds, prompter) != Res2dinvStatus::Ok) return -1;

    double initial = ReadSettingReal(kCellSizeKey, kDefaultCellSize);
    for (;;) {
        const auto entered = AskCellSize(prompter, initial);
        if (!entered) return -1;
        constexpr double kLargest = std::numeric_limits<float>::max();
        const float w = static_cast<float>(std::clamp(*entered, -kLargest, kLargest));
        const Res2dinvGridResult r = GridRes2dinv(file, kinds, w, store);
        switch (r.status) {
            case Res2dinvStatus::Ok:
                WriteSettingReal(kCellSizeKey, *entered);
                if (leftOut != nullptr) *leftOut = Res2dinvLeftOutText(file, r.nGridded);
                return static_cast<int>(file.points.size());
            case Res2dinvStatus::NoPointInSection:
                prompter.Message(FormatC(Tr("%s: none of its %d data points has an apparent "
                                            "resistivity above 0; nothing was imported.",
                                            "%s: %d 点のデータ点に 0 を超える見掛比抵抗がないた"
                                            "め、何も取り込んでいません。"),
                                         path.string().c_str(),
                                         static_cast<int>(file.points.size())));
                return -1;
            case Res2dinvStatus::BadCellSize:
                prompter.Message(GriddingMessage({GriddingStatus::BadCellSize}, w, store));
                break;
            case Res2dinvStatus::TooManyColumns: {
                GriddingResult g;
                g.status = GriddingStatus::TooManyColumns;
                g.nColumn = r.nColumn;
                g.fMinCellSize = r.nColumn > 0 ? SmallestCellSize(file, store.MaxColumn()) : 0.0f;
                prompter.Message(GriddingMessage(g, w, store));
                initial = g.fMinCellSize > 0.0f ? g.fMinCellSize : *entered;
                break;
            }
            default:
                prompter.Message(FormatC(Tr("Column %d would hold %d rows of data; a section "
                                            "column can hold at most %d.\nEnter another "
                                            "horizontal cell size.",
                                            "%d 列目のデータが %d 行になりますが、1 列に入るのは"
                                            "最大 %d 行です。\n別の水平方向の格子サイズを入力して"
                                            "ください。"),
                                         r.iColumn + 1, r.nRowInColumn, store.MaxRow()));
                initial = *entered;
                break;
        }
    }
}

int RecomputeModelResponse(CTrevascDataOhm& store, const std::filesystem::path& dataFolder,
                           CPrompter& prompter, const ProgressReport& progress) {
    CTextWriter log;
    // Its own list: "rms_error.txt" is the inversion's record of its misfits and stays so.
    OpenSideFile(log, dataFolder / kModelResponseListName);
    LayerModel model;
    SoundingData sounding;
    int computed = 0;
    const int nColumn = store.IsAllocated() ? std::clamp(store.nColumn, 0, store.MaxColumn()) : 0;
    // Only the responses change; a stopped pass puts them back.
    CTrevascDataOhm before;
    const bool canStop = progress && store.SnapshotTo(before);
    for (int c = 0; c < nColumn; ++c) {
        if (!ReportProgress(progress, c, nColumn, InversionProgressText(c, nColumn)) && canStop) {
            store.RestoreFrom(before);
            log.Close();
            prompter.Message(InversionCancelledMessage());
            return -1;
        }
        log.Printf(" %d ", c);
        if (SetUpSounding(c, store, model, sounding) != kColumnReady) continue;
        SoundingMisfit(model, sounding);
        // Only the response is stored: writing the model back would rebuild its boundaries
        // from the thicknesses and could move them by a rounding step.
        for (int k = 0; k < sounding.nData; ++k)
            store.fCalculated[c][k] = sounding.row[k].fCalculated;
        ++computed;
    }
    store.iDataType = kDataTypeDipole;
    prompter.Message("Inversion finished !");
    log.Close();
    return computed;
}

bool SaveDunvarFile(CBrivaneContext& ctx, int iMode, const std::filesystem::path& path,
                    const std::filesystem::path& setDataPath) {
    CTrevascDataOhm& store = ctx.doc.store;
    if (iMode == kDunvarModeModel) {
        if (RecomputeModelResponse(store, ctx.doc.dataFolder, ctx.prompter, ctx.progress) < 0) {
            ctx.Failed(InversionCancelledMessage());
            return false;
        }
        ctx.Redraw();
    }
    DunvarDataSet set;
    const DunvarBuildResult r = BuildDunvarDataSet(store, iMode, set, ctx.prompter, setDataPath);
    if (r.status != DunvarStatus::Ok) {
        ctx.Fail(FormatC(Tr("Nothing was written to %s.", "%s には何も書き込んでいません。"),
                         path.string().c_str()));
        return false;
    }
    SaveResult save;
    const bool ok = iMode == kDunvarModeModel ? WriteDunvarST4(set, path, &save)
                                              : WriteDunvarST1(set, path, &save);
    if (!ok) ctx.Fail(SaveFailureMessage(save, path));
    return ok;
}

// The file keeps the records but not the plan positions derived from them: the readings and
// the array take their positions from the fixes again, in one zone, as after opening survey
// files, while their distances along the line stay those the file gave.
void PlaceArraysOnTracks(CGantrelSurvey& survey) {
    bool any = false;
    for (int i = 0; i < survey.nLine; ++i) any = any || survey.Line(i).nGPS() > 1;
    if (!any) return;
    ProjectSurveyToOneZone(survey);
    std::vector<float> distances;
    for (int i = 0; i < survey.nLine; ++i) {
        CGantrelLine& line = survey.Line(i);
        if (line.nData() < 2 || line.nGPS() < 2) continue;
        distances.clear();
        for (const CGantrelData& d : line.pData) distances.push_back(d.fDistance);
        ComputePositions(line);
        for (std::size_t k = 0; k < distances.size(); ++k) line.pData[k].fDistance = distances[k];
    }
    survey.UpdateBoundingBox();
}

void OpenSectionFileCommand(CBrivaneContext& ctx) {
    CBrivaneDoc& doc = ctx.doc;
    const auto files =
        ctx.prompter.OpenFiles("Open", SectionFileFilters(), doc.dataFolder / "*.ovs", false);
    if (files.empty()) return;
    const std::filesystem::path& path = files.front();
    // A pipe or a device would be waited on for ever.
    if (const std::string notAFile = NotRegularFileMessage(path); !notAFile.empty()) {
        ctx.Fail(notAFile);
        return;
    }
    doc.dataFolder = path.parent_path();
    const SectionFileStatus status = ReadSectionFile(doc.store, path, doc.survey);
    CMessageTap tap(ctx.prompter);
    ReportSectionFileStatus(status, tap);
    if (const std::string leftOut = SectionFileLeftOutText(status); !leftOut.empty())
        ctx.leftOut.push_back(leftOut);
    // A file that could not be opened, or that stops being readable part of the way, is a
    // failure: what it should have given is missing. Entries past a capacity are left out
    // with a message but what was read is whole.
    if (!status.bOpened || status.eProblem != SectionFileProblem::None)
        ctx.Failed(tap.LastMessage().value_or(CannotOpenFileMessage(path)));
    // A file that gave nothing (not even its header) left the document as it was: it is no
    // file of the session, and the window keeps its title, caption and recent files.
    if (status.Result() < 0 || !status.bHeaderRead) return;
    doc.inputFiles.push_back(path);
    // The undo copies belonged to the model, and to the survey when the file's lines
    // replaced it: Undo must not put an old survey beside the file's section.
    doc.bModelUndo = 0;
    if (status.nLineRead > 0) {
        doc.bSurveyUndo = 0;
        PlaceReadingsOnMarkers(doc.survey);
        PlaceArraysOnTracks(doc.survey);
    }
    if (std::max(doc.survey.nLine, doc.store.nColumn) <= 0) return;
    ctx.view.iViewMode = ViewModeAfterSectionOpen(doc.store, doc.survey, ctx.view.iViewMode);
    ctx.bNewData = true;
    ctx.Redraw();
}

void SaveSectionFileCommand(CBrivaneContext& ctx) {
    CBrivaneDoc& doc = ctx.doc;
    const auto path = ctx.prompter.SaveFile("Save", SectionFileFilters(), doc.dataFolder / "*.ovs");
    if (!path) return;
    std::error_code ec;
    if (!ctx.prompter.ConfirmsOverwrite() && std::filesystem::exists(*path, ec) &&
        ctx.prompter.Message(Tr("Are you sure you want to overwrite ?", "上書きしますか ?"),
                             PromptButtons::OkCancel) != PromptAnswer::Ok)
        return;
    SurveySaveReport report;
    WriteSectionFile(doc.store, *path, &doc.survey, &report);
    if (!report.ok()) ctx.Fail(SurveySaveMessage(report, *path, false));
}

void ImportRes2dinvCommand(CBrivaneContext& ctx) {
    const auto files =
        ctx.prompter.OpenFiles("Open", Res2dinvFileFilters(), ctx.doc.dataFolder / "*.dat", false);
    if (files.empty()) return;
    if (const std::string notAFile = NotRegularFileMessage(files.front()); !notAFile.empty()) {
        ctx.Fail(notAFile);
        return;
    }
    ctx.doc.inputFiles.push_back(files.front());
    CMessageTap tap(ctx.prompter);
    std::string leftOut;
    const int imported = ImportRes2dinvFile(ctx.doc.store, files.front(), tap, &leftOut);
    if (!leftOut.empty()) ctx.leftOut.push_back(leftOut);
    if (imported < 0) {
        // Cancelled at the cell size, or a refusal already explained.
        ctx.Failed(tap.LastMessage().value_or(
            FormatC(Tr("Nothing was imported from %s.", "%s から何も読み込んでいません。"),
                    files.front().string().c_str())));
    } else {
        // The smoothing undo copy belongs to the section just replaced, as after gridding.
        ctx.doc.bModelUndo = 0;
    }
    ctx.view.iViewMode = kViewModel1D;
    ctx.Redraw();
}

void ExportRes2dinvCommand(CBrivaneContext& ctx) {
    // Without a gridded section the file would hold a header and no data; said before the
    // file dialog, as the .st4 export does for a missing model.
    if (!ctx.doc.store.IsAllocated() || ctx.doc.store.nColumn <= 0) {
        ctx.Fail(NoGriddedSectionMessage());
        return;
    }
    const auto path =
        ctx.prompter.SaveFile("Save", Res2dinvFileFilters(), ctx.doc.dataFolder / "*.dat");
    if (!path) return;
    SaveResult save;
    const Res2dinvExportStatus status = WriteRes2dinvFile(ctx.doc.store, *path, &save);
    if (status != Res2dinvExportStatus::Ok) ctx.Fail(Res2dinvExportMessage(status, *path, &save));
}

std::string NoGriddedSectionMessage() {
    return Tr("There is no gridded section to export. Convert the data to grid data, or open "
              "a section file, first.",
              "書き出す格子データの断面がありません。先にグリッドデータに変換するか、断面ファイル"
              "を開いてください。");
}

void SaveST1Command(CBrivaneContext& ctx) {
    const auto path = ctx.prompter.SaveFile("Save", {{"Dunvar data file(*.st1)", {"*.st1"}}},
                                            ctx.doc.dataFolder / "*.st1");
    if (!path) return;
    SaveDunvarFile(ctx, kDunvarModeData, *path, DunvarDiagnosticPath());
}

void SaveST4Command(CBrivaneContext& ctx) {
    // Without a model the recompute pass has nothing to run on; said before the file dialog.
    if (!DunvarHasModel(ctx.doc.store)) {
        ctx.Fail(DunvarRefusalMessage(DunvarStatus::NoModel));
        return;
    }
    const auto path = ctx.prompter.SaveFile("Save", {{"Dunvar model file(*.st4)", {"*.st4"}}},
                                            ctx.doc.dataFolder / "*.st4");
    if (!path) return;
    SaveDunvarFile(ctx, kDunvarModeModel, *path, DunvarDiagnosticPath());
}

void RegisterSectionCommands(CCommandTable& table) {
    table.Bind(kCmdOpenSection, OpenSectionFileCommand);
    table.Bind(kCmdSaveSection, SaveSectionFileCommand);
    table.Bind(kCmdImportRes2dinv, ImportRes2dinvCommand);
    table.Bind(kCmdExportRes2dinv, ExportRes2dinvCommand);
    table.Bind(kCmdSaveST1, SaveST1Command);
    table.Bind(kCmdSaveST4, SaveST4Command);
}
