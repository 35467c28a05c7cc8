// Pictures of the logging program's window for the documentation. A line is recorded while the
// two-layer demonstration feeds the first instrument and the generated track the GPS, on a
// clock that moves one second per step; then the window and each real-time view are saved as
// logger-*.png. With TESSICK_SHOTS_LANG=ja the program runs in
// Japanese and only the whole window is saved, as logger-window-ja.png.
//   tessick-window-shots <output folder>
#include <QApplication>
#include <QDialog>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPixmap>
#include <QThread>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "apps/tessick/control_form_widget.h"
#include "apps/tessick/main_window.h"
#include "apps/tessick/view_widgets.h"
#include "common/language.h"
#include "common/memory_settings.h"
#include "common/record_time.h"
#include "common/settings.h"
#include "common/text_format.h"
#include "live/live_view.h"
#include "logger/tessick_menu.h"
#include "platform/posix_serial_port.h"
#include "platform/qt_prompter.h"

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

void Settle() {
    for (int k = 0; k < 10; ++k) {
        QApplication::processEvents();
        QThread::msleep(10);
    }
}

bool Save(QWidget& widget, const fs::path& file) {
    Settle();
    const bool ok = widget.grab().save(QString::fromStdString(file.string()), "PNG");
    std::printf("%s\n", file.string().c_str());
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: tessick-window-shots <output folder>\n");
        return 2;
    }
    const fs::path out = argv[1];
    fs::create_directories(out);
    const bool bJapanese = std::getenv("TESSICK_SHOTS_LANG") != nullptr &&
                           std::string(std::getenv("TESSICK_SHOTS_LANG")) == "ja";
    QApplication app(argc, argv);
    QApplication::setApplicationName(kLoggingProgramTitle);
    std::setlocale(LC_NUMERIC, "C");
    CMemorySettingsBackend settings;
    SetSettingsBackend(&settings);
    const fs::path data = fs::temp_directory_path() / ("tessick-shots-" + std::to_string(getpid()));
    fs::create_directories(data);
    WriteSettingString("FolderPath", data.string());
    WriteSuiteValue("LanguageRegister", "1");
    WriteSuiteValue("Language", bJapanese ? "1" : "0");
    // The live inverted section on, for the model window's "Inverted section".
    LiveViewSettings live;
    live.bOn = true;
    live.section.fCellSize = 1.0f;
    live.section.nLayer = 6;
    live.section.fDepth = 3.0f;
    live.section.nIteration = 10;
    live.section.dMarkerSpacing = 10.0;
    WriteLiveViewSettings(live);

    std::int64_t start = 0;
    LocalCalendarTime(2026, 6, 15, 10, 30, 0, start);
    CManualClock clock({start, 0});
    CPosixSerialPortSystem ports;
    int status = 0;
    {
        CTessickMainWindow window(ports, clock);
        window.Prompter().SetScripted(true);
        window.Start();
        window.resize(1280, 880);
        window.show();
        for (int w : {kProfileWindow, kModelWindow, kGPSWindow}) window.OpenAuxWindow(w);
        window.AuxSubWindow(kProfileWindow)->setGeometry(0, 550, 1100, 300);
        window.AuxSubWindow(kModelWindow)->setGeometry(700, 40, 520, 520);
        window.AuxSubWindow(kGPSWindow)->setGeometry(760, 100, 500, 500);
        window.Area()->setActiveSubWindow(window.AuxSubWindow(kProfileWindow));

        // Both devices run as the program's demonstrations, started from their menu items:
        // the two-layer earth and the generated track, one step a second of the clock.
        CAcquisitionState& s = window.Doc().state;
        if (!window.RunCommand(kCmdDemoTwoLayerModel) || !window.RunCommand(kCmdDemoGPSTrack)) {
            std::fprintf(stderr, "tessick-window-shots: the demonstrations did not start\n");
            return 1;
        }
        CRealtimeViewWidget* profile = window.AuxView(kProfileWindow);
        for (int k = 0; k < 150; ++k) {
            clock.Advance(1000);
            s.Tick(CAcquisitionState::kPollTimer);
            profile->Profile()->OnTimer(clock.Now(), clock.Now());
            if (k == 8 || k == 60 || k == 110) s.OnKey('M');  // START, then MARKs
            if (k % 10 == 0) Settle();
        }
        window.UpdateAll();

        // The whole window: the control form with the profile under it.
        window.AuxSubWindow(kModelWindow)->hide();
        window.AuxSubWindow(kGPSWindow)->hide();
        if (bJapanese) {
            if (!Save(window, out / "logger-window-ja.png")) status = 1;
        } else {
            if (!Save(window, out / "logger-window.png")) status = 1;
            QMdiSubWindow* p = window.AuxSubWindow(kProfileWindow);
            p->setGeometry(0, 0, 1100, 560);
            p->raise();
            if (!Save(*p, out / "logger-profile.png")) status = 1;
            profile->Command(kCmdViewModel);
            if (!Save(*p, out / "logger-profile-model.png")) status = 1;
            profile->Command(kCmdViewResistance);
            p->hide();
            QMdiSubWindow* m = window.AuxSubWindow(kModelWindow);
            m->show();
            m->setGeometry(0, 0, 560, 560);
            if (!Save(*m, out / "logger-model.png")) status = 1;
            // The same window on the live section of the line so far.
            if (const CLiveSectionHost* host = window.LiveSection();
                host != nullptr && host->Section() != nullptr &&
                host->Section()->WaitUntilCurrent(std::chrono::seconds(60))) {
                window.AuxView(kModelWindow)->Command(kCmdViewInvertedSection);
                m->setGeometry(0, 0, 900, 560);
                if (!Save(*m, out / "logger-inverted-section.png")) status = 1;
                window.AuxView(kModelWindow)->Command(kCmdViewDepth);
            } else {
                std::fprintf(stderr, "tessick-window-shots: the live section is not current\n");
                status = 1;
            }
            m->hide();
            QMdiSubWindow* g = window.AuxSubWindow(kGPSWindow);
            g->show();
            g->setGeometry(0, 0, 560, 560);
            if (!Save(*g, out / "logger-gps.png")) status = 1;
        }
        // Leave without the exit question: the line stays as recorded.
        window.Prompter().PushAnswer([](QDialog& d) { ClickButton(d, OkText()); });
        window.close();
    }
    SetSettingsBackend(nullptr);
    std::error_code ec;
    fs::remove_all(data, ec);
    return status;
}
