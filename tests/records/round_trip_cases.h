// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The cases every back end of the store must keep exactly: each operation and outcome, with
// the images it has, read back whole by find() and without images by history().
#include <gtest/gtest.h>

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

}  // namespace palor::test
