// How vizuvod-batch names a result: a pattern such as "Resize of {name}" or
// "{stem}-{size}.{ext}", applied to the photo's file name and the
// result's size; and the reverse, telling whether a file in a photo folder
// is the result an earlier run made of another photo there.
#pragma once

#include <string>
#include <unordered_set>
#include <vector>

#include "formats/ResultFormat.h"
#include "photo/PhotoScan.h"

namespace vizuvod {

class TNamePattern {
 public:
  // Throws TUsageError for a '/' in the pattern, an unknown {field}, an
  // empty pattern or one that makes "." or "..". Results are written in
  // format, which gives {name} and {ext} their extension.
  explicit TNamePattern(const std::string& text, TResultFormat format = TResultFormat::rfJpeg);

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

// "jpeg,png", "all" (every format read): throws TUsageError for an unknown
// format or one not read yet.
TFormats ParseFormats(const std::string& list);

}  // namespace vizuvod
