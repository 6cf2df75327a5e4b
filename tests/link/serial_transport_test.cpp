// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/serial_transport.h"

#include <dirent.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>

#include <cstdio>
#include <cstring>
#include <numeric>

#include "as_nobody.h"
#include "test_support.h"

namespace palor {
namespace {

using namespace std::chrono_literals;
using test::Bytes;
using test::PtyPair;
using test::waitUntil;
using Kind = PortOpenError::Kind;

// The reason of a failed open, or nothing when it opened.
std::optional<Kind> openFailure(SerialTransport& t, const std::string& path) {
  const PortOpenOutcome opened = t.open(path);
  if (opened) return std::nullopt;
  return opened.error().kind;
}

Bytes ringBytes(const ReceiveRing& ring, std::uint16_t from, std::size_t count) {
  Bytes bytes;
  for (std::size_t i = 0; i < count; ++i)
    bytes.push_back(ring.at(static_cast<std::uint16_t>(from + i)));
  return bytes;
}

Bytes allByteValues() {
  Bytes bytes(256);
  std::iota(bytes.begin(), bytes.end(), 0);
  return bytes;
}

TEST(SerialTransport, BurstOf70BytesLandsWholeWithDataReady) {
  PtyPair pty;
  SerialTransport t;
  ASSERT_TRUE(t.open(pty.slavePath()));
  Bytes burst(70);
  std::iota(burst.begin(), burst.end(), 0x40);
  pty.send(burst);
  ASSERT_TRUE(waitUntil([&] { return t.ring().writeIndex() == 70 && t.ring().dataReady(); }, 2s));
  EXPECT_EQ(ringBytes(t.ring(), 0, 70), burst);
  EXPECT_TRUE(t.ring().takeDataReady());
  EXPECT_FALSE(t.ring().dataReady()) << "taking the flag clears it";
}

// The line is raw in both directions: no byte is translated, swallowed or added (carriage
// returns, XON/XOFF, interrupt and erase characters are all data here).
TEST(SerialTransport, EveryByteValuePassesUnchangedBothWays) {
  PtyPair pty;
  SerialTransport t;
  ASSERT_TRUE(t.open(pty.slavePath()));
  const Bytes all = allByteValues();
  pty.send(all);
  ASSERT_TRUE(waitUntil([&] { return t.ring().writeIndex() == 256; }, 2s))
      << "received " << t.ring().writeIndex();
  EXPECT_EQ(ringBytes(t.ring(), 0, 256), all);

  ASSERT_TRUE(t.transmit(all));
  EXPECT_TRUE(t.drainOutput(1s));
  EXPECT_EQ(pty.receive(257, 300ms), all);

  termios line{};
  const int fd = ::open(pty.slavePath().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(fd, 0);  // root passes the exclusive mark; only the line settings are read
  ASSERT_EQ(::tcgetattr(fd, &line), 0);
  ::close(fd);
  EXPECT_EQ(::cfgetospeed(&line), B57600);
  EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(line.c_cflag & (PARENB | CSTOPB), 0u);
}

TEST(SerialTransport, BytesAcrossTheRingEndContinueAtIndexZero) {
  PtyPair pty;
  SerialTransport t;
  ASSERT_TRUE(t.open(pty.slavePath()));
  for (int i = 0; i < 4; ++i) {  // 2000 filler bytes, taken by the reader as they come
    pty.send(Bytes(500, 0x55));
    ASSERT_TRUE(waitUntil([&] { return t.ring().writeIndex() == 500 * (i + 1); }, 2s));
    t.ring().setReadIndex(t.ring().writeIndex());
  }
  Bytes across(100);
  std::iota(across.begin(), across.end(), 1);
  pty.send(across);
  ASSERT_TRUE(waitUntil([&] { return t.ring().writeIndex() == (2000 + 100) % 2048; }, 2s));
  EXPECT_EQ(ringBytes(t.ring(), 2000, 100), across);
  EXPECT_EQ(t.ring().at(0), across[48]) << "the 49th byte is the first after the end";
}

TEST(SerialTransport, SecondOpenFailsAndLeavesTheFirstOpen) {
  PtyPair pty, other;
  SerialTransport first;
  ASSERT_TRUE(first.open(pty.slavePath()));

  EXPECT_EQ(openFailure(first, other.slavePath()), Kind::AlreadyOpen) << "one port at a time";
  SerialTransport second;
  EXPECT_EQ(openFailure(second, pty.slavePath()), Kind::Busy) << "held exclusively";
  EXPECT_FALSE(second.isOpen());

  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    SerialTransport stranger;
    ::_exit(openFailure(stranger, pty.slavePath()) == Kind::Busy ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "another process got the port";

  EXPECT_TRUE(first.isOpen());
  EXPECT_EQ(first.portPath(), pty.slavePath());
  const Bytes poll = test::hex("7E 7E 32 00 63 F7");
  EXPECT_TRUE(first.transmit(poll));
  EXPECT_EQ(pty.receive(6, 1s), poll);
  pty.send(poll);
  EXPECT_TRUE(waitUntil([&] { return first.ring().writeIndex() == 6; }, 2s));

  EXPECT_TRUE(first.close());
  EXPECT_TRUE(second.open(pty.slavePath())) << "free again once closed";
}

TEST(SerialTransport, PathsThatAreNoPortFailAndLeaveItClosed) {
  char regular[] = "/tmp/palor-not-a-port-XXXXXX";
  const int fd = ::mkstemp(regular);
  ASSERT_GE(fd, 0);
  ::close(fd);
  const struct {
    std::string path;
    Kind kind;
  } cases[] = {
      {"/dev/palor-no-such-port", Kind::NotFound},
      {"", Kind::NotFound},
      {"/tmp/palor-no-such-folder/ttyUSB0", Kind::NotFound},
      {regular, Kind::NotATerminal},
      {"/tmp", Kind::NotATerminal},
      {"/dev/zero", Kind::NotATerminal},  // once told as "cannot open /dev/zero: Success"
  };
  for (const auto& c : cases) {
    SerialTransport t;
    EXPECT_EQ(openFailure(t, c.path), c.kind) << c.path;
    EXPECT_FALSE(t.isOpen()) << c.path;
    EXPECT_FALSE(t.transmit(test::hex("7E 7E 32 00 63 F7"))) << "closed: " << c.path;
  }
  ::unlink(regular);
}

// A port whose device node keeps this user out says who may open it: the group that owns
// it when that group may read and write it, so that the user can be told which group to
// join; otherwise only its owner, with the udev rule as the remedy.
TEST(SerialTransport, APortWithoutPermissionSaysWhoMayOpenIt) {
  const group* dialout = ::getgrnam("dialout");
  const gid_t owner = dialout ? dialout->gr_gid : 5;
  const std::string group = ::getgrgid(owner) ? ::getgrgid(owner)->gr_name : "";
  const std::string joinGroup = "permission denied (the port belongs to group " + group +
                                "; add your user to that group and log in again)";
  const std::string ownerOnly =
      "permission denied (only the port's owner may open it; install the udev rule "
      "70-palor-programmer.rules into udev's rules directory and plug the adapter in again)";
  using Opener = PortOpenError::Opener;
  const struct {
    mode_t mode;
    Opener opener;
    std::string detail, text;
  } cases[] = {
      {0660, Opener::Group, group, joinGroup},
      {0600, Opener::OwnerOnly, "", ownerOnly},
      {0640, Opener::OwnerOnly, "", ownerOnly},  // the group may read, not write
      {0620, Opener::OwnerOnly, "", ownerOnly},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    PtyPair pty;
    ASSERT_EQ(::chown(pty.slavePath().c_str(), 0, owner), 0);
    ASSERT_EQ(::chmod(pty.slavePath().c_str(), c.mode), 0);
    const auto said = test::runAsNobody([&] {
      SerialTransport t;
      const PortOpenOutcome opened = t.open(pty.slavePath());
      if (opened || opened.error().kind != Kind::NoPermission || t.isOpen()) return 1;
      const PortOpenError& error = opened.error();
      if (error.opener == c.opener && error.detail == c.detail && describe(error) == c.text)
        return 0;
      std::fprintf(stderr, "opener %d, detail '%s': %s\n", static_cast<int>(error.opener),
                   error.detail.c_str(), describe(error).c_str());
      return 2;
    });
    if (!said) GTEST_SKIP() << "needs root to act as another user";
    EXPECT_EQ(*said, 0) << "1: not refused for permission, 2: not who may open it";
  }
}

// The transport sets the port raw at 57600 bit/s; closing it puts back what it found, so a
// probed terminal that is no charger keeps its speed, echo and line editing.
TEST(SerialTransport, ClosingPutsBackTheLineSettingsTheOpenFound) {
  PtyPair pty;
  const int holder = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(holder, 0);  // the terminal's other user, who looks at its settings
  termios cooked{};
  ASSERT_EQ(::tcgetattr(holder, &cooked), 0);
  cooked.c_lflag |= ICANON | ECHO | ISIG;
  cooked.c_iflag |= ICRNL | IXON;
  cooked.c_oflag |= OPOST | ONLCR;
  ASSERT_EQ(::cfsetispeed(&cooked, B9600), 0);
  ASSERT_EQ(::cfsetospeed(&cooked, B9600), 0);
  ASSERT_EQ(::tcsetattr(holder, TCSANOW, &cooked), 0);
  ASSERT_EQ(::tcgetattr(holder, &cooked), 0);

  SerialTransport t;
  ASSERT_TRUE(t.open(pty.slavePath()));
  termios line{};
  ASSERT_EQ(::tcgetattr(holder, &line), 0);
  EXPECT_EQ(::cfgetospeed(&line), B57600) << "raw while the transport has it";
  EXPECT_EQ(line.c_lflag & (ICANON | ECHO), 0u);
  ASSERT_TRUE(t.close());

  ASSERT_EQ(::tcgetattr(holder, &line), 0);
  ::close(holder);
  EXPECT_EQ(::cfgetispeed(&line), B9600);
  EXPECT_EQ(::cfgetospeed(&line), B9600);
  EXPECT_EQ(line.c_iflag, cooked.c_iflag);
  EXPECT_EQ(line.c_oflag, cooked.c_oflag);
  EXPECT_EQ(line.c_cflag, cooked.c_cflag);
  EXPECT_EQ(line.c_lflag, cooked.c_lflag);
  EXPECT_EQ(std::memcmp(line.c_cc, cooked.c_cc, sizeof line.c_cc), 0);
}

TEST(SerialTransport, SuppressedTransmissionSendsNothingUntilTheNextOpen) {
  PtyPair pty;
  SerialTransport t;
  ASSERT_TRUE(t.open(pty.slavePath()));
  const Bytes poll = test::hex("7E 7E 32 00 63 F7");
  t.setTransmissionSuppressed(true);
  EXPECT_FALSE(t.transmit(poll));
  EXPECT_TRUE(pty.receive(1, 100ms).empty());

  ASSERT_TRUE(t.close());
  EXPECT_TRUE(t.transmissionSuppressed()) << "closing keeps the flag";
  ASSERT_TRUE(t.open(pty.slavePath()));
  EXPECT_FALSE(t.transmissionSuppressed());
  EXPECT_TRUE(t.transmit(poll));
  EXPECT_EQ(pty.receive(6, 1s), poll);
}

TEST(SerialTransport, CloseWithNothingOpenSucceeds) {
  SerialTransport t;
  EXPECT_TRUE(t.close());
  EXPECT_TRUE(t.close());
  EXPECT_FALSE(t.isOpen());
}

double processCpuMs() {
  timespec ts{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

TEST(SerialTransport, FarSideHangingUpEndsTheWorkerWithoutSpinning) {
  PtyPair pty;
  SerialTransport t;
  ASSERT_TRUE(t.open(pty.slavePath()));
  ASSERT_FALSE(t.linkLost());
  const auto start = std::chrono::steady_clock::now();
  pty.hangUp();
  ASSERT_TRUE(waitUntil([&] { return t.linkLost(); }, 100ms)) << "worker still running";
  const auto took = std::chrono::steady_clock::now() - start;
  RecordProperty(
      "hangup_detect_us",
      std::to_string(std::chrono::duration_cast<std::chrono::microseconds>(took).count()));

  const double cpuBefore = processCpuMs();
  std::this_thread::sleep_for(200ms);
  EXPECT_LT(processCpuMs() - cpuBefore, 40.0) << "something keeps the processor busy";

  EXPECT_FALSE(t.transmit(test::hex("7E 7E 32 00 63 F7"))) << "sending on a lost link";
  EXPECT_TRUE(t.isOpen()) << "the port stays open until it is closed";
  EXPECT_TRUE(t.close());
}

std::size_t entries(const char* dir) {
  std::size_t n = 0;
  if (DIR* d = ::opendir(dir)) {
    while (::readdir(d)) ++n;
    ::closedir(d);
  }
  return n;
}

TEST(SerialTransport, ThousandOpenCloseCyclesLeakNoDescriptorOrThread) {
  PtyPair pty;
  SerialTransport t;
  // One cycle first, so that anything made once per process is already there.
  ASSERT_TRUE(t.open(pty.slavePath()));
  ASSERT_TRUE(t.close());
  const std::size_t fds = entries("/proc/self/fd");
  const std::size_t threads = entries("/proc/self/task");
  for (int i = 0; i < 1000; ++i) {
    ASSERT_TRUE(t.open(pty.slavePath())) << "cycle " << i;
    if (i % 100 == 0) pty.send(Bytes{0x7E});
    ASSERT_TRUE(t.close()) << "cycle " << i;
  }
  EXPECT_EQ(entries("/proc/self/fd"), fds);
  EXPECT_EQ(entries("/proc/self/task"), threads);
}

}  // namespace
}  // namespace palor
