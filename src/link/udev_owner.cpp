// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/udev_owner.h"

#include <libudev.h>

#include "config/ascii_text.h"

namespace palor {

void UdevRelease::operator()(udev* context) const { udev_unref(context); }
void UdevRelease::operator()(udev_device* device) const { udev_device_unref(device); }
void UdevRelease::operator()(udev_enumerate* enumerate) const { udev_enumerate_unref(enumerate); }
void UdevRelease::operator()(udev_monitor* monitor) const { udev_monitor_unref(monitor); }

bool forEachDevice(const char* subsystem,
                   const std::function<void(udev* context, udev_device* device)>& visit) {
  const UdevPtr<udev> context(udev_new());
  if (!context) return false;
  const UdevPtr<udev_enumerate> devices(udev_enumerate_new(context.get()));
  if (!devices || udev_enumerate_add_match_subsystem(devices.get(), subsystem) < 0 ||
      udev_enumerate_scan_devices(devices.get()) < 0)
    return false;
  udev_list_entry* entry = nullptr;
  udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(devices.get())) {
    const UdevPtr<udev_device> device(
        udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)));
    if (device) visit(context.get(), device.get());
  }
  return true;
}

bool attributeIs(udev_device* device, const char* name, std::string_view wanted) {
  const char* value = udev_device_get_sysattr_value(device, name);
  return value && equalIgnoringCase(value, wanted);
}

}  // namespace palor
