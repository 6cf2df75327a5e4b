// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One programming record: what a read or a write of a pager did, who did it and where,
// with the image the pager held before and the image written (or read). Records are kept
// so that the counter can say what was on a pager before and who has a capcode, and can
// put a pager back as it was.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/image_layout.h"

namespace palor::records {

enum class Operation : std::uint8_t { Read, Write, RepairWrite, Restore };
enum class Outcome : std::uint8_t { Completed, Failed, TimedOut, Cancelled, Refused };

// The names stored and printed: "read", "write", "repair-write", "restore"; "completed",
// "failed", "timed-out", "cancelled", "refused".
std::string_view operationName(Operation operation);
std::string_view outcomeName(Outcome outcome);
std::optional<Operation> operationNamed(std::string_view name);
std::optional<Outcome> outcomeNamed(std::string_view name);

// Whether an operation puts an image on the pager.
constexpr bool writesPager(Operation operation) { return operation != Operation::Read; }

// One of the pager's eight addresses as the record keeps it.
struct AddressEntry {
  int row = 1;      // 1..8
  int address = 0;  // the capcode, a number of up to 7 digits
  bool enabled = false;
  std::string msgtype;  // the message type's item text ("Alpha")
  friend bool operator==(const AddressEntry&, const AddressEntry&) = default;
};

struct ProgrammingRecord {
  std::int64_t id = 0;  // given by the store; 0 until stored
  // A name no other record on any desk has (desk, time and a random part), so that a record
  // delivered to the server twice is stored once.
  std::string uid;
  std::string started;   // UTC, "2026-12-01T10:22:05Z"
  std::string finished;  // UTC, same form
  Operation operation = Operation::Read;
  Outcome outcome = Outcome::Failed;
  std::string lastLine;      // the status log's last line when the operation ended
  int blocks = 0;            // blocks acknowledged (write) or received (read), 0..16
  std::string desk;          // host name
  std::string operatorName;  // login name
  std::string port;          // the charger's device node ("/dev/ttyUSB0")
  std::string portPath;      // its /dev/serial/by-path name; empty when there is none
  int firmware = 0;          // pager firmware version and revision
  int revision = 0;
  std::string pagerNumber;  // TxtPagerNumber at the write
  std::string serial;
  std::vector<AddressEntry> addresses;  // the eight rows, in order
  // What the pager held before: the preliminary read's image, kept also when its checksum
  // test failed (beforeChecksumOk false). None for a read and for a repair write.
  std::optional<ConfigImage> before;
  bool beforeChecksumOk = true;
  // The image sent to the pager (write, repair write, restore) or read from it (read).
  std::optional<ConfigImage> image;
  friend bool operator==(const ProgrammingRecord&, const ProgrammingRecord&) = default;
};

// The time now in the records' form, and a fresh uid for a record of this desk.
std::string utcNow();
std::string newUid(std::string_view desk);

// The host name and the login name of the process (empty when the system gives none).
std::string thisDesk();
std::string thisOperator();

}  // namespace palor::records
