// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "ui/messages.h"
#include "ui/vendrel.h"

namespace palor {
namespace {

TEST(FormStateStartUp, LeavesTheWindowAsTheUserFirstSeesIt) {
  FormState form;
  form.startUp();
  const MainWindowState& w = form.window();
  EXPECT_EQ(form.log().lines(), (std::vector<std::string>{""}));
  EXPECT_FALSE(w.writeToPagerEnabled);
  EXPECT_FALSE(w.readFromPagerEnabled);
  EXPECT_FALSE(w.connectPagerVisible);
  EXPECT_FALSE(w.hardwarePageVisible);
  EXPECT_FALSE(w.repairChecked);
  EXPECT_TRUE(w.acceptsDroppedFiles);
  EXPECT_EQ(w.title, "PALOR Customer Programmer (Dururovera)");
  EXPECT_FALSE(form.record().enabled("contrast"));
  EXPECT_EQ(form.firmwareVersion(), 3);
  // No adapter: neither timer runs.
  EXPECT_FALSE(w.comClockRunning);
  EXPECT_FALSE(w.watchSerialRunning);
}

TEST(FormStateStartUp, UrgentCallFieldsShownAndUrgentCallTypeHidden) {
  FormState form;
  form.startUp();
  const SettingsRecord& r = form.record();
  for (int row = 1; row <= kAddressRows; ++row)
    for (char tone : kToneLetters)
      EXPECT_TRUE(r.visible(rowField("UrgentCall", row, std::string(1, tone))));
  EXPECT_FALSE(r.visible("urgcalltype"));
}

TEST(FormStateStartUp, TimersRunWhenAnAdapterPortIsThere) {
  FormState form;
  form.startUp({.ports = {"/dev/ttyUSB0"}});
  EXPECT_TRUE(form.window().comClockRunning);
  EXPECT_TRUE(form.window().watchSerialRunning);
}

TEST(FormStateStartUp, CommaSeparatorRewritesTheChannelFrequency) {
  FormState point;
  point.startUp({.ports = {}, .decimalSeparator = '.'});
  EXPECT_EQ(point.record().text("channelfreq"), "457.00000");
  FormState comma;
  comma.startUp({.ports = {}, .decimalSeparator = ','});
  EXPECT_EQ(comma.record().text("channelfreq"), "471,00000");
  EXPECT_EQ(comma.decimalSeparator(), ',');
}

TEST(FormStateMenu, AboutRepairExitAndConnect) {
  FormState form;
  form.startUp();
  int windowChanges = 0;
  form.setWindowObserver([&] { ++windowChanges; });

  form.About1Click();
  EXPECT_EQ(form.log().lines(), (std::vector<std::string>{"", ""}));

  form.Repair1Click();
  EXPECT_TRUE(form.window().repairChecked);
  form.Repair1Click();
  EXPECT_FALSE(form.window().repairChecked);

  const MainWindowState before = form.window();
  form.ConnectPagerClick();
  EXPECT_EQ(form.log().lines().size(), 2u);
  EXPECT_EQ(form.window().repairChecked, before.repairChecked);

  EXPECT_FALSE(form.window().closeRequested);
  form.Exit1Click();
  EXPECT_TRUE(form.window().closeRequested);
  EXPECT_EQ(windowChanges, 3);
}

TEST(FormStateRules, Method28aSwitchesBetweenPerToneUrgentCallsAndOneType) {
  FormState form;
  form.startUp();
  SettingsRecord& r = form.record();
  r.setChecked("UrgentCall2B", true);
  r.setIndex("urgcalltype", 3);

  r.setChecked("method28a", false);  // a click: the rule runs by itself
  EXPECT_FALSE(r.visible("UrgentCall1A"));
  EXPECT_FALSE(r.visible("UrgentCall8D"));
  EXPECT_TRUE(r.visible("urgcalltype"));

  r.setChecked("method28a", true);
  EXPECT_TRUE(r.visible("UrgentCall8D"));
  EXPECT_FALSE(r.visible("urgcalltype"));
  // Only visibility changes.
  EXPECT_TRUE(r.checked("UrgentCall2B"));
  EXPECT_EQ(r.index("urgcalltype"), 3);
}

// A file or port name from outside cannot end a status line or forge one, nor drive the
// terminal palorctl writes the log to: its control characters show as escapes. Printable
// names, UTF-8 or Latin-1, and a backslash show as they are.
TEST(StatusLogMessages, ControlCharactersOfNamesShowAsEscapes) {
  const struct {
    std::string name;
    std::string shown;
  } cases[] = {
      {"x\nWrite eeprom completed.\ny.csv", "x\\nWrite eeprom completed.\\ny.csv"},
      {"a\r\n.bin", "a\\r\\n.bin"},
      {"\x1b[2J\x1b]0;title\x07.bin", "\\x1B[2J\\x1B]0;title\\x07.bin"},
      {"tab\there.eep", "tab\\there.eep"},
      {std::string("nul\0del\x7f", 8), "nul\\x00del\\x7F"},
      {"c1 \xC2\x9B"
       "2J",
       "c1 \\xC2\\x9B"
       "2J"},  // U+009B, the one-character CSI
      {"latin1 \x9B"
       "2J \xE9",
       "latin1 \\x9B"
       "2J \xE9"},
      {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x93\x9F.bin",
       "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x93\x9F.bin"},
      {"C:\\pagers\\n.bin", "C:\\pagers\\n.bin"},
  };
  FormState form;
  form.startUp();
  ASSERT_TRUE(form.encodeImageForFile());
  const ConfigImage image = form.images().writeImage;
  PortOpenError busy;
  busy.kind = PortOpenError::Kind::Busy;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shown);
    EXPECT_EQ(msg::loadedDataFrom(c.name), std::string(msg::kLoadedDataFrom) + c.shown);
    EXPECT_EQ(msg::savedDataTo(c.name), std::string(msg::kSavedDataTo) + c.shown);
    EXPECT_EQ(
        msg::portRefused(c.name, busy).rfind(std::string(msg::kCannotOpen) + c.shown + ": ", 0),
        0u);
    ASSERT_TRUE(form.loadImageFile(image, c.name));
    EXPECT_EQ(form.log().lines().back(), std::string(msg::kLoadedDataFrom) + c.shown);
    form.log().append(c.name);  // a line that did not come through a message function
    EXPECT_EQ(form.log().lines().back(), c.shown);
  }
}

