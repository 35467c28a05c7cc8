#include "common/version.h"

#include <algorithm>

// Defined for this file only by common/CMakeLists.txt, so a new version rebuilds one file.
#ifndef GANTREL_VERSION
#error "GANTREL_VERSION must come from the build"
#endif

const char* SuiteVersion() {
    return GANTREL_VERSION;
}

std::string VersionText(std::string_view program) {
    return std::string(program) + " " + SuiteVersion() + "\n";
}

bool AsksForVersion(const std::vector<std::string>& args) {
    return std::find(args.begin(), args.end(), "--version") != args.end();
}
