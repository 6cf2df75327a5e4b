// palorctl reading and writing the real simulator over a pseudo-terminal, with the real
// transport, in real time: what a user at a shell sees, and what the pager holds after.
// Every case runs at once in its own thread, each with its own simulator, so the whole
// table takes as long as its slowest case.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "config/image_checksums.h"
#include "config/image_codec.h"
#include "eeprom_file.h"
#include "run_command.h"
#include "sim_process.h"
#include "simulated_pager.h"
#include "ui/messages.h"

namespace palor {
namespace {

using namespace std::chrono_literals;
using testing::runCommand;

std::string scratchPath(const std::string& name) {
  return (std::filesystem::temp_directory_path() /
          ("palorctl-link-" + std::to_string(::getpid()) + "-" + name))
      .string();
}

void writeImage(const std::string& path, const ConfigImage& image) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
}

ConfigImage readImage(const std::string& path) {
  ConfigImage image{};
  std::ifstream(path, std::ios::binary)
      .read(reinterpret_cast<char*>(image.data()), static_cast<std::streamsize>(image.size()));
  return image;
}

// The image a write of the start-up settings with `hello` as its hello message leaves in
// a pager that held `pager`: the user's settings, the pager's own hardware unless repaired.
ConfigImage intendedImage(const ConfigImage& pager, const std::string& hello, bool repair) {
  FormState form;
  form.startUp();
  form.record().setText("hellomsg1", hello);
  form.FixedStringExit(form.record().id("hellomsg1"));
  if (!repair) refreshHardware(form.record(), pager, {3, '.'});
  EXPECT_TRUE(form.encodeWriteImage());
  ConfigImage image = form.images().writeImage;
  fillChecksums(image);
  return image;
}

struct Case {
  const char* what;
  std::vector<std::string> simulator;  // the simulator's fault switches
  std::string command;                 // palorctl's command and its own options
  int status;
  std::vector<std::string_view> log;   // status-log lines that must appear, in order
  bool pagerWritten = false;           // the pager wrote its EEPROM though the write failed
};

const std::string kHello = "E2E";

std::vector<Case> cases() {
  using namespace msg;
  const std::string read = "read OUT.bin";
  const std::string write = "write --set hellomsg1=" + kHello;
  const std::string repairWrite = write + " --repair";
  return {
      {"read", {}, read, 0, {kPagerConnected, kReadDataFromPager, kReadEepromOk}},
      {"read, slow pager", {"--delay", "200"}, read, 0, {kReadEepromOk}},
      {"read, no revision byte", {"--no-revision"}, read, 0, {kPagerConnected, kReadEepromOk}},
      {"read, one corrupted block", {"--corrupt-frame", "6"}, read, 0, {kReadEepromOk}},
      {"read, block lost twice", {"--drop-frame", "6", "--drop-frame", "7"}, read, 1,
       {kReadDataFromPager, kReadTimedOut}},
      {"read, wrong block", {"--wrong-block", "2"}, read, 1, {kCommunicationError, kReadEepromFailed}},
      {"read, pager pulled", {"--pull-at-block", "4"}, read, 1, {kReadEepromFailed}},
      {"write", {}, write, 0,
       {kReadDataFromPager, kReadEepromOk, kWriteToPager, kWritingEeprom, kWriteEepromSucceeded,
        kVerifyEepromSucceeded, kWriteEepromCompleted}},
      {"repair write", {}, repairWrite, 0, {kWriteToPager, kWriteEepromCompleted}},
      {"write, pager pulled", {"--pull-at-block", "9"}, repairWrite, 1, {kWriteEepromFailed}},
      {"write refused", {"--refuse-write"}, repairWrite, 1, {kCannotWriteEeprom, kWriteEepromFailed}},
      {"verify failed", {"--fail-verify"}, repairWrite, 1, {kVerifyEepromFailed, kWriteEepromFailed},
       true},
      {"pager too slow to write", {"--write-time", "20000"}, repairWrite, 1,
       {kWritingEeprom, kWriteTimedOut}, true},
      {"identification not in form", {"--bad-identification"}, read, 1, {kUnsupportedPager}},
      {"firmware too new", {"--firmware", "4"}, read, 1, {kFirmwareTooNew}},
      {"empty charger", {"--no-pager"}, read + " --timeout 6", 1, {kDururoveraConnected}},
  };
}

// The lines in order, each after the one before it.
bool inOrder(const std::string& text, const std::vector<std::string_view>& lines) {
  std::size_t at = 0;
  for (std::string_view line : lines) {
    at = text.find(std::string(line) + "\n", at);
    if (at == std::string::npos) return false;
    at += line.size();
  }
  return true;
}

struct Outcome {
  testing::CommandResult run;
  ConfigImage before{}, after{};
  std::string outFile;
};

Outcome runCase(const Case& c, int index) {
  Outcome o;
  o.before = testing::programmedPagerImage();
  const std::string image = scratchPath(std::to_string(index) + ".eeprom");
  writeImage(image, o.before);
  std::vector<std::string> args{"--quiet", "--image", image, "--save"};
  args.insert(args.end(), c.simulator.begin(), c.simulator.end());
  test::SimProcess sim(args);
  const std::string port = sim.readLine();
  o.outFile = scratchPath(std::to_string(index) + ".bin");
  std::string command = c.command;
  if (const auto out = command.find("OUT.bin"); out != std::string::npos)
    command.replace(out, 7, o.outFile);
  o.run = runCommand(std::string(PALORCTL_PATH) + " " + command + " --port " + port);
  sim.command("quit");
  (void)sim.wait(3s);
  o.after = readImage(image);
  std::filesystem::remove(image);
  return o;
}

TEST(PalorctlLink, EveryOutcomeOfAReadOrWrite) {
  const std::vector<Case> table = cases();
  std::vector<Outcome> outcomes(table.size());
  std::vector<std::thread> runs;
  for (std::size_t i = 0; i < table.size(); ++i)
    runs.emplace_back([&, i] { outcomes[i] = runCase(table[i], static_cast<int>(i)); });
  for (std::thread& t : runs) t.join();

  for (std::size_t i = 0; i < table.size(); ++i) {
    const Case& c = table[i];
    const Outcome& o = outcomes[i];
    SCOPED_TRACE(c.what);
    SCOPED_TRACE(o.run.err);
    EXPECT_EQ(o.run.status, c.status);
    EXPECT_TRUE(inOrder(o.run.err, c.log));
    const bool isWrite = c.command.starts_with("write");
    const bool repair = c.command.find("--repair") != std::string::npos;
    if (c.status != 0) {
      for (std::string_view success : {msg::kReadEepromOk, msg::kWriteEepromCompleted})
        if (!isWrite || success == msg::kWriteEepromCompleted)
          EXPECT_FALSE(inOrder(o.run.err, {success, "Saved data to "}));
      if (!isWrite) EXPECT_FALSE(std::filesystem::exists(o.outFile)) << "nothing saved";
      if (!c.pagerWritten) EXPECT_EQ(o.after, o.before) << "the pager keeps what it held";
      continue;
    }
    if (isWrite) {
      EXPECT_EQ(o.after, intendedImage(o.before, kHello, repair));
    } else {
      FormState read;
      read.startUp();
      EXPECT_TRUE(read.OpenConfigurationFile(o.outFile));
      EXPECT_EQ(read.record().text("hellomsg1"), "HELLO PAGER   ");
      EXPECT_EQ(o.after, o.before);
    }
    std::filesystem::remove(o.outFile);
  }
}

TEST(PalorctlLink, RawReadIsTheImageAsThePagerSentIt) {
  ConfigImage odd = testing::programmedPagerImage();
  odd[1000] = 0xA5;  // a byte no field covers; the checksums still pass
  const std::string image = scratchPath("raw.eeprom");
  writeImage(image, odd);
  test::SimProcess sim({"--quiet", "--image", image});
  const std::string port = sim.readLine();
  const std::string out = scratchPath("raw.bin");
  const std::string trace = scratchPath("raw.trace");
  const auto run = runCommand(std::string(PALORCTL_PATH) + " read " + out + " --raw --port " +
                              port + " --trace " + trace);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(readImage(out), odd);
  // Every frame, time-stamped, each way: the 16 block requests and their replies.
  std::ifstream lines(trace);
  int requests = 0, replies = 0;
  for (std::string line; std::getline(lines, line);) {
    if (line.find(" > 7E 7E 6") != std::string::npos) ++requests;
    if (line.find(" < 7E 7E 6") != std::string::npos && line.size() > 200) ++replies;
  }
  EXPECT_EQ(requests, 16);
  EXPECT_EQ(replies, 16);
  for (const auto& path : {image, out, trace}) std::filesystem::remove(path);
}

TEST(PalorctlLink, NoPortAnsweringSaysWhichWereTried) {
  const auto run = runCommand(std::string(PALORCTL_PATH) +
                              " read x.bin --timeout 1 --port /dev/palor-no-such-port");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("within 1 s (ports tried: /dev/palor-no-such-port)"), std::string::npos)
      << run.err;
}

}  // namespace
}  // namespace palor
