// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The fields whose values differ between two settings records, each with its name and
// both values as one short text: what palorctl diff prints and what the History dialog's
// Compare lists.
#include <string>
#include <vector>

#include "config/settings_record.h"

namespace palor {

// A field's value as one short text: a text field's bytes in double quotes (bytes outside
// printable ASCII as \xNN), a list field's index with its item text, a check field's
// yes or no.
std::string describeValue(const SettingsRecord& record, FieldId field);

struct FieldDifference {
  FieldId field;
  std::string first;   // the value in the first record, as describeValue gives it
  std::string second;  // in the second
};

// The fields whose described values differ, in schema order.
std::vector<FieldDifference> differingFields(const SettingsRecord& first,
                                             const SettingsRecord& second);

// One difference as palorctl diff prints it, without the line end: "name: first | second".
std::string differenceLine(const FieldDifference& difference);

}  // namespace palor
