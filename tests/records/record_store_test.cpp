// SPDX-License-Identifier: GPL-3.0-or-later
// The records store on SQLite files: what goes in comes back, the capcode rule, the
// history's filters and pages, pruning, migration from an older schema, the file's
// protection and two programs writing at once.
#include "records/record_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "programming_records.h"
#include "records/record_keeper.h"
#include "round_trip_cases.h"
#include "run_command.h"
#include "temp_folder.h"

namespace palor::records {
namespace {

using test::sampleRecord;

RecordsLocation fileIn(const test::TempFolder& folder, const std::string& name = "records.sqlite") {
  return {RecordsLocation::Kind::File, folder.path(name)};
}

std::unique_ptr<RecordStore> openStore(const RecordsLocation& location,
                                       int version = RecordStore::kSchemaVersion) {
  auto opened = RecordStore::open(location, version);
  EXPECT_TRUE(opened) << opened.error().what;
  return opened ? std::move(opened.value()) : nullptr;
}

// What the sqlite3 program answers to one statement on the file.
std::string sqlite(const std::string& file, const std::string& statement) {
  auto result = test::runCommand("sqlite3 '" + file + "' \"" + statement + "\"");
  while (!result.out.empty() && result.out.back() == '\n') result.out.pop_back();
  return result.out;
}

TEST(RecordStoreTest, EachOperationAndOutcomeReadsBackAsStored) {
  test::TempFolder folder("palor-records");
  auto store = openStore(fileIn(folder));
  ASSERT_TRUE(store);
  for (const auto& c : test::roundTripCases()) test::checkRoundTrip(*store, c);
}

// The capcode rule: which pager the records say holds an address now.
TEST(RecordStoreTest, CapcodeHolderIsTheLatestWriteOfAnotherPagerThatHoldsTheAddressOn) {
  constexpr int kAddress = 1234560;
  struct Step {
    std::string pager;
    Operation operation;
    Outcome outcome;
    bool holds;  // the address among its rows, switched on
    bool switchedOn = true;
  };
  struct Case {
    std::string name;
    std::vector<Step> steps;  // in time order
    std::string asking;       // the pager number being written
    std::optional<std::string> holder;
  };
  const std::vector<Case> cases = {
      {"another pager holds it", {{"P1", Operation::Write, Outcome::Completed, true}}, "P2", "P1"},
      {"the same pager number", {{"P1", Operation::Write, Outcome::Completed, true}}, "P1", {}},
      {"that pager since rewritten without it",
       {{"P1", Operation::Write, Outcome::Completed, true},
        {"P1", Operation::Write, Outcome::Completed, false}},
       "P2",
       {}},
      {"rewritten without it, but that write failed",
       {{"P1", Operation::Write, Outcome::Completed, true},
        {"P1", Operation::Write, Outcome::Failed, false}},
       "P2",
       "P1"},
      {"rewritten without it, then read (a read writes nothing)",
       {{"P1", Operation::Write, Outcome::Completed, true},
        {"P1", Operation::Read, Outcome::Completed, false}},
       "P2",
       "P1"},
      {"switched off", {{"P1", Operation::Write, Outcome::Completed, true, false}}, "P2", {}},
      {"a failed write", {{"P1", Operation::Write, Outcome::Failed, true}}, "P2", {}},
      {"a read", {{"P1", Operation::Read, Outcome::Completed, true}}, "P2", {}},
      {"a restore and a repair write count",
       {{"P1", Operation::Restore, Outcome::Completed, true},
        {"P3", Operation::RepairWrite, Outcome::Completed, true}},
       "P2",
       "P3"},
      {"two other pagers: the newest",
       {{"P3", Operation::Write, Outcome::Completed, true},
        {"P1", Operation::Write, Outcome::Completed, true}},
       "P2",
       "P1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempFolder folder("palor-records");
    auto store = openStore(fileIn(folder));
    ASSERT_TRUE(store);
    int n = 0;
    for (const Step& step : c.steps) {
      ProgrammingRecord r = sampleRecord(step.operation, step.outcome, ++n);
      r.pagerNumber = step.pager;
      r.finished = "2026-12-0" + std::to_string(n) + "T10:00:00Z";
      r.started = r.finished;
      r.desk = "desk-" + std::to_string(n);
      if (step.holds) r.addresses[3] = {4, kAddress, step.switchedOn, "Alpha"};
      ASSERT_TRUE(store->add(r));
    }
    auto holder = store->capcodeHolder(kAddress, c.asking);
    ASSERT_TRUE(holder) << holder.error().what;
    ASSERT_EQ(holder.value().has_value(), c.holder.has_value());
    if (!c.holder) continue;
    EXPECT_EQ(holder.value()->pagerNumber, *c.holder);
    // The holder's own record: its time and desk, as the warning names them.
    auto record = store->find(holder.value()->recordId);
    ASSERT_TRUE(record && record.value());
    EXPECT_EQ(record.value()->pagerNumber, *c.holder);
    EXPECT_EQ(holder.value()->finished, record.value()->finished);
    EXPECT_EQ(holder.value()->desk, record.value()->desk);
  }
}

TEST(RecordStoreTest, HistoryFiltersAndPages) {
  test::TempFolder folder("palor-records");
  auto store = openStore(fileIn(folder));
  ASSERT_TRUE(store);
  // r1..r6, started a day apart except r4 and r5, which start at the same second.
  const char* started[] = {"2026-11-28T09:00:00Z", "2026-11-29T09:00:00Z", "2026-11-30T09:00:00Z",
                           "2026-12-01T09:00:00Z", "2026-12-01T09:00:00Z", "2026-12-02T09:00:00Z"};
  for (int n = 1; n <= 6; ++n) {
    ProgrammingRecord r = sampleRecord(Operation::Write, Outcome::Completed, n);
    r.uid = "r" + std::to_string(n);
    r.started = started[n - 1];
    r.lastLine = n == 2 ? "Stopped at 50% of the blocks" : n == 3 ? "Stopped at 500 ms" : "Done";
    r.desk = n == 6 ? "Front-Desk" : "back";
    r.addresses[0].address = n <= 2 ? 1234 : 7000000 + n;  // 0001234 as seven digits
    r.addresses[1].address = n == 5 ? 1234 : 42;
    ASSERT_TRUE(store->add(r));
  }
  auto uidsOf = [](const std::vector<HistoryEntry>& entries) {
    std::vector<std::string> uids;
    for (const auto& e : entries) uids.push_back(e.record.uid);
    return uids;
  };
  using Uids = std::vector<std::string>;
  struct Case {
    std::string name;
    HistoryFilter filter;
    Uids page;
    std::int64_t count;
  };
  auto with = [](auto set) {
    HistoryFilter f;
    set(f);
    return f;
  };
  const std::vector<Case> cases = {
      {"all, newest first, the later id first at the same time",
       {},
       {"r6", "r5", "r4", "r3", "r2", "r1"},
       6},
      {"capcode, in any row", with([](auto& f) { f.capcode = 1234; }), {"r5", "r2", "r1"}, 3},
      {"serial", with([](auto& f) { f.serial = "SN3"; }), {"r3"}, 1},
      {"pager number", with([](auto& f) { f.pagerNumber = "000004"; }), {"r4"}, 1},
      {"since a day", with([](auto& f) { f.since = "2026-12-01"; }), {"r6", "r5", "r4"}, 3},
      {"text: a capcode's digits as seven",
       with([](auto& f) { f.text = "00012"; }),
       {"r5", "r2", "r1"},
       3},
      {"text: '%' taken as it is", with([](auto& f) { f.text = "50%"; }), {"r2"}, 1},
      {"text: '_' taken as it is", with([](auto& f) { f.text = "50_"; }), {}, 0},
      {"text: either case", with([](auto& f) { f.text = "front-desk"; }), {"r6"}, 1},
      {"text with another filter",
       with([](auto& f) {
         f.text = "0001234";
         f.since = "2026-11-29";
       }),
       {"r5", "r2"},
       2},
      {"a page",
       with([](auto& f) {
         f.limit = 2;
         f.offset = 2;
       }),
       {"r4", "r3"},
       6},
      {"an offset alone", with([](auto& f) { f.offset = 4; }), {"r2", "r1"}, 6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto listed = store->history(c.filter);
    ASSERT_TRUE(listed) << listed.error().what;
    EXPECT_EQ(uidsOf(listed.value()), c.page);
    auto counted = store->count(c.filter);
    ASSERT_TRUE(counted) << counted.error().what;
    EXPECT_EQ(counted.value(), c.count);
  }
  // The addresses come with each entry, in their order.
  auto one = store->history(with([](auto& f) { f.serial = "SN5"; }));
  ASSERT_TRUE(one && one.value().size() == 1);
  EXPECT_EQ(one.value()[0].record.addresses.size(), 8u);
  EXPECT_EQ(one.value()[0].record.addresses[1].address, 1234);

  EXPECT_FALSE(store->history(with([](auto& f) { f.since = "01/12/2026"; })));
}

TEST(RecordStoreTest, PruneRemovesOlderRecordsWithTheirAddressesButNotThoseWaiting) {
  test::TempFolder folder("palor-records");
  const RecordsLocation location = fileIn(folder);
  auto store = openStore(location);
  ASSERT_TRUE(store);
  const char* days[] = {"2026-11-30T23:59:59Z", "2026-12-01T00:00:00Z", "2026-11-01T08:00:00Z"};
  for (int n = 1; n <= 3; ++n) {
    ProgrammingRecord r = sampleRecord(Operation::Write, Outcome::Completed, n);
    r.started = days[n - 1];
    ASSERT_TRUE(store->add(r, n == 3 ? "postgresql://server/records" : ""));
  }
  auto pruned = store->prune("2026-12-01");
  ASSERT_TRUE(pruned) << pruned.error().what;
  EXPECT_EQ(pruned.value(), 1);
  auto left = store->history({});
  ASSERT_TRUE(left);
  ASSERT_EQ(left.value().size(), 2u);
  EXPECT_EQ(left.value()[0].record.serial, "SN2");
  EXPECT_EQ(left.value()[1].record.serial, "SN3");  // waits for its server
  EXPECT_EQ(sqlite(location.target, "SELECT COUNT(*) FROM addresses"), "16");

  for (const char* notADay : {"", "2026-12", "z", "2026-12-01T00:00:00Z"})
    EXPECT_FALSE(store->prune(notADay)) << notADay;
  EXPECT_EQ(store->count({}).value(), 2);
}

TEST(RecordStoreTest, AnOlderSchemaIsMigratedWithItsRecordsIntact) {
  test::TempFolder folder("palor-records");
  const RecordsLocation location = fileIn(folder);
  const ProgrammingRecord record = sampleRecord(Operation::Write, Outcome::Completed);
  std::int64_t id = 0;
  {
    auto old = openStore(location, 1);
    ASSERT_TRUE(old);
    EXPECT_EQ(old->schemaVersion().value(), 1);
    EXPECT_FALSE(old->add(record, "postgresql://server/db")) << "no mark before version 2";
    id = old->add(record).value();
  }
  auto store = openStore(location);
  ASSERT_TRUE(store);
  EXPECT_EQ(store->schemaVersion().value(), 2);
  ProgrammingRecord expected = record;
  expected.id = id;
  EXPECT_EQ(store->find(id).value(), expected);
  // What version 2 adds is there: a record can wait for a server.
  ProgrammingRecord waiting = sampleRecord(Operation::Read, Outcome::Completed, 2);
  ASSERT_TRUE(store->add(waiting, "postgresql://server/db"));
  EXPECT_EQ(store->pending("postgresql://server/db").value().size(), 1u);
  EXPECT_EQ(sqlite(location.target,
                   "SELECT name FROM sqlite_master WHERE name = "
                   "'records_pager_number'"),
            "records_pager_number");
}

TEST(RecordStoreTest, TheFileIsPrivateAndWriteAheadLogged) {
  test::TempFolder folder("palor-records");
  const RecordsLocation location{RecordsLocation::Kind::File,
                                 folder.path("data/palor-programmer/records.sqlite")};
  {
    auto store = openStore(location);
    ASSERT_TRUE(store);
    ASSERT_TRUE(store->add(sampleRecord(Operation::Write, Outcome::Completed)));
  }
  struct stat info {};
  ASSERT_EQ(::stat(location.target.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  ASSERT_EQ(::stat(folder.path("data").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  ASSERT_EQ(::stat(folder.path("data/palor-programmer").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  EXPECT_EQ(sqlite(location.target, "PRAGMA journal_mode"), "wal");

  // A file that exists keeps the mode its owner gave it.
  const std::string shared = folder.path("shared.sqlite");
  std::ofstream{shared};
  ::chmod(shared.c_str(), 0640);
  ASSERT_TRUE(openStore({RecordsLocation::Kind::File, shared}));
  ASSERT_EQ(::stat(shared.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST(RecordStoreTest, APlaceThatIsNoStoreIsAnErrorNamingIt) {
  test::TempFolder folder("palor-records");
  std::ofstream(folder.path("text.sqlite")) << "these are not the records you are looking for\n"
                                            << std::string(4096, 'x');
  ::mkdir(folder.path("folder.sqlite").c_str(), 0700);
  std::ofstream{folder.path("plain")};
  for (const std::string& path : {folder.path("text.sqlite"), folder.path("folder.sqlite"),
                                  folder.path("plain/records.sqlite")}) {
    auto opened = RecordStore::open({RecordsLocation::Kind::File, path});
    ASSERT_FALSE(opened) << path;
    EXPECT_NE(opened.error().what.find(path), std::string::npos) << opened.error().what;
  }
}

// Two programs (the window and palorctl) writing into one file at the same moment.
TEST(RecordStoreTest, TwoProcessesWritingAtOnceLoseNothing) {
  test::TempFolder folder("palor-records");
  const RecordsLocation location = fileIn(folder);
  constexpr int kEach = 200;
  std::vector<pid_t> children;
  for (int p = 0; p < 2; ++p) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // Each opens the new file itself: the schema is made once however they meet.
      auto opened = RecordStore::open(location);
      if (!opened) ::_exit(2);
      for (int n = 0; n < kEach; ++n) {
        ProgrammingRecord r = sampleRecord(Operation::Write, Outcome::Completed, n);
        r.uid = "p" + std::to_string(p) + "-" + std::to_string(n);
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
  auto store = openStore(location);
  ASSERT_TRUE(store);
  EXPECT_EQ(store->count({}).value(), 2 * kEach);
  EXPECT_EQ(sqlite(location.target, "SELECT COUNT(*) FROM addresses"),
            std::to_string(2 * kEach * 8));
}

TEST(RecordKeeperTest, AServerThatCannotBeReachedKeepsTheRecordLocallyAndItsPasswordSecret) {
  test::TempFolder folder("palor-records");
  const std::string uri =
      "postgresql://desk:s3cret-pw@/records?host=" + folder.path("no-server") + "&sslmode=disable";
  RecordKeeper keeper(recordsLocation(uri), folder.path("local.sqlite"));
  const ProgrammingRecord record = sampleRecord(Operation::Write, Outcome::Completed);
  const Kept kept = keeper.keep(record);
  ASSERT_TRUE(kept.id.has_value()) << (kept.error ? kept.error->what : "");
  EXPECT_TRUE(kept.keptLocally);
  ASSERT_TRUE(kept.error.has_value());
  EXPECT_EQ(kept.error->what.find("s3cret-pw"), std::string::npos) << kept.error->what;
  EXPECT_NE(kept.error->what.find("postgresql://desk@/records"), std::string::npos)
      << kept.error->what;
  EXPECT_FALSE(keeper.sync());

  // It waits in the local file, marked for the server (named without its password).
  auto local = openStore({RecordsLocation::Kind::File, folder.path("local.sqlite")});
  ASSERT_TRUE(local);
  auto waiting = local->pending(describe(keeper.location()));
  ASSERT_TRUE(waiting);
  ASSERT_EQ(waiting.value().size(), 1u);
  EXPECT_EQ(waiting.value()[0].uid, record.uid);
  EXPECT_EQ(sqlite(folder.path("local.sqlite"),
                   "SELECT COUNT(*) FROM records WHERE pending LIKE '%s3cret%'"),
            "0");
}

TEST(RecordKeeperTest, OffKeepsNothingAndAFileKeepsInIt) {
  test::TempFolder folder("palor-records");
  RecordKeeper off(recordsLocation("off"), folder.path("local.sqlite"));
  const Kept none = off.keep(sampleRecord(Operation::Read, Outcome::Completed));
  EXPECT_FALSE(none.id);
  EXPECT_FALSE(std::filesystem::exists(folder.path("local.sqlite")));

  RecordKeeper file(recordsLocation(folder.path("desk.sqlite")), folder.path("local.sqlite"));
  const Kept kept = file.keep(sampleRecord(Operation::Read, Outcome::Completed));
  ASSERT_TRUE(kept.id) << kept.error->what;
  EXPECT_FALSE(kept.keptLocally);
  EXPECT_EQ(file.store().value()->count({}).value(), 1);
  EXPECT_FALSE(std::filesystem::exists(folder.path("local.sqlite")));
}

TEST(RecordsLocationTest, SettingsAndTheDefaultFile) {
  struct Case {
    std::optional<std::string> setting;
    const char* xdg;   // nullptr: unset
    const char* home;  // nullptr: unset
    RecordsLocation expected;
  };
  using K = RecordsLocation::Kind;
  const std::string tail = "/palor-programmer/records.sqlite";
  const std::vector<Case> cases = {
      {std::nullopt, "/data", "/home/u", {K::File, "/data" + tail}},
      {"", "/data", "/home/u", {K::File, "/data" + tail}},
      {std::nullopt, "relative/data", "/home/u", {K::File, "/home/u/.local/share" + tail}},
      {std::nullopt, nullptr, "/home/u", {K::File, "/home/u/.local/share" + tail}},
      {std::nullopt, nullptr, nullptr, {K::File, ""}},
      {"off", "/data", "/home/u", {K::Off, ""}},
      {"./off", "/data", "/home/u", {K::File, "./off"}},
      {"/srv/records.sqlite", "/data", "/home/u", {K::File, "/srv/records.sqlite"}},
      {"postgresql://db.example/records",
       "/data",
       "/home/u",
       {K::Server, "postgresql://db.example/records"}},
      {"postgres://u@db/records", "/data", "/home/u", {K::Server, "postgres://u@db/records"}},
      {"postgresql.sqlite", "/data", "/home/u", {K::File, "postgresql.sqlite"}},
  };
  auto set = [](const char* name, const char* value) {
    if (value)
      ::setenv(name, value, 1);
    else
      ::unsetenv(name);
  };
  const std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.setting.value_or("(none)") + " XDG " + (c.xdg ? c.xdg : "-") + " HOME " +
                 (c.home ? c.home : "-"));
    set("XDG_DATA_HOME", c.xdg);
    set("HOME", c.home);
    EXPECT_EQ(recordsLocation(c.setting), c.expected);
    set("PALOR_RECORDS", c.setting ? c.setting->c_str() : nullptr);
    EXPECT_EQ(recordsLocationFromEnvironment(), c.expected);
  }
  // The override wins over the environment.
  ::setenv("PALOR_RECORDS", "off", 1);
  EXPECT_EQ(recordsLocationFromEnvironment("/x.sqlite"), (RecordsLocation{K::File, "/x.sqlite"}));
  ::unsetenv("PALOR_RECORDS");
  ::unsetenv("XDG_DATA_HOME");
  ::setenv("HOME", savedHome.c_str(), 1);
}

TEST(RecordsLocationTest, DescribeLeavesThePasswordOut) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"postgresql://desk:pw@db.example:5433/records", "postgresql://desk@db.example:5433/records"},
      {"postgresql://desk@db/records?password=pw&sslmode=require",
       "postgresql://desk@db/records?sslmode=require"},
      {"postgresql:///records?sslmode=require&password=pw",
       "postgresql:///records?sslmode=require"},
      {"postgres://desk:p%40ss@db", "postgres://desk@db"},
      {"postgresql://db/records", "postgresql://db/records"},
  };
  for (const auto& [uri, shown] : cases)
    EXPECT_EQ(describe({RecordsLocation::Kind::Server, uri}), shown) << uri;
  EXPECT_EQ(describe({RecordsLocation::Kind::File, "/a/b.sqlite"}), "/a/b.sqlite");
}

}  // namespace
}  // namespace palor::records
