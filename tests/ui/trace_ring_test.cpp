// SPDX-License-Identifier: GPL-3.0-or-later
// The window's trace ring: frames in both directions with their times, the oldest given up
// once 2,000 are kept.
#include "ui/trace_ring.h"

#include <gtest/gtest.h>

#include <vector>

namespace palor {
namespace {

using std::chrono::milliseconds;

TEST(TraceRing, KeepsTheLast2000FramesWithTheirTimes) {
  TraceRing ring;
  const std::vector<std::uint8_t> poll{0x32, 0x00, 0x32, 0x00};
  const std::vector<std::uint8_t> present{0x31, 0x00, 0x31, 0x00};
  ring.sent(milliseconds(1520), poll);
  ring.received(milliseconds(1531), present);
  EXPECT_EQ(ring.text(), "1520 > 32 00 32 00\n1531 < 7E 7E 31 00 31 00\n");

  for (int i = 2; i < 2001; ++i) ring.sent(milliseconds(1520 + i), poll);
  EXPECT_EQ(ring.size(), TraceRing::kCapacity);
  const std::string text = ring.text();
  EXPECT_TRUE(text.starts_with("1531 < ")) << "the oldest frame is given up first";
  EXPECT_TRUE(text.ends_with("3520 > 32 00 32 00\n"));
}

}  // namespace
}  // namespace palor
