// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The cases every back end of the store must answer alike: each operation and outcome read
// back as stored, the capcode rule, the history's filters and pages.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "programming_records.h"
#include "records/record_store.h"

namespace palor::test {

struct RoundTripCase {
  std::string name;
  records::ProgrammingRecord record;
};

inline std::vector<RoundTripCase> roundTripCases() {
  using records::Operation;
  using records::Outcome;
  std::vector<RoundTripCase> cases;
  int n = 0;
  for (Operation operation :
       {Operation::Read, Operation::Write, Operation::RepairWrite, Operation::Restore})
    for (Outcome outcome : {Outcome::Completed, Outcome::Failed, Outcome::TimedOut,
                            Outcome::Cancelled, Outcome::Refused})
      cases.push_back({std::string(records::operationName(operation)) + " " +
                           std::string(records::outcomeName(outcome)),
                       sampleRecord(operation, outcome, ++n)});

  RoundTripCase failedChecksum{"before-image that failed its checksum test",
                               sampleRecord(Operation::Write, Outcome::Completed, ++n)};
  failedChecksum.record.beforeChecksumOk = false;
  cases.push_back(failedChecksum);

  RoundTripCase noImages{"no images (cancelled before the first block)",
                         sampleRecord(Operation::Write, Outcome::Cancelled, ++n)};
  noImages.record.before.reset();
  noImages.record.image.reset();
  noImages.record.blocks = 0;
  cases.push_back(noImages);

  // The pager's texts are bytes read as Latin-1; quotes, '%' and a colon are only text.
  RoundTripCase texts{"Latin-1 pager texts, quotes and wildcards",
                      sampleRecord(Operation::Write, Outcome::Completed, ++n)};
  texts.record.serial = "S\xE9rie'1";
  texts.record.pagerNumber = "N\xB0 7%_";
  texts.record.lastLine = "Wrote 'x' :done 100%";
  texts.record.desk = "caf\xC3\xA9";  // a host name in UTF-8 stays as it is
  texts.record.addresses.resize(3);
  cases.push_back(texts);
  return cases;
}

// Stores the case's record and reads it back both ways.
inline void checkRoundTrip(records::RecordStore& store, const RoundTripCase& c) {
  SCOPED_TRACE(c.name);
  auto id = store.add(c.record);
  ASSERT_TRUE(id) << id.error().what;
  records::ProgrammingRecord expected = c.record;
  expected.id = id.value();

  auto found = store.find(id.value());
  ASSERT_TRUE(found) << found.error().what;
  ASSERT_TRUE(found.value().has_value());
  EXPECT_EQ(*found.value(), expected);

  records::HistoryFilter filter;
  filter.serial = c.record.serial;
  auto listed = store.history(filter);
  ASSERT_TRUE(listed) << listed.error().what;
  ASSERT_EQ(listed.value().size(), 1u);
  const records::HistoryEntry& entry = listed.value().front();
  EXPECT_EQ(entry.hasBefore, c.record.before.has_value());
  EXPECT_EQ(entry.hasImage, c.record.image.has_value());
  expected.before.reset();
  expected.image.reset();
  EXPECT_EQ(entry.record, expected);

  // Delivered a second time (the same uid): stored once, under the id it has.
  auto again = store.add(c.record);
  ASSERT_TRUE(again) << again.error().what;
  EXPECT_EQ(again.value(), id.value());
  auto counted = store.count(filter);
  ASSERT_TRUE(counted);
  EXPECT_EQ(counted.value(), 1);
}

// The capcode rule: which pager the records say holds an address now.
inline void checkCapcodeRule(
    const std::function<std::unique_ptr<records::RecordStore>()>& freshStore) {
  using namespace records;
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
    auto store = freshStore();
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

// The history's filters, its order and its pages.
inline void checkHistoryFilters(records::RecordStore& store) {
  using namespace records;
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
    ASSERT_TRUE(store.add(r));
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
      {"text: a capcode's digits without a leading zero",
       with([](auto& f) { f.text = "234"; }),
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
    auto listed = store.history(c.filter);
    ASSERT_TRUE(listed) << listed.error().what;
    EXPECT_EQ(uidsOf(listed.value()), c.page);
    auto counted = store.count(c.filter);
    ASSERT_TRUE(counted) << counted.error().what;
    EXPECT_EQ(counted.value(), c.count);
  }
  // The addresses come with each entry, in their order.
  auto one = store.history(with([](auto& f) { f.serial = "SN5"; }));
  ASSERT_TRUE(one && one.value().size() == 1);
  EXPECT_EQ(one.value()[0].record.addresses.size(), 8u);
  EXPECT_EQ(one.value()[0].record.addresses[1].address, 1234);

  EXPECT_FALSE(store.history(with([](auto& f) { f.since = "01/12/2026"; })));
}

}  // namespace palor::test
