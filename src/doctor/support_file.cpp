// SPDX-License-Identifier: GPL-3.0-or-later
#include "doctor/support_file.h"

#include <sys/utsname.h>

#include <fstream>

#include "files/csv_table.h"
#include "records/record_keeper.h"
#include "records/record_text.h"
#include "ui/vendrel.h"

namespace palor::doctor {
namespace {

// The distribution's own name for itself, from os-release.
std::string distribution() {
  for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
      if (!line.starts_with("PRETTY_NAME=")) continue;
      std::string value = line.substr(12);
      if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
      return value;
    }
  }
  return "unknown";
}

std::string versions(const SupportContents& contents) {
  std::string text = "program: " + contents.program + "\n";
  if (!contents.toolkit.empty()) text += "toolkit: " + contents.toolkit + "\n";
  utsname system{};
  if (::uname(&system) == 0)
    text += std::string("kernel: ") + system.sysname + " " + system.release + " " + system.version +
            " " + system.machine + "\n";
  text += "distribution: " + distribution() + "\n";
  return text;
}

std::string readme(const SupportContents& contents) {
  std::string text =
      "Support file of the PALOR programmer, written on this computer and sent nowhere.\n"
      "\n"
      "versions.txt       the program, toolkit, kernel and distribution\n"
      "doctor.txt         the connection doctor's report: one line a check, ok or PROBLEM\n"
      "                   with what to do\n"
      "status-log.txt     the status log of the session\n";
  text += contents.trace ? "trace.txt          the frames sent (>) and received (<), each with "
                           "its time in\n                   milliseconds, in hex\n"
                         : "(no trace.txt)     " + contents.traceAbsent + "\n";
  text +=
      "records.txt        the last 20 programming records, newest first, without their\n"
      "                   images: id, start, operation, outcome, pager number, serial,\n"
      "                   addresses, desk, operator, last status line\n"
      "configuration.csv  the configuration as a CSV table, as File / Save writes one; the\n"
      "                   password is left out\n";
  return text;
}

}  // namespace

std::string recentRecords(records::RecordKeeper* keeper) {
  if (!keeper || keeper->off()) return "records are off\n";
  const records::StoreResult<records::RecordStore*> store = keeper->store();
  if (!store) return "the records cannot be read: " + store.error().what + "\n";
  records::HistoryFilter latest;
  latest.limit = 20;
  const auto entries = store.value()->history(latest);
  if (!entries) return "the records cannot be read: " + entries.error().what + "\n";
  if (entries.value().empty()) return "no records yet\n";
  std::string text;
  for (const records::HistoryEntry& e : entries.value())
    text += records::historyLine(e.record) + '\n';
  return text;
}

std::vector<ArchiveMember> supportMembers(const FormState& form, const Findings& report,
                                          const SupportContents& contents) {
  std::vector<ArchiveMember> members{
      {"README.txt", readme(contents)},
      {"versions.txt", versions(contents)},
      {"doctor.txt", formatReport(report)},
      {"status-log.txt", contents.statusLog},
  };
  if (contents.trace) members.push_back({"trace.txt", *contents.trace});
  members.push_back({"records.txt", contents.records});
  members.push_back(
      {"configuration.csv", csv::exportTable(form.record(), SettingsRecord::id("password"))});
  return members;
}

}  // namespace palor::doctor
