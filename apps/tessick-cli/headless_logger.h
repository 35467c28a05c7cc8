// The headless logger: the acquisition engine driven from a shell. Devices are started from
// the options, the engine ticks every poll period of its clock (the computer's, or a simulated
// one running --speed times as fast), keys come from the terminal, a pipe or the script, and
// the events of the data-lines log are printed as they happen.
#pragma once

#include <iosfwd>

#include "apps/tessick-cli/cli_options.h"

// Runs until q (from the keys or the script), SIGTERM or SIGINT; a line being recorded is
// ended first. inFd gives the keys: a terminal is read key by key (its settings restored on
// return), anything else line by line (the first character of each line); at its end the
// logger goes on until the script or a signal stops it. Returns the exit status: 0 done,
// 1 a device could not be started, an instrument was lost during the run or records could not
// be saved (their count and file are printed).
int RunHeadlessLogger(const CCliOptions& options, std::ostream& out, int inFd = 0);
