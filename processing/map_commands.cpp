// Commands of the plan-view map: the four map kinds, the flags and line numbers, the colouring
// of the interpolated grid and its maximum distance from data, the depth buttons, and
// "Interpolation" itself.
#include "processing/map_commands.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <utility>

#include "analysis/map_interpolation.h"
#include "common/language.h"
#include "common/settings.h"
#include "common/text_format.h"
#include "common/utm.h"
#include "positioning/positioning.h"
#include "processing/commands.h"
#include "processing/map_grid_file.h"

namespace {

bool InMap(const CBrivaneContext& ctx) {
    return ctx.view.iViewMode == kViewGPSMap;
}

bool MapKindShown(const CBrivaneContext& ctx, int kind) {
    return InMap(ctx) && ctx.view.iMapKind == kind;
}

// Kinds 2 and 3 show one pseudo-depth, which the receiver buttons step through.
bool DepthMapShown(const CBrivaneContext& ctx) {
    return MapKindShown(ctx, kMapResistivity) || MapKindShown(ctx, kMapInterpolated);
}

bool KindSelectable(const CBrivaneContext& ctx, int kind) {
    if (!SurveyHasLinesAndFixes(ctx.doc.survey) || MapKindShown(ctx, kind)) return false;
    return kind != kMapInterpolated || ctx.doc.mapGrid.HasGrid();
}

void ShowMap(CBrivaneContext& ctx, int kind) {
    ctx.view.iViewMode = kViewGPSMap;
    ctx.view.iMapKind = kind;
    ctx.view.iMouseMode = kMouseNormal;
    ctx.Redraw();
}

void SetColorMode(CBrivaneContext& ctx, int mode) {
    ctx.view.iMapColorMode = mode;
    WriteSettingInt(kMapColorModeKey, mode);
    ctx.Redraw();
}

void StepDepth(CBrivaneContext& ctx, int step) {
    ctx.view.iMapDepthIndex = ClampMapDepthIndex(ctx, ctx.view.iMapDepthIndex + step);
    ctx.Redraw();
}

void MaxDistance(CBrivaneContext& ctx) {
    // As every other dialog: a refused value is said and asked for again, showing what was
    // typed, until a usable one or a cancel.
    double initial = ctx.view.fMaxDistance;
    for (;;) {
        const auto value = ctx.prompter.InputReal(
            "Enter number",
            Tr("Maximum distance to be contoured (m)", "コンターを描く最大距離 (m)"), initial, "m");
        if (!value) return;
        if (std::isfinite(*value) && *value >= 0.0 && *value <= kMaxMapDistanceSetting) {
            ctx.view.fMaxDistance = static_cast<float>(*value);
            WriteSettingReal(kMaxDistanceKey, *value);
            ctx.Redraw();
            return;
        }
        ctx.prompter.Message(FormatC(Tr("The maximum distance must be a number from 0 to %g m.",
                                        "最大距離には 0 から %g m までの数値を入力してください。"),
                                     kMaxMapDistanceSetting));
        initial = std::isfinite(*value) ? *value : ctx.view.fMaxDistance;
    }
}

std::string InterpolationErrorMessage() {
    return Tr("Interpolation error !", "補間エラー !");
}

void Interpolation(CBrivaneContext& ctx) {
    CBrivaneDoc& doc = ctx.doc;
    const CGantrelSurvey& survey = doc.survey;
    const auto layout =
        MapGridLayout(static_cast<float>(survey.dMaxEasting - survey.dMinEasting),
                      static_cast<float>(survey.dMaxNorthing - survey.dMinNorthing));
    if (!layout) {
        ctx.Fail(InterpolationErrorMessage());
        return;
    }
    ctx.prompter.Message(MapGridLayoutMessage(*layout));
    const CMapInterpolationResult r =
        InterpolateMap(survey, *layout, doc.mapGrid, kMapInterpolationListing, ctx.progress);
    if (r.bCancelled) return;
    if (r.bNoMemory) {
        ctx.Fail(FormatC(Tr("The map grid of %d x %d nodes needs more memory than is available.",
                            "%d x %d 節点のマップ格子に必要なメモリがありません。"),
                         layout->nx, layout->ny));
        return;
    }
    if (r.nNode == 0) {
        // No pseudo-depth to interpolate: the survey has no receiver values.
        ctx.Fail(InterpolationErrorMessage());
        return;
    }
    for (int s : r.emptySlices) {
        ctx.prompter.Message(
            FormatC(Tr("No apparent resistivity at the depth %f m: its map is left empty.",
                       "深度 %f m には見掛比抵抗がないため、そのマップは空のままです。"),
                    static_cast<double>(doc.mapGrid.pDepth[static_cast<size_t>(s)])));
    }
    ctx.view.iViewMode = kViewGPSMap;
    ctx.view.iMapKind = kMapInterpolated;
    ctx.view.iMouseMode = kMouseNormal;
    ctx.view.iMapDepthIndex = ClampMapDepthIndex(ctx, ctx.view.iMapDepthIndex);
    ctx.Redraw();
    if (!r.unsolvedSlices.empty()) {
        // The slices whose equations could not be solved are left out of the map.
        ctx.Fail(InterpolationErrorMessage());
        return;
    }
    ctx.prompter.Message(Tr("Interpolation completed.", "補間が完了しました。"));
}

void SaveMapGrid(CBrivaneContext& ctx) {
    const CInterpolatedGrid& grid = ctx.doc.mapGrid;
    const int slice = ctx.view.iMapDepthIndex;
    if (!grid.HasGrid() || slice < 0 || slice >= grid.nSlice) {
        ctx.Fail(MapGridFileMessage(MapGridFileStatus::NoGrid, {}));
        return;
    }
    const auto path = ctx.prompter.SaveFile("Save", {{"ESRI ASCII grid(*.asc)", {"*.asc"}}},
                                            ctx.doc.dataFolder / "*.asc");
    if (!path) return;
    CMapGridZone zone;
    if (const auto ref = SurveyUTMReference(ctx.doc.survey)) {
        zone.iZone = ref->iZone;
        zone.bSouth = ref->dLatitude < 0.0;
    }
    SaveResult save;
    const MapGridFileStatus st =
        WriteMapGridFile(grid, slice, ctx.view.fMaxDistance, zone, *path, &save);
    if (st != MapGridFileStatus::Ok) ctx.Fail(MapGridFileMessage(st, *path, &save));
}

}  // namespace

