// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/udev_owner.h"

#include <libudev.h>

namespace palor {

void UdevRelease::operator()(udev* context) const { udev_unref(context); }
void UdevRelease::operator()(udev_device* device) const { udev_device_unref(device); }
void UdevRelease::operator()(udev_enumerate* enumerate) const { udev_enumerate_unref(enumerate); }
void UdevRelease::operator()(udev_monitor* monitor) const { udev_monitor_unref(monitor); }

}  // namespace palor
