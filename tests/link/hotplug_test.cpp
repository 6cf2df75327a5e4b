// SPDX-License-Identifier: GPL-3.0-or-later
// Port discovery and hot-plug with the real libudev against a simulated device tree
// (umockdev): PL2303 adapters and other serial ports are plugged in and pulled out, the
// program's discovery lists the adapter's ports, its device monitor reports every port, and
// the window's connection watch connects to the simulated charger behind the adapter's
// port and sees it go. Runs under umockdev-wrapper; skipped where that is missing.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>

#include <atomic>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "eeprom_file.h"
#include "link/device_monitor.h"
#include "link/port_discovery.h"
#include "real_time_link.h"
#include "simulated_devices.h"
#include "simulator_loop.h"
#include "ui/messages.h"
#include "ui/vendrel.h"

namespace palor {
namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;
using Names = std::vector<std::string>;
using test::SimulatedDevices;
using test::underUmockdev;

// The simulator's loop serving the far side of a port, on a thread of its own: the charger
// and pager of palor-pager-sim behind the adapter. Like palor-pager-sim it holds a
// descriptor of the port's own side, so that the far side does not hang up between the
// program's opens.
class ChargerBehind {
 public:
  ChargerBehind(int line, const std::string& port)
      : line_(line), holder_(::open(port.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC)) {
    ::fcntl(line_, F_SETFL, ::fcntl(line_, F_GETFL) | O_NONBLOCK);
    thread_ = std::thread([this] {
      sim::SimulatorLoop loop(device_, line_, /*paced=*/false, out_, errors_);
      while (!stop_.load(std::memory_order_acquire))
        if (loop.step(std::chrono::milliseconds(5))) break;
    });
  }
  ~ChargerBehind() {
    stop();
    if (holder_ >= 0) ::close(holder_);
  }
  // The charger is switched off: nothing is answered any more.
  void stop() {
    stop_.store(true, std::memory_order_release);
    if (thread_.joinable()) thread_.join();
  }
  std::string errors() {
    stop();  // read once the thread has ended
    return errors_.str();
  }

 private:
  int line_;
  int holder_;
  sim::ChargerDevice device_{{}, sim::defaultPagerImage()};
  std::ostringstream out_, errors_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// The notices the monitor gives until `count` have come (or a second has passed).
std::vector<DeviceNotice> noticesFrom(DeviceMonitor& monitor, std::size_t count) {
  std::vector<DeviceNotice> notices;
  const auto deadline = std::chrono::steady_clock::now() + 1s;
  while (notices.size() < count && std::chrono::steady_clock::now() < deadline) {
    pollfd readable{monitor.fd(), POLLIN, 0};
    if (::poll(&readable, 1, 50) <= 0) continue;
    for (DeviceNotice n : monitor.drain()) notices.push_back(n);
  }
  return notices;
}

class HotPlug : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!underUmockdev()) GTEST_SKIP() << "needs umockdev-wrapper";
    ::unsetenv("PALOR_EXTRA_PORTS");
  }
};

