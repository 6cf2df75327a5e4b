// SPDX-License-Identifier: GPL-3.0-or-later
#include "charger_device.h"

#include <algorithm>

namespace palor::sim {

ChargerDevice::ChargerDevice(DeviceOptions options, const ConfigImage& eeprom)
    : options_(std::move(options)),
      eeprom_(eeprom),
      pending_(eeprom),
      pagerPresent_(options_.pagerPresent),
      startImage_(eeprom) {}

void ChargerDevice::receive(std::span<const std::uint8_t> bytes, Clock::time_point now) {
  for (std::uint8_t b : bytes)
    if (receiver_.take(b)) handle(receiver_.frame(), now);
}

void ChargerDevice::putPagerIn(Clock::time_point now) {
  swapIn_.reset();  // the user was quicker than the swap
  if (pagerPresent_) return;
  pagerPresent_ = true;
  log("pager put in");
  send(now, code::kPagerPresent, {}, false);
}

void ChargerDevice::takePagerOut(Clock::time_point now) {
  swapOut_.reset();
  if (!pagerPresent_) return;
  pagerPresent_ = false;
  log("pager taken out");
  // What the pager had still to say is lost with it, and so is a write in progress.
  std::erase_if(queue_, [](const Scheduled& s) { return s.fromPager; });
  pending_ = eeprom_;
  send(now, code::kNoPager, {}, false);
}

// The pager is taken out after the frames due before it or with it (the verify report
// among them), and a fresh one is put in after the frames due before that.
bool ChargerDevice::swapDue(Clock::time_point now) {
  const auto frameFirst = [&](Clock::time_point at) {
    return !queue_.empty() && queue_.front().due <= at;
  };
  if (swapOut_ && *swapOut_ <= now && !frameFirst(*swapOut_)) {
    const Clock::time_point out = *swapOut_;
    takePagerOut(out);
    swapIn_ = out + *options_.swapAfter;
    return true;
  }
  if (swapIn_ && *swapIn_ <= now && !frameFirst(*swapIn_ - Clock::duration(1))) {
    const Clock::time_point in = *swapIn_;
    ++pagerOrdinal_;
    const auto& fresh = options_.freshPagers;
    eeprom_ = fresh.empty() ? startImage_ : fresh[(pagerOrdinal_ - 1) % fresh.size()];
    pending_ = eeprom_;
    log("fresh pager " + std::to_string(pagerOrdinal_));
    putPagerIn(in);
    return true;
  }
  return false;
}

std::vector<std::uint8_t> ChargerDevice::takeDue(Clock::time_point now) {
  std::vector<std::uint8_t> bytes;
  for (;;) {
    if (swapDue(now)) continue;
    if (queue_.empty() || queue_.front().due > now) return bytes;
    noise_.append(options_.garbageBytes, bytes);
    const auto view = queue_.front().frame.view();
    bytes.insert(bytes.end(), view.begin(), view.end());
    queue_.pop_front();
  }
}

std::optional<Clock::time_point> ChargerDevice::nextDue() const {
  std::optional<Clock::time_point> next;
  for (const auto& due :
       {swapOut_, swapIn_, queue_.empty() ? std::nullopt : std::optional(queue_.front().due)})
    if (due && (!next || *due < *next)) next = due;
  return next;
}

void ChargerDevice::handle(const ReceivedFrame& frame, Clock::time_point now) {
  if (!frame.checksumOk()) {
    log("frame with a wrong checksum ignored");
    return;
  }
  const std::uint8_t c = frame.code();
  const auto reply = now + options_.replyDelay;
  if (c == code::kPresencePoll) {
    log(pagerPresent_ ? "presence poll: pager present" : "presence poll: no pager");
    send(reply, pagerPresent_ ? code::kPagerPresent : code::kNoPager, {}, false);
    return;
  }
  if (c == code::kClosing) {
    log("closing command");
    return;
  }
  if (!pagerPresent_) {
    log("request without a pager: no-pager report");
    send(reply, code::kNoPager, {}, false);
    return;
  }
  if (c == code::kIdentify) {
    log("identify: firmware " + std::to_string(options_.firmwareVersion) +
        (options_.revisionByte ? " revision " + std::to_string(options_.firmwareRevision)
                               : ", no revision"));
    const std::uint8_t data[] = {static_cast<std::uint8_t>(options_.identificationValid ? 1 : 0),
                                 options_.firmwareVersion, options_.firmwareRevision};
    send(reply, code::kIdentify, std::span(data).first(options_.revisionByte ? 3 : 2), true);
  } else if (code::isReadBlock(c)) {
    readBlock(code::blockOf(c), now);
  } else if (code::isWriteBlock(c)) {
    if (frame.length() != kBlockSize) {
      log("write block " + std::to_string(code::blockOf(c)) + " without 64 bytes ignored");
      return;
    }
    writeBlock(code::blockOf(c), frame.data(), now);
  }
}

void ChargerDevice::readBlock(std::size_t block, Clock::time_point now) {
  if (pullsAt(block, now)) return;
  const std::size_t answered = answeredBlock(block);
  log("read block " + std::to_string(block) +
      (answered != block ? ", answered as block " + std::to_string(answered) : ""));
  send(now + options_.replyDelay, static_cast<std::uint8_t>(code::kReadBlock + answered),
       std::span(eeprom_).subspan(answered * kBlockSize, kBlockSize), true);
}

void ChargerDevice::writeBlock(std::size_t block, std::span<const std::uint8_t> data,
                               Clock::time_point now) {
  if (pullsAt(block, now)) return;
  std::copy(data.begin(), data.end(), pending_.begin() + block * kBlockSize);
  const std::size_t answered = answeredBlock(block);
  log("write block " + std::to_string(block) +
      (answered != block ? ", acknowledged as block " + std::to_string(answered) : ""));
  send(now + options_.replyDelay, static_cast<std::uint8_t>(code::kWriteBlock + answered), {},
       true);
  if (options_.verifyAfterBlock == block) {
    log("verify passed, reported early");
    send(now + options_.replyDelay, code::kVerifyPassed, {}, true);
  }
  if (block == kBlockCount - 1) finishWrite(now);
}

// After the last block the pager writes its EEPROM and then checks it.
void ChargerDevice::finishWrite(Clock::time_point now) {
  const auto written = now + options_.replyDelay + options_.writeTime;
  if (options_.refuseWrite) {
    log("cannot write the EEPROM: write-impossible report");
    send(written, code::kWriteImpossible, {}, true);
    pending_ = eeprom_;
    return;
  }
  eeprom_ = pending_;
  log("EEPROM written");
  if (eepromWritten_) eepromWritten_(eeprom_);
  send(written, code::kWriteDone, {}, true);
  log(options_.failVerify ? "verify failed" : "verify passed");
  send(written + options_.verifyTime,
       options_.failVerify ? code::kVerifyFailed : code::kVerifyPassed, {}, true);
  if (options_.swapAfter && !options_.failVerify)
    swapOut_ = written + options_.verifyTime + *options_.swapAfter;
}

bool ChargerDevice::pullsAt(std::size_t block, Clock::time_point now) {
  if (!options_.pullAtBlock || *options_.pullAtBlock != block) return false;
  options_.pullAtBlock.reset();  // once; a pager put back in answers normally
  takePagerOut(now);
  return true;
}

std::size_t ChargerDevice::answeredBlock(std::size_t block) const {
  if (options_.wrongBlock && *options_.wrongBlock == block) return (block + 1) % kBlockCount;
  return block;
}

void ChargerDevice::send(Clock::time_point due, std::uint8_t c, std::span<const std::uint8_t> data,
                         bool fromPager) {
  const unsigned ordinal = ++framesSent_;
  if (options_.dropFrames.contains(ordinal)) {
    log("frame " + std::to_string(ordinal) + " dropped");
    return;
  }
  Scheduled s{due, buildFrame(c, data), fromPager};
  if (options_.corruptFrames.contains(ordinal)) {
    s.frame.bytes[s.frame.length - 1] ^= 0xFF;
    log("frame " + std::to_string(ordinal) + " sent with a broken checksum");
  }
  // Frames leave in the order of their due times, equal times in the order they were made.
  auto at =
      std::find_if(queue_.begin(), queue_.end(), [due](const Scheduled& q) { return q.due > due; });
  queue_.insert(at, std::move(s));
}

void ChargerDevice::log(const std::string& event) const {
  if (eventLog_) eventLog_(event);
}

}  // namespace palor::sim
