// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The list of pagers of a batch: a comma-separated file whose first line names fields of
// the settings record and whose every further line holds one pager's values for them, in
// the same order. Values are read as spreadsheets write them: a value in double quotes
// may hold commas ("Smith, John"), and "" inside the quotes stands for one quote. Blanks
// around a name in the first line do not count; a value is taken as it stands. Empty
// lines are skipped, and each row keeps the number of its line (from 1, the names'
// line), so that a refusal can say where the pager is.
//
// Unlike the configuration table, the list is the user's own file, whatever a
// spreadsheet made of it: no byte crashes the reader, a line longer than the table's
// longest line is refused as a row, and the whole file may not pass kMaxListBytes.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/field_schema.h"
#include "files/file_error.h"

namespace palor {

struct PagerList {
  struct Row {
    int line = 0;                     // the row's line in the file, from 1
    std::vector<std::string> values;  // one for each column, in column order
    // Why the row cannot be used as it stands (a quote left open, too many values); empty
    // for a row to apply.
    std::string problem;
  };
  std::vector<FieldId> columns;
  std::vector<Row> rows;
};

// The list read from its text, or why it is no list: no first line, a name that is no
// field (the error names it), a field named twice.
struct PagerListOutcome {
  std::optional<PagerList> list;
  std::string error;
  std::optional<FileError> fileError;  // set when the file itself could not be read
  explicit operator bool() const { return list.has_value(); }
};

inline constexpr std::size_t kMaxListBytes = 16 * 1024 * 1024;

PagerListOutcome parsePagerList(std::string_view text);
// Reads the regular file at `path` (at most kMaxListBytes; a longer file is refused).
PagerListOutcome readPagerList(const std::string& path);

}  // namespace palor
