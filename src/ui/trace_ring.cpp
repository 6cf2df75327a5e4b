// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/trace_ring.h"

namespace palor {

void TraceRing::sent(std::chrono::milliseconds at, std::span<const std::uint8_t> frame) {
  add(at, '>', frame, false);
}

void TraceRing::received(std::chrono::milliseconds at, std::span<const std::uint8_t> frame) {
  add(at, '<', frame, true);
}

void TraceRing::add(std::chrono::milliseconds at, char direction,
                    std::span<const std::uint8_t> bytes, bool lead) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string line = std::to_string(at.count()) + ' ' + direction + (lead ? " 7E 7E" : "");
  for (const std::uint8_t b : bytes) {
    line += ' ';
    line += kDigits[b >> 4];
    line += kDigits[b & 0x0F];
  }
  if (lines_.size() == kCapacity) lines_.pop_front();
  lines_.push_back(std::move(line));
}

std::string TraceRing::text() const {
  std::string all;
  for (const std::string& line : lines_) all += line + '\n';
  return all;
}

}  // namespace palor
