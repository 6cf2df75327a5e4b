// SPDX-License-Identifier: GPL-3.0-or-later
// Key rules, fill rules, range rules, switching rules and the checks before storing.
#include <string>
#include <vector>

#include "config/record_checks.h"
#include "rules_fixture.h"
#include "ui/messages.h"

namespace palor {
namespace {

using Lines = std::vector<std::string>;
using FieldRules = test::RulesTest;

TEST_F(FieldRules, KeyRulesAdmitTheirCharactersAndReportTheRest) {
  struct Case {
    const char* field;
    std::string typed;  // into the emptied field
    const char* text;   // its text afterwards
    int refused;        // each reported with `message` unless it is empty
    std::string_view message;
  };
  const std::string_view digitsOnly = msg::kNumberKeysOnly;
  const Case cases[] = {
      {"address1", "a", "", 1, digitsOnly},
      {"address1", "\xC8\x7F", "", 2, digitsOnly},  // code 200, and DEL: no control character
      {"password", "4a\b5-", "5", 2, digitsOnly},   // backspace passes
      {"TxtPagerNumber", "0 9", "09", 1, digitsOnly},
      {"tonepatternB", "ga9fC", "A9FC", 1, msg::kHexKeysOnly},  // shown in upper case
      {"overheatVoltage", "g0xB6", "0xB6", 1, {}},              // dropped silently
      {"serial", "aZ-09\xE9", "aZ09", 2, msg::kSerialKeysOnly},
      {"hellomsg1", "-!", "-!", 0, {}},  // no key rule
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.field) + " <- " + c.typed);
    rec.setText(c.field, "");
    newLines();
    type(c.field, c.typed);
    EXPECT_EQ(rec.text(c.field), c.text);
    EXPECT_EQ(newLines(), Lines(c.message.empty() ? 0 : c.refused, std::string(c.message)));
  }
}

TEST_F(FieldRules, FillRulesFillToTheFieldWidthOnLeaving) {
  const std::pair<const char*, const char*> cases[][2] = {
      {{"pubbox0", "NEWS"}, {"", "NEWS     "}},
      {{"hellomsg1", "HI"}, {"", "HI            "}},
      {{"serial", ""}, {"", "        "}},
      {{"otaKillMsg", "OFF"}, {"", "OFF                                     "}},
      {{"tonepatternA", "FF"}, {"", "FF00"}},
      {{"password", "12"}, {"", "1200"}},
      {{"password", "1234"}, {"", "1234"}},
      {{"address7", "4711"}, {"", "0004711"}},
  };
  for (const auto& c : cases) {
    const char* field = c[0].first;
    SCOPED_TRACE(field);
    rec.setText(field, c[0].second);
    rec.leave(rec.id(field));
    EXPECT_EQ(rec.text(field), c[1].second);
  }
}

TEST_F(FieldRules, ContrastIsClampedOnLeavingAndEmptyIsReported) {
  rec.setChecked("contrastUnlock", true);
  const std::pair<const char*, const char*> cases[] = {{"99", "63"}, {"64", "63"}, {"63", "63"},
                                                       {"1", "1"},   {"00", "1"},  {"-5", "1"}};
  for (const auto& [text, after] : cases) {
    rec.setText("contrast", text);
    rec.leave(rec.id("contrast"));
    EXPECT_EQ(rec.text("contrast"), after) << text;
  }
  EXPECT_TRUE(newLines().empty());

  rec.setText("contrast", "");
  rec.leave(rec.id("contrast"));
  EXPECT_EQ(rec.takeFocusRequest(), rec.id("contrast"));
  // Empty while disabled (contrastUnlock unchecked): the message alone.
  rec.setChecked("contrastUnlock", false);
  form.ContrastExit();
  EXPECT_FALSE(rec.takeFocusRequest());
  EXPECT_EQ(rec.text("contrast"), "");
  EXPECT_EQ(newLines(), Lines(2, std::string(msg::kEnterValidNumber)));
}

TEST_F(FieldRules, LcdHoldTimeSwitchesTheOnOffListsAsItIsTyped) {
  const FieldId on = rec.id("lcd_on_time");
  rec.setText("lcdholdtime", "0");
  EXPECT_TRUE(rec.enabled(on) && rec.enabled("lcd_off_time"));
  rec.pickItem(on, 3);

  struct Step {
    char key;
    const char* text;
    bool listsEnabled;
  };
  for (const Step& s :
       {Step{'\b', "", true}, {'3', "3", false}, {'0', "30", false}, {'0', "255", false}}) {
    rec.typeChar(rec.id("lcdholdtime"), s.key);
    EXPECT_EQ(rec.text("lcdholdtime"), s.text);
    EXPECT_EQ(rec.enabled(on), s.listsEnabled) << s.text;
    EXPECT_EQ(rec.enabled("lcd_off_time"), s.listsEnabled) << s.text;
  }
  EXPECT_EQ(rec.index(on), 0);

  rec.setText("lcdholdtime", "0");
  rec.pickItem(on, 2);
  rec.typeChar(rec.id("lcdholdtime"), '5');
  EXPECT_FALSE(rec.enabled(on));
  EXPECT_EQ(rec.index(on), 0);

  rec.setText("lcdholdtime", "");
  EXPECT_TRUE(newLines().empty()) << "the change rule ignores an empty text";
  rec.leave(rec.id("lcdholdtime"));
  EXPECT_EQ(rec.takeFocusRequest(), rec.id("lcdholdtime"));
  EXPECT_EQ(newLines(), Lines{std::string(msg::kEnterValidNumber)});
}

