#include "processing/open_survey.h"

#include <algorithm>
#include <cmath>
#include <span>
#include <vector>
#include <limits>
#include <memory>

#include "common/language.h"
#include "common/settings.h"
#include "common/side_file.h"
#include "common/survey_file.h"
#include "analysis/inversion.h"
#include "common/text_format.h"
#include "common/utm.h"
#include "exchange/kml.h"
#include "processing/commands.h"
#include "processing/line_editing.h"
#include "positioning/positioning.h"

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

std::string MarkerSpacingRefusal(double dSpacing) {
    if (dSpacing > 0.0 && dSpacing <= kMaxMarkerSpacing) return {};
    return FormatC(Tr("The marker spacing must be more than 0 m and at most %.0f m.",
                      "マーカーの間隔は 0 m より大きく %.0f m 以下にしてください。"),
                   kMaxMarkerSpacing);
}

std::string NoSurveyDataMessage(const std::vector<std::filesystem::path>& files, bool bKept) {
    std::string text =
        files.size() == 1
            ? FormatC(Tr("%s holds no survey data.", "%s には測量データがありません。"),
                      files.front().string().c_str())
            : FormatC(Tr("None of the %d files holds survey data.",
                         "%d 個のファイルのいずれにも測量データがありません。"),
                      static_cast<int>(files.size()));
    if (bKept)
        text += Tr(" The survey loaded before is kept.", " 読み込み済みの測量データはそのままです。");
    return text;
}

