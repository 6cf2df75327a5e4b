// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/store_values.h"

#include <cctype>
#include <stdexcept>

#include "config/latin1_text.h"

namespace palor::records {

namespace {

// Whether `text` is UTF-8 as a server takes it: no stray, overlong or cut sequences, no
// surrogates, nothing above U+10FFFF.
bool isUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    int more = 0;
    unsigned low = 0x80, high = 0xBF;  // the range of the byte after the lead
    if (lead < 0x80) {
      ++i;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      more = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      more = 2;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      more = 3;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (i + more >= text.size()) return false;  // cut short
    for (int k = 1; k <= more; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF)) return false;
    }
    i += more + 1;
  }
  return true;
}

std::string decodePercent(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() &&
        std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
      out += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

std::string pagerText(std::string_view bytes) { return latin1ToUtf8(bytes); }
std::string pagerBytes(std::string_view utf8) {
  std::string bytes;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if ((c & 0xE0) == 0xC0 && i + 1 < utf8.size()) {
      bytes += static_cast<char>(((c & 0x1F) << 6) | (utf8[++i] & 0x3F));
    } else {
      bytes += static_cast<char>(c);
    }
  }
  return bytes;
}
std::string systemText(std::string_view text) {
  return isUtf8(text) ? std::string(text) : latin1ToUtf8(text);
}

std::string toHex(const ConfigImage& image) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(image.size() * 2);
  for (std::uint8_t byte : image) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 0x0F];
  }
  return hex;
}

ConfigImage fromHex(const std::string& hex) {
  if (hex.size() != kImageSize * 2) throw std::runtime_error("an image of the wrong length");
  auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    throw std::runtime_error("an image that is not hexadecimal");
  };
  ConfigImage image{};
  for (std::size_t i = 0; i < image.size(); ++i)
    image[i] = static_cast<std::uint8_t>(digit(hex[2 * i]) << 4 | digit(hex[2 * i + 1]));
  return image;
}

bool isDay(std::string_view day) {
  if (day.size() != 10 || day[4] != '-' || day[7] != '-') return false;
  for (std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
    if (!std::isdigit(static_cast<unsigned char>(day[i]))) return false;
  return true;
}

std::string passwordIn(const std::string& uri) {
  const std::size_t authority = uri.find("://") + 3;
  const std::size_t authorityEnd = std::min(uri.find_first_of("/?", authority), uri.size());
  const std::string hosts = uri.substr(authority, authorityEnd - authority);
  if (const std::size_t at = hosts.rfind('@'); at != std::string::npos) {
    const std::string user = hosts.substr(0, at);
    if (const std::size_t colon = user.find(':'); colon != std::string::npos)
      return decodePercent(user.substr(colon + 1));
  }
  for (std::size_t at = uri.find("password=", authorityEnd); at != std::string::npos;
       at = uri.find("password=", at + 1)) {
    if (uri[at - 1] != '?' && uri[at - 1] != '&') continue;
    const std::size_t start = at + 9;
    return decodePercent(uri.substr(start, uri.find('&', start) - start));
  }
  return {};
}

std::string withoutSecret(std::string text, const std::string& secret) {
  if (secret.empty()) return text;
  for (std::size_t at = text.find(secret); at != std::string::npos; at = text.find(secret, at + 3))
    text.replace(at, secret.size(), "***");
  return text;
}

}  // namespace palor::records
