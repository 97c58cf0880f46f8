#include "BatchProcess.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char** environ;

namespace vizuvod {

pid_t Start(const std::vector<std::string>& args, const TempDir& logs, const std::string& input) {
  return Start(args, logs, TSpawn{.input = input});
}

pid_t Start(const std::vector<std::string>& args, const TempDir& logs, const TSpawn& spawn) {
  std::vector<std::string> all = spawn.as;
  all.push_back(VIZUVOD_BATCH);
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, (logs / "out").c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (spawn.errFd >= 0)
    posix_spawn_file_actions_adddup2(&actions, spawn.errFd, 2);
  else
    posix_spawn_file_actions_addopen(&actions, 2, (logs / "err").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (!spawn.input.empty())
    posix_spawn_file_actions_addopen(&actions, 0, spawn.input.c_str(), O_RDONLY, 0);
  for (int fd : spawn.closed) posix_spawn_file_actions_addclose(&actions, fd);
  pid_t pid = -1;
  const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  EXPECT_EQ(rc, 0);
  return pid;
}

TResult Finish(pid_t pid, const TempDir& logs) {
  TResult r;
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  r.peakKiB = usage.ru_maxrss;
  r.out = ReadFile(logs.path() / "out");
  r.err = ReadFile(logs.path() / "err");
  return r;
}

TResult RunBatch(const std::vector<std::string>& args, const std::string& input) {
  return RunBatch(args, TSpawn{.input = input});
}

TResult RunBatch(const std::vector<std::string>& args, const TSpawn& spawn) {
  TempDir logs;
  return Finish(Start(args, logs, spawn), logs);
}

}  // namespace vizuvod
