// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The doctor's checks, each on its own: they read the system through the places given, and
// return their findings. examine() runs them in order.
#include <sys/types.h>

#include <string>
#include <vector>

#include "doctor/doctor.h"
#include "link/adapter_survey.h"

namespace palor::doctor {

// The adapters found in sysfs: each with its by-path name, driver and tty node; one without
// a tty is a problem, with the kernel's own line about it when the log can be read. `port`
// given: no adapter is expected.
Findings checkAdapters(const std::vector<UsbAdapter>& adapters, const Places& places,
                       bool portGiven);

// Who the user is, as the kernel checks an open against a node.
struct Identity {
  uid_t uid;
  gid_t gid;
  std::vector<gid_t> groups;
  static Identity current();
};

// The node's owner, group and mode, and whether `who` may open it and why (root, owner,
// group, an ACL entry, everyone), or what to do when not.
Finding checkAccess(const std::string& node, const Identity& who);

// Whether the package's udev rule is installed, and for an adapter's node, applied.
Findings checkUdevRule(const std::vector<UsbAdapter>& adapters, const Places& places);

// ModemManager running, and whether it leaves the adapters' ports alone.
Finding checkModemManager(const std::vector<UsbAdapter>& adapters, const Places& places);

// brltty installed or running, and whether its udev rules claim the adapter's id.
Finding checkBrltty(const Places& places);

// A process (name and pid) holding `node`; a problem when the port cannot be had for it.
Finding checkHolders(const std::string& node, const Places& places);

// The probe as the port watch makes it, on the link clock: charger, pager, firmware.
Findings probe(const std::string& port, const ProbeTiming& timing);

// The processes of the system (pid, name) whose name is `comm`.
std::vector<std::pair<pid_t, std::string>> processesHolding(const std::string& node,
                                                            const std::string& proc);
bool processRunning(const std::string& comm, const std::string& proc);

}  // namespace palor::doctor
