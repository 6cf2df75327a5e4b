// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The connection doctor: every known reason why the charger is not found, as one list of
// checks. Each check is a small function that looks at one thing (the adapters in sysfs,
// a port's permissions, ModemManager, brltty, processes holding the port, the probe) and
// returns lines that are either ok or a problem with what to do about it. palorctl doctor
// prints them; the window's Help / Check connection... shows them.
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "ui/link_clock.h"

namespace palor {
class FormState;
}

namespace palor::doctor {

// One line of the report.
struct Finding {
  bool ok = true;
  std::string subject;  // what was looked at: "adapter 1-1", "/dev/ttyUSB0", "ModemManager"
  std::string text;     // what was found; for a problem, with what to do about it
  friend bool operator==(const Finding&, const Finding&) = default;
};

using Findings = std::vector<Finding>;

// Where the checks look; the defaults are the running system's. Tests point them at
// folders and files of their own.
struct Places {
  std::string proc = "/proc";
  std::string kmsg = "/dev/kmsg";
  std::vector<std::string> udevRules{"/etc/udev/rules.d", "/run/udev/rules.d",
                                     "/usr/lib/udev/rules.d", "/lib/udev/rules.d"};
  std::vector<std::string> programFolders{"/usr/bin", "/bin", "/usr/sbin", "/sbin"};
};

// How the probe runs: the link clock's intervals, and how long the charger and then the
// pager have to answer.
struct ProbeTiming {
  LinkClock::Intervals intervals{};
  std::chrono::milliseconds chargerLimit{3000};
  std::chrono::milliseconds pagerLimit{10000};
};

// The window's own connection, when the doctor runs inside the window: its port is held by
// this process and is not probed again.
struct OwnConnection {
  std::string port;
  bool chargerConnected = false;
  std::optional<int> firmwareVersion;  // of the pager identified on it
};

// The window's connection as its form state holds it: the port its watch has open, whether
// the charger answered there, and the firmware of a pager identified on it. None when the
// watch holds no port.
std::optional<OwnConnection> ownConnectionOf(const FormState& form);

struct Request {
  // Only this port (the simulator's pseudo-terminal, say): no adapter in sysfs is expected.
  std::optional<std::string> port{};
  Places places{};
  ProbeTiming timing{};
  std::optional<OwnConnection> own{};
};

// The whole report: every check, in order.
Findings examine(const Request& request);

bool allOk(const Findings& findings);
// A finding's line, without its end: "ok       SUBJECT: TEXT" or "PROBLEM  SUBJECT: TEXT".
std::string formatLine(const Finding& finding);
// The lines of every finding, each with its end.
std::string formatReport(const Findings& findings);

}  // namespace palor::doctor
