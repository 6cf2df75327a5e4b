// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/batch_job.h"

#include <algorithm>
#include <charconv>

#include "ui/firmware_options.h"
#include "ui/messages.h"
#include "ui/vendrel.h"

namespace palor {
namespace {

using Action = ScriptedEdit::Action;

constexpr long kLargestPagerNumber = 99999999;

// The pager number as the window counts it: a text that is not a number counts as 0.
long pagerNumberOf(const std::string& text) {
  long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 0) return 0;
  return std::min(value, kLargestPagerNumber);
}

Action actionFor(FieldKind kind) {
  switch (kind) {
    case FieldKind::Check: return Action::Check;
    case FieldKind::Item: return Action::Pick;
    case FieldKind::Text: break;
  }
  return Action::Set;
}

// Why the form refused a write: its last status-log line since `mark`, or, when the
// pre-store checks refused in silence, the one thing they refuse silently.
std::string refusalSince(const FormState& form, std::size_t mark) {
  const auto& lines = form.log().lines();
  if (lines.size() > mark) return lines.back();
  return "an address is empty or invalid";
}

}  // namespace

std::vector<BatchRow> rowsFromList(const PagerList& list) {
  for (FieldId column : list.columns)
    if (fieldSchema(column).readOnly)
      throw EditError("'" + fieldSchema(column).name + "' is derived and cannot be edited");
  std::vector<BatchRow> rows;
  for (const PagerList::Row& listRow : list.rows) {
    BatchRow row;
    row.number = static_cast<int>(rows.size()) + 1;
    row.line = listRow.line;
    row.problem = listRow.problem;
    for (std::size_t c = 0; c < listRow.values.size() && c < list.columns.size(); ++c) {
      const FieldSchema& schema = fieldSchema(list.columns[c]);
      row.edits.push_back({actionFor(schema.kind), schema.name, listRow.values[c]});
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

std::vector<BatchRow> countedRows(int count) {
  std::vector<BatchRow> rows(static_cast<std::size_t>(std::max(count, 0)));
  for (std::size_t i = 0; i < rows.size(); ++i) {
    rows[i].number = static_cast<int>(i) + 1;
    rows[i].counted = true;
  }
  return rows;
}

BatchJob::BatchJob(std::vector<FormState*> chargers, std::vector<BatchRow> rows,
                   const std::set<int>& done, Observer& observer)
    : rows_(std::move(rows)), rowStates_(rows_.size()), observer_(observer) {
  for (FormState* form : chargers) {
    Charger c;
    c.form = form;
    c.templateValues = form->record().values();
    // A pager identified before the job began is a pager put in.
    c.arrived = form->window().readFromPagerEnabled && !form->link().protocol().busy();
    chargers_.push_back(std::move(c));
  }
  for (int i = 0; i < static_cast<int>(chargers_.size()); ++i) watchForm(i);
  if (!chargers_.empty())
    templatePagerNumber_ = pagerNumberOf(chargers_.front().form->record().text("TxtPagerNumber"));
  for (std::size_t i = 0; i < rows_.size(); ++i)
    if (done.contains(rows_[i].number)) rowStates_[i].state = RowState::Skipped;
}

BatchJob::~BatchJob() {
  for (Charger& c : chargers_) {
    c.form->log().setObserver({});
    c.form->setWindowObserver({});
  }
}

void BatchJob::watchForm(int index) {
  FormState& form = *chargers_[static_cast<std::size_t>(index)].form;
  form.log().setObserver([this, index](const std::string& line) {
    Charger& c = chargers_[static_cast<std::size_t>(index)];
    c.lastLine = line;
    // What the charger says of its pager, in the order it says it: a pager taken out and
    // another put in between two steps are both seen.
    if (line == msg::kPagerConnected) {
      c.arrived = true;
    } else if (line == msg::kPagerDisconnected) {
      c.removed = true;
      c.arrived = false;
    } else if (line == msg::kWriteEepromCompleted) {
      c.removed = c.arrived = false;  // only what follows the write counts
    }
    observer_.logLine(index, line);
  });
  form.setWindowObserver([this, index] { observer_.chargerChanged(index); });
}

void BatchJob::applyRow(FormState& form, const SettingsRecord::Values& templateValues,
                        AdvancedTemplate& advanced, const BatchRow& row) const {
  SettingsRecord& record = form.record();
  // A counted row: the addresses a window would hold after the writes of the pagers before
  // this one, advanced on from the last counted row where that one came before.
  const int wanted = row.counted ? row.number - 1 : 0;
  int advances = 0;
  if (row.counted && advanced.advances >= 0 && advanced.advances <= wanted) {
    record.restore(advanced.values);
    advances = advanced.advances;
  } else {
    record.restore(templateValues);
  }
  if (row.counted) {
    for (; advances < wanted; ++advances) form.AdvanceAddresses();
    advanced = {record.values(), wanted};
  }
  // What the pager's identification did to the settings, done again for this pager.
  ApplyFirmwareOptions(record, form.firmwareVersion(), form.link().protocol().firmwareRevision());
  form.Method28aClick();
  if (!row.problem.empty()) throw EditError(row.problem);
  bool numbered = false;
  for (const ScriptedEdit& edit : row.edits) {
    const FieldSchema& schema = fieldSchema(record.id(edit.field));
    if (edit.action == Action::Set && schema.maxLength > 0 &&
        edit.value.size() > static_cast<std::size_t>(schema.maxLength))
      throw EditError(edit.field + ": '" + edit.value + "' is longer than the field's " +
                      std::to_string(schema.maxLength) + " characters");
    applyEdit(form, edit);
    (void)record.takeFocusRequest();
    numbered = numbered || edit.field == "TxtPagerNumber";
  }
  // The number the window's write would give this pager: one on for each pager.
  if (!numbered)
    record.setText("TxtPagerNumber", std::to_string(std::min(templatePagerNumber_ + row.number,
                                                             kLargestPagerNumber)));
}

void BatchJob::checkRows() {
  if (chargers_.empty()) return;
  FormState scratch;
  scratch.setFirmwareVersion(chargers_.front().form->firmwareVersion());
  AdvancedTemplate advanced;
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    if (rowStates_[i].state != RowState::NotDone) continue;
    const std::size_t mark = scratch.log().lines().size();
    try {
      applyRow(scratch, chargers_.front().templateValues, advanced, rows_[i]);
      if (!scratch.PreStoreChecks() || !scratch.encodeWriteImage())
        refuse(i, -1, refusalSince(scratch, mark));
    } catch (const EditError& e) {
      refuse(i, -1, e.what());
    } catch (const ConversionError& e) {
      refuse(i, -1, e.what());
    }
  }
}

void BatchJob::refuse(std::size_t row, int charger, std::string why) {
  rowStates_[row].state = RowState::Refused;
  observer_.pagerEnded({charger, rows_[row].number, Outcome::Refused, {}, std::move(why), {}});
}

std::optional<std::size_t> BatchJob::nextRow() const {
  for (std::size_t i = 0; i < rowStates_.size(); ++i)
    if (rowStates_[i].state == RowState::NotDone) return i;
  return std::nullopt;
}

void BatchJob::step() {
  for (int i = 0; i < static_cast<int>(chargers_.size()); ++i) stepCharger(i);
}

void BatchJob::stepCharger(int index) {
  Charger& c = chargers_[static_cast<std::size_t>(index)];
  const FormState& form = *c.form;
  const bool busy = form.link().protocol().busy();
  switch (c.state) {
    case ChargerState::WaitingForPager:
      if (!stopping_ && c.arrived && form.window().readFromPagerEnabled && !busy)
        startNextRow(index);
      return;
    case ChargerState::Writing:
      if (!busy) endWrite(index);
      return;
    case ChargerState::WaitingForRemoval:
      // Taken out while idle the charger says so; a read or write cut short leaves the
      // link items off until a pager is identified again.
      if (c.removed || (!busy && !form.window().readFromPagerEnabled)) {
        c.removed = false;
        c.state = ChargerState::WaitingForPager;
        observer_.chargerChanged(index);
      }
      return;
  }
}

void BatchJob::startNextRow(int index) {
  Charger& c = chargers_[static_cast<std::size_t>(index)];
  FormState& form = *c.form;
  while (const auto row = nextRow()) {
    try {
      applyRow(form, c.templateValues, c.advanced, rows_[*row]);
    } catch (const EditError& e) {
      refuse(*row, index, e.what());
      continue;
    } catch (const ConversionError& e) {
      refuse(*row, index, e.what());
      continue;
    }
    // The row fixed the pager number: the write does not count it on.
    (void)form.link().protocol().takeNewPager();
    const std::size_t mark = form.log().lines().size();
    c.arrived = c.removed = false;
    form.WriteToPagerClick();
    if (form.link().protocol().busy()) {
      c.row = *row;
      c.state = ChargerState::Writing;
      rowStates_[*row].state = RowState::InHand;
      observer_.rowStarted(index, rows_[*row]);
      return;
    }
    // Refused before anything was sent: the same pager takes the next row.
    c.arrived = true;
    refuse(*row, index, refusalSince(form, mark));
  }
}

void BatchJob::endWrite(int index) {
  Charger& c = chargers_[static_cast<std::size_t>(index)];
  FormState& form = *c.form;
  RowProgress& progress = rowStates_[c.row];
  const std::optional<LinkEnd>& end = form.link().protocol().lastEnd();
  Outcome outcome = Outcome::Failed;
  if (end && end->outcome == LinkOutcome::Cancelled)
    outcome = Outcome::Cancelled;
  else if (end && end->completed())
    // A completed read here is a write's preliminary read after which the write was refused.
    outcome = end->operation == BusyInfo::Writing ? Outcome::Completed : Outcome::Refused;

  switch (outcome) {
    case Outcome::Completed: progress.state = RowState::Completed; break;
    case Outcome::Refused: progress.state = RowState::Refused; break;
    case Outcome::Cancelled: progress.state = RowState::NotDone; break;
    case Outcome::Failed:
      progress.state = ++progress.attempts >= kMaxAttempts ? RowState::Failed : RowState::NotDone;
      break;
  }
  // A written pager must be taken out; after a failure a pager identified meanwhile is
  // another one, and a refused row leaves its pager as it was.
  const bool nextPagerIn =
      outcome == Outcome::Refused || (outcome != Outcome::Completed && c.arrived);
  c.state = nextPagerIn ? ChargerState::WaitingForPager : ChargerState::WaitingForRemoval;
  if (outcome == Outcome::Refused) c.arrived = true;
  observer_.pagerEnded({index, rows_[c.row].number, outcome, form.record().text("TxtPagerNumber"),
                        c.lastLine, form.lastRecordId()});
}

void BatchJob::stopNow() {
  stopping_ = true;
  for (Charger& c : chargers_)
    if (c.state == ChargerState::Writing && c.form->link().protocol().busy())
      c.form->read_write_stopClick();
  step();
}

bool BatchJob::finished() const {
  for (const Charger& c : chargers_)
    if (c.state == ChargerState::Writing) return false;
  return stopping_ || !nextRow();
}

const BatchRow* BatchJob::rowInHand(int charger) const {
  const Charger& c = chargers_[static_cast<std::size_t>(charger)];
  return c.state == ChargerState::Writing ? &rows_[c.row] : nullptr;
}

}  // namespace palor
