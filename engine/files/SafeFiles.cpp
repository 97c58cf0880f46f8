// Whole-file reads and crash-safe replaces, for every format (POSIX).
#include "files/SafeFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <random>
#include <set>
#include <stdexcept>

#include "core/Abandon.h"
#include "core/Errors.h"

namespace vizuvod {

namespace {

std::string ReasonOf(int error) { return std::strerror(error); }

}  // namespace

TJpegInputFile::TJpegInputFile(const std::string& path) : path_(path) {
  // POSIX has no share modes: other writers cannot be kept out, but the one
  // read below takes the whole file at once.
  // Opened without waiting, and only a regular file is read: a named pipe
  // or a device put where a photo was would otherwise block the run or
  // never end. The flag stays; it changes nothing for a regular file.
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd_ < 0) throw EFOpenError(path, ReasonOf(errno));
  struct stat st {};
  std::string refusal;
  if (::fstat(fd_, &st) != 0)
    refusal = ReasonOf(errno);
  else if (S_ISDIR(st.st_mode))
    refusal = ReasonOf(EISDIR);
  else if (!S_ISREG(st.st_mode))
    refusal = "Not a regular file";
  if (!refusal.empty()) {
    ::close(fd_);
    throw EFOpenError(path, refusal);
  }
  mode_ = unsigned(st.st_mode & 07777);
  size_ = std::uintmax_t(st.st_size);
}

std::size_t TJpegInputFile::ReadAt(std::uint8_t* to, std::size_t count,
                                   std::uintmax_t offset) const {
  std::size_t got = 0;
  while (got < count) {
    const ssize_t n = ::pread(fd_, to + got, count - got, off_t(offset + got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw EReadError();
    if (n == 0) break;
    got += std::size_t(n);
  }
  return got;
}

TJpegInputFile::~TJpegInputFile() { ::close(fd_); }

// Largest photo file read. A JPEG of the biggest picture the decoder takes
// (2^28 pixels) stays well below it; anything larger is some other file
// named .jpg, which would otherwise be read whole into memory first.
static constexpr std::size_t MaxPhotoFileBytes = std::size_t(1) << 30;

void TJpegInputFile::ReadAll(std::vector<std::uint8_t>& bytes) {
  struct stat st {};
  const off_t position = ::lseek(fd_, 0, SEEK_CUR);
  if (::fstat(fd_, &st) != 0 || position < 0) throw EReadError();
  const std::size_t size = st.st_size > position ? std::size_t(st.st_size - position) : 0;
  if (size > MaxPhotoFileBytes) throw EFileTooLarge(path_);
  // Growing the buffer fails with the stream's own error, not bad_alloc.
  try {
    bytes.resize(size);
  } catch (const std::exception&) {
    throw EStreamError();
  }
  // One read; the loop only goes round again after a signal or for a file
  // that another process is still writing.
  std::size_t got = 0;
  while (got < size) {
    const ssize_t n = ::read(fd_, bytes.data() + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      bytes.resize(got);
      throw EReadError();
    }
    got += std::size_t(n);
  }
}

TFileCalls& FileCallsHook() {
  static TFileCalls calls{::rename, ::unlink, ::linkat};
  return calls;
}

int CurrentUmask() {
  const int fd = ::open("/proc/self/status", O_RDONLY | O_CLOEXEC);
  char text[4096];
  const ssize_t n = fd < 0 ? -1 : ::read(fd, text, sizeof text - 1);
  if (fd >= 0) ::close(fd);
  if (n <= 0) return -1;
  text[n] = 0;
  const char* line = std::strstr(text, "\nUmask:");
  return line ? int(std::strtol(line + 7, nullptr, 8)) : -1;
}

namespace {

// A file descriptor closed when it goes out of scope.
struct TFd {
  int fd = -1;
  ~TFd() {
    if (fd >= 0) ::close(fd);
  }
};

constexpr const char* TemporaryPrefix = ".vizuvod-";
constexpr const char* TemporarySuffix = ".tmp";

// Hidden (leading dot, and not *.jpg, so a folder scan never lists it) and
// short, so that it fits the folder's name limit whatever the target's name.
std::string TemporaryNameBeside(const std::filesystem::path& target) {
  static std::atomic<unsigned> counter{0};
  static const unsigned seed = std::random_device{}();
  char name[40];
  std::snprintf(name, sizeof name, "%s%d-%08x%s", TemporaryPrefix, int(::getpid()),
                seed ^ (counter++ * 0x9E3779B9u), TemporarySuffix);
  return (target.parent_path() / name).string();
}

bool IsTemporaryName(const std::string& name) {
  return name.starts_with(TemporaryPrefix) && name.ends_with(TemporarySuffix) &&
         name.size() > std::strlen(TemporaryPrefix) + std::strlen(TemporarySuffix);
}

// The first save into each folder clears what killed runs left there.
void RemoveStaleTemporariesOnce(const std::string& folder) {
  static std::mutex mutex;
  // By device and inode: one folder may be named in several ways (through
  // an open descriptor among them).
  static std::set<std::pair<dev_t, ino_t>> cleared;
  struct stat info;
  if (::stat(folder.c_str(), &info) != 0) return;
  {
    std::lock_guard lock(mutex);
    if (!cleared.insert({info.st_dev, info.st_ino}).second) return;
  }
  RemoveStaleTemporaries(folder);
}

}  // namespace

// A save holds an exclusive lock on its temporary file from creation to
// rename, and a temporary file is only removed here under that same lock:
// a live save's file is never taken, and a save whose file was removed
// between its creation and its lock sees that (no links left) and starts
// again with another name.
int RemoveStaleTemporaries(const std::string& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return 0;
  int removed = 0;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (!IsTemporaryName(name)) continue;
    const std::string path = (std::filesystem::path(folder) / name).string();
    TFd file{::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)};
    struct stat opened {
    }, named{};
    if (file.fd < 0 || ::fstat(file.fd, &opened) != 0 || !S_ISREG(opened.st_mode)) continue;
    if (::flock(file.fd, LOCK_EX | LOCK_NB) != 0) continue;  // a save is writing it
    if (::lstat(path.c_str(), &named) == 0 && named.st_dev == opened.st_dev &&
        named.st_ino == opened.st_ino && FileCallsHook().unlink(path.c_str()) == 0)
      ++removed;
  }
  ::closedir(dir);
  return removed;
}

