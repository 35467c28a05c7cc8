// Pictures of the processing program's window for the documentation: opens the example survey
// with scripted answers, grids it, inverts it and saves the window showing each display as
// window-<display>.png, then interpolates the map and saves it as window-map.png. On a real X
// server (run under Xvfb) the screen is grabbed, elsewhere the window renders itself.
//   brivane-window-shots <examples folder> <output folder>
#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPixmap>
#include <QProgressDialog>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/memory_settings.h"
#include "common/settings.h"
#include "apps/brivane/display_view.h"
#include "apps/brivane/main_window.h"
#include "display/views.h"

namespace fs = std::filesystem;

namespace {

void Settle() {
    for (int k = 0; k < 20; ++k) {
        QApplication::processEvents();
        QThread::msleep(20);
    }
}

bool Shoot(CBrivaneMainWindow& window, const fs::path& file) {
    Settle();
    QPixmap picture;
    if (QGuiApplication::platformName() == "xcb") {
        const QRect frame = window.frameGeometry();
        picture =
            window.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    } else {
        picture = window.grab();
    }
    return picture.save(QString::fromStdString(file.string()), "PNG");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: brivane-window-shots <examples folder> <output folder>\n");
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(kProcessingProgramTitle);
    std::setlocale(LC_NUMERIC, "C");
    // The user's own settings stay untouched.
    CMemorySettingsBackend settings;
    SetSettingsBackend(&settings);
    WriteSuiteValue("LanguageRegister", "1");
    // BRIVANE_SHOTS_LANG=ja takes the pictures with the Japanese menus and titles.
    const char* lang = std::getenv("BRIVANE_SHOTS_LANG");
    WriteSuiteValue("Language", lang != nullptr && std::string(lang) == "ja" ? "1" : "0");

    const fs::path out = fs::absolute(argv[2]);
    const fs::path work =
        fs::temp_directory_path() / ("brivane-shots-" + std::to_string(::getpid()));
    fs::create_directories(out);
    fs::create_directories(work);
    fs::copy_file(fs::path(argv[1]) / "line01.sto", work / "line01.sto",
                  fs::copy_options::overwrite_existing);
    // The interpolation writes its listing into the current folder: the work folder, not the
    // caller's.
    const fs::path caller = fs::current_path();
    fs::current_path(work);

    int status = 0;
    {
        CBrivaneMainWindow window;
        window.Start();
        window.move(0, 0);
        window.resize(1180, 800);
        window.show();
        CQtPrompter& p = window.Prompter();
        p.SetScripted(true);
        p.PushAnswer([](QDialog& d) {
            SetChecked(d, "configuration0", true);
            ClickNamed(d, "ok");
        });
        p.PushAnswer([](QDialog& d) { ClickButton(d, "No"); });
        p.PushAnswer([](QDialog& d) {
            SetFieldText(d, "value", "10");
            ClickNamed(d, "ok");
        });
        p.PushAnswer([](QDialog& d) { ClickNamed(d, "ok"); });
        window.OpenFiles({work / "line01.sto"});
        p.PushAnswer([](QDialog& d) {
            SetFieldText(d, "value", "2.5");
            ClickNamed(d, "ok");
        });
        window.RunCommand(kCmdConvertToGrid);
        p.PushAnswer([](QDialog& d) { ClickNamed(d, "ok"); });
        window.RunCommand(kCmdInitialModel);
        p.PushAnswer([](QDialog& d) {
            SetFieldText(d, "nIteration", "5");
            ClickNamed(d, "ok");
        });
        window.RunCommand(kCmdInversion);

        const std::pair<const char*, int> displays[] = {
            {"line", kCmdShowLineResistivity},    {"line-vi", kCmdShowLineResistance},
            {"section", kCmdShowSectionOriginal}, {"gridded", kCmdShowSectionGridded},
            {"model", kCmdShowModel2D},           {"model1d", kCmdShowModel1D},
        };
        for (const auto& [name, id] : displays) {
            if (!window.RunCommand(id)) {
                std::fprintf(stderr, "%s: the command is not available\n", name);
                status = 1;
                continue;
            }
            const fs::path file = out / (std::string("window-") + name + ".png");
            if (!Shoot(window, file)) {
                std::fprintf(stderr, "%s: cannot write %s\n", name, file.string().c_str());
                status = 1;
            } else {
                std::printf("%s\n", file.string().c_str());
            }
        }
        // The model with the misfit of every column above it (the View menu's item), then off
        // again as the user's settings had it.
        if (window.RunCommand(kCmdShowModel2D) && window.RunCommand(kCmdShowColumnMisfit)) {
            const fs::path file = out / "window-model-misfit.png";
            if (!Shoot(window, file)) status = 1;
            else std::printf("%s\n", file.string().c_str());
            window.RunCommand(kCmdShowColumnMisfit);
        } else {
            std::fprintf(stderr, "model-misfit: the command is not available\n");
            status = 1;
        }
        // The interpolated map of the line in contours, the mouse over its middle fix.
        window.RunCommand(kCmdInterpolation);
        window.RunCommand(kCmdMapContourLine);
        Settle();
        if (const CBrivaneDisplay* d = FindDisplay(window.Document());
            d != nullptr && window.Document().survey.nLine > 0) {
            const CGantrelLine& line = window.Document().survey.Line(0);
            const CGPSData& fix = line.pGPS[line.pGPS.size() / 2];
            const CAxes& a = d->mapDrawer.axes;
            const CPoint page{static_cast<int>((fix.dEasting - a.fXStart) * a.fXScale + 200),
                              -static_cast<int>((a.fYEnd - fix.dNorthing) * a.fYScale + 200)};
            QWidget* viewport = window.View().viewport();
            const QPoint pixel = window.View().PixelAt(page);
            QMouseEvent move(QEvent::MouseMove, QPointF(pixel), viewport->mapToGlobal(QPointF(pixel)),
                             Qt::NoButton, Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(viewport, &move);
        }
        if (window.Context().view.iViewMode != kViewGPSMap) {
            std::fprintf(stderr, "map: the interpolation did not show the map\n");
            status = 1;
        } else if (!Shoot(window, out / "window-map.png")) {
            std::fprintf(stderr, "map: cannot write %s\n", (out / "window-map.png").string().c_str());
            status = 1;
        } else {
            std::printf("%s\n", (out / "window-map.png").string().c_str());
        }

        // The larger dialogs, for a look at their layout.
        auto picture = [&out](const char* name) {
            return [name, &out](QDialog& d) {
                d.show();
                Settle();
                d.grab().save(QString::fromStdString(
                    (out / (std::string("dialog-") + name + ".png")).string()));
                d.reject();
            };
        };
        if (std::getenv("BRIVANE_SHOTS_DIALOGS") != nullptr) {
            p.PushAnswer(picture("edit-original-data"));
            window.RunCommand(kCmdEditLines);
            p.PushAnswer([&](QDialog& d) {
                ClickNamed(d, "edit0");
                d.reject();
            });
            p.PushAnswer(picture("edit-each-line"));
            window.RunCommand(kCmdEditLines);
            p.PushAnswer([&](QDialog& d) {
                ClickButton(d, "Advanced menu");
                picture("lsm")(d);
            });
            window.RunCommand(kCmdInversion);
            // The progress of a long command, caught at its first report.
            window.SetProgressDelay(0);
            QTimer progressShot;
            QObject::connect(&progressShot, &QTimer::timeout, [&] {
                QProgressDialog* d = window.ProgressDialog();
                if (d == nullptr || !d->isVisible()) return;
                progressShot.stop();
                Shoot(window, out / "dialog-progress.png");
            });
            progressShot.start(0);
            p.PushAnswer([](QDialog& d) { ClickNamed(d, "ok"); });
            window.RunCommand(kCmdInversion);
            progressShot.stop();
            window.SetProgressDelay(400);
        }
        for (const auto& shown : p.History())
            if (!shown.bAnswered) std::fprintf(stderr, "unanswered: %s\n", shown.sText.c_str());
    }
    SetSettingsBackend(nullptr);
    std::error_code ec;
    fs::current_path(caller, ec);
    fs::remove_all(work, ec);
    return status;
}
