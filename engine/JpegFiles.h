// The file side of the JPEG codec: a photo is read with one read of its whole
// length, and an encoded photo replaces its target file only once all of its
// bytes are safely on disk, so a failed save never destroys an earlier file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A file opened for reading; closed when the object goes.
class TJpegInputFile {
 public:
  // Fails with EFOpenError when the path cannot be opened or is a folder.
  explicit TJpegInputFile(const std::string& path);
  ~TJpegInputFile();
  TJpegInputFile(const TJpegInputFile&) = delete;
  TJpegInputFile& operator=(const TJpegInputFile&) = delete;

  // Reads from the current position to the end into bytes, in one read for
  // a regular file. EStreamError when the buffer cannot be had or the file
  // is over 1 GiB (far beyond any photo); EReadError when fewer bytes arrive
  // than the file holds (bytes then keeps those read).
  void ReadAll(std::vector<std::uint8_t>& bytes);

 private:
  int fd_ = -1;
};

// Writes bytes as the file path: first into a hidden temporary file in the
// same folder (created with the usual 0666 less umask permissions), synced to
// disk, then renamed over path. On any failure the temporary file is removed
// and an earlier file of that name stays as it was.
//   EFCreateError(path): the file cannot be created (missing or read-only
//                        folder, a folder of that name, a write-protected file)
//   EFWriteError(path):  the bytes could not all be written (full disk)
void ReplaceFileWith(const std::string& path, const std::vector<std::uint8_t>& bytes);
