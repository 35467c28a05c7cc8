#include "processing/open_survey.h"

#include <algorithm>
#include <cmath>
#include <span>
#include <vector>
#include <limits>

#include "common/language.h"
#include "common/settings.h"
#include "common/survey_file.h"
#include "common/text_format.h"
#include "common/utm.h"
#include "exchange/kml.h"
#include "processing/commands.h"
#include "processing/line_editing.h"
#include "processing/positioning.h"

std::optional<int> FileIndexFromName(std::string_view fileName) {
    size_t i = 0;
    while (i < fileName.size() && (fileName[i] < '0' || fileName[i] > '9')) ++i;
    if (i == fileName.size()) return std::nullopt;
    long long value = 0;
    for (; i < fileName.size() && fileName[i] >= '0' && fileName[i] <= '9'; ++i) {
        value = value * 10 + (fileName[i] - '0');
        if (value > std::numeric_limits<int>::max()) return std::nullopt;
    }
    return static_cast<int>(value);
}

int AddAveragedSounding(const CGantrelLine& line, CSoundingData& sounding) {
    const CGantrelGeometry& g = *line.pGeometry;
    int added = 0;
    for (int j = 0; j < kMaxReceiver; ++j) {
        int count = 0;
        double sum = 0.0;
        for (const auto& d : line.pData) {
            // A value that is not positive has no logarithm; it would turn the whole mean
            // into NaN, so it is left out of the average.
            if (d.nReceiver <= j || !(d.fResistivity[j] > 0.0f)) continue;
            ++count;
            sum += std::log10(static_cast<double>(d.fResistivity[j]));
        }
        if (count == 0) continue;
        CSoundingPoint p;
        p.fResistivity = static_cast<float>(std::pow(10.0, sum / count));
        const float half = g.fReceiverDipole / 2.0f;
        p.fHalfDipole = half;
        p.fNFactor = (static_cast<float>(j + 1) * half + g.fRopeLength) / half;
        p.nCount = count;
        sounding.points.push_back(p);
        ++added;
    }
    return added;
}

namespace {

bool IsMappingFile(const std::filesystem::path& path) {
    const std::string s = path.string();
    return s.find(".stn") != std::string::npos || s.find(".STN") != std::string::npos;
}

std::vector<FileFilter> OpenFilters(bool stnFirst) {
    FileFilter stn{"Gantrel file(*.stn)", {"*.stn"}};
    FileFilter sto{"Gantrel file(*.sto)", {"*.sto"}};
    FileFilter all{"All files(*.*)", {"*.*"}};
    if (stnFirst) return {stn, sto, all};
    return {sto, stn, all};
}

void Show(CBrivaneContext& ctx, const std::string& text) { ctx.prompter.Message(text); }

// Distances from the markers; asks for the spacing when the markers carry none.
void MarkerPath(CBrivaneContext& ctx) {
    CGantrelSurvey& survey = ctx.doc.survey;
    if (survey.CheckMarkerDistance() == 1) {
        SetDistanceFromMarkers(survey);
    } else {
        auto spacing = ctx.prompter.InputReal(
            "Enter number", Tr("Enter marker spacing (m)", "ﾏｰｶｰの間隔を入力してください (m)"),
            100.0);
        if (!spacing) return;
        if (!SetMarkerSpacing(survey, *spacing)) {
            ctx.Fail(FormatC(Tr("The marker spacing must be a number that keeps every marker "
                                "within %g m of 0.",
                                "マーカーの間隔には、すべてのマーカーが 0 から %g m 以内に"
                                "収まる数値を入力してください。"),
                             kMaxMarkerDistance));
            return;
        }
        SetDistanceFromMarkers(survey);
        RunEditOriginalData(survey, ctx.prompter);
        SetDistanceFromMarkers(survey);
    }
    ctx.view.iViewMode = kViewSectionOriginal;
    ctx.Redraw();
}

// Configuration 4: a straight line fitted to every line's own fixes, written to
// "gps_map.txt", and the line's distances along its two fitted ends.
void FitEveryLine(CBrivaneContext& ctx) {
    CGantrelSurvey& survey = ctx.doc.survey;
    CTextWriter map;
    map.Open(ctx.doc.dataFolder / "gps_map.txt");
    for (int i = 0; i < survey.nLine; ++i) {
        CGantrelLine& line = survey.Line(i);
        if (!FitLine(line) || line.iFittedPoints != 2) continue;
        const auto& e = line.pFittedEnds;
        map.Printf("%d %f : %f %f : %f %f \n", i, line.pFittedLine->dAngle, e[0].dX, e[0].dY,
                   e[1].dX, e[1].dY);
        SetDistanceFromFlags(line, std::span<const CFlagLocation>(e.data(), 2), i,
                             ctx.doc.dataFolder);
    }
    map.Close();
    ctx.view.iViewMode = kViewLineResistivity;
    ctx.view.iMouseMode = kMouseNormal;
    survey.bMarkerDistance = 1;
    // The section of the measured data spans the positions these distances give.
    survey.UpdateRanges();
    ctx.Redraw();
}

}  // namespace

