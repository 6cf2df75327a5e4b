// SPDX-License-Identifier: GPL-3.0-or-later
// Drives the window's pager link with a hostile charger: bytes arrive in the receive ring as
// the receive worker would store them, the 40 ms tick feeds them through the frame receiver
// into the protocol, and the user's commands come in between. The input is a script:
//
//   byte 0       where the link starts, by its low 3 bits modulo 5: 0 Idle, 1 Connecting
//                (the port watch's probe; with bit 3 the probe mark already cleared),
//                2 Reading (Read_From_Pager), 3 Writing (Help / Repair checked,
//                Write_To_Pager), 4 a write that reads the pager first. Bit 4: the
//                pager's EEPROM keeps the checksums its patches broke.
//   byte 1       patch count (low 3 bits), then per patch two offset bytes and a value for
//                the pager's EEPROM, the start-up configuration as a pager holds it
//   then steps, each an opcode byte (low 3 bits the kind) and its operands:
//     0..2  the charger answers the last frame the programmer sent, as a charger and pager
//           would (presence, identification, the asked-for block, acknowledgement, then the
//           write and verify reports), and one tick passes
//     3     any accepted code with data from the input; bit 3: any length up to 64;
//           bit 4: a wrong checksum
//     4     up to 256 raw bytes from the input
//     5     a flood of up to 4096 pseudo-random bytes at once, more than the ring holds
//     6     ticks: up to 199, or whole time-out periods
//     7     a command: Read, Write (each only while the link items allow it), Stop (only
//           while it is shown), the port watch's probe, its answer taken, Help / Repair,
//           the port lost under the link (pulled out or hung up)
//
// At the end the link runs until the read or write in hand has ended. What must hold,
// besides no sanitizer finding and no hang:
//   - "Read eeprom OK!" only while the frame in hand is block 0x6F of a read in which all
//     16 blocks came in order with 64 bytes each, the checksums of the image they make
//     match, and the read image, and now the write image, hold exactly those blocks;
//   - "Write eeprom completed." only while the frame in hand is the verify-passed report
//     of a write in progress;
//   - "Pager connected." only for an identification reply in the expected form of an
//     accepted firmware version, while connecting;
//   - the read image changes only by the blocks such a read accepted;
//   - every frame the programmer sends is well formed; the progress stays within 0..16.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "config/image_checksums.h"
#include "link/link_frame.h"
#include "ui/messages.h"
#include "ui/vendrel.h"

namespace {

using palor::ConfigImage;
using palor::FormState;
using palor::ProtocolState;
using palor::ReceivedFrame;
namespace code = palor::code;
using Bytes = std::vector<std::uint8_t>;

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  std::abort();
}

// PALOR_FUZZ_LOG=1 prints the status log, to see what an input does.
bool showLog() {
  static const bool show = std::getenv("PALOR_FUZZ_LOG") != nullptr;
  return show;
}

