// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A form state whose pager link talks to the simulated charger in simulated time: every
// tick is 40 ms of the device's clock, the frames the programmer sends reach the device at
// once, and what the device has due by then lands in the receive ring before the tick.
// No port, thread or clock is involved, so a 3.84 s time-out period runs in microseconds.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "charger_device.h"
#include "config/image_checksums.h"
#include "eeprom_file.h"
#include "ui/vendrel.h"

namespace palor::test {

// The image of a configuration that differs from the start-up one in settings and in
// hardware, as a pager that was programmed before would hold it.
inline ConfigImage programmedPagerImage() {
  FormState other;
  other.startUp();
  SettingsRecord& r = other.record();
  r.setText("hellomsg1", "HELLO PAGER   ");
  r.setText("address1", "1234560");
  r.setText("bs1", "20");
  r.pickItem(r.id("pll"), 1);
  r.setIndex("lcd_bias", 2);
  EXPECT_TRUE(other.encodeWriteImage());
  ConfigImage image = other.images().writeImage;
  fillChecksums(image);
  return image;
}

class SimulatedPager {
 public:
  using Bytes = std::vector<std::uint8_t>;
  static constexpr std::chrono::milliseconds kTick{40};

  explicit SimulatedPager(FormState& form, sim::DeviceOptions options = {},
                          const ConfigImage& eeprom = sim::defaultPagerImage())
      : device(std::move(options), eeprom), form_(form) {
    form_.link().setSentObserver([this](std::span<const std::uint8_t> bytes) {
      sent.push_back(
          {ticks, Bytes(bytes.begin(), bytes.end()), form_.link().transport().portPath()});
      if (!silent && onTheLine()) device.receive(bytes, now_);
    });
  }
  ~SimulatedPager() { form_.link().setSentObserver({}); }

  // One Com_clock tick, after the bytes due by now have arrived.
  void tick() {
    const Bytes due = device.takeDue(now_);
    if (onTheLine()) deliver(due);  // what the charger sends to a closed port is lost
    form_.Com_clockTimer();
    now_ += kTick;
    ++ticks;
  }
  void tick(int count) {
    for (int i = 0; i < count; ++i) tick();
  }
  // Ticks until `done`, at most `limit` ticks; whether it came true.
  bool tickUntil(const std::function<bool()>& done, int limit = 5000) {
    for (int i = 0; i < limit && !done(); ++i) tick();
    return done();
  }
  bool busy() const { return form_.link().protocol().busy(); }

  // The connection as the watch makes it: a probe answered by the charger, then the
  // pager identified at the next time-out period.
  void connect() {
    PagerProtocol& protocol = form_.link().protocol();
    protocol.startProbe();
    tick();
    ASSERT_TRUE(protocol.takeChargerAnswered()) << "the charger answers the probe";
    protocol.clearProbe();
    ASSERT_TRUE(tickUntil([&] { return form_.window().readFromPagerEnabled; }))
        << "the pager is identified";
  }

  // Bytes arriving from the line as the receive worker stores them.
  void deliver(const Bytes& bytes) {
    if (bytes.empty()) return;
    ReceiveRing& ring = form_.link().transport().ring();
    for (std::uint8_t b : bytes) ring.store(b);
    ring.setDataReady(true);
  }

  // The codes of the frames sent so far, in order.
  std::vector<std::uint8_t> sentCodes() const {
    std::vector<std::uint8_t> codes;
    for (const auto& s : sent) codes.push_back(s.bytes.size() > 2 ? s.bytes[2] : 0);
    return codes;
  }

  struct Sent {
    int tick;
    Bytes bytes;
    std::string port;  // the port open when it was sent; empty when none was
  };
  std::vector<Sent> sent;
  int ticks = 0;
  bool silent = false;  // the line is dead: nothing sent reaches the device
  // When set, the charger sits behind this port alone: it hears and is heard only while
  // the transport has it open (the port watch's tests, with real ports that open).
  std::string chargerPort;
  sim::ChargerDevice device;

 private:
  bool onTheLine() const {
    const SerialTransport& transport = form_.link().transport();
    return chargerPort.empty() || (transport.isOpen() && transport.portPath() == chargerPort);
  }

  FormState& form_;
  sim::Clock::time_point now_{};
};

}  // namespace palor::test
