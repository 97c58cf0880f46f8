// Whole-file read and crash-safe replace for the JPEG codec (POSIX).
#include "JpegFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <stdexcept>

#include "Errors.h"

TJpegInputFile::TJpegInputFile(const std::string& path) {
  // POSIX has no share modes: other writers cannot be kept out, but the one
  // read below takes the whole file at once.
  // Opened without waiting: a named pipe put where a photo was would
  // otherwise block the open until some writer appeared. Reads block again
  // as usual, so a pipe that has a writer is still read to its end.
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd_ < 0) throw EFOpenError(path);
  struct stat st {};
  const int flags = ::fcntl(fd_, F_GETFL);
  if (::fstat(fd_, &st) != 0 || S_ISDIR(st.st_mode) || flags < 0 ||
      ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    ::close(fd_);
    throw EFOpenError(path);
  }
}

TJpegInputFile::~TJpegInputFile() { ::close(fd_); }

// Largest photo file read. A JPEG of the biggest picture the decoder takes
// (2^28 pixels) stays well below it; anything larger is some other file
// named .jpg, which would otherwise be read whole into memory first.
static constexpr std::size_t MaxPhotoFileBytes = std::size_t(1) << 30;

// Growing the buffer fails with the stream's own error, not bad_alloc.
static void ResizeBuffer(std::vector<std::uint8_t>& bytes, std::size_t size) {
  if (size > MaxPhotoFileBytes) throw EStreamError();
  try {
    bytes.resize(size);
  } catch (const std::exception&) {
    throw EStreamError();
  }
}

void TJpegInputFile::ReadAll(std::vector<std::uint8_t>& bytes) {
  struct stat st {};
  const off_t position = ::lseek(fd_, 0, SEEK_CUR);
  const bool regular = ::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode) && position >= 0;
  ResizeBuffer(bytes, regular && st.st_size > position ? std::size_t(st.st_size - position) : 0);
  // One read for a regular file; the loop only goes round again after a
  // signal, or for a stream (a pipe) whose length is not known beforehand.
  std::size_t got = 0;
  for (;;) {
    if (got == bytes.size()) {
      if (regular) return;
      ResizeBuffer(bytes, got + 65536);
    }
    const ssize_t n = ::read(fd_, bytes.data() + got, bytes.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      bytes.resize(got);
      if (n < 0 || regular) throw EReadError();
      return;  // the end of a stream
    }
    got += std::size_t(n);
  }
}

namespace {

// A file descriptor closed when it goes out of scope.
struct TFd {
  int fd = -1;
  ~TFd() {
    if (fd >= 0) ::close(fd);
  }
  int Release() {
    const int f = fd;
    fd = -1;
    return f;
  }
};

// The temporary file of one save, removed unless it was renamed into place.
struct TTemporaryName {
  std::string name;
  ~TTemporaryName() {
    if (!name.empty()) ::unlink(name.c_str());
  }
};

// Hidden (leading dot, and not *.jpg, so a folder scan never lists it) and
// short, so that it fits the folder's name limit whatever the target's name.
std::string TemporaryNameBeside(const std::filesystem::path& target) {
  static std::atomic<unsigned> counter{0};
  static const unsigned seed = std::random_device{}();
  char name[40];
  std::snprintf(name, sizeof name, ".vizuvod-%d-%08x.tmp", int(::getpid()),
                seed ^ (counter++ * 0x9E3779B9u));
  return (target.parent_path() / name).string();
}

std::string ReasonOf(int error) { return std::strerror(error); }

}  // namespace

void ReplaceFileWith(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  // Keep the old refusal to empty a write-protected file: renaming would
  // otherwise replace it silently.
  if (::access(path.c_str(), F_OK) == 0 && ::access(path.c_str(), W_OK) != 0)
    throw EFCreateError(path);

  TFd file;
  TTemporaryName temporary;
  for (int attempt = 0; attempt < 100 && file.fd < 0; ++attempt) {
    std::string name = TemporaryNameBeside(path);
    // 0666 lets the umask (or the folder's default ACL) decide, as for any
    // newly created file.
    file.fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (file.fd >= 0)
      temporary.name = std::move(name);
    else if (errno != EEXIST)
      break;
  }
  if (file.fd < 0) throw EFCreateError(path);

  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = ::write(file.fd, bytes.data() + written, bytes.size() - written);
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
  if (::fsync(file.fd) != 0 && errno != EINVAL && errno != EROFS)
    throw EFWriteError(path, ReasonOf(errno));
  if (::close(file.Release()) != 0) throw EFWriteError(path, ReasonOf(errno));

  if (::rename(temporary.name.c_str(), path.c_str()) != 0) throw EFCreateError(path);
  temporary.name.clear();
}