TEST(FormStateShutDown, StopsAcceptingDroppedFiles) {
  FormState form;
  form.startUp();
  form.shutDown();
  EXPECT_FALSE(form.window().acceptsDroppedFiles);
}

TEST(FormStateRules, EveryNumberedRuleIsFoundAndRunByItsName) {
  FormState form;
  form.startUp();
  SettingsRecord& r = form.record();
  struct Case {
    const char* rule;
    const char* field;  // a field the rule switches
    bool enabledAfter;
  };
  // Each case disables or enables the field by hand; the rule, run by name, puts it back.
  const Case cases[] = {
      {"addr5enClick", "Capcode5Name", true},         // row 5 is on
      {"addr2formatCChange", "Capcode2ToneC", true},  // Alpha: the tone has a name
      {"pubboxactBClick", "pubboxB", false},          // folder [12] unchecked: title off
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rule);
    r.setEnabled(r.id(c.field), !c.enabledAfter);
    EXPECT_TRUE(r.runRule(c.rule));
    EXPECT_EQ(r.enabled(r.id(c.field)), c.enabledAfter);
  }
  EXPECT_FALSE(r.runRule("addr9enClick"));
  EXPECT_EQ(r.ruleNames(r.id("address3")),
            (std::vector<std::string>{"AddressChange", "AddressExit", "LengthKeyPress"}));
}

}  // namespace
}  // namespace palor
