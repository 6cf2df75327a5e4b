// SPDX-License-Identifier: GPL-3.0-or-later
// File / "Pager list...": the batch's list of pagers worked through in the window, one row
// typed in before each write.
#include "files/pager_list.h"
#include "ui/messages.h"
#include "ui/vendrel.h"

namespace palor {
namespace {

using Action = ScriptedEdit::Action;

const ScriptedEdit* pagerNumberEdit(const BatchRow& row) {
  for (const ScriptedEdit& edit : row.edits)
    if (edit.field == "TxtPagerNumber") return &edit;
  return nullptr;
}

std::string lineName(const BatchRow& row) { return "Pager list line " + std::to_string(row.line); }

}  // namespace

bool FormState::LoadPagerList(const std::string& path) {
  const PagerListOutcome read = readPagerList(path);
  if (!read) {
    log_.append(read.fileError ? std::string(msg::kLoadFailed) : path + ": " + read.error);
    return false;
  }
  try {
    pagerList_ = LoadedPagerList{rowsFromList(*read.list)};
  } catch (const EditError& e) {
    log_.append(path + ": " + e.what());
    return false;
  }
  log_.append(msg::loadedDataFrom(path));
  showPagerList();
  return true;
}

void FormState::UnloadPagerList() {
  pagerList_.reset();
  showPagerList();
}

void FormState::showPagerList() {
  std::string text;
  if (pagerList_) {
    const auto& rows = pagerList_->rows;
    const std::size_t next = pagerList_->next;
    if (next >= rows.size()) {
      text = "All " + std::to_string(rows.size()) + " rows of the list written";
    } else {
      text = "Row " + std::to_string(next + 1) + " of " + std::to_string(rows.size());
      if (const ScriptedEdit* number = pagerNumberEdit(rows[next]))
        text += ": pager " + number->value;
    }
  }
  changeWindow([&](MainWindowState& w) { w.pagerListText = text; });
}

bool FormState::applyNextListRow() {
  LoadedPagerList& list = *pagerList_;
  // A row the list itself spoils can never be written: it is passed over, said once.
  while (list.next < list.rows.size() && !list.rows[list.next].problem.empty()) {
    const BatchRow& row = list.rows[list.next++];
    log_.append(lineName(row) + ": " + row.problem);
  }
  showPagerList();
  if (list.next >= list.rows.size()) {
    log_.append("Every row of the pager list is written.");
    return false;
  }
  const BatchRow& row = list.rows[list.next];
  try {
    for (const ScriptedEdit& edit : row.edits) {
      if (edit.action != Action::Set) {
        applyEdit(*this, edit);
        continue;
      }
      // A text as a user replaces it: the old text deleted, the new one typed, the field
      // left.
      applyEdit(*this, {Action::Set, edit.field, ""});
      applyEdit(*this, {Action::Type, edit.field, edit.value});
      applyEdit(*this, {Action::Leave, edit.field, {}});
    }
  } catch (const EditError& e) {
    log_.append(lineName(row) + ": " + e.what());
    return false;
  }
  (void)record_.takeFocusRequest();
  // The list numbers its pagers: the write does not count the number on.
  if (pagerNumberEdit(row)) (void)link_.protocol().takeNewPager();
  return true;
}

}  // namespace palor
