// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Programming records for tests and benchmarks: whole records, every field set, as the form
// keeps them.
#include <string>

#include "records/programming_record.h"

namespace palor::test {

// A record of `operation` ending in `outcome`, its texts and images told apart by `n`; with
// a before-image where the operation reads the pager first, and an image written or read.
inline records::ProgrammingRecord sampleRecord(records::Operation operation,
                                               records::Outcome outcome, int n = 1) {
  using records::Operation;
  records::ProgrammingRecord r;
  const std::string tag = std::to_string(n);
  r.uid = "desk-a-" + tag + "-" + std::string(records::operationName(operation)) + "-" +
          std::string(records::outcomeName(outcome));
  r.started = "2026-12-01T10:22:05Z";
  r.finished = "2026-12-01T10:22:41Z";
  r.operation = operation;
  r.outcome = outcome;
  r.lastLine = "Write OK " + tag;
  r.blocks = 16;
  r.desk = "desk-a";
  r.operatorName = "counter";
  r.port = "/dev/ttyUSB0";
  r.portPath = "/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0";
  r.firmware = 3;
  r.revision = 7;
  r.pagerNumber = "00000" + tag;
  r.serial = "SN" + tag;
  for (int row = 1; row <= 8; ++row)
    r.addresses.push_back({row, 1000000 + 10 * n + row, row <= 2, row == 1 ? "Alpha" : "Numeric"});
  ConfigImage image{};
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 7 + n);
  if (operation != Operation::Read && operation != Operation::RepairWrite) {
    ConfigImage before = image;
    before[0] ^= 0xFF;
    before[1023] = 0x00;
    r.before = before;
  }
  r.image = image;
  return r;
}

}  // namespace palor::test
