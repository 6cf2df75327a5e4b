// SPDX-License-Identifier: GPL-3.0-or-later
// The whole link against the real palor-pager-sim: the serial transport opens the
// simulator's pseudo-terminal and the link frames talk to the charger and pager in it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <deque>
#include <fstream>
#include <memory>
#include <optional>
#include <random>

#include "link/link_frames.h"
#include "link/serial_transport.h"
#include "real_time_link.h"
#include "sim_process.h"
#include "simulated_pager.h"
#include "temp_folder.h"
#include "test_support.h"
#include "ui/messages.h"

namespace palor {
namespace {

using namespace std::chrono_literals;
using test::Bytes;
using test::SimProcess;
using Image = std::array<std::uint8_t, kImageSize>;
using Lines = std::vector<std::string>;

struct Frame {
  std::uint8_t code;
  Bytes data;
  bool checksumOk;
};

// The programmer's end: transport, frames and the write image, polled like the 40 ms tick
// polls them (data-ready flag, then FeedReceiver), only faster.
class Link {
 public:
  Link() {
    frames_.setFrameHandler([this](const ReceivedFrame& f) {
      got_.push_back({f.code(), Bytes(f.data().begin(), f.data().end()), f.checksumOk()});
    });
  }
  PortOpenOutcome open(const std::string& path) { return transport_.open(path); }

  std::optional<Frame> next(std::chrono::milliseconds limit = 3s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (got_.empty()) {
      if (transport_.ring().takeDataReady()) frames_.FeedReceiver();
      if (!got_.empty()) break;
      if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
      std::this_thread::sleep_for(1ms);
    }
    Frame f = got_.front();
    got_.pop_front();
    return f;
  }
  std::optional<Frame> ask(std::uint8_t code) {
    frames_.SendCommand(code);
    return next();
  }
  std::optional<Frame> writeBlock(std::uint8_t code) {
    frames_.BuildWriteBlock(code);
    frames_.SendAgain();
    return next();
  }

  Image writeImage{};

 private:
  SerialTransport transport_;
  LinkFrames frames_{transport_.ring(),
                     [this](std::span<const std::uint8_t> b) { return transport_.transmit(b); },
                     writeImage};
  std::deque<Frame> got_;
};

Image randomImage(unsigned seed) {
  std::mt19937 random(seed);
  Image image;
  for (auto& b : image) b = static_cast<std::uint8_t>(random());
  return image;
}

void writeFile(const std::string& path, std::span<const std::uint8_t> bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

Bytes readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

Bytes blockOf(const Image& image, std::size_t b) {
  return Bytes(image.begin() + 64 * b, image.begin() + 64 * (b + 1));
}

TEST(PagerSimEndToEnd, IdentifiesReadsAndWritesTheWholeEeprom) {
  const std::string imagePath = test::scratchPath("eeprom.bin");
  const Image stored = randomImage(1);
  writeFile(imagePath, stored);
  // Paced at the line rate, as a real charger would send.
  SimProcess sim({"--image", imagePath, "--save", "--write-time", "100", "--verify-time", "50"});
  const std::string device = sim.readLine();
  ASSERT_FALSE(device.empty()) << "the simulator printed no device path";

  Link link;
  ASSERT_TRUE(link.open(device));
  const auto start = std::chrono::steady_clock::now();

  auto presence = link.ask(code::kPresencePoll);
  ASSERT_TRUE(presence);
  EXPECT_EQ(presence->code, code::kPagerPresent);
  EXPECT_TRUE(presence->checksumOk);

  auto id = link.ask(code::kIdentify);
  ASSERT_TRUE(id);
  EXPECT_EQ(id->code, code::kIdentify);
  EXPECT_EQ(id->data, (Bytes{1, 3, 3}));
  EXPECT_TRUE(id->checksumOk);

  for (std::uint8_t b = 0; b < 16; ++b) {
    auto reply = link.ask(static_cast<std::uint8_t>(code::kReadBlock + b));
    ASSERT_TRUE(reply) << "block " << int(b);
    EXPECT_EQ(reply->code, code::kReadBlock + b);
    EXPECT_TRUE(reply->checksumOk);
    EXPECT_EQ(reply->data, blockOf(stored, b)) << "block " << int(b);
  }

  link.writeImage = randomImage(2);
  for (std::uint8_t b = 0; b < 16; ++b) {
    auto ack = link.writeBlock(static_cast<std::uint8_t>(code::kWriteBlock + b));
    ASSERT_TRUE(ack) << "block " << int(b);
    EXPECT_EQ(ack->code, code::kWriteBlock + b);
    EXPECT_TRUE(ack->data.empty());
    EXPECT_TRUE(ack->checksumOk);
  }
  auto done = link.next();
  ASSERT_TRUE(done);
  EXPECT_EQ(done->code, code::kWriteDone);
  auto verify = link.next();
  ASSERT_TRUE(verify);
  EXPECT_EQ(verify->code, code::kVerifyPassed);
  RecordProperty("session_ms", std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                  std::chrono::steady_clock::now() - start)
                                                  .count()));