TEST_F(HotPlug, DiscoveryListsTheAdaptersPortsAndTheMonitorReportsEveryPort) {
  SimulatedDevices devices;
  DeviceMonitor monitor;  // made first, as the program makes it
  ASSERT_GE(monitor.fd(), 0);
  const std::string first = devices.plugAdapter("1-1", "067b", "2303", "ttyUSB0");
  devices.plugAdapter("1-2", "0403", "6001", "ttyUSB1");  // another maker's adapter
  devices.plugAdapter("1-3", "067b", "2303", "ttyUSB10");
  devices.plugAdapter("1-4", "067b", "2304", "ttyUSB2");  // the maker's, another product
  devices.plugBoardPort("ttyS0");

  EXPECT_EQ(portList(adapterPorts()), (Names{"/dev/ttyUSB0", "/dev/ttyUSB10"}));
  ::setenv("PALOR_EXTRA_PORTS", "/tmp/palor-sim:/dev/ttyUSB0", 1);
  EXPECT_EQ(portList(systemPorts()), (Names{"/dev/ttyUSB0", "/dev/ttyUSB10", "/tmp/palor-sim"}))
      << "extra ports join the list, each port once";
  ::unsetenv("PALOR_EXTRA_PORTS");

  using N = DeviceNotice;
  // Every port is a port to the monitor, as on the system the watch was made for.
  std::vector<N> expected;
  for (int i = 0; i < 5; ++i) expected.insert(expected.end(), {N::Arrival, N::NodesChanged});
  EXPECT_EQ(noticesFrom(monitor, expected.size()), expected);
  EXPECT_TRUE(monitor.drain().empty()) << "nothing is left, and the drain does not wait";

  devices.pull(first, "ttyUSB0");
  EXPECT_EQ(noticesFrom(monitor, 2), (std::vector<N>{N::Removal, N::NodesChanged}));
  EXPECT_EQ(portList(adapterPorts()), Names{"/dev/ttyUSB10"});
}

// The window as it starts on a machine without the adapter: nothing ticks. The charger's
// adapter is plugged in, the watch finds the charger behind its port and the pager in it;
// the adapter is pulled out in the middle of a read.
TEST_F(HotPlug, TheWatchConnectsThroughAPluggedAdapterAndSeesItPulledOut) {
  SimulatedDevices devices;
  FormState form;
  form.startUp({.portSource = systemPorts, .watchDevices = true});
  ASSERT_GE(form.link().deviceMonitorFd(), 0);
  EXPECT_FALSE(form.window().comClockRunning || form.window().watchSerialRunning);

  const std::string adapter = devices.plugAdapter("1-1", "067b", "2303", "ttyUSB0");
  ChargerBehind charger(devices.lineOf("ttyUSB0"), "/dev/ttyUSB0");
  LinkClock line = test::clockFor(form, test::kFastTicks);
  ASSERT_TRUE(line.runUntil([&] { return form.window().readFromPagerEnabled; }, 20s))
      << "no pager connected through the plugged adapter; log: "
      << ::testing::PrintToString(form.log().lines())
      << " open: " << form.link().transport().portPath()
      << " ports: " << ::testing::PrintToString(form.link().watch().ports())
      << " charger: " << charger.errors();
  EXPECT_EQ(form.link().transport().portPath(), "/dev/ttyUSB0");
  const Lines connected{"", std::string(msg::kDururoveraConnected),
                        std::string(msg::kPagerConnected)};
  EXPECT_EQ(form.log().lines(), connected);

  form.link().setSentObserver([&](std::span<const std::uint8_t> frame) {
    if (frame.size() > 2 && frame[2] == code::kReadBlock + 3) {
      charger.stop();
      devices.pull(adapter, "ttyUSB0");
    }
  });
  form.ReadFromPagerClick();
  ASSERT_TRUE(line.runUntil([&] { return !form.link().protocol().busy(); }, 20s));
  line.runFor(4 * test::kFastTicks.watchSerial);
  form.link().setSentObserver({});

  Lines expected = connected;
  expected.insert(expected.end(),
                  {std::string(msg::kReadDataFromPager), std::string(msg::kReadEepromFailed),
                   std::string(msg::kDururoveraDisconnected)});
  EXPECT_EQ(form.log().lines(), expected);
  EXPECT_FALSE(form.link().transport().isOpen());
  EXPECT_TRUE(form.link().watch().ports().empty());
  const MainWindowState& w = form.window();
  EXPECT_FALSE(w.comClockRunning || w.watchSerialRunning) << "no port left: nothing ticks";
  EXPECT_FALSE(w.progressVisible || w.readFromPagerEnabled);
  EXPECT_TRUE(w.fileMenuEnabled);
}

}  // namespace
}  // namespace palor
