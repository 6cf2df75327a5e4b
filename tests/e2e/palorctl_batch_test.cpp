// SPDX-License-Identifier: GPL-3.0-or-later
// palorctl batch on three simulated chargers at once, each swapping a written pager for a
// fresh one: a job interrupted by Ctrl+C and run again with its log.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <thread>

#include "config/image_codec.h"
#include "image_files.h"
#include "run_command.h"
#include "sim_process.h"
#include "simulated_pager.h"
#include "temp_folder.h"

extern char** environ;

namespace palor {
namespace {

using namespace std::chrono_literals;

using test::readImage;
using test::writeImage;

// A pager programmed before with other hardware than test::programmedPagerImage's.
ConfigImage otherHardwareImage() {
  FormState other;
  other.startUp();
  other.record().setText("bs1", "30");
  other.record().setIndex("lcd_bias", 1);
  other.record().setChecked("end_of_msg", true);
  EXPECT_TRUE(other.encodeWriteImage());
  ConfigImage image = other.images().writeImage;
  fillChecksums(image);
  return image;
}

// The lines of the job log that are JSON objects, each parsed.
std::vector<nlohmann::json> logEntries(const std::string& path) {
  std::vector<nlohmann::json> entries;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    auto entry = nlohmann::json::parse(line, nullptr, false);
    if (entry.is_object()) entries.push_back(std::move(entry));
  }
  return entries;
}

std::set<int> completedRows(const std::vector<nlohmann::json>& entries) {
  std::set<int> rows;
  for (const auto& e : entries)
    if (e["outcome"] == "completed") rows.insert(e["row"].get<int>());
  return rows;
}

// A field's value as text, whatever its kind.
std::string valueOf(const SettingsRecord& record, FieldId f) {
  switch (SettingsRecord::schema(f).kind) {
    case FieldKind::Text: return record.text(f);
    case FieldKind::Item: return std::to_string(record.index(f));
    case FieldKind::Check: return record.checked(f) ? "yes" : "no";
  }
  return {};
}

struct Row {
  std::string address, name, number;
};

TEST(PalorctlBatch, ThreeChargersInterruptedAndResumedFromTheLog) {
  const test::TempFolder folder("palor-batch");
  const std::vector<ConfigImage> sources{test::programmedPagerImage(), otherHardwareImage()};
  writeImage(folder.path("a.eeprom"), sources[0]);
  writeImage(folder.path("b.eeprom"), sources[1]);
  const std::vector<Row> rows{{"1000000", "Smith, John", "00000201"},
                              {"1000008", "WARD B", "00000202"},
                              {"1000016", "WARD C", "00000203"},
                              {"1000024", "WARD D", "00000204"}};
  {
    std::ofstream list(folder.path("four.csv"));
    list << "address1,Capcode1Name,TxtPagerNumber\r\n";
    for (const Row& r : rows) list << r.address << ",\"" << r.name << "\"," << r.number << "\r\n";
  }
  std::vector<std::unique_ptr<test::SimProcess>> sims;
  std::string ports;
  for (int i = 0; i < 3; ++i) {
    const std::string saved = folder.path("charger" + std::to_string(i));
    std::filesystem::create_directory(saved);
    sims.push_back(std::make_unique<test::SimProcess>(std::vector<std::string>{
        "--quiet", "--swap-after", "300", "--image", folder.path("a.eeprom"), "--image",
        folder.path("b.eeprom"), "--save-to", saved}));
    ports += " --port " + sims.back()->readLine();
  }
  const std::string log = folder.path("job.jsonl");
  // The records go to the test's own file.
  const std::string command = "env PALOR_RECORDS=" + folder.path("records.sqlite") + " " +
                              std::string(PALORCTL_PATH) + " batch " + folder.path("t.bin") +
                              " --set hellomsg1=BATCH --list " + folder.path("four.csv") + ports +
                              " --log " + log + " --timeout 60";
  ASSERT_EQ(
      test::runCommand(std::string(PALORCTL_PATH) + " convert " + folder.path("t.bin")).status, 0);

  // The first run is interrupted once its first pager is written: the writes in hand
  // finish, no new pager is taken.
  const std::string errors = folder.path("first.err");
  const std::string shell = "exec " + command + " 2>" + errors;
  const char* argv[] = {"/bin/sh", "-c", shell.c_str(), nullptr};
  pid_t pid = -1;
  ASSERT_EQ(::posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ), 0);
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  int raw = 0;
  pid_t ended = 0;
  while (completedRows(logEntries(log)).empty() && std::chrono::steady_clock::now() < deadline &&
         (ended = ::waitpid(pid, &raw, WNOHANG)) == 0)
    std::this_thread::sleep_for(10ms);
  if (ended == 0) {
    ::kill(pid, SIGINT);
    ASSERT_EQ(::waitpid(pid, &raw, 0), pid);
  }
  std::ifstream firstErrors(errors);
  const std::string said(std::istreambuf_iterator<char>(firstErrors), {});
  EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 1) << said;
  const auto first = logEntries(log);
  const std::set<int> firstRows = completedRows(first);
  EXPECT_FALSE(firstRows.empty());
  EXPECT_LT(firstRows.size(), rows.size()) << said;
  EXPECT_NE(said.find("not done"), std::string::npos) << said;

  // A line torn by a crash is passed over, and the next run's lines start afresh after it.
  std::ofstream(log, std::ios::app) << R"({"row":4,"port":"/dev/ttyUSB0","outcome":"compl)";
  // The written pagers are swapped for fresh ones before the job goes on.
  std::this_thread::sleep_for(1s);
  const auto second = test::runCommand(command);
  EXPECT_EQ(second.status, 0) << second.err;
  const auto entries = logEntries(log);
  std::set<int> secondRows;
  for (std::size_t i = first.size(); i < entries.size(); ++i) {
    EXPECT_EQ(entries[i]["outcome"], "completed") << entries[i].dump();
    EXPECT_FALSE(firstRows.contains(entries[i]["row"].get<int>())) << "a completed row again";
    secondRows.insert(entries[i]["row"].get<int>());
  }
  std::set<int> all = firstRows;
  all.insert(secondRows.begin(), secondRows.end());
  EXPECT_EQ(all, (std::set<int>{1, 2, 3, 4}));
  int completedLines = 0;
  std::set<std::int64_t> records;
  for (const auto& e : entries) {
    if (e["outcome"] != "completed") continue;
    if (e["record"].is_number_integer()) records.insert(e["record"].get<std::int64_t>());
    ++completedLines;
    EXPECT_EQ(e["last_line"], "Write eeprom completed.");
    EXPECT_TRUE(e["record"].is_number_integer()) << "each pager leaves its record";
    EXPECT_EQ(e["pager_number"], rows[e["row"].get<std::size_t>() - 1].number);
  }
  EXPECT_EQ(completedLines, 4);
  EXPECT_EQ(records.size(), 4u) << "a record of its own for each pager";

  // Every pager written holds its row, the template's edit and its own hardware, and no
  // pager was written twice or left half-written as another row's.
  std::set<std::string> addresses;
  for (int i = 0; i < 3; ++i) {
    for (const auto& file :
         std::filesystem::directory_iterator(folder.path("charger" + std::to_string(i)))) {
      SCOPED_TRACE(file.path().string());
      const unsigned pager = static_cast<unsigned>(
          std::stoul(file.path().stem().string().substr(std::string("pager-").size())));
      SettingsRecord written, source;
      decodeImage(written, readImage(file.path().string()), {});
      decodeImage(source, sources[(pager - 1) % sources.size()], {});
      const auto row = std::find_if(rows.begin(), rows.end(), [&](const Row& r) {
        return r.address == written.text("address1");
      });
      ASSERT_NE(row, rows.end());
      EXPECT_TRUE(addresses.insert(row->address).second) << "a row on two pagers";
      EXPECT_EQ(written.text("Capcode1Name").substr(0, row->name.size()), row->name);
      EXPECT_EQ(written.text("hellomsg1").substr(0, 5), "BATCH");
      for (const char* hardware : {"bs1", "lcd_bias", "end_of_msg", "pll"}) {
        const FieldId f = SettingsRecord::id(hardware);
        EXPECT_EQ(valueOf(written, f), valueOf(source, f)) << hardware;
      }
    }
  }
  EXPECT_EQ(addresses.size(), 4u);
}

}  // namespace
}  // namespace palor
