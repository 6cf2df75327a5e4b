// SPDX-License-Identifier: GPL-3.0-or-later
#include "config/channel_frequency.h"

#include <array>
#include <charconv>
#include <cmath>

namespace palor {
namespace {

// Per spacing code: the synthesizer step S in Hz.
constexpr std::array<int, 6> kStepHz = {12500, 10000, 6250, 5000, 3125, 2500};
constexpr std::array<int, 3> kBandFactor = {1, 2, 4};

constexpr int kChipSM5170 = 0;
constexpr int kChipFS8170 = 1;
constexpr double kReferenceHz = 12'800'000.0;

FieldId channelfreq() { return SettingsRecord::id("channelfreq"); }

}  // namespace

std::optional<int> synthesizerStepHz(int spacingCode) {
  if (spacingCode < 0 || spacingCode >= static_cast<int>(kStepHz.size())) return std::nullopt;
  return kStepHz[static_cast<std::size_t>(spacingCode)];
}

std::optional<int> bandFactor(int bandCode) {
  if (bandCode < 0 || bandCode >= static_cast<int>(kBandFactor.size())) return std::nullopt;
  return kBandFactor[static_cast<std::size_t>(bandCode)];
}

int bandCode(double mhz) {
  if (mhz < 300) return 0;
  if (mhz < 500) return 1;
  return 2;
}

double parseDecimal(std::string_view text, char separator) {
  std::string_view rest = text;
  bool negative = false;
  if (!rest.empty() && (rest.front() == '+' || rest.front() == '-')) {
    negative = rest.front() == '-';
    rest.remove_prefix(1);
  }
  // Rewritten with "." for from_chars, which knows no locale.
  std::string plain;
  plain.reserve(rest.size() + 1);
  bool seenSeparator = false;
  bool seenDigit = false;
  for (char c : rest) {
    if (c >= '0' && c <= '9') {
      seenDigit = true;
      plain += c;
    } else if (c == separator && !seenSeparator) {
      seenSeparator = true;
      plain += '.';
    } else {
      throw ConversionError(std::string(text));
    }
  }
  if (!seenDigit) throw ConversionError(std::string(text));
  if (plain.front() == '.') plain.insert(plain.begin(), '0');
  double value = 0;
  const auto [end, error] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
  if (error != std::errc() || end != plain.data() + plain.size() || !std::isfinite(value))
    throw ConversionError(std::string(text));
  return negative ? -value : value;
}

char decimalSeparatorFor(char pcSeparator) {
  try {
    parseDecimal("475.1", pcSeparator);
    return '.';
  } catch (const ConversionError&) {
    return ',';
  }
}

std::string formatDecimal(double value, char separator) {
  std::array<char, 64> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                    std::chars_format::general, 15);
  std::string text(buffer.data(), result.ptr);
  for (char& c : text)
    if (c == '.') c = separator;
  return text;
}

std::string completeFrequencyText(std::string text, char separator) {
  const auto full = static_cast<std::size_t>(kChannelFreqLength);
  while (text.size() < full) {
    if (text.size() == 3) text += separator;
    text += '0';
  }
  return text;
}

std::int64_t roundSynthesizerCount(double x) {
  std::int64_t t = static_cast<std::int64_t>(x * 10);  // truncates toward zero
  if (t % 10 >= 5) t += 10;
  return t / 10;
}

