// A folder results are written into (vizuvod-batch --output, the window's
// "Папка для результатов…"), held open for the run, and the folders beneath
// it reached one level at a time from it: a level that is missing is made,
// one that is a link is refused, so results never leave the folder the user
// named, whatever another user plants in it meanwhile. And the mark a result
// carries of the photo it was made of.
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

// Results written under new names or into another folder say which photo
// they were made of (its path relative to the run's folder), so that a later
// run replaces only what it made itself.
bool MadeFrom(const std::string& result, const std::string& relative);
void MarkMadeFrom(const std::string& result, const std::string& relative);

}  // namespace vizuvod
