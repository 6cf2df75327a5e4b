// SPDX-License-Identifier: GPL-3.0-or-later
#include "config/crc16.h"

#include <array>

namespace palor {
namespace {

constexpr std::array<std::uint16_t, 256> makeTable() {
  std::array<std::uint16_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    std::uint16_t c = static_cast<std::uint16_t>(i << 8);
    for (int bit = 0; bit < 8; ++bit)
      c = static_cast<std::uint16_t>((c & 0x8000) ? (c << 1) ^ 0x1021 : c << 1);
    table[i] = c;
  }
  return table;
}

constexpr auto kTable = makeTable();

}  // namespace

std::uint16_t crc16Xmodem(std::span<const std::uint8_t> bytes, std::uint16_t crc) {
  for (std::uint8_t b : bytes)
    crc = static_cast<std::uint16_t>((crc << 8) ^ kTable[((crc >> 8) ^ b) & 0xFF]);
  return crc;
}

}  // namespace palor
