// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The record of the one read, write or restore in hand, collected as it happens and kept
// through the records keeper when the operation ends. The form state fills it at the start
// (time, operation, port, pager), at the write (what was written) and at the end (outcome,
// blocks, last status line); keeping it turns the keeper's answer into status-log lines.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "config/image_layout.h"
#include "config/settings_record.h"
#include "link/pager_protocol.h"
#include "records/programming_record.h"

namespace palor {

namespace records {
class RecordKeeper;
}

// Which of a record's two images: what the pager held before, or what was written (or read).
enum class RecordImage : std::uint8_t { Before, Written };

// The record's outcome for how the link ended a read or a write.
records::Outcome recordOutcome(LinkOutcome outcome);

// Row 1..8 of `settings` as a record keeps it: its address, switched on, message type.
records::AddressEntry addressEntry(const SettingsRecord& settings, int row);
// The pager number, the serial and the eight address rows of `settings`.
void takeSettings(records::ProgrammingRecord& record, const SettingsRecord& settings);
// The serial and the eight address rows of `image`, decoded with firmware `version`.
void takeImageSettings(records::ProgrammingRecord& record, const ConfigImage& image,
                       std::uint8_t version);
// The addresses an image holds switched on, decoded with firmware `version`.
std::vector<int> switchedOnAddresses(const ConfigImage& image, std::uint8_t version);

// "2026-12-01T10:22:05Z" as "2026-12-01 10:22".
std::string minuteOf(const std::string& utc);

// A record's image as an image file holds it: the record's firmware version in byte 0, so
// that it opens decoded as the pager held it, and the checksums filled again when the byte
// changed and they held before (an image that failed its test keeps its own). None when the
// record holds no such image.
std::optional<ConfigImage> recordImageFile(const records::ProgrammingRecord& record,
                                           RecordImage which);

class OperationRecord {
 public:
  // Begins the record of `operation`, started now. A record still open is dropped.
  void begin(records::Operation operation);
  bool open() const { return current_.has_value(); }
  // The record in hand; only while open().
  records::ProgrammingRecord& current() { return *current_; }
  // The charger's port: its device node and its /dev/serial/by-path name.
  void setPort(const std::string& node);
  void setPager(std::uint8_t version, std::uint8_t revision);

  // Ends the record with `outcome` and the status log's last line, and keeps it in
  // `keeper` (nothing is kept without one). Returns the status-log lines the keeping asks
  // for: the notice that the server cannot be reached (once per OperationRecord), or why
  // the record was not kept.
  std::vector<std::string> end(records::Outcome outcome, const std::string& lastLine,
                               records::RecordKeeper* keeper);
  // Drops the record in hand without keeping it.
  void drop() { current_.reset(); }

  // The id of the last record kept; none before the first.
  std::optional<std::int64_t> lastId() const { return lastId_; }

 private:
  std::optional<records::ProgrammingRecord> current_;
  std::optional<std::int64_t> lastId_;
  bool serverNoticeGiven_ = false;
};

}  // namespace palor
