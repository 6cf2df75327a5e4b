// SPDX-License-Identifier: GPL-3.0-or-later
#include "charger_device.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

namespace palor::sim {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

struct Reply {
  std::uint8_t code;
  Bytes data;
  bool checksumOk;
  bool operator==(const Reply&) const = default;
};

Reply ok(std::uint8_t code, Bytes data = {}) { return {code, std::move(data), true}; }

ConfigImage patterned() {
  ConfigImage e{};
  for (std::size_t i = 0; i < e.size(); ++i) e[i] = static_cast<std::uint8_t>(i * 13 + (i >> 8));
  return e;
}

Bytes block(const ConfigImage& e, std::size_t b) {
  return Bytes(e.begin() + 64 * b, e.begin() + 64 * (b + 1));
}

// Plays the programmer: sends frames to the device and takes apart what comes back.
class Programmer {
 public:
  explicit Programmer(DeviceOptions options = {}, const ConfigImage& eeprom = patterned())
      : device(std::move(options), eeprom) {}

  void send(std::uint8_t code, const Bytes& data = {}) {
    const FrameBytes f = buildFrame(code, data);
    device.receive(f.view(), now);
  }
  // Everything due within `wait` from now.
  std::vector<Reply> replies(std::chrono::milliseconds wait = 0ms) {
    now += wait;
    std::vector<Reply> got;
    for (std::uint8_t b : device.takeDue(now))
      if (receiver_.take(b)) {
        const auto& f = receiver_.frame();
        got.push_back({f.code(), Bytes(f.data().begin(), f.data().end()), f.checksumOk()});
      }
    return got;
  }
  std::vector<Reply> exchange(std::uint8_t code, const Bytes& data = {}) {
    send(code, data);
    return replies();
  }
  // Writes all 16 blocks of the image and collects the acknowledgements.
  std::vector<Reply> writeAll(const ConfigImage& image) {
    std::vector<Reply> acks;
    for (std::uint8_t b = 0; b < 16; ++b) {
      auto r = exchange(static_cast<std::uint8_t>(0x70 + b), block(image, b));
      acks.insert(acks.end(), r.begin(), r.end());
    }
    return acks;
  }

  Clock::time_point now{};
  ChargerDevice device;

