// tessick-cli: the field logger without a window.
#include <clocale>
#include <csignal>
#include <exception>
#include <iostream>

#include "apps/tessick-cli/cli_options.h"
#include "apps/tessick-cli/headless_logger.h"
#include "common/version.h"

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "C");
    // Output to a reader that went away is not worth dying for in the middle of a line.
    std::signal(SIGPIPE, SIG_IGN);
    // Started in the background, its output to the terminal must not stop the recording.
    std::signal(SIGTTOU, SIG_IGN);
    std::vector<std::string> args(argv + 1, argv + argc);
    if (AsksForVersion(args)) {
        std::cout << VersionText("tessick-cli");
        return 0;
    }
    std::string error;
    const auto options = ParseCliOptions(args, error);
    if (!options) {
        std::cerr << "tessick-cli: " << error << "\nTry 'tessick-cli --help'.\n";
        return 2;
    }
    if (options->bHelp) {
        std::cout << CliUsage();
        return 0;
    }
    try {
        return RunHeadlessLogger(*options, std::cout, 0);
    } catch (const std::exception& e) {
        std::cerr << "tessick-cli: " << e.what() << "\n";
        return 1;
    }
}
