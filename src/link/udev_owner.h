// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Owners of libudev's reference-counted objects: each is released (unref'd) exactly once,
// when its owner goes. Declared without libudev's header, so that a class of the link may
// hold one as a member while libudev stays private to the link.
#include <memory>

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

}  // namespace palor
