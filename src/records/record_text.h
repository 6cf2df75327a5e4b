// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A record as one line of text: what `palorctl history` prints and the support file holds.
#include <string>

#include "records/programming_record.h"

namespace palor::records {

// Tab-separated: id, start, operation, outcome, pager number, serial, the switched-on
// addresses (comma-separated), desk, operator, last status line; "-" for an empty value,
// control characters as escapes.
std::string historyLine(const ProgrammingRecord& record);

}  // namespace palor::records
