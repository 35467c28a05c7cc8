// The suite's version: one number for all four programs, set by the top-level project().
#pragma once

#include <string>
#include <string_view>
#include <vector>

// "0.1.0".
const char* SuiteVersion();

// What --version prints: the program's name and the suite's version on one line, e.g.
// "brivane-cli 0.1.0\n".
std::string VersionText(std::string_view program);

// True when the command line asks for the version ("--version" anywhere in it).
bool AsksForVersion(const std::vector<std::string>& args);
