// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Checks and fills on the settings record that both the editing rules and the image
// encoder run: the same steps whether the user leaves a field or the encoder prepares it.
#include <cstdint>
#include <string>

#include "config/settings_record.h"

namespace palor {

// Appends `fill` to the field's text, one character at a time (each a change of the text,
// so a change rule sees every step), until it has the field's maximum length. A text at or
// above the maximum length is left as it is. (FixedStringExit, FixedCodeExit.)
void fillRight(SettingsRecord& record, FieldId field, char fill);
// The same with the fill character put in front. (FixedNumberExit.)
void fillLeft(SettingsRecord& record, FieldId field, char fill);
// The field's text as fillLeft with '0' would leave it, without changing the field.
std::string zeroFilled(const SettingsRecord& record, FieldId field);

// RangeTimeExit: an empty rangetime becomes "30"; with pager firmware version 2 or lower a
// value above 255 becomes "255".
void checkRangeTime(SettingsRecord& record, std::uint8_t firmwareVersion);

// The folder total: the sum of the lengths of the active public folders (both halves),
// an ordinary integer sum. Reading an active folder's length may throw ConversionError.
int folderTotal(const SettingsRecord& record);
// The folder excess: folder total - 99 when the total is above 99, else 0.
int folderExcess(const SettingsRecord& record);

inline constexpr int kFolderSlots = 99;

}  // namespace palor
