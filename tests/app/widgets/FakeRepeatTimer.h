// A hand-driven clock for the arrows' repeat timers: tests advance time in
// milliseconds and every due tick fires in order, with no real waiting.
#pragma once

#include <algorithm>
#include <memory>
#include <vector>

#include "Spin.h"
#include "core/TestSeams.h"

namespace vizuvod {

class FakeClock {
 public:
  class Timer : public TRepeatTimer {
   public:
    explicit Timer(FakeClock& clock) : clock_(clock) { clock_.timers_.push_back(this); }
    ~Timer() override { std::erase(clock_.timers_, this); }
    void Start(int ms) override {
      interval_ = ms;
      active_ = true;
      due_ = clock_.now_ + ms;
    }
    void SetInterval(int ms) override {
      interval_ = ms;
      if (active_) due_ = clock_.now_ + ms;
    }
    void Stop() override { active_ = false; }
    bool IsActive() const override { return active_; }
    int Interval() const override { return interval_; }

   private:
    friend class FakeClock;
    FakeClock& clock_;
    int interval_ = 0;
    long due_ = 0;
    bool active_ = false;
  };

  long Now() const { return now_; }

  // Moves time forward, firing each tick when it falls due.
  void Advance(long ms) {
    const long end = now_ + ms;
    for (;;) {
      Timer* next = nullptr;
      for (Timer* t : timers_)
        if (t->active_ && t->due_ <= end && (!next || t->due_ < next->due_)) next = t;
      if (!next) break;
      now_ = next->due_;
      next->due_ = now_ + next->interval_;
      if (next->OnTimer) next->OnTimer();
    }
    now_ = end;
  }

 private:
  long now_ = 0;
  std::vector<Timer*> timers_;
  // Last, so it is put back before the timers' list goes.
  TScopedHook<TRepeatTimerFactory> hook_{RepeatTimerHook(),
                                         [this] { return std::make_unique<Timer>(*this); }};
};

}  // namespace vizuvod
