// SPDX-License-Identifier: GPL-3.0-or-later
#include "record_dump.h"

#include <ostream>

#include "config/ascii_text.h"
#include "ui/record_diff.h"

namespace palor::ctl {

void printRecordTable(std::ostream& out, const SettingsRecord& record) {
  for (std::size_t i = 0; i < SettingsRecord::size(); ++i) {
    const auto f = static_cast<FieldId>(i);
    const FieldSchema& schema = SettingsRecord::schema(f);
    std::string line = schema.name;
    line.resize(std::max<std::size_t>(line.size() + 1, 20), ' ');
    line += kindName(schema.kind);
    line.resize(std::max<std::size_t>(line.size() + 1, 26), ' ');
    line += describeValue(record, f);
    if (!record.enabled(f)) line += "  [disabled]";
    if (!record.visible(f)) line += "  [hidden]";
    out << line << '\n';
  }
}

nlohmann::ordered_json recordToJson(const SettingsRecord& record) {
  nlohmann::ordered_json fields = nlohmann::ordered_json::array();
  for (std::size_t i = 0; i < SettingsRecord::size(); ++i) {
    const auto f = static_cast<FieldId>(i);
    const FieldSchema& schema = SettingsRecord::schema(f);
    nlohmann::ordered_json field = {{"name", schema.name},
                                    {"kind", std::string(kindName(schema.kind))}};
    switch (schema.kind) {
      case FieldKind::Text: field["value"] = latin1ToUtf8(record.text(f)); break;
      case FieldKind::Item: field["value"] = record.index(f); break;
      case FieldKind::Check: field["value"] = record.checked(f); break;
    }
    const auto item = schema.kind == FieldKind::Item ? record.itemText(f) : std::nullopt;
    field["item"] = item ? nlohmann::ordered_json(latin1ToUtf8(*item)) : nlohmann::ordered_json();
    field["enabled"] = record.enabled(f);
    field["visible"] = record.visible(f);
    fields.push_back(std::move(field));
  }
  return fields;
}

}  // namespace palor::ctl
