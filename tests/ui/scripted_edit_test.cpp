// SPDX-License-Identifier: GPL-3.0-or-later
// Scripted edits: parsing, and each action applied as the window applies it.
#include "ui/scripted_edit.h"

#include <string>
#include <vector>

#include "rules_fixture.h"
#include "ui/messages.h"

namespace palor {
namespace {

using Lines = std::vector<std::string>;

class ScriptedEdits : public test::RulesTest {
 protected:
  void apply(std::string_view option, std::string_view argument) {
    applyEdit(form, parseEdit(option, argument));
  }
};

TEST_F(ScriptedEdits, TypingAnAddressAndLeavingItFillsItAndReportsTheInvalidStepOnce) {
  apply("--set", "address1=");
  apply("--type", "address1=123");
  apply("--leave", "address1");
  EXPECT_EQ(rec.text("address1"), "0000123");
  EXPECT_EQ(rec.text("frame1"), "3");
  EXPECT_EQ(newLines(), Lines{msg::addressInvalid(1)});
}

TEST_F(ScriptedEdits, MalformedEditsAreEditErrorsNotProgrammingErrors) {
  const std::pair<const char*, const char*> cases[] = {
      {"--type", "nosuchfield=1"}, {"--leave", "address1=1"},  {"--set", "address1"},
      {"--check", "address1=yes"}, {"--check", "method28a=1"}, {"--pick", "method28a=yes"},
      {"--type", "alerttime=1"},   {"--frob", "address1=1"},   {"--set", "frame1=3"},
  };
  for (const auto& [option, argument] : cases)
    EXPECT_THROW(parseEdit(option, argument), EditError) << option << " " << argument;
  EXPECT_THROW(applyEdit(form, {ScriptedEdit::Action::Set, "nosuchfield", "1"}), EditError);

  const ScriptedEdit edit = parseEdit("type", "hellomsg1=A=B");  // the first '=' splits
  EXPECT_EQ(edit.field, "hellomsg1");
  EXPECT_EQ(edit.value, "A=B");
}

TEST_F(ScriptedEdits, PickMatchesItemTextsBeforeIndexesAndRunsTheChangeRule) {
  const std::pair<const char*, int> cases[] = {
      {"alerttime=Endless", 6}, {"alerttime=2", 2}, {"lcd_opa=4", 1},  // the item "4", not index 4
      {"lcd_opa=0", 0},                                                // no item "0": an index
      {"lcd_opa=5", 2},         {"lcd_opa=8", -1},  {"alerttime=endless", -1},
      {"alerttime=-1", -1},     {"alerttime=", -1}, {"alerttime=99999999999", -1},
  };
  for (const auto& [argument, index] : cases) {
    SCOPED_TRACE(argument);
    const std::string field = std::string(argument).substr(0, std::string(argument).find('='));
    rec.setIndex(field, 3);
    if (index < 0)
      EXPECT_THROW(apply("--pick", argument), EditError);
    else
      apply("--pick", argument);
    EXPECT_EQ(rec.index(field), index < 0 ? 3 : index);
  }
  apply("--pick", "msgtype4=Public");
  EXPECT_TRUE(rec.enabled("pubboxact0"));
}

TEST_F(ScriptedEdits, TypeRunsKeyRulesSetRunsOnlyTheChangeRuleCheckClicks) {
  apply("--set", "tonepatternA=");
  apply("--type", "tonepatternA=ag");
  EXPECT_EQ(rec.text("tonepatternA"), "A");
  EXPECT_EQ(newLines(), Lines{std::string(msg::kHexKeysOnly)});

  apply("--check", "contrastUnlock=yes");
  apply("--set", "contrast=99");
  EXPECT_EQ(rec.text("contrast"), "99");
  apply("--leave", "contrast");
  EXPECT_EQ(rec.text("contrast"), "63");

  apply("--set", "lcdholdtime=300");
  EXPECT_EQ(rec.text("lcdholdtime"), "255");

  apply("--check", "addr2en=no");
  EXPECT_FALSE(rec.enabled("address2"));

  apply("--set", "bs1=");
  EXPECT_THROW(apply("--leave", "bs1"), ConversionError);
}

TEST_F(ScriptedEdits, UserActionsNeedAnEnabledShownField) {
  EXPECT_THROW(apply("--check", "otaKillCmd=yes"), EditError);  // never set a kill
  EXPECT_FALSE(rec.checked("otaKillCmd"));
  rec.setChecked("contrastUnlock", false);
  EXPECT_THROW(apply("--type", "contrast=5"), EditError);
  EXPECT_THROW(apply("--leave", "pubboxlength0"), EditError);
  apply("--check", "method28a=no");
  EXPECT_THROW(apply("--check", "UrgentCall1A=yes"), EditError);
  EXPECT_FALSE(rec.checked("UrgentCall1A"));
  apply("--pick", "urgcalltype=D tone");
  EXPECT_EQ(rec.index("urgcalltype"), 3);

  apply("--set", "contrast=5");  // a program step reaches any text field
  EXPECT_EQ(rec.text("contrast"), "5");
}

}  // namespace
}  // namespace palor
