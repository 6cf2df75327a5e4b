// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the programmer's receive side as the serial link would deliver
// them: into the receive ring, with FeedReceiver run after every chunk. The first input
// byte sets the chunk size (1..255 bytes, or, for 0, the rest of the input at once, which
// may overrun the ring as a stalled reader would). Every delivered frame must fit the
// receive frame store, carry at most 64 data bytes and be exactly code, length, data and
// two checksum bytes long. The charger's receiver, which accepts the other direction's
// codes, takes the same bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "link/frame_receiver.h"
#include "link/link_frames.h"
#include "link/receive_ring.h"

namespace {

using palor::ReceivedFrame;

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  std::abort();
}

void checkStore(const ReceivedFrame& frame) {
  if (frame.count > frame.bytes.size()) fail("receive frame store overrun");
}

void checkDelivered(const ReceivedFrame& frame) {
  checkStore(frame);
  if (frame.length() > palor::kFrameDataMax) fail("frame longer than 64 data bytes");
  if (frame.count != frame.length() + 4u) fail("frame count does not match its length");
  if (frame.data().size() != frame.length()) fail("frame data does not match its length");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t chunk = data[0] == 0 ? size : data[0];
  ++data;
  --size;

  palor::ReceiveRing ring;
  static const palor::ConfigImage writeImage{};
  palor::LinkFrames frames(ring, {}, writeImage);
  std::size_t delivered = 0;
  frames.setFrameHandler([&](const ReceivedFrame& frame) {
    checkDelivered(frame);
    ++delivered;
  });

  for (std::size_t at = 0; at < size; at += chunk) {
    for (std::size_t i = at; i < size && i < at + chunk; ++i) ring.store(data[i]);
    ring.setDataReady(true);
    if (ring.takeDataReady()) frames.FeedReceiver();
    checkStore(frames.receiveStore());
    if (ring.pending() != 0) fail("bytes left in the ring after a feed");
  }
  // Every frame takes at least six bytes.
  if (delivered > size / 6) fail("more frames than the bytes can carry");

  palor::FrameReceiver charger(palor::isProgrammerCode);
  for (std::size_t i = 0; i < size; ++i) {
    if (charger.take(data[i])) checkDelivered(charger.frame());
    checkStore(charger.frame());
  }
  return 0;
}
