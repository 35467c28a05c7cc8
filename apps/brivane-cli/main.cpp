// brivane-cli: the processing program's batch command line.
#include <QGuiApplication>

#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "common/settings.h"
#include "common/version.h"
#include "display/display_image.h"
#include "platform/curl_http_client.h"
#include "platform/posix_serial_port.h"
#include "platform/qt_plot_image.h"
#include "platform/qt_settings.h"
#include "processing/batch.h"

namespace {
// Qt wants a runtime folder of the user's own (mode 0700) and warns on the error stream when
// there is none, as in a cron job or a service. The batch line keeps no files there: without
// a usable one it gets a private folder for the run, removed at the end.
class CPrivateRuntimeFolder {
public:
    CPrivateRuntimeFolder() {
        const char* given = std::getenv("XDG_RUNTIME_DIR");
        struct stat st {};
        if (given != nullptr && *given != '\0' && ::stat(given, &st) == 0 && S_ISDIR(st.st_mode) &&
            st.st_uid == ::getuid() && (st.st_mode & 0777) == 0700)
            return;
        std::string pattern =
            (std::filesystem::temp_directory_path() / "brivane-cli-runtime-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) return;
        folder_ = pattern;
        ::setenv("XDG_RUNTIME_DIR", folder_.c_str(), 1);
    }
    ~CPrivateRuntimeFolder() {
        std::error_code ec;
        if (!folder_.empty()) std::filesystem::remove_all(folder_, ec);
    }
    CPrivateRuntimeFolder(const CPrivateRuntimeFolder&) = delete;
    CPrivateRuntimeFolder& operator=(const CPrivateRuntimeFolder&) = delete;

private:
    std::string folder_;
};
}  // namespace

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
    const CPrivateRuntimeFolder runtime;
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
