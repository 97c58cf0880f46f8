#include "files/OutputFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "core/Errors.h"

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

namespace {

// FNV-1a, 64 bits, twice from different starts: 128 bits that no two paths
// of one archive share by chance. (Another user could aim at a value, but
// cannot own the file it would be found on.)
std::string Digest(const std::string& text) {
  std::uint64_t a = 14695981039346656037ull, b = a ^ 0x5bd1e9955bd1e995ull;
  for (const char c : text) {
    a = (a ^ std::uint8_t(c)) * 1099511628211ull;
    b = (b ^ std::uint8_t(c)) * 1099511628211ull;
    b ^= b >> 29;
  }
  char hex[33];
  std::snprintf(hex, sizeof hex, "%016llx%016llx", static_cast<unsigned long long>(a),
                static_cast<unsigned long long>(b));
  return hex;
}

std::string MarkOf(const std::string& photoKey, const struct stat& result) {
  return "photo=" + photoKey + " file=" + std::to_string(result.st_dev) + ":" +
         std::to_string(result.st_ino);
}

}  // namespace

std::string PhotoKeyOf(const std::string& photo) {
  const std::size_t cut = photo.rfind('/') + 1;  // 0 when there is no '/'
  const std::string folder = cut == 0 ? "." : photo.substr(0, cut);
  std::string absolute;
  if (char* resolved = ::realpath(folder.c_str(), nullptr)) {
    absolute = std::string(resolved) + "/" + photo.substr(cut);
    std::free(resolved);
  } else {
    std::error_code ignored;
    absolute = std::filesystem::absolute(photo, ignored).lexically_normal().string();
  }
  return Digest(absolute);
}

std::string WhyNotOwnResult(const std::string& result, const std::string& photoKey) {
  struct stat there;
  if (::lstat(result.c_str(), &there) != 0) return std::strerror(errno);
  if (!S_ISREG(there.st_mode)) return "it is not a regular file";
  if (there.st_uid != ::geteuid()) return "it belongs to another user";
  if (there.st_nlink != 1) return "it has other names (hard links)";
  char value[256];
  const ssize_t n = ::lgetxattr(result.c_str(), MadeFromAttribute, value, sizeof value);
  if (n < 0 || std::string(value, std::size_t(n)) != MarkOf(photoKey, there))
    return "it was not made from this photo by an earlier run";
  return "";
}

void MarkMadeFrom(const std::string& result, const std::string& photoKey) {
  // A file system without user attributes keeps no mark: a later run then
  // leaves that result alone instead of guessing.
  struct stat written;
  if (::lstat(result.c_str(), &written) != 0 || !S_ISREG(written.st_mode)) return;
  const std::string mark = MarkOf(photoKey, written);
  (void)::lsetxattr(result.c_str(), MadeFromAttribute, mark.data(), mark.size(), 0);
}

}  // namespace vizuvod
