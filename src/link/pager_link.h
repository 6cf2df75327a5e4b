#pragma once
// The whole pager link as the main window owns it: the serial transport with its receive
// ring, the link frames, the pager protocol and the connection watch, wired together.
#include <chrono>

#include "link/link_frames.h"
#include "link/pager_protocol.h"
#include "link/port_watch.h"
#include "link/serial_transport.h"

namespace palor {

class PagerLink {
 public:
  PagerLink(ImageBuffer& images, PagerProtocol::Owner& owner);
  PagerLink(const PagerLink&) = delete;
  PagerLink& operator=(const PagerLink&) = delete;

  SerialTransport& transport() { return transport_; }
  LinkFrames& frames() { return frames_; }
  PagerProtocol& protocol() { return protocol_; }
  const PagerProtocol& protocol() const { return protocol_; }
  PortWatch& watch() { return watch_; }
  const PortWatch& watch() const { return watch_; }

  // Every frame sent, as it is handed to the port, and every frame received, before the
  // protocol sees it (for traces).
  using FrameObserver = std::function<void(std::span<const std::uint8_t>)>;
  using ReceivedObserver = std::function<void(const ReceivedFrame&)>;
  void setSentObserver(FrameObserver observer) { sent_ = std::move(observer); }
  void setReceivedObserver(ReceivedObserver observer) { received_ = std::move(observer); }

  // At program end: the closing command goes out on an open port, is drained for at most
  // `drainLimit`, and the port is closed the way the transport closes it.
  void shutDown(std::chrono::milliseconds drainLimit = std::chrono::milliseconds(500));

 private:
  SerialTransport transport_;
  FrameObserver sent_;
  ReceivedObserver received_;
  LinkFrames frames_;
  PagerProtocol protocol_;
  PortWatch watch_;
};

}  // namespace palor
