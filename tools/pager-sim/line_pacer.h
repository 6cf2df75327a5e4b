// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The simulator's sending side of the serial line: the bytes waiting to go to the
// programmer, and when each of them may go.
//
// Paced, the bytes leave one per byte time of the charger's line (start bit, 8 data bits,
// stop bit at 57600 bit/s: about 173.6 us), as the charger's UART sends them; a frame of
// 70 bytes takes about 12.2 ms. Unpaced, everything waiting goes at once. Either way, a
// write that the terminal takes only in part means that the terminal is full: the rest
// waits until it has room again, never for a time.
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "charger_device.h"

namespace palor::sim {

inline constexpr std::chrono::nanoseconds kByteTime{1'000'000'000LL * 10 / 57600};

class LinePacer {
 public:
  explicit LinePacer(bool paced) : paced_(paced) {}

  // Bytes to send after those already waiting.
  void add(std::span<const std::uint8_t> bytes, Clock::time_point now);
  // The waiting bytes that may be written now; none while the terminal is full.
  std::span<const std::uint8_t> sendable(Clock::time_point now) const;
  // The terminal took `written` of the `offered` sendable bytes; fewer means it is full.
  void sent(std::size_t written, std::size_t offered);
  // The terminal refused a write for lack of room (EAGAIN).
  void full() { full_ = true; }
  // The terminal has room again. A paced line goes on at its rate from now: the time spent
  // waiting earns no burst.
  void roomAgain(Clock::time_point now);

  // Bytes wait for room in the terminal: the caller should wait until it is writable.
  bool waitingForRoom() const { return full_ && !waiting_.empty(); }
  // When the next waiting byte falls due; only a paced line with room has such a time.
  std::optional<Clock::time_point> nextDue() const;
  std::size_t waiting() const { return waiting_.size(); }

 private:
  bool paced_;
  bool full_ = false;
  std::vector<std::uint8_t> waiting_;
  Clock::time_point nextByte_{};  // paced: when the first waiting byte may start
};

}  // namespace palor::sim