 private:
  FrameReceiver receiver_{isChargerCode};
};

TEST(ChargerDevice, AnswersRequestsAsTheChargerAndPagerDo) {
  const ConfigImage e = patterned();
  DeviceOptions empty;
  empty.pagerPresent = false;
  DeviceOptions v4;
  v4.firmwareVersion = 4;
  v4.firmwareRevision = 0;
  DeviceOptions invalid;
  invalid.identificationValid = false;
  DeviceOptions noRevision;
  noRevision.firmwareVersion = 2;
  noRevision.revisionByte = false;
  const struct {
    const char* name;
    DeviceOptions options;
    std::uint8_t code;
    std::vector<Reply> expected;
  } cases[] = {
      {"presence poll, pager in", {}, 0x32, {ok(0x31)}},
      {"presence poll, charger empty", empty, 0x32, {ok(0x30)}},
      {"identify, default firmware 3.3", {}, 0x48, {ok(0x48, {1, 3, 3})}},
      {"identify, firmware 4.0", v4, 0x48, {ok(0x48, {1, 4, 0})}},
      {"identify, invalid identification", invalid, 0x48, {ok(0x48, {0, 3, 3})}},
      {"identify, two data bytes", noRevision, 0x48, {ok(0x48, {1, 2})}},
      {"identify, charger empty", empty, 0x48, {ok(0x30)}},
      {"read block 0", {}, 0x60, {ok(0x60, block(e, 0))}},
      {"read block 5", {}, 0x65, {ok(0x65, block(e, 5))}},
      {"read block 15", {}, 0x6F, {ok(0x6F, block(e, 15))}},
      {"read block, charger empty", empty, 0x62, {ok(0x30)}},
      {"closing command", {}, 0x49, {}},
  };
  for (const auto& c : cases) {
    Programmer p(c.options, e);
    EXPECT_EQ(p.exchange(c.code), c.expected) << c.name;
  }
}

// A wrong checksum or a write block without its 64 bytes changes nothing and gets no reply.
TEST(ChargerDevice, IgnoresFramesItCannotUse) {
  Programmer p;
  FrameBytes poll = buildFrame(0x32);
  poll.bytes[poll.length - 1] ^= 0x01;
  p.device.receive(poll.view(), p.now);
  EXPECT_TRUE(p.exchange(0x7F, Bytes(10, 0xAA)).empty());
  EXPECT_TRUE(p.replies(10s).empty());
  EXPECT_EQ(p.device.eeprom(), patterned());
  EXPECT_EQ(p.exchange(0x32), std::vector<Reply>{ok(0x31)}) << "and listens on afterwards";
}

TEST(ChargerDevice, WritesItsEepromAfterTheLastBlockThenReports) {
  DeviceOptions o;
  o.writeTime = 300ms;
  o.verifyTime = 200ms;
  Programmer p(o);
  ConfigImage image{};
  std::iota(image.begin(), image.end(), 0);
  int written = 0;
  p.device.onEepromWritten([&](const ConfigImage& e) {
    ++written;
    EXPECT_EQ(e, image);
  });

  const auto acks = p.writeAll(image);
  ASSERT_EQ(acks.size(), 16u);
  for (std::uint8_t b = 0; b < 16; ++b) EXPECT_EQ(acks[b], ok(static_cast<std::uint8_t>(0x70 + b)));
  EXPECT_EQ(p.device.eeprom(), image);
  EXPECT_EQ(written, 1);

  EXPECT_TRUE(p.replies(299ms).empty()) << "the pager takes its time to write";
  EXPECT_EQ(p.replies(1ms), std::vector<Reply>{ok(0x4A)});
  EXPECT_TRUE(p.replies(199ms).empty());
  EXPECT_EQ(p.replies(1ms), std::vector<Reply>{ok(0x4C)});
  for (std::uint8_t b = 0; b < 16; ++b)
    EXPECT_EQ(p.exchange(static_cast<std::uint8_t>(0x60 + b)),
              std::vector<Reply>{ok(static_cast<std::uint8_t>(0x60 + b), block(image, b))});
}

// The fault switches, each with the replies it must produce.
TEST(ChargerDevice, FaultSwitches) {
  const ConfigImage e = patterned();
  ConfigImage image{};
  image.fill(0x5A);

  {  // refuse the write: write-impossible, the EEPROM keeps its content
    DeviceOptions o;
    o.refuseWrite = true;
    Programmer p(o, e);
    p.writeAll(image);
    EXPECT_EQ(p.replies(10s), std::vector<Reply>{ok(0x4B)});
    EXPECT_EQ(p.device.eeprom(), e);
  }
  {  // fail the verify: written, then verify-failed
    DeviceOptions o;
    o.failVerify = true;
    Programmer p(o, e);
    p.writeAll(image);
    EXPECT_EQ(p.replies(10s), (std::vector<Reply>{ok(0x4A), ok(0x4D)}));
    EXPECT_EQ(p.device.eeprom(), image);
  }
  {  // the wrong block: block 3 is answered and acknowledged as block 4
    DeviceOptions o;
    o.wrongBlock = 3;
    Programmer p(o, e);
    EXPECT_EQ(p.exchange(0x63), std::vector<Reply>{ok(0x64, block(e, 4))});
    EXPECT_EQ(p.exchange(0x62), std::vector<Reply>{ok(0x62, block(e, 2))});
    EXPECT_EQ(p.exchange(0x73, block(image, 3)), std::vector<Reply>{ok(0x74)});
  }
  {  // the pager taken out at block 2: no-pager report, then it stays out until put back
    DeviceOptions o;
    o.pullAtBlock = 2;
    Programmer p(o, e);
    EXPECT_EQ(p.exchange(0x61), std::vector<Reply>{ok(0x61, block(e, 1))});
    EXPECT_EQ(p.exchange(0x62), std::vector<Reply>{ok(0x30)});
    EXPECT_EQ(p.exchange(0x32), std::vector<Reply>{ok(0x30)});
    p.device.putPagerIn(p.now);
    EXPECT_EQ(p.replies(), std::vector<Reply>{ok(0x31)});
    EXPECT_EQ(p.exchange(0x62), std::vector<Reply>{ok(0x62, block(e, 2))}) << "only once";
  }
  {  // drop the 2nd and corrupt the 3rd frame sent
    DeviceOptions o;
    o.dropFrames = {2};
    o.corruptFrames = {3};
    Programmer p(o, e);
    EXPECT_EQ(p.exchange(0x32), std::vector<Reply>{ok(0x31)});
    EXPECT_TRUE(p.exchange(0x32).empty());
    EXPECT_EQ(p.exchange(0x32), (std::vector<Reply>{{0x31, {}, false}}));
    EXPECT_EQ(p.exchange(0x32), std::vector<Reply>{ok(0x31)});
    EXPECT_EQ(p.device.framesSent(), 4u);
  }
  {  // delayed replies
    DeviceOptions o;
    o.replyDelay = 250ms;
    Programmer p(o, e);
    EXPECT_TRUE(p.exchange(0x32).empty());
    EXPECT_TRUE(p.replies(249ms).empty());
    EXPECT_EQ(p.replies(1ms), std::vector<Reply>{ok(0x31)});
  }
}

// Line noise in front of every frame: a receiver that starts anywhere in it (as one does
// after its ring overran) completes no frame with a matching checksum but the reply that
// follows it, and the noise ends quiet, so that the reply comes through whole. The sizes
// sit around the 70-byte quiet tail; 3000 holds plenty of broken frames.
TEST(ChargerDevice, LineNoiseBeforeEveryFrameHidesNoFrameOfItsOwn) {
  for (std::size_t size : {1u, 69u, 70u, 71u, 3000u}) {
    SCOPED_TRACE(size);
    DeviceOptions o;
    o.garbageBytes = size;
    Programmer p(o);
    for (int round = 0; round < 2; ++round) {
      p.send(0x32);
      const Bytes bytes = p.device.takeDue(p.now);
      ASSERT_EQ(bytes.size(), size + 6);
      const FrameBytes reply = buildFrame(0x31);
      EXPECT_TRUE(std::equal(reply.view().begin(), reply.view().end(), bytes.end() - 6));
      const auto tail = static_cast<std::ptrdiff_t>(std::min<std::size_t>(size, 70));
      const auto quiet = bytes.end() - 6 - tail;
      EXPECT_EQ(std::count(quiet, bytes.end() - 6, 0x7E), 0);
      if (size == 3000) {
        EXPECT_GT(std::count(bytes.begin(), quiet, 0x7E), 100);
      }

      std::vector<std::size_t> starts{0};
      for (std::size_t i = 0; i < size; ++i)
        if (bytes[i] == 0x7E) starts.push_back(i);
      for (std::size_t start : starts) {
        FrameReceiver receiver(isChargerCode);
        std::vector<std::uint8_t> matching;
        for (std::size_t i = start; i < bytes.size(); ++i)
          if (receiver.take(bytes[i]) && receiver.frame().checksumOk())
            matching.push_back(receiver.frame().code());
        ASSERT_EQ(matching, Bytes{0x31}) << "starting at " << start;
      }
    }
  }
}

TEST(ChargerDevice, ReportsThePagerPutInAndTakenOutUnasked) {
  Programmer p;
  p.device.putPagerIn(p.now);  // already in: nothing to report
  EXPECT_TRUE(p.replies().empty());
  p.device.takePagerOut(p.now);
  p.device.takePagerOut(p.now);
  EXPECT_EQ(p.replies(), std::vector<Reply>{ok(0x30)});
  p.device.putPagerIn(p.now);
  EXPECT_EQ(p.replies(), std::vector<Reply>{ok(0x31)});
}

TEST(ChargerDevice, PagerTakenOutBeforeItsReportsLosesThem) {
  Programmer p;
  p.writeAll(patterned());
  p.device.takePagerOut(p.now);
  EXPECT_EQ(p.replies(10s), std::vector<Reply>{ok(0x30)});
}

// The blocks of a write cut short go with the pager: the next write starts afresh.
TEST(ChargerDevice, PagerTakenOutDuringAWriteForgetsItsBlocks) {
  const ConfigImage e = patterned();
  Programmer p({}, e);
  ConfigImage first{}, second{};
  first.fill(0x11);
  second.fill(0x22);
  for (std::uint8_t b = 0; b < 8; ++b)
    p.exchange(static_cast<std::uint8_t>(0x70 + b), block(first, b));
  p.device.takePagerOut(p.now);
  p.device.putPagerIn(p.now);
  for (std::uint8_t b = 8; b < 16; ++b)
    p.exchange(static_cast<std::uint8_t>(0x70 + b), block(second, b));
  ConfigImage expected = e;
  std::copy(second.begin() + 512, second.end(), expected.begin() + 512);
  EXPECT_EQ(p.device.eeprom(), expected);
}

// --swap-after: the written pager goes out MS after its verify report and a fresh one
// comes in MS later, the fresh EEPROMs in turn; a failed write keeps its pager in.
TEST(ChargerDevice, SwapsAWrittenPagerForAFreshOne) {
  ConfigImage second{}, third{}, written{};
  second.fill(0x22);
  third.fill(0x33);
  written.fill(0x77);
  for (const bool failVerify : {false, true}) {
    SCOPED_TRACE(failVerify ? "verify failed" : "verify passed");
    DeviceOptions o;
    o.writeTime = 300ms;
    o.verifyTime = 200ms;
    o.swapAfter = 1000ms;
    o.failVerify = failVerify;
    o.freshPagers = {patterned(), second, third};
    Programmer p(o);
    p.writeAll(written);
    EXPECT_EQ(p.replies(500ms).size(), 2u) << "write-done and the verify report";
    EXPECT_TRUE(p.replies(999ms).empty());
    if (failVerify) {
      EXPECT_TRUE(p.replies(10s).empty());
      EXPECT_EQ(p.device.pagerOrdinal(), 1u);
      continue;
    }
    EXPECT_EQ(p.replies(1ms), std::vector<Reply>{ok(0x30)});
    EXPECT_TRUE(p.replies(999ms).empty());
    EXPECT_EQ(p.replies(1ms), std::vector<Reply>{ok(0x31)});
    EXPECT_EQ(p.device.pagerOrdinal(), 2u);
    EXPECT_EQ(p.device.eeprom(), second);
    // Another write, and the swaps that come due together in one late look.
    p.writeAll(written);
    EXPECT_EQ(p.replies(10s), (std::vector<Reply>{ok(0x4A), ok(0x4C), ok(0x30), ok(0x31)}));
    EXPECT_EQ(p.device.eeprom(), third);
    EXPECT_EQ(p.device.pagerOrdinal(), 3u);
  }
}

}  // namespace
}  // namespace palor::sim