namespace {

// The temporary file of one save: created locked, removed unless it was
// renamed into place.
class TTemporaryFile {
 public:
  explicit TTemporaryFile(const std::string& target, unsigned mode) {
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::string name = TemporaryNameBeside(target);
      const int fd =
          ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode_t(mode & 0777));
      if (fd < 0) {
        if (errno == EEXIST) continue;
        error_ = errno;
        return;
      }
      struct stat st {};
      if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &st) == 0 && st.st_nlink > 0) {
        fd_.fd = fd;
        name_ = std::move(name);
        return;
      }
      ::close(fd);  // a cleaner took it meanwhile and removes it
    }
    error_ = EEXIST;
  }
  ~TTemporaryFile() { Remove(); }

  int Fd() const { return fd_.fd; }
  const std::string& Name() const { return name_; }
  int Error() const { return error_; }
  // Removes the file; false when it stays, because the folder refuses.
  bool Remove() {
    if (name_.empty()) return true;
    const bool gone = FileCallsHook().unlink(name_.c_str()) == 0 || errno == ENOENT;
    if (gone) name_.clear();
    return gone;
  }
  // The file now has the target's name.
  void Renamed() { name_.clear(); }

 private:
  TFd fd_;  // closed after the rename, so the lock lasts until then
  std::string name_;
  int error_ = 0;
};

// A replaced file keeps its permission bits, and its owner and group where
// the process may give them (root may; a user may keep the group).
void KeepOwnerAndMode(int fd, const struct stat& earlier) {
  if (earlier.st_uid != ::geteuid() || earlier.st_gid != ::getegid()) {
    if (::fchown(fd, earlier.st_uid, earlier.st_gid) != 0) {
      [[maybe_unused]] const int ignored = ::fchown(fd, uid_t(-1), earlier.st_gid);
    }
  }
  ::fchmod(fd, earlier.st_mode & 0777);
}

}  // namespace

