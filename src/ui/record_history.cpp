// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/record_history.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "files/atomic_file.h"
#include "records/record_keeper.h"
#include "ui/messages.h"
#include "ui/status_log.h"
#include "ui/vendrel.h"

namespace palor {

std::string_view historyColumnTitle(HistoryColumn column) {
  switch (column) {
    case HistoryColumn::Time: return "Time (UTC)";
    case HistoryColumn::Operation: return "Operation";
    case HistoryColumn::Outcome: return "Outcome";
    case HistoryColumn::PagerNumber: return "Pager number";
    case HistoryColumn::Serial: return "Serial";
    case HistoryColumn::Addresses: return "Addresses";
    case HistoryColumn::Desk: return "Desk";
  }
  return {};
}

std::string historyCell(const records::HistoryEntry& entry, HistoryColumn column) {
  const records::ProgrammingRecord& r = entry.record;
  switch (column) {
    case HistoryColumn::Time: {
      // "2026-12-01T10:22:05Z" as "2026-12-01 10:22:05"; anything else as it is.
      std::string time = r.started;
      if (time.size() == 20 && time[10] == 'T' && time[19] == 'Z') {
        time[10] = ' ';
        time.pop_back();
      }
      return time;
    }
    case HistoryColumn::Operation: return std::string(records::operationName(r.operation));
    case HistoryColumn::Outcome: return std::string(records::outcomeName(r.outcome));
    case HistoryColumn::PagerNumber: return r.pagerNumber;
    case HistoryColumn::Serial: return r.serial;
    case HistoryColumn::Addresses: {
      std::string text;
      for (const records::AddressEntry& a : r.addresses) {
        if (!a.enabled) continue;
        char number[16];
        std::snprintf(number, sizeof number, "%07d", a.address);
        if (!text.empty()) text += ", ";
        text += number;
      }
      return text;
    }
    case HistoryColumn::Desk: return r.desk;
  }
  return {};
}

RecordHistory::RecordHistory(records::RecordKeeper* keeper, int pageRows)
    : pageRows_(std::max(pageRows, 1)) {
  if (!keeper || keeper->off()) {
    problem_ = "Records are off (PALOR_RECORDS=off): nothing is recorded on this desk.";
    return;
  }
  records::StoreResult<records::RecordStore*> store = keeper->store();
  if (!store) {
    problem_ = "The records at " + records::describe(keeper->location()) +
               " cannot be opened: " + store.error().what;
    return;
  }
  store_ = store.value();
  setFilter({});
}

void RecordHistory::setFilter(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  filter_.text = std::string(text);
  reload();
}

void RecordHistory::reload() {
  rows_.clear();
  ids_.clear();
  total_ = 0;
  fetched_ = 0;
  exhausted_ = true;
  if (!store_) return;
  records::HistoryFilter all = filter_;
  all.limit = 0;
  all.offset = 0;
  const records::StoreResult<std::int64_t> counted = store_->count(all);
  if (!counted) {
    problem_ = "The records cannot be read: " + counted.error().what;
    return;
  }
  problem_.reset();
  total_ = counted.value();
  exhausted_ = false;
  append(nextPage());
}

bool RecordHistory::canFetchMore() const {
  return store_ && !exhausted_ && static_cast<std::int64_t>(rows_.size()) < total_;
}

std::vector<records::HistoryEntry> RecordHistory::nextPage() {
  if (!canFetchMore()) return {};
  records::HistoryFilter page = filter_;
  page.limit = pageRows_;
  page.offset = static_cast<int>(fetched_);
  records::StoreResult<std::vector<records::HistoryEntry>> read = store_->history(page);
  if (!read) {
    problem_ = "The records cannot be read: " + read.error().what;
    exhausted_ = true;
    return {};
  }
  std::vector<records::HistoryEntry>& entries = read.value();
  fetched_ += static_cast<std::int64_t>(entries.size());
  if (static_cast<int>(entries.size()) < pageRows_) exhausted_ = true;
  std::erase_if(entries,
                [this](const records::HistoryEntry& e) { return ids_.contains(e.record.id); });
  return std::move(entries);
}

void RecordHistory::append(std::vector<records::HistoryEntry> page) {
  for (records::HistoryEntry& entry : page) {
    if (!ids_.insert(entry.record.id).second) continue;
    rows_.push_back(std::move(entry));
  }
}

std::optional<records::ProgrammingRecord> RecordHistory::record(std::size_t index) {
  if (!store_ || index >= rows_.size()) return std::nullopt;
  records::StoreResult<std::optional<records::ProgrammingRecord>> found =
      store_->find(rows_[index].record.id);
  if (!found) {
    problem_ = "The records cannot be read: " + found.error().what;
    return std::nullopt;
  }
  return std::move(found.value());
}

RecordComparison compareWithWindow(const records::ProgrammingRecord& record, RecordImage which,
                                   const FormState& window) {
  FormState opened;
  StartUpEnvironment environment;
  environment.decimalSeparator = window.decimalSeparator();
  opened.startUp(environment);
  const std::size_t logged = opened.log().lines().size();
  if (!opened.OpenRecordImage(record, which)) {
    const auto& lines = opened.log().lines();
    return {{}, lines.size() > logged ? lines.back() : std::string(msg::kLoadFailed)};
  }
  // The image holds list indexes; opened into the window they read as the window's items,
  // which follow the firmware of the pager it met (the low-cell delay's "16 sec" or
  // "120 sec").
  SettingsRecord& settings = opened.record();
  for (std::size_t i = 0; i < SettingsRecord::size(); ++i) {
    const auto f = static_cast<FieldId>(i);
    if (SettingsRecord::schema(f).kind != FieldKind::Item) continue;
    const std::vector<std::string>& items = window.record().items(f);
    for (std::size_t k = 0; k < items.size() && k < settings.items(f).size(); ++k)
      settings.setItemText(f, static_cast<int>(k), items[k]);
  }
  return {differingFields(settings, window.record()), std::nullopt};
}

bool saveRecordImage(const records::ProgrammingRecord& record, RecordImage which,
                     const std::string& path, StatusLog& log) {
  const std::optional<ConfigImage> image = recordImageFile(record, which);
  if (!image) {
    log.append(msg::recordHoldsNoImage(record.id, which == RecordImage::Before));
    return false;
  }
  const std::string_view bytes(reinterpret_cast<const char*>(image->data()), image->size());
  const FileOutcome saved = saveFileAtomically(path, bytes);
  log.append(saved ? msg::savedDataTo(path) : std::string(msg::kSaveFailed));
  return static_cast<bool>(saved);
}

bool restoreRefusedForOtherPager(const StatusLog& log, std::size_t linesBefore,
                                 std::int64_t recordId) {
  const std::string refusal = msg::restoreOtherPager(recordId);
  const auto& lines = log.lines();
  return std::find(lines.begin() + static_cast<std::ptrdiff_t>(std::min(linesBefore, lines.size())),
                   lines.end(), refusal) != lines.end();
}

}  // namespace palor
