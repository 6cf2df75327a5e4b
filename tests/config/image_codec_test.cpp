// SPDX-License-Identifier: GPL-3.0-or-later
// The image encoder and decoder on a bare settings record (no editing rules attached): the
// byte values of the map, the encoder's side effects and the decoder's edge cases. The round
// trip and the robustness against any image run through the whole window
// (tests/ui/image_commands_test.cpp).
#include "config/image_codec.h"

#include <gtest/gtest.h>

namespace palor {
namespace {

ConfigImage encoded(SettingsRecord& record, std::uint8_t version = 3) {
  ConfigImage image;
  image.fill(0xEE);  // the encoder starts from zeros itself
  EXPECT_TRUE(encodeImage(record, image, {version, '.'}));
  return image;
}

TEST(ImageEncoder, DefaultSettingsGiveTheKnownBytes) {
  SettingsRecord record;
  const ConfigImage image = encoded(record);
  const std::pair<int, std::uint8_t> bytes[] = {
      {10, 0x25},  {13, 0x4D},  {14, 0xFF},  {15, 0xFC},  {16, 0xCF},  {17, 0xFC},  {26, 0xD1},
      {27, 0xB1},  {28, 0x21},  {29, 20},    {31, 0x07},  {33, 10},    {34, 0x48},  {39, 0x88},
      {40, 0x02},  {41, 0x51},  {43, 0xB6},  {44, 240},   {45, 0},     {68, 0x2B},  {69, 0x2D},
      {70, 0x2A},  {248, 0x01}, {249, 0x00}, {250, 0x13}, {252, 0x53}, {253, 0x04}, {254, 0x24},
      {256, 0x01}, {257, 0x22}, {258, 0x08}, {259, 0x00}, {260, 0x01}, {261, 0x00}, {262, 0x86},
      {263, 0xC0}, {264, 0x4B}, {265, 0x21}, {266, 0x86}, {267, 0xC4}, {268, 0x4B}, {269, 0xA1},
      {294, 0x02}, {295, 0xC4}, {296, 0xFB}, {297, 0x94},
  };
  for (const auto& [offset, value] : bytes) EXPECT_EQ(image[offset], value) << "byte " << offset;
  for (int n = 0; n < 8; ++n) EXPECT_EQ(image[60 + n], 0x55) << "format byte " << 60 + n;
  for (int k = 0; k < 16; ++k) {
    EXPECT_EQ(image[216 + 2 * k], 0xFF) << "folder " << k;
    EXPECT_EQ(image[217 + 2 * k], 0x00) << "folder " << k;
  }
  EXPECT_EQ(std::string(image.begin() + 1, image.begin() + 9), "00000000");
  EXPECT_EQ(std::string(image.begin() + 46, image.begin() + 60), " TARVO PAGING ");
  EXPECT_EQ(std::string(image.begin() + 72, image.begin() + 81), "FOLDER 00");
  EXPECT_EQ(std::string(image.begin() + 207, image.begin() + 216), "FOLDER 15");
  EXPECT_EQ(std::string(image.begin() + 307, image.begin() + 347),
            "PAGER DISABLED! CALL SERVICE PROVIDER!  ");
  EXPECT_EQ(std::string(image.begin() + 35, image.begin() + 39), "4862");
  // Bytes the encoder never writes.
  std::vector<int> zero = {0, 9, 32, 71, 255, 1020, 1021, 1022, 1023};
  for (int b = 302; b <= 306; ++b) zero.push_back(b);
  for (int b = 347; b <= 1019; ++b) zero.push_back(b);  // empty names, unused tail
  for (int b : zero) EXPECT_EQ(image[b], 0) << "byte " << b;
}

TEST(ImageEncoder, RangeTimePlacementFollowsTheFirmwareVersion) {
  struct Case {
    const char* text;
    std::uint8_t version;
    std::uint8_t byte9, byte44, byte45;
    const char* after;
  };
  const Case cases[] = {
      {"300", 3, 0, 0x2C, 0x01, "300"}, {"999", 3, 0, 0xE7, 0x03, "999"},
      {"300", 2, 255, 0, 0, "255"},     {"999", 1, 255, 0, 0, "255"},
      {"200", 2, 200, 0, 0, "200"},     {"", 2, 30, 0, 0, "30"},
      {"", 3, 0, 30, 0, "30"},
  };
  for (const Case& c : cases) {
    SettingsRecord record;
    record.setText("rangetime", c.text);
    const ConfigImage image = encoded(record, c.version);
    EXPECT_EQ(image[9], c.byte9) << c.text << " v" << int(c.version);
    EXPECT_EQ(image[44], c.byte44) << c.text << " v" << int(c.version);
    EXPECT_EQ(image[45], c.byte45) << c.text << " v" << int(c.version);
    EXPECT_EQ(record.text("rangetime"), c.after);
  }
}

TEST(ImageEncoder, UrgentCallTypeIsStoredOnlyWithoutPerAddressUrgentCalls) {
  SettingsRecord record;
  record.setIndex("urgcalltype", 3);
  EXPECT_EQ(encoded(record)[10] & 0x38, 0x20);
  record.setChecked("method28a", false);
  EXPECT_EQ(encoded(record)[10] & 0x38, 0x18);
}

TEST(ImageEncoder, ItemFieldsAreMaskedAndReversedAsMapped) {
  SettingsRecord record;
  record.setIndex("baudrate", 1);         // rev2(1) = 2 in bits 4-3
  record.setIndex("error_rate", 3);       // rev3(3) = 6 in bits 7-5
  record.setIndex("filter_strength", 4);  // "Off": bit 2 clear
  record.setIndex("lcd_opa", 4);          // shows "7"
  record.setIndex("backlight", 3);
  const ConfigImage image = encoded(record);
  EXPECT_EQ(image[295] & 0x18, 0x10);
  EXPECT_EQ(image[297] & 0xFC, 0xC0);
  EXPECT_EQ(image[10] & 7, 7);
  EXPECT_EQ(image[13], 179);
}

TEST(ImageEncoder, FolderSlotRangesFollowTheActiveFolders) {
  struct Case {
    std::vector<std::pair<int, const char*>> active;  // folder, length
    std::vector<std::array<int, 3>> ranges;           // folder, first, last
  };
  const Case cases[] = {
      {{{0, "5"}, {2, "3"}}, {{0, 0, 4}, {1, 0xFF, 0}, {2, 5, 7}, {3, 0xFF, 0}}},
      {{{0, "10"}, {8, "20"}}, {{0, 0, 9}, {8, 10, 29}, {9, 0xFF, 0}}},
      {{{15, "99"}}, {{0, 0xFF, 0}, {15, 0, 98}}},
      {{{0, "1"}, {1, "1"}}, {{0, 0, 0}, {1, 1, 1}}},
  };
  for (const Case& c : cases) {
    SettingsRecord record;
    for (const auto& [k, length] : c.active) {
      record.setChecked(folderField("pubboxact", k), true);
      record.setText(folderField("pubboxlength", k), length);
    }
    const ConfigImage image = encoded(record);
    for (const auto& [k, first, last] : c.ranges) {
      EXPECT_EQ(image[216 + 2 * k], first) << "folder " << k;
      EXPECT_EQ(image[217 + 2 * k], last) << "folder " << k;
    }
  }
}

TEST(ImageEncoder, RefusesMoreThan99SlotsAfterPaddingTheEarlierTexts) {
  SettingsRecord record;
  record.setText("serial", "123");
  record.setText("pubbox0", "NEWS");
  const char* lengths[] = {"40", "40", "20"};
  for (int k = 0; k < 3; ++k) {
    record.setChecked(folderField("pubboxact", k), true);
    record.setText(folderField("pubboxlength", k), lengths[k]);
  }
  ConfigImage image{};
  EXPECT_FALSE(encodeImage(record, image, {}));
  EXPECT_EQ(record.text("serial"), "123     ");
  EXPECT_EQ(record.text("pubbox0"), "NEWS");  // the titles come after the test
  EXPECT_EQ(image[68], 0);

  record.setText(folderField("pubboxlength", 2), "19");
  EXPECT_TRUE(encodeImage(record, image, {}));
  EXPECT_EQ(record.text("pubbox0"), "NEWS     ");
  EXPECT_EQ(std::string(image.begin() + 1, image.begin() + 9), "123     ");
}

TEST(ImageEncoder, DisabledAddressKeepsItsCapcode) {
  SettingsRecord record;
  record.setChecked("addr2en", false);
  const ConfigImage image = encoded(record);
  EXPECT_EQ(image[266], 0x06);
  EXPECT_EQ(image[267], 0xC4);
  EXPECT_EQ(image[268], 0x4B);
  EXPECT_EQ(image[269], 0xA1);
}

TEST(ImageEncoder, NumberFieldThatIsNoNumberIsAConversionError) {
  const char* fields[] = {"lcdholdtime", "contrast",       "bs1", "bs3", "address4",
                          "channelfreq", "overheatVoltage"};
  for (const char* name : fields) {
    SettingsRecord record;
    record.setText(name, "");
    ConfigImage image{};
    EXPECT_THROW(encodeImage(record, image, {}), ConversionError) << name;
  }
}

// ---------------------------------------------------------------------------------------

struct Decoded {
  SettingsRecord record;
  ConfigImage image;
  Decoded() { image = encoded(record); }
  void decode(std::uint8_t version = 3) { decodeImage(record, image, {version, '.'}); }
};

TEST(ImageDecoder, EdgeCasesOfSingleBytes) {
  {
    Decoded d;
    d.image[10] = static_cast<std::uint8_t>((d.image[10] & ~7) | 2);
    d.decode();
    EXPECT_EQ(d.record.index("lcd_opa"), -1);
  }
  {
    Decoded d;
    d.record.setIndex("backlight", 3);
    d.image[13] = 0x50;
    d.decode();
    EXPECT_EQ(d.record.index("backlight"), 3);
  }
  for (const auto& [byte, text] : {std::pair{0x05, "0x05"}, {0xB6, "0xB6"}, {0xFF, "0xFF"}}) {
    Decoded d;
    d.image[43] = static_cast<std::uint8_t>(byte);
    d.decode();
    EXPECT_EQ(d.record.text("overheatVoltage"), text);
  }
  {
    Decoded d;
    d.record.setText("Capcode1ToneA", "old");
    d.image[347] = 0;
    d.image[348] = 'X';
    d.decode();
    EXPECT_EQ(d.record.text("Capcode1ToneA"), "");
  }
  {
    Decoded d;
    d.image[44] = 0xFF;
    d.image[45] = 0xFF;
    d.image[9] = 77;
    d.decode(3);
    EXPECT_EQ(d.record.text("rangetime"), "-1");
    d.decode(2);
    EXPECT_EQ(d.record.text("rangetime"), "77");
  }
  {
    Decoded d;
    d.image[297] = 0x00;
    d.decode();
    EXPECT_EQ(d.record.index("filter_strength"), 4);
    EXPECT_EQ(d.record.index("error_rate"), 0);
  }
  {
    Decoded d;  // the second lowcell bit is the one that stays
    d.image[34] |= 0x08;
    d.image[39] &= static_cast<std::uint8_t>(~0x08);
    d.decode();
    EXPECT_EQ(d.record.index("lowcell"), 0);
  }
}

TEST(ImageDecoder, UrgentCallTypeIsReadOnlyWithoutPerAddressUrgentCalls) {
  Decoded d;
  d.record.setIndex("urgcalltype", 1);
  d.image[10] = 0x38 | 5;  // method28a set, type bits 3
  d.decode();
  EXPECT_TRUE(d.record.checked("method28a"));
  EXPECT_EQ(d.record.index("urgcalltype"), 1);
  d.image[10] = 0x18 | 5;
  d.decode();
  EXPECT_FALSE(d.record.checked("method28a"));
  EXPECT_EQ(d.record.index("urgcalltype"), 3);
}

TEST(ImageDecoder, LoadedReceptionKillIsCheckedAndEnabled) {
  Decoded d;
  d.image[41] |= 0x08;
  d.image[250] &= static_cast<std::uint8_t>(~0x10);
  d.decode();
  EXPECT_TRUE(d.record.checked("otaKillCmd"));
  EXPECT_TRUE(d.record.enabled("otaKillCmd"));
  EXPECT_FALSE(d.record.checked("privateFunControl"));
  EXPECT_FALSE(d.record.enabled("delMenu"));
}

TEST(ImageDecoder, FolderRangesSetActivationLengthAndEnabledFlags) {
  Decoded d;
  d.record.setText("pubboxlength1", "42");
  const std::uint8_t ranges[] = {0, 4, 0xFF, 0, 5, 3};  // folder 2: last below first
  std::copy(std::begin(ranges), std::end(ranges), d.image.begin() + 216);
  d.decode();
  EXPECT_TRUE(d.record.checked("pubboxact0"));
  EXPECT_EQ(d.record.text("pubboxlength0"), "5");
  EXPECT_TRUE(d.record.enabled("pubbox0"));
  EXPECT_FALSE(d.record.checked("pubboxact1"));
  EXPECT_EQ(d.record.text("pubboxlength1"), "42");  // an inactive folder keeps its length
  EXPECT_FALSE(d.record.enabled("pubboxlength1"));
  EXPECT_TRUE(d.record.checked("pubboxact2"));
  EXPECT_EQ(d.record.text("pubboxlength2"), "-1");
}

}  // namespace
}  // namespace palor