namespace {

void WriteAndSync(int fd, const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw EFWriteError(path, ReasonOf(errno));
    if (n == 0) throw EFWriteError(path, ReasonOf(ENOSPC));
    written += std::size_t(n);
  }
  // The bytes must be on disk before the name points at them, or a crash
  // could leave an empty file where the earlier one was. Some file systems
  // cannot sync (EINVAL); there is nothing more to do on those. The folder
  // itself is not synced: after a crash the name shows the old file or the
  // new one, either whole.
  if (::fsync(fd) != 0 && errno != EINVAL && errno != EROFS)
    throw EFWriteError(path, ReasonOf(errno));
}

enum class TNaming { nmNamed, nmNotOffered };

// A new file's road: written unnamed in the folder and linked to its name
// only once complete, so that nothing named exists before then. notOffered
// when the folder or the system refuses an unnamed file, or the name was
// taken meanwhile: nothing was made, and the temporary file's road follows.
TNaming CreateThroughUnnamedFile(const std::string& folder, const std::string& path,
                                 const std::vector<std::uint8_t>& bytes, unsigned newFileMode) {
  const TFileCalls calls = FileCallsHook();
  const int umask = CurrentUmask();
  if (!calls.linkat || umask < 0) return TNaming::nmNotOffered;
  const mode_t mode = mode_t(newFileMode & 0777 & ~unsigned(umask));
  TFd file{::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode)};
  if (file.fd < 0) return TNaming::nmNotOffered;
  // Some kernels leave the umask out for unnamed files: the bits are set
  // here as a named file would have them.
  if (::fchmod(file.fd, mode) != 0) return TNaming::nmNotOffered;
  WriteAndSync(file.fd, path, bytes);
  ThrowIfAbandoned();
  // Through /proc, as any user may; AT_EMPTY_PATH where /proc is missing
  // (it needs privilege on older kernels).
  char self[40];
  std::snprintf(self, sizeof self, "/proc/self/fd/%d", file.fd);
  if (calls.linkat(AT_FDCWD, self, AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0)
    return TNaming::nmNamed;
  if (errno == ENOENT && calls.linkat(file.fd, "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH) == 0)
    return TNaming::nmNamed;
  return TNaming::nmNotOffered;
}

}  // namespace

void ReplaceFileWith(const std::string& path, const std::vector<std::uint8_t>& bytes,
                     unsigned newFileMode, const TReplaceGuard& guard) {
  const std::filesystem::path parent = std::filesystem::path(path).parent_path();
  const std::string folder = parent.empty() ? "." : parent.string();
  RemoveStaleTemporariesOnce(folder);

  struct stat earlier {};
  if (::lstat(path.c_str(), &earlier) != 0 && errno == ENOENT &&
      CreateThroughUnnamedFile(folder, path, bytes, newFileMode) == TNaming::nmNamed)
    return;

  // Keep the old refusal to empty a write-protected file: renaming would
  // otherwise replace it silently.
  const bool replacing = ::stat(path.c_str(), &earlier) == 0 && S_ISREG(earlier.st_mode);
  if (::access(path.c_str(), F_OK) == 0 && ::access(path.c_str(), W_OK) != 0)
    throw EFCreateError(path, ReasonOf(errno));

  // A new file takes the photo's bits less the umask, as cp makes them; a
  // replacement starts private and takes the earlier file's bits.
  TTemporaryFile temporary(path, replacing ? 0600 : newFileMode);
  if (temporary.Fd() < 0) throw EFCreateError(path, ReasonOf(temporary.Error()));
  try {
    if (replacing) KeepOwnerAndMode(temporary.Fd(), earlier);
    WriteAndSync(temporary.Fd(), path, bytes);
    ThrowIfAbandoned();
    struct stat existing {};
    // A link there is shown to the guard too (as itself when it leads nowhere).
    if (guard && (::stat(path.c_str(), &existing) == 0 || ::lstat(path.c_str(), &existing) == 0))
      guard(path, existing);
    if (FileCallsHook().rename(temporary.Name().c_str(), path.c_str()) != 0)
      throw EFCreateError(path, ReasonOf(errno));
    temporary.Renamed();
  } catch (const Exception& failure) {
    if (!temporary.Remove()) throw ELeftoverTemporary(path, temporary.Name(), failure.Reason());
    throw;
  }
}

}  // namespace vizuvod
