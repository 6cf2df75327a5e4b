// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// palorctl doctor: the connection doctor's report, one line a check.
#include <optional>
#include <string>

#include "commands.h"

namespace palor::ctl {

// Every check, or with `port` the checks of that port only (no adapter is expected then);
// as text lines or, with `json`, one JSON object. 0 when every check is ok, 1 otherwise.
int doctor(const std::optional<std::string>& port, bool json);

}  // namespace palor::ctl

namespace palor::ctl {

// The support file OUT (a .tar.gz): versions, the doctor's report, this run's status log,
// the trace `trace` of an earlier run (palorctl read or write --trace) when given, and
// CONFIG (or the start-up settings) as a CSV table without its password.
int supportFile(const std::string& out, const std::optional<std::string>& config,
                const std::optional<std::string>& trace, const CommonOptions& options);

}  // namespace palor::ctl
