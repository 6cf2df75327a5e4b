// SPDX-License-Identifier: GPL-3.0-or-later
// Reading and writing a pager through the form state, in simulated time against the
// simulated charger: every outcome as the status log, the window and the pager's EEPROM
// show it.
#include <gtest/gtest.h>

#include <algorithm>

#include "config/image_checksums.h"
#include "config/image_codec.h"
#include "rules_fixture.h"
#include "simulated_pager.h"
#include "ui/messages.h"

namespace palor {
namespace {

using test::programmedPagerImage;
using test::SimulatedPager;
using Lines = std::vector<std::string>;
constexpr int kPeriod = PagerProtocol::kTicksPerPeriod;

Lines texts(std::initializer_list<std::string_view> messages) {
  return Lines(messages.begin(), messages.end());
}

class PagerCommands : public test::RulesTest {
 protected:
  // Runs until the read or write in hand has ended.
  void finish(SimulatedPager& pager) {
    ASSERT_TRUE(pager.tickUntil([&] { return !pager.busy(); }, 20 * kPeriod));
  }
};

TEST_F(PagerCommands, ReadOutcomes) {
  struct Case {
    const char* what;
    sim::DeviceOptions options;
    bool deadLine;  // nothing reaches the charger once the read starts
    Lines log;      // after "Read data from pager"
    bool linkItemsAfter;
    LinkOutcome outcome;
    bool brokenImage = false;  // the pager's image fails its checksum test
  };
  sim::DeviceOptions wrongBlock;
  wrongBlock.wrongBlock = 1;
  sim::DeviceOptions pulled;
  pulled.pullAtBlock = 5;
  const Case cases[] = {
      {"complete", {}, false, texts({msg::kReadEepromOk}), true, LinkOutcome::Completed},
      {"no answer", {}, true, texts({msg::kReadTimedOut}), false, LinkOutcome::TimedOut},
      {"block 0x62 answers 0x61", wrongBlock, false,
       texts({msg::kCommunicationError, msg::kReadEepromFailed}), true, LinkOutcome::Failed},
      {"pager taken out", pulled, false, texts({msg::kReadEepromFailed}), false,
       LinkOutcome::Failed},
      // Only a write's preliminary read warns that the next write replaces the hardware.
      {"incorrect checksum",
       {},
       false,
       texts({msg::kReadEepromBadChecksum}),
       true,
       LinkOutcome::BadChecksum,
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FormState form;
    form.startUp();
    ConfigImage image = programmedPagerImage();
    if (c.brokenImage) image[100] ^= 0x55;
    SimulatedPager pager(form, c.options, image);
    pager.connect();
    pager.silent = c.deadLine;
    const std::size_t before = form.log().lines().size();
    form.ReadFromPagerClick();
    EXPECT_TRUE(form.window().progressVisible);
    EXPECT_EQ(form.window().infoRWPagerText, msg::kReadingPager);
    EXPECT_FALSE(form.window().fileMenuEnabled);
    finish(pager);

    Lines log(form.log().lines().begin() + static_cast<std::ptrdiff_t>(before),
              form.log().lines().end());
    Lines expected{std::string(msg::kReadDataFromPager)};
    expected.insert(expected.end(), c.log.begin(), c.log.end());
    EXPECT_EQ(log, expected);
    EXPECT_EQ(form.link().protocol().lastEnd(), (LinkEnd{BusyInfo::Reading, c.outcome}));
    EXPECT_FALSE(form.window().progressVisible || form.window().stopVisible);
    EXPECT_TRUE(form.window().fileMenuEnabled && form.window().helpMenuEnabled);
    EXPECT_EQ(form.window().readFromPagerEnabled, c.linkItemsAfter);
    const bool complete = c.log.front() == msg::kReadEepromOk;
    EXPECT_EQ(form.record().text("hellomsg1") == "HELLO PAGER   ", complete);
    if (!complete) {
      const auto& w = form.images().writeImage;
      EXPECT_TRUE(std::all_of(w.begin(), w.end(), [](std::uint8_t b) { return b == 0; }));
    }
  }
}

TEST_F(PagerCommands, ReadRequestGoesOutAtOnceAndOnceMoreAfterAPeriod) {
  SimulatedPager pager(form);
  pager.connect();
  pager.silent = true;
  const int start = pager.ticks;
  form.ReadFromPagerClick();
  finish(pager);
  std::vector<int> requests;
  for (const auto& s : pager.sent)
    if (s.bytes[2] == code::kReadBlock) requests.push_back(s.tick - start);
  // A period is silence: it counts from the identification reply, one tick before.
  EXPECT_EQ(requests, (std::vector<int>{0, kPeriod - 2}));
  EXPECT_EQ(pager.ticks - start, 2 * kPeriod - 1) << "failed at the end of the second period";
}

TEST_F(PagerCommands, OrdinaryWriteReadsThePagerFirstAndKeepsItsHardware) {
  const ConfigImage pagerImage = programmedPagerImage();
  SimulatedPager pager(form, {}, pagerImage);
  pager.connect();
  rec.setText("hellomsg1", "FOR CUSTOMER  ");
  rec.pickItem(rec.id("autoinc1"), 3);
  std::vector<int> progressSeen;
  form.setWindowObserver([&] {
    if (progressSeen.empty() || progressSeen.back() != form.window().progressPosition)
      progressSeen.push_back(form.window().progressPosition);
  });
  mark();
  form.WriteToPagerClick();
  finish(pager);  // the preliminary read goes on into the write within one tick
  form.setWindowObserver({});

  EXPECT_EQ(newLines(), texts({msg::kReadDataFromPager, msg::kReadEepromOk, msg::kWriteToPager,
                               msg::kWritingEeprom, msg::kWriteEepromSucceeded,
                               msg::kVerifyEepromSucceeded, msg::kWriteEepromCompleted}));
  EXPECT_EQ(std::count(progressSeen.begin(), progressSeen.end(), 16), 2);
  // The pager keeps its own hardware values; the user's settings are written.
  EXPECT_EQ(rec.text("bs1"), "20");
  EXPECT_EQ(rec.index("pll"), 1);
  EXPECT_EQ(rec.text("address1"), "2004003") << "advanced by its step for the next pager";
  FormState written;
  written.startUp();
  ASSERT_TRUE(written.loadImageFile(pager.device.eeprom(), "pager"));
  EXPECT_EQ(written.record().text("hellomsg1"), "FOR CUSTOMER  ");
  EXPECT_EQ(written.record().text("address1"), "2004000") << "written with the old address";
  EXPECT_EQ(written.record().text("bs1"), "20");
  EXPECT_EQ(written.record().index("lcd_bias"), 2);
  EXPECT_EQ(pager.device.eeprom()[0], 0) << "no version byte in what the pager gets";
}

TEST_F(PagerCommands, RepairWriteTakesTheHardwareFromTheWindow) {
  SimulatedPager pager(form, {}, programmedPagerImage());
  pager.connect();
  form.Repair1Click();
  mark();
  form.WriteToPagerClick();
  EXPECT_EQ(newLines(), texts({msg::kWriteToPager}));
  finish(pager);
  EXPECT_EQ(form.log().lines().back(), msg::kWriteEepromCompleted);
  FormState start;
  start.startUp();
  ASSERT_TRUE(start.encodeWriteImage());
  ConfigImage intended = start.images().writeImage;
  fillChecksums(intended);
  EXPECT_EQ(pager.device.eeprom(), intended);
}

TEST_F(PagerCommands, FirstWriteBlockWaitsForTheEndOfAPeriod) {
  SimulatedPager pager(form);
  pager.connect();
  form.Repair1Click();
  const int start = pager.ticks;
  form.WriteToPagerClick();
  ASSERT_TRUE(pager.tickUntil([&] { return pager.sentCodes().back() == code::kWriteBlock; }));
  // A period is silence: it counts from the identification reply, one tick before.
  EXPECT_EQ(pager.sent.back().tick - start, kPeriod - 2);
}

TEST_F(PagerCommands, WriteOutcomes) {
  // Frames the charger sends, counted from 1: the probe's answer, the poll's answer and
  // the identification, then one acknowledgement per block (block 0x73's is the 7th).
  struct Case {
    const char* what;
    sim::DeviceOptions options;
    Lines tail;  // the last lines of the log
    int sendsOf0x73;
  };
  auto options = [](auto tweak) {
    sim::DeviceOptions o;
    tweak(o);
    return o;
  };
  const Case cases[] = {
      {"one lost acknowledgement is made good", options([](auto& o) { o.dropFrames = {7}; }),
       texts({msg::kVerifyEepromSucceeded, msg::kWriteEepromCompleted}), 2},
      {"two lost acknowledgements are made good", options([](auto& o) {
         o.dropFrames = {7, 8};
       }),
       texts({msg::kVerifyEepromSucceeded, msg::kWriteEepromCompleted}), 3},
      {"a third is not", options([](auto& o) {
         o.dropFrames = {7, 8, 9};
       }),
       texts({msg::kWriteTimedOut}), 3},
      {"a corrupted acknowledgement counts as lost",
       options([](auto& o) { o.corruptFrames = {7}; }),
       texts({msg::kVerifyEepromSucceeded, msg::kWriteEepromCompleted}), 2},
      {"reports within four periods",
       options([](auto& o) { o.writeTime = 3 * kPeriod * SimulatedPager::kTick; }),
       texts({msg::kVerifyEepromSucceeded, msg::kWriteEepromCompleted}), 1},
      {"reports after four periods",
       options([](auto& o) { o.writeTime = 5 * kPeriod * SimulatedPager::kTick; }),
       texts({msg::kWritingEeprom, msg::kWriteTimedOut}), 1},
      {"write refused", options([](auto& o) { o.refuseWrite = true; }),
       texts({msg::kCannotWriteEeprom, msg::kWriteEepromFailed}), 1},
      {"verify failed", options([](auto& o) { o.failVerify = true; }),
       texts({msg::kVerifyEepromFailed, msg::kWriteEepromFailed}), 1},
      {"wrong acknowledgement", options([](auto& o) { o.wrongBlock = 3; }),
       texts({msg::kCommunicationError, msg::kWriteEepromFailed}), 1},
      {"pager taken out", options([](auto& o) { o.pullAtBlock = 9; }),
       texts({msg::kWriteEepromFailed}), 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FormState form;
    form.startUp();
    SimulatedPager pager(form, c.options);
    pager.connect();
    form.Repair1Click();
    form.WriteToPagerClick();
    finish(pager);
    const Lines& log = form.log().lines();
    ASSERT_GE(log.size(), c.tail.size());
    EXPECT_EQ(Lines(log.end() - static_cast<std::ptrdiff_t>(c.tail.size()), log.end()), c.tail);
    const auto codes = pager.sentCodes();
    EXPECT_EQ(std::count(codes.begin(), codes.end(), 0x73), c.sendsOf0x73);
    const bool completed = c.tail.back() == msg::kWriteEepromCompleted;
    const bool timedOut = c.tail.back() == msg::kWriteTimedOut;
    EXPECT_EQ(form.link().protocol().lastEnd(),
              (LinkEnd{BusyInfo::Writing, completed  ? LinkOutcome::Completed
                                          : timedOut ? LinkOutcome::TimedOut
                                                     : LinkOutcome::Failed}));
    EXPECT_EQ(std::count(log.begin(), log.end(), std::string(msg::kWriteEepromCompleted)),
              completed ? 1 : 0);
    if (!completed) {
      const auto& w = form.images().writeImage;
      EXPECT_TRUE(std::all_of(w.begin(), w.end(), [](std::uint8_t b) { return b == 0; }));
    }
    EXPECT_FALSE(pager.busy());
    EXPECT_FALSE(form.window().progressVisible);
  }
}

TEST_F(PagerCommands, WhatAnUnfinishedPreliminaryReadLeavesForTheNextWrite) {
  struct Case {
    const char* what;
    bool brokenImage;
    void (*interrupt)(FormState&);  // during the preliminary read; none: it runs to its end
    Lines log;                      // what the first write ends with
    LinkOutcome outcome;            // of its preliminary read
    std::string_view nextWriteStarts;
  };
  const Case cases[] = {
      {"incorrect checksum: the next write writes at once, and says so now", true, nullptr,
       texts({msg::kReadEepromBadChecksum, msg::kHardwareSettingsUnread}), LinkOutcome::BadChecksum,
       msg::kWriteToPager},
      {"Stop: the next write reads first", false, [](FormState& f) { f.read_write_stopClick(); },
       texts({msg::kOperationCancelled}), LinkOutcome::Cancelled, msg::kReadDataFromPager},
      {"port lost: the next write reads first", false,
       [](FormState& f) { f.link().protocol().portLost(); }, texts({msg::kReadEepromFailed}),
       LinkOutcome::Failed, msg::kReadDataFromPager},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FormState form;
    form.startUp();
    ConfigImage image = programmedPagerImage();
    if (c.brokenImage) image[100] ^= 0x55;
    SimulatedPager pager(form, {}, image);
    pager.connect();
    form.WriteToPagerClick();
    if (c.interrupt) {
      pager.tick(3);
      c.interrupt(form);
      pager.tick(3);  // the blocks already asked for arrive, and are dropped
    } else {
      finish(pager);
    }
    EXPECT_FALSE(pager.busy()) << "nothing is written";
    const Lines& log = form.log().lines();
    ASSERT_GE(log.size(), c.log.size());
    EXPECT_EQ(Lines(log.end() - static_cast<std::ptrdiff_t>(c.log.size()), log.end()), c.log);
    EXPECT_EQ(form.link().protocol().lastEnd(), (LinkEnd{BusyInfo::Reading, c.outcome, true}));
    EXPECT_EQ(pager.device.eeprom(), image);

    const std::size_t before = form.log().lines().size();
    form.WriteToPagerClick();
    ASSERT_GT(form.log().lines().size(), before);
    EXPECT_EQ(form.log().lines()[before], c.nextWriteStarts);
    finish(pager);
    EXPECT_EQ(form.log().lines().back(), msg::kWriteEepromCompleted);
    EXPECT_TRUE(checksumsMatch(pager.device.eeprom()));
  }
}

// The pager's write and verify reports are about the whole image: one that comes before the
// last block is acknowledged ends the write as a communication error, never as written.
TEST_F(PagerCommands, ReportsBeforeTheLastAcknowledgementFailTheWrite) {
  for (const std::uint8_t report :
       {code::kWriteDone, code::kWriteImpossible, code::kVerifyPassed, code::kVerifyFailed}) {
    SCOPED_TRACE(static_cast<int>(report));
    FormState form;
    form.startUp();
    SimulatedPager pager(form);
    pager.connect();
    form.Repair1Click();
    form.WriteToPagerClick();
    ASSERT_TRUE(pager.tickUntil([&] { return form.window().progressPosition == 4; }));
    const auto frame = buildFrame(report);
    pager.deliver(SimulatedPager::Bytes(frame.view().begin(), frame.view().end()));
    const std::size_t before = form.log().lines().size();
    pager.tick();
    EXPECT_EQ(Lines(form.log().lines().begin() + static_cast<std::ptrdiff_t>(before),
                    form.log().lines().end()),
              texts({msg::kCommunicationError, msg::kWriteEepromFailed}));
    EXPECT_FALSE(pager.busy());
    EXPECT_EQ(form.link().protocol().lastEnd(), (LinkEnd{BusyInfo::Writing, LinkOutcome::Failed}));
    const auto& w = form.images().writeImage;
    EXPECT_TRUE(std::all_of(w.begin(), w.end(), [](std::uint8_t b) { return b == 0; }));
  }
}

// What is typed during a read or write would be shown but never written, and closing the
// window would leave the pager half-written: both wait until the operation has ended.
TEST_F(PagerCommands, WhileBusyThePagesAreLockedAndClosingIsRefused) {
  enum class Start { Read, Write, RepairWrite };
  struct Case {
    const char* what;
    Start start;
    bool stop;  // Stop after a few ticks, else the operation runs to its end
    std::string_view lastLine;
  };
  const Case cases[] = {
      {"read", Start::Read, false, msg::kReadEepromOk},
      {"write with its preliminary read", Start::Write, false, msg::kWriteEepromCompleted},
      {"repair write", Start::RepairWrite, false, msg::kWriteEepromCompleted},
      {"write stopped", Start::RepairWrite, true, msg::kOperationCancelled},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FormState form;
    form.startUp();
    SimulatedPager pager(form, {}, programmedPagerImage());
    pager.connect();
    if (c.start == Start::RepairWrite) form.Repair1Click();
    ASSERT_TRUE(form.window().pagesEditable);
    c.start == Start::Read ? form.ReadFromPagerClick() : form.WriteToPagerClick();

    // At the start, and a few ticks on (after the preliminary read has gone on into the
    // write, where there is one).
    for (const bool later : {false, true}) {
      if (later) {
        ASSERT_TRUE(pager.tickUntil([&] {
          return c.start != Start::Write || form.log().lines().back() == msg::kWriteToPager;
        }));
        pager.tick(3);
      }
      ASSERT_TRUE(pager.busy());
      EXPECT_FALSE(form.window().pagesEditable);
      const std::size_t before = form.log().lines().size();
      form.Exit1Click();
      EXPECT_FALSE(form.FormCloseQuery());
      EXPECT_EQ(form.log().lines().back(), msg::kWaitForPager);
      EXPECT_EQ(form.log().lines().size(), before + 1);
      EXPECT_FALSE(form.window().closeRequested) << "a refused Exit is forgotten";
      form.FilesDropped({"/nonexistent/dropped.bin"});  // File is disabled: no "Load failed"
      EXPECT_EQ(form.log().lines().size(), before + 1);
    }
    if (c.stop)
      form.read_write_stopClick();
    else
      finish(pager);
    EXPECT_EQ(form.log().lines().back(), c.lastLine);
    EXPECT_TRUE(form.window().pagesEditable);
    EXPECT_TRUE(form.FormCloseQuery());
    EXPECT_EQ(form.log().lines().back(), c.lastLine);
  }
}

TEST_F(PagerCommands, Identification) {
  struct Case {
    const char* what;
    std::uint8_t version, revision;
    bool valid;
    Lines log;
    bool linkItems;
    const char* lowcellItem1;
    bool pllEnabled;
  };
  const Case cases[] = {
      {"version 3 revision 2", 3, 2, true, texts({msg::kPagerConnected}), true, "120 sec", false},
      {"version 3 revision 3", 3, 3, true, texts({msg::kPagerConnected}), true, "120 sec", true},
      {"version 2", 2, 0, true, texts({msg::kPagerConnected}), true, "16 sec", false},
      {"version 1", 1, 0, true, texts({msg::kUnsupportedPager}), false, "16 sec", true},
      {"version 4", 4, 0, true, texts({msg::kFirmwareTooNew}), false, "16 sec", true},
      {"not in the expected form", 3, 2, false, texts({msg::kUnsupportedPager}), false, "16 sec",
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FormState form;
    form.startUp();
    sim::DeviceOptions options;
    options.firmwareVersion = c.version;
    options.firmwareRevision = c.revision;
    options.identificationValid = c.valid;
    SimulatedPager pager(form, options);
    PagerProtocol& protocol = form.link().protocol();
    protocol.startProbe();
    pager.tick();
    protocol.clearProbe();
    (void)protocol.takeChargerAnswered();
    const std::size_t before = form.log().lines().size();
    pager.tick(2 * kPeriod);
    EXPECT_EQ(Lines(form.log().lines().begin() + static_cast<std::ptrdiff_t>(before),
                    form.log().lines().end()),
              c.log);
    EXPECT_EQ(form.window().writeToPagerEnabled, c.linkItems);
    EXPECT_EQ(form.record().items(form.record().id("lowcell"))[1], c.lowcellItem1);
    if (c.linkItems) {
      EXPECT_EQ(form.record().enabled("pll"), c.pllEnabled);
      if (!c.pllEnabled) {
        EXPECT_EQ(form.record().index("pll"), 0) << "SM5170";
      }
    }
    EXPECT_EQ(form.firmwareVersion(), c.valid ? c.version : 3);
    EXPECT_EQ(pager.sentCodes().back() == code::kClosing, !c.valid);
  }
}

TEST_F(PagerCommands, IdentificationWithoutAVersionIsNotInTheExpectedForm) {
  SimulatedPager pager(form);
  pager.silent = true;
  PagerProtocol& protocol = form.link().protocol();
  protocol.startProbe();
  protocol.clearProbe();
  const auto reply = buildFrame(code::kIdentify, std::vector<std::uint8_t>{1});
  pager.deliver(SimulatedPager::Bytes(reply.view().begin(), reply.view().end()));
  mark();
  pager.tick();
  EXPECT_EQ(newLines(), texts({msg::kUnsupportedPager}));
  EXPECT_EQ(pager.sentCodes().back(), code::kClosing);
  EXPECT_EQ(protocol.state(), ProtocolState::Idle);
}

TEST_F(PagerCommands, PagerNumberAdvancesOnceForEachNewPager) {
  struct Case {
    const char* before;
    const char* after;
  };
  const Case cases[] = {
      {"00000000", "1"}, {"41", "42"}, {"", "1"}, {"4x", "1"}, {"99999999", "99999999"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.before);
    FormState form;
    form.startUp();
    SimulatedPager pager(form);
    pager.connect();
    form.Repair1Click();
    form.record().setText("TxtPagerNumber", c.before);
    form.WriteToPagerClick();
    finish(pager);
    EXPECT_EQ(form.record().text("TxtPagerNumber"), c.after);
    form.WriteToPagerClick();
    finish(pager);
    EXPECT_EQ(form.record().text("TxtPagerNumber"), c.after) << "no new pager since";
  }
}

TEST_F(PagerCommands, PagerTakenOutAndPutBackWhileIdle) {
  SimulatedPager pager(form);
  pager.connect();
  mark();
  pager.device.takePagerOut({});
  pager.tick(2);
  EXPECT_EQ(newLines(), texts({msg::kPagerDisconnected}));
  EXPECT_FALSE(form.window().readFromPagerEnabled);
  pager.device.putPagerIn({});
  ASSERT_TRUE(pager.tickUntil([&] { return form.window().readFromPagerEnabled; }));
  EXPECT_EQ(newLines(), texts({msg::kPagerConnected}));
}

}  // namespace
}  // namespace palor
