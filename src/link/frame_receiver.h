// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The frame receiver: turns a byte stream into link frames, one byte at a time. Its state
// persists between calls, so a frame may arrive over several feeds. It does not test the
// checksum or look at the data; the frame handler does.
//
// Bytes that do not fit the frame grammar are skipped until the next pair of 0x7E. A code
// the receiver does not accept, and a length above 64 (a frame that would not fit the
// receive frame store), drop the frame and return to Hunt1.
#include <cstdint>

#include "link/link_frame.h"

namespace palor {

enum class ReceiverState : std::uint8_t { Hunt1, Hunt2, Code, Length, Data, CrcHigh, CrcLow };

class FrameReceiver {
 public:
  using AcceptsCode = bool (*)(std::uint8_t);

  // The programmer's receiver accepts the charger's codes; the simulated charger's
  // receiver accepts the programmer's.
  explicit FrameReceiver(AcceptsCode accepts = isChargerCode) : accepts_(accepts) {}

  // Takes one byte. Returns true when it completed a frame, which frame() then holds until
  // the next byte is taken.
  bool take(std::uint8_t b);

  ReceiverState state() const { return state_; }
  const ReceivedFrame& frame() const { return frame_; }

 private:
  AcceptsCode accepts_;
  ReceiverState state_ = ReceiverState::Hunt1;
  ReceivedFrame frame_;
};

}  // namespace palor
