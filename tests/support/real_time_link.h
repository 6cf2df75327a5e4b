#pragma once
// A form state's pager link run in real time, as the window's QTimers run it: the 40 ms
// protocol tick and the 500 ms connection watch, each while the watch keeps its timer
// running, with sleeps in between. For end-to-end runs against palor-pager-sim over the
// real serial transport.
#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>

#include "ui/vendrel.h"

namespace palor::testing {

// Ticks until `done` holds, at most `limit`; whether it came to hold.
inline bool runLinkUntil(FormState& form, const std::function<bool()>& done,
                         std::chrono::milliseconds limit) {
  using Clock = std::chrono::steady_clock;
  constexpr std::chrono::milliseconds kComClock{40}, kWatch{500};
  const auto deadline = Clock::now() + limit;
  auto nextTick = Clock::now() + kComClock;
  auto nextWatch = Clock::now() + kWatch;
  while (!done()) {
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_until(std::min({nextTick, nextWatch, deadline}));
    const auto now = Clock::now();
    if (now >= nextTick) {
      if (form.window().comClockRunning) form.Com_clockTimer();
      nextTick = std::max(nextTick + kComClock, now + std::chrono::milliseconds(1));
    }
    if (now >= nextWatch) {
      if (form.window().watchSerialRunning) form.watch_serialTimer();
      nextWatch = std::max(nextWatch + kWatch, now + std::chrono::milliseconds(1));
    }
  }
  return true;
}

}  // namespace palor::testing
