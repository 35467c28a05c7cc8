// Pictures of the logging program's window for the documentation. A line is recorded from a
// generated console (a two-layer earth under a towed array) and a generated GPS track going
// north, on a clock that moves one second per demonstration tick; then the window and each
// real-time view are saved as logger-*.png. With TESSICK_SHOTS_LANG=ja the program runs in
// Japanese and only the whole window is saved, as logger-window-ja.png.
//   tessick-window-shots <output folder>
#include <QApplication>
#include <QDialog>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPixmap>
#include <QThread>
#include <clocale>
#include <cmath>
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

// V/I of receiver i at second k: a resistive layer over a conductive one whose depth changes
// along the line, seen deeper by the farther receivers.
double Resistance(int k, int i) {
    const double depth = 2.5 + 1.5 * std::sin(k / 25.0);
    const double seen = (i + 1) * 1.2;
    const double rho = 30.0 + 270.0 / (1.0 + std::exp((seen - depth) * 1.5));
    return rho / (40.0 + 60.0 * i);
}

std::string ConsoleLine(int k) {
    std::string s;
    for (int i = 0; i < 5; ++i)
        s += i == 0 ? FormatC(" %f,131,135,24", Resistance(k, i))
                    : FormatC(" ,%f,131,%d4", Resistance(k, i), i < 3 ? 2 : 3);
    return s;
}

// A GGA sentence k metres north of the track's start.
std::string GGA(int k, CClockTime t) {
    const double lat = 35.464619 + k / 110950.0;
    const double lon = 136.739659 + 0.3 * std::sin(k / 30.0) / 90000.0;
    const int latDeg = static_cast<int>(lat);
    const int lonDeg = static_cast<int>(lon);
    RecordClock c;
    LocalClock(t.time, t.iMilliSecond, c);
    const int hour = c.iHour, minute = c.iMinute, second = c.iSecond;
    const std::string body = FormatC(
        "GPGGA,%02d%02d%02d.00,%02d%07.4f,N,%03d%07.4f,E,1,08,1.0,12.0,M,37.0,M,,", hour, minute,
        second, latDeg, (lat - latDeg) * 60.0, lonDeg, (lon - lonDeg) * 60.0);
    int sum = 0;
    for (char c : body) sum ^= static_cast<unsigned char>(c);
    return FormatC("$%s*%02X", body.c_str(), sum);
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

    std::int64_t start = 0;
    LocalCalendarTime(2026, 6, 15, 10, 30, 0, start);
    CManualClock clock({start, 0});
    CPosixSerialPortSystem ports;
    int status = 0;
    {
        CTessickMainWindow window(ports, clock);
        window.Prompter().SetScripted(true);
        window.Start();
        window.resize(1280, 860);
        window.show();
        for (int w : {kProfileWindow, kModelWindow, kGPSWindow}) window.OpenAuxWindow(w);
        window.AuxSubWindow(kProfileWindow)->setGeometry(0, 550, 1100, 300);
        window.AuxSubWindow(kModelWindow)->setGeometry(700, 40, 520, 520);
        window.AuxSubWindow(kGPSWindow)->setGeometry(760, 100, 500, 500);
        window.Area()->setActiveSubWindow(window.AuxSubWindow(kProfileWindow));

        // Both devices run as demonstrations: the console and the GPS feed one line a tick.
        CAcquisitionState& s = window.Doc().state;
        int k = 0;
        // Each line goes to the logs as a line from a port would.
        s.gantrelDemonstrationStep = [&](int) {
            const std::string line = ConsoleLine(k);
            s.receivedLines.Append(line);
            s.dataLines.Append(line);
            return s.DispatchLine(line, kSlotGantrel, clock.Now(), 1) >= 0;
        };
        s.gpsDemonstrationStep = [&](int) {
            const std::string line = GGA(k, clock.Now());
            s.receivedLines.Append(line);
            s.dataLines.Append(line);
            s.DispatchLine(line, kSlotGPS, clock.Now(), 1);
            return true;
        };
        s.bGantrelStarted = s.bGantrelDemonstration = 1;
        s.bGPSStarted = s.bGPSDemonstration = 1;
        s.form.startMark = {Tr("START (M)", "測定開始 (M)"), kButtonGreen, true};
        CRealtimeViewWidget* profile = window.AuxView(kProfileWindow);
        for (k = 0; k < 150; ++k) {
            clock.Advance(1000);
            s.Tick(1);
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
