// How vizuvod-batch names a result: a pattern such as "Resize of {name}" or
// "{stem}-{size}.{ext}", applied to the photo's file name and the
// result's size; and the reverse, telling whether a file in a photo folder
// is the result an earlier run made of another photo there.
#pragma once

#include <string>
#include <unordered_set>
#include <vector>

#include "ResultFormat.h"

namespace vizuvod {

class TNamePattern {
 public:
  // Throws TUsageError for a '/' in the pattern, an unknown {field}, an
  // empty pattern or one that makes "." or "..". Results are written in
  // format, which gives {name} and {ext} their extension.
  explicit TNamePattern(const std::string& text, TResultFormat format = TResultFormat::Jpeg);

  // The result's file name for a photo's file name and the result's size:
  // {name} and {ext} are the result's (ResultNameOf), {srcext} the photo's.
  std::string Apply(const std::string& name, int width, int height) const;
  // True when the result's name depends on its size.
  bool UsesSize() const { return usesSize_; }
  TResultFormat Format() const { return format_; }

  // True when `file` is what Apply gives for another photo's name among
  // `names` (the photo names of one folder), whatever the size.
  bool IsResultAmong(const std::string& file, const std::unordered_set<std::string>& names,
                     const std::unordered_set<std::string>& stems) const;

 private:
  enum class TField { tfText, tfName, tfStem, tfExt, tfWidth, tfHeight, tfSize, tfSrcExt };
  struct TPart {
    TField field;
    std::string text;  // for tfText
  };
  struct TBound;
  bool Match(const std::string& file, std::size_t at, std::size_t part, TBound& bound,
             const std::unordered_set<std::string>& names,
             const std::unordered_set<std::string>& stems) const;

  std::vector<TPart> parts_;
  bool usesSize_ = false;
  TResultFormat format_;
};

// The formats --formats widens vizuvod-batch's scan to; none set: the
// wizard's *.jpg alone.
struct TFormats {
  bool jpeg = false, png = false, webp = false, heic = false, avif = false;
  bool Any() const { return jpeg || png || webp || heic || avif; }
  // Every format this build reads: HEIC and AVIF only with libheif.
  static TFormats All();
};
// "jpeg,png", "all" (every format read): throws TUsageError for an unknown
// format or one not read yet.
TFormats ParseFormats(const std::string& list);
// A name --formats takes: not hidden, its extension in any case one of the
// formats' (.jpg .jpeg .jpe, .png, .webp, .heic .heif .hif, .avif).
bool IsFormatName(const std::string& name, const TFormats& formats);

// The result's own file name for a photo's: a JPEG result of a PNG, WebP,
// HEIC or AVIF photo is "<stem>.jpg", and every other name stays as it is; a WebP or
// AVIF result is "<stem>.webp" or "<stem>.avif" whatever the photo's format.
std::string ResultNameOf(const std::string& name, TResultFormat format = TResultFormat::Jpeg);

// A photo's file name without its extension ("IMG 1" of "IMG 1.JPG"), and the
// extension without its dot ("JPG").
std::string StemOf(const std::string& name);
std::string ExtOf(const std::string& name);

}  // namespace vizuvod
