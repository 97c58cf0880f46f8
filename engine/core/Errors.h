// The failures of the resize engine: one class per kind, each carrying the
// text the user sees in the error box.
#pragma once

#include <stdexcept>
#include <string>
#include <utility>

namespace vizuvod {

// Base of every failure the engine raises; what() is the message text, the
// one the window shows.
class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message, std::string reason = {}, std::string detailed = {})
      : std::runtime_error(message), reason_(std::move(reason)), detailed_(std::move(detailed)) {}

  // The system's reason for a file failure ("Permission denied"), or empty.
  const std::string& Reason() const { return reason_; }
  // The text for vizuvod-batch, which can say more than the window: the
  // message with the reason after it.
  std::string Detailed() const {
    if (!detailed_.empty()) return detailed_;
    return reason_.empty() ? std::string(what()) : what() + (": " + reason_);
  }

 private:
  std::string reason_;
  std::string detailed_;
};

// A picture operation that is not allowed ("Scan line index out of range",
// "Cannot change the size of a JPEG image").
class EInvalidGraphicOperation : public Exception {
 public:
  using Exception::Exception;
};

// No memory or surface for a picture of the asked size.
class EOutOfResources : public Exception {
 public:
  EOutOfResources() : Exception("Out of system resources") {}
  using Exception::Exception;
};

// The JPEG library refused the data; the text carries the library's message code.
class EJPEG : public Exception {
 public:
  explicit EJPEG(int code, std::string detailed = {})
      : Exception("JPEG error #" + std::to_string(code), {}, std::move(detailed)), code_(code) {}
  int Code() const { return code_; }

 private:
  int code_;
};

// A PNG or WebP file its library refused (damaged, cut short, or a picture
// beyond what a photo may be); the text names the format and the reason.
class EPhotoData : public Exception {
 public:
  EPhotoData(const std::string& format, const std::string& reason)
      : Exception(format + " error: " + reason) {}
};

// A file told by its first bytes that begins none of the formats read.
class EUnknownFormat : public Exception {
 public:
  // formats: the formats' labels, as "JPEG, PNG and WebP".
  EUnknownFormat(bool empty, const std::string& formats)
      : Exception(empty ? "Not a photo: the file is empty"
                        : "Not a photo: its first bytes are those of none of " + formats) {}
};

// A result that does not fit the size asked for, even at the lowest quality.
class EResultTooLarge : public Exception {
 public:
  EResultTooLarge(std::uintmax_t limit, std::uintmax_t smallest, int quality = 10)
      : Exception("The result does not fit in " + std::to_string(limit) + " bytes: at quality " +
                  std::to_string(quality) + " it takes " + std::to_string(smallest) + " bytes") {}
};

class EFOpenError : public Exception {
 public:
  explicit EFOpenError(const std::string& path, std::string reason = {})
      : Exception("Cannot open file " + path, std::move(reason)) {}
};

class EFCreateError : public Exception {
 public:
  explicit EFCreateError(const std::string& path, std::string reason = {})
      : Exception("Cannot create file " + path, std::move(reason)) {}

 protected:
  EFCreateError(const std::string& message, std::string reason, std::string detailed)
      : Exception(message, std::move(reason), std::move(detailed)) {}
};

// The finished temporary file could be neither renamed into place nor
// removed (an append-only folder): the user has to remove it.
class ELeftoverTemporary : public EFCreateError {
 public:
  ELeftoverTemporary(const std::string& path, const std::string& temporary,
                     const std::string& reason)
      : EFCreateError(
            "Cannot create file " + path + "; its temporary file " + temporary + " is left behind",
            reason,
            "Cannot create file " + path + ": " + reason + "; its temporary file " + temporary +
                " is left behind") {}
};

// Writing a file's bytes failed part-way (a full disk, a quota, an I/O error);
// the text names the file the user asked for and the system's reason.
class EFWriteError : public Exception {
 public:
  EFWriteError(const std::string& path, const std::string& reason)
      : Exception("Cannot write file " + path + ": " + reason, reason,
                  "Cannot write file " + path + ": " + reason) {}
};

class EReadError : public Exception {
 public:
  EReadError() : Exception("Stream read error") {}
};

class EStreamError : public Exception {
 public:
  EStreamError() : Exception("Out of memory while expanding memory stream") {}

 protected:
  explicit EStreamError(std::string detailed)
      : Exception("Out of memory while expanding memory stream", {}, std::move(detailed)) {}
};

// A file far larger than any photo (a disk image named .jpg). The window
// reads it as it always has, as the memory stream's failure; vizuvod-batch
// says what it is.
class EFileTooLarge : public EStreamError {
 public:
  explicit EFileTooLarge(const std::string& path)
      : EStreamError("Cannot read file " + path +
                     ": File too large (over 1 GiB, no photo is that big)") {}
};

// A photo whose data the library had to complete, refused on request; the
// text carries the library's warning.
class EDamagedPhoto : public Exception {
 public:
  explicit EDamagedPhoto(const std::string& warning) : Exception("Damaged data: " + warning) {}
};

// The run was abandoned (a second Ctrl-C) while this photo was in work.
class EAbandoned : public Exception {
 public:
  EAbandoned() : Exception("Abandoned") {}
};

// Arguments outside what a routine accepts (a target side of 0 or less).
class EInvalidArgument : public Exception {
 public:
  using Exception::Exception;
};

}  // namespace vizuvod
