// SPDX-License-Identifier: GPL-3.0-or-later
// Folder rules: the sixteen public folders share 99 message slots. Folders [1]..[8] and
// [9]..[16] form two chains: a folder opens only after the one before it, and closing a
// folder closes every later folder of its half.
#include <algorithm>
#include <string>

#include "config/ascii_text.h"
#include "config/field_groups.h"
#include "config/record_checks.h"
#include "ui/messages.h"
#include "ui/vendrel.h"

namespace palor {
namespace {

constexpr int kFoldersPerHalf = kFolders / 2;

// The folder after the last one of folder k's half.
int endOfHalf(int folder) { return folder < kFoldersPerHalf ? kFoldersPerHalf : kFolders; }

}  // namespace

void FormState::lockFolder(int folder) {
  const FolderFields& f = folderFields(folder);
  record_.setChecked(f.active, false);  // its own rule runs
  record_.setEnabled(f.active, false);
  record_.setEnabled(f.title, false);
  record_.setEnabled(f.length, false);
}

void FormState::attachFolderRules() {
  for (const FolderFields& f : folders()) {
    const int k = f.folder;
    record_.setClickRule(
        f.active, [this, k](FieldId) { pubboxactClick(k); },
        std::string("pubboxact") + hexDigit(static_cast<unsigned>(k)) + "Click");
    record_.setExitRule(
        f.length, [this](FieldId length) { pubboxlengthExit(length); }, "pubboxlengthExit");
  }
}

void FormState::pubboxactClick(int folder) {
  const auto [k, active, title, length] = folderFields(folder);

  if (!record_.checked(active)) {
    record_.setEnabled(title, false);
    record_.setEnabled(length, false);
    for (int later = folder + 1; later < endOfHalf(folder); ++later) lockFolder(later);
    return;
  }

  // The folder counts in the excess already, being checked.
  const int excess = folderExcess(record_);
  const int slots = record_.number(length);
  if (excess >= slots) {
    record_.setChecked(active, false);  // runs this rule again, on the unchecked path
    log_.append(msg::kMailboxCannotBeEnabled);
    return;
  }

  record_.setEnabled(title, true);
  record_.setEnabled(length, true);
  const int next = folder + 1;
  if (next < endOfHalf(folder)) {
    for (FieldId f :
         {folderFields(next).active, folderFields(next).title, folderFields(next).length})
      record_.setEnabled(f, true);
  }
  if (excess > 0) {
    record_.setNumber(length, slots - excess);
    log_.append(msg::kTrimmedToTotal99);
  }
}

void FormState::pubboxlengthExit(FieldId length) {
  const int slots = record_.number(length);
  // A pasted negative length is refused like 0: it would count against the total.
  if (slots <= 0) {
    log_.append(msg::kLengthOneOrGreater);
    record_.requestFocus(length);
    return;
  }

  // Only an active folder's length counts in the total, so only it can bring the total
  // down: the length of an inactive folder is left as typed even when a loaded
  // configuration is over the total already. An active folder is cut to what the other
  // active folders leave, but never below one slot; if they alone fill 99 slots, the total
  // test refuses the configuration when it is stored.
  const int folder = SettingsRecord::schema(length).row;
  if (folder < 0 || folder >= kFolders || !record_.checked(folderFields(folder).active)) return;
  const int excess = folderExcess(record_);
  if (excess <= 0) return;
  const int trimmed = std::max(slots - excess, 1);
  if (trimmed == slots) return;
  record_.setNumber(length, trimmed);
  log_.append(msg::kTrimmedToTotal99);
}

}  // namespace palor
