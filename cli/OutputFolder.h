// The --output folder, held open for the run, and the folders beneath it
// reached one level at a time from it: a level that is missing is made, one
// that is a link is refused, so results never leave the folder the user
// named, whatever another user plants in it meanwhile.
#pragma once

#include <sys/types.h>

#include <string>

namespace vizuvod {

// An open folder, closed when it goes.
class TFolderFd {
 public:
  explicit TFolderFd(int fd = -1) : fd_(fd) {}
  ~TFolderFd();
  TFolderFd(TFolderFd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  TFolderFd& operator=(TFolderFd&& other) noexcept;
  int Get() const { return fd_; }
  // A path that reaches `name` in this folder through the descriptor, so no
  // link on the way there is followed.
  std::string PathOf(const std::string& name) const;

 private:
  int fd_;
};

class TOutputFolder {
 public:
  // Opens root (made before); throws std::runtime_error when it cannot.
  explicit TOutputFolder(const std::string& root);

  // The folder root/relative ("" or "a/b/"), its missing levels made with
  // `mode` less the umask. Throws EFCreateError naming the level that is a
  // link, not a folder, or cannot be made.
  TFolderFd Open(const std::string& relative, mode_t mode) const;

 private:
  std::string root_;
  TFolderFd fd_;
};

}  // namespace vizuvod
