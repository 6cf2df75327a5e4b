// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/adapter_survey.h"

#include <libudev.h>

#include <cstring>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "config/ascii_text.h"
#include "link/port_discovery.h"
#include "link/udev_owner.h"

namespace palor {
namespace {

std::string text(const char* value) { return value ? std::string(value) : std::string(); }

// The first of `links` (udev's DEVLINKS: blank-separated) under /dev/serial/by-path/.
std::string byPathLink(const char* links) {
  constexpr std::string_view kByPath = "/dev/serial/by-path/";
  std::string_view rest = links ? links : "";
  while (!rest.empty()) {
    const auto blank = rest.find(' ');
    const std::string_view link = rest.substr(0, blank);
    if (link.starts_with(kByPath)) return std::string(link);
    if (blank == std::string_view::npos) break;
    rest.remove_prefix(blank + 1);
  }
  return {};
}

// The tty under the USB device `usb`, and the driver of its interface, filled in.
void fillFromChildren(udev* context, udev_device* usb, UsbAdapter& adapter) {
  const UdevPtr<udev_enumerate> children(udev_enumerate_new(context));
  if (!children || udev_enumerate_add_match_parent(children.get(), usb) < 0 ||
      udev_enumerate_scan_devices(children.get()) < 0)
    return;
  udev_list_entry* entry = nullptr;
  udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(children.get())) {
    const UdevPtr<udev_device> child(
        udev_device_new_from_syspath(context, udev_list_entry_get_name(entry)));
    if (!child) continue;
    const char* subsystem = udev_device_get_subsystem(child.get());
    const char* devtype = udev_device_get_devtype(child.get());
    if (adapter.driver.empty() && devtype && std::strcmp(devtype, "usb_interface") == 0)
      adapter.driver = text(udev_device_get_driver(child.get()));
    if (!adapter.node.empty() || !subsystem || std::strcmp(subsystem, "tty") != 0) continue;
    const char* node = udev_device_get_devnode(child.get());
    if (!node) continue;
    adapter.node = node;
    adapter.byPath = byPathLink(udev_device_get_property_value(child.get(), "DEVLINKS"));
    if (adapter.byPath.empty()) adapter.byPath = byPathOnDisk(adapter.node);
    // The tag from udev's database, or from the TAGS property where only that is given.
    const std::string tags = text(udev_device_get_property_value(child.get(), "TAGS"));
    adapter.uaccessTag = udev_device_has_tag(child.get(), "uaccess") > 0 ||
                         tags.find(":uaccess:") != std::string::npos;
    const char* ignore = udev_device_get_property_value(child.get(), "ID_MM_DEVICE_IGNORE");
    adapter.modemManagerIgnores = ignore && std::strcmp(ignore, "1") == 0;
  }
}

}  // namespace

std::string byPathOnDisk(const std::string& node) {
  std::error_code error;
  const std::filesystem::path folder = "/dev/serial/by-path";
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    std::error_code ignored;
    if (std::filesystem::equivalent(entry.path(), node, ignored)) return entry.path().string();
  }
  return {};
}

std::vector<UsbAdapter> usbAdapters() {
  std::vector<UsbAdapter> adapters;
  forEachDevice("usb", [&](udev* context, udev_device* usb) {
    const char* devtype = udev_device_get_devtype(usb);
    if (!devtype || std::strcmp(devtype, "usb_device") != 0) return;
    if (!attributeIs(usb, "idVendor", kAdapterVendorId) ||
        !attributeIs(usb, "idProduct", kAdapterProductId))
      return;
    UsbAdapter adapter;
    adapter.sysPath = text(udev_device_get_syspath(usb));
    adapter.usbName = text(udev_device_get_sysname(usb));
    fillFromChildren(context, usb, adapter);
    adapters.push_back(std::move(adapter));
  });
  return adapters;
}

}  // namespace palor
