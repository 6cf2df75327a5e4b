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
#include "run_command.h"
#include "store_cases.h"
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

TEST(RecordStoreTest, CapcodeHolderIsTheLatestWriteOfAnotherPagerThatHoldsTheAddressOn) {
  int n = 0;
  std::vector<std::unique_ptr<test::TempFolder>> folders;
  test::checkCapcodeRule([&] {
    folders.push_back(std::make_unique<test::TempFolder>("palor-records"));
    return openStore(fileIn(*folders.back(), "records" + std::to_string(++n) + ".sqlite"));
  });
}

TEST(RecordStoreTest, HistoryFiltersAndPages) {
  test::TempFolder folder("palor-records");
  auto store = openStore(fileIn(folder));
  ASSERT_TRUE(store);
  test::checkHistoryFilters(*store);
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
  // A user's folder may hold spaces and '=', which are no options to SQLite here.
  const RecordsLocation location{RecordsLocation::Kind::File,
                                 folder.path("my data/palor-programmer/x=1 records.sqlite")};
  {
    auto store = openStore(location);
    ASSERT_TRUE(store);
    ASSERT_TRUE(store->add(sampleRecord(Operation::Write, Outcome::Completed)));
  }
  struct stat info {};
  ASSERT_EQ(::stat(location.target.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  ASSERT_EQ(::stat(folder.path("my data").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  ASSERT_EQ(::stat(folder.path("my data/palor-programmer").c_str(), &info), 0);
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
      if (!opened) {
        std::fprintf(stderr, "%s\n", opened.error().what.c_str());
        ::_exit(2);
      }
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
