// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The settings record as palorctl prints it: a readable table, or JSON with one object per
// field in schema order.
#include <iosfwd>
#include <nlohmann/json.hpp>
#include <string>

#include "config/latin1_text.h"
#include "config/settings_record.h"

namespace palor::ctl {

void printRecordTable(std::ostream& out, const SettingsRecord& record);

// [{"name", "kind", "value", "item", "enabled", "visible"}, ...]; texts are their bytes
// taken as Latin-1 code points.
nlohmann::ordered_json recordToJson(const SettingsRecord& record);

using palor::latin1ToUtf8;

}  // namespace palor::ctl
