// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/pager_link.h"

namespace palor {

PagerLink::PagerLink(ImageBuffer& images, Owner& owner)
    : frames_(
          transport_.ring(),
          [this](std::span<const std::uint8_t> bytes) {
            if (sent_) sent_(bytes);
            return transport_.transmit(bytes);
          },
          images.writeImage),
      protocol_(frames_, transport_.ring(), images, owner),
      watch_(transport_, protocol_, owner) {
  frames_.setFrameHandler([this](const ReceivedFrame& frame) {
    if (received_) received_(frame);
    protocol_.handleFrame(frame);
  });
}

void PagerLink::InitPorts(PortSource source, bool watchDevices) {
  if (watchDevices && !monitor_) monitor_ = std::make_unique<DeviceMonitor>();
  watch_.InitPorts(std::move(source));
}

void PagerLink::DeviceChange() {
  if (!monitor_) return;
  for (const DeviceNotice notice : monitor_->drain()) watch_.DeviceChange(notice);
}

void PagerLink::Com_clockTimer() {
  // The frames that came before the hang-up are handled first.
  protocol_.Com_clockTimer();
  if (transport_.isOpen() && transport_.linkLost()) watch_.PortHungUp();
}

void PagerLink::shutDown(std::chrono::milliseconds drainLimit) {
  protocol_.sendClosingCommand();
  if (transport_.isOpen()) transport_.drainOutput(drainLimit);
  transport_.close();
}

}  // namespace palor
