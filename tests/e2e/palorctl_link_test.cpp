// SPDX-License-Identifier: GPL-3.0-or-later
// palorctl reading and writing the real simulator over a pseudo-terminal, with the real
// transport, in real time: what a user at a shell sees, and what the pager holds after.
// Every case runs at once in its own thread, each with its own simulator, so the whole
// table takes as long as its slowest case.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "config/image_checksums.h"
#include "config/image_codec.h"
#include "eeprom_file.h"
#include "image_files.h"
#include "run_command.h"
#include "sim_process.h"
#include "simulated_pager.h"
#include "temp_folder.h"
#include "ui/messages.h"

extern char** environ;

namespace palor {
namespace {

using namespace std::chrono_literals;
using test::runCommand;

using test::scratchPath;

using test::readImage;
using test::writeImage;

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
  std::vector<std::string_view> log;  // status-log lines that must appear, in order
  bool pagerWritten = false;          // the pager wrote its EEPROM though the write failed
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
      {"read, block lost twice",
       {"--drop-frame", "6", "--drop-frame", "7"},
       read,
       1,
       {kReadDataFromPager, kReadTimedOut}},
      {"read, wrong block",
       {"--wrong-block", "2"},
       read,
       1,
       {kCommunicationError, kReadEepromFailed}},
      {"read, pager pulled", {"--pull-at-block", "4"}, read, 1, {kReadEepromFailed}},
      {"write",
       {},
       write,
       0,
       {kReadDataFromPager, kReadEepromOk, kWriteToPager, kWritingEeprom, kWriteEepromSucceeded,
        kVerifyEepromSucceeded, kWriteEepromCompleted}},
      {"repair write", {}, repairWrite, 0, {kWriteToPager, kWriteEepromCompleted}},
      {"write, pager pulled", {"--pull-at-block", "9"}, repairWrite, 1, {kWriteEepromFailed}},
      {"write refused",
       {"--refuse-write"},
       repairWrite,
       1,
       {kCannotWriteEeprom, kWriteEepromFailed}},
      {"verify reported after block 3",
       {"--verify-after-block", "3"},
       repairWrite + " --then-save OUT.bin",
       1,
       {kCommunicationError, kWriteEepromFailed}},
      {"verify failed",
       {"--fail-verify"},
       repairWrite,
       1,
       {kVerifyEepromFailed, kWriteEepromFailed},
       true},
      {"pager too slow to write",
       {"--write-time", "20000"},
       repairWrite,
       1,
       {kWritingEeprom, kWriteTimedOut},
       true},
      {"write, then-save into a missing folder",
       {},
       write + " --then-save /nonexistent-palor/x.bin",
       1,
       {"palorctl: /nonexistent-palor/x.bin: cannot be written: No such file or directory"}},
      {"write, then-save a table that cannot hold a comma of a name",
       {},
       write + " --set Capcode1Name=Smith,John --then-save /tmp/palor-never-saved.csv",
       1,
       {"palorctl: /tmp/palor-never-saved.csv: Capcode1Name: a comma cannot be saved in a CSV "
        "file"}},
      {"read into a missing folder",
       {},
       "read /nonexistent-palor/x.bin",
       1,
       {kReadEepromOk, kSaveFailed,
        "palorctl: /nonexistent-palor/x.bin: cannot be written: No such file or directory"}},
      {"identification not in form", {"--bad-identification"}, read, 1, {kUnsupportedPager}},
      {"firmware too new", {"--firmware", "4"}, read, 1, {kFirmwareTooNew}},
      {"empty charger", {"--no-pager"}, read + " --timeout 6", 1, {kDururoveraConnected}},
      {"whole-operation limit",
       {},
       read + " --operation-limit 0.3",
       1,
       {kReadDataFromPager, "palorctl: the pager did not finish within 0.3 s"}},
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
  test::CommandResult run;
  ConfigImage before{}, after{};
  std::string outFile;
};

Outcome runCase(const Case& c, int index) {
  Outcome o;
  o.before = test::programmedPagerImage();
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
      for (std::string_view success : {msg::kReadEepromOk, msg::kWriteEepromCompleted}) {
        if (!isWrite || success == msg::kWriteEepromCompleted) {
          EXPECT_FALSE(inOrder(o.run.err, {success, "Saved data to "}));
        }
      }
      EXPECT_FALSE(std::filesystem::exists(o.outFile)) << "nothing saved";
      if (!c.pagerWritten) {
        EXPECT_EQ(o.after, o.before) << "the pager keeps what it held";
      }
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
  ConfigImage odd = test::programmedPagerImage();
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

// Arguments a read or write cannot use are usage errors before anything is opened, loaded,
// written or sent: the trace among them, which would otherwise replace the input, hang on a
// FIFO or go to a device.
TEST(PalorctlLink, RefusesUnusableLinkArgumentsBeforeAnythingHappens) {
  const std::string input = scratchPath("usage-in.bin");
  const std::string fifo = scratchPath("usage-fifo");
  writeImage(input, test::programmedPagerImage());
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string noPort = " --port /dev/palor-no-such-port";
  const std::string read = "read " + scratchPath("usage-out.bin");
  const std::vector<std::string> refused{
      read + " --port \"\"",
      read + noPort + " --timeout 1e10",
      read + noPort + " --timeout 1e308",
      read + noPort + " --timeout inf",
      read + noPort + " --timeout nan",
      read + noPort + " --timeout 86401",
      read + noPort + " --operation-limit inf",
      read + noPort + " --operation-limit 0",
      "write " + input + noPort + " --trace " + input,
      read + noPort + " --trace " + fifo,
      read + noPort + " --trace /dev/full",
  };
  const auto before = std::filesystem::file_size(input);
  for (const std::string& args : refused) {
    SCOPED_TRACE(args);
    const auto run = runCommand("timeout 10 " + std::string(PALORCTL_PATH) + " " + args);
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_EQ(run.err.find("no charger"), std::string::npos) << run.err;
    EXPECT_EQ(std::filesystem::file_size(input), before) << "the input is left as it was";
    EXPECT_FALSE(std::filesystem::exists(scratchPath("usage-out.bin")));
  }
  const auto help = runCommand(std::string(PALORCTL_PATH) + " read --help");
  EXPECT_NE(help.out.find("--operation-limit"), std::string::npos);
  EXPECT_NE(help.out.find("(default 300)"), std::string::npos) << help.out;
  std::filesystem::remove(input);
  std::filesystem::remove(fifo);
}

// A port that is no terminal is named as such at once, as `palorctl ports` names it.
TEST(PalorctlLink, APortThatIsNoTerminalIsNotASerialPort) {
  const std::string plain = scratchPath("plain-port");
  std::ofstream(plain) << "text";
  for (const std::string& port : {std::string("/dev/null"), plain}) {
    const auto run = runCommand(std::string(PALORCTL_PATH) + " read " + scratchPath("np.bin") +
                                " --timeout 5 --port " + port);
    EXPECT_EQ(run.status, 1) << port;
    EXPECT_NE(run.err.find(port + ": not a serial port"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("no charger"), std::string::npos) << run.err;
  }
  std::filesystem::remove(plain);
}

// A trace that cannot be saved does not hide how the read ended, and fails the command.
TEST(PalorctlLink, ATraceThatCannotBeSavedFailsTheCommandAfterTheRead) {
  test::SimProcess sim({"--quiet"});
  const std::string port = sim.readLine();
  const std::string out = scratchPath("trace-lost.bin");
  const auto run = runCommand(std::string(PALORCTL_PATH) + " read " + out + " --port " + port +
                              " --trace " + scratchPath("no-such-folder") + "/x.trace");
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(inOrder(run.err, {msg::kReadEepromOk})) << run.err;
  EXPECT_NE(run.err.find("x.trace: the trace was not saved"), std::string::npos) << run.err;
  std::filesystem::remove(out);
}

// A stop signal during a read (a closed terminal or a dropped ssh session sends SIGHUP)
// ends palorctl as Ctrl+C does: the closing command goes out, exit 1, nothing saved.
TEST(PalorctlLink, StopSignalsEndAReadWithTheClosingCommand) {
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(strsignal(signal));
    test::SimProcess sim({"--quiet", "--delay", "100"});
    const std::string port = sim.readLine();
    const std::string out = scratchPath("signal.bin");
    const std::string trace = scratchPath("signal.trace");
    const std::string errors = scratchPath("signal.err");
    const std::string command = "exec " + std::string(PALORCTL_PATH) + " read " + out + " --port " +
                                port + " --trace " + trace + " 2>" + errors;
    const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
    pid_t pid = -1;
    ASSERT_EQ(::posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ),
              0);
    const auto said = [&] {
      std::ifstream in(errors);
      return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (!inOrder(said(), {msg::kReadDataFromPager}) &&
           std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(10ms);
    ::kill(pid, signal);
    int raw = 0;
    ASSERT_EQ(::waitpid(pid, &raw, 0), pid);
    EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 1) << "status " << raw << ": " << said();
    EXPECT_NE(said().find("palorctl: interrupted"), std::string::npos) << said();
    EXPECT_FALSE(std::filesystem::exists(out)) << "nothing saved";
    std::ifstream frames(trace);
    const std::string sent(std::istreambuf_iterator<char>(frames), {});
    EXPECT_NE(sent.find(" > 7E 7E 49"), std::string::npos) << "the closing command went out";
    for (const auto& path : {out, trace, errors}) std::filesystem::remove(path);
  }
}

}  // namespace
}  // namespace palor
