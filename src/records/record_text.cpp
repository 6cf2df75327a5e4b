// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/record_text.h"

#include "config/escaped_text.h"

namespace palor::records {
namespace {

std::string switchedOn(const ProgrammingRecord& r) {
  std::string text;
  for (const AddressEntry& a : r.addresses)
    if (a.enabled) text += (text.empty() ? "" : ",") + std::to_string(a.address);
  return text.empty() ? "-" : text;
}

std::string orDash(const std::string& text) { return text.empty() ? "-" : escapeControls(text); }

}  // namespace

std::string historyLine(const ProgrammingRecord& r) {
  std::string line = std::to_string(r.id);
  for (const std::string& cell :
       {r.started, std::string(operationName(r.operation)), std::string(outcomeName(r.outcome)),
        orDash(r.pagerNumber), orDash(r.serial), switchedOn(r), orDash(r.desk),
        orDash(r.operatorName), orDash(r.lastLine)})
    line += '\t' + cell;
  return line;
}

}  // namespace palor::records
