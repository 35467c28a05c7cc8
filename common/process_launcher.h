// Starting another program. The core decides what to start and with which arguments; the
// shell supplies the launcher, which starts the program from an argument list (never through
// a command interpreter, so no argument is ever read as shell syntax).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

class CProcessLauncher {
public:
    virtual ~CProcessLauncher() = default;
    // Starts the program detached from this process, with these arguments after its name.
    // True when it started; false when it could not (missing, not executable, refused).
    virtual bool Start(const std::filesystem::path& program,
                       const std::vector<std::string>& arguments) = 0;
};
