#pragma once
// palorctl doctor: the connection doctor's report, one line a check.
#include <optional>
#include <string>

namespace palor::ctl {

// Every check, or with `port` the checks of that port only (no adapter is expected then);
// as text lines or, with `json`, one JSON object. 0 when every check is ok, 1 otherwise.
int doctor(const std::optional<std::string>& port, bool json);

}  // namespace palor::ctl
