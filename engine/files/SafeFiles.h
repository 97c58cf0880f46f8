// Safe reading and saving, for every format: a photo is read with one read
// of its whole length (or kept open for a decoder that reads as it goes),
// and a result replaces its target file only once all of its bytes are
// safely on disk, so a failed save never destroys an earlier file.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vizuvod {

// A regular file opened for reading; closed when the object goes.
class TJpegInputFile {
 public:
  // Fails with EFOpenError, carrying the system's reason, when the path
  // cannot be opened or is not a regular file (a folder, a pipe, a device):
  // reading such a thing could block or never end.
  explicit TJpegInputFile(const std::string& path);
  ~TJpegInputFile();
  TJpegInputFile(const TJpegInputFile&) = delete;
  TJpegInputFile& operator=(const TJpegInputFile&) = delete;

  // Reads from the current position to the end into bytes, in one read.
  // EFileTooLarge for a file over 1 GiB (far beyond any photo), EStreamError
  // when the buffer cannot be had; EReadError when fewer bytes arrive than
  // the file holds (bytes then keeps those read).
  void ReadAll(std::vector<std::uint8_t>& bytes);

  // The file's permission bits.
  unsigned Mode() const { return mode_; }
  // Its size as it was opened.
  std::uintmax_t Size() const { return size_; }
  // Up to count bytes from offset, fewer only at the file's end; EReadError
  // when the system fails.
  std::size_t ReadAt(std::uint8_t* to, std::size_t count, std::uintmax_t offset) const;

 private:
  int fd_ = -1;
  unsigned mode_ = 0;
  std::uintmax_t size_ = 0;
  std::string path_;
};

// The process's umask, read without changing it (umask() would, for every
// thread at once); -1 where the system does not say.
int CurrentUmask();

// Permission bits for a new file when no photo gives them: the umask decides.
inline constexpr unsigned NewFileMode = 0666;

// Called with the status (links followed) of the file standing at a save's
// target right before it is replaced; throws to refuse, which leaves that
// file as it was and nothing of the save behind. Not called for a new file.
using TReplaceGuard = std::function<void(const std::string& path, const struct stat& existing)>;

// Writes bytes as the file path, which only ever shows an earlier file whole
// or the new one whole. A new file (nothing at path) is written as an
// unnamed file in the folder (O_TMPFILE), synced, and given its name once
// complete: a killed run, a full disk or a power cut leaves nothing behind.
// A replacement, or a new file where the folder offers no unnamed files (or
// something took the name meanwhile), is written into a hidden temporary
// file in the same folder, locked while it is written, synced, then renamed
// over path; on any failure the temporary file is removed and an earlier
// file of that name stays as it was. A new file gets newFileMode less the
// umask; a replaced one keeps its permission bits, and its owner where
// allowed. guard, when given, may refuse to replace an existing file.
// The first save into a folder removes the temporary files that killed runs
// left there (ours by name, and no longer locked).
//   EFCreateError(path): the file cannot be created (missing or read-only
//                        folder, a folder of that name, a write-protected file)
//   EFWriteError(path):  the bytes could not all be written (full disk)
//   ELeftoverTemporary:  the temporary file could be neither renamed nor removed
//   EAbandoned:          AbandonRequested was set before the file got its name
//   whatever guard throws
void ReplaceFileWith(const std::string& path, const std::vector<std::uint8_t>& bytes,
                     unsigned newFileMode = NewFileMode, const TReplaceGuard& guard = {});

// Removes the stale temporary files of ReplaceFileWith in folder, leaving
// those of saves still going. Returns how many were removed.
int RemoveStaleTemporaries(const std::string& folder);

// Seam for tests (see TestSeams.h): the rename, unlink and linkat calls of
// ReplaceFileWith, so that a folder refusing them can be played where root
// cannot make one. Without linkat (null) the folder plays one that offers no
// unnamed files, and every save takes the temporary file's road.
struct TFileCalls {
  int (*rename)(const char*, const char*);
  int (*unlink)(const char*);
  int (*linkat)(int, const char*, int, const char*, int) = nullptr;
};
TFileCalls& FileCallsHook();

}  // namespace vizuvod
