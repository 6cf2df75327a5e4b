// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Values as the records' database holds them: images as hexadecimal digits, the pager's
// texts and the system's texts in UTF-8, days; and a server's password kept out of messages.
// The records layer's own, seen by no other layer.
#include <string>
#include <string_view>

#include "config/image_layout.h"

namespace palor::records {

// The pager's own texts (serial, pager number) are bytes read as Latin-1; the database holds
// them as UTF-8 and gives them back as the same bytes.
std::string pagerText(std::string_view bytes);
std::string pagerBytes(std::string_view utf8);
// The system's texts (host, login and port names, the status line) are UTF-8; one that is
// not is taken as Latin-1, so that no server refuses a record for its encoding.
std::string systemText(std::string_view text);

// An image as 2048 hexadecimal digits, and back (throws on a wrong length or digit).
std::string toHex(const ConfigImage& image);
ConfigImage fromHex(const std::string& hex);

// Whether `day` has the form YYYY-MM-DD.
bool isDay(std::string_view day);

// The password a server URI carries, in its user part or as a parameter; empty when none.
std::string passwordIn(const std::string& uri);
// `text` with every occurrence of `secret` replaced by "***".
std::string withoutSecret(std::string text, const std::string& secret);

}  // namespace palor::records
