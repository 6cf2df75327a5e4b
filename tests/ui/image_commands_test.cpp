// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's image commands and channel-frequency rules on the headless form state.
#include <gtest/gtest.h>

#include <random>

#include "config/image_checksums.h"
#include "random_configuration.h"
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

namespace palor {
namespace {

// A started window holding a random configuration that its rules accept.
struct Window {
  FormState form;
  explicit Window(std::uint32_t seed, std::uint8_t version = 3) {
    form.startUp();
    form.setFirmwareVersion(version);
    test::RandomConfiguration(seed).fill(form.record());
    form.msgtypeChange();
  }
  SettingsRecord& record() { return form.record(); }
  std::vector<std::uint8_t> saved() {
    EXPECT_TRUE(form.buildImageFile());
    const ConfigImage& image = form.images().writeImage;
    return {image.begin(), image.end()};
  }
};

TEST(ImageFileRoundTrip, SavedConfigurationsOpenAsTheyWereIntoAnyWindow) {
  for (std::uint32_t seed = 1; seed <= 150; ++seed) {
    const auto version = static_cast<std::uint8_t>(2 + seed % 2);
    Window source(seed, version);
    const auto file = source.saved();

    Window target(seed + 50000, version);  // holding some other configuration
    ASSERT_TRUE(target.form.loadImageFile(file, "pager.bin")) << "seed " << seed;
    EXPECT_EQ(target.form.log().lines().back(), "Loaded data from pager.bin");

    std::vector<std::string> except = {"channelfreq"};
    if (source.record().checked("method28a")) except.push_back("urgcalltype");
    for (int k = 0; k < kFolders; ++k)
      if (!source.record().checked(folderField("pubboxact", k)))
        except.push_back(folderField("pubboxlength", k));
    EXPECT_EQ(test::differingFields(source.record(), target.record(), except),
              std::vector<std::string>{})
        << "seed " << seed;
    EXPECT_EQ(target.saved(), file) << "seed " << seed;
  }
}

// Synthesizer words that only a foreign or damaged file holds (here 1231.0125 MHz in band 0):
// the first save stores the nearest step in the right band, and from then on a saved file
// reopens and saves as it was.
TEST(ImageFileOpen, FrequencyAboveThreeDigitsSavesAsItReopens) {
  Window source(3);
  std::vector<std::uint8_t> file = source.saved();
  const std::uint8_t words[] = {0x00, 0xBD, 0x00, 0x86};  // 256..259: N = 96769, SM5170
  std::copy(std::begin(words), std::end(words), file.begin() + 256);
  ConfigImage foreign;
  std::copy(file.begin(), file.end(), foreign.begin());
  fillChecksums(foreign);

  Window first(4);
  ASSERT_TRUE(first.form.loadImageFile(foreign, "foreign.bin"));
  EXPECT_EQ(first.record().text("channelfreq"), "1231.0125");
  const auto saved = first.saved();
  Window second(5);
  ASSERT_TRUE(second.form.loadImageFile(saved, "saved.bin"));
  EXPECT_EQ(second.record().text("channelfreq"), "1231.0000");
  EXPECT_EQ(second.saved(), saved);
}

// A table can leave display times selected beside a hold time that is not 0 (line 42 sets
// the times after the hold time's rule). Such a file opens alike into any window: the hold
// time's rule runs for the loaded value whatever the window held before.
TEST(ImageFileOpen, LoadedDisplayTimesDoNotDependOnTheWindowBefore) {
  Window source(8);
  source.record().setText("lcdholdtime", "20");
  source.record().setIndex("lcd_on_time", 3);
  source.record().setIndex("lcd_off_time", -1);
  const auto file = source.saved();

  std::vector<std::vector<std::uint8_t>> saves;
  for (const char* before : {"20", "5", "0"}) {
    Window target(9);
    target.record().setText("lcdholdtime", before);
    ASSERT_TRUE(target.form.loadImageFile(file, "times.bin"));
    EXPECT_EQ(target.record().text("lcdholdtime"), "20");
    EXPECT_EQ(target.record().index("lcd_on_time"), 0) << "window held " << before;
    EXPECT_EQ(target.record().index("lcd_off_time"), 0) << "window held " << before;
    EXPECT_FALSE(target.record().enabled("lcd_on_time"));
    saves.push_back(target.saved());
  }
  EXPECT_EQ(saves[1], saves[0]);
  EXPECT_EQ(saves[2], saves[0]);
}

// The window's previous folders and address switches must not cost a loaded folder.
TEST(ImageFileOpen, LoadedFoldersDoNotDependOnTheWindowBefore) {
  Window source(7);
  SettingsRecord& s = source.record();
  for (int n = 1; n <= kAddressRows; ++n) {
    s.setChecked(rowField("addr", n, "en"), n == 3);
    s.setIndex(rowField("msgtype", n), n == 3 ? 1 : 0);
  }
  source.form.msgtypeChange();
  for (int k = 0; k < kFolders; ++k) s.setChecked(folderField("pubboxact", k), false);
  s.setChecked("pubboxact0", true);
  s.setText("pubboxlength0", "99");
  const auto file = source.saved();

  // Windows that held: row 3 switched off with the other rows public (loading switches row 3
  // on only after row 1 off has locked the Folders tab), or the same rows as the file.
  for (const bool row3WasOff : {true, false}) {
    Window target(8);
    SettingsRecord& t = target.record();
    for (int n = 1; n <= kAddressRows; ++n) {
      t.setChecked(rowField("addr", n, "en"), row3WasOff ? n != 3 : n == 3);
      t.setIndex(rowField("msgtype", n), 1);
    }
    target.form.msgtypeChange();
    for (int k = 0; k < kFolders; ++k) t.setChecked(folderField("pubboxact", k), false);
    t.setChecked("pubboxact8", true);  // the other half full
    t.setText("pubboxlength8", "99");
    t.setText("pubboxlength0", "");  // a length the user left empty

    const std::size_t before = target.form.log().lines().size();
    ASSERT_TRUE(target.form.loadImageFile(file, "f.bin"));
    EXPECT_TRUE(t.checked("pubboxact0")) << row3WasOff;
    EXPECT_EQ(t.text("pubboxlength0"), "99");
    EXPECT_FALSE(t.checked("pubboxact8"));
    EXPECT_TRUE(t.enabled("pubboxact0"));
    EXPECT_TRUE(t.enabled("pubboxact1"));
    EXPECT_FALSE(t.checked("pubboxact1"));
    EXPECT_EQ(target.form.log().lines().size(), before + 1);  // only "Loaded data from f.bin"
  }
}

TEST(ImageFileOpen, RefusedContentLeavesTheSettings) {
  Window source(11);
  auto file = source.saved();
  struct Case {
    std::vector<std::uint8_t> content;
    std::string_view message;
  };
  auto corrupt = file;
  corrupt[100] ^= 1;
  const Case cases[] = {
      {std::vector<std::uint8_t>(file.begin(), file.begin() + 1000), msg::kLoadFailed},
      {{}, msg::kLoadFailed},
      {corrupt, msg::kFileCorrupted},
  };
  for (const Case& c : cases) {
    Window target(12);
    const ConfigImage writeBefore = target.form.images().writeImage;
    EXPECT_FALSE(target.form.loadImageFile(c.content, "x.bin"));
    EXPECT_EQ(target.form.log().lines().back(), c.message);
    EXPECT_EQ(target.form.images().writeImage, writeBefore);
    EXPECT_EQ(target.record().text("address1"), Window(12).record().text("address1"));
  }
  file.push_back(0x42);  // a longer file: the first 1024 bytes count
  EXPECT_TRUE(Window(13).form.loadImageFile(file, "long.bin"));
}

// Byte 0 chooses the rangetime placement for this file only; a byte 0 of 0 (a dump of the
// pager's EEPROM as the pager holds it) takes the pager firmware version in hand instead.
TEST(ImageFileOpen, VersionByteChoosesTheRangeTimePlacementForThisFileOnly) {
  struct Case {
    std::uint8_t savedFor;  // version the file was encoded for
    bool dumped;            // byte 0 set to 0, as the pager stores it
    std::uint8_t pager;     // version of the opening window
    const char* rangetime;
  };
  const Case cases[] = {
      {2, false, 3, "200"},
      {3, false, 2, "240"},
      {3, true, 3, "240"},
      {2, true, 2, "200"},
  };
  for (const Case& c : cases) {
    const std::string what = std::to_string(c.savedFor) + (c.dumped ? " dumped" : " saved");
    Window source(21, c.savedFor);
    source.record().setText("rangetime", c.rangetime);
    auto file = source.saved();
    ASSERT_EQ(file[0], c.savedFor);
    if (c.dumped) {
      ConfigImage dump;
      std::copy(file.begin(), file.end(), dump.begin());
      dump[0] = 0;
      fillChecksums(dump);
      file.assign(dump.begin(), dump.end());
    }

    Window target(22, c.pager);
    ASSERT_TRUE(target.form.loadImageFile(file, "f.bin")) << what;
    EXPECT_EQ(target.form.loadedPagerDump(), c.dumped) << what;
    EXPECT_EQ(target.record().text("rangetime"), c.rangetime) << what;
    const auto resaved = target.saved();
    const int value = std::stoi(c.rangetime);
    EXPECT_EQ(resaved[0], c.pager) << what;
    EXPECT_EQ(resaved[9], c.pager == 2 ? value : 0) << what;
    EXPECT_EQ(resaved[44], c.pager == 2 ? 0 : value) << what;
  }
}

TEST(BuildImageFile, PreStoreChecksRefuseBeforeEncoding) {
  {
    Window w(31);
    w.record().setText("address4", "7");  // invalid: its frame is empty
    const std::size_t lines = w.form.log().lines().size();
    EXPECT_FALSE(w.form.buildImageFile());
    EXPECT_EQ(w.form.log().lines().size(), lines);
  }
  {
    Window w(32);
    w.record().setText("address5", w.record().text("address3"));
    EXPECT_FALSE(w.form.buildImageFile());
    EXPECT_EQ(w.form.log().lines().back(), msg::kAddressAlreadyUsed);
  }
}

TEST(DecodeImageFromPager, CompletesTheFrequencyAndZeroFillsAddresses) {
  Window source(41);
  source.record().setText("address2", "123");
  const auto file = source.saved();
  Window target(42);
  std::copy(file.begin(), file.end(), target.form.images().readImage.begin());
  ASSERT_TRUE(checksumTestAndAdopt(target.form.images()));
  target.form.decodeImageFromPager();
  EXPECT_EQ(target.record().text("address2"), "0000123");
  EXPECT_EQ(target.record().text("channelfreq").size(), 9u);
}

// Whatever a file holds, opening it neither crashes nor leaves a field outside its schema.
TEST(ImageFileOpenRobustness, RandomImagesWithValidChecksums) {
  std::mt19937 rng(99);
  Window target(51);
  for (int round = 0; round < 3000; ++round) {
    std::vector<std::uint8_t> file(kImageSize);
    for (auto& b : file) b = static_cast<std::uint8_t>(rng());
    ConfigImage image;
    std::copy(file.begin(), file.end(), image.begin());
    fillChecksums(image);
    bool loaded = false;
    ASSERT_NO_THROW(loaded = target.form.loadImageFile(image, "random.bin")) << "round " << round;
    ASSERT_TRUE(loaded);
    const auto& schema = settingsSchema();
    for (std::size_t i = 0; i < schema.size(); ++i) {
      const FieldSchema& s = schema[i];
      const auto f = static_cast<FieldId>(i);
      if (s.kind == FieldKind::Item) {
        const int index = target.record().index(f);
        ASSERT_TRUE(index >= -1 && index < int(s.items.size())) << s.name;
      } else if (s.kind == FieldKind::Text) {
        ASSERT_LE(target.record().text(f).size(), std::size_t(s.maxLength)) << s.name;
      }
    }
  }
}

}  // namespace
}  // namespace palor
