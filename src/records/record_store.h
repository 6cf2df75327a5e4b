// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The store of programming records: one database, an SQLite file on this desk or a
// PostgreSQL server that several desks share, reached through one SOCI session. The schema
// carries its version; opening a store brings an older schema up to date with the
// numbered migrations in code. Records go in whole or not at all (one transaction each);
// the addresses are a table of their own, indexed by capcode.
//
// Nothing here throws: every failure of the database comes back as a StoreError.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "records/programming_record.h"
#include "records/records_location.h"

namespace palor::records {

// Why the store could not do what it was asked, in the database's words.
struct StoreError {
  std::string what;
};

// A store operation's answer: its value, or why it failed. Tests true on success.
template <typename T>
class [[nodiscard]] StoreResult {
 public:
  StoreResult(T value) : outcome_(std::move(value)) {}             // NOLINT: a value converts
  StoreResult(StoreError error) : outcome_(std::move(error)) {}    // NOLINT: a failure converts
  explicit operator bool() const { return outcome_.index() == 0; }
  // Only on success.
  T& value() { return std::get<0>(outcome_); }
  const T& value() const { return std::get<0>(outcome_); }
  // Only on failure.
  const StoreError& error() const { return std::get<1>(outcome_); }

 private:
  std::variant<T, StoreError> outcome_;
};
using StoreDone = StoreResult<std::monostate>;

// Which records a history asks for; every given part must match. Newest first.
struct HistoryFilter {
  std::optional<int> capcode;             // one of its addresses, switched on or not
  std::optional<std::string> serial;      // exactly
  std::optional<std::string> pagerNumber; // exactly
  std::optional<std::string> since;       // "YYYY-MM-DD": started on that day (UTC) or later
  // The window's filter box: the text anywhere in an address, the serial, the pager
  // number, the desk, the operator, the port or the last status line. Empty: any.
  std::string text;
  int limit = 0;   // at most this many; 0: all
  int offset = 0;  // after skipping this many (pages of a long history)
};

// A record as a history lists it: everything but the two images, and whether it has them.
struct HistoryEntry {
  ProgrammingRecord record;  // before and image left empty
  bool hasBefore = false;
  bool hasImage = false;
};

// A pager that a completed write gave a capcode: the latest completed write of that pager
// number, which put the address on it switched on.
struct CapcodeHolder {
  std::int64_t recordId = 0;
  std::string pagerNumber;
  std::string finished;
  std::string desk;
};

class RecordStore {
 public:
  static constexpr int kSchemaVersion = 2;

  // Opens (and creates) the store at a File or Server location and migrates its schema up
  // to `upToVersion`. A new file is made with mode 0600 in a folder made with mode 0700 (the
  // images hold the pager's password), in WAL mode with a busy time-out, so that the window
  // and palorctl can write at once. A server URI without a connect_timeout gets one of a few
  // seconds.
  static StoreResult<std::unique_ptr<RecordStore>> open(const RecordsLocation& location,
                                                        int upToVersion = kSchemaVersion);
  ~RecordStore();
  RecordStore(const RecordStore&) = delete;
  RecordStore& operator=(const RecordStore&) = delete;

  const RecordsLocation& location() const;
  StoreResult<int> schemaVersion();

  // Stores a record with its addresses in one transaction and returns its id. A record whose
  // uid the store already holds is not stored again: the id it has is returned. With
  // `pendingFor`, the record waits in this store to be delivered to that server.
  StoreResult<std::int64_t> add(const ProgrammingRecord& record, std::string_view pendingFor = {});
  // Stores several records as add() does, all in one transaction: their ids, in order.
  StoreResult<std::vector<std::int64_t>> addAll(std::span<const ProgrammingRecord> records,
                                                std::string_view pendingFor = {});
  // One record, with its images; none when there is no record of that id.
  StoreResult<std::optional<ProgrammingRecord>> find(std::int64_t id);
  StoreResult<std::vector<HistoryEntry>> history(const HistoryFilter& filter);
  // How many records the filter matches, limit and offset aside.
  StoreResult<std::int64_t> count(const HistoryFilter& filter);
  // The pager other than `pagerNumber` that holds `address` (see CapcodeHolder), the most
  // recently written when there are several; none when no other pager does.
  StoreResult<std::optional<CapcodeHolder>> capcodeHolder(int address,
                                                          std::string_view pagerNumber);
  // Removes the records started before `day` ("YYYY-MM-DD"); how many went.
  StoreResult<std::int64_t> prune(std::string_view day);

  // The records waiting to be delivered to `server`, oldest first, with their images; and
  // the mark taken off one once the server has it.
  StoreResult<std::vector<ProgrammingRecord>> pending(std::string_view server);
  StoreDone markDelivered(std::int64_t id);

 private:
  struct Session;
  explicit RecordStore(std::unique_ptr<Session> session);
  std::unique_ptr<Session> session_;
};

}  // namespace palor::records
