// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Text from outside the program (file names, port names, command-line arguments) shown in a
// line of the status log or a diagnostic. A control character in it would end the line
// early or drive the terminal, so it is shown as an escape instead: "\n", "\r", "\t", and
// "\x1B" for the others. Printable text, UTF-8 or Latin-1, is kept as it is.
#include <string>
#include <string_view>

namespace palor {

// `text` with every control character escaped: C0 controls and DEL, the C1 controls
// U+0080..U+009F written in UTF-8 (each byte escaped), and bytes 0x80..0x9F that belong to
// no UTF-8 character. Escaping an escaped text changes nothing.
std::string escapeControls(std::string_view text);

}  // namespace palor
