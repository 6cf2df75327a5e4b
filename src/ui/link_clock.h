// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window's two link timers and its device notifier, in real time, for programs without
// an event loop: Com_clock every 40 ms and watch_serial every 500 ms, each only while the
// window says it runs, and between ticks a sleep that any of a set of descriptors ends (a
// form's device monitor, a signal's wake-up pipe). One clock drives any number of forms at
// once, each on its own link, all on the same ticks. A tick that comes late is fired once
// and the ones it missed are skipped, as QTimer does, so the ticks keep their pace.
#include <chrono>
#include <functional>
#include <vector>

namespace palor {

class FormState;

class LinkClock {
 public:
  using Clock = std::chrono::steady_clock;
  using Interval = std::chrono::milliseconds;

  // The window's intervals; tests may shorten both to let a time-out period pass sooner.
  struct Intervals {
    Interval comClock{40};
    Interval watchSerial{500};
  };

  LinkClock() = default;
  explicit LinkClock(Intervals intervals) : intervals_(intervals) {}

  // Ticks `form` and hands it its device monitor's reports, until it is removed.
  void add(FormState& form);
  void remove(FormState& form);

  // Calls `ready` whenever `fd` can be read; the callback must take what woke it.
  void watch(int fd, std::function<void()> ready);
  void unwatch(int fd);

  // Ticks until `done` holds (true) or `limit` has passed (false). `done` is asked before
  // every sleep and after every wake-up.
  bool runUntil(const std::function<bool()>& done, Clock::duration limit);
  // Ticks for `period`, whatever happens.
  void runFor(Clock::duration period);

  const Intervals& intervals() const { return intervals_; }

 private:
  struct Watched {
    int fd;
    std::function<void()> ready;
  };
  // Sleeps until `until` or until a descriptor is ready, then serves the ready ones.
  void sleepUntil(Clock::time_point until);

  Intervals intervals_;
  std::vector<FormState*> forms_;
  std::vector<Watched> watched_;
};

}  // namespace palor
