// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The configuration image: the pager's 1024-byte configuration EEPROM, byte for byte.
// This header names the image's regions, the bit fields of the codings that are more than a
// plain row, and the bit-order helpers its hardware bytes need; image_map.cpp holds the byte
// map itself, row by row.
#include <array>
#include <cstddef>
#include <cstdint>

namespace palor {

inline constexpr std::size_t kImageSize = 1024;
using ConfigImage = std::array<std::uint8_t, kImageSize>;

// The main window's image buffer: the write image (what the encoder built, what is saved
// or sent to the pager) and the read image (what a file or the pager delivered).
struct ImageBuffer {
  ConfigImage writeImage{};
  ConfigImage readImage{};
};

// Bits hi..lo of the byte at `offset`: one field of the byte map, declared once and used
// by both the encoder and the decoder.
struct BitField {
  int offset = 0;
  int hi = 7;
  int lo = 0;

  constexpr std::uint8_t mask() const {
    return static_cast<std::uint8_t>(((1u << (hi - lo + 1)) - 1) << lo);
  }
  // The field's value, shifted down to bit 0.
  constexpr unsigned get(const ConfigImage& img) const {
    return (img[static_cast<std::size_t>(offset)] & mask()) >> lo;
  }
  // Stores the low bits of `value` that fit the field; the byte's other bits stay.
  constexpr void put(ConfigImage& img, unsigned value) const {
    std::uint8_t& byte = img[static_cast<std::size_t>(offset)];
    byte = static_cast<std::uint8_t>((byte & ~mask()) | ((value << lo) & mask()));
  }
};

namespace image {

inline constexpr int kFirmwareVersion = 0;  // version byte; the encoder leaves it 0
// Byte 0 as the pager itself stores it: an image with it comes from the pager's EEPROM, not
// from a saved file, which holds the version there.
inline constexpr std::uint8_t kNoFirmwareVersion = 0;
inline constexpr int kSerial = 1;               // 8 characters, space-padded
inline constexpr int kRangeTimeByte = 9;        // rangetime, firmware version 2 or lower
inline constexpr int kToneA = 14;               // 7 tone patterns, 2 bytes each, to 27
inline constexpr int kPassword = 35;            // 4 characters, zero-padded
inline constexpr int kRangeTimeWord = 44;       // rangetime, little-endian, version 3 and up
inline constexpr int kHelloMessage = 46;        // 14 characters, space-padded
inline constexpr int kFormats = 60;             // one byte per address, to 67
inline constexpr int kFolderTitles = 72;        // 16 x 9 characters, space-padded, to 215
inline constexpr int kFolderRanges = 216;       // 16 x (first slot, last slot), to 247
inline constexpr int kSettingsEnd = 255;        // the settings checksum covers 0..254
inline constexpr int kSynthesizer = 256;        // spacing, chip and band code
inline constexpr int kSynthesizerN = 257;       // N word, 3 bytes, then the R word, 2 bytes
inline constexpr int kAddressRecords = 262;     // 8 x 4 bytes, to 293
inline constexpr int kHardwareEnd = 298;        // the hardware checksum covers 256..297
inline constexpr int kUrgentCalls = 298;        // 4 bytes, two addresses each
inline constexpr int kOtaKillMessage = 307;     // 40 characters, space-padded
inline constexpr int kToneNames = 347;          // 8 addresses x 4 tones x 16, zero-padded
inline constexpr int kAddressNames = 859;       // 8 x 16, zero-padded, to 986
inline constexpr int kSettingsChecksum = 1020;  // low byte first
inline constexpr int kHardwareChecksum = 1022;  // low byte first

// The fields whose coding is more than a plain row of the byte map (image_map.cpp).
inline constexpr BitField kLcdOpa{10, 2, 0};          // the number lcd_opa shows, 3..7
inline constexpr BitField kMethod28a{10, 5, 5};       // urgent calls assigned per address
inline constexpr BitField kUrgentCallType{10, 4, 3};  // 0 while method28a is checked
inline constexpr BitField kBacklightDuty{13, 7, 0};   // 25, 77, 128 or 179
inline constexpr BitField kOtaKillCmd{41, 3, 3};      // loading it checked also enables it
inline constexpr BitField kOverheatVoltage{43, 7, 0};
inline constexpr BitField kPrivateFunControl{250, 4, 4};  // unchecked disables delMenu
// bs1 and bs3, 6 bits each, spread over the decoder chip's bytes in reversed bit order.
inline constexpr BitField kBs3High{295, 7, 6};  // rev2(bs3 bits 5-4)
inline constexpr BitField kBs1High{296, 7, 4};  // rev4(bs1 bits 5-2)
inline constexpr BitField kBs3Low{296, 3, 0};   // rev4(bs3 bits 3-0)
inline constexpr BitField kBs1Low{297, 1, 0};   // rev2(bs1 bits 1-0)
// The decoder chip's noise filter: on for strengths 0..3, off for index 4 ("Off").
inline constexpr BitField kFilterOn{297, 2, 2};
inline constexpr BitField kFilterStrength{297, 4, 3};  // rev2 of the strength

inline constexpr int kSerialWidth = 8;
inline constexpr int kPasswordWidth = 4;
inline constexpr int kHelloMessageWidth = 14;
inline constexpr int kOtaKillMessageWidth = 40;
inline constexpr int kFolderTitleWidth = 9;
inline constexpr int kNameWidth = 16;
inline constexpr int kAddressRecordSize = 4;
// A folder that is not active stores this range.
inline constexpr std::uint8_t kNoFirstSlot = 0xFF;
inline constexpr std::uint8_t kNoLastSlot = 0x00;

// The 16-bit little-endian number at `offset`, and its storing.
constexpr unsigned word16(const ConfigImage& img, int offset) {
  const auto at = static_cast<std::size_t>(offset);
  return img[at] | static_cast<unsigned>(img[at + 1]) << 8;
}
constexpr void putWord16(ConfigImage& img, int offset, unsigned value) {
  const auto at = static_cast<std::size_t>(offset);
  img[at] = static_cast<std::uint8_t>(value);
  img[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

// Tone pattern 0..6 (A, B, C, D, power on, low cell, urgent call): 2 bytes.
constexpr int tonePattern(int pattern) { return kToneA + 2 * pattern; }
constexpr int folderTitle(int folder) { return kFolderTitles + kFolderTitleWidth * folder; }
constexpr int folderRange(int folder) { return kFolderRanges + 2 * folder; }
// Row 1..8.
constexpr int addressRecord(int row) { return kAddressRecords + kAddressRecordSize * (row - 1); }
// Row 1..8, tone 0..3 (A..D).
constexpr int toneName(int row, int tone) { return kToneNames + 64 * (row - 1) + 16 * tone; }
constexpr int addressName(int row) { return kAddressNames + kNameWidth * (row - 1); }
// Urgent-call bit of row 1..8, tone 0..3: byte and bit.
constexpr int urgentCallByte(int row) { return kUrgentCalls + (row - 1) / 2; }
constexpr int urgentCallBit(int row, int tone) { return 4 * ((row - 1) % 2) + tone; }

}  // namespace image

// v with the order of its `bits` low bits reversed (bit 0 becomes bit bits-1 and so on);
// higher bits of v are dropped. The decoder chip's bytes and the address records store
// their fields this way.
constexpr unsigned reverseBits(unsigned v, int bits) {
  unsigned r = 0;
  for (int i = 0; i < bits; ++i)
    if (v & (1u << i)) r |= 1u << (bits - 1 - i);
  return r;
}
constexpr unsigned rev2(unsigned v) { return reverseBits(v, 2); }
constexpr unsigned rev3(unsigned v) { return reverseBits(v, 3); }
constexpr unsigned rev4(unsigned v) { return reverseBits(v, 4); }
constexpr unsigned rev8(unsigned v) { return reverseBits(v, 8); }

}  // namespace palor