void encodeFrequency(const SettingsRecord& record, ConfigImage& image, char separator) {
  const std::string& text = record.text(channelfreq());
  const double mhz = parseDecimal(text, separator);
  const int spacing = record.index("channelspace");
  const int chip = record.index("pll");

  std::uint8_t& control = image[image::kSynthesizer];
  control = static_cast<std::uint8_t>((control & 0x0C) | ((spacing & 7) << 4));
  const int band = bandCode(mhz);
  control = static_cast<std::uint8_t>(control | band);

  const auto stepHz = synthesizerStepHz(spacing);
  if (!stepHz) return;  // no step to count in
  const double stepKHz = *stepHz / 1000.0;
  // The division of two exact integers rounds to the same double as the decimal 21.4.
  const double intermediateMHz = static_cast<double>(kIntermediateFrequencyHz) / 1e6;
  const double x = (mhz - intermediateMHz) * 1000 / (stepKHz * *bandFactor(band));
  // A 9-character text keeps |x| far below this; anything beyond is no frequency at all.
  if (!(std::fabs(x) < 1e15)) throw ConversionError(text);
  // Two's complement low bits, also for a count below zero.
  const auto n = static_cast<std::uint32_t>(roundSynthesizerCount(x));

  std::uint8_t* word = image.data() + image::kSynthesizerN;
  if (chip == kChipSM5170) {
    const auto r = static_cast<std::uint32_t>(kReferenceHz / (stepKHz * 1000 * 4));
    word[0] = static_cast<std::uint8_t>(n >> 9);
    word[1] = static_cast<std::uint8_t>(n >> 1);
    word[2] = static_cast<std::uint8_t>((n & 1) << 7);
    word[3] = static_cast<std::uint8_t>(r >> 8);
    word[4] = static_cast<std::uint8_t>(r);
  } else if (chip == kChipFS8170) {
    const auto r = static_cast<std::uint32_t>(kReferenceHz / (stepKHz * 1000));
    const std::uint32_t m = n * 64;
    word[0] = static_cast<std::uint8_t>(m >> 15);
    word[1] = static_cast<std::uint8_t>(m >> 7);
    word[2] = static_cast<std::uint8_t>(m & 0x7E);
    word[3] = 0x01;
    word[4] = static_cast<std::uint8_t>((r / 128) & 0x7F);
  }
}

std::optional<std::int64_t> storedFrequencyHz(const ConfigImage& image, int pllIndex) {
  const std::uint8_t control = image[image::kSynthesizer];
  const auto stepHz = synthesizerStepHz((control >> 4) & 7);
  const auto factor = bandFactor(control & 3);
  if (!stepHz || !factor || (control & 0x80)) return std::nullopt;

  const std::uint8_t* word = image.data() + image::kSynthesizerN;
  std::int64_t n = 0;
  if (pllIndex == kChipSM5170)
    n = word[0] * 512 + word[1] * 2 + (word[2] >> 7);
  else if (pllIndex == kChipFS8170)  // M = N x 64: bit 0 of N sits in bit 6 of byte 259
    n = ((word[0] << 15) | (word[1] << 7) | (word[2] & 0x7E)) >> 6;
  else
    return std::nullopt;
  return n * *stepHz * *factor + kIntermediateFrequencyHz;
}

bool displayFrequency(SettingsRecord& record, const ConfigImage& image, char separator) {
  record.setText(channelfreq(), "");
  const auto hz = storedFrequencyHz(image, record.index("pll"));
  if (!hz) return false;
  std::string shown = formatDecimal(static_cast<double>(*hz) * 0.000001, separator);
  // Completion puts the separator after the third character only; a whole number of 1000 MHz
  // or more (words that only a foreign or damaged image holds) gets it here, so that
  // completing adds decimals instead of multiplying the frequency.
  if (shown.size() > 3 && shown.find(separator) == std::string::npos) shown += separator;
  record.setText(channelfreq(), shown);
  record.setText(channelfreq(), completeFrequencyText(record.text(channelfreq()), separator));
  return true;
}

bool channelfreqKeyPress(SettingsRecord& record, char key, char separator) {
  const auto code = static_cast<unsigned char>(key);
  if (code < 31) return true;
  if (key < '0' || key > '9') return false;
  const std::string& text = record.text(channelfreq());
  if (text.size() != 2) return true;
  record.setText(channelfreq(), text + key + separator);
  return false;
}

void channelfreqExit(SettingsRecord& record, ConfigImage& writeImage, char separator) {
  const FieldId field = channelfreq();
  if (record.text(field).size() < static_cast<std::size_t>(kChannelFreqLength))
    record.setText(field, completeFrequencyText(record.text(field), separator));
  encodeFrequency(record, writeImage, separator);
  const std::string typed = record.text(field);
  if (!displayFrequency(record, writeImage, separator)) record.setText(field, typed);
}

}  // namespace palor
