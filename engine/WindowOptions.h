// The window's options (its "Параметры" menu): what each photo of a run asks
// of the engine beyond page 2's settings, as vizuvod-batch's options of the
// same names ask it. Results written in another format or into another
// folder go the way vizuvod-batch writes them under new names: no photo of
// the run and no file an earlier run did not make of that photo is ever
// replaced, two photos never share a result, and a result folder is reached
// through its descriptor, so no link planted in it is followed.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "OutputFolder.h"
#include "PhotoStep.h"
#include "ResizeSettings.h"
#include "ResultFormat.h"
#include "ResultGuard.h"
#include "RowHooks.h"

namespace vizuvod {

struct TWindowOptions {
  bool keepMetadata = false;                   // --keep-metadata
  bool stripLocation = false;                  // --strip-location, with keepMetadata
  bool autoOrient = false;                     // --auto-orient
  bool anyFormat = false;                      // --formats all: photos told by their first bytes
  TResultFormat format = TResultFormat::Jpeg;  // --format
  int quality = 0;                             // --quality; 0 keeps the codec's 90
  std::uintmax_t maxBytes = 0;                 // --max-bytes; 0: no limit
  std::string resultFolder;                    // --output; empty: beside each photo
  bool toSrgb = false;                         // --to-srgb
  bool longEdge = false;   // the fit side may be LongEdgeItem: --long-edge of page 2's size
  bool keepGoing = false;  // --keep-going: a failing photo is listed, the run goes on

  bool operator==(const TWindowOptions&) const = default;
  // Results under new names or in another folder, checked as vizuvod-batch
  // checks them.
  bool Checked() const {
    return anyFormat || format != TResultFormat::Jpeg || !resultFolder.empty();
  }
};

// The fit side the window offers with the long-edge option: the longer side
// of each photo becomes page 2's size, as vizuvod-batch's --long-edge makes it.
inline constexpr const char* LongEdgeItem = "По длинной стороне";

// One run's photos under the options.
class TOptionsRun {
 public:
  // Opens the result folder; throws std::runtime_error when it cannot.
  TOptionsRun(const TWindowOptions& options, const std::vector<std::string>& photos);

  // "Resize of <name>" of photo i of the list, in the result's format, in
  // its place. Throws the engine's exceptions; a refusal (TResultGuard's) says
  // why, and nothing is written then. With the long-edge option, a fit
  // side of LongEdgeItem in pixel mode makes the photo's width or height run.
  TPhotoOutcome Resize(std::size_t i, const TRunSettings& settings, const TRowHooks& hooks);

  // Where a photo's result goes.
  std::string ResultPath(const std::string& photo) const;

 private:
  const TWindowOptions options_;
  const std::vector<std::string> photos_;
  TResultGuard guard_;
  std::optional<TOutputFolder> folder_;
};

}  // namespace vizuvod
