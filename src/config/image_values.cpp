// SPDX-License-Identifier: GPL-3.0-or-later
#include "config/image_values.h"

#include "config/ascii_text.h"
#include "config/image_layout.h"
#include "config/settings_record.h"

namespace palor {
namespace {

constexpr std::array<std::uint8_t, 4> kBacklightDuty = {25, 77, 128, 179};

// '0'..'9' and 'A'..'F' only: the tone pattern fields hold upper case.
int upperHexDigit(char c) { return c >= 'a' && c <= 'f' ? -1 : hexValue(c); }

}  // namespace

std::array<std::uint8_t, 2> tonePatternBytes(std::string_view text) {
  int nibble[4];
  for (std::size_t i = 0; i < 4; ++i) {
    const int d = i < text.size() ? upperHexDigit(text[i]) : -1;
    nibble[i] = d < 0 ? 0xC : d;
  }
  return {static_cast<std::uint8_t>(nibble[0] << 4 | nibble[1]),
          static_cast<std::uint8_t>(nibble[2] << 4 | nibble[3])};
}

std::string tonePatternText(std::uint8_t first, std::uint8_t second) {
  return {hexDigit(first >> 4), hexDigit(first), hexDigit(second >> 4), hexDigit(second)};
}

std::uint8_t parseOverheat(std::string_view text) {
  unsigned value = 0;
  if (text.size() >= 2 && (text[1] == 'x' || text[1] == 'X')) {
    for (char c : text.substr(2)) {
      const int d = hexValue(c);
      if (d < 0) return 0;
      value = value * 16 + static_cast<unsigned>(d);
    }
    return static_cast<std::uint8_t>(value);
  }
  if (text.empty()) throw ConversionError(std::string(text));
  for (char c : text) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  return static_cast<std::uint8_t>(value);
}

std::uint8_t overheatByte(std::string_view text) {
  const std::uint8_t v = parseOverheat(text);
  return v < kOverheatMin || v > kOverheatMax ? kOverheatDefault : v;
}

std::string overheatText(std::uint8_t value) {
  return {'0', 'x', hexDigit(value >> 4), hexDigit(value)};
}

std::uint8_t backlightDuty(int index) {
  if (index < 0 || index >= static_cast<int>(kBacklightDuty.size())) return 0;
  return kBacklightDuty[static_cast<std::size_t>(index)];
}

std::optional<int> backlightIndex(std::uint8_t duty) {
  for (std::size_t i = 0; i < kBacklightDuty.size(); ++i)
    if (kBacklightDuty[i] == duty) return static_cast<int>(i);
  return std::nullopt;
}

std::array<std::uint8_t, 3> packCapcode(std::uint32_t capcode, int slot) {
  const std::uint32_t q = capcode >> 3;
  const auto frame = capcode & 7;
  return {static_cast<std::uint8_t>(rev2(q >> 16) << 6 | rev3(frame) << 3 |
                                    rev3(static_cast<unsigned>(slot))),
          static_cast<std::uint8_t>(rev8(q >> 8)), static_cast<std::uint8_t>(rev8(q))};
}

std::uint32_t unpackCapcode(std::uint8_t byte1, std::uint8_t byte2, std::uint8_t byte3) {
  return rev2(byte1 >> 6) << 19 | rev8(byte2) << 11 | rev8(byte3) << 3 | rev3(byte1 >> 3);
}

}  // namespace palor
