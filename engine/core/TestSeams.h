// The process-wide seams tests use to stand in for the file system, the
// screen, the clock and the modal boxes, and the one way to set them.
//
// Each seam is a slot reached through a function that returns a reference
// to it, named for what it replaces and ending in "Hook". Its default value
// means the real service. A test sets a seam only through a TScopedHook,
// which puts the previous value back when it goes out of scope, so no test
// leaks its stand-in into the next. Set none while a run's threads work.
//
//   FileCallsHook()       engine/files/SafeFiles.h       rename, unlink and linkat of a save
//   HeifWholeGridHook()   engine/formats/heif/HeifGrid.h HEIF grids by strips of tiles
//   BeepHook()            app/widgets/WidgetsPlatform.h  the default beep
//   ScreenHook()          app/widgets/WidgetsPlatform.h  the screen's rectangle
//   WorkAreaHook()        app/widgets/WidgetsPlatform.h  the screen's work area
//   RepeatTimerHook()     app/widgets/Spin.h             the maker of arrow repeat timers
//   MessageBoxHook()      app/MessageBoxes.h             the warning and error boxes
//
// One seam keeps a scoped class of its own, since setting it checks the
// processor: TScopedKernelPath (engine/resample/Kernels.h), the resamplers' kernels.
#pragma once

#include <type_traits>
#include <utility>

namespace vizuvod {

template <class T>
class TScopedHook {
 public:
  TScopedHook(T& slot, std::type_identity_t<T> value)
      : slot_(slot), previous_(std::exchange(slot, std::move(value))) {}
  ~TScopedHook() { slot_ = std::move(previous_); }
  TScopedHook(const TScopedHook&) = delete;
  TScopedHook& operator=(const TScopedHook&) = delete;

 private:
  T& slot_;
  T previous_;
};

}  // namespace vizuvod
