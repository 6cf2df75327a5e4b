// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's side of the pager link: its two timers, Read_From_Pager,
// Write_To_Pager and Stop, and what the link reports back into the window and the log.
#include <charconv>
#include <limits>

#include "config/image_checksums.h"
#include "config/image_codec.h"
#include "ui/firmware_options.h"
#include "ui/messages.h"
#include "ui/vendrel.h"

namespace palor {

void FormState::Com_clockTimer() {
  link_.Com_clockTimer();
  showLinkTimers();  // a hang-up of the open port may have stopped them
}

void FormState::watch_serialTimer() {
  link_.watch().watch_serialTimer();
  showLinkTimers();
}

void FormState::DeviceChange() {
  link_.DeviceChange();
  showLinkTimers();
}

void FormState::DeviceChange(DeviceNotice notice) {
  link_.watch().DeviceChange(notice);
  showLinkTimers();
}

void FormState::showLinkTimers() {
  const PortWatch& watch = link_.watch();
  if (window_.comClockRunning == watch.comClockRunning() &&
      window_.watchSerialRunning == watch.watchTimerRunning())
    return;  // most ticks change nothing, and the window is not told of them
  changeWindow([&](MainWindowState& w) {
    w.comClockRunning = watch.comClockRunning();
    w.watchSerialRunning = watch.watchTimerRunning();
  });
}

void FormState::ReadFromPagerClick() {
  beginRecord(records::Operation::Read);
  link_.protocol().read();
}

void FormState::WriteToPagerClick() {
  // The list's row goes in once, before the write's preliminary read.
  if (pagerList_ && !link_.protocol().readBeforeWrite() && !applyNextListRow()) return;
  if (!PreStoreChecks()) {
    // A write whose preliminary read is done ends here, refused.
    if (recording_.open() && recording_.current().operation == records::Operation::Write)
      endRecord(records::Outcome::Refused);
    return;
  }
  PagerProtocol& protocol = link_.protocol();
  if (protocol.takeNewPager()) advancePagerNumber();
  if (!window_.repairChecked && !protocol.readBeforeWrite()) {
    // The pager is read first; the read continues this write when it completes. The
    // write's record starts with the read.
    beginRecord(records::Operation::Write);
    pagerBefore_.reset();
    protocol.setReadBeforeWrite(true);
    protocol.read();
    return;
  }
  protocol.setReadBeforeWrite(false);
  writeNow();
}

void FormState::writeNow() {
  // The record of a write that read first goes on; a repair write, or a write after a read
  // whose checksum test failed, starts its own.
  if (!recording_.open() || recording_.current().operation != records::Operation::Write)
    beginRecord(window_.repairChecked ? records::Operation::RepairWrite
                                      : records::Operation::Write);
  if (recording_.open()) {
    records::ProgrammingRecord& r = recording_.current();
    if (r.operation == records::Operation::Write && pagerBefore_) {
      r.before = pagerBefore_->image;
      r.beforeChecksumOk = pagerBefore_->checksumOk;
    }
  }
  pagerBefore_.reset();
  log_.append(msg::kWriteToPager);
  bool encoded = false;
  try {
    encoded = encodeWriteImage();
  } catch (const ConversionError&) {
    endRecord(records::Outcome::Refused);
    throw;
  }
  if (!encoded) {
    endRecord(records::Outcome::Refused);
    return;
  }
  if (recording_.open()) takeSettings(recording_.current(), record_);
  if (!capcodesAllowWrite()) {
    endRecord(records::Outcome::Refused);
    return;
  }
  // The version byte stays 0 in what the pager gets.
  fillChecksums(images_.writeImage);
  if (recording_.open()) recording_.current().image = images_.writeImage;
  link_.protocol().write();
  AdvanceAddresses();
}

void FormState::read_write_stopClick() { link_.protocol().Stop(); }

void FormState::SetLinkItems(bool enabled) {
  changeWindow([enabled](MainWindowState& w) {
    w.writeToPagerEnabled = enabled;
    w.readFromPagerEnabled = enabled;
  });
}

void FormState::SetFileHelp(bool enabled) {
  changeWindow([enabled](MainWindowState& w) {
    w.fileMenuEnabled = enabled;
    w.helpMenuEnabled = enabled;
    w.pagesEditable = enabled;
  });
}

bool FormState::FormCloseQuery() {
  if (!link_.protocol().busy()) return true;
  log_.append(msg::kWaitForPager);
  // A refused Exit is forgotten; the window asks again when it is closed again.
  if (window_.closeRequested) changeWindow([](MainWindowState& w) { w.closeRequested = false; });
  return false;
}

// The pager number is a counter of up to eight decimal digits. A text that is not a
// number counts as 0, and the counter stops at 99999999 rather than show a cut number.
void FormState::advancePagerNumber() {
  const FieldId field = record_.id("TxtPagerNumber");
  const std::string& text = record_.text(field);
  long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 0) value = 0;
  constexpr long kLargest = 99999999;
  record_.setText(field, std::to_string(value < kLargest ? value + 1 : kLargest));
}