int ClampMapDepthIndex(const CBrivaneContext& ctx, int index) {
    return std::clamp(index, 0, std::max(0, ctx.doc.survey.nDepth() - 1));
}

void RegisterMapCommands(CCommandTable& table) {
    const struct {
        int id;
        int kind;
    } kinds[] = {{kCmdShowMapGPS, kMapGPS},
                 {kCmdShowMapArray, kMapArray},
                 {kCmdShowMapResistivity, kMapResistivity},
                 {kCmdShowMapInterpolated, kMapInterpolated}};
    for (const auto& k : kinds) {
        const int kind = k.kind;
        table.Bind(
            k.id, [kind](CBrivaneContext& ctx) { ShowMap(ctx, kind); },
            [kind](const CBrivaneContext& ctx) { return KindSelectable(ctx, kind); },
            [kind](const CBrivaneContext& ctx) { return MapKindShown(ctx, kind); });
    }
    table.Bind(
        kCmdShowFlagsAndLines,
        [](CBrivaneContext& ctx) {
            ctx.view.bShowFlagsAndLines = ctx.view.bShowFlagsAndLines == 1 ? 0 : 1;
            ctx.Redraw();
        },
        InMap,
        [](const CBrivaneContext& ctx) { return InMap(ctx) && ctx.view.bShowFlagsAndLines == 1; });
    const struct {
        int id;
        int mode;
    } modes[] = {{kCmdMapMosaic, kMapMosaic},
                 {kCmdMapContourNoLine, kMapContour},
                 {kCmdMapContourLine, kMapContourLines}};
    for (const auto& m : modes) {
        const int mode = m.mode;
        table.Bind(
            m.id, [mode](CBrivaneContext& ctx) { SetColorMode(ctx, mode); },
            [mode](const CBrivaneContext& ctx) {
                return MapKindShown(ctx, kMapInterpolated) && ctx.view.iMapColorMode != mode;
            },
            [mode](const CBrivaneContext& ctx) { return ctx.view.iMapColorMode == mode; });
    }
    table.Bind(kCmdMaxContourDistance, MaxDistance);
    table.Bind(kCmdSaveMapGrid, SaveMapGrid,
               [](const CBrivaneContext& ctx) { return ctx.doc.mapGrid.HasGrid(); });
    // On the map the receiver buttons step the depth of the kinds that show one; elsewhere
    // they keep their work on the lines.
    for (const auto& [id, step] :
         {std::pair{kCmdPreviousReceiver, -1}, std::pair{kCmdNextReceiver, 1}}) {
        const CCommand* before = table.Find(id);
        auto handler =
            before != nullptr ? before->handler : std::function<void(CBrivaneContext&)>{};
        auto enabled =
            before != nullptr ? before->enabled : std::function<bool(const CBrivaneContext&)>{};
        const int s = step;
        table.Bind(
            id,
            [s, handler](CBrivaneContext& ctx) {
                if (InMap(ctx)) {
                    if (DepthMapShown(ctx)) StepDepth(ctx, s);
                } else if (handler) {
                    handler(ctx);
                }
            },
            [handler, enabled](const CBrivaneContext& ctx) {
                if (InMap(ctx)) return DepthMapShown(ctx);
                return handler && (!enabled || enabled(ctx));
            });
    }
    table.Bind(kCmdInterpolation, Interpolation, [](const CBrivaneContext& ctx) {
        return ctx.doc.survey.nLine > 0 && ctx.doc.survey.bGPS == 1;
    });
}
