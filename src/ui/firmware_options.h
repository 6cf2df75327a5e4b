// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The controls that depend on the identified pager's firmware: the internal buzzer (from
// version 3), the message info mode (3.1), the 120 s low-cell delay (3.2) and the choice
// of synthesizer chip (3.3).
#include <cstdint>

#include "config/settings_record.h"

namespace palor {

void ApplyFirmwareOptions(SettingsRecord& record, std::uint8_t version, std::uint8_t revision);

}  // namespace palor
