// SPDX-License-Identifier: GPL-3.0-or-later
// The doctor's survey of the charger adapters with the real libudev against simulated
// device trees (umockdev): no adapter, one with its serial port, one the kernel gave no
// port, two adapters. Runs under umockdev-wrapper; skipped where that is missing.
#include <gtest/gtest.h>
#include <umockdev.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "doctor/checks.h"

namespace palor::doctor {

void PrintTo(const Finding& finding, std::ostream* out) { *out << formatLine(finding); }

namespace {

// A simulated sysfs and /dev holding PL2303 adapters as the kernel lays them out
// (usb_device / usb_interface with its driver / usb-serial port / tty), the tty with the
// properties udev gives it.
class Testbed {
 public:
  Testbed() : testbed_(umockdev_testbed_new()) {}
  ~Testbed() { g_object_unref(testbed_); }
  Testbed(const Testbed&) = delete;
  Testbed& operator=(const Testbed&) = delete;

  // An adapter; with an empty `tty` the kernel bound no driver and made no port.
  void plug(const std::string& usb, const std::string& tty, const std::string& udevProperties) {
    const std::string device = take(umockdev_testbed_add_device(
        testbed_, "usb", usb.c_str(), nullptr, "idVendor", "067b", "idProduct", "2303", nullptr,
        "DEVTYPE", "usb_device", nullptr));
    const std::string interface = take(umockdev_testbed_add_device(
        testbed_, "usb", (usb + ":1.0").c_str(), device.c_str(), "bInterfaceNumber", "00", nullptr,
        "DEVTYPE", "usb_interface", nullptr));
    if (tty.empty()) return;
    umockdev_testbed_set_attribute_link(testbed_, interface.c_str(), "driver",
                                        "../../../../../bus/usb/drivers/pl2303");
    const std::string port = take(umockdev_testbed_add_device(testbed_, "usb-serial", tty.c_str(),
                                                              interface.c_str(), nullptr, nullptr));
    const std::string record = "P: " + port.substr(4) + "/tty/" + tty + "\nN: " + tty +
                               "\nE: DEVNAME=/dev/" + tty + "\nE: SUBSYSTEM=tty\n" +
                               udevProperties + "A: dev=188:" + std::to_string(count_++) + "\n";
    GError* error = nullptr;
    if (!umockdev_testbed_add_from_string(testbed_, record.c_str(), &error)) {
      ADD_FAILURE() << "cannot add " << tty << ": " << (error ? error->message : "");
      if (error) g_error_free(error);
    }
  }

 private:
  static std::string take(gchar* text) {
    std::string s = text ? text : "";
    g_free(text);
    return s;
  }
  UMockdevTestbed* testbed_;
  int count_ = 0;
};

bool underUmockdev() {
  const char* preload = std::getenv("LD_PRELOAD");
  return preload && std::string_view(preload).find("libumockdev-preload") != std::string_view::npos;
}

const std::string kByPath = "/dev/serial/by-path/pci-0000:00:14.0-usb-0:1:1.0-port0";
const std::string kRuleApplied = "E: DEVLINKS=/dev/serial/by-id/usb-Prolific-if00-port0 " +
                                 kByPath + "\nE: ID_MM_DEVICE_IGNORE=1\nE: TAGS=:uaccess:\n";

TEST(AdapterSurvey, FindsEachAdapterWithItsPortDriverAndUdevsWork) {
  if (!underUmockdev()) GTEST_SKIP() << "needs umockdev-wrapper";
  Places places;
  places.kmsg = "/nonexistent";
  places.udevRules = {};
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, std::string>> adapters;  // (usb, tty)
    Findings expected;
  };
  const Finding noRule{false, "udev rule",
                       "70-palor-programmer.rules is not installed: copy it into "
                       "/etc/udev/rules.d, run \"sudo udevadm control --reload\" and plug the "
                       "adapter in again"};
  const std::vector<Case> cases = {
      {"none",
       {},
       {{false, "adapters",
         "no USB adapter 067b:2303 found: plug the charger's USB cable into the computer"},
        noRule}},
      {"one with its port",
       {{"1-1", "ttyUSB0"}},
       {{true, "adapter 1-1", "/dev/ttyUSB0, driver pl2303, " + kByPath},
        noRule,
        {true, "/dev/ttyUSB0", "the udev rule is applied (uaccess, ID_MM_DEVICE_IGNORE)"}}},
      {"one without a port",
       {{"1-1", ""}},
       {{false, "adapter 1-1",
         "the kernel gave it no serial port (no driver bound): this adapter variant is not "
         "supported by the running kernel; use another adapter"},
        noRule}},
      {"two",
       {{"1-1", "ttyUSB0"}, {"1-2", "ttyUSB1"}},
       {{true, "adapter 1-1", "/dev/ttyUSB0, driver pl2303, " + kByPath},
        {true, "adapter 1-2", "/dev/ttyUSB1, driver pl2303, no /dev/serial/by-path name"},
        {true, "adapters", "2 chargers; label each by its port: " + kByPath + "; 1-2"},
        noRule,
        {true, "/dev/ttyUSB0", "the udev rule is applied (uaccess, ID_MM_DEVICE_IGNORE)"},
        {false, "/dev/ttyUSB1",
         "udev has not applied the rule (the uaccess tag and ID_MM_DEVICE_IGNORE missing): "
         "install 70-palor-programmer.rules and plug the adapter in again (or run \"sudo "
         "udevadm trigger\")"}}},
  };
  for (const Case& c : cases) {
    Testbed testbed;
    bool first = true;
    for (const auto& [usb, tty] : c.adapters) {
      testbed.plug(usb, tty, first ? kRuleApplied : "");
      first = false;
    }
    const std::vector<UsbAdapter> adapters = usbAdapters();
    Findings found = checkAdapters(adapters, places, false);
    for (Finding& f : checkUdevRule(adapters, places)) found.push_back(std::move(f));
    EXPECT_EQ(found, c.expected) << c.name << ":\n" << formatReport(found);
  }
}

}  // namespace
}  // namespace palor::doctor
