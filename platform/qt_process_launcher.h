// Starts programs with QProcess: the program and its arguments go to the system as a list
// (exec on Unix, CreateProcess on Windows), with no command interpreter in between.
#pragma once

#include "common/process_launcher.h"

class CQtProcessLauncher : public CProcessLauncher {
public:
    // False when the file is missing, not executable or the system refuses to start it.
    bool Start(const std::filesystem::path& program,
               const std::vector<std::string>& arguments) override;
};
