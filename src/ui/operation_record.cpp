// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/operation_record.h"

#include <charconv>

#include "config/field_groups.h"
#include "config/image_checksums.h"
#include "config/image_codec.h"
#include "link/adapter_survey.h"
#include "records/record_keeper.h"
#include "ui/messages.h"

namespace palor {
namespace {

// An address text as a number; 0 for a text that is none (an empty row).
int addressNumber(const std::string& text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() ? value : 0;
}

}  // namespace

records::Outcome recordOutcome(LinkOutcome outcome) {
  switch (outcome) {
    case LinkOutcome::Completed: return records::Outcome::Completed;
    case LinkOutcome::BadChecksum:
    case LinkOutcome::Failed: return records::Outcome::Failed;
    case LinkOutcome::TimedOut: return records::Outcome::TimedOut;
    case LinkOutcome::Cancelled: return records::Outcome::Cancelled;
  }
  return records::Outcome::Failed;
}

records::AddressEntry addressEntry(const SettingsRecord& settings, int row) {
  const AddressRowNames& names = kAddressRowNames[static_cast<std::size_t>(row - 1)];
  records::AddressEntry entry;
  entry.row = row;
  entry.address = addressNumber(settings.text(names.address.view()));
  entry.enabled = settings.checked(names.enabled.view());
  const auto type = settings.itemText(settings.id(names.msgtype.view()));
  entry.msgtype = type ? std::string(*type) : std::string();
  return entry;
}

void takeSettings(records::ProgrammingRecord& record, const SettingsRecord& settings) {
  record.pagerNumber = settings.text("TxtPagerNumber");
  record.serial = settings.text("serial");
  record.addresses.clear();
  for (int row = 1; row <= kAddressRows; ++row)
    record.addresses.push_back(addressEntry(settings, row));
}

void takeImageSettings(records::ProgrammingRecord& record, const ConfigImage& image,
                       std::uint8_t version) {
  SettingsRecord decoded;
  decodeImage(decoded, image, {version, '.'});
  const std::string pagerNumber = record.pagerNumber;  // no image holds it
  takeSettings(record, decoded);
  record.pagerNumber = pagerNumber;
}

std::vector<int> switchedOnAddresses(const ConfigImage& image, std::uint8_t version) {
  records::ProgrammingRecord decoded;
  takeImageSettings(decoded, image, version);
  std::vector<int> held;
  for (const records::AddressEntry& entry : decoded.addresses)
    if (entry.enabled) held.push_back(entry.address);
  return held;
}

std::string minuteOf(const std::string& utc) {
  // "YYYY-MM-DDTHH:MM:SSZ": the day, a blank, the hour and minute.
  if (utc.size() < 16) return utc;
  return utc.substr(0, 10) + " " + utc.substr(11, 5);
}

std::optional<ConfigImage> recordImageFile(const records::ProgrammingRecord& record,
                                           RecordImage which) {
  const std::optional<ConfigImage>& held =
      which == RecordImage::Before ? record.before : record.image;
  if (!held) return std::nullopt;
  ConfigImage file = *held;
  const auto version = static_cast<std::uint8_t>(record.firmware);
  if (file[image::kFirmwareVersion] != version) {
    const bool intact = checksumsMatch(file);
    file[image::kFirmwareVersion] = version;
    if (intact) fillChecksums(file);
  }
  return file;
}

void OperationRecord::begin(records::Operation operation) {
  records::ProgrammingRecord& r = current_.emplace();
  r.started = records::utcNow();
  r.operation = operation;
  r.desk = records::thisDesk();
  r.operatorName = records::thisOperator();
  r.uid = records::newUid(r.desk);
}

void OperationRecord::setPort(const std::string& node) {
  current_->port = node;
  current_->portPath = node.empty() ? std::string() : byPathOnDisk(node);
}

void OperationRecord::setPager(std::uint8_t version, std::uint8_t revision) {
  current_->firmware = version;
  current_->revision = revision;
}

std::vector<std::string> OperationRecord::end(records::Outcome outcome, const std::string& lastLine,
                                              records::RecordKeeper* keeper) {
  std::vector<std::string> lines;
  if (!current_) return lines;
  records::ProgrammingRecord record = std::move(*current_);
  current_.reset();
  if (!keeper || keeper->off()) return lines;
  record.finished = records::utcNow();
  record.outcome = outcome;
  record.lastLine = lastLine;
  const records::Kept kept = keeper->keep(record);
  if (kept.id) lastId_ = kept.id;
  if (kept.id && kept.keptLocally && !serverNoticeGiven_) {
    serverNoticeGiven_ = true;
    lines.emplace_back(msg::kRecordsKeptOnDesk);
  }
  if (!kept.id) lines.push_back(msg::recordNotKept(kept.error ? kept.error->what : "no store"));
  return lines;
}

}  // namespace palor
