// SPDX-License-Identifier: GPL-3.0-or-later
// Channel frequency: text, key filter, synthesizer words for both chips, and the display of
// the nearest synthesizer step.
#include "config/channel_frequency.h"

#include <gtest/gtest.h>

#include <array>

namespace palor {
namespace {

using Bytes = std::array<std::uint8_t, 6>;

Bytes synthesizerBytes(const ConfigImage& image) {
  Bytes b;
  for (int i = 0; i < 6; ++i) b[i] = image[256 + i];
  return b;
}

struct Channel {
  SettingsRecord record;
  ConfigImage image{};

  Channel(const char* text, int spacing, int chip) {
    record.setText("channelfreq", text);
    record.setIndex("channelspace", spacing);
    record.setIndex("pll", chip);
    // The encoder has put the chip into byte 256 before the frequency is encoded.
    image[256] = static_cast<std::uint8_t>((chip & 3) << 2);
  }
};

TEST(ChannelFrequency, WorkedExamplesEncodeAndShowTheNearestStep) {
  struct Case {
    const char* text;
    int spacing, chip;
    Bytes bytes;
    const char* shown;
  };
  const Case cases[] = {
      {"457.00000", 0, 0, {0x01, 0x22, 0x08, 0x00, 0x01, 0x00}, "457.00000"},
      {"152.83750", 2, 0, {0x20, 0x29, 0x13, 0x00, 0x02, 0x00}, "152.83750"},
      {"929.61250", 0, 0, {0x02, 0x23, 0x7A, 0x00, 0x01, 0x00}, "929.60000"},
      {"457.00000", 0, 1, {0x05, 0x22, 0x08, 0x00, 0x01, 0x08}, "457.00000"},
      // An odd count: bit 0 of N goes to bit 7 of byte 259 (SM5170) or bit 6 (FS8170).
      {"457.01250", 2, 0, {0x21, 0x44, 0x10, 0x80, 0x02, 0x00}, "457.01250"},
      {"457.01250", 2, 1, {0x25, 0x44, 0x10, 0x40, 0x01, 0x10}, "457.01250"},
      // R for the other spacings: SM5170 R = 12.8 MHz / (4 S), FS8170 R / 128.
      {"152.83750", 5, 0, {0x50, 0x66, 0xAF, 0x80, 0x05, 0x00}, "152.83750"},
      {"152.83750", 4, 1, {0x44, 0x52, 0x26, 0x00, 0x01, 0x20}, "152.83750"},
  };
  for (const Case& c : cases) {
    Channel ch(c.text, c.spacing, c.chip);
    encodeFrequency(ch.record, ch.image, '.');
    EXPECT_EQ(synthesizerBytes(ch.image), c.bytes) << c.text << " spacing " << c.spacing;
    EXPECT_TRUE(displayFrequency(ch.record, ch.image, '.'));
    EXPECT_EQ(ch.record.text("channelfreq"), c.shown) << c.text;
  }
}

TEST(ChannelFrequency, BandCodeChangesAt300And500MHz) {
  const std::pair<const char*, int> cases[] = {
      {"299.99999", 0}, {"300.00000", 1}, {"499.99999", 1}, {"500.00000", 2}, {"021.40000", 0}};
  for (const auto& [text, band] : cases) {
    Channel ch(text, 0, 0);
    encodeFrequency(ch.record, ch.image, '.');
    EXPECT_EQ(ch.image[256] & 3, band) << text;
  }
}

TEST(ChannelFrequency, OnlyTheFirstDecimalDecidesTheRounding) {
  const std::pair<double, std::int64_t> cases[] = {
      {17424.49, 17424}, {17424.5, 17425}, {17424.45, 17424}, {17424.99, 17425},
      {0.0, 0},          {-3.7, -3},       {-3.2, -3}};
  for (const auto& [x, n] : cases) EXPECT_EQ(roundSynthesizerCount(x), n) << x;
}

TEST(ChannelFrequency, ShownFormIsCutToNineCharacters) {
  // 6.25 kHz below 300 MHz: a step of 3125 Hz, so 150.003125 has ten characters.
  Channel ch("150.00312", 4, 0);
  encodeFrequency(ch.record, ch.image, '.');
  displayFrequency(ch.record, ch.image, '.');
  EXPECT_EQ(ch.record.text("channelfreq"), "150.00312");
}

TEST(ChannelFrequency, EmptyTextOnExitEncodesZeroMHzAsLowBits) {
  Channel ch("", 0, 0);
  channelfreqExit(ch.record, ch.image, '.');
  // 0 MHz is 1712 steps below the intermediate frequency: two's complement low bits.
  EXPECT_EQ(synthesizerBytes(ch.image), (Bytes{0x00, 0xFC, 0xA8, 0x00, 0x01, 0x00}));
  EXPECT_EQ(ch.record.text("channelfreq"), "1638.4000");
}

TEST(ChannelFrequency, ExitCompletesEncodesAndShowsTheStep) {
  struct Case {
    const char* typed;
    char separator;
    const char* shown;
  };
  const Case cases[] =
      {
          {"457", '.', "457.00000"},       {"45", '.', "450.00000"},
          {"457.0", '.', "457.00000"},     {"457,0125", ',', "457,01250"},
          {"457.013", '.', "457.01250"},    // the nearest step of 12.5 kHz (6.25 kHz x 2)
          {"457,00600", ',', "457,00000"},  // 0.48 of a step above 457
          {"457.00625", '.', "457.01250"},  // half a step rounds up
      };
  for (const Case& c : cases) {
    Channel ch(c.typed, 2, 0);
    channelfreqExit(ch.record, ch.image, c.separator);
    EXPECT_EQ(ch.record.text("channelfreq"), c.shown) << c.typed;
  }
}

TEST(ChannelFrequency, TextInAnotherNumberFormatIsAConversionError) {
  Channel ch("457.00000", 0, 0);
  EXPECT_THROW(encodeFrequency(ch.record, ch.image, ','), ConversionError);
  EXPECT_THROW(channelfreqExit(ch.record, ch.image, ','), ConversionError);
}

TEST(ChannelFrequency, UnknownStepBandOrChipShowsNoFrequency) {
  struct Case {
    std::uint8_t control;
    int chip;
  };
  const Case cases[] = {{0x61, 0}, {0x71, 0}, {0x03, 0}, {0x81, 0}, {0x01, -1}};
  for (const Case& c : cases) {
    SettingsRecord record;
    record.setIndex("pll", c.chip);
    ConfigImage image{};
    image[256] = c.control;
    image[257] = 0x22;
    image[258] = 0x08;
    EXPECT_FALSE(storedFrequencyHz(image, c.chip).has_value()) << int(c.control);
    EXPECT_FALSE(displayFrequency(record, image, '.'));
    EXPECT_EQ(record.text("channelfreq"), "");
  }
}

// Words that only a foreign or damaged image holds can give 1000 MHz or more. A whole
// number of megahertz is then shown with its separator, so that completing the text adds
// decimals instead of multiplying it, and the shown text encodes back to the same words.
TEST(ChannelFrequency, FourDigitFrequenciesKeepTheirValueWhenShown) {
  struct Case {
    Bytes bytes;  // 256..261, band code 2, "25 kHz", SM5170
    char separator;
    const char* shown;
  };
  const Case cases[] = {
      {{0x02, 0x2F, 0x40, 0x00, 0x01, 0x00}, '.', "1231.0000"},  // N = 24192
      {{0x02, 0x2F, 0x40, 0x00, 0x01, 0x00}, ',', "1231,0000"},
      {{0x02, 0x2F, 0x40, 0x80, 0x01, 0x00}, '.', "1231.0500"},  // N = 24193
      {{0x02, 0x26, 0x34, 0x00, 0x01, 0x00}, '.', "999.40000"},  // N = 19560: three digits
  };
  for (const Case& c : cases) {
    Channel ch("457.00000", 0, 0);
    for (int i = 0; i < 6; ++i) ch.image[256 + i] = c.bytes[i];
    ASSERT_TRUE(displayFrequency(ch.record, ch.image, c.separator));
    EXPECT_EQ(ch.record.text("channelfreq"), c.shown);
    ConfigImage again{};
    again[256] = ch.image[256] & 0x0C;
    encodeFrequency(ch.record, again, c.separator);
    EXPECT_EQ(synthesizerBytes(again), c.bytes) << c.shown;
  }
}

TEST(ChannelFrequency, NoSpacingSelectedWritesNoWordsAndKeepsTheTypedText) {
  Channel ch("457.00000", -1, 0);
  ch.image[257] = 0x11;  // left from before
  channelfreqExit(ch.record, ch.image, '.');
  EXPECT_EQ(ch.image[256], 0x71);
  EXPECT_EQ(ch.image[257], 0x11);
  EXPECT_EQ(ch.record.text("channelfreq"), "457.00000");
}

TEST(ChannelFrequencyText, ParsesOnlyTheGivenSeparator) {
  struct Case {
    const char* text;
    char separator;
    double value;
  };
  const Case good[] = {{"457.00000", '.', 457},
                       {"457,00000", ',', 457},
                       {"-1.5", '.', -1.5},
                       {".5", '.', 0.5},
                       {"5.", '.', 5},
                       {"+12", ',', 12},
                       {"152.83750", '.', 152.8375}};
  for (const Case& c : good) EXPECT_DOUBLE_EQ(parseDecimal(c.text, c.separator), c.value) << c.text;
  const std::pair<const char*, char> bad[] = {{"457.00000", ','}, {"", '.'},    {".", '.'},
                                              {"1.2.3", '.'},     {"4 5", '.'}, {"1e5", '.'},
                                              {"-", '.'},         {"0x10", '.'}};
  for (const auto& [text, separator] : bad)
    EXPECT_THROW(parseDecimal(text, separator), ConversionError) << text;
}

TEST(ChannelFrequencyKeys, ThirdDigitBringsTheSeparator) {
  for (char separator : {'.', ','}) {
    SettingsRecord record;
    const FieldId f = record.id("channelfreq");
    record.setKeyRule(
        f, [&](FieldId, char key) { return channelfreqKeyPress(record, key, separator); });
    record.setText(f, "");
    for (char key : {'4', 'a', '.', ',', '5', '7'}) record.typeChar(f, key);
    EXPECT_EQ(record.text(f), std::string("457") + separator);
    for (char key : {'0', '1', '\x1f', static_cast<char>(200), '2'}) record.typeChar(f, key);
    EXPECT_EQ(record.text(f), std::string("457") + separator + "012");
    record.typeChar(f, '\b');  // editing keys pass
    EXPECT_EQ(record.text(f), std::string("457") + separator + "01");
  }
}

}  // namespace
}  // namespace palor
