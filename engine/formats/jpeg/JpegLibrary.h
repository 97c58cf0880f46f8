// The codec's hold on libjpeg: compression and decompression objects that are
// always destroyed, an error exit that reaches the caller as EJPEG, warnings
// that do not stop the work but are kept for the caller, and a destination that encodes straight
// into memory.
//
// The library is C: a C++ exception thrown from its error exit would have to
// cross its frames, which is not safe. So every library call runs under
// JpegGuarded: the error exit long-jumps back to that call's own C++ frame,
// and the exception is thrown from there.
#pragma once

#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <string>
#include <type_traits>
#include <vector>

// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

namespace vizuvod {

struct TJpegErrorManager {
  jpeg_error_mgr pub;  // first, so the library's err pointer is ours too
  std::jmp_buf jump;
  bool armed = false;         // a guarded call is running; jump is live
  bool bufferFailed = false;  // the output buffer could not grow
  bool abandoned = false;     // the progress hook saw AbandonRequested
  // The library's texts of the warnings it gave (damaged data), each once.
  std::vector<std::string> warnings;
  void (*libraryFormat)(j_common_ptr, char*) = nullptr;

  TJpegErrorManager();
  // Throws what the library reported: EStreamError when our buffer could
  // not grow, EAbandoned when the work was abandoned, otherwise EJPEG with
  // the library's message code.
  [[noreturn]] void Raise();

  static TJpegErrorManager& Of(j_common_ptr cinfo) {
    return *reinterpret_cast<TJpegErrorManager*>(cinfo->err);
  }
};
static_assert(std::is_standard_layout_v<TJpegErrorManager>);

// Runs call() with the error exit armed. call must keep no object with a
// destructor alive across the library call: the long jump would skip it.
template <class Call>
auto JpegGuarded(TJpegErrorManager& err, Call&& call) {
  if (setjmp(err.jump) != 0) err.Raise();
  err.armed = true;
  if constexpr (std::is_void_v<decltype(call())>) {
    call();
    err.armed = false;
  } else {
    auto result = call();
    err.armed = false;
    return result;
  }
}

// A compression or decompression object (Info is jpeg_compress_struct or
// jpeg_decompress_struct), created at construction (EJPEG when the library
// cannot) and destroyed with its whole memory however the work ended.
template <class Info>
class TJpegObject {
 public:
  TJpegObject();
  ~TJpegObject();
  TJpegObject(const TJpegObject&) = delete;
  TJpegObject& operator=(const TJpegObject&) = delete;

  Info* operator->() { return &info_; }
  Info* get() { return &info_; }
  const std::vector<std::string>& Warnings() const { return err_.warnings; }
  // Runs call(info) as one guarded library call.
  template <class Call>
  auto operator()(Call&& call) {
    return JpegGuarded(err_, [&] { return call(&info_); });
  }

 private:
  TJpegErrorManager err_;
  Info info_{};
};
extern template class TJpegObject<jpeg_decompress_struct>;
extern template class TJpegObject<jpeg_compress_struct>;
using TJpegDecompressor = TJpegObject<jpeg_decompress_struct>;
using TJpegCompressor = TJpegObject<jpeg_compress_struct>;

// The encoder's output in memory, taken with malloc and grown with realloc
// but never filled beforehand: only the bytes written touch memory, though
// the first guess (half a byte a pixel) is mostly never used. Freed with the
// object, however the encoding ended.
class TJpegOutput {
 public:
  TJpegOutput() = default;
  ~TJpegOutput();
  TJpegOutput(const TJpegOutput&) = delete;
  TJpegOutput& operator=(const TJpegOutput&) = delete;

  // A copy of the bytes written; EStreamError when there is no memory for it.
  std::vector<std::uint8_t> Bytes() const;

  std::uint8_t* data = nullptr;
  std::size_t capacity = 0;
  std::size_t size = 0;  // the encoded length, once the encoder is done
};

// Makes out the destination: emptied, then filled by the encoder, starting
// at initialSize and doubling, and cut to the encoded length at the end.
// Call it guarded (it allocates from the library's pool).
void JpegMemoryDestination(j_compress_ptr cinfo, TJpegOutput& out, std::size_t initialSize);

}  // namespace vizuvod
