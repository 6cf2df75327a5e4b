// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The device monitor: tells when a serial port (a tty device) was plugged in or pulled out,
// from the events of udev. It is made before the port list is first filled, so that no
// plug-in falls between the two. It never waits: its owner polls fd() (the window with a
// socket notifier, palorctl in its loop) and then drains every pending event.
#include <cstdint>
#include <vector>

#include "link/udev_owner.h"

namespace palor {

// What the port watch hears of a device change: a port arrived, a port was removed, and
// after either, the device nodes have changed.
enum class DeviceNotice : std::uint8_t { Arrival, Removal, NodesChanged };

class DeviceMonitor {
 public:
  // Listens to udev's events for tty devices. Where udev cannot be listened to, the monitor
  // has no descriptor and never reports anything.
  DeviceMonitor();
  DeviceMonitor(const DeviceMonitor&) = delete;
  DeviceMonitor& operator=(const DeviceMonitor&) = delete;

  // Readable while events are pending; -1 when there is nothing to listen to.
  int fd() const { return fd_; }
  // The notices of every event pending now, in order: an "add" gives the arrival and then
  // the nodes-changed notice, a "remove" the removal and then the nodes-changed notice;
  // other actions give none. Returns at once when nothing is pending.
  std::vector<DeviceNotice> drain();

 private:
  UdevPtr<udev> udev_;
  UdevPtr<udev_monitor> monitor_;  // released before the context it was made in
  int fd_ = -1;
};

}  // namespace palor
