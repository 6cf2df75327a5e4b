// SPDX-License-Identifier: GPL-3.0-or-later
#include "config/escaped_text.h"

#include <cstddef>

#include "config/ascii_text.h"

namespace palor {

namespace {

bool inRange(unsigned char c, unsigned char low, unsigned char high) {
  return c >= low && c <= high;
}

// The length of the well-formed UTF-8 character of two or more bytes that starts at `at`,
// or 0 when none does.
std::size_t utf8Length(std::string_view text, std::size_t at) {
  auto byte = [&](std::size_t k) {
    return at + k < text.size() ? static_cast<unsigned char>(text[at + k]) : 0;
  };
  auto tail = [&](std::size_t k) { return inRange(byte(k), 0x80, 0xBF); };
  const unsigned char lead = byte(0);
  if (inRange(lead, 0xC2, 0xDF)) return tail(1) ? 2 : 0;
  if (inRange(lead, 0xE0, 0xEF)) {
    const unsigned char low = lead == 0xE0 ? 0xA0 : 0x80;
    const unsigned char high = lead == 0xED ? 0x9F : 0xBF;
    return inRange(byte(1), low, high) && tail(2) ? 3 : 0;
  }
  if (inRange(lead, 0xF0, 0xF4)) {
    const unsigned char low = lead == 0xF0 ? 0x90 : 0x80;
    const unsigned char high = lead == 0xF4 ? 0x8F : 0xBF;
    return inRange(byte(1), low, high) && tail(2) && tail(3) ? 4 : 0;
  }
  return 0;
}

// One control byte as its escape: "\n", "\r", "\t", otherwise "\xNN".
std::string byteEscape(unsigned char byte) {
  switch (byte) {
    case '\n': return "\\n";
    case '\r': return "\\r";
    case '\t': return "\\t";
    default: return hexEscape(byte);
  }
}

}  // namespace

std::string escapeControls(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c == 0x7F) {
      out += byteEscape(c);
      ++i;
    } else if (c < 0x80) {
      out += text[i];
      ++i;
    } else if (const std::size_t length = utf8Length(text, i); length > 0) {
      // U+0080..U+009F are the C1 controls: C2 80..C2 9F.
      const bool control = c == 0xC2 && static_cast<unsigned char>(text[i + 1]) <= 0x9F;
      for (std::size_t k = 0; k < length; ++k)
        out += control ? byteEscape(static_cast<unsigned char>(text[i + k]))
                       : std::string(1, text[i + k]);
      i += length;
    } else {
      // A byte of no UTF-8 character is read as Latin-1, where 0x80..0x9F are controls too.
      out += c <= 0x9F ? byteEscape(c) : std::string(1, text[i]);
      ++i;
    }
  }
  return out;
}

}  // namespace palor
