// SPDX-License-Identifier: GPL-3.0-or-later
// A batch job's hand-out of rows across chargers, in simulated time: every charger a form
// with its own simulated charger, all ticked together, the job stepped after each tick.
#include "ui/batch_job.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <memory>
#include <set>

#include "simulated_pager.h"
#include "temp_folder.h"
#include "ui/messages.h"

namespace palor {
namespace {

using namespace std::chrono_literals;
using test::SimulatedPager;
using Outcome = BatchJob::Outcome;

// What a pager's EEPROM holds, read back as the window reads a pager.
struct Written {
  int charger;
  unsigned pager;  // the simulator's pager ordinal
  std::string address1, address2, name1, pagerNumber;
};

class Desk : public BatchJob::Observer {
 public:
  // `options[i]` for charger i; every charger's form holds the template `prepare` makes.
  Desk(std::vector<sim::DeviceOptions> options,
       const std::function<void(SettingsRecord&)>& prepare = {}) {
    for (std::size_t i = 0; i < options.size(); ++i) {
      forms.push_back(std::make_unique<FormState>());
      FormState& form = *forms.back();
      form.startUp();
      if (prepare) prepare(form.record());
      pagers.push_back(std::make_unique<SimulatedPager>(form, options[i]));
      pagers.back()->connect();
      pagers.back()->device.onEepromWritten([this, i](const ConfigImage& image) {
        written.push_back(readBack(static_cast<int>(i), pagers[i]->device.pagerOrdinal(), image));
      });
    }
  }

  void run(std::vector<BatchRow> rows, const std::set<int>& done = {}) {
    std::vector<FormState*> chargers;
    for (auto& f : forms) chargers.push_back(f.get());
    job = std::make_unique<BatchJob>(chargers, std::move(rows), done, *this);
    job->checkRows();
  }
  // Ticks every charger once, then steps the job; until it is finished or `limit` ticks.
  bool tickUntilFinished(int limit = 20000) {
    for (int t = 0; t < limit && !job->finished(); ++t) tick();
    return job->finished();
  }
  void tick() {
    for (auto& p : pagers) p->tick();
    job->step();
  }

  void rowStarted(int charger, const BatchRow& row) override {
    started.push_back({charger, row.number});
  }
  void pagerEnded(const BatchJob::PagerEnd& end) override { ended.push_back(end); }
  void logLine(int, const std::string&) override {}
  void chargerChanged(int) override {}

  std::vector<int> endedRows(Outcome outcome) const {
    std::vector<int> rows;
    for (const auto& e : ended)
      if (e.outcome == outcome) rows.push_back(e.row);
    std::sort(rows.begin(), rows.end());
    return rows;
  }

  std::vector<std::unique_ptr<FormState>> forms;
  std::vector<std::unique_ptr<SimulatedPager>> pagers;
  std::unique_ptr<BatchJob> job;
  std::vector<std::pair<int, int>> started;  // charger, row
  std::vector<BatchJob::PagerEnd> ended;
  std::vector<Written> written;

