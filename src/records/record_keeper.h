// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a program keeps its records with: the store its location names, opened when first
// needed, and, for a server, the local file as the place of last resort. A server that
// cannot be reached never loses a record: it is kept in the local file, marked, and
// delivered at the next successful connection (or by sync), each exactly once.
#include <memory>
#include <optional>
#include <string>

#include "records/record_store.h"

namespace palor::records {

// What became of a record given to keep().
struct Kept {
  std::optional<std::int64_t> id;   // its id where it was stored; none when it was lost
  bool keptLocally = false;         // the server could not take it: it waits in the local file
  std::optional<StoreError> error;  // why the server, or the file, could not take it
};

class RecordKeeper {
 public:
  // `localFile`: where records wait when a server cannot be reached.
  explicit RecordKeeper(RecordsLocation location, std::string localFile = defaultRecordsFile());
  ~RecordKeeper();
  RecordKeeper(const RecordKeeper&) = delete;
  RecordKeeper& operator=(const RecordKeeper&) = delete;

  const RecordsLocation& location() const { return location_; }
  bool off() const { return location_.kind == RecordsLocation::Kind::Off; }

  // Stores a record; for a server, the records waiting in the local file go first.
  Kept keep(const ProgrammingRecord& record);
  // Delivers the records waiting in the local file for this location's server; how many.
  StoreResult<int> sync();
  // The store of the location, opened (and, after a failure, tried again) on use.
  StoreResult<RecordStore*> store();

 private:
  StoreResult<RecordStore*> localStore();

  RecordsLocation location_;
  std::string localFile_;
  std::unique_ptr<RecordStore> store_;
  std::unique_ptr<RecordStore> local_;
};

}  // namespace palor::records
