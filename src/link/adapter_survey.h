// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Every charger adapter (USB 067b:2303) that sysfs holds, whether or not the kernel gave it
// a serial port: what the connection doctor reports about the adapters. Read through
// libudev, as the port discovery reads it, so a simulated sysfs (umockdev) is honoured.
#include <string>
#include <vector>

namespace palor {

struct UsbAdapter {
  std::string sysPath{};  // the USB device's folder in sysfs
  std::string usbName{};  // its kernel name, the bus and port path ("1-1.2")
  std::string driver{};   // the driver bound to its interface ("pl2303"); empty when none
  std::string node{};     // the tty device node ("/dev/ttyUSB0"); empty when there is no tty
  std::string byPath{};   // its /dev/serial/by-path name; empty when udev made none
  // What udev recorded for the tty device: the uaccess tag and ID_MM_DEVICE_IGNORE=1, both
  // given by the package's udev rule.
  bool uaccessTag = false;
  bool modemManagerIgnores = false;
};

// The link in /dev/serial/by-path that leads to the device node `node` (the port's stable
// name, which stays when the adapter is plugged in again); empty when there is none. Read
// from the disk, for where udev's properties are missing.
std::string byPathOnDisk(const std::string& node);

// The adapters in sysfs order of their USB devices; empty when there is no udev.
std::vector<UsbAdapter> usbAdapters();

}  // namespace palor
