// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// palorctl's commands on the programming records: the history, one record, a record's
// image as a file, delivery of the records kept on this desk, and pruning. The records are
// where --records (or PALOR_RECORDS) says.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "commands.h"
#include "records/record_keeper.h"

namespace palor::ctl {

// The keeper of the records the options name (--records, else PALOR_RECORDS).
std::unique_ptr<records::RecordKeeper> recordKeeper(const CommonOptions& options);

// Record `id` of the keeper's store, with its images; none, with the reason said on
// standard error, when the records are off, cannot be read or hold no such record.
std::optional<records::ProgrammingRecord> findRecord(records::RecordKeeper& keeper,
                                                     std::int64_t id);

// A day as the records take it: "YYYY-MM-DD", a real date.
bool isDay(const std::string& text);

// The records the filter matches, newest first: one a line (id, start, operation, outcome,
// pager number, serial, the switched-on addresses, desk, operator, last status line,
// separated by tabs), or with `json` one array of objects.
int history(const records::HistoryFilter& filter, const CommonOptions& options);
// One record, everything but its images: "name: value" lines, or with `json` one object.
int historyShow(std::int64_t id, const CommonOptions& options);
// A record's image before, or written (or read), saved as an image file that opens as
// the pager held it: the record's firmware version in byte 0.
int historyExport(std::int64_t id, const std::string& out, bool before,
                  const CommonOptions& options);
// Delivers the records this desk kept while the server could not be reached.
int historySync(const CommonOptions& options);
// Removes the records started before `day`.
int historyPrune(const std::string& day, const CommonOptions& options);

}  // namespace palor::ctl
