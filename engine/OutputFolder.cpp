#include "OutputFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "Errors.h"

namespace vizuvod {

TFolderFd::~TFolderFd() {
  if (fd_ >= 0) ::close(fd_);
}

TFolderFd& TFolderFd::operator=(TFolderFd&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

std::string TFolderFd::PathOf(const std::string& name) const {
  return "/proc/self/fd/" + std::to_string(fd_) + "/" + name;
}

TOutputFolder::TOutputFolder(const std::string& root)
    : root_(root), fd_(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
  if (fd_.Get() < 0)
    throw std::runtime_error("cannot open the folder " + root + ": " + std::strerror(errno));
}

TFolderFd TOutputFolder::Open(const std::string& relative, mode_t mode) const {
  TFolderFd folder(::dup(fd_.Get()));
  std::string reached = root_;
  for (std::size_t at = 0; at < relative.size();) {
    const std::size_t slash = relative.find('/', at);
    const std::string level = relative.substr(at, slash - at);
    at = slash == std::string::npos ? relative.size() : slash + 1;
    if (level.empty() || level == ".") continue;
    reached += "/" + level;
    // Made when missing; a level made by another job meanwhile is as good.
    if (::mkdirat(folder.Get(), level.c_str(), mode) != 0 && errno != EEXIST)
      throw EFCreateError(reached, std::strerror(errno));
    const int next =
        ::openat(folder.Get(), level.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (next < 0)
      throw EFCreateError(reached, errno == ELOOP || errno == ENOTDIR
                                       ? "a link or a file stands there; it is not followed"
                                       : std::strerror(errno));
    folder = TFolderFd(next);
  }
  return folder;
}

constexpr const char* MadeFromAttribute = "user.vizuvod.photo";

bool MadeFrom(const std::string& result, const std::string& relative) {
  char value[4096];
  const ssize_t n = ::getxattr(result.c_str(), MadeFromAttribute, value, sizeof value);
  return n >= 0 && std::string(value, std::size_t(n)) == relative;
}

void MarkMadeFrom(const std::string& result, const std::string& relative) {
  // A file system without user attributes keeps no mark: a later run then
  // leaves that result alone instead of guessing.
  (void)::setxattr(result.c_str(), MadeFromAttribute, relative.data(), relative.size(), 0);
}

}  // namespace vizuvod
