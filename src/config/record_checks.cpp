// SPDX-License-Identifier: GPL-3.0-or-later
#include "config/record_checks.h"

#include "config/field_groups.h"

namespace palor {

void fillRight(SettingsRecord& record, FieldId field, char fill) {
  const auto width = static_cast<std::size_t>(SettingsRecord::schema(field).maxLength);
  while (record.text(field).size() < width) record.setText(field, record.text(field) + fill);
}

void fillLeft(SettingsRecord& record, FieldId field, char fill) {
  const auto width = static_cast<std::size_t>(SettingsRecord::schema(field).maxLength);
  while (record.text(field).size() < width) record.setText(field, fill + record.text(field));
}

std::string zeroFilled(const SettingsRecord& record, FieldId field) {
  const auto width = static_cast<std::size_t>(SettingsRecord::schema(field).maxLength);
  const std::string& text = record.text(field);
  return text.size() >= width ? text : std::string(width - text.size(), '0') + text;
}

void checkRangeTime(SettingsRecord& record, std::uint8_t firmwareVersion) {
  const FieldId rangetime = SettingsRecord::id("rangetime");
  if (record.text(rangetime).empty()) {
    record.setText(rangetime, "30");
    return;
  }
  if (firmwareVersion <= 2 && record.number(rangetime) > 255) record.setText(rangetime, "255");
}

int folderTotal(const SettingsRecord& record) {
  int total = 0;
  for (const FolderFields& folder : folders())
    if (record.checked(folder.active)) total += record.number(folder.length);
  return total;
}

int folderExcess(const SettingsRecord& record) {
  const int total = folderTotal(record);
  return total > kFolderSlots ? total - kFolderSlots : 0;
}

}  // namespace palor
