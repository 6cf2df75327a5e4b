// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The store's database session and what differs between its two back ends: the records
// layer's own, seen by no other layer.
// Debian's SOCI is built with Boost, whose headers only SOCI's optional conversions of
// Boost types need (templates in its headers, none in its libraries); this layer uses none.
#include <soci/soci-config.h>
#undef SOCI_HAVE_BOOST
#undef SOCI_HAVE_BOOST_DATE_TIME
#include <soci/soci.h>

#include <string>

#include "records/records_location.h"

namespace palor::records {

struct StoreSession {
  RecordsLocation location;
  bool postgres = false;
  std::string secret;  // the server's password: it never appears in a message
  int version = 0;     // the schema's version once opened
  soci::session sql;

  // Opens a transaction that writes. SQLite takes the write lock at once, so that a reader
  // turned writer never meets a busy database that its time-out cannot wait for.
  void begin() { sql << (postgres ? "BEGIN" : "BEGIN IMMEDIATE"); }
  void commit() { sql << "COMMIT"; }
  void rollback() noexcept;
};

// A transaction rolled back unless committed.
class Transaction {
 public:
  explicit Transaction(StoreSession& session) : session_(session) { session_.begin(); }
  ~Transaction() {
    if (!done_) session_.rollback();
  }
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  void commit() {
    session_.commit();
    done_ = true;
  }

 private:
  StoreSession& session_;
  bool done_ = false;
};

// Brings the schema up to `upToVersion` with the numbered migrations, each in a
// transaction of its own; the version the schema has then. Throws what SOCI throws.
int migrate(StoreSession& session, int upToVersion);

}  // namespace palor::records
