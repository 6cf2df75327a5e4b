// SPDX-License-Identifier: GPL-3.0-or-later
// Single-value codings of the configuration image: bit reversal, tone patterns, overheat
// voltage, backlight duty and the address records.
#include "config/image_values.h"

#include <gtest/gtest.h>

#include "config/image_layout.h"
#include "config/settings_record.h"

namespace palor {
namespace {

TEST(BitReversal, MapsEveryValueAsTheTablesList) {
  const unsigned r2[] = {0, 2, 1, 3};
  const unsigned r3[] = {0, 4, 2, 6, 1, 5, 3, 7};
  const unsigned r4[] = {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15};
  for (unsigned v = 0; v < 4; ++v) EXPECT_EQ(rev2(v), r2[v]) << v;
  for (unsigned v = 0; v < 8; ++v) EXPECT_EQ(rev3(v), r3[v]) << v;
  for (unsigned v = 0; v < 16; ++v) EXPECT_EQ(rev4(v), r4[v]) << v;
  EXPECT_EQ(rev8(0xD2), 0x4Bu);
  EXPECT_EQ(rev8(0x84), 0x21u);
  // Bits above the field are dropped, not carried into the result.
  EXPECT_EQ(rev2(0x7), 3u);
  EXPECT_EQ(rev4(0x1F), 15u);
  for (unsigned v = 0; v < 256; ++v) EXPECT_EQ(rev8(rev8(v)), v);
}

TEST(TonePattern, PacksDigitsAndCodesAnythingElseAsC) {
  struct Case {
    const char* text;
    std::uint8_t first, second;
  };
  const Case cases[] = {
      {"FFFC", 0xFF, 0xFC},
      {"264C", 0x26, 0x4C},
      {"12", 0x12, 0xCC},
      {"", 0xCC, 0xCC},
      {"G1Z0", 0xC1, 0xC0},
      // The fields hold upper case; lower case is no digit here.
      {"ab12", 0xCC, 0x12},
      {"12345", 0x12, 0x34},
  };
  for (const Case& c : cases) {
    const auto bytes = tonePatternBytes(c.text);
    EXPECT_EQ(bytes[0], c.first) << c.text;
    EXPECT_EQ(bytes[1], c.second) << c.text;
  }
  EXPECT_EQ(tonePatternText(0xFF, 0xFC), "FFFC");
  EXPECT_EQ(tonePatternText(0x0A, 0xB0), "0AB0");
}

TEST(Overheat, ParsesHexDecimalAndRefusesBrokenForms) {
  struct Case {
    const char* text;
    std::uint8_t parsed, stored;
  };
  const Case cases[] = {
      {"0xB6", 0xB6, 0xB6},  {"0XA0", 0xA0, 0xA0}, {"0xc0", 0xC0, 0xC0}, {"176", 0xB0, 0xB0},
      {"192", 0xC0, 0xC0},   {"0x9F", 0x9F, 0xB6}, {"0xC1", 0xC1, 0xB6}, {"0xG1", 0, 0xB6},
      {"0x1B6", 0xB6, 0xB6},  // only the low 8 bits count
      {"Zx12", 0x12, 0xB6},   // any first character before the x
      {"0x", 0, 0xB6},       {"x5", 0, 0xB6},      {"1A", 0, 0xB6},      {"416", 0xA0, 0xA0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(parseOverheat(c.text), c.parsed) << c.text;
    EXPECT_EQ(overheatByte(c.text), c.stored) << c.text;
  }
  EXPECT_THROW(parseOverheat(""), ConversionError);
  EXPECT_EQ(overheatText(0xB6), "0xB6");
  EXPECT_EQ(overheatText(0x05), "0x05");
  EXPECT_EQ(overheatText(0x00), "0x00");
}

TEST(AddressRecord, PacksTheWorkedExamplesAndReadsThemBack) {
  struct Case {
    std::uint32_t capcode;
    int slot;
    std::uint8_t b1, b2, b3;
  };
  const Case cases[] = {
      {2004000, 0, 0xC0, 0x4B, 0x21},
      {2004008, 1, 0xC4, 0x4B, 0xA1},
      {7, 0, 0x38, 0x00, 0x00},  // frame 7 = rev3(7) in bits 5-3
      {2097151, 7, 0xFF, 0xFF, 0xFF},
  };
  for (const Case& c : cases) {
    const auto b = packCapcode(c.capcode, c.slot);
    EXPECT_EQ(b[0], c.b1) << c.capcode;
    EXPECT_EQ(b[1], c.b2) << c.capcode;
    EXPECT_EQ(b[2], c.b3) << c.capcode;
    EXPECT_EQ(unpackCapcode(b[0], b[1], b[2]), c.capcode);
  }
}

TEST(AddressRecord, EveryCapcodeSurvivesInEverySlot) {
  for (std::uint32_t c = 0; c < (1u << 21); c += 997)
    for (int slot = 0; slot < 8; slot += 3) {
      const auto b = packCapcode(c, slot);
      ASSERT_EQ(unpackCapcode(b[0], b[1], b[2]), c);
      ASSERT_EQ(b[0] & 7, static_cast<int>(rev3(static_cast<unsigned>(slot))));
    }
}

}  // namespace
}  // namespace palor
