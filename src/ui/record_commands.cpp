// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's programming records: the record of each read, write and restore, the
// look-up of capcodes that other pagers hold, a record's image opened into the window, and
// the restore of a pager to what it held before a write.
#include <algorithm>
#include <cstdio>

#include "config/image_checksums.h"
#include "records/record_keeper.h"
#include "ui/messages.h"
#include "ui/vendrel.h"

namespace palor {
namespace {

// The address as the window shows it: seven digits.
std::string addressText(int address) {
  char text[16];
  std::snprintf(text, sizeof text, "%07d", address);
  return text;
}

}  // namespace

FormState::~FormState() = default;

void FormState::setRecords(std::unique_ptr<records::RecordKeeper> keeper) {
  keeper_ = std::move(keeper);
}

records::RecordKeeper* FormState::records() { return keeper_.get(); }

void FormState::beginRecord(records::Operation operation) {
  if (!keeper_ || keeper_->off()) return;
  recording_.begin(operation);
  recording_.setPort(link_.watch().rememberedPort());
  const PagerProtocol& protocol = link_.protocol();
  recording_.setPager(protocol.firmwareVersion(), protocol.firmwareRevision());
}

void FormState::endRecord(records::Outcome outcome) {
  if (!recording_.open()) return;
  const std::string lastLine = log_.lines().empty() ? std::string() : log_.lines().back();
  for (const std::string& line : recording_.end(outcome, lastLine, keeper_.get()))
    log_.append(line);
}

bool FormState::capcodesAllowWrite() {
  if (!keeper_ || !recording_.open()) return true;
  const records::StoreResult<records::RecordStore*> store = keeper_->store();
  // Records that cannot be asked hold no capcode: the write goes on.
  if (!store) return true;
  const records::ProgrammingRecord& r = recording_.current();
  // An address this pager already holds switched on is its own, whoever else has it.
  std::vector<int> held;
  if (r.before && r.beforeChecksumOk) held = switchedOnAddresses(*r.before, firmwareVersion());
  bool taken = false;
  for (const records::AddressEntry& entry : r.addresses) {
    if (!entry.enabled || std::find(held.begin(), held.end(), entry.address) != held.end())
      continue;
    const auto holder = store.value()->capcodeHolder(entry.address, r.pagerNumber);
    if (!holder || !holder.value()) continue;
    const records::CapcodeHolder& h = *holder.value();
    log_.append(msg::addressOnOtherPager(addressText(entry.address), h.pagerNumber,
                                         minuteOf(h.finished), h.desk));
    taken = true;
  }
  if (!taken || !uniqueCapcodes_) return true;
  log_.append(msg::kWriteRefusedCapcodes);
  return false;
}

bool FormState::OpenRecordImage(const records::ProgrammingRecord& record, RecordImage which) {
  const bool before = which == RecordImage::Before;
  const std::optional<ConfigImage>& held = before ? record.before : record.image;
  if (!held) {
    log_.append(msg::recordHoldsNoImage(record.id, before));
    return false;
  }
  // As an image file opens: the method28a rule first, then the checksum test.
  loadedPagerDump_ = false;
  images_.readImage = *held;
  Method28aClick();
  if (!checksumTestAndAdopt(images_)) {
    log_.append(msg::recordImageCorrupted(record.id));
    return false;
  }
  log_.append(msg::loadedDataFrom(msg::recordImageName(record.id, before)));
  // The pager's own version, whatever byte 0 holds: its rangetime is where that version
  // keeps it.
  const std::uint8_t version =
      record.firmware > 0 ? static_cast<std::uint8_t>(record.firmware) : firmwareVersion();
  decodeWriteImage(version);
  reapplyLoadedRules();
  return true;
}

void FormState::RestoreToPagerClick(const records::ProgrammingRecord& record, bool force) {
  if (link_.protocol().busy()) return;
  beginRecord(records::Operation::Restore);
  if (!record.before) {
    log_.append(msg::restoreNoBefore(record.id));
    endRecord(records::Outcome::Refused);
    return;
  }
  restore_ = Restore{record.id, *record.before, record.image, record.pagerNumber, force};
  // The pager in the charger is read first: it must be the one the record wrote. A write
  // that was to follow an earlier read no longer does: the restore replaces what it found.
  link_.protocol().setReadBeforeWrite(false);
  link_.protocol().read();
}

void FormState::restoreLinkEnd(const LinkEnd& end) {
  const int blocks = link_.protocol().progressPosition();
  const bool allBlocks = blocks == PagerProtocol::kProgressMaximum;
  records::ProgrammingRecord* r = recording_.open() ? &recording_.current() : nullptr;
  if (end.operation == BusyInfo::Writing) {
    restore_.reset();
    if (r) r->blocks = blocks;
    endRecord(recordOutcome(end.outcome));
    return;
  }
  const Restore restore = *restore_;
  if (r && allBlocks) {
    r->before = images_.readImage;
    r->beforeChecksumOk = end.completed();
  }
  // With force, an image that fails its checksum test is written over as well.
  const bool read = end.completed() || (end.outcome == LinkOutcome::BadChecksum && restore.force);
  if (!read) {
    restore_.reset();
    if (r) r->blocks = 0;
    endRecord(recordOutcome(end.outcome));
    return;
  }
  if (!restore.force && (!restore.written || images_.readImage != *restore.written)) {
    restore_.reset();
    // The record says which pager was in the charger instead.
    if (r && end.completed()) takeImageSettings(*r, images_.readImage, firmwareVersion());
    log_.append(msg::restoreOtherPager(restore.recordId));
    endRecord(records::Outcome::Refused);
    return;
  }
  log_.append(msg::restoring(restore.recordId));
  // The before-image as it is, hardware, version byte and checksums included.
  images_.writeImage = restore.before;
  if (r) {
    r->image = restore.before;
    takeImageSettings(*r, restore.before, firmwareVersion());
    r->pagerNumber = restore.pagerNumber;
  }
  link_.protocol().write();
}

}  // namespace palor
