// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/record_diff.h"

#include "config/ascii_text.h"

namespace palor {
namespace {

std::string quotedBytes(std::string_view bytes) {
  std::string out = "\"";
  for (char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += ch;
    } else if (c >= 0x20 && c < 0x7F) {
      out += ch;
    } else {
      out += hexEscape(c);
    }
  }
  return out + '"';
}

}  // namespace

std::string describeValue(const SettingsRecord& record, FieldId f) {
  switch (SettingsRecord::schema(f).kind) {
    case FieldKind::Text: return quotedBytes(record.text(f));
    case FieldKind::Item: {
      const auto item = record.itemText(f);
      return std::to_string(record.index(f)) + (item ? " " + quotedBytes(*item) : std::string());
    }
    case FieldKind::Check: return record.checked(f) ? "yes" : "no";
  }
  return {};
}

std::vector<FieldDifference> differingFields(const SettingsRecord& first,
                                             const SettingsRecord& second) {
  std::vector<FieldDifference> differences;
  for (std::size_t i = 0; i < SettingsRecord::size(); ++i) {
    const auto f = static_cast<FieldId>(i);
    std::string a = describeValue(first, f);
    std::string b = describeValue(second, f);
    if (a != b) differences.push_back({f, std::move(a), std::move(b)});
  }
  return differences;
}

std::string differenceLine(const FieldDifference& difference) {
  return SettingsRecord::schema(difference.field).name + ": " + difference.first + " | " +
         difference.second;
}

}  // namespace palor
