// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/record_keeper.h"

#include <filesystem>
#include <utility>

namespace palor::records {

namespace {

StoreError joined(const StoreError& first, const StoreError& second) {
  return StoreError{first.what + "; " + second.what};
}

}  // namespace

RecordKeeper::RecordKeeper(RecordsLocation location, std::string localFile)
    : location_(std::move(location)), localFile_(std::move(localFile)) {}

RecordKeeper::~RecordKeeper() = default;

StoreResult<RecordStore*> RecordKeeper::store() {
  if (off()) return StoreError{"Records are off"};
  if (!store_) {
    auto opened = RecordStore::open(location_);
    if (!opened) return opened.error();
    store_ = std::move(opened.value());
  }
  return store_.get();
}

StoreResult<RecordStore*> RecordKeeper::localStore() {
  if (!local_) {
    auto opened = RecordStore::open({RecordsLocation::Kind::File, localFile_});
    if (!opened) return opened.error();
    local_ = std::move(opened.value());
  }
  return local_.get();
}

StoreResult<int> RecordKeeper::sync() {
  if (location_.kind != RecordsLocation::Kind::Server) return 0;
  auto server = store();
  if (!server) return server.error();
  // No local file: nothing waits, and none is made for nothing.
  if (!local_ && !std::filesystem::exists(localFile_)) return 0;
  auto local = localStore();
  if (!local) return local.error();
  // The mark names the server without its password, which stays out of the local file.
  auto waiting = local.value()->pending(describe(location_));
  if (!waiting) return waiting.error();
  int delivered = 0;
  for (ProgrammingRecord& record : waiting.value()) {
    const std::int64_t localId = std::exchange(record.id, 0);
    // The uid makes a second delivery of a record the server already has a no-op, so the
    // mark comes off only once the server has the record.
    if (auto taken = server.value()->add(record); !taken) {
      store_.reset();
      return taken.error();
    }
    if (auto marked = local.value()->markDelivered(localId); !marked) return marked.error();
    ++delivered;
  }
  return delivered;
}

Kept RecordKeeper::keep(const ProgrammingRecord& record) {
  if (off()) return {};
  if (location_.kind == RecordsLocation::Kind::File) {
    auto file = store();
    if (!file) return {std::nullopt, false, file.error()};
    auto id = file.value()->add(record);
    if (!id) return {std::nullopt, false, id.error()};
    return {id.value(), false, std::nullopt};
  }

  StoreError refused;
  if (auto server = store(); !server) {
    refused = server.error();
  } else if (auto delivered = sync(); !delivered) {
    refused = delivered.error();
  } else if (auto id = server.value()->add(record); !id) {
    refused = id.error();
  } else {
    return {id.value(), false, std::nullopt};
  }
  // The server is tried again, from a new connection, at the next keep or sync.
  store_.reset();
  auto local = localStore();
  if (!local) return {std::nullopt, false, joined(refused, local.error())};
  auto id = local.value()->add(record, describe(location_));
  if (!id) return {std::nullopt, false, joined(refused, id.error())};
  return {id.value(), true, refused};
}

}  // namespace palor::records