// The input, read front to back; past its end every byte is 0.
class Script {
 public:
  Script(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool done() const { return at_ >= size_; }
  std::uint8_t next() { return at_ < size_ ? data_[at_++] : 0; }
  std::span<const std::uint8_t> take(std::size_t count) {
    const std::size_t n = std::min(count, size_ - std::min(at_, size_));
    const std::span<const std::uint8_t> bytes(data_ + at_, n);
    at_ += n;
    return bytes;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

// The start-up configuration as a pager holds it: encoded, version byte 0, checksums filled.
const ConfigImage& startUpPagerImage() {
  static const ConfigImage image = [] {
    FormState form;
    form.startUp();
    if (!form.encodeWriteImage()) fail("the start-up configuration does not encode");
    ConfigImage encoded = form.images().writeImage;
    palor::fillChecksums(encoded);
    return encoded;
  }();
  return image;
}

// The codes the programmer's receiver accepts.
const std::vector<std::uint8_t>& acceptedCodes() {
  static const std::vector<std::uint8_t> codes = [] {
    std::vector<std::uint8_t> accepted;
    for (int c = 0; c < 256; ++c)
      if (palor::isChargerCode(static_cast<std::uint8_t>(c)))
        accepted.push_back(static_cast<std::uint8_t>(c));
    return accepted;
  }();
  return codes;
}

class Session {
 public:
  explicit Session(Script& script) : script_(script) {
    form_.startUp();
    // The protocol takes every frame as the link hands it over, with the model of the read
    // run first and the frame in hand known to the log checks (the link's observer of
    // received frames is not needed here).
    form_.link().frames().setFrameHandler([this](const ReceivedFrame& frame) { onFrame(frame); });
    form_.link().setSentObserver([this](std::span<const std::uint8_t> bytes) { onSent(bytes); });
    form_.log().setObserver([this](const std::string& line) { onLog(line); });
    shadowRead_ = form_.images().readImage;
  }
  ~Session() {
    form_.log().setObserver({});
    form_.link().setSentObserver({});
  }

  void setUp() {
    const std::uint8_t start = script_.next();
    pagerImage_ = startUpPagerImage();
    const int patches = script_.next() & 7;
    for (int i = 0; i < patches; ++i) {
      const std::size_t high = script_.next();
      const std::size_t offset = ((high << 8) | script_.next()) % palor::kImageSize;
      pagerImage_[offset] = script_.next();
    }
    if ((start & 0x10) == 0) palor::fillChecksums(pagerImage_);

    palor::PagerProtocol& protocol = form_.link().protocol();
    switch ((start & 7) % 5) {
      case 0: break;
      case 1:
        protocol.startProbe();
        if (start & 0x08) protocol.clearProbe();
        break;
      case 2: form_.ReadFromPagerClick(); break;
      case 3:
        form_.Repair1Click();
        form_.WriteToPagerClick();
        break;
      case 4: form_.WriteToPagerClick(); break;
    }
    check();
  }

  void step() {
    const std::uint8_t op = script_.next();
    switch (op & 7) {
      case 0:
      case 1:
      case 2: answer(); break;
      case 3: anyFrame(op); break;
      case 4: deliver(script_.take(script_.next() + 1u)); break;
      case 5: flood(op); break;
      case 6: {
        const std::uint8_t n = script_.next();
        tick(n < 200 ? n : (n - 199) * palor::PagerProtocol::kTicksPerPeriod);
        break;
      }
      case 7: command(); break;
    }
    check();
  }

  // The read or write in hand runs to its end (its time-outs end it at the latest).
  void finish() {
    const palor::PagerProtocol& protocol = form_.link().protocol();
    for (int i = 0; i < 12 * palor::PagerProtocol::kTicksPerPeriod && protocol.busy(); ++i) tick(1);
    if (protocol.busy()) fail("a read or write outlived its time-outs");
    check();
  }

 private:
  // The charger's answer to the last frame sent, as a charger with a pager in it answers.
  void answer() {
    if (lastSent_.empty()) return;
    const std::uint8_t c = lastSent_[2];
    const bool again = answered_;
    answered_ = true;
    if (c == code::kPresencePoll) {
      send((script_.next() & 1) ? code::kNoPager : code::kPagerPresent);
    } else if (c == code::kIdentify) {
      const std::uint8_t variant = script_.next();
      const std::uint8_t version = (variant & 0x80) ? variant & 0x0F : 2 + (variant & 1);
      const Bytes full{1, version, static_cast<std::uint8_t>((variant >> 1) & 3)};
      send(code::kIdentify, std::span(full).first((variant & 0x40) ? 2 : 3));
    } else if (code::isReadBlock(c)) {
      const std::size_t b = code::blockOf(c);
      send(c, std::span(pagerImage_).subspan(b * palor::kBlockSize, palor::kBlockSize));
    } else if (code::isWriteBlock(c)) {
      if (c != code::kWriteBlock + palor::kBlockCount - 1 || !again) {
        send(c);
      } else {
        // After the last acknowledgement: write-done and verify-passed, or one of the
        // pager's failures.
        switch (script_.next() & 3) {
          case 0:
            send(code::kWriteDone);
            send(code::kVerifyPassed);
            break;
          case 1: send(code::kWriteImpossible); break;
          case 2:
            send(code::kWriteDone);
            send(code::kVerifyFailed);
            break;
          case 3: send(code::kVerifyPassed); break;
        }
      }
    }
    tick(1);
  }

  void anyFrame(std::uint8_t op) {
    const auto& codes = acceptedCodes();
    const std::uint8_t c = codes[script_.next() % codes.size()];
    std::size_t length = 0;
    if (op & 0x08)
      length = script_.next() % (palor::kFrameDataMax + 1);
    else if (code::isReadBlock(c))
      length = palor::kBlockSize;
    else if (c == code::kIdentify)
      length = 3;
    Bytes data(length, 0);
    const auto given = script_.take(length);
    std::copy(given.begin(), given.end(), data.begin());
    palor::FrameBytes frame = palor::buildFrame(c, data);
    if (op & 0x10) frame.bytes[frame.length - 1] ^= 0x01;
    deliver(frame.view());
  }

  void flood(std::uint8_t op) {
    const std::uint8_t size = script_.next();
    std::uint32_t state = (static_cast<std::uint32_t>(op) << 8) | size | 1u;
    Bytes bytes((size + 1u) * 16u);
    for (auto& b : bytes) {
      state = state * 1664525u + 1013904223u;
      b = static_cast<std::uint8_t>(state >> 24);
    }
    deliver(bytes);
  }

  void command() {
    const palor::MainWindowState& w = form_.window();
    palor::PagerProtocol& protocol = form_.link().protocol();
    switch (script_.next() % 7) {
      case 0:
        if (w.readFromPagerEnabled) form_.ReadFromPagerClick();
        break;
      case 1:
        if (w.writeToPagerEnabled) form_.WriteToPagerClick();
        break;
      case 2:
        if (w.stopVisible) form_.read_write_stopClick();
        break;
      case 3: protocol.startProbe(); break;
      case 4:
        (void)protocol.takeChargerAnswered();
        protocol.clearProbe();
        break;
      case 5: form_.Repair1Click(); break;
      case 6: protocol.portLost(); break;
    }
  }

  void send(std::uint8_t c, std::span<const std::uint8_t> data = {}) {
    deliver(palor::buildFrame(c, data).view());
  }

  void deliver(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return;
    palor::ReceiveRing& ring = form_.link().transport().ring();
    for (std::uint8_t b : bytes) ring.store(b);
    ring.setDataReady(true);
  }

  void tick(int count) {
    for (int i = 0; i < count; ++i) form_.Com_clockTimer();
  }

  // The frame handler: the model of the read follows the frame, then the protocol takes it.
  void onFrame(const ReceivedFrame& frame) {
    stateBefore_ = form_.link().protocol().state();
    frame_ = &frame;
    const std::uint8_t c = frame.code();
    if (stateBefore_ == ProtocolState::Reading && frame.checksumOk() && code::isReadBlock(c)) {
      if (c == expectedBlock_ && frame.length() == palor::kBlockSize && !readBroken_) {
        const auto data = frame.data();
        const auto at = static_cast<std::ptrdiff_t>(code::blockOf(c) * palor::kBlockSize);
        std::copy(data.begin(), data.end(), shadowRead_.begin() + at);
        ++expectedBlock_;
        ++blocksInOrder_;
      } else {
        readBroken_ = true;
      }
    }
    form_.link().protocol().handleFrame(frame);
    frame_ = nullptr;
  }

  void onSent(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 6 || bytes[0] != palor::kFrameLead || bytes[1] != palor::kFrameLead ||
        bytes[3] > palor::kFrameDataMax || bytes.size() != bytes[3] + 6u)
      fail("a malformed frame was sent");
    ReceivedFrame copy;
    std::copy(bytes.begin() + 2, bytes.end(), copy.bytes.begin());
    copy.count = bytes.size() - 2;
    if (!copy.checksumOk()) fail("a frame was sent with a wrong checksum");
    lastSent_.assign(bytes.begin(), bytes.end());
    answered_ = false;
  }

  bool frameIs(ProtocolState state, std::uint8_t c) const {
    return frame_ && stateBefore_ == state && frame_->checksumOk() && frame_->code() == c;
  }

  void onLog(const std::string& line) {
    namespace msg = palor::msg;
    if (showLog()) std::fprintf(stderr, "log: %s\n", line.c_str());
    const palor::ImageBuffer& images = form_.images();
    if (line == msg::kReadDataFromPager) {
      expectedBlock_ = code::kReadBlock;
      blocksInOrder_ = 0;
      readBroken_ = false;
    } else if (line == msg::kReadEepromOk) {
      if (!frameIs(ProtocolState::Reading, code::kReadBlock + palor::kBlockCount - 1))
        fail("read OK reported without the last block in hand");
      if (blocksInOrder_ != palor::kBlockCount || readBroken_)
        fail("read OK reported without 16 blocks in order");
      if (!palor::checksumsMatch(shadowRead_))
        fail("read OK reported for an image that fails its checksums");
      if (images.readImage != shadowRead_) fail("the read image is not the blocks read");
      if (images.writeImage != images.readImage) fail("read OK without the image adopted");
    } else if (line == msg::kWriteEepromCompleted) {
      if (!frameIs(ProtocolState::Writing, code::kVerifyPassed))
        fail("write completed reported without the verify-passed report");
    } else if (line == msg::kPagerConnected) {
      if (!frameIs(ProtocolState::Connecting, code::kIdentify))
        fail("pager connected without an identification reply");
      const auto data = frame_->data();
      if (data.size() < 2 || data[0] != 1 || data[1] < 2 || data[1] > 3)
        fail("pager connected for an identification not in the expected form");
    }
  }

  void check() const {
    if (form_.images().readImage != shadowRead_)
      fail("the read image changed outside an accepted block");
    const int progress = form_.window().progressPosition;
    if (progress < 0 || progress > palor::PagerProtocol::kProgressMaximum)
      fail("progress out of range");
  }

  Script& script_;
  FormState form_;
  ConfigImage pagerImage_{};
  Bytes lastSent_;
  bool answered_ = false;

  const ReceivedFrame* frame_ = nullptr;
  ProtocolState stateBefore_ = ProtocolState::Idle;
  ConfigImage shadowRead_{};
  std::uint8_t expectedBlock_ = code::kReadBlock;
  std::size_t blocksInOrder_ = 0;
  bool readBroken_ = false;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  Script script(data, size);
  Session session(script);
  session.setUp();
  while (!script.done()) session.step();
  session.finish();
  return 0;
}
