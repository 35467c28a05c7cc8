// brivane: the processing program's window.
#include <QApplication>
#include <clocale>
#include <filesystem>
#include <iostream>
#include <vector>

#include "common/settings.h"
#include "common/version.h"
#include "platform/curl_http_client.h"
#include "platform/qt_settings.h"
#include "apps/brivane/main_window.h"

int main(int argc, char** argv) {
    // Answered before Qt starts, so it works without a display.
    if (AsksForVersion(std::vector<std::string>(argv + 1, argv + argc))) {
        std::cout << VersionText("brivane");
        return 0;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(kProcessingProgramTitle);
    QApplication::setApplicationVersion(SuiteVersion());
    // Qt sets the user's locale; every number the suite writes uses the C locale's dot.
    std::setlocale(LC_NUMERIC, "C");
    CQtSettingsBackend settings(kProcessingProgramTitle);
    SetSettingsBackend(&settings);
    CCurlHttpClient http;  // "Upload data to database"
    SetHttpClient(&http);
    int status = 0;
    {
        CBrivaneMainWindow window;
        window.Start();
        window.show();
        // Files named on the command line open as if chosen in the open dialog.
        std::vector<std::filesystem::path> files;
        for (const QString& arg : QApplication::arguments().mid(1))
            files.emplace_back(arg.toStdU16String());
        if (!files.empty()) window.OpenFiles(files);
        status = QApplication::exec();
    }
    SetHttpClient(nullptr);
    SetSettingsBackend(nullptr);
    return status;
}
