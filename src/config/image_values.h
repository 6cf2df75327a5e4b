// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Codings of single values in the configuration image that are more than a bit field:
// tone patterns, the overheat voltage, the backlight duty, the address records. Each comes
// as a pair, the encoder's way and the decoder's way.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace palor {

// Tone pattern: 4 hexadecimal digits, two per byte in reading order. A character that is
// not '0'..'9' or 'A'..'F', and each missing digit, is the nibble 0xC.
std::array<std::uint8_t, 2> tonePatternBytes(std::string_view text);
// The two bytes as 4 upper-case hexadecimal digits, first byte first.
std::string tonePatternText(std::uint8_t first, std::uint8_t second);

// Overheat voltage as typed: "0x"/"0X" (any first character, 'x' or 'X' second) followed by
// hexadecimal digits, or decimal digits only. A character that breaks the form makes it 0.
// Only the low 8 bits count. An empty text is no number: ConversionError.
std::uint8_t parseOverheat(std::string_view text);
// The stored byte: the parsed value when it lies in 0xA0..0xC0, else 0xB6.
std::uint8_t overheatByte(std::string_view text);
// "0x" and two upper-case hexadecimal digits.
std::string overheatText(std::uint8_t value);
inline constexpr std::uint8_t kOverheatDefault = 0xB6;
inline constexpr std::uint8_t kOverheatMin = 0xA0;
inline constexpr std::uint8_t kOverheatMax = 0xC0;

// Backlight duty byte per `backlight` index 0..3 ("9:1" .. "3:7"); 0 for no selection.
std::uint8_t backlightDuty(int index);
// The index a duty byte selects, or nothing for any other byte.
std::optional<int> backlightIndex(std::uint8_t duty);

// Bytes +1..+3 of the address record of slot 0..7 for capcode c (21 bits; higher bits
// are dropped).
std::array<std::uint8_t, 3> packCapcode(std::uint32_t capcode, int slot);
// The capcode read back from bytes +1..+3 (the slot bits are not read).
std::uint32_t unpackCapcode(std::uint8_t byte1, std::uint8_t byte2, std::uint8_t byte3);

}  // namespace palor
