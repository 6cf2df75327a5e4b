// SPDX-License-Identifier: GPL-3.0-or-later
// palorctl's programming records against the real simulator, over a pseudo-terminal, in
// real time: a write's record with the image the pager held before, that image exported
// and written back, and a capcode that another pager already holds.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <thread>

#include "config/image_checksums.h"
#include "eeprom_file.h"
#include "image_files.h"
#include "run_command.h"
#include "sim_process.h"
#include "simulated_pager.h"
#include "temp_folder.h"
#include "ui/messages.h"

namespace palor {
namespace {

using namespace std::chrono_literals;
using test::runCommand;

using test::readImage;
using test::writeImage;

// The simulator's arguments for a pager whose EEPROM is the file `path`, saved after each
// write, holding `eeprom` to begin with.
std::vector<std::string> simulatorFor(const std::string& path, const ConfigImage& eeprom) {
  writeImage(path, eeprom);
  return {"--quiet", "--image", path, "--save"};
}

struct Charger {
  Charger(const std::string& imagePath, const ConfigImage& eeprom)
      : image(imagePath), sim(simulatorFor(imagePath, eeprom)), port(sim.readLine()) {}
  std::string image;
  test::SimProcess sim;
  std::string port;
};

class PalorctlRecords : public ::testing::Test {
 protected:
  // palorctl with its records in the test's folder.
  test::CommandResult palorctl(const std::string& args) {
    return runCommand("PALOR_RECORDS=" + records + " " + PALORCTL_PATH + " " + args);
  }

  test::TempFolder folder{"palor-records-e2e"};
  std::string records = folder.path("records.sqlite");
};

// A pager as the simulator starts it holds the version in byte 0, as a saved image does;
// this one was programmed before, with a rangetime of its own.
ConfigImage pagerBefore() {
  ConfigImage image = test::programmedPagerImage();
  image[image::kFirmwareVersion] = 3;
  image::putWord16(image, image::kRangeTimeWord, 0x0123);
  fillChecksums(image);
  return image;
}

TEST_F(PalorctlRecords, WriteIsRecordedWithThePagerBeforeAndRestoreBringsItBack) {
  const ConfigImage before = pagerBefore();
  Charger charger(folder.path("pager.eeprom"), before);
  const auto write = palorctl("write --set hellomsg1=RECORDED --port " + charger.port);
  ASSERT_EQ(write.status, 0) << write.err;
  ASSERT_NE(readImage(charger.image), before) << "the pager was written";

  const auto history = palorctl("history --json");
  ASSERT_EQ(history.status, 0) << history.err;
  const nlohmann::ordered_json list = nlohmann::ordered_json::parse(history.out);
  ASSERT_EQ(list.size(), 1u);
  const nlohmann::ordered_json& record = list[0];
  std::vector<std::string> keys;
  for (const auto& [key, value] : record.items()) keys.push_back(key);
  EXPECT_EQ(keys, (std::vector<std::string>{"id", "started", "finished", "operation", "outcome",
                                            "last_line", "blocks", "desk", "operator", "port",
                                            "port_path", "firmware", "revision", "pager_number",
                                            "serial", "addresses", "has_before", "has_written"}));
  EXPECT_EQ(record["operation"], "write");
  EXPECT_EQ(record["outcome"], "completed");
  EXPECT_EQ(record["last_line"], msg::kWriteEepromCompleted);
  EXPECT_EQ(record["blocks"], 16);
  EXPECT_EQ(record["port"], charger.port);
  EXPECT_EQ(record["has_before"], true);
  EXPECT_EQ(record["has_written"], true);
  ASSERT_EQ(record["addresses"].size(), 8u);
  EXPECT_EQ(record["addresses"][0],
            (nlohmann::ordered_json{
                {"row", 1}, {"address", 2004000}, {"enabled", true}, {"msgtype", "Private"}}))
      << "the window's address, as written";
  const std::string id = std::to_string(record["id"].get<std::int64_t>());

  const std::string exported = folder.path("before.bin");
  const auto exportRun = palorctl("history export " + id + " " + exported + " --before");
  ASSERT_EQ(exportRun.status, 0) << exportRun.err;
  EXPECT_EQ(readImage(exported), before) << "byte for byte, its rangetime intact";
  EXPECT_EQ(std::filesystem::file_size(exported), kImageSize);

  const auto restore = palorctl("restore " + id + " --port " + charger.port);
  ASSERT_EQ(restore.status, 0) << restore.err;
  EXPECT_EQ(readImage(charger.image), before) << "the EEPROM as it was";

  // The restore is a record of its own, and a second restore finds another pager in the
  // charger than the one record `id` wrote: refused, the pager left alone.
  const nlohmann::json after = nlohmann::json::parse(palorctl("history --json").out);
  ASSERT_EQ(after.size(), 2u);
  EXPECT_EQ(after[0]["operation"], "restore");
  EXPECT_EQ(after[0]["outcome"], "completed");
  const auto again = palorctl("restore " + id + " --port " + charger.port);
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.err.find(msg::restoreOtherPager(std::stoll(id))), std::string::npos) << again.err;
  EXPECT_EQ(readImage(charger.image), before);
  // Its record names the pager it found there.
  const nlohmann::json refusal = nlohmann::json::parse(palorctl("history --json").out)[0];
  EXPECT_EQ(refusal["outcome"], "refused");
  EXPECT_EQ(refusal["addresses"].size(), 8u) << refusal.dump();
}

TEST_F(PalorctlRecords, ACapcodeOnAnotherPagerIsReportedOrRefused) {
  const ConfigImage blank = sim::defaultPagerImage();
  {
    Charger first(folder.path("first.eeprom"), blank);
    const auto run = palorctl(
        "write --set TxtPagerNumber=00000101 --set address1=1234560 "
        "--port " +
        first.port);
    ASSERT_EQ(run.status, 0) << run.err;
  }
  const nlohmann::json list = nlohmann::json::parse(palorctl("history --json").out);
  ASSERT_EQ(list.size(), 1u);
  const std::string finished = list[0]["finished"];
  const std::string line = msg::addressOnOtherPager(
      "1234560", list[0]["pager_number"].get<std::string>(),
      finished.substr(0, 10) + " " + finished.substr(11, 5), list[0]["desk"].get<std::string>());

  struct Case {
    const char* what;
    std::string option;
    int status;
    bool written;
  };
  const Case cases[] = {{"reported", "", 0, true},
                        {"refused with --unique-capcodes", " --unique-capcodes", 1, false}};
  std::vector<test::CommandResult> runs(std::size(cases));
  std::vector<std::string> images;
  for (std::size_t i = 0; i < std::size(cases); ++i)
    images.push_back(folder.path("second" + std::to_string(i) + ".eeprom"));
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < std::size(cases); ++i)
    threads.emplace_back([&, i] {
      Charger second(images[i], blank);
      runs[i] = palorctl("write --set address1=1234560 --port " + second.port + cases[i].option);
    });
  for (std::thread& t : threads) t.join();

  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.what);
    EXPECT_EQ(runs[i].status, c.status) << runs[i].err;
    EXPECT_NE(runs[i].err.find(line + "\n"), std::string::npos) << runs[i].err;
    EXPECT_EQ(runs[i].err.find(msg::kWriteRefusedCapcodes) != std::string::npos, !c.written);
    EXPECT_EQ(readImage(images[i]) != blank, c.written) << "the second pager untouched";
  }
}

}  // namespace
}  // namespace palor
