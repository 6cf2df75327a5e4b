// SPDX-License-Identifier: GPL-3.0-or-later
// Address rows: range test with its frame display, uniqueness, row switches, message
// types and the Folders tab, address advance.
#include <string>
#include <vector>

#include "rules_fixture.h"
#include "ui/messages.h"

namespace palor {
namespace {

using Lines = std::vector<std::string>;
using AddressRules = test::RulesTest;

TEST_F(AddressRules, RangeEdgesDecideFrameAndMessage) {
  // Each range's first and last value and the values just outside them; "" = invalid.
  const std::pair<const char*, const char*> cases[] = {
      {"7", ""},        {"8", "0"},       {"2007663", "7"}, {"2007664", ""}, {"2007671", ""},
      {"2007672", "0"}, {"2045055", "7"}, {"2045056", ""},  {"2045063", ""}, {"2045064", "0"},
      {"2097143", "7"}, {"2097144", ""},  {"-8", ""},       {"0000013", "5"}};
  for (const auto& [text, frame] : cases) {
    SCOPED_TRACE(text);
    rec.setText("address4", text);
    EXPECT_EQ(rec.text("frame4"), frame);
    EXPECT_EQ(newLines(), *frame ? Lines{} : Lines{msg::addressInvalid(4)});
  }
}

TEST_F(AddressRules, FrameFollowsEachKeystrokeAndInvalidIsReportedOncePerChange) {
  rec.setText("address1", "");
  EXPECT_EQ(rec.text("frame1"), "");
  EXPECT_TRUE(newLines().empty()) << "an emptied address is not reported";
  const char* frames[] = {"", "4", "0", "4", "0", "0", "0"};  // typing 2004000
  for (int i = 0; i < 7; ++i) {
    rec.typeChar(rec.id("address1"), "2004000"[i]);
    EXPECT_EQ(rec.text("frame1"), frames[i]) << rec.text("address1");
    EXPECT_EQ(newLines().size(), i == 0 ? 1u : 0u) << rec.text("address1");
  }
  // Leaving an invalid address: each fill step is a change that leaves it invalid.
  rec.setText("address5", "5");
  rec.leave(rec.id("address5"));
  EXPECT_EQ(rec.text("address5"), "0000005");
  EXPECT_EQ(newLines(), Lines(7, msg::addressInvalid(5)));
}

TEST_F(AddressRules, PastedNonNumberStopsTheRuleAndLeavesTheFrame) {
  EXPECT_THROW(rec.setText("address1", "12a"), ConversionError);
  EXPECT_EQ(rec.text("frame1"), "0");
  EXPECT_TRUE(newLines().empty());
}

TEST_F(AddressRules, UniquenessComparesAddressesOfAllRowsAsStored) {
  struct Case {
    const char* what;
    std::vector<std::pair<int, const char*>> texts;  // rows changed from the defaults
    bool unique;
  };
  const Case cases[] = {
      {"defaults", {}, true},
      // Stored zero-filled, "12" and "0000012" would be the same capcode twice.
      {"same value, different text", {{1, "12"}, {2, "0000012"}}, false},
      {"leading zeros are not a different address", {{1, "04000"}, {2, "4000"}}, false},
      {"same text", {{1, "0000012"}, {2, "0000012"}}, false},
      {"switched-off row 3 takes part", {{3, "2004000"}}, false},
      {"two empty texts are equal", {{7, ""}, {8, ""}}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FormState fresh;
    fresh.record().setChecked("addr3en", false);
    for (const auto& [row, text] : c.texts) fresh.record().setText(rowField("address", row), text);
    EXPECT_EQ(fresh.AddressesAreUnique(), c.unique);
  }
  rec.setText("address2", "2004000");
  newLines();
  rec.leave(rec.id("address2"));
  EXPECT_EQ(newLines(), Lines{std::string(msg::kAddressAlreadyUsed)});
}

TEST_F(AddressRules, RowSwitchAndFormatsOpenFieldsKeepingValues) {
  const char* switched[] = {"address3",     "autoinc3",     "permission3",
                            "msgtype3",     "addr3formatA", "addr3formatD",
                            "UrgentCall3A", "UrgentCall3D", "Capcode3Name"};
  rec.setText("Capcode3ToneB", "BEEP");
  rec.pickItem(rec.id("addr3formatB"), 3);  // "Tone"
  EXPECT_FALSE(rec.enabled("Capcode3ToneB"));

  rec.setChecked("addr3en", false);
  for (const char* name : switched) EXPECT_FALSE(rec.enabled(name)) << name;
  EXPECT_FALSE(rec.enabled("Capcode3ToneA"));
  EXPECT_TRUE(rec.enabled("address2"));

  rec.setChecked("addr3en", true);
  for (const char* name : switched) EXPECT_TRUE(rec.enabled(name)) << name;
  EXPECT_TRUE(rec.enabled("Capcode3ToneA"));
  EXPECT_FALSE(rec.enabled("Capcode3ToneB")) << "tone names follow the formats";
  EXPECT_FALSE(rec.enabled("frame3"));

  rec.pickItem(rec.id("addr3formatB"), 1);  // "Alpha"
  EXPECT_TRUE(rec.enabled("Capcode3ToneB"));
  EXPECT_EQ(rec.text("Capcode3ToneB"), "BEEP");
}

TEST_F(AddressRules, OnlySwitchedOnPublicRowsOpenTheFoldersTab) {
  auto expectOnlyFirstFoldersOpen = [&] {
    for (int k = 0; k < kFolders; ++k) {
      EXPECT_EQ(rec.enabled(folderField("pubboxact", k)), k == 0 || k == 8) << k;
      EXPECT_FALSE(rec.checked(folderField("pubboxact", k))) << k;
      EXPECT_FALSE(rec.enabled(folderField("pubboxlength", k))) << k;
    }
  };
  rec.setIndex("msgtype2", 1);  // a program step: no rule yet
  EXPECT_FALSE(rec.enabled("pubboxact0"));
  form.msgtypeChange();
  expectOnlyFirstFoldersOpen();

  rec.setChecked("pubboxact0", true);
  rec.setChecked("pubboxact8", true);
  rec.setChecked("addr2en", false);  // the only public row
  for (int k = 0; k < kFolders; ++k) {
    EXPECT_FALSE(rec.checked(folderField("pubboxact", k))) << k;
    EXPECT_FALSE(rec.enabled(folderField("pubboxact", k))) << k;
    EXPECT_FALSE(rec.enabled(folderField("pubbox", k))) << k;
  }
  rec.setChecked("addr2en", true);
  expectOnlyFirstFoldersOpen();
}

TEST_F(AddressRules, AdvanceAddsEachRowsStepAndReportsWhatGoesWrong) {
  rec.setText("address6", "1000");
  rec.setIndex("autoinc6", 8);
  rec.setChecked("addr6en", false);  // switched-off rows advance too
  rec.setText("address8", "2097136");
  rec.setIndex("autoinc8", 8);  // past the top of the last range
  rec.setIndex("autoinc2", 3);
  newLines();

  form.AdvanceAddresses();
  EXPECT_EQ(rec.text("address1"), "2004000");
  EXPECT_EQ(rec.text("address2"), "2004011");
  EXPECT_EQ(rec.text("frame2"), "3");
  EXPECT_EQ(rec.text("address6"), "0001008");
  EXPECT_EQ(rec.text("address8"), "2097144");
  EXPECT_EQ(rec.text("frame8"), "");
  EXPECT_EQ(newLines(), Lines{msg::addressInvalid(8)});

  rec.setIndex("autoinc1", 8);  // onto row 2's old address
  rec.setText("address2", "2004008");
  rec.setIndex("autoinc2", 0);
  rec.setText("address8", "0000100");
  newLines();
  form.AdvanceAddresses();
  EXPECT_EQ(newLines(), Lines(8, std::string(msg::kAddressAlreadyUsed)));
}

}  // namespace
}  // namespace palor