 private:
  static Written readBack(int charger, unsigned pager, const ConfigImage& image) {
    FormState reader;
    reader.startUp();
    reader.images().writeImage = image;
    reader.decodeWriteImage(3);
    const SettingsRecord& r = reader.record();
    return {charger,
            pager,
            r.text("address1"),
            r.text("address2"),
            r.text("Capcode1Name"),
            r.text("TxtPagerNumber")};
  }
};

sim::DeviceOptions swapping() {
  sim::DeviceOptions o;
  o.swapAfter = 400ms;
  return o;
}

// Rows of a list naming address1 and Capcode1Name.
std::vector<BatchRow> listRows(const std::vector<std::pair<std::string, std::string>>& values) {
  PagerList list;
  list.columns = {fieldId("address1"), fieldId("Capcode1Name")};
  int line = 2;
  for (const auto& [address, name] : values) list.rows.push_back({line++, {address, name}, {}});
  return rowsFromList(list);
}

std::vector<std::pair<std::string, std::string>> wardRows(int count) {
  std::vector<std::pair<std::string, std::string>> rows;
  for (int i = 0; i < count; ++i)
    rows.push_back({std::to_string(1000000 + 8 * i), "WARD " + std::to_string(i + 1)});
  return rows;
}

// Three chargers, seven pagers: each row on exactly one pager, each pager written once,
// and nothing of one row (nor of the window's own advance after a write) in the next.
TEST(BatchJob, EveryRowOnExactlyOnePagerAcrossChargers) {
  Desk desk({swapping(), swapping(), swapping()}, [](SettingsRecord& r) {
    r.pickItem(r.id("autoinc2"), 8);  // the window would advance address2 after each write
  });
  desk.run(listRows(wardRows(7)));
  ASSERT_TRUE(desk.tickUntilFinished());

  EXPECT_EQ(desk.endedRows(Outcome::Completed), (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));
  ASSERT_EQ(desk.written.size(), 7u);
  std::set<std::pair<int, unsigned>> pagers;
  std::set<std::string> addresses;
  for (const Written& w : desk.written) {
    EXPECT_TRUE(pagers.insert({w.charger, w.pager}).second) << "a pager written twice";
    addresses.insert(w.address1);
    const int index = (std::stoi(w.address1) - 1000000) / 8;
    EXPECT_EQ(w.name1, "WARD " + std::to_string(index + 1)) << "the row's own name";
    EXPECT_EQ(w.address2, "2004008") << "the template's address, never advanced";
  }
  EXPECT_EQ(addresses.size(), 7u);
  std::set<int> chargersUsed;
  for (const auto& [charger, row] : desk.started) chargersUsed.insert(charger);
  EXPECT_EQ(chargersUsed.size(), 3u) << "all chargers work at once";
}

// --count: the addresses and pager numbers the window's writes would give one pager after
// another, whichever charger takes which pager.
TEST(BatchJob, CountedPagersNumberedAsTheWindowNumbersThem) {
  Desk desk({swapping(), swapping()}, [](SettingsRecord& r) {
    r.setText("TxtPagerNumber", "00000100");
    r.pickItem(r.id("autoinc1"), 1);
  });
  desk.run(countedRows(5));
  ASSERT_TRUE(desk.tickUntilFinished());
  std::multiset<std::string> addresses;
  for (const Written& w : desk.written) addresses.insert(w.address1);
  EXPECT_EQ(addresses,
            (std::multiset<std::string>{"2004000", "2004001", "2004002", "2004003", "2004004"}));
  // The pager number is the window's, not the pager's: as the job reports it.
  std::map<int, std::string> numberOfRow;
  for (const auto& e : desk.ended) numberOfRow[e.row] = e.pagerNumber;
  EXPECT_EQ(numberOfRow, (std::map<int, std::string>{
                             {1, "101"}, {2, "102"}, {3, "103"}, {4, "104"}, {5, "105"}}));
}

// A write cut short by the pager taken out: the row goes back and is written on the next
// pager; the pager put back is a pager to write.
TEST(BatchJob, AFailedRowIsRetriedOnTheNextPager) {
  sim::DeviceOptions pulled = swapping();
  pulled.pullAtBlock = 6;
  Desk desk({pulled});
  desk.run(listRows(wardRows(2)));
  ASSERT_FALSE(desk.tickUntilFinished(400));
  EXPECT_EQ(desk.endedRows(Outcome::Failed), std::vector<int>{1});
  EXPECT_TRUE(desk.written.empty());
  desk.pagers[0]->device.putPagerIn({});
  ASSERT_TRUE(desk.tickUntilFinished());
  EXPECT_EQ(desk.endedRows(Outcome::Completed), (std::vector<int>{1, 2}));
  ASSERT_EQ(desk.written.size(), 2u);
  EXPECT_EQ(desk.written[0].name1, "WARD 1");
}

// Without a swap the written pager stays in: the charger waits, however long, and takes
// the next row only once that pager is out and another is in.
TEST(BatchJob, APagerLeftInTheChargerIsNotWrittenTwice) {
  Desk desk({sim::DeviceOptions{}});
  desk.run(listRows(wardRows(2)));
  ASSERT_FALSE(desk.tickUntilFinished(3000));
  EXPECT_EQ(desk.written.size(), 1u);
  EXPECT_EQ(desk.job->chargerState(0), BatchJob::ChargerState::WaitingForRemoval);
  desk.pagers[0]->device.takePagerOut({});
  desk.tick();
  desk.pagers[0]->device.putPagerIn({});
  ASSERT_TRUE(desk.tickUntilFinished());
  EXPECT_EQ(desk.written.size(), 2u);
  EXPECT_EQ(desk.endedRows(Outcome::Completed), (std::vector<int>{1, 2}));
}

// Rows the checks refuse are reported with their reasons and skipped; rows a log says
// are completed are not written again.
TEST(BatchJob, RefusedAndCompletedRowsAreNotWritten) {
  Desk desk({swapping()});
  auto values = wardRows(5);
  values[1].first = "2004008";  // the template's address2: equal addresses
  values[3].first = "2007665";  // in a gap of the address range
  std::vector<BatchRow> rows = listRows(values);
  BatchRow tooLong;
  tooLong.number = 6;
  tooLong.line = 9;
  tooLong.edits = {{ScriptedEdit::Action::Set, "Capcode1Name", std::string(40, 'X')}};
  rows.push_back(tooLong);
  desk.run(std::move(rows), {5});
  ASSERT_TRUE(desk.tickUntilFinished());
  EXPECT_EQ(desk.endedRows(Outcome::Completed), (std::vector<int>{1, 3}));
  EXPECT_EQ(desk.endedRows(Outcome::Refused), (std::vector<int>{2, 4, 6}));
  for (const auto& e : desk.ended)
    EXPECT_TRUE(e.row != 2 || e.lastLine == msg::kAddressAlreadyUsed) << e.lastLine;
  EXPECT_EQ(desk.written.size(), 2u);
}

// The first Ctrl+C lets the writes in hand finish and takes no new pager; the second
// stops the writes in hand, whose rows stay not done.
TEST(BatchJob, StoppingTakesNoNewPagerAndStopEndsTheWritesInHand) {
  for (const bool stopNow : {false, true}) {
    SCOPED_TRACE(stopNow ? "stopped" : "stopping");
    Desk desk({swapping(), swapping()});
    desk.run(listRows(wardRows(4)));
    ASSERT_TRUE(desk.pagers[0]->tickUntil([&] {
      desk.job->step();
      return desk.job->rowInHand(0) && desk.job->rowInHand(1);
    }));
    desk.job->stopTaking();
    if (stopNow) desk.job->stopNow();
    ASSERT_TRUE(desk.tickUntilFinished());
    for (int extra = 0; extra < 500; ++extra) desk.tick();  // fresh pagers come, none is taken
    EXPECT_EQ(desk.started.size(), 2u);
    EXPECT_EQ(desk.written.size(), stopNow ? 0u : 2u);
    EXPECT_EQ(desk.endedRows(stopNow ? Outcome::Cancelled : Outcome::Completed),
              (std::vector<int>{1, 2}));
    for (std::size_t row = 0; row < 4; ++row)
      EXPECT_EQ(desk.job->rowState(row),
                !stopNow && row < 2 ? BatchJob::RowState::Completed : BatchJob::RowState::NotDone);
  }
}

// File / "Pager list..." in the window: each write types the next row in first; a
// completed write moves on, a failed one keeps its row; a list-numbered pager keeps the
// list's number.
TEST(WindowPagerList, EachWriteTakesTheNextRowAndAFailedOneKeepsIt) {
  const std::string path = test::scratchPath("window-list.csv");
  std::ofstream(path) << "TxtPagerNumber,address1,Capcode1Name\n"
                         "00000101,1000000,\"Smith, John\"\n"
                         "00000102,1000008,WARD B\n";
  sim::DeviceOptions pulled;
  pulled.pullAtBlock = 6;  // the first write is cut short
  Desk desk({pulled});
  FormState& form = *desk.forms[0];
  SimulatedPager& pager = *desk.pagers[0];
  const auto write = [&] {
    form.WriteToPagerClick();
    ASSERT_TRUE(pager.tickUntil([&] { return !pager.busy(); }));
  };
  ASSERT_TRUE(form.LoadPagerList(path));
  EXPECT_EQ(form.window().pagerListText, "Row 1 of 2: pager 00000101");

  write();
  EXPECT_TRUE(desk.written.empty());
  EXPECT_EQ(form.window().pagerListText, "Row 1 of 2: pager 00000101") << "a failed write";
  pager.device.putPagerIn({});
  ASSERT_TRUE(pager.tickUntil([&] { return form.window().writeToPagerEnabled; }));
  write();
  EXPECT_EQ(form.window().pagerListText, "Row 2 of 2: pager 00000102");
  pager.device.takePagerOut({});
  pager.tick();
  pager.device.putPagerIn({});
  ASSERT_TRUE(pager.tickUntil([&] { return form.window().writeToPagerEnabled; }));
  write();
  EXPECT_EQ(form.window().pagerListText, "All 2 rows of the list written");
  ASSERT_EQ(desk.written.size(), 2u);
  EXPECT_EQ(desk.written[0].address1, "1000000");
  EXPECT_EQ(desk.written[0].name1.substr(0, 11), "Smith, John");
  EXPECT_EQ(desk.written[1].address1, "1000008");
  EXPECT_EQ(form.record().text("TxtPagerNumber"), "00000102") << "the list's own number";

  form.UnloadPagerList();
  EXPECT_EQ(form.window().pagerListText, "");
}

}  // namespace
}  // namespace palor
