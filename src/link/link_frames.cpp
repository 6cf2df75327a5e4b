// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/link_frames.h"

namespace palor {

LinkFrames::LinkFrames(ReceiveRing& ring, Transmit transmit,
                       std::span<const std::uint8_t, kImageSize> writeImage)
    : ring_(ring), transmit_(std::move(transmit)), writeImage_(writeImage) {}

void LinkFrames::SendCommand(std::uint8_t code) {
  transmitStore_ = buildFrame(code);
  SendAgain();
}

void LinkFrames::BuildWriteBlock(std::uint8_t code) {
  transmitStore_ =
      buildFrame(code, writeImage_.subspan(code::blockOf(code) * kBlockSize, kBlockSize));
}

void LinkFrames::SendAgain() {
  if (transmitStore_.length == 0 || !transmit_) return;
  transmit_(transmitStore_.view());
}

void LinkFrames::FeedReceiver() {
  // Only bytes the write index has passed are taken; bytes that arrive meanwhile wait for
  // the next feed.
  const std::uint16_t end = ring_.writeIndex();
  std::uint16_t at = ring_.readIndex();
  while (at != end) {
    const std::uint8_t b = ring_.at(at);
    at = ReceiveRing::next(at);
    ring_.setReadIndex(at);
    if (receiver_.take(b) && handler_) handler_(receiver_.frame());
  }
}

}  // namespace palor
