// The file side of the JPEG codec: a photo is read with one read of its whole
// length, and an encoded photo replaces its target file only once all of its
// bytes are safely on disk, so a failed save never destroys an earlier file.
#pragma once

#include <cstdint>
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

 private:
  int fd_ = -1;
  unsigned mode_ = 0;
  std::string path_;
};

// Permission bits for a new file when no photo gives them: the umask decides.
inline constexpr unsigned NewFileMode = 0666;

// Writes bytes as the file path: first into a hidden temporary file in the
// same folder, locked while it is written, synced to disk, then renamed over
// path. On any failure the temporary file is removed and an earlier file of
// that name stays as it was. A new file gets newFileMode less the umask; a
// replaced one keeps its permission bits, and its owner where allowed.
// The first save into a folder removes the temporary files that killed runs
// left there (ours by name, and no longer locked).
//   EFCreateError(path): the file cannot be created (missing or read-only
//                        folder, a folder of that name, a write-protected file)
//   EFWriteError(path):  the bytes could not all be written (full disk)
//   ELeftoverTemporary:  the temporary file could be neither renamed nor removed
//   EAbandoned:          AbandonRequested was set before the rename
void ReplaceFileWith(const std::string& path, const std::vector<std::uint8_t>& bytes,
                     unsigned newFileMode = NewFileMode);

// Removes the stale temporary files of ReplaceFileWith in folder, leaving
// those of saves still going. Returns how many were removed.
int RemoveStaleTemporaries(const std::string& folder);

// Seam for tests (see TestSeams.h): the rename and unlink calls of
// ReplaceFileWith, so that a folder refusing both can be played where root
// cannot make one.
struct TFileCalls {
  int (*rename)(const char*, const char*);
  int (*unlink)(const char*);
};
TFileCalls& FileCallsHook();

}  // namespace vizuvod
