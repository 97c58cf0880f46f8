// The failures of the resize engine: one class per kind, each carrying the
// text the user sees in the error box.
#pragma once

#include <stdexcept>
#include <string>

// Base of every failure the engine raises; what() is the message text.
class Exception : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
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
  explicit EJPEG(int code) : Exception("JPEG error #" + std::to_string(code)), code_(code) {}
  int Code() const { return code_; }

 private:
  int code_;
};

class EFOpenError : public Exception {
 public:
  explicit EFOpenError(const std::string& path) : Exception("Cannot open file " + path) {}
};

class EFCreateError : public Exception {
 public:
  explicit EFCreateError(const std::string& path) : Exception("Cannot create file " + path) {}
};

// Writing a file's bytes failed part-way (a full disk, a quota, an I/O error);
// the text names the file the user asked for and the system's reason.
class EFWriteError : public Exception {
 public:
  EFWriteError(const std::string& path, const std::string& reason)
      : Exception("Cannot write file " + path + ": " + reason) {}
};

class EReadError : public Exception {
 public:
  EReadError() : Exception("Stream read error") {}
};

class EStreamError : public Exception {
 public:
  EStreamError() : Exception("Out of memory while expanding memory stream") {}
};

// Arguments outside what a routine accepts (a target side of 0 or less).
class EInvalidArgument : public Exception {
 public:
  using Exception::Exception;
};
