// SPDX-License-Identifier: GPL-3.0-or-later
#include "line_noise.h"

#include <algorithm>

#include "link/frame_receiver.h"
#include "link/link_frame.h"

namespace palor::sim {
namespace {

// A frame is at most 70 bytes: a lead pair this far from the end cannot reach past it.
constexpr std::size_t kQuietTail = kFrameSizeMax;

// Breaks every frame with a matching checksum that a receiver starting at any lead pair
// in `noise` would complete, by changing its last checksum byte; returns whether it broke
// one (the change may make another start, so the caller asks again).
bool breakMatchingFrames(std::uint8_t* noise, std::size_t size) {
  bool broke = false;
  for (std::size_t start = 0; start + 1 < size; ++start) {
    if (noise[start] != kFrameLead || noise[start + 1] != kFrameLead) continue;
    FrameReceiver receiver(isChargerCode);
    for (std::size_t i = start; i < size; ++i) {
      if (!receiver.take(noise[i])) {
        if (receiver.state() == ReceiverState::Hunt1 && i >= start + 2) break;
        continue;
      }
      if (receiver.frame().checksumOk()) {
        std::uint8_t& last = noise[i];
        last = static_cast<std::uint8_t>(last + 1);
        if (last == kFrameLead) ++last;
        broke = true;
      }
      break;
    }
  }
  return broke;
}

}  // namespace

void LineNoise::append(std::size_t count, std::vector<std::uint8_t>& out) {
  const std::size_t begin = out.size();
  const std::size_t loud = count > kQuietTail ? count - kQuietTail : 0;
  std::vector<std::uint8_t> piece;
  while (out.size() - begin < loud) {
    piece.clear();
    switch (byte() % 8) {
      case 0: piece = {kFrameLead, kFrameLead}; break;
      case 1: piece = {kFrameLead, kFrameLead, kFrameLead, acceptedCode(), 0}; break;
      case 2: {
        // Cut short after its length byte and part of its data.
        const std::uint8_t length = byte() % (kFrameDataMax + 1);
        piece = {kFrameLead, kFrameLead, acceptedCode(), length};
        const std::size_t given = length ? byte() % length : 0;
        for (std::size_t i = 0; i < given; ++i) piece.push_back(byte());
        break;
      }
      case 3: {
        std::vector<std::uint8_t> data(byte() % (kFrameDataMax + 1));
        for (auto& b : data) b = byte();
        const FrameBytes frame = buildFrame(acceptedCode(), data);
        piece.assign(frame.bytes.begin(), frame.bytes.begin() + frame.length);
        piece.back() ^= 0x01;
        break;
      }
      default: {
        const std::size_t length = 1 + byte() % 48;
        for (std::size_t i = 0; i < length; ++i) piece.push_back(byte());
        break;
      }
    }
    const std::size_t room = loud - (out.size() - begin);
    out.insert(out.end(), piece.begin(), piece.begin() + std::min(room, piece.size()));
  }
  while (out.size() - begin < count) out.push_back(byteOtherThanLead());
  while (breakMatchingFrames(out.data() + begin, count)) {
  }
}

std::uint8_t LineNoise::byteOtherThanLead() {
  std::uint8_t b = byte();
  return b == kFrameLead ? static_cast<std::uint8_t>(b + 1) : b;
}

std::uint8_t LineNoise::acceptedCode() {
  std::uint8_t c = byte();
  while (!isChargerCode(c)) c = byte();
  return c;
}

}  // namespace palor::sim
