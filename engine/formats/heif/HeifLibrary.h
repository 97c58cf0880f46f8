// What the HEIF decoders share of libheif: owners of its objects and its
// errors turned into the engine's.
#pragma once

#ifdef VIZUVOD_HEIF

#include <libheif/heif.h>

#include <string>

#include "core/Errors.h"

namespace vizuvod {

struct TContextFree {
  void operator()(heif_context* c) const { heif_context_free(c); }
};
struct THandleFree {
  void operator()(heif_image_handle* h) const { heif_image_handle_release(h); }
};
struct TImageFree {
  void operator()(heif_image* i) const { heif_image_release(i); }
};
struct TOptionsFree {
  void operator()(heif_decoding_options* o) const { heif_decoding_options_free(o); }
};

// libheif's reason, without the line end some of its messages carry.
inline void CheckHeif(heif_error error) {
  if (error.code == heif_error_Ok) return;
  std::string reason = error.message ? error.message : "";
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == ' ')) reason.pop_back();
  throw EPhotoData("HEIF", reason.empty() ? "decoding failed" : reason);
}

}  // namespace vizuvod

#endif
