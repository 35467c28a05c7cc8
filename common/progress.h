// How a long command (gridding, the inversion, the model response pass) tells the user how
// far it is, and learns that the user wants it stopped.
#pragma once

#include <functional>
#include <string>

// Called on the command's own thread between columns: done is the number of columns finished
// (0 before the first), total the number of columns, text what to show ("column %d of %d" for the
// inversion). Returns false when the user asked to stop; the command then starts no further
// column and puts back what it changed. An empty function never stops anything.
using ProgressReport = std::function<bool(int done, int total, const std::string& text)>;

// True when the command may go on: no report function, or the report did not ask to stop.
inline bool ReportProgress(const ProgressReport& report, int done, int total,
                           const std::string& text) {
    return !report || report(done, total, text);
}
