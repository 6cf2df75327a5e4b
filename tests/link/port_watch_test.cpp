// SPDX-License-Identifier: GPL-3.0-or-later
// The connection watch on ticks: real ports that open (pseudo-terminals under chosen names),
// the simulated charger behind one of them in simulated time, and the device changes the
// window hands over. Every expectation is counted in watch ticks, never in time.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "as_nobody.h"
#include "named_ports.h"
#include "simulated_pager.h"
#include "test_support.h"
#include "ui/messages.h"

namespace palor {
namespace {

using test::NamedPorts;
using test::SimulatedPager;
using Lines = std::vector<std::string>;
using namespace std::chrono_literals;

// Protocol ticks of 40 ms in one watch period of 500 ms (12.5, taken as 12).
constexpr int kTicksPerWatchTick = 12;

// A window whose port source is `listed`, which the test changes as ports come and go.
class WatchedWindow {
 public:
  void startUp(const std::vector<std::string>& names,
               const std::vector<std::string>& missing = {}) {
    for (const std::string& n : names)
      listed.push_back(ports.add(n, std::find(missing.begin(), missing.end(), n) == missing.end()));
    form.startUp({.portSource = [this] { return listed; }});
    seen_ = form.log().lines().size();
  }

  // One watch period: the protocol ticks while its timer runs, then the watch tick while
  // the watch timer runs, as the window's two timers would.
  void watchTick() {
    for (int i = 0; i < kTicksPerWatchTick; ++i)
      if (form.window().comClockRunning) pager.tick();
    if (form.window().watchSerialRunning) form.watch_serialTimer();
  }
  // Watch periods until the charger answered and the pager is identified.
  void connect() {
    for (int i = 0; i < 40 && !form.window().readFromPagerEnabled; ++i) watchTick();
    ASSERT_TRUE(form.window().readFromPagerEnabled) << "no pager identified";
    newLines();
  }
  void unlist(const std::string& name) { std::erase(listed, ports.path(name)); }

  // The name of the port open now; empty when none is.
  std::string openPort() {
    const SerialTransport& t = form.link().transport();
    return t.isOpen() ? ports.name(t.portPath()) : "";
  }
  Lines newLines() {
    const auto& lines = form.log().lines();
    Lines fresh(lines.begin() + static_cast<std::ptrdiff_t>(seen_), lines.end());
    seen_ = lines.size();
    return fresh;
  }

  NamedPorts ports;
  std::vector<std::string> listed;
  FormState form;
  SimulatedPager pager{form};

