// SPDX-License-Identifier: GPL-3.0-or-later
// The simulator's loop over a real pseudo-terminal, driven step by step: the test plays
// the programmer on the terminal's device and the user on a command pipe.
#include "simulator_loop.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <sstream>

#include "pseudo_terminal.h"
#include "stop_signals.h"

namespace palor::sim {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

struct Frame {
  std::uint8_t code;
  Bytes data;
  bool operator==(const Frame&) const = default;
};

ConfigImage patterned() {
  ConfigImage e{};
  for (std::size_t i = 0; i < e.size(); ++i) e[i] = static_cast<std::uint8_t>(i * 7 + 1);
  return e;
}

class Bench {
 public:
  explicit Bench(bool paced)
      : device({}, patterned()), loop(device, pty.master(), paced, out, errors) {
    port_ = ::open(pty.devicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (port_ < 0 || ::pipe2(commands_, O_CLOEXEC | O_NONBLOCK) != 0)
      throw std::runtime_error("no port or pipe");
    loop.addCommandSource(commands_[0]);
  }
  ~Bench() {
    ::close(port_);
    ::close(commands_[0]);
    ::close(commands_[1]);
  }

  void type(const std::string& text) {
    ASSERT_EQ(::write(commands_[1], text.data(), text.size()), ssize_t(text.size()));
  }
  // Sends a request as the programmer; false when the terminal has no room for it now.
  bool request(std::uint8_t code) {
    const FrameBytes f = buildFrame(code);
    return ::write(port_, f.bytes.data(), f.length) == ssize_t(f.length);
  }
  // Steps until the loop has sent everything due, and at least a few times.
  std::optional<int> settle() {
    for (int i = 0; i < 10'000; ++i) {
      if (const auto status = loop.step(1ms)) return status;
      if (i >= 3 && loop.line().waiting() == 0 && !device.nextDue()) break;
    }
    return std::nullopt;
  }
  // The frames that have come to the programmer's end so far.
  std::vector<Frame> frames() {
    std::vector<Frame> got;
    std::uint8_t chunk[4096];
    for (ssize_t n; (n = ::read(port_, chunk, sizeof chunk)) > 0;)
      for (ssize_t i = 0; i < n; ++i)
        if (receiver_.take(chunk[i])) {
          const auto& f = receiver_.frame();
          EXPECT_TRUE(f.checksumOk());
          got.push_back({f.code(), Bytes(f.data().begin(), f.data().end())});
        }
    return got;
  }
  std::string takeOut() { return std::exchange(out, std::ostringstream()).str(); }

  PseudoTerminal pty;
  std::ostringstream out, errors;
  ChargerDevice device;
  SimulatorLoop loop;

 private:
  int port_ = -1;
  int commands_[2] = {-1, -1};
  FrameReceiver receiver_{isChargerCode};
};

// Commands change what the charger reports, each through the paced line; a line too long
// to be a command is dropped whole, and its tail is not run as one.
TEST(SimulatorLoop, RunsCommandLinesAndPacesTheReports) {
  Bench bench(true);
  const std::string tooLong(CommandLines::kMaxLine - 3, 'x');
  const struct {
    std::string typed;
    std::vector<Frame> frames;
    std::string out;
    std::string errors;  // part of what the loop reports as refused
  } steps[] = {
      {"status\n", {}, "pager in\n", ""},
      {"out\n", {{0x30, {}}}, "", ""},
      {"  out \r\nstatus\n", {}, "pager out\n", ""},  // blanks around a command do not count
      {"in\nstatus\n", {{0x31, {}}}, "pager in\n", ""},
      {"\n\nbogus\n", {}, "", "unknown command 'bogus'"},
      {tooLong + "xxxx", {}, "", ""},  // no line end yet, and one byte over the limit
      {"quit\n", {}, "", "longer than 256 bytes ignored"},  // the tail of that line
      {tooLong + "out\nstatus\n", {}, "pager in\n", ""},    // exactly the limit: an unknown word
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(s.typed.substr(0, 20));
    bench.errors.str("");
    bench.type(s.typed);
    EXPECT_EQ(bench.settle(), std::nullopt) << "the loop runs on";
    EXPECT_EQ(bench.frames(), s.frames);
    EXPECT_EQ(bench.takeOut(), s.out);
    EXPECT_NE(bench.errors.str().find(s.errors), std::string::npos) << bench.errors.str();
  }
  EXPECT_TRUE(bench.request(0x32));
  EXPECT_EQ(bench.settle(), std::nullopt);
  EXPECT_EQ(bench.frames(), (std::vector<Frame>{{0x31, {}}})) << "and the link works on";

  bench.type("quit\nout\n");
  EXPECT_EQ(bench.settle(), 0);
  EXPECT_EQ(bench.loop.step(), 0) << "an ended loop stays ended";
  EXPECT_TRUE(bench.device.pagerPresent()) << "nothing after quit runs";
}

// Unpaced, far more replies than the terminal holds: the loop waits for room whenever it
// is full and loses, doubles or reorders nothing.
TEST(SimulatorLoop, UnpacedFloodPassesAFullTerminalWhole) {
  Bench bench(false);
  constexpr int kRequests = 1500;  // 105000 bytes of replies
  bool wasFull = false;
  int sent = 0;
  for (int i = 0; i < 100'000 && sent < kRequests; ++i) {
    while (sent < kRequests && bench.request(static_cast<std::uint8_t>(0x60 + sent % 16))) ++sent;
    ASSERT_EQ(bench.loop.step(0ms), std::nullopt);
    wasFull = wasFull || bench.loop.line().waitingForRoom();
  }
  ASSERT_EQ(sent, kRequests);
  for (int i = 0; i < 100 && !wasFull; ++i) {
    ASSERT_EQ(bench.loop.step(0ms), std::nullopt);
    wasFull = bench.loop.line().waitingForRoom();
  }
  EXPECT_TRUE(wasFull) << "the terminal never filled: the test proves nothing";

  std::vector<Frame> got;
  for (int i = 0; i < 100'000 && got.size() < std::size_t(kRequests); ++i) {
    auto more = bench.frames();
    got.insert(got.end(), more.begin(), more.end());
    ASSERT_EQ(bench.loop.step(0ms), std::nullopt);
  }
  ASSERT_EQ(got.size(), std::size_t(kRequests));
  const ConfigImage e = patterned();
  for (int i = 0; i < kRequests; ++i) {
    const std::size_t b = i % 16;
    ASSERT_EQ(got[i], (Frame{static_cast<std::uint8_t>(0x60 + b),
                             Bytes(e.begin() + 64 * b, e.begin() + 64 * (b + 1))}))
        << "reply " << i;
  }
}

// A stop signal that comes at any time ends the loop at its next wait, with status 0, so
// that the owners of the link and the FIFO can remove them.
TEST(SimulatorLoop, AStopSignalEndsIt) {
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    Bench bench(true);
    StopSignals stop;
    bench.loop.stopOn(stop);
    EXPECT_EQ(bench.loop.step(0ms), std::nullopt);
    ::raise(signal);  // held until the loop waits
    EXPECT_EQ(stop.requested(), 0);
    EXPECT_EQ(bench.loop.step(10s), 0) << strsignal(signal);
    EXPECT_EQ(stop.requested(), signal);
  }
}

}  // namespace
}  // namespace palor::sim
