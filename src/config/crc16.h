// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// CRC-16/XMODEM: polynomial 0x1021, initial value 0, most significant bit first, no
// reflection, no final XOR. One function serves the two checksums inside the configuration
// image (stored low byte first) and the link frames (sent high byte first).
#include <cstddef>
#include <cstdint>
#include <span>

namespace palor {

std::uint16_t crc16Xmodem(std::span<const std::uint8_t> bytes, std::uint16_t crc = 0);

}  // namespace palor
