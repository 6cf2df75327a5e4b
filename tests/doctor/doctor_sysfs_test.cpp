// SPDX-License-Identifier: GPL-3.0-or-later
// The doctor's survey of the charger adapters with the real libudev against simulated
// device trees (umockdev): no adapter, one with its serial port, one the kernel gave no
// port, two adapters. Runs under umockdev-wrapper; skipped where that is missing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "doctor/checks.h"
#include "simulated_devices.h"

namespace palor::doctor {

void PrintTo(const Finding& finding, std::ostream* out) { *out << formatLine(finding); }

namespace {

const std::string kByPath = "/dev/serial/by-path/pci-0000:00:14.0-usb-0:1:1.0-port0";
const std::string kRuleApplied = "E: DEVLINKS=/dev/serial/by-id/usb-Prolific-if00-port0 " +
                                 kByPath + "\nE: ID_MM_DEVICE_IGNORE=1\nE: TAGS=:uaccess:\n";

TEST(AdapterSurvey, FindsEachAdapterWithItsPortDriverAndUdevsWork) {
  if (!test::underUmockdev()) GTEST_SKIP() << "needs umockdev-wrapper";
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
    test::SimulatedDevices devices;
    bool first = true;
    for (const auto& [usb, tty] : c.adapters) {
      devices.plugAdapter(usb, "067b", "2303", tty, first ? kRuleApplied : "");
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
