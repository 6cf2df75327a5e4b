// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Owners of libudev's reference-counted objects: each is released (unref'd) exactly once,
// when its owner goes; and the walks over udev's devices that the link makes. Declared without
// libudev's header, so that a class of the link may hold one as a member while libudev stays
// private to the link.
#include <functional>
#include <memory>
#include <string_view>

struct udev;
struct udev_device;
struct udev_enumerate;
struct udev_monitor;

namespace palor {

struct UdevRelease {
  void operator()(udev* context) const;
  void operator()(udev_device* device) const;
  void operator()(udev_enumerate* enumerate) const;
  void operator()(udev_monitor* monitor) const;
};
template <typename T>
using UdevPtr = std::unique_ptr<T, UdevRelease>;

// Calls `visit` with every device of `subsystem` that udev lists, in its order, together
// with the context they belong to; false when udev cannot be asked.
bool forEachDevice(const char* subsystem,
                   const std::function<void(udev* context, udev_device* device)>& visit);

// Whether the sysfs attribute `name` of `device` reads `wanted`, letter case ignored.
bool attributeIs(udev_device* device, const char* name, std::string_view wanted);

}  // namespace palor
