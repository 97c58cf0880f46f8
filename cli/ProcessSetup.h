// What vizuvod-batch does to its process before any photo is touched: the
// standard descriptors made safe, and the signals a script, a terminal or a
// resource limit may send turned into a clean stop.
#pragma once

#include <sys/types.h>

#include <cstddef>
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

// read(2) on the main thread, before the run's threads exist, whose wait a
// stop signal always ends: the signals are held until the wait itself, so
// one that comes just before it is not missed. -1 with errno EINTR once a
// stop signal came (StopSignal() says which).
ssize_t ReadUnlessStopped(int fd, void* buffer, std::size_t size);

// "Cannot open folder X: <reason>" when the folder cannot be listed, or "".
std::string FolderProblem(const std::string& folder);

}  // namespace vizuvod
