// brivane-cli: the processing program's batch command line.
#include <QGuiApplication>

#include <clocale>
#include <cstdlib>
#include <iostream>

#include "common/settings.h"
#include "common/version.h"
#include "display/display_image.h"
#include "platform/curl_http_client.h"
#include "platform/posix_serial_port.h"
#include "platform/qt_plot_image.h"
#include "platform/qt_settings.h"
#include "processing/batch.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (AsksForVersion(args)) {
        std::cout << VersionText("brivane-cli");
        return 0;
    }
    std::string error;
    auto options = ParseBatchOptions(args, error);
    if (!options) {
        std::cerr << "brivane-cli: " << error << "\n";
        return 2;
    }
    if (options->bHelp) {
        std::cout << BatchUsage();
        return 0;
    }
    if (options->files.empty() && !options->ovsIn && !options->res2dinvIn &&
        !options->conversion && !options->transfer) {
        std::cerr << "brivane-cli: nothing to do: give survey files, --transfer, --ovs or "
                     "--res2dinv-in (see --help)\n";
        return 2;
    }
    // Pictures are drawn with Qt's fonts; no screen is needed for that.
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    // Qt sets the user's locale; every number the suite writes uses the C locale's dot.
    std::setlocale(LC_NUMERIC, "C");
    CQtSettingsBackend settings(kProcessingProgramTitle);
    SetSettingsBackend(&settings);
    CCurlHttpClient http;  // --upload
    SetHttpClient(&http);
    CQtPlotImageWriter images;
    CPosixSerialPortSystem serialPorts;  // --transfer
    const int status = RunBatch(
        *options, std::cerr,
        [&images](CBrivaneContext& ctx, const std::string& display,
                  const std::filesystem::path& path) {
            return SaveDisplayPNG(ctx, images, display, path);
        },
        [&images](CCommandTable& table) { RegisterImageCommands(table, images); }, &serialPorts);
    SetHttpClient(nullptr);
    SetSettingsBackend(nullptr);
    return status;
}
