// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The simulated /sys and /dev of umockdev for the real libudev: USB serial adapters with
// their tty device under them, as the kernel lays them out (usb_device / usb_interface
// with its driver / usb-serial port / tty), ports that are no USB device, and adapters
// plugged in and pulled out. The test program runs under umockdev-wrapper.
#include <gtest/gtest.h>
#include <umockdev.h>

#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace palor::test {

// Whether the program runs under umockdev-wrapper, whose preload library simulates udev.
inline bool underUmockdev() {
  const char* preload = std::getenv("LD_PRELOAD");
  return preload && std::string_view(preload).find("libumockdev-preload") != std::string_view::npos;
}

class SimulatedDevices {
 public:
  SimulatedDevices() : testbed_(umockdev_testbed_new()) {}
  ~SimulatedDevices() { g_object_unref(testbed_); }
  SimulatedDevices(const SimulatedDevices&) = delete;
  SimulatedDevices& operator=(const SimulatedDevices&) = delete;

  // Plugs in a USB serial adapter at the USB name `usb`: its tty device `tty` appears with
  // the node /dev/`tty` (a pseudo-terminal) and, in udev's database, the lines
  // `udevProperties` ("E: NAME=VALUE\n" each). With an empty `tty` the kernel bound no
  // driver and made no port. Returns the adapter's sysfs path.
  std::string plugAdapter(const std::string& usb, const char* vendor, const char* product,
                          const std::string& tty, const std::string& udevProperties = "") {
    const std::string device = take(umockdev_testbed_add_device(
        testbed_, "usb", usb.c_str(), nullptr, "idVendor", vendor, "idProduct", product, nullptr,
        "DEVTYPE", "usb_device", nullptr));
    const std::string interface = take(umockdev_testbed_add_device(
        testbed_, "usb", (usb + ":1.0").c_str(), device.c_str(), "bInterfaceNumber", "00", nullptr,
        "DEVTYPE", "usb_interface", nullptr));
    if (tty.empty()) return device;
    umockdev_testbed_set_attribute_link(testbed_, interface.c_str(), "driver",
                                        "../../../../../bus/usb/drivers/pl2303");
    const std::string port = take(umockdev_testbed_add_device(testbed_, "usb-serial", tty.c_str(),
                                                              interface.c_str(), nullptr, nullptr));
    addTty(port.substr(std::string_view("/sys").size()) + "/tty/" + tty, tty, udevProperties);
    return device;
  }
  // A serial port that is no USB device (a UART on the main board).
  void plugBoardPort(const std::string& tty) {
    addTty("/devices/platform/serial8250/tty/" + tty, tty, "");
  }

  // Pulls out the adapter at `device`: udev reports its tty's removal, then it is gone.
  void pull(const std::string& device, const std::string& tty) {
    std::string ttyPath;
    for (const auto& [path, name] : ttys_)
      if (name == tty) ttyPath = path;
    umockdev_testbed_uevent(testbed_, ttyPath.c_str(), "remove");
    umockdev_testbed_remove_device(testbed_, device.c_str());
  }
  // The far side of /dev/`tty`: what the program writes to the port comes out here.
  int lineOf(const std::string& tty) {
    return umockdev_testbed_get_dev_fd(testbed_, ("/dev/" + tty).c_str());
  }

 private:
  static std::string take(gchar* text) {
    std::string s = text ? text : "";
    g_free(text);
    return s;
  }
  void addTty(const std::string& devicePath, const std::string& tty,
              const std::string& udevProperties) {
    const std::string record = "P: " + devicePath + "\nN: " + tty + "\nE: DEVNAME=/dev/" + tty +
                               "\nE: SUBSYSTEM=tty\n" + udevProperties +
                               "A: dev=188:" + std::to_string(ttys_.size()) + "\n";
    GError* error = nullptr;
    if (!umockdev_testbed_add_from_string(testbed_, record.c_str(), &error)) {
      ADD_FAILURE() << "cannot add " << tty << ": " << (error ? error->message : "");
      if (error) g_error_free(error);
    }
    ttys_.emplace_back("/sys" + devicePath, tty);
  }

  UMockdevTestbed* testbed_;
  std::vector<std::pair<std::string, std::string>> ttys_;  // (sysfs path, name)
};

}  // namespace palor::test
