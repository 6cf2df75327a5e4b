// SPDX-License-Identifier: GPL-3.0-or-later
#include "doctor_command.h"

#include <ctime>
#include <fstream>
#include <iostream>
#include <iterator>
#include <nlohmann/json.hpp>

#include "commands.h"
#include "config/escaped_text.h"
#include "doctor/doctor.h"
#include "doctor/support_file.h"
#include "palor_version.h"
#include "records_commands.h"
#include "session.h"
#include "ui/messages.h"

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

int supportFile(const std::string& out, const std::optional<std::string>& config,
                const std::optional<std::string>& trace, const CommonOptions& options) {
  return guarded([&] {
    doctor::SupportContents contents;
    contents.program = std::string("palorctl ") + kVersion;
    if (trace) {
      std::ifstream in(*trace, std::ios::binary);
      if (!in) return refused(*trace + ": the trace cannot be read");
      contents.trace.emplace(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    } else {
      contents.traceAbsent =
          "palorctl keeps no trace of its own; give --trace FILE with the trace of a "
          "palorctl read or write --trace FILE run";
    }
    Session s;
    if (const int status = prepare(s, config, options)) return status;
    const doctor::Findings report = doctor::examine({});
    for (const std::string& line : s.form.log().lines()) contents.statusLog += line + '\n';
    contents.records = doctor::recentRecords(recordKeeper(options).get());
    const auto members = doctor::supportMembers(s.form, report, contents);
    if (const FileOutcome saved = saveTarGz(out, members, std::time(nullptr)); !saved)
      return refused(out, saved.error());
    std::cerr << msg::savedDataTo(out) << '\n';
    return kDone;
  });
}

}  // namespace palor::ctl