void OpenGantrelDataFile(CBrivaneContext& ctx) {
    CBrivaneDoc& doc = ctx.doc;
    CGantrelSurvey& survey = doc.survey;
    const bool stn = ReadSettingInt("bSTNFile", 0) == 1;

    if (survey.nLine > 0) {
        const PromptAnswer a = ctx.prompter.Message(
            Tr("Are you sure you want to clear current all data ?",
               "現在のデータを全て消去しますが、よろしいですか ?"),
            PromptButtons::OkCancel);
        if (a != PromptAnswer::Ok) return;
    }
    // The new survey starts from nothing of the old one: not its distances (the marker path
    // would skip a survey that looks positioned), not its flags on the map, and not its undo
    // copy, which Undo would otherwise bring back in place of the new data.
    survey.Clear();
    survey.nFlag = 0;
    doc.bSurveyUndo = 0;
    doc.mapGrid.Clear();

    const std::vector<std::filesystem::path> files = ctx.prompter.OpenFiles(
        "Open", OpenFilters(stn), doc.dataFolder / (stn ? "*.stn" : "*.sto"), true);
    if (files.empty()) return;

    CTextWriter list;
    int index = -1;
    bool indexKnown = false;
    int nLine = 0;
    bool lastWasMapping = false;
    for (size_t f = 0; f < files.size(); ++f) {
        const std::filesystem::path& path = files[f];
        doc.dataFolder = path.parent_path();
        if (auto found = FileIndexFromName(path.filename().string())) {
            index = *found;
            indexKnown = true;
        } else if (!indexKnown) {
            auto entered = ctx.prompter.InputInt(
                "Enter number", FormatC("Enter file index for the file %s", path.string().c_str()),
                0);
            index = entered ? *entered : -1;
            indexKnown = entered.has_value();
        }
        survey.iFileIndex = index;
        if (f == 0) list.Open(doc.dataFolder / "Gantrel_data_files.txt");
        list.Printf("%s\n", path.string().c_str());
        lastWasMapping = IsMappingFile(path);
        const int nBefore = survey.nLine;
        CMessageTap tap(ctx.prompter);
        nLine = lastWasMapping ? ReadMappingFile(survey, path, tap)
                               : ReadSurveyFile(survey, path, tap);
        // A file that gives no line is a failure even when others do: its data are missing.
        if (survey.nLine <= nBefore) {
            const std::string cannotOpen = CannotOpenFileMessage(path);
            ctx.Failed(tap.LastMessage() == cannotOpen
                           ? cannotOpen
                           : FormatC(Tr("%s holds no survey line that could be read.",
                                        "%s には読み込める測線がありません。"),
                                     path.string().c_str()));
        }
    }
    list.Close();
    WriteSettingInt("bSTNFile", lastWasMapping ? 1 : 0);

    Show(ctx, FormatC("%d files are opened. %d lines are imported",
                      static_cast<int>(files.size()), nLine));
    if (nLine == 0) {
        ctx.Failed(Tr("No survey line could be read from the files.",
                      "ファイルから測線を読み込めませんでした。"));
        return;
    }
    doc.dataFolder = files.back().parent_path();
    survey.BuildDepthList();
    Show(ctx, FormatC("Number of depth = %d", survey.nDepth()));

    CSurveyConfigurationValues configuration;
    configuration.iSurveyConfiguration = ctx.view.iSurveyConfiguration;
    if (!ctx.prompter.EditDialog(configuration)) return;
    const int config = std::clamp(configuration.iSurveyConfiguration, 0, 5);
    ctx.view.iSurveyConfiguration = config;
    WriteSettingInt("iSurveyConfiguration", config);
    survey.iSurveyConfiguration = config;

    if (config == 5) {
        doc.sounding.Clear();
        int n = 0;
        for (int i = 0; i < survey.nLine; ++i) n += AddAveragedSounding(survey.Line(i), doc.sounding);
        Show(ctx, FormatC("Number of data = %d", n));
        if (n > 0) {
            doc.sounding.bPresent = 1;
            ctx.Redraw();
        }
        return;
    }

    // Plan coordinates in one zone, that of the first fix, even where the lines cross a
    // zone boundary.
    ProjectSurveyToOneZone(survey);
    survey.UpdateBoundingBox();
    if (survey.bGPS == 1) {
        for (int i = 0; i < survey.nLine; ++i) {
            CGantrelLine& line = survey.Line(i);
            if (line.nData() > 1 && line.nGPS() > 1) ComputePositions(line);
        }
        survey.UpdateBoundingBox();
        if (ctx.prompter.Message(Tr("Do you want to save GPS data as KML files ?",
                                    "GPSデータをKMLファイルに保存しますか ?"),
                                 PromptButtons::YesNo) == PromptAnswer::Yes) {
            CXmlStatus status = WriteGPSTracksKml(survey, doc.dataFolder);
            if (!status.ok()) ctx.Fail(status.message);
        }
        switch (config) {
            case 2:
                ctx.view.iViewMode = kViewGPSMap;
                ctx.view.iMapKind = kMapGPS;
                ctx.view.iMouseMode = kMouseFlags;
                Show(ctx, Tr("Set beginning, ending (and nodes) of survey line by a mouse.",
                             "マウスで測線の始点・終点（および節点）を設定してください"));
                ctx.Redraw();
                return;
            case 1:
                if (FitSurveyLine(survey)) SetDistanceFromGPS(survey, doc.dataFolder, ctx.prompter);
                ctx.Redraw();
                return;
            case 4:
                FitEveryLine(ctx);
                return;
            default:
                break;
        }
    }
    MarkerPath(ctx);
}

