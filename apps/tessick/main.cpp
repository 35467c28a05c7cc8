// tessick: the field logging program's window.
#include <QApplication>
#include <clocale>
#include <iostream>
#include <string>
#include <vector>

#include "apps/tessick/main_window.h"
#include "common/clock.h"
#include "common/settings.h"
#include "common/version.h"
#include "platform/posix_serial_port.h"
#include "platform/qt_settings.h"

int main(int argc, char** argv) {
    // Answered before Qt starts, so it works without a display.
    if (AsksForVersion(std::vector<std::string>(argv + 1, argv + argc))) {
        std::cout << VersionText("tessick");
        return 0;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(kLoggingProgramTitle);
    QApplication::setApplicationVersion(SuiteVersion());
    // Qt sets the user's locale; every number the suite writes uses the C locale's dot.
    std::setlocale(LC_NUMERIC, "C");
    CQtSettingsBackend settings(kLoggingProgramTitle);
    SetSettingsBackend(&settings);
    CSystemClock clock;
    CPosixSerialPortSystem ports;
    int status = 0;
    {
        CTessickMainWindow window(ports, clock);
        window.Start();
        window.show();
        status = QApplication::exec();
    }
    SetSettingsBackend(nullptr);
    return status;
}
