// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/pager_protocol.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <utility>

#include "config/image_checksums.h"

namespace palor {
namespace {

constexpr std::uint8_t kLastReadBlock = code::kReadBlock + kBlockCount - 1;    // 0x6F
constexpr std::uint8_t kLastWriteBlock = code::kWriteBlock + kBlockCount - 1;  // 0x7F
// data[0] of an identification reply in the expected form.
constexpr std::uint8_t kValidIdentification = 1;

}  // namespace

PagerProtocol::PagerProtocol(LinkFrames& frames, ReceiveRing& ring, ImageBuffer& images,
                             Owner& owner)
    : frames_(frames), ring_(ring), images_(images), owner_(owner) {
  frames_.setFrameHandler([this](const ReceivedFrame& frame) { handleFrame(frame); });
}

void PagerProtocol::Com_clockTimer() {
  if (ring_.takeDataReady()) {
    frames_.FeedReceiver();
    tickCounter_ = 0;
  }
  timeOutStep();
}

// A time-out period is 96 ticks in which no received data was processed. At its end the
// request in hand is repeated, or the operation fails: a read block request goes out at
// most twice, write blocks 0x71..0x7E at most three times, 0x70 and 0x7F once, and after
// the last block the pager has four periods for its reports.
void PagerProtocol::timeOutStep() {
  if (++tickCounter_ < kTicksPerPeriod) return;
  tickCounter_ = 0;
  switch (state_) {
    case ProtocolState::Connecting:
      // Right after an identify request from Idle, one period passes without a poll.
      if (!std::exchange(identifySkip_, false)) frames_.SendCommand(code::kPresencePoll);
      return;
    case ProtocolState::Reading:
      if (retryCounter_ >= 2) {
        finish(LinkOutcome::TimedOut);
        owner_.SetLinkItems(false);
        return;
      }
      frames_.SendCommand(readBlockCode_);
      ++retryCounter_;
      return;
    case ProtocolState::Writing:
      if (retryCounter_ >= 2) {
        if (writeBlockCode_ == kLastWriteBlock && retryCounter_ < 3) {
          ++retryCounter_;
        } else {
          finish(LinkOutcome::TimedOut);
          owner_.SetLinkItems(false);
        }
        return;
      }
      if (writeBlockCode_ < kLastWriteBlock) frames_.SendAgain();
      ++retryCounter_;
      return;
    case ProtocolState::Idle: return;
  }
}

void PagerProtocol::handleFrame(const ReceivedFrame& frame) {
  if (!frame.checksumOk()) return;
  switch (state_) {
    case ProtocolState::Idle:
      if (frame.code() == code::kNoPager) {
        log(LinkMessage::PagerDisconnected);
        owner_.SetLinkItems(false);
      } else if (frame.code() == code::kPagerPresent) {
        identifySkip_ = true;
        frames_.SendCommand(code::kIdentify);
        state_ = ProtocolState::Connecting;
      }
      return;
    case ProtocolState::Connecting: handleInConnecting(frame); return;
    case ProtocolState::Reading: handleInReading(frame); return;
    case ProtocolState::Writing: handleInWriting(frame); return;
  }
}

void PagerProtocol::handleInConnecting(const ReceivedFrame& frame) {
  switch (frame.code()) {
    case code::kNoPager:
      if (probe_) {
        chargerAnswered_ = true;
      } else {
        owner_.SetLinkItems(false);
        state_ = ProtocolState::Idle;
      }
      return;
    case code::kPagerPresent:
      if (probe_)
        chargerAnswered_ = true;
      else
        frames_.SendCommand(code::kIdentify);
      return;
    case code::kIdentify: identify(frame); return;
    default: owner_.SetLinkItems(false); return;
  }
}

void PagerProtocol::identify(const ReceivedFrame& reply) {
  const auto data = reply.data();
  // A reply too short to carry a version is no more in the expected form than one that
  // does not start with 1.
  if (data.size() < 2 || data[0] != kValidIdentification) {
    state_ = ProtocolState::Idle;
    frames_.SendCommand(code::kClosing);
    log(LinkMessage::UnsupportedPager);
    owner_.SetLinkItems(false);
    return;
  }
  firmwareVersion_ = data[1];
  firmwareRevision_ = data.size() > 2 ? data[2] : 0;
  if (firmwareVersion_ < kAcceptedVersionLow) {
    log(LinkMessage::UnsupportedPager);
    owner_.SetLinkItems(false);
  } else if (firmwareVersion_ > kAcceptedVersionHigh) {
    log(LinkMessage::FirmwareTooNew);
    owner_.SetLinkItems(false);
  } else {
    log(LinkMessage::PagerConnected);
    owner_.pagerIdentified(firmwareVersion_, firmwareRevision_);
    owner_.SetLinkItems(true);
    newPager_ = true;
  }
  state_ = ProtocolState::Idle;
}

void PagerProtocol::handleInReading(const ReceivedFrame& frame) {
  const std::uint8_t c = frame.code();
  if (c == code::kNoPager) {
    finish(LinkOutcome::Failed);
    owner_.SetLinkItems(false);
    return;
  }
  if (!code::isReadBlock(c)) return;
  if (c != readBlockCode_ || frame.length() != kBlockSize) {
    communicationError();
    return;
  }
  const auto data = frame.data();
  std::copy(data.begin(), data.end(),
            images_.readImage.begin() + static_cast<std::ptrdiff_t>(code::blockOf(c) * kBlockSize));
  retryCounter_ = 0;
  advanceProgress();
  if (c == kLastReadBlock) {
    finish(LinkOutcome::Completed);
    return;
  }
  ++readBlockCode_;
  frames_.SendCommand(readBlockCode_);
  retryCounter_ = 1;
}

namespace {

// The pager's reports on the written image, each with its status line and how the write
// ends by it (none: the write goes on to the next report).
struct WriteReport {
  std::uint8_t code;
  LinkMessage message;
  std::optional<LinkOutcome> ends;
};
constexpr WriteReport kWriteReports[] = {
    {code::kWriteDone, LinkMessage::WriteEepromSucceeded, std::nullopt},
    {code::kWriteImpossible, LinkMessage::CannotWriteEeprom, LinkOutcome::Failed},
    {code::kVerifyPassed, LinkMessage::VerifyEepromSucceeded, LinkOutcome::Completed},
    {code::kVerifyFailed, LinkMessage::VerifyEepromFailed, LinkOutcome::Failed},
};

}  // namespace

void PagerProtocol::handleInWriting(const ReceivedFrame& frame) {
  const std::uint8_t c = frame.code();
  const auto report = std::find_if(std::begin(kWriteReports), std::end(kWriteReports),
                                   [c](const WriteReport& r) { return r.code == c; });
  if (report != std::end(kWriteReports)) {
    // The pager reports on the whole image only; before every block is acknowledged a
    // report means the two sides disagree about what was written.
    if (!reportsDue_) {
      communicationError();
      return;
    }
    log(report->message);
    if (report->ends) finish(*report->ends);
    return;
  }
  if (c == code::kNoPager) {
    finish(LinkOutcome::Failed);
    owner_.SetLinkItems(false);
    return;
  }
  if (!code::isWriteBlock(c)) return;
  if (c != writeBlockCode_ || frame.length() != 0) {
    communicationError();
    return;
  }
  advanceProgress();
  if (c == kLastWriteBlock) {
    log(LinkMessage::WritingEeprom);
    retryCounter_ = 0;
    reportsDue_ = true;
    return;
  }
  ++writeBlockCode_;
  retryCounter_ = 0;
  frames_.BuildWriteBlock(writeBlockCode_);
  frames_.SendAgain();
}

void PagerProtocol::read() {
  log(LinkMessage::ReadDataFromPager);
  becomeBusy(ProtocolState::Reading);
  readBlockCode_ = code::kReadBlock;
  frames_.SendCommand(readBlockCode_);
}

void PagerProtocol::write() {
  becomeBusy(ProtocolState::Writing);
  writeBlockCode_ = code::kWriteBlock;
  reportsDue_ = false;
  // Not sent here: the first time-out period that ends sends it, as its one try.
  frames_.BuildWriteBlock(writeBlockCode_);
}

void PagerProtocol::becomeBusy(ProtocolState operation) {
  owner_.setInfoText(operation == ProtocolState::Reading ? BusyInfo::Reading : BusyInfo::Writing);
  ShowBusy(true);
  retryCounter_ = 1;
  state_ = operation;
  lastEnd_.reset();
}

void PagerProtocol::Stop() { finish(LinkOutcome::Cancelled); }

void PagerProtocol::ShowBusy(bool on) {
  if (on) {
    progress_ = 0;
    owner_.showProgress(true);
    owner_.setProgressPosition(progress_);
    owner_.SetLinkItems(false);
    owner_.SetFileHelp(false);
    retryCounter_ = 1;
    return;
  }
  state_ = ProtocolState::Idle;
  owner_.showProgress(false);
  retryCounter_ = 0;
  owner_.SetLinkItems(true);
  owner_.SetFileHelp(true);
}

void PagerProtocol::startProbe() {
  state_ = ProtocolState::Connecting;
  probe_ = true;
  frames_.SendCommand(code::kPresencePoll);
}

void PagerProtocol::portLost() {
  if (!busy()) return;
  finish(LinkOutcome::Failed);
  owner_.SetLinkItems(false);
}

bool PagerProtocol::takeChargerAnswered() { return std::exchange(chargerAnswered_, false); }

bool PagerProtocol::takeNewPager() { return std::exchange(newPager_, false); }

void PagerProtocol::advanceProgress() {
  progress_ = std::min(progress_ + 1, kProgressMaximum);
  owner_.setProgressPosition(progress_);
}

void PagerProtocol::communicationError() {
  log(LinkMessage::CommunicationError);
  finish(LinkOutcome::Failed);
}

void PagerProtocol::finish(LinkOutcome outcome) {
  const ProtocolState operation = state_;
  const bool reading = operation == ProtocolState::Reading;
  const bool beforeWrite = reading && readBeforeWrite_;
  ShowBusy(false);
  // A read that has all its blocks completes only if its image passes the checksum test,
  // which adopts it into the write image.
  if (reading && outcome == LinkOutcome::Completed && !checksumTestAndAdopt(images_))
    outcome = LinkOutcome::BadChecksum;
  switch (outcome) {
    case LinkOutcome::Completed:
      log(reading ? LinkMessage::ReadEepromOk : LinkMessage::WriteEepromCompleted);
      break;
    case LinkOutcome::BadChecksum:
      // The read-before-write mark keeps its value: the next write writes at once, over
      // hardware settings that could not be read, and the user learns it now.
      log(LinkMessage::ReadEepromBadChecksum);
      if (beforeWrite) log(LinkMessage::HardwareSettingsUnread);
      break;
    case LinkOutcome::Failed:
    case LinkOutcome::TimedOut:
      images_.writeImage.fill(0);
      if (outcome == LinkOutcome::TimedOut)
        log(reading ? LinkMessage::ReadTimedOut : LinkMessage::WriteTimedOut);
      else
        log(reading ? LinkMessage::ReadEepromFailed : LinkMessage::WriteEepromFailed);
      readBeforeWrite_ = false;
      break;
    case LinkOutcome::Cancelled:
      log(LinkMessage::OperationCancelled);
      // A stopped preliminary read leaves nothing the write could keep: the next write
      // reads the pager first again.
      readBeforeWrite_ = false;
      break;
  }
  if (!reading && operation != ProtocolState::Writing) return;  // Stop while idle
  const LinkEnd end{reading ? BusyInfo::Reading : BusyInfo::Writing, outcome, beforeWrite};
  lastEnd_ = end;
  owner_.operationEnded(end);  // which may start the write a preliminary read was for
}

}  // namespace palor
