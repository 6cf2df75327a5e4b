// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/link_frame.h"

#include <algorithm>

#include "config/crc16.h"

namespace palor {

bool isChargerCode(std::uint8_t c) {
  switch (c) {
    case code::kNoPager:
    case code::kPagerPresent:
    case code::kIdentify:
    case code::kWriteDone:
    case code::kWriteImpossible:
    case code::kVerifyPassed:
    case code::kVerifyFailed: return true;
    default: return code::isReadBlock(c) || code::isWriteBlock(c);
  }
}

bool isProgrammerCode(std::uint8_t c) {
  return c == code::kPresencePoll || c == code::kIdentify || c == code::kClosing ||
         code::isReadBlock(c) || code::isWriteBlock(c);
}

FrameBytes buildFrame(std::uint8_t code, std::span<const std::uint8_t> data) {
  const std::size_t n = std::min(data.size(), kFrameDataMax);
  FrameBytes frame;
  auto& b = frame.bytes;
  b[0] = kFrameLead;
  b[1] = kFrameLead;
  b[2] = code;
  b[3] = static_cast<std::uint8_t>(n);
  std::copy_n(data.begin(), n, b.begin() + 4);
  const std::uint16_t crc = crc16Xmodem({b.data() + 2, n + 2});
  b[4 + n] = static_cast<std::uint8_t>(crc >> 8);
  b[5 + n] = static_cast<std::uint8_t>(crc & 0xFF);
  frame.length = n + 6;
  return frame;
}

bool ReceivedFrame::checksumOk() const {
  if (count < 4 || count > bytes.size()) return false;
  const std::uint16_t crc = crc16Xmodem({bytes.data(), count - 2});
  return bytes[count - 2] == (crc >> 8) && bytes[count - 1] == (crc & 0xFF);
}

}  // namespace palor
