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

// Results written under new names or into another folder carry a mark of
// the photo they were made of, so that a later run replaces only its own
// results. The mark names the photo by a digest of its absolute path (its
// folder with every link resolved), so that A/a.jpg and B/a.jpg never take
// each other's results, and the result by its own device and inode, so
// that a mark copied onto another file names the wrong file. A mark can be
// written by anyone on their own files: a file is the run's own result only
// when it is a regular file with one link, owned by the user the run runs
// as, and its mark names this photo and this very file.

// The photo's part of the mark.
std::string PhotoKeyOf(const std::string& photo);
// Empty when the file at `result` is the run's own result of the photo
// whose key is given; else why it is not ("it belongs to another user").
std::string WhyNotOwnResult(const std::string& result, const std::string& photoKey);
// Marks the file at `result` (not followed when a link) as made of the photo.
void MarkMadeFrom(const std::string& result, const std::string& photoKey);

}  // namespace vizuvod
