// What vizuvod-batch does to its process before any photo is touched: the
// standard descriptors made safe, and the signals a script, a terminal or a
// resource limit may send turned into a clean stop.
#pragma once

#include <string>

namespace vizuvod {

// Opens /dev/null on any of descriptors 0, 1 and 2 that is closed, so that
// no photo or result can take their number and receive progress text.
void EnsureStandardDescriptors();

// SIGINT, SIGTERM and SIGHUP stop the run after the photos in work (a second
// one abandons those at once); SIGQUIT, SIGUSR1/2, SIGALRM, SIGXCPU and the
// like abandon at once, so none leaves a temporary file. SIGPIPE is ignored
// (a reader that went away stops the progress, not the photos), and so is
// SIGXFSZ (a file-size limit fails the write with a clear error).
void InstallSignalHandlers();

// The signal that stopped the run, or 0.
int StopSignal();

// "Cannot open folder X: <reason>" when the folder cannot be listed, or "".
std::string FolderProblem(const std::string& folder);

}  // namespace vizuvod
