// The formats a result can be written in.
#pragma once

namespace vizuvod {

enum class TResultFormat { Jpeg, Webp, Avif };

// The extension of a result in that format, without the dot: jpg, webp, avif.
const char* ExtensionOf(TResultFormat format);

}  // namespace vizuvod