void FormState::LinkReports::logMessage(LinkMessage message) {
  form_.log_.append(msg::linkMessage(message));
}

void FormState::LinkReports::portRefused(const std::string& port, const PortOpenError& error) {
  form_.log_.append(msg::portRefused(port, error));
}

void FormState::LinkReports::setInfoText(BusyInfo info) {
  form_.changeWindow([info](MainWindowState& w) {
    w.infoRWPagerText = info == BusyInfo::Reading ? msg::kReadingPager : msg::kWritingPager;
  });
}

void FormState::LinkReports::showProgress(bool shown) {
  form_.changeWindow([shown](MainWindowState& w) {
    w.progressVisible = w.stopVisible = w.infoRWPagerVisible = shown;
    if (shown) {
      w.progressMaximum = PagerProtocol::kProgressMaximum;
      w.progressPosition = 0;
    }
  });
}

void FormState::LinkReports::setProgressPosition(int position) {
  form_.changeWindow([position](MainWindowState& w) { w.progressPosition = position; });
}

void FormState::LinkReports::pagerIdentified(std::uint8_t version, std::uint8_t revision) {
  // What an earlier pager held is no before-image of this one.
  form_.pagerBefore_.reset();
  ApplyFirmwareOptions(form_.record_, version, revision);
  form_.Method28aClick();
}

void FormState::LinkReports::operationEnded(LinkEnd end) { form_.linkEnded(end); }

void FormState::linkEnded(const LinkEnd& end) {
  if (restore_) {
    restoreLinkEnd(end);
    return;
  }
  const int blocks = link_.protocol().progressPosition();
  const bool allBlocks = blocks == PagerProtocol::kProgressMaximum;
  const records::Outcome outcome = recordOutcome(end.outcome);
  if (end.operation == BusyInfo::Writing) {
    if (recording_.open()) recording_.current().blocks = blocks;
    endRecord(outcome);
    if (pagerList_ && end.completed()) {
      ++pagerList_->next;
      showPagerList();
    }
    return;
  }
  // What a write's preliminary read found stays for the write, even when its checksum
  // test failed: the next write then writes at once, over it.
  if (end.beforeWrite && allBlocks) pagerBefore_ = PagerBefore{images_.readImage, end.completed()};
  if (!end.beforeWrite && end.completed()) decodeImageFromPager();
  if (recording_.open()) {
    records::ProgrammingRecord& r = recording_.current();
    if (r.operation != records::Operation::Write) {
      // A read: the image read, and the pager's own settings when they were decoded.
      r.blocks = blocks;
      if (allBlocks) r.image = images_.readImage;
      if (!end.beforeWrite && end.completed()) takeSettings(r, record_);
      endRecord(outcome);
    } else if (!end.completed()) {
      // A write whose preliminary read did not complete ends with it: nothing was written.
      if (pagerBefore_) {
        r.before = pagerBefore_->image;
        r.beforeChecksumOk = pagerBefore_->checksumOk;
      }
      takeSettings(r, record_);
      endRecord(outcome);
    }
  }
  if (!end.beforeWrite || !end.completed()) return;
  // A write's preliminary read: the pager keeps its own hardware values, then the write
  // goes on (the set mark makes it skip the read).
  refreshHardware(record_, images_.writeImage, {firmwareVersion(), decimalSeparator_});
  WriteToPagerClick();
}

}  // namespace palor
