// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The simulated pager's EEPROM on disk: a raw 1024-byte image file, the same format as
// the programmer's .bin and .eep files.
#include <string>

#include "charger_device.h"

namespace palor::sim {

// The EEPROM the simulated pager holds when no image file is given: the image of the
// programmer's start-up settings, with its checksums.
ConfigImage defaultPagerImage();

// Reads a file of exactly 1024 bytes; throws std::runtime_error otherwise.
ConfigImage loadEeprom(const std::string& path);
// Writes the file atomically (temporary file in the same folder, then rename), so that a
// failed save never damages the old file; throws std::runtime_error on failure.
void saveEeprom(const std::string& path, const ConfigImage& eeprom);

}  // namespace palor::sim
