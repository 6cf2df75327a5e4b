// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The whole pager link as the main window owns it: the serial transport with its receive
// ring, the link frames, the pager protocol, the connection watch with its port list, and
// the device monitor that tells the watch of plugged and pulled ports, wired together.
#include <chrono>
#include <memory>

#include "link/device_monitor.h"
#include "link/link_frames.h"
#include "link/pager_protocol.h"
#include "link/port_watch.h"
#include "link/serial_transport.h"

namespace palor {

class PagerLink {
 public:
  // What the link tells the window: the protocol's reports and the watch's.
  class Owner : public PagerProtocol::Owner, public PortWatch::Owner {};

  PagerLink(ImageBuffer& images, Owner& owner);
  PagerLink(const PagerLink&) = delete;
  PagerLink& operator=(const PagerLink&) = delete;

  SerialTransport& transport() { return transport_; }
  LinkFrames& frames() { return frames_; }
  PagerProtocol& protocol() { return protocol_; }
  const PagerProtocol& protocol() const { return protocol_; }
  PortWatch& watch() { return watch_; }
  const PortWatch& watch() const { return watch_; }

  // Start-up: with `watchDevices`, the device monitor first, so that no plug-in falls
  // between it and the first walk; then the port list from `source`.
  void InitPorts(PortSource source, bool watchDevices);
  // The device monitor's descriptor, readable while device changes are pending; -1 when
  // there is no monitor.
  int deviceMonitorFd() const { return monitor_ ? monitor_->fd() : -1; }
  // Every pending device change, handed to the watch in order.
  void DeviceChange();

  // The 40 ms tick: the protocol's tick, then a hang-up of the open port goes to the watch.
  void Com_clockTimer();

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
  std::unique_ptr<DeviceMonitor> monitor_;
};

}  // namespace palor
