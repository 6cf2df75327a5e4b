// SPDX-License-Identifier: GPL-3.0-or-later
#include "line_pacer.h"

#include <algorithm>

namespace palor::sim {

void LinePacer::add(std::span<const std::uint8_t> bytes, Clock::time_point now) {
  if (bytes.empty()) return;
  // A line that fell silent starts again now, but not before the last byte has left.
  if (waiting_.empty()) nextByte_ = std::max(nextByte_, now);
  waiting_.insert(waiting_.end(), bytes.begin(), bytes.end());
}

std::span<const std::uint8_t> LinePacer::sendable(Clock::time_point now) const {
  if (full_ || waiting_.empty()) return {};
  if (!paced_) return waiting_;
  if (now < nextByte_) return {};
  // A loop that woke late sends the bytes that fell due meanwhile, keeping the rate.
  const auto due = static_cast<std::size_t>(1 + (now - nextByte_) / kByteTime);
  return std::span(waiting_).first(std::min(due, waiting_.size()));
}

void LinePacer::sent(std::size_t written, std::size_t offered) {
  written = std::min(written, waiting_.size());
  waiting_.erase(waiting_.begin(), waiting_.begin() + static_cast<std::ptrdiff_t>(written));
  if (paced_) nextByte_ += kByteTime * static_cast<long>(written);
  if (written < offered) full_ = true;
}

void LinePacer::roomAgain(Clock::time_point now) {
  full_ = false;
  if (paced_) nextByte_ = std::max(nextByte_, now);
}

std::optional<Clock::time_point> LinePacer::nextDue() const {
  if (!paced_ || full_ || waiting_.empty()) return std::nullopt;
  return nextByte_;
}

}  // namespace palor::sim
