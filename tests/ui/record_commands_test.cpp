// SPDX-License-Identifier: GPL-3.0-or-later
// The programming records of the form state, on an SQLite file, with the simulated charger
// in simulated time: the one record each read and write leaves, and the capcodes that
// another pager already holds.
#include <gtest/gtest.h>

#include <algorithm>

#include "programming_records.h"
#include "records/record_keeper.h"
#include "rules_fixture.h"
#include "simulated_pager.h"
#include "temp_folder.h"
#include "ui/messages.h"

namespace palor {
namespace {

using records::Operation;
using records::Outcome;
using test::programmedPagerImage;
using test::SimulatedPager;
constexpr int kPeriod = PagerProtocol::kTicksPerPeriod;

class RecordCommands : public test::RulesTest {
 protected:
  RecordCommands() {
    form.setRecords(std::make_unique<records::RecordKeeper>(
        records::RecordsLocation{records::RecordsLocation::Kind::File,
                                 folder.path("records.sqlite")},
        folder.path("local.sqlite")));
  }

  records::RecordStore& store() {
    auto opened = form.records()->store();
    if (!opened) throw std::runtime_error(opened.error().what);
    return *opened.value();
  }

  // Every record the store holds, whole, newest first.
  std::vector<records::ProgrammingRecord> kept() {
    std::vector<records::ProgrammingRecord> all;
    auto entries = store().history({});
    EXPECT_TRUE(entries);
    for (const records::HistoryEntry& e : entries.value()) {
      auto found = store().find(e.record.id);
      EXPECT_TRUE(found && found.value());
      all.push_back(*found.value());
    }
    return all;
  }

  void finish(SimulatedPager& pager) {
    ASSERT_TRUE(pager.tickUntil([&] { return !pager.busy(); }, 20 * kPeriod));
  }

