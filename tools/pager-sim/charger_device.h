// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The simulated desk charger with a pager in it, as the programmer sees it over the link:
// it answers presence polls, reports unasked when the pager is put in or taken out,
// identifies the pager, serves read block requests from its EEPROM, acknowledges write
// blocks and, after the last one, writes its EEPROM and reports the write and its verify.
//
// The device is pure logic driven by bytes and a clock the caller passes in; the program
// around it owns the pseudo-terminal, the pacing of the line and the files. Faults are
// switches in DeviceOptions.
#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "config/image_layout.h"
#include "line_noise.h"
#include "link/frame_receiver.h"
#include "link/link_frame.h"

namespace palor::sim {

using Clock = std::chrono::steady_clock;

struct DeviceOptions {
  std::uint8_t firmwareVersion = 3;
  std::uint8_t firmwareRevision = 3;
  bool identificationValid = true;  // false: the reply's first data byte is 0, not 1
  bool revisionByte = true;         // false: the reply ends after the version (two data bytes)
  bool pagerPresent = true;         // the pager sits in the charger at start
  std::chrono::milliseconds replyDelay{0};
  std::chrono::milliseconds writeTime{300};   // from the last block to the write-done report
  std::chrono::milliseconds verifyTime{200};  // from the write-done to the verify report
  std::set<unsigned> dropFrames;              // ordinals (from 1) of sent frames that are not sent
  std::set<unsigned> corruptFrames;           // ordinals of sent frames whose checksum is broken
  std::optional<unsigned> wrongBlock;         // this block is answered as the next one (mod 16)
  std::optional<unsigned> pullAtBlock;        // the pager is taken out when this block comes up
  bool refuseWrite = false;                   // write-impossible instead of writing
  bool failVerify = false;                    // writes, then reports verify-failed
  // After acknowledging this block, report verify-passed at once, as a charger cut short
  // would; nothing is written.
  std::optional<unsigned> verifyAfterBlock;
  std::size_t garbageBytes = 0;  // line noise sent in front of every frame
  // A completed write (verify passed) is followed this long after by the pager taken out,
  // and as long again after that by a fresh pager put in, as a user working through a
  // batch does.
  std::optional<std::chrono::milliseconds> swapAfter;
  // The EEPROMs of the fresh pagers, taken in turn (the first again after the last); none:
  // each fresh pager holds the EEPROM the device started with.
  std::vector<ConfigImage> freshPagers;
};

class ChargerDevice {
 public:
  using EepromWritten = std::function<void(const ConfigImage&)>;
  using EventLog = std::function<void(const std::string&)>;

  ChargerDevice(DeviceOptions options, const ConfigImage& eeprom);

  // Bytes that arrived from the programmer.
  void receive(std::span<const std::uint8_t> bytes, Clock::time_point now);
  // The user puts the pager in or takes it out; the charger reports it unasked.
  void putPagerIn(Clock::time_point now);
  void takePagerOut(Clock::time_point now);

  // The bytes of every frame due by now, in order, each after its line noise.
  std::vector<std::uint8_t> takeDue(Clock::time_point now);
  // When the next frame falls due, if one is waiting.
  std::optional<Clock::time_point> nextDue() const;

  bool pagerPresent() const { return pagerPresent_; }
  // Which pager is in the charger (or was last): 1 for the one the device started with,
  // counting up with each fresh pager a swap puts in.
  unsigned pagerOrdinal() const { return pagerOrdinal_; }
  const ConfigImage& eeprom() const { return eeprom_; }
  unsigned framesSent() const { return framesSent_; }

  void onEepromWritten(EepromWritten callback) { eepromWritten_ = std::move(callback); }
  void onEvent(EventLog log) { eventLog_ = std::move(log); }

 private:
  struct Scheduled {
    Clock::time_point due;
    FrameBytes frame;
    bool fromPager;  // lost when the pager is taken out before it is sent
  };

  void handle(const ReceivedFrame& frame, Clock::time_point now);
  void readBlock(std::size_t block, Clock::time_point now);
  void writeBlock(std::size_t block, std::span<const std::uint8_t> data, Clock::time_point now);
  void finishWrite(Clock::time_point now);
  // The next swap due by now, when one is: the written pager out, or a fresh one in.
  bool swapDue(Clock::time_point now);
  bool pullsAt(std::size_t block, Clock::time_point now);
  std::size_t answeredBlock(std::size_t block) const;
  void send(Clock::time_point due, std::uint8_t code, std::span<const std::uint8_t> data,
            bool fromPager);
  void log(const std::string& event) const;

  DeviceOptions options_;
  ConfigImage eeprom_;
  ConfigImage pending_;  // the EEPROM with the blocks of the write in progress
  bool pagerPresent_;
  FrameReceiver receiver_{isProgrammerCode};
  std::deque<Scheduled> queue_;
  unsigned framesSent_ = 0;
  unsigned pagerOrdinal_ = 1;
  ConfigImage startImage_;
  std::optional<Clock::time_point> swapOut_, swapIn_;
  LineNoise noise_;
  EepromWritten eepromWritten_;
  EventLog eventLog_;
};

}  // namespace palor::sim
