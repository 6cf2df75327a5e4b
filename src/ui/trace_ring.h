// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window's always-on trace: the last 2,000 frames sent and received, each with its time,
// kept in memory only (no file), for the support file. The caller gives the times: the ring
// reads no clock.
#include <chrono>
#include <cstdint>
#include <deque>
#include <span>
#include <string>

namespace palor {

class TraceRing {
 public:
  static constexpr std::size_t kCapacity = 2000;

  // A frame handed to the port at `at` (time since the window started).
  void sent(std::chrono::milliseconds at, std::span<const std::uint8_t> frame);
  // A frame received (its bytes after the two lead bytes).
  void received(std::chrono::milliseconds at, std::span<const std::uint8_t> frame);

  std::size_t size() const { return lines_.size(); }
  // Oldest first, one frame a line: "1520 > 7E 7E 32 00 32 00", "1530 < 7E 7E 31 ...".
  std::string text() const;

 private:
  void add(std::chrono::milliseconds at, char direction, std::span<const std::uint8_t> bytes,
           bool lead);
  std::deque<std::string> lines_;
};

}  // namespace palor
