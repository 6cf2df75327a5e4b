// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The programmer's side of the link frames: the transmit frame store with SendCommand,
// BuildWriteBlock and SendAgain, and the receive side, FeedReceiver, which takes the
// received bytes out of the receive ring and hands every completed frame to the frame
// handler at once. Everything here runs on the user-interface thread.
#include <cstdint>
#include <functional>
#include <span>

#include "link/frame_receiver.h"
#include "link/link_frame.h"
#include "link/receive_ring.h"

namespace palor {

class LinkFrames {
 public:
  // Hands bytes to the serial transport; the outcome is not used.
  using Transmit = std::function<bool(std::span<const std::uint8_t>)>;
  // Called for every completed frame, checksum good or not.
  using FrameHandler = std::function<void(const ReceivedFrame&)>;

  // writeImage is the 1024-byte write image that BuildWriteBlock takes its blocks from.
  LinkFrames(ReceiveRing& ring, Transmit transmit,
             std::span<const std::uint8_t, kImageSize> writeImage);

  void setFrameHandler(FrameHandler handler) { handler_ = std::move(handler); }

  // Builds the command frame for a code without data in the transmit frame store and
  // sends it.
  void SendCommand(std::uint8_t code);
  // Builds the write block frame for block (code AND 0x0F) of the write image in the
  // transmit frame store. It does not send.
  void BuildWriteBlock(std::uint8_t code);
  // Sends the transmit frame store again, exactly as it was built.
  void SendAgain();
  // Runs the frame receiver on every byte between the ring's read and write index.
  void FeedReceiver();
  // The frame in the receive frame store carries a matching checksum.
  bool FrameChecksumOk() const { return receiver_.frame().checksumOk(); }

  const FrameBytes& transmitStore() const { return transmitStore_; }
  const ReceivedFrame& receiveStore() const { return receiver_.frame(); }
  ReceiverState receiverState() const { return receiver_.state(); }

 private:
  ReceiveRing& ring_;
  Transmit transmit_;
  std::span<const std::uint8_t, kImageSize> writeImage_;
  FrameHandler handler_;
  FrameBytes transmitStore_;
  FrameReceiver receiver_{isChargerCode};
};

}  // namespace palor
