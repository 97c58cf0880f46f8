#include "ProcessSetup.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/Abandon.h"
#include "photo/BatchRun.h"

namespace vizuvod {

namespace {

volatile sig_atomic_t stopSignal = 0;

constexpr int StopSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int AbandonSignals[] = {SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGPROF, SIGVTALRM, SIGXCPU};

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
  for (int s : StopSignals) Handle(s, OnStop);
  for (int s : AbandonSignals) Handle(s, OnAbandon);
  Handle(SIGPIPE, SIG_IGN);
  Handle(SIGXFSZ, SIG_IGN);
}

int StopSignal() { return stopSignal; }

ssize_t ReadUnlessStopped(int fd, void* buffer, std::size_t size) {
  sigset_t held, before;
  sigemptyset(&held);
  for (int s : StopSignals) sigaddset(&held, s);
  for (int s : AbandonSignals) sigaddset(&held, s);
  ::pthread_sigmask(SIG_BLOCK, &held, &before);
  ssize_t got = -1;
  int error = EINTR;
  while (stopSignal == 0) {
    // The signals reach their handlers only inside ppoll, which they end.
    pollfd wait{fd, POLLIN, 0};
    const int ready = ::ppoll(&wait, 1, nullptr, &before);
    if (ready < 0 && errno == EINTR) continue;
    got = ::read(fd, buffer, size);  // ready: data, end, hang-up or an error to report
    error = errno;
    if (got >= 0 || error != EINTR) break;
  }
  ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
  if (stopSignal != 0) got = -1, error = EINTR;
  errno = error;
  return got;
}

std::string FolderProblem(const std::string& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return "Cannot open folder " + folder + ": " + std::strerror(errno);
  ::closedir(dir);
  return "";
}

}  // namespace vizuvod
