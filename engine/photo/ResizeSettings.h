// What page 2 asks for and what it means for one photo: the settings as the
// window (or vizuvod-batch) gives them, the checks made before a run, and
// the case the settings select for a picture of a given size. The size
// arithmetic is done in extended precision with round-half-even, as on the
// platform the wizard first shipped on, so the sizes (and the bytes) match.
#pragma once

#include <optional>
#include <string>

namespace vizuvod {

enum class TResizeMode {
  rmPercent,  // "Процент от оригинала:" is checked
  rmPixels,   // "Размер в пикселях:" is checked
};

// The settings of page 2. A run reads them anew each time a step tests or
// uses one, so a change made while messages are pumped counts from the next
// reading on.
class TRunSettings {
 public:
  virtual ~TRunSettings() = default;
  virtual TResizeMode Mode() const = 0;
  virtual int P() const = 0;  // the percentage field
  virtual int N() const = 0;  // the pixel size field
  // The text of "Сохранять пропорции по:" and its items 0 and 1.
  virtual std::string FitSideText() const = 0;
  virtual std::string FitSideItem(int index) const = 0;
};

// The two items of the fit-side box.
inline constexpr const char* FitWidthItem = "По ширине";
inline constexpr const char* FitHeightItem = "По высоте";

// The fit side the window offers with the long-edge option: the longer side
// of each photo becomes page 2's size, as vizuvod-batch's --long-edge makes it.
inline constexpr const char* LongEdgeItem = "По длинной стороне";

// Settings fixed once, for vizuvod-batch and tests.
class TFixedSettings : public TRunSettings {
 public:
  TResizeMode mode = TResizeMode::rmPercent;
  int percent = 0;
  int pixels = 0;
  std::string fitSide;

  static TFixedSettings Percent(int p);
  static TFixedSettings FitWidth(int n);
  static TFixedSettings FitHeight(int n);
  bool operator==(const TFixedSettings& other) const;

  TResizeMode Mode() const override { return mode; }
  int P() const override { return percent; }
  int N() const override { return pixels; }
  std::string FitSideText() const override { return fitSide; }
  std::string FitSideItem(int index) const override {
    return index == 0 ? FitWidthItem : index == 1 ? FitHeightItem : "";
  }
};

// The warning shown instead of running when the active mode's value is 0 or
// less; empty when the settings can run. A percentage of 100 passes here: the
// settings page refuses it with its own warning, and a run with it writes nothing.
std::optional<std::string> RunSettingsWarning(const TRunSettings& settings);

// The settings page's own refusals before page 3: a percentage of 100, and
// pixel mode without a side to keep the proportions by; either would write
// nothing.
std::optional<std::string> SettingsPageWarning(const TRunSettings& settings);

// One of a photo's four cases as the settings select it, for a source of
// the given size: a shrink into width x height, or an enlargement by
// EnlargeBitmap's arguments (whose size it computes the way EnlargeBitmap
// does, failing the same way).
struct TResizeCase {
  int k = 0;  // 0-3: percentage below 100, above 100, fit the width, fit the height
  bool shrink = false;
  int width = 0, height = 0;
  const char* mode = "";
  float scaleX = 0, scaleY = 0, toWidth = 0, toHeight = 0;
};

// Case k if the settings, read now, select it for a SW x SH source. Throws
// EInvalidArgument with the settings warning for a value of 0 or less.
std::optional<TResizeCase> SelectCase(int k, const TRunSettings& settings, int SW, int SH);

}  // namespace vizuvod
