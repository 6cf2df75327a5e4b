#pragma once
// Runs a form state's pager link in real time, as the window's two timers and its device
// notifier would, only with shorter ticks so that a time-out period passes in a fraction
// of a second: Com_clock every `tick`, watch_serial every 12.5 ticks, each only while the
// window says it runs, and the device monitor's events as soon as they come.
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <functional>

#include "ui/vendrel.h"

namespace palor::testing {

class RealTimeLink {
 public:
  using Clock = std::chrono::steady_clock;

  explicit RealTimeLink(FormState& form, std::chrono::milliseconds tick = std::chrono::milliseconds(4))
      : form_(form), tick_(tick), watchPeriod_(tick * 25 / 2) {}

  // Runs until `done` holds; whether it did within `limit`.
  bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    auto nextTick = Clock::now() + tick_;
    auto nextWatch = Clock::now() + watchPeriod_;
    while (!done()) {
      const auto now = Clock::now();
      if (now >= deadline) return false;
      const auto wake = std::min({nextTick, nextWatch, deadline});
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(wake - now).count();
      pollfd monitor{form_.link().deviceMonitorFd(), POLLIN, 0};
      // A negative descriptor is ignored by poll, which then only sleeps.
      if (::poll(&monitor, 1, static_cast<int>(std::max<long long>(left, 0))) > 0 &&
          (monitor.revents & POLLIN)) {
        form_.DeviceChange();
        continue;
      }
      const auto after = Clock::now();
      if (after >= nextTick) {
        if (form_.window().comClockRunning) form_.Com_clockTimer();
        nextTick += tick_;
      }
      if (after >= nextWatch) {
        if (form_.window().watchSerialRunning) form_.watch_serialTimer();
        nextWatch += watchPeriod_;
      }
    }
    return true;
  }

  // Runs `watchTicks` watch periods, whatever happens.
  void runFor(int watchTicks) {
    runUntil([] { return false; }, std::chrono::duration_cast<std::chrono::milliseconds>(watchPeriod_ * watchTicks));
  }

 private:
  FormState& form_;
  std::chrono::milliseconds tick_;
  std::chrono::milliseconds watchPeriod_;
};

}  // namespace palor::testing
