// libjpeg error handling, object lifetimes and the vector destination.
#include "formats/jpeg/JpegLibrary.h"

#include <cstdlib>
#include <exception>
#include <new>

#include "core/Errors.h"

namespace vizuvod {

namespace {

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
  TJpegErrorManager& err = TJpegErrorManager::Of(cinfo);
  // Every library call is guarded; an error outside one would jump into a
  // finished frame, so stop instead.
  if (!err.armed) std::abort();
  std::longjmp(err.jump, 1);
}

// Warnings (corrupt data, a premature end) do not stop the work; their texts
// are kept, a few at most, for a caller that reports damage. Trace messages
// (levels 0 and up) are dropped, and nothing is printed.
void EmitMessage(j_common_ptr cinfo, int level) {
  if (level >= 0) return;
  TJpegErrorManager& err = TJpegErrorManager::Of(cinfo);
  ++err.pub.num_warnings;
  if (err.warnings.size() >= 4 || !err.libraryFormat) return;
  char text[JMSG_LENGTH_MAX];
  err.libraryFormat(cinfo, text);
  for (const std::string& w : err.warnings)
    if (w == text) return;
  try {
    err.warnings.emplace_back(text);
  } catch (...) {
    // A warning lost to a full memory is not worth failing the photo for.
  }
}
void OutputMessage(j_common_ptr) {}
void FormatMessage(j_common_ptr, char* buffer) { buffer[0] = '\0'; }

struct TMemoryDestination {
  jpeg_destination_mgr pub;  // first, as the library expects
  TJpegOutput* out;
  std::size_t initialSize;
};

TMemoryDestination& DestinationOf(j_compress_ptr cinfo) {
  return *reinterpret_cast<TMemoryDestination*>(cinfo->dest);
}

// Gives the encoder the bytes from used up to size. A failed allocation
// leaves by the error exit, with a mark so that the caller reports the
// buffer's own error.
void GrowTo(j_compress_ptr cinfo, std::size_t used, std::size_t size) {
  TMemoryDestination& d = DestinationOf(cinfo);
  void* grown = std::realloc(d.out->data, size);
  if (!grown) {
    TJpegErrorManager::Of(reinterpret_cast<j_common_ptr>(cinfo)).bufferFailed = true;
    ERREXIT(cinfo, JERR_OUT_OF_MEMORY);
  }
  d.out->data = static_cast<std::uint8_t*>(grown);
  d.out->capacity = size;
  d.pub.next_output_byte = d.out->data + used;
  d.pub.free_in_buffer = size - used;
}

void InitDestination(j_compress_ptr cinfo) {
  DestinationOf(cinfo).out->size = 0;
  GrowTo(cinfo, 0, DestinationOf(cinfo).initialSize);
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
  // The library calls this only when the whole buffer is full.
  const std::size_t used = DestinationOf(cinfo).out->capacity;
  GrowTo(cinfo, used, used * 2);
  return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
  TMemoryDestination& d = DestinationOf(cinfo);
  d.out->size = d.out->capacity - d.pub.free_in_buffer;
}

}  // namespace

TJpegErrorManager::TJpegErrorManager() {
  jpeg_std_error(&pub);
  libraryFormat = pub.format_message;
  pub.error_exit = ErrorExit;
  pub.emit_message = EmitMessage;
  pub.output_message = OutputMessage;
  pub.format_message = FormatMessage;
}

void TJpegErrorManager::Raise() {
  armed = false;
  if (bufferFailed) throw EStreamError();
  if (abandoned) throw EAbandoned();
  throw EJPEG(pub.msg_code);
}

template <class Info>
TJpegObject<Info>::TJpegObject() {
  info_.err = &err_.pub;
  // A failed create leaves no memory behind, so the throw needs no clean-up.
  JpegGuarded(err_, [this] {
    if constexpr (std::is_same_v<Info, jpeg_decompress_struct>)
      jpeg_create_decompress(&info_);
    else
      jpeg_create_compress(&info_);
  });
}

template <class Info>
TJpegObject<Info>::~TJpegObject() {
  if constexpr (std::is_same_v<Info, jpeg_decompress_struct>)
    jpeg_destroy_decompress(&info_);
  else
    jpeg_destroy_compress(&info_);
}

template class TJpegObject<jpeg_decompress_struct>;
template class TJpegObject<jpeg_compress_struct>;

TJpegOutput::~TJpegOutput() { std::free(data); }

std::vector<std::uint8_t> TJpegOutput::Bytes() const {
  try {
    return std::vector<std::uint8_t>(data, data + size);
  } catch (const std::bad_alloc&) {
    throw EStreamError();
  }
}

void JpegMemoryDestination(j_compress_ptr cinfo, TJpegOutput& out, std::size_t initialSize) {
  auto* d = static_cast<TMemoryDestination*>((*cinfo->mem->alloc_small)(
      reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(TMemoryDestination)));
  d->pub.init_destination = InitDestination;
  d->pub.empty_output_buffer = EmptyOutputBuffer;
  d->pub.term_destination = TermDestination;
  d->pub.next_output_byte = nullptr;
  d->pub.free_in_buffer = 0;
  d->out = &out;
  d->initialSize = initialSize < 4096 ? 4096 : initialSize;
  cinfo->dest = &d->pub;
}

}  // namespace vizuvod