 private:
  std::size_t seen_ = 0;
};

class PortWatchTest : public ::testing::Test, public WatchedWindow {};

TEST(PortWatch, ScanProbesThePortsInOrderAndKeepsTheOneWhoseChargerAnswers) {
  struct Case {
    const char* what;
    std::vector<std::string> ports;                  // as the port source gives them
    std::vector<std::string> missing;                // of those, the ones without a device node
    std::string charger;                             // where the charger sits; empty: nowhere
    int chargerOnAt;                                 // the watch tick from which it answers
    int ticks;                                       // watch ticks run
    std::vector<std::pair<int, std::string>> opens;  // (watch tick, port) of every open
    int connectedAt;  // the tick that logs "Dururovera connected."; 0: none does
  };
  const Case cases[] = {
      // Opened and polled, closed after one tick without an answer; the next port is
      // opened at the tick after; connected one tick after the charger's answer.
      {"the charger on the second of two ports",
       {"COM4", "COM3"},
       {},
       "COM4",
       0,
       6,
       {{1, "COM3"}, {3, "COM4"}},
       4},
      {"ports go in text order, letter case ignored: COM10 before com3",
       {"com3", "COM4", "COM10"},
       {},
       "com3",
       0,
       6,
       {{1, "COM10"}, {3, "com3"}},
       4},
      {"a port that does not open is passed within the same tick",
       {"COM1", "COM2"},
       {"COM1"},
       "COM2",
       0,
       4,
       {{1, "COM2"}},
       2},
      // The first probe goes unanswered; the port is tried again after its back-off.
      {"a charger switched on after its port was probed is found",
       {"COM1"},
       {},
       "COM1",
       3,
       14,
       {{1, "COM1"}, {12, "COM1"}},
       13},
      {"a port with something else behind it is opened once in eleven ticks",
       {"COM1"},
       {},
       "",
       0,
       34,
       {{1, "COM1"}, {12, "COM1"}, {23, "COM1"}, {34, "COM1"}},
       0},
      {"two ports without a charger take turns, each backing off",
       {"COM1", "COM2"},
       {},
       "",
       0,
       16,
       {{1, "COM1"}, {3, "COM2"}, {12, "COM1"}, {14, "COM2"}},
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    NamedPorts folder;
    std::vector<std::string> names;
    for (const std::string& n : c.ports)
      names.push_back(
          folder.add(n, std::find(c.missing.begin(), c.missing.end(), n) == c.missing.end()));
    FormState form;
    form.startUp({.portSource = fixedPorts(names)});
    SimulatedPager pager(form);
    pager.chargerPort = folder.path(c.charger.empty() ? "nowhere" : c.charger);
    pager.silent = c.chargerOnAt > 1;
    const std::size_t logStart = form.log().lines().size();

    std::vector<std::pair<int, std::string>> opens;
    int connectedAt = 0;
    std::string wasOpen;
    for (int tick = 1; tick <= c.ticks; ++tick) {
      if (tick >= c.chargerOnAt) pager.silent = false;
      for (int i = 0; i < kTicksPerWatchTick; ++i)
        if (form.window().comClockRunning) pager.tick();
      const std::size_t framesBefore = pager.sent.size();
      if (form.window().watchSerialRunning) form.watch_serialTimer();
      const SerialTransport& t = form.link().transport();
      const std::string open = t.isOpen() ? folder.name(t.portPath()) : "";
      if (!open.empty() && pager.sent.size() > framesBefore) {
        opens.push_back({tick, open});
        // An open is a presence poll on the port just opened.
        EXPECT_EQ(pager.sent.back().bytes, test::hex("7E 7E 32 00 63 F7")) << "tick " << tick;
        EXPECT_EQ(pager.sent.back().port, t.portPath()) << "tick " << tick;
      }
      if (!wasOpen.empty() && wasOpen != c.charger) {
        EXPECT_NE(open, wasOpen) << "tick " << tick << ": a probe without an answer closes";
      }
      wasOpen = open;
      if (form.log().lines().size() > logStart && !connectedAt) connectedAt = tick;
    }
    EXPECT_EQ(opens, c.opens);
    EXPECT_EQ(connectedAt, c.connectedAt);
    const Lines log(form.log().lines().begin() + static_cast<std::ptrdiff_t>(logStart),
                    form.log().lines().end());
    // Ports that do not open or do not answer are passed without a word.
    EXPECT_EQ(log, c.connectedAt ? Lines{std::string(msg::kDururoveraConnected)} : Lines{});
    if (c.connectedAt) {
      EXPECT_EQ(folder.name(form.link().transport().portPath()), c.charger);
      EXPECT_EQ(form.link().watch().state(), WatchState::Off);
      EXPECT_FALSE(form.window().watchSerialRunning) << "the watch stops once connected";
      EXPECT_TRUE(form.window().comClockRunning) << "the protocol timer goes on";
    }
  }
}

TEST(PortWatch, RemovalsAsTheDeviceChangeHandlingTakesThem) {
  struct Case {
    const char* what;
    std::vector<std::string> ports;
    std::string charger;       // connected through it before the removal; empty: nothing opened
    bool reading;              // a read is in hand when the port goes
    std::string removed;       // the port that leaves the list; empty: the notice alone
    Lines log;                 // what the removal logs
    std::string openAfter;     // the port open right after the removal
    bool scanningAfter;        // the watch scans again (both timers running); else it is off
    std::string openNextTick;  // the port open one watch tick later
  };
  const std::string disconnected(msg::kDururoveraDisconnected);
  const Case cases[] = {
      {"the open port pulled, another port left",
       {"COM1", "COM2"},
       "COM2",
       false,
       "COM2",
       {disconnected},
       "",
       true,
       "COM1"},
      {"the open port pulled during a read",
       {"COM1"},
       "COM1",
       true,
       "COM1",
       {std::string(msg::kReadEepromFailed), disconnected},
       "",
       false,
       ""},
      // The scan starts again and stops at once at the open port, which is the first.
      {"another port pulled, the open port first in the list",
       {"COM1", "COM2"},
       "COM1",
       false,
       "COM2",
       {},
       "COM1",
       true,
       "COM1"},
      // An empty remembered name is never in the list.
      {"a removal before any port was opened", {}, "", false, "", {disconnected}, "", false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WatchedWindow t;
    t.startUp(c.ports);
    if (!c.charger.empty()) {
      t.pager.chargerPort = t.ports.path(c.charger);
      t.connect();
      ASSERT_EQ(t.openPort(), c.charger);
    }
    if (c.reading) t.form.ReadFromPagerClick();
    t.newLines();
    const std::size_t framesBefore = t.pager.sent.size();

    if (!c.removed.empty()) t.unlist(c.removed);
    t.form.DeviceChange(DeviceNotice::Removal);
    t.form.DeviceChange(DeviceNotice::NodesChanged);  // nothing pending: no second action

    EXPECT_EQ(t.newLines(), c.log);
    const MainWindowState& w = t.form.window();
    if (c.log.empty()) {
      EXPECT_TRUE(w.readFromPagerEnabled) << "the connection is kept";
    } else {
      EXPECT_FALSE(w.readFromPagerEnabled || w.writeToPagerEnabled);
    }
    EXPECT_FALSE(w.progressVisible) << "no read or write is left hanging";
    EXPECT_TRUE(w.fileMenuEnabled);
    EXPECT_EQ(t.openPort(), c.openAfter);
    EXPECT_EQ(t.form.link().watch().state(),
              c.scanningAfter ? WatchState::Scanning : WatchState::Off);
    EXPECT_EQ(w.watchSerialRunning, c.scanningAfter);
    EXPECT_EQ(w.comClockRunning, c.scanningAfter) << "with no port left nothing ticks";

    t.watchTick();
    EXPECT_EQ(t.openPort(), c.openNextTick);
    if (c.openNextTick == c.openAfter && !c.openAfter.empty()) {
      EXPECT_EQ(t.pager.sent.size(), framesBefore) << "nothing else happens";
    }
    EXPECT_EQ(t.newLines(), Lines{}) << "the removal is said once";
  }
}

// Start-up with no adapter: neither timer runs. The plug-in's arrival only refills the
// list; the nodes-changed notice after it starts both timers and the scan.
TEST_F(PortWatchTest, NoTimerRunsWithoutAPortAndAPlugInStartsBoth) {
  startUp({});
  EXPECT_FALSE(form.window().comClockRunning || form.window().watchSerialRunning);
  EXPECT_EQ(form.link().watch().state(), WatchState::Off);

  listed.push_back(ports.add("ttyUSB0"));
  pager.chargerPort = listed.back();
  form.DeviceChange(DeviceNotice::Arrival);
  EXPECT_EQ(form.link().watch().PortCount(), 1u);
  EXPECT_EQ(form.link().watch().pendingDeviceChange(), PendingDeviceChange::Arrival);
  EXPECT_FALSE(form.window().comClockRunning || form.window().watchSerialRunning);

  form.DeviceChange(DeviceNotice::NodesChanged);
  EXPECT_EQ(form.link().watch().pendingDeviceChange(), PendingDeviceChange::None);
  EXPECT_TRUE(form.window().comClockRunning && form.window().watchSerialRunning);
  watchTick();
  EXPECT_EQ(openPort(), "ttyUSB0");
  watchTick();
  EXPECT_EQ(newLines(), Lines{std::string(msg::kDururoveraConnected)});
}

// A port that arrives ahead of the open one restarts the scan, which gives the open port up
// to try the newcomer; when that one does not open, the scan comes back to the charger.
TEST_F(PortWatchTest, AnArrivalThatDoesNotOpenDoesNotCostTheConnection) {
  startUp({"COM2"});
  pager.chargerPort = ports.path("COM2");
  connect();
  listed.push_back(ports.add("COM1", false));
  form.DeviceChange(DeviceNotice::Arrival);
  form.DeviceChange(DeviceNotice::NodesChanged);
  watchTick();
  EXPECT_EQ(openPort(), "COM2") << "reopened and probed";
  watchTick();
  EXPECT_EQ(newLines(), Lines{std::string(msg::kDururoveraConnected)});
  EXPECT_EQ(form.link().watch().state(), WatchState::Off);
}

// A device change while a port is being probed starts the search over: the probe in hand
// is given up, its port closed, and an answer that came for it is not taken for the next
// port's.
TEST(PortWatch, ADeviceChangeWhileAPortIsProbedStartsTheSearchOver) {
  struct Case {
    const char* what;
    std::string probed;   // listed at start, probed when the change comes
    std::string arrives;  // the port that arrives
    std::string charger;
    bool answered;                  // the charger's answer came before the change
    std::vector<std::string> open;  // the port open after each of the next four ticks
  };
  const Case cases[] = {
      {"the newcomer sorts after the probed port",
       "COM1",
       "COM2",
       "COM2",
       false,
       {"COM1", "", "COM2", "COM2"}},
      {"the probed port had answered", "COM1", "COM0", "COM1", true, {"COM0", "", "COM1", "COM1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WatchedWindow t;
    t.startUp({c.probed});
    t.pager.chargerPort = t.ports.path(c.charger);
    t.watchTick();
    ASSERT_EQ(t.form.link().watch().state(), WatchState::Probing);
    if (c.answered) t.pager.tick(kTicksPerWatchTick);
    t.listed.push_back(t.ports.add(c.arrives));
    t.form.DeviceChange(DeviceNotice::Arrival);
    t.form.DeviceChange(DeviceNotice::NodesChanged);
    std::vector<std::string> open;
    for (int tick = 0; tick < 4; ++tick) {
      t.watchTick();
      open.push_back(t.openPort());
    }
    EXPECT_EQ(open, c.open);
    EXPECT_EQ(t.newLines(), Lines{std::string(msg::kDururoveraConnected)})
        << "on the charger's port";
  }
}

// The far side of the open port hangs up (an adapter pulled out, a simulator ended): at the
// next protocol tick the port is taken as removed, said once, even when udev reports the
// removal as well.
TEST_F(PortWatchTest, AHangUpIsTheOpenPortsRemovalSaidOnce) {
  startUp({"COM1"});
  pager.chargerPort = ports.path("COM1");
  connect();
  ports.hangUp("COM1");
  ASSERT_TRUE(test::waitUntil([&] { return form.link().transport().linkLost(); }, 2s));
  pager.tick();
  EXPECT_EQ(newLines(), Lines{std::string(msg::kDururoveraDisconnected)});
  EXPECT_EQ(openPort(), "");
  EXPECT_FALSE(form.window().readFromPagerEnabled);
  EXPECT_EQ(form.link().watch().state(), WatchState::Scanning) << "the port is still listed";

  unlist("COM1");
  form.DeviceChange(DeviceNotice::Removal);
  form.DeviceChange(DeviceNotice::NodesChanged);
  EXPECT_EQ(newLines(), Lines{});
  EXPECT_FALSE(form.window().comClockRunning || form.window().watchSerialRunning);
}

// A listed port that this user may not open, or that another program holds, is said once
// in the run with its reason and remedy; a missing port is passed silently. The port is
// retried at its ticks all the while.
TEST(PortWatchDiagnostics, APortRefusedForAReasonTheUserCanMendIsSaidOnce) {
  NamedPorts folder;
  const std::string noRights = folder.add("ttyUSB0");
  const std::string held = folder.add("ttyUSB1");
  const std::string missing = folder.add("ttyUSB2", false);
  const group* dialout = ::getgrnam("dialout");
  const gid_t owner = dialout ? dialout->gr_gid : 20;
  const std::string group = ::getgrgid(owner) ? ::getgrgid(owner)->gr_name : "";
  ASSERT_EQ(::chown(folder.device("ttyUSB0").c_str(), 0, owner), 0);
  ASSERT_EQ(::chmod(folder.device("ttyUSB0").c_str(), 0660), 0);
  ASSERT_EQ(::chmod(folder.device("ttyUSB1").c_str(), 0666), 0);
  const int holder = ::open(held.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0) << "another program's hold on the port";

  const Lines expected{
      "",  // the about line of start-up
      "Cannot open " + noRights + ": permission denied (the port belongs to group " + group +
          "; add your user to that group and log in again)",
      "Cannot open " + held + ": the port is in use by another program",
  };
  const auto status = test::runAsNobody([&] {
    FormState form;
    form.startUp({.portSource = fixedPorts({missing, held, noRights})});
    for (int tick = 0; tick < 40; ++tick) form.watch_serialTimer();
    if (form.log().lines() == expected) return 0;
    for (const std::string& line : form.log().lines())
      std::fprintf(stderr, "logged: %s\n", line.c_str());
    return 1;
  });
  ::close(holder);
  if (!status) GTEST_SKIP() << "needs root to act as another user";
  EXPECT_EQ(*status, 0) << "the log is not the two lines, each once";
}

}  // namespace
}  // namespace palor
