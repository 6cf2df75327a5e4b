// SPDX-License-Identifier: GPL-3.0-or-later
// The records store on a real PostgreSQL server, and the keeper when its server goes away
// and comes back.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "postgres_server.h"
#include "programming_records.h"
#include "records/record_keeper.h"
#include "records/record_store.h"
#include "store_cases.h"
#include "temp_folder.h"

namespace palor::records {
namespace {

using test::sampleRecord;

// One server for the program's tests, each test in databases of its own.
test::PostgresServer& server() {
  static test::PostgresServer instance;
  return instance;
}

class RecordStorePgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::PostgresServer::programsFound()) GTEST_SKIP() << "no PostgreSQL server programs";
  }
  // The URI of a new, empty database.
  static std::string freshDatabase() {
    static int made = 0;
    const std::string name = "store" + std::to_string(++made);
    EXPECT_TRUE(server().createDatabase(name)) << server().logText();
    return server().uri(name);
  }
  static std::unique_ptr<RecordStore> openStore(const std::string& uri) {
    auto opened = RecordStore::open({RecordsLocation::Kind::Server, uri});
    EXPECT_TRUE(opened) << opened.error().what;
    return opened ? std::move(opened.value()) : nullptr;
  }
  static std::int64_t countOn(const std::string& uri) {
    auto store = openStore(uri);
    return store ? store->count({}).value() : -1;
  }
};

TEST_F(RecordStorePgTest, EachOperationAndOutcomeReadsBackAsStored) {
  auto store = openStore(freshDatabase());
  ASSERT_TRUE(store);
  EXPECT_EQ(store->schemaVersion().value(), RecordStore::kSchemaVersion);
  for (const auto& c : test::roundTripCases()) test::checkRoundTrip(*store, c);
}

TEST_F(RecordStorePgTest, CapcodeHolderIsTheLatestWriteOfAnotherPagerThatHoldsTheAddressOn) {
  test::checkCapcodeRule([] { return openStore(freshDatabase()); });
}

TEST_F(RecordStorePgTest, HistoryFiltersAndPages) {
  auto store = openStore(freshDatabase());
  ASSERT_TRUE(store);
  test::checkHistoryFilters(*store);
}

// A server takes only UTF-8: a status line or a host name in another encoding is taken as
// Latin-1 rather than refused (a refused record would wait for delivery for ever).
TEST_F(RecordStorePgTest, TextsThatAreNotUtf8AreStoredAsLatin1) {
  auto store = openStore(freshDatabase());
  ASSERT_TRUE(store);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"Caf\xE9", "Caf\xC3\xA9"},
      {"cut \xC3", "cut \xC3\x83"},
      {"surrogate \xED\xA0\x80", "surrogate \xC3\xAD\xC2\xA0\xC2\x80"},
      {"caf\xC3\xA9 \xE2\x82\xAC", "caf\xC3\xA9 \xE2\x82\xAC"},  // UTF-8 stays
  };
  int n = 0;
  for (const auto& [line, stored] : cases) {
    ProgrammingRecord r = sampleRecord(Operation::Write, Outcome::Failed, ++n);
    r.lastLine = line;
    auto id = store->add(r);
    ASSERT_TRUE(id) << id.error().what;
    EXPECT_EQ(store->find(id.value()).value()->lastLine, stored) << line;
  }
}

