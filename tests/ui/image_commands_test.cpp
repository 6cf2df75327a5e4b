// The main window's image commands and channel-frequency rules on the headless form state.
#include <gtest/gtest.h>

#include "config/image_checksums.h"
#include "ui/messages.h"
#include "ui/vendrel.h"

namespace palor {
namespace {

TEST(StartUpSeparator, CommaFormatsStartAt471) {
  struct Case {
    char pc;
    char separator;
    const char* channel;
  };
  const Case cases[] = {{'.', '.', "457.00000"}, {',', ',', "471,00000"}, {'\'', ',', "471,00000"}};
  for (const Case& c : cases) {
    FormState form;
    form.startUp({{}, c.pc});
    EXPECT_EQ(form.decimalSeparator(), c.separator);
    EXPECT_EQ(form.record().text("channelfreq"), c.channel);
  }
}

TEST(ChannelFreqRules, TypingAndLeavingUseTheStartUpSeparator) {
  FormState form;
  form.startUp({{}, ','});
  SettingsRecord& r = form.record();
  const FieldId channel = r.id("channelfreq");
  r.setText(channel, "");
  for (char key : {'1', '5', '.', '2', '8'}) r.typeChar(channel, key);
  EXPECT_EQ(r.text(channel), "152,8");
  r.setIndex("channelspace", 2);
  r.leave(channel);
  EXPECT_EQ(r.text(channel), "152,80000");
  // The exit rule leaves the synthesizer words in the write image.
  EXPECT_EQ(form.images().writeImage[256], 0x20);
  EXPECT_NE(form.images().writeImage[257], 0);
}

TEST(EncodeImageForFile, CarriesTheFirmwareVersionAndValidChecksums) {
  for (std::uint8_t version : {2, 3}) {
    FormState form;
    form.startUp();
    form.setFirmwareVersion(version);
    form.record().setText("rangetime", "300");
    ASSERT_TRUE(form.encodeImageForFile());
    const ConfigImage& image = form.images().writeImage;
    EXPECT_EQ(image[0], version);
    EXPECT_TRUE(checksumsMatch(image));
    EXPECT_EQ(image[version == 2 ? 9 : 44], version == 2 ? 255 : 0x2C);
  }
}

TEST(EncodeWriteImage, RefusalIsLoggedAndNothingIsFilled) {
  FormState form;
  form.startUp();
  SettingsRecord& r = form.record();
  // Lengths set by a program step, without leaving the fields, are not trimmed.
  for (int k = 0; k < 3; ++k) r.setChecked(folderField("pubboxact", k), true);
  for (int k = 0; k < 3; ++k) r.setText(folderField("pubboxlength", k), "40");
  EXPECT_FALSE(form.encodeImageForFile());
  EXPECT_EQ(form.log().lines().back(), msg::kPublicMessagesOver99);
  EXPECT_EQ(form.images().writeImage[0], 0);
  EXPECT_FALSE(checksumsMatch(form.images().writeImage));
}

TEST(DecodeWriteImage, ShowsTheFrequencyWithTheSeparator) {
  FormState form;
  form.startUp({{}, ','});
  form.record().setText("channelfreq", "152,83750");
  form.record().setIndex("channelspace", 2);
  ASSERT_TRUE(form.encodeWriteImage());
  form.record().setText("channelfreq", "999,99999");
  form.decodeWriteImage(3);
  EXPECT_EQ(form.record().text("channelfreq"), "152,83750");
}

}  // namespace
}  // namespace palor
