// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/frame_receiver.h"

namespace palor {

bool FrameReceiver::take(std::uint8_t b) {
  auto store = [this](std::uint8_t byte) { frame_.bytes[frame_.count++] = byte; };
  switch (state_) {
    case ReceiverState::Hunt1:
      if (b == kFrameLead) state_ = ReceiverState::Hunt2;
      return false;
    case ReceiverState::Hunt2:
      state_ = b == kFrameLead ? ReceiverState::Code : ReceiverState::Hunt1;
      return false;
    case ReceiverState::Code:
      if (accepts_(b)) {
        frame_.count = 0;
        store(b);
        state_ = ReceiverState::Length;
      } else {
        state_ = ReceiverState::Hunt1;
      }
      return false;
    case ReceiverState::Length:
      if (b > kFrameDataMax) {
        state_ = ReceiverState::Hunt1;
        return false;
      }
      store(b);
      state_ = b == 0 ? ReceiverState::CrcHigh : ReceiverState::Data;
      return false;
    case ReceiverState::Data:
      store(b);
      if (frame_.count == 2u + frame_.length()) state_ = ReceiverState::CrcHigh;
      return false;
    case ReceiverState::CrcHigh:
      store(b);
      state_ = ReceiverState::CrcLow;
      return false;
    case ReceiverState::CrcLow:
      store(b);
      state_ = ReceiverState::Hunt1;
      return true;
  }
  state_ = ReceiverState::Hunt1;
  return false;
}

}  // namespace palor
