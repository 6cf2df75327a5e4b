// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/device_monitor.h"

#include <libudev.h>
#include <poll.h>

#include <cstring>

namespace palor {
namespace {

constexpr int kMostMessagesPerDrain = 1024;

}  // namespace

DeviceMonitor::DeviceMonitor() {
  udev_.reset(udev_new());
  if (!udev_) return;
  // The "udev" source: events after udevd has made the device node, so the node can be
  // opened by the time the port watch hears of it.
  monitor_.reset(udev_monitor_new_from_netlink(udev_.get(), "udev"));
  if (!monitor_ ||
      udev_monitor_filter_add_match_subsystem_devtype(monitor_.get(), "tty", nullptr) < 0 ||
      udev_monitor_enable_receiving(monitor_.get()) < 0)
    return;
  fd_ = udev_monitor_get_fd(monitor_.get());
}

std::vector<DeviceNotice> DeviceMonitor::drain() {
  std::vector<DeviceNotice> notices;
  if (fd_ < 0) return notices;
  // Asked first whether an event is there, so that a descriptor handed out blocking (some
  // emulations of the socket) never makes the drain wait.
  // Bounded, so that a socket that stays readable without giving events cannot hold the
  // caller; what is left is drained at the next call.
  for (int message = 0; message < kMostMessagesPerDrain; ++message) {
    pollfd pending{fd_, POLLIN, 0};
    if (::poll(&pending, 1, 0) <= 0 || !(pending.revents & POLLIN)) break;
    const UdevPtr<udev_device> device(udev_monitor_receive_device(monitor_.get()));
    // Readable without a device: a message that the filter or its sender check refused.
    if (!device) continue;
    const char* action = udev_device_get_action(device.get());
    if (action && std::strcmp(action, "add") == 0) {
      notices.push_back(DeviceNotice::Arrival);
      notices.push_back(DeviceNotice::NodesChanged);
    } else if (action && std::strcmp(action, "remove") == 0) {
      notices.push_back(DeviceNotice::Removal);
      notices.push_back(DeviceNotice::NodesChanged);
    }
  }
  return notices;
}

}  // namespace palor