// Two desks writing into one new database at the same moment, some of their records the
// same (a record delivered by both): none lost, none stored twice.
TEST_F(RecordStorePgTest, TwoProcessesWritingAtOnceLoseAndDoubleNothing) {
  const std::string uri = freshDatabase();
  constexpr int kEach = 200, kShared = 20;
  std::vector<pid_t> children;
  for (int p = 0; p < 2; ++p) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      auto opened = RecordStore::open({RecordsLocation::Kind::Server, uri});
      if (!opened) ::_exit(2);
      for (int n = 0; n < kEach + kShared; ++n) {
        ProgrammingRecord r = sampleRecord(Operation::Write, Outcome::Completed, n);
        r.uid = n < kEach ? "p" + std::to_string(p) + "-" + std::to_string(n)
                          : "shared-" + std::to_string(n);
        if (!opened.value()->add(r)) ::_exit(3);
      }
      ::_exit(0);
    }
    children.push_back(child);
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  auto store = openStore(uri);
  ASSERT_TRUE(store);
  EXPECT_EQ(store->count({}).value(), 2 * kEach + kShared);
  HistoryFilter oneShared;
  oneShared.serial = "SN" + std::to_string(kEach + 1);
  auto shared = store->history(oneShared);
  ASSERT_TRUE(shared);
  ASSERT_EQ(shared.value().size(), 1u);
  EXPECT_EQ(shared.value()[0].record.addresses.size(), 8u);  // its addresses once, too
}

// The server stops: records wait in the local file, marked; it returns: the next keep
// delivers them first, each once, and sync finds nothing left.
TEST_F(RecordStorePgTest, AKeeperWhoseServerIsDownKeepsLocallyAndDeliversEachOnceLater) {
  test::TempFolder folder("palor-records");
  const std::string uri = freshDatabase();
  const std::string localFile = folder.path("local.sqlite");
  RecordKeeper keeper(recordsLocation(uri), localFile);

  const Kept first = keeper.keep(sampleRecord(Operation::Write, Outcome::Completed, 1));
  ASSERT_TRUE(first.id) << first.error->what;
  EXPECT_FALSE(first.keptLocally);

  ASSERT_TRUE(server().stop());
  for (int n = 2; n <= 4; ++n) {
    const Kept kept = keeper.keep(sampleRecord(Operation::Write, Outcome::Completed, n));
    ASSERT_TRUE(kept.id);
    EXPECT_TRUE(kept.keptLocally) << n;
    EXPECT_TRUE(kept.error.has_value()) << n;
  }
  EXPECT_FALSE(keeper.sync());

  // A delivery interrupted after the server took a record but before its mark came off:
  // the server has record 2 already, the local file still has it marked.
  auto local = RecordStore::open({RecordsLocation::Kind::File, localFile});
  ASSERT_TRUE(local);
  ASSERT_EQ(local.value()->pending(describe(keeper.location())).value().size(), 3u);
  ASSERT_TRUE(server().start()) << server().logText();
  ASSERT_TRUE(openStore(uri)->add(sampleRecord(Operation::Write, Outcome::Completed, 2)));
  ASSERT_EQ(countOn(uri), 2);

  const Kept fifth = keeper.keep(sampleRecord(Operation::Write, Outcome::Completed, 5));
  ASSERT_TRUE(fifth.id) << (fifth.error ? fifth.error->what : "");
  EXPECT_FALSE(fifth.keptLocally);
  EXPECT_EQ(countOn(uri), 5);
  EXPECT_TRUE(local.value()->pending(describe(keeper.location())).value().empty());
  auto again = keeper.sync();
  ASSERT_TRUE(again) << again.error().what;
  EXPECT_EQ(again.value(), 0);
  EXPECT_EQ(countOn(uri), 5);
  for (int n = 1; n <= 5; ++n) {
    HistoryFilter one;
    one.serial = "SN" + std::to_string(n);
    EXPECT_EQ(openStore(uri)->count(one).value(), 1) << n;
  }

  // Sync alone delivers too, and twice delivers nothing more.
  ASSERT_TRUE(server().stop());
  EXPECT_TRUE(keeper.keep(sampleRecord(Operation::Read, Outcome::Completed, 6)).keptLocally);
  ASSERT_TRUE(server().start()) << server().logText();
  auto delivered = keeper.sync();
  ASSERT_TRUE(delivered) << delivered.error().what;
  EXPECT_EQ(delivered.value(), 1);
  EXPECT_EQ(keeper.sync().value(), 0);
  EXPECT_EQ(countOn(uri), 6);
}

}  // namespace
}  // namespace palor::records