TEST_F(FieldRules, RangeTimeFillsEmptyAndClampsOnlyForOldFirmware) {
  rec.setText("rangetime", "");
  form.RangeTimeExit();
  EXPECT_EQ(rec.text("rangetime"), "30");
  rec.setText("rangetime", "999");
  form.RangeTimeExit();  // firmware version 3 until a pager reports
  EXPECT_EQ(rec.text("rangetime"), "999");
  checkRangeTime(rec, 2);
  EXPECT_EQ(rec.text("rangetime"), "255");
}

TEST_F(FieldRules, DecoderThresholdsAreClampedAndTheLeftFieldGivesWay) {
  struct Case {
    const char* bs1;
    const char* bs3;
    const char* left;
    const char* bs1After;
    const char* bs3After;
  };
  const Case cases[] = {
      {"61", "61", "bs1", "60", "61"}, {"61", "61", "bs3", "61", "62"},
      {"1", "61", "bs1", "2", "61"},   {"60", "99", "bs3", "60", "62"},
      {"2", "2", "bs3", "2", "3"},     {"0", "0", "bs1", "2", "3"},
      {"10", "5", "bs1", "4", "5"},    {"10", "5", "bs3", "10", "11"},
      {"99", "99", "bs1", "61", "62"}, {"20", "40", "bs1", "20", "40"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.bs1) + "/" + c.bs3 + " leaving " + c.left);
    rec.setText("bs1", c.bs1);
    rec.setText("bs3", c.bs3);
    rec.leave(rec.id(c.left));
    EXPECT_EQ(rec.text("bs1"), c.bs1After);
    EXPECT_EQ(rec.text("bs3"), c.bs3After);
  }
  rec.setText("bs1", "");  // both are read before either is changed
  rec.setText("bs3", "99");
  EXPECT_THROW(rec.leave(rec.id("bs3")), ConversionError);
  EXPECT_EQ(rec.text("bs3"), "99");
}

TEST_F(FieldRules, SwitchesFollowTheirBoxesAndList) {
  for (bool on : {true, false}) {
    rec.setChecked("contrastUnlock", on);
    rec.setChecked("privateFunControl", on);
    EXPECT_EQ(rec.enabled("contrast"), on);
    EXPECT_EQ(rec.enabled("delMenu"), on);
  }
  rec.setIndex("repeatcallreject", 3);
  for (const auto& [item, enabled] : {std::pair{2, false}, {1, true}, {2, false}, {0, true}}) {
    rec.pickItem(rec.id("repeatcallcheck"), item);
    EXPECT_EQ(rec.enabled("repeatcallreject"), enabled) << item;
  }
  EXPECT_EQ(rec.index("repeatcallreject"), 3);

  // otaKillCmd as a loaded configuration with reception disabled leaves it: cleared once,
  // it is disabled for good.
  rec.setChecked("otaKillCmd", true);
  rec.setEnabled("otaKillCmd", true);
  rec.setChecked("otaKillCmd", false);
  EXPECT_FALSE(rec.enabled("otaKillCmd"));
}

TEST_F(FieldRules, PreStoreChecksRunInOrderAndStopWhereTheyMust) {
  const std::string used(msg::kAddressAlreadyUsed);
  struct Case {
    const char* what;
    std::vector<std::pair<const char*, const char*>> texts;
    bool goesOn;
    Lines logged;
    const char* contrast = "63";
  };
  const Case cases[] = {
      {"all well", {}, true, {}},
      {"empty address on switched-off row 8 stops silently", {{"address8", ""}}, false, {}},
      {"invalid address stops silently", {{"address4", "2007664"}}, false, {}},
      {"equal addresses stop with a message", {{"address2", "123"}}, false, {used}},
      {"an empty frame is found before equal addresses",
       {{"address2", "123"}, {"address3", ""}},
       false,
       {}},
      {"empty contrast is reported and the checks go on",
       {{"contrast", ""}},
       true,
       {std::string(msg::kEnterValidNumber)},
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FormState fresh;
    fresh.startUp();
    SettingsRecord& r = fresh.record();
    r.setChecked("addr8en", false);
    for (const auto& [field, text] :
         {std::pair{"address1", "123"}, {"bs1", "1"}, {"bs3", "99"}, {"contrast", "99"}})
      r.setText(field, text);
    for (const auto& [field, text] : c.texts) r.setText(field, text);
    const std::size_t before = fresh.log().lines().size();

    EXPECT_EQ(fresh.PreStoreChecks(), c.goesOn);
    EXPECT_EQ(Lines(fresh.log().lines().begin() + static_cast<std::ptrdiff_t>(before),
                    fresh.log().lines().end()),
              c.logged);
    EXPECT_EQ(r.text("address1"), c.goesOn ? "0000123" : "123");
    // The range rules ran first, whatever followed.
    EXPECT_EQ(r.text("bs1"), "2");
    EXPECT_EQ(r.text("bs3"), "62");
    EXPECT_EQ(r.text("contrast"), c.contrast);
  }
  rec.setText("bs1", "");
  rec.setText("contrast", "99");
  EXPECT_THROW(form.PreStoreChecks(), ConversionError);
  EXPECT_EQ(rec.text("contrast"), "99") << "nothing after the error runs";
}

}  // namespace
}  // namespace palor
