#include "ProcessSetup.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "Abandon.h"
#include "BatchRun.h"

namespace vizuvod {

namespace {

volatile sig_atomic_t stopSignal = 0;

extern "C" void OnStop(int signal) {
  // The first asks for a clean stop; a second abandons the photos in work.
  if (CancelRequested.load()) AbandonRequested.store(true);
  if (stopSignal == 0) stopSignal = signal;
  CancelRequested.store(true);
}

extern "C" void OnAbandon(int signal) {
  if (stopSignal == 0) stopSignal = signal;
  CancelRequested.store(true);
  AbandonRequested.store(true);
}

void Handle(int signal, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
}

}  // namespace

void EnsureStandardDescriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // The lowest free number is fd itself, since those below are open.
    const int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (opened >= 0 && opened != fd) {
      ::dup2(opened, fd);
      ::close(opened);
    }
  }
}

void InstallSignalHandlers() {
  for (int s : {SIGINT, SIGTERM, SIGHUP}) Handle(s, OnStop);
  for (int s : {SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU})
    Handle(s, OnAbandon);
  Handle(SIGPIPE, SIG_IGN);
  Handle(SIGXFSZ, SIG_IGN);
}

int StopSignal() { return stopSignal; }

std::string FolderProblem(const std::string& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return "Cannot open folder " + folder + ": " + std::strerror(errno);
  ::closedir(dir);
  return "";
}

}  // namespace vizuvod
