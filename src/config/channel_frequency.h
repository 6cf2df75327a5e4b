// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The radio channel: the text of `channelfreq` (MHz, three integral digits, the decimal
// separator, five decimals), its key filter and completion, and the synthesizer words at
// image bytes 256..261 that count steps of the channel frequency minus 21.4 MHz.
//
// Numbers are read and written with the decimal separator found at start-up, never with
// the C library's locale.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "config/image_layout.h"
#include "config/settings_record.h"

namespace palor {

inline constexpr int kChannelFreqLength = 9;
inline constexpr std::int64_t kIntermediateFrequencyHz = 21'400'000;

// Synthesizer step (half the channel spacing) in Hz for spacing code 0..5 ("25 kHz" ..
// "5 kHz"); codes 6 and 7 have none.
std::optional<int> synthesizerStepHz(int spacingCode);
// Band factor for band code 0..2 (1, 2, 4); band code 3 has none.
std::optional<int> bandFactor(int bandCode);
// Band code of a frequency: 0 below 300 MHz, 1 below 500 MHz, 2 from 500 MHz.
int bandCode(double mhz);

// The text read as a decimal number written with `separator`: an optional sign, digits and
// at most one separator, at least one digit. Anything else throws ConversionError.
double parseDecimal(std::string_view text, char separator);
// The separator the programmer uses on a PC whose number format has `pcSeparator`: "." when
// that format reads "475.1", else ",".
char decimalSeparatorFor(char pcSeparator);
// Shortest general form with up to 15 significant digits: 457 for 457.0, 457.0125.
std::string formatDecimal(double value, char separator);

// Completes a channel frequency text to 9 characters: three characters get the separator
// and a "0", any other length a "0", until it is full.
std::string completeFrequencyText(std::string text, char separator);

// Synthesizer count from the unrounded count x: only the first decimal decides
// (17424.49 gives 17424, 17424.5 gives 17425), truncating toward zero.
std::int64_t roundSynthesizerCount(double x);

// Writes bytes 256..261 from `channelfreq`, `channelspace` and `pll`. Byte 256 keeps its
// bits 3-2 (the chip, set by the encoder). Throws ConversionError when the text is not a
// number. With no spacing selected there is no step to count in: the spacing bits hold the
// masked index (7) and the N and R words are left zero; with no chip selected the words
// are left as they are.
void encodeFrequency(const SettingsRecord& record, ConfigImage& image, char separator);

// The frequency in Hz the stored words give for chip `pllIndex`, or nothing when the
// stored spacing code (6, 7), band code (3) or the chip (no selection) has no meaning.
std::optional<std::int64_t> storedFrequencyHz(const ConfigImage& image, int pllIndex);

// Display: sets `channelfreq` to the stored frequency (shortest form, cut to 9 characters,
// completed; a whole number above three digits gets its separator first). When the image holds no
// frequency that can be shown, `channelfreq` is emptied and false is returned.
bool displayFrequency(SettingsRecord& record, const ConfigImage& image, char separator);

// Key rule of `channelfreq`: codes below 31 pass; other non-digits are dropped; a digit
// typed while the text has exactly 2 characters is appended together with the separator
// (the caret belongs at the end) and the key itself is dropped. Returns whether the caller
// inserts the key.
bool channelfreqKeyPress(SettingsRecord& record, char key, char separator);

// Exit rule of `channelfreq`: completes a short text, encodes it into the write image and
// shows the frequency of the nearest synthesizer step. When the stored words cannot be
// shown (no spacing or no chip selected) the completed text stays.
void channelfreqExit(SettingsRecord& record, ConfigImage& writeImage, char separator);

}  // namespace palor
