// SPDX-License-Identifier: GPL-3.0-or-later
#include "line_pacer.h"

#include <gtest/gtest.h>

namespace palor::sim {
namespace {

using namespace std::chrono_literals;

const Clock::time_point t0{1s};
const std::vector<std::uint8_t> frame(70, 0x7E);  // one read block reply

// Paced, a byte leaves every 173.6 us: the 70 bytes of a block reply take about 12.2 ms,
// well inside one 40 ms tick of the programmer.
TEST(LinePacer, PacedBytesLeaveAtTheLineRate) {
  EXPECT_EQ(kByteTime.count(), 173'611);
  LinePacer line(true);
  line.add(frame, t0);
  const struct {
    Clock::duration at;
    std::size_t sendable;  // bytes due by then, with none sent yet
  } cases[] = {
      {-1ns, 0},  // nothing before it was added
      {0ns, 1},   // the first byte at once
      {kByteTime - 1ns, 1},
      {kByteTime, 2},
      {kByteTime * 69, 70},  // the last byte starts 69 byte times after the first
      {1s, 70},              // a late loop never sends more than is waiting
  };
  for (const auto& c : cases)
    EXPECT_EQ(line.sendable(t0 + c.at).size(), c.sendable) << c.at.count() << " ns";

  // A loop that woke late sends what fell due and keeps the rate for the rest.
  line.sent(10, 10);
  EXPECT_EQ(line.nextDue(), t0 + kByteTime * 10);
  EXPECT_TRUE(line.sendable(t0 + kByteTime * 10 - 1ns).empty());
  line.sent(line.sendable(t0 + 20ms).size(), 60);
  EXPECT_EQ(line.waiting(), 0u);
  EXPECT_EQ(line.nextDue(), std::nullopt);

  // A frame added while the last byte is still on the line waits for it; one added after
  // a silence starts at once.
  line.add(frame, t0 + 1ms);
  EXPECT_EQ(line.nextDue(), t0 + kByteTime * 70);
  line.sent(70, 70);
  line.add(frame, t0 + 1s);
  EXPECT_EQ(line.nextDue(), t0 + 1s);
}

// A terminal that takes a write only in part, or none of it, is full: the rest waits for
// room, not for a time. Unpaced, it then goes at once, however far the paced schedule
// would have run ahead; paced, it goes on at the line rate from then, without a burst.
TEST(LinePacer, AFullTerminalIsWaitedForNeverTimed) {
  const std::vector<std::uint8_t> lots(10'000, 0x55);
  for (const bool paced : {false, true}) {
    SCOPED_TRACE(paced ? "paced" : "unpaced");
    LinePacer line(paced);
    line.add(lots, t0);
    const Clock::time_point later = t0 + 10s;  // everything is due by now, paced or not
    const auto offered = line.sendable(later).size();
    EXPECT_EQ(offered, lots.size());
    line.sent(4000, offered);  // a short write
    EXPECT_TRUE(line.waitingForRoom());
    EXPECT_TRUE(line.sendable(later).empty());
    EXPECT_EQ(line.nextDue(), std::nullopt) << "no timer while waiting for room";

    line.roomAgain(later);
    EXPECT_FALSE(line.waitingForRoom());
    EXPECT_EQ(line.sendable(later).size(), paced ? 1u : 6000u);
    EXPECT_EQ(line.nextDue(), paced ? std::optional(later) : std::nullopt);

    line.full();  // a write refused with EAGAIN
    EXPECT_TRUE(line.waitingForRoom());
    EXPECT_TRUE(line.sendable(later + 1s).empty());
  }
}

}  // namespace
}  // namespace palor::sim
