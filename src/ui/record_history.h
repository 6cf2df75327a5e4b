// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The History dialog, headless: the records of a records keeper as a table of texts, newest
// first, narrowed by the filter box and loaded a page at a time as the table is scrolled;
// and what the dialog does with one record: compare its image with the window, save it as
// an image file, and tell a restore that the pager in the charger refused. The Qt dialog
// only shows these texts and forwards the user's actions here and to the form state.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "records/record_store.h"
#include "ui/operation_record.h"
#include "ui/record_diff.h"

namespace palor {

class FormState;
class StatusLog;

namespace records {
class RecordKeeper;
}

enum class HistoryColumn : std::uint8_t {
  Time,
  Operation,
  Outcome,
  PagerNumber,
  Serial,
  Addresses,
  Desk
};
inline constexpr int kHistoryColumns = 7;

std::string_view historyColumnTitle(HistoryColumn column);
// A record's cell: the start time (UTC, "2026-12-01 10:22:05"), the operation's and the
// outcome's names, the pager number, the serial, the switched-on addresses ("1234560,
// 2004008"), the desk.
std::string historyCell(const records::HistoryEntry& entry, HistoryColumn column);

class RecordHistory {
 public:
  static constexpr int kPageRows = 200;

  // The records of `keeper` (none: records are off), read `pageRows` at a time. The store
  // is opened here; problem() says why there is no table when it cannot be.
  explicit RecordHistory(records::RecordKeeper* keeper, int pageRows = kPageRows);

  // Why the dialog shows no table: records are off, or the store cannot be opened or read.
  const std::optional<std::string>& problem() const { return problem_; }

  // The filter box's text (a capcode, a serial, a pager number or any text; blanks around
  // it do not count): the records are counted again and the first page is loaded.
  void setFilter(std::string_view text);
  // Loads the records again with the filter in hand (after a write or a restore added one).
  void reload();

  // How many records the filter matches, and how many of them are loaded.
  std::int64_t total() const { return total_; }
  std::size_t rows() const { return rows_.size(); }
  const records::HistoryEntry& row(std::size_t index) const { return rows_[index]; }

  bool canFetchMore() const;
  // The next page, without the records already loaded (a record added since the last page
  // moves the pages on by one). Nothing when there is no more, or when the store fails (its
  // reason in problem()).
  std::vector<records::HistoryEntry> nextPage();
  // Adds a page from nextPage() to the rows.
  void append(std::vector<records::HistoryEntry> page);

  // The record of a row, with its images; none when the store has it no more or fails.
  std::optional<records::ProgrammingRecord> record(std::size_t index);

 private:
  records::RecordStore* store_ = nullptr;
  int pageRows_;
  records::HistoryFilter filter_;
  std::optional<std::string> problem_;
  std::int64_t total_ = 0;
  std::int64_t fetched_ = 0;  // records read from the store for this filter, pages so far
  bool exhausted_ = false;    // the last page came back short
  std::vector<records::HistoryEntry> rows_;
  std::set<std::int64_t> ids_;
};

// The fields whose values differ between a record's image, opened as the window opens it
// (in a form state of its own, with the window's number format), and the window's settings:
// `first` the record's value, `second` the window's. When the image cannot be opened,
// `problem` holds the status line that says why.
struct RecordComparison {
  std::vector<FieldDifference> differences;
  std::optional<std::string> problem;
};
RecordComparison compareWithWindow(const records::ProgrammingRecord& record, RecordImage which,
                                   const FormState& window);

// Saves a record's image as an image file (the record's firmware version in byte 0) under
// the program's one save policy; "Saved data to " + path or "Save failed" in `log`, and why
// the record holds no such image when it does not.
bool saveRecordImage(const records::ProgrammingRecord& record, RecordImage which,
                     const std::string& path, StatusLog& log);

// Whether the restore of `recordId` begun when `log` held `linesBefore` lines was refused
// because the pager in the charger is not the one the record wrote: only then may the user
// be offered to restore it anyway.
bool restoreRefusedForOtherPager(const StatusLog& log, std::size_t linesBefore,
                                 std::int64_t recordId);

}  // namespace palor
