// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The link frame, the same in both directions between the programmer and the charger:
//
//   0x7E 0x7E code length(N, 0..64) data[N] checksum-high checksum-low
//
// The checksum is CRC-16/XMODEM over code, length and data, sent high byte first. There is
// no escaping: 0x7E may occur anywhere after the two lead bytes.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "config/image_layout.h"

namespace palor {

inline constexpr std::uint8_t kFrameLead = 0x7E;
inline constexpr std::size_t kFrameDataMax = 64;
inline constexpr std::size_t kFrameSizeMax = 70;  // 6 + 64: a frame carrying one block
// The configuration image travels in 16 blocks of 64 bytes.
inline constexpr std::size_t kBlockSize = 64;
inline constexpr std::size_t kBlockCount = kImageSize / kBlockSize;

// Frame codes. The block codes carry the block number in their low four bits.
namespace code {
inline constexpr std::uint8_t kNoPager = 0x30;       // charger holds no pager
inline constexpr std::uint8_t kPagerPresent = 0x31;  // charger holds a pager
inline constexpr std::uint8_t kPresencePoll = 0x32;
inline constexpr std::uint8_t kIdentify = 0x48;  // request, and its reply
inline constexpr std::uint8_t kClosing = 0x49;
inline constexpr std::uint8_t kWriteDone = 0x4A;
inline constexpr std::uint8_t kWriteImpossible = 0x4B;
inline constexpr std::uint8_t kVerifyPassed = 0x4C;
inline constexpr std::uint8_t kVerifyFailed = 0x4D;
inline constexpr std::uint8_t kReadBlock = 0x60;   // 0x60..0x6F: request and reply
inline constexpr std::uint8_t kWriteBlock = 0x70;  // 0x70..0x7F: frame and acknowledgement

constexpr bool isReadBlock(std::uint8_t c) { return (c & 0xF0) == kReadBlock; }
constexpr bool isWriteBlock(std::uint8_t c) { return (c & 0xF0) == kWriteBlock; }
constexpr std::size_t blockOf(std::uint8_t c) { return c & 0x0F; }
}  // namespace code

// Codes the programmer accepts from the charger; any other code drops the frame.
bool isChargerCode(std::uint8_t c);
// Codes the charger accepts from the programmer.
bool isProgrammerCode(std::uint8_t c);

// A whole frame ready to send, lead bytes included.
struct FrameBytes {
  std::array<std::uint8_t, kFrameSizeMax> bytes{};
  std::size_t length = 0;
  std::span<const std::uint8_t> view() const { return {bytes.data(), length}; }
};

// Builds the frame for a code and up to 64 data bytes; more data than that is a programming
// error and is cut to 64.
FrameBytes buildFrame(std::uint8_t code, std::span<const std::uint8_t> data = {});

// The receive frame store: one received frame without its lead bytes (code at 0, length at
// 1, data byte i at 2 + i, then the checksum high and low bytes) and the count stored.
struct ReceivedFrame {
  std::array<std::uint8_t, kFrameSizeMax> bytes{};
  std::size_t count = 0;

  std::uint8_t code() const { return bytes[0]; }
  std::uint8_t length() const { return bytes[1]; }
  // The data bytes of a complete frame (count = length + 4).
  std::span<const std::uint8_t> data() const {
    return {bytes.data() + 2, count >= 4 ? count - 4 : 0};
  }
  // The checksum of code, length and data matches the two bytes after them.
  bool checksumOk() const;
};

}  // namespace palor