  test::TempFolder folder{"palor-records"};
};

// What each read and write leaves in the records: one record, its operation and outcome,
// the image the pager held before (kept when its checksum test failed, marked so) and the
// image written or read, the blocks, and the settings as they were written.
TEST_F(RecordCommands, EachReadAndWriteLeavesOneRecord) {
  enum class Step { Read, Write, RepairWrite, CancelWrite, DeadWrite };
  struct Case {
    const char* what;
    Step step;
    bool brokenPager;  // the pager's image fails its checksum test
    Operation operation;
    Outcome outcome;
    bool before;  // a before-image, the pager's
    bool image;   // an image written or read
    int blocks;   // -1: as far as the write came when it was stopped
  };
  const Case cases[] = {
      {"read", Step::Read, false, Operation::Read, Outcome::Completed, false, true, 16},
      {"write", Step::Write, false, Operation::Write, Outcome::Completed, true, true, 16},
      {"write whose preliminary read fails its checksum", Step::Write, true, Operation::Write,
       Outcome::Failed, true, false, 0},
      {"repair write", Step::RepairWrite, false, Operation::RepairWrite, Outcome::Completed, false,
       true, 16},
      {"write stopped", Step::CancelWrite, false, Operation::Write, Outcome::Cancelled, true, true,
       -1},
      {"write to a pager that stops answering", Step::DeadWrite, false, Operation::Write,
       Outcome::TimedOut, true, true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::TempFolder own("palor-records-case");
    FormState f;
    f.startUp();
    f.setRecords(std::make_unique<records::RecordKeeper>(
        records::RecordsLocation{records::RecordsLocation::Kind::File, own.path("r.sqlite")},
        own.path("local.sqlite")));
    ConfigImage pagerImage = programmedPagerImage();
    if (c.brokenPager) pagerImage[100] ^= 0x55;
    SimulatedPager pager(f, {}, pagerImage);
    pager.connect();
    f.record().pickItem(f.record().id("autoinc1"), 3);
    int stoppedAt = -1;
    switch (c.step) {
      case Step::Read: f.ReadFromPagerClick(); break;
      case Step::RepairWrite: f.Repair1Click(); [[fallthrough]];
      case Step::Write: f.WriteToPagerClick(); break;
      case Step::CancelWrite:
      case Step::DeadWrite:
        f.WriteToPagerClick();
        ASSERT_TRUE(pager.tickUntil([&] {
          const PagerProtocol& p = f.link().protocol();
          return p.state() == ProtocolState::Writing &&
                 p.progressPosition() >= (c.step == Step::CancelWrite ? 3 : 0);
        }));
        if (c.step == Step::DeadWrite) pager.silent = true;
        if (c.step == Step::CancelWrite) {
          stoppedAt = f.link().protocol().progressPosition();
          f.read_write_stopClick();
        }
        break;
    }
    ASSERT_TRUE(pager.tickUntil([&] { return !pager.busy(); }, 20 * kPeriod));

    auto opened = f.records()->store();
    ASSERT_TRUE(opened) << opened.error().what;
    auto entries = opened.value()->history({});
    ASSERT_TRUE(entries);
    ASSERT_EQ(entries.value().size(), 1u);
    auto found = opened.value()->find(entries.value().front().record.id);
    ASSERT_TRUE(found && found.value());
    const records::ProgrammingRecord& r = *found.value();
    EXPECT_EQ(f.lastRecordId(), r.id);
    EXPECT_EQ(r.operation, c.operation);
    EXPECT_EQ(r.outcome, c.outcome);
    EXPECT_EQ(r.lastLine, f.log().lines().back());
    EXPECT_EQ(r.blocks, c.blocks < 0 ? stoppedAt : c.blocks);
    EXPECT_EQ(r.firmware, 3);
    EXPECT_FALSE(r.started.empty() || r.finished.empty());
    EXPECT_EQ(r.before.has_value(), c.before);
    if (r.before) {
      EXPECT_EQ(*r.before, pagerImage) << "what the pager held";
      EXPECT_EQ(r.beforeChecksumOk, !c.brokenPager);
    }
    EXPECT_EQ(r.image.has_value(), c.image);
    if (r.image && c.outcome == Outcome::Completed) {
      EXPECT_EQ(*r.image, pager.device.eeprom()) << "what the pager holds now";
    }
    ASSERT_EQ(r.addresses.size(), 8u);
    if (c.step == Step::Read) {
      EXPECT_EQ(r.addresses[0].address, 1234560) << "the pager's own";
    } else if (c.outcome != Outcome::Failed) {
      EXPECT_EQ(r.addresses[0].address, 2004000) << "as written, not advanced";
      EXPECT_EQ(r.pagerNumber, f.record().text("TxtPagerNumber"));
    }
    EXPECT_TRUE(r.addresses[0].enabled);
    EXPECT_EQ(r.addresses[0].msgtype, "Private");
  }
}

// A write whose preliminary read failed its checksum test writes at the next click: its
// record holds the image that failed, marked.
TEST_F(RecordCommands, WriteAfterAFailedChecksumKeepsTheBrokenBeforeImage) {
  ConfigImage broken = programmedPagerImage();
  broken[100] ^= 0x55;
  SimulatedPager pager(form, {}, broken);
  pager.connect();
  form.WriteToPagerClick();
  finish(pager);
  form.WriteToPagerClick();
  finish(pager);
  const auto all = kept();
  ASSERT_EQ(all.size(), 2u);
  const records::ProgrammingRecord& written = all.front();
  EXPECT_EQ(written.outcome, Outcome::Completed);
  ASSERT_TRUE(written.before);
  EXPECT_EQ(*written.before, broken);
  EXPECT_FALSE(written.beforeChecksumOk);
}

// A switched-on address that a completed write put on another pager is reported before the
// first block goes out; with unique capcodes the write is refused and nothing is sent. An
// address the pager already holds switched on is its own.
TEST_F(RecordCommands, CapcodeOnAnotherPager) {
  struct Case {
    const char* what;
    ConfigImage pager;
    bool unique;
    bool warned;
    bool written;
  };
  const Case cases[] = {
      {"reported, written anyway", sim::defaultPagerImage(), false, true, true},
      {"refused with unique capcodes", sim::defaultPagerImage(), true, true, false},
      {"the pager holds it already", programmedPagerImage(), true, false, true},
  };
  const std::string warning =
      "Address 1234560 is already on pager 00000102 (written 2026-12-01 10:22 at DESK).";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::TempFolder own("palor-records-case");
    FormState f;
    f.startUp();
    f.setRecords(std::make_unique<records::RecordKeeper>(
        records::RecordsLocation{records::RecordsLocation::Kind::File, own.path("r.sqlite")},
        own.path("local.sqlite")));
    f.setUniqueCapcodes(c.unique);
    records::ProgrammingRecord other = test::sampleRecord(Operation::Write, Outcome::Completed);
    other.pagerNumber = "00000102";
    other.desk = "DESK";
    other.addresses[0] = {1, 1234560, true, "Private"};
    ASSERT_TRUE(f.records()->keep(other).id);

    SimulatedPager pager(f, {}, c.pager);
    pager.connect();
    f.record().setText("address1", "1234560");
    const std::size_t start = f.log().lines().size();
    const std::size_t sentBefore = pager.sent.size();
    f.WriteToPagerClick();
    ASSERT_TRUE(pager.tickUntil([&] { return !pager.busy(); }, 20 * kPeriod));

    const std::vector<std::string> log(f.log().lines().begin() + static_cast<std::ptrdiff_t>(start),
                                       f.log().lines().end());
    const auto at = std::find(log.begin(), log.end(), warning);
    EXPECT_EQ(at != log.end(), c.warned);
    const auto refusal = std::find(log.begin(), log.end(), msg::kWriteRefusedCapcodes);
    EXPECT_EQ(refusal != log.end(), !c.written);
    if (c.warned) {
      EXPECT_LT(at - log.begin(), refusal - log.begin());
    }
    const bool blockSent =
        std::any_of(pager.sent.begin() + static_cast<std::ptrdiff_t>(sentBefore), pager.sent.end(),
                    [](const SimulatedPager::Sent& s) { return code::isWriteBlock(s.bytes[2]); });
    EXPECT_EQ(blockSent, c.written);
    EXPECT_EQ(pager.device.eeprom() != c.pager, c.written);

    auto opened = f.records()->store();
    ASSERT_TRUE(opened);
    auto mine = opened.value()->find(*f.lastRecordId());
    ASSERT_TRUE(mine && mine.value());
    EXPECT_EQ(mine.value()->outcome, c.written ? Outcome::Completed : Outcome::Refused);
    EXPECT_EQ(mine.value()->image.has_value(), c.written) << "nothing sent, no image";
    if (!c.written) {
      EXPECT_EQ(mine.value()->lastLine, msg::kWriteRefusedCapcodes);
    }
  }
}

// What became of each record is said in the status log: kept on this desk for a server
// that cannot be reached (once a session), or not kept at all, and why.
TEST_F(RecordCommands, WhatBecameOfARecordIsSaid) {
  struct Case {
    const char* what;
    records::RecordsLocation location;
    std::string localFile;
    int notices;      // "kept on this desk" lines after two reads
    int notRecorded;  // "not recorded" lines after two reads
  };
  using Kind = records::RecordsLocation::Kind;
  const Case cases[] = {
      {"a server that cannot be reached",
       {Kind::Server, "postgresql:///records?host=/nonexistent-palor-socket&user=palor"},
       folder.path("desk.sqlite"),
       1,
       0},
      {"nowhere to keep it",
       {Kind::File, "/proc/nonexistent-palor/records.sqlite"},
       "/proc/nonexistent-palor/desk.sqlite",
       0,
       2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FormState f;
    f.startUp();
    f.setRecords(std::make_unique<records::RecordKeeper>(c.location, c.localFile));
    SimulatedPager pager(f);
    pager.connect();
    for (int read = 0; read < 2; ++read) {
      f.ReadFromPagerClick();
      ASSERT_TRUE(pager.tickUntil([&] { return !pager.busy(); }, 20 * kPeriod));
    }
    const auto& log = f.log().lines();
    EXPECT_EQ(std::count(log.begin(), log.end(), msg::kRecordsKeptOnDesk), c.notices);
    EXPECT_EQ(std::count_if(
                  log.begin(), log.end(),
                  [](const std::string& line) { return line.starts_with(msg::recordNotKept("")); }),
              c.notRecorded);
    EXPECT_EQ(f.lastRecordId().has_value(), c.notRecorded == 0);
  }
}

// A record's image opens into the window decoded with the record's firmware version, not
// the version of the pager in hand; as an exported file it carries that version in byte 0
// and opens the same. A record without the image, or with one that fails its checksum
// test, changes nothing.
TEST_F(RecordCommands, ARecordsImageOpensAsThePagerHeldIt) {
  FormState v2;
  v2.startUp();
  v2.setFirmwareVersion(2);
  v2.record().setText("rangetime", "123");
  v2.record().setText("hellomsg1", "OLD PAGER     ");
  ASSERT_TRUE(v2.encodeWriteImage());
  ConfigImage held = v2.images().writeImage;  // byte 0 as the pager holds it: 0
  fillChecksums(held);
  records::ProgrammingRecord record = test::sampleRecord(Operation::Write, Outcome::Completed);
  record.id = 7;
  record.firmware = 2;
  record.before = held;
  ConfigImage broken = held;
  broken[100] ^= 0x55;
  record.image = broken;

  struct Case {
    const char* what;
    RecordImage which;
    bool opened;
    std::string line;
  };
  const Case cases[] = {
      {"before", RecordImage::Before, true, msg::loadedDataFrom(msg::recordImageName(7, true))},
      {"written, failing its checksum test", RecordImage::Written, false,
       msg::recordImageCorrupted(7)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FormState f;
    f.startUp();
    EXPECT_EQ(f.OpenRecordImage(record, c.which), c.opened);
    EXPECT_EQ(f.log().lines().back(), c.line);
    EXPECT_EQ(f.record().text("rangetime"), c.opened ? "123" : "240");
    EXPECT_EQ(f.record().text("hellomsg1") == "OLD PAGER     ", c.opened);
  }
  records::ProgrammingRecord bare = record;
  bare.before.reset();
  EXPECT_FALSE(form.OpenRecordImage(bare, RecordImage::Before));
  EXPECT_EQ(form.log().lines().back(), msg::recordHoldsNoImage(7, true));

  const auto file = recordImageFile(record, RecordImage::Before);
  ASSERT_TRUE(file);
  EXPECT_EQ((*file)[image::kFirmwareVersion], 2);
  FormState reopened;
  reopened.startUp();
  ASSERT_TRUE(reopened.loadImageFile(*file, "exported.bin"));
  EXPECT_EQ(reopened.record().text("rangetime"), "123");
}

}  // namespace
}  // namespace palor
