// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The link clock the programs use, for tests that drive a form's link in real time. The
// fast one runs the window's intervals at a tenth (4 ms and 50 ms), so that a time-out
// period passes in a fraction of a second.
#include <chrono>

#include "ui/link_clock.h"

namespace palor::test {

inline constexpr LinkClock::Intervals kFastTicks{std::chrono::milliseconds(4),
                                                 std::chrono::milliseconds(50)};

// A clock that ticks `form`, at the window's pace unless `intervals` are given.
inline LinkClock clockFor(FormState& form, LinkClock::Intervals intervals = {}) {
  LinkClock clock(intervals);
  clock.add(form);
  return clock;
}

}  // namespace palor::test
