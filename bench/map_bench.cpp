// Timing of the plan-view map: the example survey generator's survey of 20 parallel lines
// (five receivers, so five pseudo-depths), their spacing chosen from 20 m up so that the cell
// size rule gives a grid just below its 10,000-node limit, is opened as the program opens it,
// then
//   - "Interpolation" on that grid, all five slices with the diagnostic listing; target 1 s;
//   - the contoured map of one depth drawn to PNG as the batch line draws a picture (layout
//     draw, drawing into the image, PNG encoding); target 0.3 s.
// The default survey has 400 readings a line (1 a second); a second, denser one of 4,000 a
// line (10 a second) shows how the time grows with the data.
// For each, the best of three runs; processor time (user + system) beside the wall time.
// Usage: map_bench [folder]   (default: a new folder under the system temp folder)
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "analysis/map_interpolation.h"
#include "bench/bench_timing.h"
#include "common/scripted_prompter.h"
#include "common/text_format.h"
#include "display/display_image.h"
#include "display/views.h"
#include "platform/qt_plot_image.h"
#include "processing/open_survey.h"
#include "tools/example_survey.h"

namespace fs = std::filesystem;

namespace {

using benchtiming::Best;
using benchtiming::Timing;

void Print(const char* what, Timing t) { benchtiming::Print(what, t, 30); }

// Writes the survey with the given line spacing and opens it as the program does (marker
// distances 10 m apart; positions from the GPS fixes).
bool OpenSurvey(const fs::path& folder, int nReading, int nPerSecond, float spacing,
                CBrivaneContext& ctx) {
    ExampleSurveyOptions options;
    options.folder = folder;
    options.nLine = 20;
    options.nReadingPerLine = nReading;
    options.nReadingPerSecond = nPerSecond;
    options.fLineSpacing = spacing;
    const ExampleSurveyReport report = WriteExampleSurvey(options);
    if (!report.bOK) {
        std::printf("cannot write the survey: %s\n", report.sError.c_str());
        return false;
    }
    auto& prompter = dynamic_cast<CScriptedPrompter&>(ctx.prompter);
    std::vector<fs::path> files;
    for (const ExampleLineReport& l : report.line) files.push_back(l.path);
    if (ctx.doc.survey.nLine > 0) prompter.Push(PromptAnswer::Ok);  // clear the survey
    prompter.Push(files);
    prompter.PushDialog<CSurveyConfigurationValues>(
        [](CSurveyConfigurationValues& v) { v.iSurveyConfiguration = 0; });
    prompter.Push(PromptAnswer::No);  // no KML files
    prompter.Push(10.0);              // marker spacing
    prompter.PushAccept();            // the original data as they are
    OpenGantrelDataFile(ctx);
    return ctx.doc.survey.nLine == options.nLine;
}

std::optional<CMapGridLayout> LayoutOf(const CGantrelSurvey& survey) {
    return MapGridLayout(static_cast<float>(survey.dMaxEasting - survey.dMinEasting),
                         static_cast<float>(survey.dMaxNorthing - survey.dMinNorthing));
}

void Measure(const fs::path& folder, int nReading, int nPerSecond) {
    CBrivaneDoc doc;
    CBrivaneViewState view;
    CScriptedPrompter prompter;
    CBrivaneContext ctx(doc, view, prompter);
    // The line spacing from 20 m up whose box gives the most nodes below the limit.
    const fs::path data = folder / FormatC("survey-%d", nReading);
    float best = 20.0f;
    int bestNodes = 0;
    for (float spacing = 20.0f; spacing <= 30.0f; spacing += 0.5f) {
        if (!OpenSurvey(data, nReading, nPerSecond, spacing, ctx)) return;
        const auto layout = LayoutOf(doc.survey);
        if (layout && layout->nx * layout->ny > bestNodes) {
            bestNodes = layout->nx * layout->ny;
            best = spacing;
        }
    }
    if (!OpenSurvey(data, nReading, nPerSecond, best, ctx)) return;
    CGantrelSurvey& survey = doc.survey;
    int readings = 0;
    for (int l = 0; l < survey.nLine; ++l) readings += survey.Line(l).nData();
    const auto layout = LayoutOf(survey);
    if (!layout) {
        std::printf("the survey's box gives no grid\n");
        return;
    }
    std::printf(
        "%d lines %.1f m apart, %d readings, %d pseudo-depths; grid %d x %d = %d nodes, cell "
        "%.3f m\n",
        survey.nLine, static_cast<double>(best), readings, survey.nDepth(), layout->nx, layout->ny,
        layout->nx * layout->ny, static_cast<double>(layout->fCell));

    CMapInterpolationResult r;
    const fs::path listing = folder / "DataInterpolation.txt";
    Print("interpolation (5 slices)",
          Best([&] { r = InterpolateMap(survey, *layout, doc.mapGrid, listing); }));
    if (r.nNode == 0) {
        std::printf("  the interpolation failed\n");
        return;
    }
    Print("  of it without the listing",
          Best([&] { InterpolateMap(survey, *layout, doc.mapGrid, {}); }));
    std::vector<double> u;
    std::vector<float> d;
    const std::vector<CMapDataPoint> points = CollectMapPoints(survey, survey.pDepth[2]);
    Print("  one slice's fit", Best([&] {
              FitMapSlice(points, layout->nx, layout->ny, layout->fCell, doc.mapGrid.x0,
                          doc.mapGrid.y0, u);
          }));
    Print("  one slice's distances", Best([&] {
              MapNodeDistances(points, layout->nx, layout->ny, layout->fCell, doc.mapGrid.x0,
                               doc.mapGrid.y0, d);
          }));

    view.iMapColorMode = kMapContourLines;
    view.fMaxDistance = 15.0f;
    const fs::path png = folder / FormatC("map-%d.png", nReading);
    CQtPlotImageWriter images;
    std::string error;
    Print("contour map to PNG",
          Best([&] { error = SaveDisplayPNG(ctx, images, "map-interp:2", png); }));
    if (!error.empty()) {
        std::printf("  failed: %s\n", error.c_str());
        return;
    }
    view.iViewMode = kViewGPSMap;
    Print("  layout draw", Best([&] {
              CNullCanvas canvas;
              DrawDisplay(canvas, ctx, kDefaultClientSize);
          }));
    QImage image;
    Print("  drawing into the image", Best([&] {
              const CClientSize size = DisplayImageSize(ctx);
              FindDisplay(doc)->mapDrawer.filler.nPolygon = 0;
              image = RenderPlotImage(size.iWidth, size.iHeight,
                                      [&ctx](CCanvas& canvas) { DrawDisplayImage(canvas, ctx); });
          }));
    Print("  PNG encoding", Best([&] {
              QImageWriter writer(QString::fromStdString(png.string()), "png");
              writer.write(image);
          }));
    std::printf("  %d polygons, image %d x %d\n", FindDisplay(doc)->mapDrawer.filler.nPolygon,
                image.width(), image.height());
}

}  // namespace

int main(int argc, char** argv) {
    // Pictures are drawn with Qt's fonts; no screen is needed for that.
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    const fs::path folder =
        argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "gantrel-map-bench";
    fs::create_directories(folder);
    Measure(folder, 400, 1);
    Measure(folder, 4000, 10);
    std::printf("survey, listing and images in %s\n", folder.string().c_str());
    return 0;
}
