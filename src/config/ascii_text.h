// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Small chores on ASCII text, each done in one place: letter case, hexadecimal digits,
// the "\xNN" escape of a byte and a file name's extension.
#include <string>
#include <string_view>

namespace palor {

char asciiLower(char c);
bool equalIgnoringCase(std::string_view a, std::string_view b);
// Text order with the letter case of ASCII letters ignored.
bool lessIgnoringCase(std::string_view a, std::string_view b);
struct LessIgnoringCase {
  bool operator()(std::string_view a, std::string_view b) const { return lessIgnoringCase(a, b); }
};

// The upper-case hexadecimal digit of `value`'s low four bits.
constexpr char hexDigit(unsigned value) { return "0123456789ABCDEF"[value & 0xF]; }
// The value of a hexadecimal digit of either case, or -1 for any other character.
int hexValue(char c);
// A byte as "\x" and two upper-case hexadecimal digits.
std::string hexEscape(unsigned char byte);

// The extension of a file name: its part from the last "." after the last "/", in lower
// case, or empty.
std::string lowerCaseExtension(std::string_view path);

}  // namespace palor
