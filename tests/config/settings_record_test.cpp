// SPDX-License-Identifier: GPL-3.0-or-later
#include "config/settings_record.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>

namespace palor {
namespace {

TEST(FieldSchema, NamesAreUniqueAndDefaultsFitTheirFields) {
  std::set<std::string> names;
  for (const FieldSchema& f : settingsSchema()) {
    EXPECT_TRUE(names.insert(f.name).second) << "duplicate field " << f.name;
    switch (f.kind) {
      case FieldKind::Text:
        EXPECT_GT(f.maxLength, 0) << f.name;
        EXPECT_LE(f.defaultText.size(), static_cast<std::size_t>(f.maxLength)) << f.name;
        break;
      case FieldKind::Item:
        EXPECT_GE(f.defaultIndex, 0) << f.name;
        EXPECT_LT(f.defaultIndex, static_cast<int>(f.items.size())) << f.name;
        break;
      case FieldKind::Check: break;
    }
  }
  // Customer strip 1, 8 address rows of 19 fields, 16 folders of 3; Settings: hello message,
  // 7 tone patterns, 7 other texts, 22 lists, 20 check boxes; Hardware 15.
  EXPECT_EQ(settingsSchema().size(), 1u + 8 * 19 + 16 * 3 + (1 + 7 + 7 + 22 + 20) + 15);
}

struct DefaultText {
  const char* field;
  const char* text;
};

TEST(SettingsRecord, TextDefaults) {
  const DefaultText cases[] = {
      {"address1", "2004000"},
      {"address8", "2004056"},
      {"pubbox0", "FOLDER 00"},
      {"pubboxF", "FOLDER 15"},
      {"pubboxlengthA", "1"},
      {"hellomsg1", " TARVO PAGING "},
      {"tonepatternD", "264C"},
      {"tonepatternUcall", "D1B1"},
      {"otaKillMsg", "PAGER DISABLED! CALL SERVICE PROVIDER! "},
      {"channelfreq", "457.00000"},
      {"overheatVoltage", "0xB6"},
      {"TxtPagerNumber", "00000000"},
      {"Capcode4ToneC", ""},
  };
  SettingsRecord record;
  for (const auto& c : cases) EXPECT_EQ(record.text(c.field), c.text) << c.field;
  EXPECT_EQ(record.text("otaKillMsg").size(), 39u);
}

TEST(SettingsRecord, FramesOfTheDefaultAddressesReadZero) {
  SettingsRecord record;
  for (int row = 1; row <= kAddressRows; ++row) {
    EXPECT_EQ(record.text(rowField("frame", row)), "0");
    EXPECT_FALSE(record.enabled(rowField("frame", row)));
  }
}

TEST(SettingsRecord, ListDefaultsAndItemTexts) {
  SettingsRecord record;
  EXPECT_EQ(record.itemText(record.id("language")), "U.K.");
  EXPECT_EQ(record.itemText(record.id("lcd_opa")), "5");
  EXPECT_EQ(record.itemText(record.id("filter_strength")), "2");
  EXPECT_EQ(record.itemText(record.id("cmbNameDisplay")), "Nothing");
  EXPECT_EQ(record.itemText(record.id("addr5formatC")), "Alpha");
  EXPECT_EQ(record.items(record.id("lcd_tc")),
            (std::vector<std::string>{"-0.01%/C", "Reserved", "-0.15%/C", "Reserved", "-0.2%/C",
                                      "Reserved", "Reserved", "-0.3%/C"}));
  EXPECT_EQ(record.items(record.id("channelspace")).at(4), "6.25 kHz");
}

TEST(SettingsRecord, InitialEnabledStates) {
  SettingsRecord record;
  for (const char* name : {"lcd_on_time", "lcd_off_time", "otaKillCmd", "lcddrv", "decoder",
                           "pubboxact0", "pubbox7", "pubboxlengthF"})
    EXPECT_FALSE(record.enabled(name)) << name;
  for (const char* name : {"address1", "Capcode1ToneA", "contrast", "delMenu", "pll"})
    EXPECT_TRUE(record.enabled(name)) << name;
}

TEST(SettingsRecord, IndexOutsideTheListSelectsNothing) {
  SettingsRecord record;
  const FieldId bias = record.id("lcd_bias");
  for (int outside : {5, 3, -2, 1000}) {
    record.setIndex(bias, 1);
    record.setIndex(bias, outside);
    EXPECT_EQ(record.index(bias), -1) << outside;
    EXPECT_FALSE(record.itemText(bias).has_value());
  }
}

TEST(SettingsRecord, ClickRuleRunsOnEveryActualChangeOnly) {
  SettingsRecord record;
  const FieldId box = record.id("addr3en");
  int runs = 0;
  record.setClickRule(box, [&](FieldId) { ++runs; });
  record.setChecked(box, false);
  EXPECT_EQ(runs, 1);
  record.setChecked(box, false);
  EXPECT_EQ(runs, 1);
  record.setChecked(box, true);
  EXPECT_EQ(runs, 2);
}

TEST(SettingsRecord, ListChangeRuleRunsOnlyOnAUsersPick) {
  SettingsRecord record;
  const FieldId type = record.id("msgtype2");
  int runs = 0;
  record.setChangeRule(type, [&](FieldId) { ++runs; });
  record.setIndex(type, 1);
  EXPECT_EQ(runs, 0);
  record.pickItem(type, 0);
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(record.index(type), 0);
}

TEST(SettingsRecord, TextChangeRuleSeesEveryActualChange) {
  SettingsRecord record;
  const FieldId hold = record.id("lcdholdtime");
  std::vector<std::string> seen;
  record.setChangeRule(hold, [&](FieldId f) { seen.push_back(record.text(f)); });
  record.setText(hold, "20");  // unchanged
  record.setText(hold, "2");
  record.setText(hold, "300");
  record.setText(hold, "1234");  // cut to the field's three characters
  EXPECT_EQ(seen, (std::vector<std::string>{"2", "300", "123"}));
}

TEST(SettingsRecord, ToneTextsAreStoredInUpperCase) {
  SettingsRecord record;
  record.setText("tonepatternA", "abcd");
  EXPECT_EQ(record.text("tonepatternA"), "ABCD");
  record.setText("Capcode1Name", "abc");
  EXPECT_EQ(record.text("Capcode1Name"), "abc");
}

TEST(SettingsRecord, TypingRunsKeyRuleThenInsertionThenChangeRule) {
  SettingsRecord record;
  const FieldId pw = record.id("password");
  std::vector<std::string> events;
  record.setKeyRule(pw, [&](FieldId, char c) {
    events.push_back(std::string("key ") + c);
    return c != 'x';
  });
  record.setChangeRule(pw, [&](FieldId f) { events.push_back("change " + record.text(f)); });
  record.setText(pw, "");
  events.clear();
  for (char c : std::string("1x2\b3456")) record.typeChar(pw, c);
  EXPECT_EQ(record.text(pw), "1345");  // the field holds four characters; "6" finds no room
  EXPECT_EQ(events, (std::vector<std::string>{"key 1", "change 1", "key x", "key 2", "change 12",
                                              "key \b", "change 1", "key 3", "change 13", "key 4",
                                              "change 134", "key 5", "change 1345", "key 6"}));
}

TEST(SettingsRecord, RulesAskForTheFocusOnce) {
  SettingsRecord record;
  const FieldId contrast = record.id("contrast");
  record.setExitRule(contrast, [&](FieldId f) { record.requestFocus(f); });
  EXPECT_FALSE(record.takeFocusRequest());
  record.leave(contrast);
  EXPECT_EQ(record.takeFocusRequest(), contrast);
  EXPECT_FALSE(record.takeFocusRequest());
}

TEST(SettingsRecord, ObserverHearsValueAndFlagChanges) {
  SettingsRecord record;
  std::vector<std::string> heard;
  record.setObserver([&](FieldId f) { heard.push_back(SettingsRecord::schema(f).name); });
  record.setEnabled("contrast", false);
  record.setEnabled("contrast", false);
  record.setVisible(record.id("urgcalltype"), false);
  record.setChecked("qsound", true);
  record.setIndex("baudrate", 2);
  EXPECT_EQ(heard, (std::vector<std::string>{"contrast", "urgcalltype", "qsound", "baudrate"}));
}

TEST(SettingsRecord, UnknownNamesAndWrongKindsFailLoudly) {
  SettingsRecord record;
  try {
    (void)record.text("adress1");
    FAIL() << "no error for an unknown field";
  } catch (const UnknownFieldError& e) {
    EXPECT_NE(std::string(e.what()).find("adress1"), std::string::npos);
  }
  EXPECT_FALSE(findField("adress1").has_value());
  EXPECT_THROW((void)record.index("address1"), std::logic_error);
  EXPECT_THROW(record.setVisible(record.id("address1"), false), std::logic_error);
}

TEST(ToInteger, ReadsDecimalNumbersOnly) {
  const std::pair<const char*, int> good[] = {
      {"0", 0}, {"0000123", 123}, {"+5", 5}, {"-12", -12}, {"2147483647", 2147483647}};
  for (const auto& [text, value] : good) EXPECT_EQ(toInteger(text), value) << text;
  for (const char* bad : {"", "-", "1a", " 1", "1 ", "0x10", "2147483648", "99999999999999"})
    EXPECT_THROW(toInteger(bad), ConversionError) << bad;
}

TEST(SettingsRecord, ConversionErrorCarriesTheText) {
  SettingsRecord record;
  record.setText("bs1", "");
  try {
    (void)record.number("bs1");
    FAIL();
  } catch (const ConversionError& e) {
    EXPECT_EQ(e.text(), "");
    EXPECT_STREQ(e.what(), "'' is not a valid integer value");
  }
}

}  // namespace
}  // namespace palor

namespace palor {
namespace {

TEST(SettingsRecord, NumbersTooWideForTheirFieldShowAsTheWidestTheFieldHolds) {
  SettingsRecord record;
  const std::tuple<const char*, int, const char*> cases[] = {
      {"rangetime", 240, "240"},        {"rangetime", 1000, "999"},
      {"rangetime", -1, "-1"},          {"rangetime", -100, "-99"},
      {"contrast", 200, "99"},          {"pubboxlength3", 256, "99"},
      {"address1", 2097151, "2097151"}, {"bs1", 7, "7"},
  };
  for (const auto& [name, value, text] : cases) {
    record.setNumber(record.id(name), value);
    EXPECT_EQ(record.text(name), text) << name << " " << value;
  }
}

}  // namespace
}  // namespace palor
