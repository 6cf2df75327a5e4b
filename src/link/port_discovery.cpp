// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/port_discovery.h"

#include <libudev.h>

#include <algorithm>
#include <cstdlib>

#include "config/ascii_text.h"
#include "link/udev_owner.h"

namespace palor {
namespace {

// Whether the tty device sits on the adapter: its USB device (not the interface between
// them) carries the adapter's vendor and product.
bool onAdapter(udev_device* tty) {
  // Owned by the tty device, released with it.
  udev_device* usb = udev_device_get_parent_with_subsystem_devtype(tty, "usb", "usb_device");
  return usb && attributeIs(usb, "idVendor", kAdapterVendorId) &&
         attributeIs(usb, "idProduct", kAdapterProductId);
}

}  // namespace

std::vector<std::string> adapterPorts() {
  std::vector<std::string> ports;
  forEachDevice("tty", [&](udev*, udev_device* tty) {
    if (!onAdapter(tty)) return;
    if (const char* node = udev_device_get_devnode(tty)) ports.emplace_back(node);
  });
  return ports;
}

std::vector<std::string> extraPorts() {
  std::vector<std::string> ports;
  const char* value = std::getenv("PALOR_EXTRA_PORTS");
  if (!value) return ports;
  std::string_view rest(value);
  while (!rest.empty()) {
    const auto colon = rest.find(':');
    const std::string_view entry = rest.substr(0, colon);
    if (!entry.empty()) ports.emplace_back(entry);
    if (colon == std::string_view::npos) break;
    rest.remove_prefix(colon + 1);
  }
  return ports;
}

std::vector<std::string> systemPorts() {
  std::vector<std::string> ports = adapterPorts();
  for (std::string& extra : extraPorts()) ports.push_back(std::move(extra));
  return ports;
}

PortSource fixedPorts(std::vector<std::string> names) {
  return [names = std::move(names)] { return names; };
}

std::vector<std::string> portList(std::vector<std::string> names) {
  // Stable, so that of names equal but for letter case the one found first stays.
  std::stable_sort(names.begin(), names.end(), lessIgnoringCase);
  names.erase(std::unique(names.begin(), names.end(), equalIgnoringCase), names.end());
  return names;
}

}  // namespace palor
