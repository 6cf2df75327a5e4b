// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The comma-separated configuration table as one declaration: each of its 83 lines with
// its fields, how each field is written and read back (tests, cuts, fallbacks, converters),
// and the form's rules the import runs during and after the line. The export and the
// import (csv_table.h) walk this one declaration, so each line is coded in both directions
// in one place.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "config/field_schema.h"

namespace palor::csv {

// The form's rules that the import runs besides those the record runs by itself. The table
// only names them; the form carries them out.
enum class FormRule {
  AddressSwitch,     // addrEnClick(row): the row's fields follow its switch and its formats
  MessageTypes,      // msgtypeChange: the Folders tab opens or locks
  FixedString,       // FixedStringExit(field): the text filled with blanks to its length
  LcdHoldTime,       // LcdHoldTimeChange
  Contrast,          // ContrastExit
  RangeTime,         // RangeTimeExit
  ChannelFrequency,  // channelfreqExit
};

struct RuleCall {
  FormRule rule;
  int row = 0;      // AddressSwitch: the address row, 1..8
  FieldId field{};  // FixedString: the text field

  bool operator==(const RuleCall&) const = default;
};

// What a text field's table text must hold to be taken; otherwise its fallback is.
enum class TextTest {
  None,
  Digits,  // 0..9, with blanks and control characters around them left out
  Hex,     // 0..9, A..F in either case, likewise
};

// One field of a line.
struct Cell {
  enum class Kind {
    Fixed,      // `text`, a header, label or unit; the import passes over it
    Text,       // the text of `field`; read: its first `cut` characters, `test`, `fallback`
    Item,       // the selected item's text of list `field` (empty with none); read by the
                // converter: each item's text but `noMatch`'s own, and `alias`, else `noMatch`
    YesNo,      // "Yes" or "No" for check `field`; read: checked when exactly "Yes" and,
                // for a chained folder, `chainedTo` is checked
    Choice,     // list `field` as two texts: `text` when its index is not 0, else `offText`;
                // read: 1 for `text`, else 0 (its item texts hold commas)
    Frequency,  // the text of `field`; read: brought into the window's number form
  };
  Kind kind = Kind::Fixed;
  std::string text{};
  FieldId field{};

  std::size_t cut = std::string::npos;
  TextTest test = TextTest::None;
  std::string fallback{};

  int noMatch = 0;
  std::string alias{};
  int aliasIndex = 0;

  std::string offText{};

  std::optional<FieldId> chainedTo{};

  // Run by the import once the field is read; after a failed test it is not.
  std::optional<RuleCall> rule{};
};

struct Line {
  std::vector<Cell> cells{};  // field i of the line is cells[i]
  // The export adds empty fields until the line holds this many.
  std::size_t width = 0;
  // The import reads this field once more after the others, with its rule: the channel
  // frequency, once the line has set the spacing it is rounded to.
  std::optional<std::size_t> readAgain{};
  // Run by the import after the line.
  std::optional<RuleCall> after{};
};

// The whole table, line 0 first.
const std::vector<Line>& tableLayout();

}  // namespace palor::csv
