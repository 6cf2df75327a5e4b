// SPDX-License-Identifier: GPL-3.0-or-later
// The window's link through floods of line noise, end to end: the form state's own serial
// transport opens palor-pager-sim's pseudo-terminal, and the simulator sends 10000 bytes
// of noise, unpaced, in front of every frame: at every answer several times what the
// 2048-byte receive ring holds arrives between two 40 ms ticks, so the ring overruns and
// the receiver starts in the middle of broken frames. The link must connect, read, notice
// the pager taken out and put back in, and write, as on a clean line.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "eeprom_file.h"
#include "real_time_link.h"
#include "sim_process.h"
#include "simulated_pager.h"
#include "temp_folder.h"
#include "ui/messages.h"

namespace palor {
namespace {

using namespace std::chrono_literals;

// The status log lines appended since the last call.
class LogWatch {
 public:
  explicit LogWatch(const FormState& form) : form_(form) {}
  std::vector<std::string> fresh() {
    const auto& lines = form_.log().lines();
    std::vector<std::string> got(lines.begin() + static_cast<std::ptrdiff_t>(seen_), lines.end());
    seen_ = lines.size();
    return got;
  }
  bool contains(std::string_view line) const {
    const auto& lines = form_.log().lines();
    return std::find(lines.begin() + static_cast<std::ptrdiff_t>(seen_), lines.end(), line) !=
           lines.end();
  }

 private:
  const FormState& form_;
  std::size_t seen_ = 0;
};

std::vector<std::string> lines(std::initializer_list<std::string_view> messages) {
  return std::vector<std::string>(messages.begin(), messages.end());
}

TEST(LinkUnderGarbage, ConnectsReadsAndWritesThroughNoiseBeforeEveryFrame) {
  const std::string imagePath = test::scratchPath("noisy-pager.bin");
  const ConfigImage stored = test::programmedPagerImage();
  sim::saveEeprom(imagePath, stored);
  test::SimProcess sim({"--image", imagePath, "--save", "--garbage", "10000", "--no-pace",
                        "--write-time", "50", "--verify-time", "50", "--quiet"});
  const std::string device = sim.readLine();
  ASSERT_FALSE(device.empty()) << "the simulator printed no device path";

  FormState form;
  form.startUp({.ports = {device}});
  LogWatch log(form);
  log.fresh();  // the about text
  // The window's own tick: the noise of one answer comes between two ticks.
  LinkClock link = test::clockFor(form);
  const auto idle = [&] { return !form.link().protocol().busy(); };
  const auto connected = [&] { return form.window().readFromPagerEnabled; };

  // The watch opens the port and probes it; a period later the pager is identified.
  ASSERT_TRUE(link.runUntil(connected, 20s)) << "no connection through the noise";
  EXPECT_EQ(log.fresh(), lines({msg::kDururoveraConnected, msg::kPagerConnected}));

  form.ReadFromPagerClick();
  ASSERT_TRUE(link.runUntil(idle, 30s));
  EXPECT_EQ(log.fresh(), lines({msg::kReadDataFromPager, msg::kReadEepromOk}));
  EXPECT_EQ(form.images().readImage, stored);
  EXPECT_EQ(form.record().text("hellomsg1"), "HELLO PAGER   ");

  // The charger's unasked reports come through the noise too.
  sim.command("out");
  ASSERT_TRUE(link.runUntil([&] { return log.contains(msg::kPagerDisconnected); }, 10s));
  EXPECT_FALSE(form.window().readFromPagerEnabled);
  sim.command("in");
  ASSERT_TRUE(link.runUntil(connected, 10s));
  EXPECT_EQ(log.fresh(), lines({msg::kPagerDisconnected, msg::kPagerConnected}));

  form.record().setText("hellomsg1", "AFTER NOISE   ");
  form.WriteToPagerClick();
  ASSERT_TRUE(link.runUntil(idle, 60s));
  EXPECT_EQ(log.fresh(), lines({msg::kReadDataFromPager, msg::kReadEepromOk, msg::kWriteToPager,
                                msg::kWritingEeprom, msg::kWriteEepromSucceeded,
                                msg::kVerifyEepromSucceeded, msg::kWriteEepromCompleted}));
  FormState written;
  written.startUp();
  ASSERT_TRUE(written.loadImageFile(sim::loadEeprom(imagePath), "pager"));
  EXPECT_EQ(written.record().text("hellomsg1"), "AFTER NOISE   ");
  EXPECT_EQ(written.record().text("bs1"), "20") << "an ordinary write keeps the pager's hardware";

  form.shutDown();
  ::unlink(imagePath.c_str());
}

}  // namespace
}  // namespace palor