void RegisterOpenCommands(CCommandTable& table) {
    table.Bind(kCmdOpenGantrel, OpenGantrelDataFile);

    // Distances along lines.
    auto withView = [](CBrivaneContext& ctx, auto&& action) {
        CPositioningView v{ctx.view.iViewMode, ctx.view.iMouseMode};
        action(v);
        if (v.bRedraw) ctx.Redraw();
    };
    table.Bind(
        kCmdSetFlags,
        [withView](CBrivaneContext& ctx) { withView(ctx, [](CPositioningView& v) { OnSetFlags(v); }); },
        [](const CBrivaneContext& ctx) { return IsSetFlagsEnabled(ctx.view.iViewMode); },
        [](const CBrivaneContext& ctx) { return IsSetFlagsChecked(ctx.view.iMouseMode); });
    table.Bind(
        kCmdSetFlagLatLon,
        [withView](CBrivaneContext& ctx) {
            withView(ctx, [&](CPositioningView& v) {
                OnSetFlagFromLatLon(ctx.doc.survey, v, ctx.prompter);
            });
        },
        [](const CBrivaneContext& ctx) {
            return IsSetFlagFromLatLonEnabled(ctx.doc.survey, ctx.view.iViewMode);
        });
    table.Bind(
        kCmdSetDistance,
        [withView](CBrivaneContext& ctx) {
            withView(ctx, [&](CPositioningView& v) {
                OnSetDistance(ctx.doc.survey, v, ctx.doc.dataFolder, ctx.prompter);
            });
        },
        [](const CBrivaneContext& ctx) { return IsSetDistanceEnabled(ctx.doc.survey); });
    table.Bind(
        kCmdClearFlags,
        [withView](CBrivaneContext& ctx) {
            withView(ctx, [&](CPositioningView& v) { OnClearAllFlags(ctx.doc.survey, v); });
        },
        [](const CBrivaneContext& ctx) {
            return IsClearAllFlagsEnabled(ctx.doc.survey, ctx.view.iViewMode);
        });
    table.Bind(
        kCmdInterpolatedByTime,
        [](CBrivaneContext& ctx) {
            OnInterpolatedByTime(ctx.doc.survey);
            ctx.Redraw();
        },
        {}, [](const CBrivaneContext& ctx) { return IsInterpolatedByTimeChecked(ctx.doc.survey); });
}
