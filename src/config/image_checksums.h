// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The two checksums that guard a configuration image, both CRC-16/XMODEM stored low byte
// first: the settings checksum over bytes 0..254 at 1020..1021 and the hardware checksum
// over bytes 256..297 at 1022..1023. Byte 255 and bytes 298..1019 are covered by neither.
#include <cstdint>

#include "config/image_layout.h"

namespace palor {

std::uint16_t settingsChecksum(const ConfigImage& image);
std::uint16_t hardwareChecksum(const ConfigImage& image);

// The checksums as the image stores them.
std::uint16_t storedSettingsChecksum(const ConfigImage& image);
std::uint16_t storedHardwareChecksum(const ConfigImage& image);

// Computes both checksums and stores them at 1020..1023. Run on the write image after
// encoding (and after the version byte is set, when saving), just before it leaves.
void fillChecksums(ConfigImage& image);

// Both stored checksums equal the computed ones, all four bytes.
bool checksumsMatch(const ConfigImage& image);

// Tests the read image; when it passes, copies it whole into the write image and returns
// true. When it fails, both images stay as they were.
bool checksumTestAndAdopt(ImageBuffer& buffer);

}  // namespace palor
