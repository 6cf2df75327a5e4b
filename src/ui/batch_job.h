// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A batch job: one template, a list of rows (or a count of pagers), programmed on several
// chargers at once. Each charger is a form state of its own with its own pager link, all
// ticked by one link clock; the job hands every pager put into any charger the next row
// not yet done, and writes it as Write_To_Pager writes it.
//
// Each charger is one small state machine (waiting for a pager, writing a row, waiting for
// the pager to be taken out), moved only by what its form reports (status-log lines, the
// window's link items) and by step(), which the owner calls after every tick of the
// clock. The job reads no clock: how long a pager took is the owner's to measure.
//
// The rule that keeps rows apart: before each row the charger's settings go back to the
// template exactly (SettingsRecord::restore), the firmware options of the pager in hand
// are applied again, and only then the row's edits. Nothing of one row reaches the next.
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "config/settings_record.h"
#include "files/pager_list.h"
#include "ui/scripted_edit.h"

namespace palor {

class FormState;

// One pager's worth of a job.
struct BatchRow {
  int number = 0;  // 1.. in the job's order: the job log's row
  int line = 0;    // the list's line; 0 for a counted pager
  // The list's values as the user would make them: a text set as a program step, a box
  // checked, an item picked.
  std::vector<ScriptedEdit> edits;
  // A counted pager: its addresses advance by their steps once for each pager before it.
  bool counted = false;
  std::string problem;  // a list row that could not be read: the row is refused
};

// The rows of a list, in its order. A column the user may not edit (a derived field) is a
// usage error: EditError naming it.
std::vector<BatchRow> rowsFromList(const PagerList& list);
// `count` pagers from the template alone.
std::vector<BatchRow> countedRows(int count);

class BatchJob {
 public:
  enum class ChargerState : std::uint8_t { WaitingForPager, Writing, WaitingForRemoval };
  enum class RowState : std::uint8_t { NotDone, InHand, Completed, Failed, Refused, Skipped };
  enum class Outcome : std::uint8_t { Completed, Failed, Refused, Cancelled };

  // A row tried more often than this without success is given up as failed.
  static constexpr int kMaxAttempts = 3;

  // How one pager (or one refused row) ended.
  struct PagerEnd {
    int charger;  // -1: refused before any pager
    int row;      // BatchRow::number
    Outcome outcome;
    std::string pagerNumber;  // TxtPagerNumber as written
    std::string lastLine;     // the charger's last status-log line, or why the row was refused
    std::optional<std::int64_t> record;  // the pager's programming record, when one was kept
  };

  class Observer {
   public:
    virtual ~Observer() = default;
    // The charger's write of `row` has begun: its settings are the row's, checked, and
    // not yet advanced for the next pager.
    virtual void rowStarted(int charger, const BatchRow& row) = 0;
    virtual void pagerEnded(const PagerEnd& end) = 0;
    // Every status-log line of every charger, and any change of a charger's window.
    virtual void logLine(int charger, const std::string& line) = 0;
    virtual void chargerChanged(int charger) = 0;
  };

  // The chargers' forms each hold the template now (file opened, edits applied), and keep
  // it as their template. `done`: the numbers of rows a log says are completed; they are
  // skipped. The job takes the forms' log and window observers until it is destroyed.
  BatchJob(std::vector<FormState*> chargers, std::vector<BatchRow> rows, const std::set<int>& done,
           Observer& observer);
  ~BatchJob();
  BatchJob(const BatchJob&) = delete;
  BatchJob& operator=(const BatchJob&) = delete;

  // Refuses, with their reasons, the rows that cannot be written whatever the pager: a row
  // that could not be read, an edit the field refuses, a value too long for its field,
  // the pre-store checks and the encoder. Run once, before the first step.
  void checkRows();
  // After every tick: hands out rows, notes how writes ended.
  void step();

  // The first Ctrl+C: no new pager is taken, the writes in hand go on to their end.
  void stopTaking() { stopping_ = true; }
  // The second: the writes in hand are stopped as Stop stops them; their rows stay not done.
  void stopNow();
  bool stopping() const { return stopping_; }

  // Every row is completed, refused, failed or skipped; or the job was stopped and no
  // write is in hand.
  bool finished() const;

  ChargerState chargerState(int charger) const { return chargers_[charger].state; }
  // The row in hand of a charger, while it writes.
  const BatchRow* rowInHand(int charger) const;
  std::size_t chargerCount() const { return chargers_.size(); }
  const std::vector<BatchRow>& rows() const { return rows_; }
  RowState rowState(std::size_t index) const { return rowStates_[index].state; }

 private:
  // The template with its addresses advanced for the last counted row applied, so that
  // the next counted row advances once more rather than from the start.
  struct AdvancedTemplate {
    SettingsRecord::Values values;
    int advances = -1;  // none kept yet
  };
  struct Charger {
    FormState* form;
    SettingsRecord::Values templateValues;
    AdvancedTemplate advanced;
    ChargerState state = ChargerState::WaitingForPager;
    std::size_t row = 0;   // index of the row in hand
    bool arrived = false;  // a pager was identified since it was last looked at
    bool removed = false;  // the pager went away since the write started
    std::string lastLine;
  };
  struct RowProgress {
    RowState state = RowState::NotDone;
    int attempts = 0;
  };

  void stepCharger(int index);
  void startNextRow(int index);
  void endWrite(int index);
  // The template with the row's edits on `form`; throws EditError or ConversionError.
  void applyRow(FormState& form, const SettingsRecord::Values& templateValues,
                AdvancedTemplate& advanced, const BatchRow& row) const;
  std::optional<std::size_t> nextRow() const;
  void refuse(std::size_t row, int charger, std::string why);
  void watchForm(int index);

  std::vector<Charger> chargers_;
  std::vector<BatchRow> rows_;
  std::vector<RowProgress> rowStates_;
  Observer& observer_;
  long templatePagerNumber_ = 0;
  bool stopping_ = false;
};

}  // namespace palor
