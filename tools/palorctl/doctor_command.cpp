#include "doctor_command.h"

#include <iostream>
#include <nlohmann/json.hpp>

#include "commands.h"
#include "config/escaped_text.h"
#include "doctor/doctor.h"

namespace palor::ctl {

int doctor(const std::optional<std::string>& port, bool json) {
  const doctor::Findings findings = doctor::examine({.port = port});
  const bool ok = doctor::allOk(findings);
  if (json) {
    nlohmann::json checks = nlohmann::json::array();
    for (const doctor::Finding& f : findings)
      checks.push_back({{"ok", f.ok}, {"subject", f.subject}, {"text", f.text}});
    // Names from the system may hold any byte: invalid UTF-8 is replaced, not refused.
    std::cout << nlohmann::json{{"ok", ok}, {"checks", checks}}.dump(
                     2, ' ', false, nlohmann::json::error_handler_t::replace)
              << '\n';
  } else {
    for (const doctor::Finding& f : findings)
      std::cout << escapeControls(doctor::formatLine(f)) << '\n';
  }
  return ok ? kDone : kRefused;
}

}  // namespace palor::ctl