  EXPECT_EQ(readFile(imagePath), Bytes(link.writeImage.begin(), link.writeImage.end()))
      << "the simulator's EEPROM, saved back, equals what was sent";
  ::unlink(imagePath.c_str());
}

TEST(PagerSimEndToEnd, FaultSwitchesAndControlWhileRunning) {
  const std::string linkPath = test::scratchPath("port");
  const std::string fifoPath = test::scratchPath("control");
  SimProcess sim({"--no-pace", "--link", linkPath, "--control", fifoPath, "--corrupt-frame", "2",
                  "--pull-at-block", "3", "--firmware", "4", "--revision", "1"});
  const std::string device = sim.readLine();
  ASSERT_FALSE(device.empty());

  Link link;
  ASSERT_TRUE(link.open(linkPath)) << "the device is reachable through its link";
  auto first = link.ask(code::kPresencePoll);
  ASSERT_TRUE(first);
  EXPECT_TRUE(first->checksumOk);
  auto second = link.ask(code::kPresencePoll);
  ASSERT_TRUE(second);
  EXPECT_FALSE(second->checksumOk) << "frame 2 is sent with a broken checksum";
  auto id = link.ask(code::kIdentify);
  ASSERT_TRUE(id);
  EXPECT_EQ(id->data, (Bytes{1, 4, 1}));

  sim.command("out");
  auto out = link.next();
  ASSERT_TRUE(out);
  EXPECT_EQ(out->code, code::kNoPager);
  const int fifo = ::open(fifoPath.c_str(), O_WRONLY | O_NONBLOCK);
  ASSERT_GE(fifo, 0);
  ASSERT_EQ(::write(fifo, "in\n", 3), 3);
  ::close(fifo);
  auto in = link.next();
  ASSERT_TRUE(in);
  EXPECT_EQ(in->code, code::kPagerPresent);

  auto pulled = link.ask(code::kReadBlock + 3);
  ASSERT_TRUE(pulled);
  EXPECT_EQ(pulled->code, code::kNoPager) << "the pager is taken out at block 3";
  sim.command("status");
  EXPECT_EQ(sim.readLine(), "pager out");

  sim.command("quit");
  EXPECT_EQ(sim.wait(3s), 0);
  struct stat st {};
  EXPECT_NE(::lstat(linkPath.c_str(), &st), 0) << "the link is removed at the end";
  EXPECT_NE(::lstat(fifoPath.c_str(), &st), 0) << "the FIFO it made is removed at the end";
}

// The charger's line goes dead in the middle of a read and of a write: the simulator is
// ended when the fourth block is asked for or sent, and its pseudo-terminal hangs up as a
// pulled adapter's port does. The operation fails, nothing reports success, the window is
// idle again, the port is released and "Dururovera disconnected." is said once.
TEST(PagerSimEndToEnd, LineGoneInTheMiddleOfAReadOrAWrite) {
  struct Case {
    const char* what;
    bool write;
    std::uint8_t endAt;                      // the frame code at which the simulator is ended
    std::vector<std::string_view> failures;  // one of them ends the operation
    std::string_view success;
  } cases[] = {
      {"read",
       false,
       code::kReadBlock + 3,
       {msg::kReadEepromFailed, msg::kReadTimedOut},
       msg::kReadEepromOk},
      {"write",
       true,
       code::kWriteBlock + 3,
       {msg::kWriteEepromFailed, msg::kWriteTimedOut},
       msg::kWriteEepromCompleted},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string linkPath = test::scratchPath(std::string("gone-") + c.what);
    SimProcess sim({"--quiet", "--link", linkPath});
    ASSERT_FALSE(sim.readLine().empty()) << "the simulator printed no device path";
    FormState form;
    // Through its link, which goes with the simulator, so that no later scan can meet
    // another program's pseudo-terminal under a reused number.
    form.startUp({.ports = {linkPath}});
    if (c.write) form.Repair1Click();  // straight to the write, without a preliminary read
    LinkClock line = test::clockFor(form, test::kFastTicks);
    ASSERT_TRUE(line.runUntil([&] { return form.window().readFromPagerEnabled; }, 20s))
        << "no pager connected";

    bool ended = false;
    form.link().setSentObserver([&](std::span<const std::uint8_t> frame) {
      if (ended || frame.size() < 3 || frame[2] != c.endAt) return;
      sim.command("quit");
      ended = sim.wait(5s) == 0;
    });
    const std::size_t before = form.log().lines().size();
    if (c.write)
      form.WriteToPagerClick();
    else
      form.ReadFromPagerClick();
    ASSERT_TRUE(form.link().protocol().busy());
    ASSERT_TRUE(line.runUntil([&] { return !form.link().protocol().busy(); }, 30s));
    line.runFor(8 * test::kFastTicks.watchSerial);  // the watch scans on; the port is gone
    form.link().setSentObserver({});
    ASSERT_TRUE(ended) << "the simulator did not end when asked";

    const Lines log(form.log().lines().begin() + static_cast<std::ptrdiff_t>(before),
                    form.log().lines().end());
    const auto count = [&](std::string_view line) {
      return std::count(log.begin(), log.end(), line);
    };
    EXPECT_EQ(count(msg::kDururoveraDisconnected), 1) << ::testing::PrintToString(log);
    EXPECT_EQ(count(c.success), 0);
    EXPECT_EQ(std::count_if(c.failures.begin(), c.failures.end(),
                            [&](std::string_view f) { return count(f) == 1; }),
              1)
        << ::testing::PrintToString(log);
    const MainWindowState& w = form.window();
    EXPECT_FALSE(w.progressVisible || w.stopVisible || w.infoRWPagerVisible);
    EXPECT_TRUE(w.fileMenuEnabled && w.helpMenuEnabled);
    EXPECT_FALSE(w.readFromPagerEnabled || w.writeToPagerEnabled);
    EXPECT_EQ(form.link().protocol().state(), ProtocolState::Idle);
    EXPECT_FALSE(form.link().transport().isOpen()) << "the port is released";
  }
}

// Usage errors end with status 2, failures to start with 1; each message names the real
// reason, and what was at a refused path is left as it was.
TEST(PagerSimEndToEnd, RefusesBadArgumentsAndFilesSayingWhy) {
  const std::string shortImage = test::scratchPath("short.bin");
  writeFile(shortImage, Bytes(1000, 0));
  const std::string occupied = test::scratchPath("occupied");
  writeFile(occupied, Bytes{'k', 'e', 'e', 'p'});
  const std::string errors = test::scratchPath("errors");
  const struct {
    std::vector<std::string> args;
    int status;
    std::string says;  // part of the message on standard error
  } cases[] = {
      {{"--help"}, 0, ""},
      {{"--no-such-option"}, 2, "--no-such-option"},
      {{"--save"}, 2, "--save requires --image"},  // nowhere to save
      {{"--firmware", "256"}, 2, "--firmware"},
      {{"--refuse-write", "--fail-verify"}, 2, "excludes"},
      {{"--image", "/dev/zero"}, 2, "/dev/zero is not a regular file"},
      {{"--image", test::scratchPath("missing")}, 2, "No such file or directory"},
      {{"--image", shortImage}, 1, "the file has 1000 bytes; an image has 1024 bytes"},
      {{"--link", occupied}, 1, occupied + " exists and is not a symbolic link"},
      {{"--control", occupied}, 1, occupied + " exists and is not a FIFO"},
      {{"--control", test::scratchPath("missing") + "/control"}, 1, "No such file or directory"},
  };
  for (const auto& c : cases) {
    const std::string name = c.args[0] + (c.args.size() > 1 ? " " + c.args[1] : "");
    SimProcess sim(c.args, errors);
    const int status = sim.wait(5s);
    ASSERT_NE(status, SimProcess::kStillRunning) << name;
    EXPECT_EQ(status, c.status) << name;
    const Bytes said = readFile(errors);
    const std::string text(said.begin(), said.end());
    EXPECT_NE(text.find(c.says), std::string::npos) << name << ": " << text;
    EXPECT_EQ(text.find("Success"), std::string::npos) << name << ": " << text;
  }
  EXPECT_EQ(readFile(occupied), (Bytes{'k', 'e', 'e', 'p'}));
  ::unlink(shortImage.c_str());
  ::unlink(occupied.c_str());
  ::unlink(errors.c_str());
}

// One link clock drives two forms, each on its own simulated charger, as a batch of chargers
// runs: both connect and both read their own pager at the same time.
TEST(PagerSimEndToEnd, OneClockReadsTwoChargersAtOnce) {
  struct Charger {
    std::string imagePath;
    ConfigImage image;
    std::unique_ptr<SimProcess> sim;
    FormState form;
  };
  std::array<Charger, 2> chargers;
  LinkClock clock(test::kFastTicks);
  for (std::size_t i = 0; i < chargers.size(); ++i) {
    Charger& c = chargers[i];
    c.image = test::programmedPagerImage();
    c.image[1000] = static_cast<std::uint8_t>(0xA0 + i);  // no field covers it: its own mark
    c.imagePath = test::scratchPath("two-chargers-" + std::to_string(i));
    writeFile(c.imagePath, c.image);
    c.sim =
        std::make_unique<SimProcess>(std::vector<std::string>{"--quiet", "--image", c.imagePath});
    const std::string device = c.sim->readLine();
    ASSERT_FALSE(device.empty()) << "the simulator printed no device path";
    c.form.startUp({.ports = {device}});
    clock.add(c.form);
  }
  const auto all = [&](auto holds) {
    return std::all_of(chargers.begin(), chargers.end(), [&](Charger& c) { return holds(c.form); });
  };
  ASSERT_TRUE(clock.runUntil(
      [&] { return all([](FormState& f) { return f.window().readFromPagerEnabled; }); }, 20s))
      << "not both pagers connected";

  for (Charger& c : chargers) c.form.ReadFromPagerClick();
  ASSERT_TRUE(all([](FormState& f) { return f.link().protocol().busy(); }));
  ASSERT_TRUE(clock.runUntil(
      [&] { return all([](FormState& f) { return !f.link().protocol().busy(); }); }, 20s));
  for (Charger& c : chargers) {
    const Lines& log = c.form.log().lines();
    EXPECT_NE(std::find(log.begin(), log.end(), msg::kReadEepromOk), log.end())
        << ::testing::PrintToString(log);
    EXPECT_EQ(c.form.images().readImage, c.image) << "each form holds its own pager";
    c.form.shutDown();
    ::unlink(c.imagePath.c_str());
  }
}

// A stop signal ends the simulator as "quit" does: status 0, its link and FIFO removed.
TEST(PagerSimEndToEnd, StopSignalsEndItCleanly) {
  const std::string linkPath = test::scratchPath("signal-port");
  const std::string fifoPath = test::scratchPath("signal-control");
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    SimProcess sim({"--quiet", "--link", linkPath, "--control", fifoPath});
    ASSERT_FALSE(sim.readLine().empty()) << "the simulator printed no device path";
    struct stat st {};
    ASSERT_EQ(::lstat(linkPath.c_str(), &st), 0);
    ASSERT_EQ(::lstat(fifoPath.c_str(), &st), 0);
    sim.signal(signal);
    EXPECT_EQ(sim.wait(3s), 0) << strsignal(signal);
    EXPECT_NE(::lstat(linkPath.c_str(), &st), 0) << strsignal(signal);
    EXPECT_NE(::lstat(fifoPath.c_str(), &st), 0) << strsignal(signal);
  }
}

}  // namespace
}  // namespace palor
