// SPDX-License-Identifier: GPL-3.0-or-later
// Folders: the two activation chains, the 99-slot total with its trimming and refusals,
// and the length exit.
#include <string>
#include <vector>

#include "config/record_checks.h"
#include "rules_fixture.h"
#include "ui/messages.h"

namespace palor {
namespace {

using Lines = std::vector<std::string>;

class FolderRules : public test::RulesTest {
 protected:
  FolderRules() {
    rec.pickItem(rec.id("msgtype1"), 1);  // a public address opens the tab
    mark();
  }

  static std::string act(int k) { return folderField("pubboxact", k); }
  static std::string title(int k) { return folderField("pubbox", k); }
  static std::string length(int k) { return folderField("pubboxlength", k); }

  void activate(int k, int slots) {
    rec.setText(length(k), std::to_string(slots));
    rec.setChecked(act(k), true);
  }
  // Open: activation, title and length enabled. Closed: all three disabled and unchecked.
  void expectOpen(int k, bool checked) {
    EXPECT_EQ(rec.checked(act(k)), checked) << k;
    EXPECT_TRUE(rec.enabled(act(k)) && rec.enabled(title(k)) && rec.enabled(length(k))) << k;
  }
  void expectClosed(int k) {
    EXPECT_FALSE(rec.checked(act(k))) << k;
    EXPECT_FALSE(rec.enabled(act(k)) || rec.enabled(title(k)) || rec.enabled(length(k))) << k;
  }
};

TEST_F(FolderRules, ActivationFitsTrimsOrIsRefusedByTheTotal) {
  struct Case {
    std::vector<int> others;  // lengths of active folders [9], [10]
    int slots;                // length of folder [1] as it is checked
    int kept;                 // its length afterwards; -1: refused
  };
  const Case cases[] = {
      {{}, 99, 99},      {{98}, 1, 1},   {{98}, 5, 1}, {{90}, 20, 9},
      {{60, 39}, 1, -1}, {{99}, 99, -1}, {{}, 0, -1},  // a length of 0 never fits
  };
  for (const Case& c : cases) {
    FormState fresh;
    SettingsRecord& r = fresh.record();
    r.pickItem(r.id("msgtype1"), 1);
    for (std::size_t i = 0; i < c.others.size(); ++i) {
      r.setText(length(8 + static_cast<int>(i)), std::to_string(c.others[i]));
      r.setChecked(act(8 + static_cast<int>(i)), true);
    }
    const std::size_t before = fresh.log().lines().size();
    r.setText(length(0), std::to_string(c.slots));
    r.setChecked(act(0), true);

    SCOPED_TRACE("length " + std::to_string(c.slots) + " after " + std::to_string(c.others.size()));
    const bool accepted = c.kept >= 0;
    EXPECT_EQ(r.checked(act(0)), accepted);
    EXPECT_EQ(r.enabled(length(0)), accepted);
    EXPECT_EQ(r.enabled(act(1)), accepted);
    EXPECT_EQ(r.text(length(0)), std::to_string(accepted ? c.kept : c.slots));
    Lines expected;
    if (!accepted)
      expected.emplace_back(msg::kMailboxCannotBeEnabled);
    else if (c.kept != c.slots)
      expected.emplace_back(msg::kTrimmedToTotal99);
    EXPECT_EQ(Lines(fresh.log().lines().begin() + static_cast<std::ptrdiff_t>(before),
                    fresh.log().lines().end()),
              expected);
  }
}

TEST_F(FolderRules, NextFolderOpensUncheckedAndCountsOnlyOnceChecked) {
  activate(0, 40);
  expectOpen(1, false);
  expectClosed(2);
  rec.setText(length(1), "80");
  EXPECT_EQ(folderTotal(rec), 40);
  rec.setChecked(act(1), true);
  EXPECT_EQ(rec.text(length(1)), "59");
}

TEST_F(FolderRules, UncheckingCascadesThroughItsHalfOnly) {
  for (int k = 0; k < 6; ++k) activate(k, 5);
  activate(8, 5);
  activate(9, 5);

  rec.setChecked(act(2), false);
  expectOpen(1, true);
  EXPECT_TRUE(rec.enabled(act(2)));
  EXPECT_FALSE(rec.enabled(title(2)) || rec.enabled(length(2)));
  for (int k = 3; k < 8; ++k) expectClosed(k);
  EXPECT_EQ(rec.text(length(5)), "5") << "texts are kept";
  expectOpen(9, true);
  expectOpen(10, false);
}

TEST_F(FolderRules, HalvesAreSeparateChainsEachEndingAtItsLastFolder) {
  activate(8, 10);  // [9] needs nothing of [1]..[8]
  expectClosed(1);
  for (int k = 9; k < 16; ++k) activate(k, 10);
  for (int k = 8; k < 16; ++k) expectOpen(k, true);
  EXPECT_FALSE(rec.enabled(title(0))) << "[16] opens nothing after it";

  rec.setChecked(act(8), false);
  for (int k = 9; k < 16; ++k) expectClosed(k);
  for (int k = 0; k < 8; ++k) activate(k, 1);
  for (int k = 0; k < 8; ++k) expectOpen(k, true);
  EXPECT_FALSE(rec.enabled(title(8))) << "[8] opens nothing after it";
}

TEST_F(FolderRules, LeavingALengthTrimsTheTotalBackTo99OrRefusesZero) {
  activate(0, 50);
  activate(8, 40);
  rec.setText(length(0), "70");
  newLines();
  rec.leave(rec.id(length(0)));
  EXPECT_EQ(rec.text(length(0)), "59");
  EXPECT_EQ(newLines(), Lines{std::string(msg::kTrimmedToTotal99)});

  for (const char* bad : {"0", "-5"}) {  // a negative length arrives only by pasting
    rec.setText(length(0), bad);
    rec.takeFocusRequest();
    newLines();
    rec.leave(rec.id(length(0)));
    EXPECT_EQ(rec.text(length(0)), bad);
    EXPECT_EQ(rec.takeFocusRequest(), rec.id(length(0)));
    EXPECT_EQ(newLines(), Lines{std::string(msg::kLengthOneOrGreater)});
  }
}

TEST_F(FolderRules, LoadedTotalOver99IsAPlainSumAndOnlyActiveLengthsAreTrimmed) {
  // A loaded configuration can hold what the rules would never let through.
  for (int k = 0; k < 4; ++k) activate(k, 1);
  for (int k = 0; k < 3; ++k) rec.setText(length(k), "99");
  rec.setText(length(3), "3");
  EXPECT_EQ(folderExcess(rec), 201) << "300 slots, not 300 mod 256";

  rec.setText(length(4), "30");  // folder [5]: open, not active
  newLines();
  rec.leave(rec.id(length(4)));
  EXPECT_EQ(rec.text(length(4)), "30");
  EXPECT_TRUE(newLines().empty());

  rec.leave(rec.id(length(3)));  // cut, but never below one slot
  EXPECT_EQ(rec.text(length(3)), "1");
  EXPECT_EQ(newLines(), Lines{std::string(msg::kTrimmedToTotal99)});
}

TEST_F(FolderRules, EmptyLengthStopsTheActivationWithAConversionError) {
  rec.setText(length(0), "");
  EXPECT_THROW(rec.setChecked(act(0), true), ConversionError);
  EXPECT_TRUE(rec.checked(act(0)));
  EXPECT_FALSE(rec.enabled(length(0)) || rec.enabled(act(1)));
}

TEST_F(FolderRules, StoringRefusesAnActiveFolderOfNoLength) {
  // Only an imported table can hold one; stored, it would be the slot range 0..255.
  activate(0, 5);
  rec.setText(length(0), "0");
  newLines();
  EXPECT_FALSE(form.PreStoreChecks());
  EXPECT_EQ(newLines(), Lines{std::string(msg::kLengthOneOrGreater)});
  rec.setText(length(0), "5");
  EXPECT_TRUE(form.PreStoreChecks());
}

}  // namespace
}  // namespace palor
