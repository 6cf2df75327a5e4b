// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The record's texts are bytes, one byte a character, read as Latin-1 (lossless for all 256
// values). Printed text (the report, palorctl's output) is UTF-8.
#include <string>
#include <string_view>

namespace palor {

// Bytes as Latin-1 code points, written in UTF-8.
std::string latin1ToUtf8(std::string_view bytes);

}  // namespace palor