int StoreAveragedSounding(const CSoundingData& sounding, CTrevascDataOhm& store) {
    if (!store.IsAllocated()) return -1;
    const int m = static_cast<int>(sounding.points.size());
    if (m > std::min(store.MaxRow(), kMaxSoundingRows)) return -1;
    store.Reset();
    store.bGeneralArray = 0;
    store.iDataType = kDataTypeDipole;
    store.nColumn = 1;
    store.fColumnX[0] = 0.0f;
    store.nRow[0] = m;
    store.nRowKind = m;
    for (int k = 0; k < m; ++k) {
        const CSoundingPoint& p = sounding.points[static_cast<size_t>(k)];
        // The store's dipole convention is the sounding's: half the dipole and its N-factor.
        store.fDipoleSize[0][k] = p.fHalfDipole;
        store.fNFactor[0][k] = p.fNFactor;
        store.fObserved[0][k] = p.fResistivity;
        store.fCalculated[0][k] = 0.0f;
        store.nAveraged[0][k] = p.nCount;
        store.iMarked[0][k] = p.bMarked;
    }
    return m;
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

// True when the files gave every reading its distance (a survey saved with distances).
bool EveryReadingHasDistance(const CGantrelSurvey& survey) {
    bool any = false;
    for (int l = 0; l < survey.nLine; ++l)
        for (const auto& d : survey.Line(l).pData) {
            if (d.bDistance != 1) return false;
            any = true;
        }
    return any;
}

// Distances from the markers; asks for the spacing when the markers carry none.
void MarkerPath(CBrivaneContext& ctx) {
    CGantrelSurvey& survey = ctx.doc.survey;
    // Distances the files give are kept as they are: the markers they would be interpolated
    // from again are stored to the centimetre only, and distances placed from GPS would be
    // replaced by a count between markers. A file saved and reopened thus saves the same.
    const bool bFileDistances = EveryReadingHasDistance(survey);
    if (survey.CheckMarkerDistance() == 1) {
        if (!bFileDistances) SetDistanceFromMarkers(survey);
    } else {
        // A refused spacing is explained and asked for again; Cancel then ends the command
        // with that refusal as its failure.
        std::string refusal;
        for (;;) {
            auto spacing = ctx.prompter.InputReal(
                "Enter number",
                Tr("Enter marker spacing (m)", "ﾏｰｶｰの間隔を入力してください (m)"), 100.0);
            if (!spacing) {
                if (!refusal.empty()) ctx.Failed(refusal);
                return;
            }
            refusal = MarkerSpacingRefusal(*spacing);
            if (refusal.empty() && SetMarkerSpacing(survey, *spacing)) break;
            if (refusal.empty())
                refusal = FormatC(Tr("The marker spacing must be a number that keeps every "
                                     "marker within %g m of 0.",
                                     "マーカーの間隔には、すべてのマーカーが 0 から %g m 以内に"
                                     "収まる数値を入力してください。"),
                                  kMaxMarkerDistance);
            ctx.prompter.Message(refusal);
        }
        // The markers carry distances now: the survey says so, so that the readings' distances
        // are written with it (a section file reopened gives its line views back).
        survey.CheckMarkerDistance();
        SetDistanceFromMarkers(survey);
        RunEditOriginalData(survey, ctx.prompter);
        SetDistanceFromMarkers(survey);
        // The markers now carry distances: a save writes the readings' distances too, and the
        // file reopened is laid out as this survey is.
        survey.CheckMarkerDistance();
    }
    ctx.view.iViewMode = kViewSectionOriginal;
    ctx.Redraw();
}

// Configuration 4: a straight line fitted to every line's own fixes, written to
// "gps_map.txt", and the line's distances along its two fitted ends.
void FitEveryLine(CBrivaneContext& ctx) {
    CGantrelSurvey& survey = ctx.doc.survey;
    CTextWriter map;
    OpenSideFile(map, ctx.doc.dataFolder / "gps_map.txt");
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

void RunMarkerPath(CBrivaneContext& ctx) {
    MarkerPath(ctx);
}

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
    // The survey as it was: given back when nothing new is read, kept for Undo otherwise.
    auto previous = std::make_unique<CGantrelSurvey>();
    previous->CopyFrom(survey);
    const std::filesystem::path previousFolder = doc.dataFolder;
    // The new survey starts from nothing of the old one: not its distances (the marker path
    // would skip a survey that looks positioned) and not its flags on the map.
    survey.Clear();
    survey.nFlag = 0;

    const std::vector<std::filesystem::path> files = ctx.prompter.OpenFiles(
        "Open", OpenFilters(stn), doc.dataFolder / (stn ? "*.stn" : "*.sto"), true);
    if (files.empty()) {
        survey.CopyFrom(*previous);
        return;
    }
    // Every file chosen is an input from now on: no side file of this read (the list, the
    // GPS echo of another file of the selection) may replace one before it is read.
    doc.inputFiles.insert(doc.inputFiles.end(), files.begin(), files.end());

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
        if (f == 0) OpenSideFile(list, doc.dataFolder / "Gantrel_data_files.txt");
        list.Printf("%s\n", path.string().c_str());
        lastWasMapping = IsMappingFile(path);
        // A pipe or a device would be waited on for ever: refused with the reason.
        const std::string notAFile = NotRegularFileMessage(path);
        if (!notAFile.empty()) {
            ctx.Fail(notAFile);
            continue;
        }
        const int nBefore = survey.nLine;
        CMessageTap tap(ctx.prompter);
        SurveyFileStatus st;
        nLine = lastWasMapping ? ReadMappingFile(survey, path, tap, &st)
                               : ReadSurveyFile(survey, path, tap, &st);
        const std::string leftOut = SurveyFileLeftOutText(st);
        if (!leftOut.empty()) ctx.leftOut.push_back(leftOut);
        // A file that gives no line is a failure even when others do: its data are missing.
        // Lines left out because the survey is full are left-out data like those of a file
        // that fills the survey itself: said, and not a failure.
        const bool bFull = st.nByProblem[static_cast<size_t>(RecordProblem::SurveyFull)] > 0;
        if (survey.nLine <= nBefore && !bFull) {
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

    if (nLine == 0) {
        // A picture, an empty file: nothing replaces what was loaded.
        survey.CopyFrom(*previous);
        doc.dataFolder = previousFolder;
        ctx.Fail(NoSurveyDataMessage(files, previous->nLine > 0));
        return;
    }
    Show(ctx, FormatC("%d files are opened. %d lines are imported",
                      static_cast<int>(files.size()), nLine));
    // The previous survey, its section and model go aside together; the section and model
    // of the old survey must not be drawn or exported beside the new one.
    doc.SaveOpenForUndo(*previous);
    previous.reset();
    // The plan-view grid was interpolated from the old survey.
    doc.mapGrid.Clear();
    ctx.bNewData = true;
    doc.dataFolder = files.back().parent_path();
    survey.BuildDepthList();
    Show(ctx, FormatC(Tr("Number of depth = %d", "深度数 = %d"), survey.nDepth()));

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
        Show(ctx, FormatC(Tr("Number of data = %d", "データ数 = %d"), n));
        if (n > 0) {
            doc.sounding.bPresent = 1;
            // The sounding becomes the store's one column, so that the initial model, the
            // inversion, the model display and the section files work on it as on a section.
            if (StoreAveragedSounding(doc.sounding, doc.store) < 0)
                ctx.Fail(FormatC(Tr("The averaged sounding has %d points; at most %d can be "
                                    "inverted.",
                                    "平均化した測深データは %d 点ありますが、インバージョンでき"
                                    "るのは最大 %d 点です。"),
                                 n, std::min(doc.store.MaxRow(), kMaxSoundingRows)));
            ctx.view.iViewMode = kViewModel1D;
            ctx.view.iMouseMode = kMouseNormal;
            ctx.view.iCurrentSounding = 0;
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
            // File i is always line i; a track whose name is an input file is not written.
            for (int i = 0; i < survey.nLine; ++i) {
                const std::filesystem::path kml = GPSTrackKmlPath(doc.dataFolder, i);
                if (!GuardedInputAt(kml).empty()) {
                    NoteSideFileRefusal(kml);
                    continue;
                }
                const CXmlStatus status = WriteGPSTrackKml(survey.Line(i), kml);
                if (!status.ok()) {
                    ctx.Fail(status.message);
                    break;
                }
            }
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
