// Timing harness for the display output: each display is drawn as the batch command line
// draws a picture (a layout draw fitted to the default client area, then the image drawn
// through the QPainter canvas and written as PNG).
//   - line: one line of 50,000 readings of five receivers (5 km at 0.1 m) in the apparent
//     resistivity display; target 200 ms;
//   - section: the original-data section of 20 such lines, 1,000,000 readings (5,000,000
//     values); target 2 s.
// For each, the best of three runs of the whole picture, and of its parts: the layout draw,
// the drawing into the image, the PNG encoding. Processor time (user + system) is printed
// beside the wall time as the steadier figure on a shared machine.
// Usage: display_bench [folder]   (default: a new folder under the system temp folder)
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <algorithm>
#include <chrono>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>

#include "bench/bench_timing.h"
#include "common/resistivity.h"
#include "common/scripted_prompter.h"
#include "display/views.h"
#include "display/display_image.h"
#include "platform/qt_canvas.h"
#include "platform/qt_plot_image.h"

namespace fs = std::filesystem;

namespace {

constexpr int kReadingsPerLine = 50000;
constexpr int kLines = 20;
constexpr double kStep = 0.1;  // m between readings
using benchtiming::Best;
using benchtiming::Timing;

void Print(const char* what, Timing t) { benchtiming::Print(what, t, 28); }

// A towed line over a ground that changes along it, with a little noise on every value.
void AddLine(CGantrelSurvey& survey, int index) {
    CGantrelLine& line = *survey.AddLine();
    unsigned noise = 12345u + static_cast<unsigned>(index);
    for (int i = 0; i < kReadingsPerLine; ++i) {
        CGantrelData& d = *line.AddData();
        d.fDistance = static_cast<float>(i * kStep);
        d.nReceiver = kMaxReceiver;
        for (int j = 0; j < kMaxReceiver; ++j) d.fResistance[j] = 1.0f;
        ComputeResistivity(d, *line.pGeometry);
        for (int j = 0; j < kMaxReceiver; ++j) {
            noise = noise * 1103515245u + 12345u;
            const double wobble = 1.0 + 0.05 * ((noise >> 16) % 1000) / 1000.0;
            const double rho = 100.0 * (1.0 + 0.7 * std::sin(d.fDistance / 300.0 + index)) *
                               (1.0 + 0.3 * j) * wobble;
            d.fResistance[j] = static_cast<float>(rho / d.fResistivity[j]);
            d.fResistivity[j] = static_cast<float>(rho);
            d.iCurrentLevel[j] = 2;
        }
    }
    for (int m = 0; m <= 10; ++m) {
        CMarkerData& mk = *line.AddMarker();
        mk.fDistance = static_cast<float>(m * 500.0);
        mk.dY = mk.fDistance;
        mk.iKind = m == 10 ? 2 : 1;
    }
    line.UpdateMaxReceiver();
    line.UpdateRange();
}

void Measure(const char* title, CBrivaneContext& ctx, int mode, const fs::path& path) {
    std::printf("%s\n", title);
    ctx.view.iViewMode = mode;
    std::string error;
    CQtPlotImageWriter images;
    Print("whole picture", Best([&] { error = SaveDisplayPNG(ctx, images, mode, path); }));
    if (!error.empty()) {
        std::printf("  failed: %s\n", error.c_str());
        return;
    }
    Print("layout draw", Best([&] {
              CNullCanvas canvas;
              DrawDisplay(canvas, ctx, kDefaultClientSize);
          }));
    QImage image;
    Print("drawing into the image", Best([&] { image = [&ctx] {
                  const CClientSize size = DisplayImageSize(ctx);
                  return RenderPlotImage(size.iWidth, size.iHeight, [&ctx](CCanvas& canvas) {
                      DrawDisplayImage(canvas, ctx);
                  });
              }(); }));
    Print("PNG encoding", Best([&] {
              QImageWriter writer(QString::fromStdString(path.string()), "png");
              writer.write(image);
          }));
    std::printf("  image %d x %d, %lld bytes\n", image.width(), image.height(),
                static_cast<long long>(fs::file_size(path)));
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    const fs::path folder =
        argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "gantrel-display-bench";
    fs::create_directories(folder);

    CBrivaneDoc doc;
    CBrivaneViewState view;
    CScriptedPrompter prompter;
    CBrivaneContext ctx(doc, view, prompter);

    AddLine(doc.survey, 0);
    doc.survey.bMarkerDistance = 1;
    doc.survey.UpdateRanges();
    Measure("line: 50,000 readings x 5 receivers, apparent resistivity", ctx, kViewLineResistivity,
            folder / "display-line.png");

    for (int l = 1; l < kLines; ++l) AddLine(doc.survey, l);
    doc.survey.UpdateRanges();
    Measure("section: 1,000,000 readings, original data", ctx, kViewSectionOriginal,
            folder / "display-section.png");
    std::printf("images in %s\n", folder.string().c_str());
    return 0;
}
