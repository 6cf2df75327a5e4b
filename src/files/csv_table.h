// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The comma-separated configuration table: 83 lines that mirror the window's Addresses,
// Folders and Settings tabs, every field followed by a comma, lines ended with CR LF, no
// quoting. The line's position alone identifies it; the label texts are for people, save the
// first two lines' fixed cells, which tell a table from another comma-separated file. What
// each line holds is declared once (csv_layout.h); the export and the import walk it.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/settings_record.h"
#include "files/csv_layout.h"
#include "files/file_error.h"

namespace palor::csv {

inline constexpr int kLines = 83;  // lines 0..82
inline constexpr int kLastAppliedLine = 82;

// The whole table for the settings as they are now. The channel frequency is written with
// a point, whatever the window's decimal separator, so that a comma never splits it. The
// cell of `blanked` (the password, in a support file) is left empty.
std::string exportTable(const SettingsRecord& record,
                        std::optional<FieldId> blanked = std::nullopt);

// The first text field the table carries whose text holds a comma, in table order. The
// table has no quoting: such a text would end its field at the comma and move every later
// field of its line, so a table of these settings is not to be saved.
std::optional<FieldId> textWithComma(const SettingsRecord& record);

// Whether the first lines of a file are the table's own first lines: each of their fixed
// cells (the tab caption "Addresses", the column headings "Capcode", "Enabled", "PN", ...)
// where the table has it. A file that does not start so is some other comma-separated
// file, not a table to import.
bool startsAsTable(const std::vector<std::string>& lines);

// Carries out one of the form's rules for the import.
using RuleRunner = std::function<void(const RuleCall&)>;

// Applies line `number` of a table (the line as read, with its line end) to the record:
// its fields from left to right, each field's rule once it is read, the field the line
// reads once more, then the line's own rule. Header lines and numbers beyond the table
// change nothing. `separator` is the
// window's decimal separator. A rule's ConversionError ends the line.
void importLine(SettingsRecord& record, std::string_view line, int number, char separator,
                const RuleRunner& run);

// Field i of a line: the text after the i-th comma, up to the next comma or, for the last
// field, up to the line end (a spreadsheet that saves the table again drops the comma after
// a line's last field). A field number beyond the line's fields reads as empty.
std::string_view field(std::string_view line, int index);

// "Yes", exactly, checks; anything else unchecks.
bool isYes(std::string_view text);
// With blanks and control characters around it left out, the text holds only the digits
// 0..9 (an empty or all-blank text passes).
bool passesDigitTest(std::string_view text);
// The same for 0..9 and A..F, letters of either case.
bool passesHexTest(std::string_view text);

// The item index a list field's table text stands for, or the field's no-match index, by
// the converter its line declares. A field the table does not carry is a programming error
// (std::logic_error).
int convertItem(FieldId field, std::string_view text);

// The channel frequency of line 53 brought into the window's "MMM.kkkkk" form: the digits
// without the point, the first three of them taken as MHz, then the window's decimal
// separator, so that the frequency rule can read the text back on any PC. Fewer than three
// digits are left as they are for the frequency rule to complete (an empty field too).
std::string normaliseChannelFreq(std::string_view text, char separator);

// A line longer than this keeps only its first kMaxLineLength characters: no field the
// table carries comes anywhere near it, and it keeps the reader's memory bounded.
inline constexpr std::size_t kMaxLineLength = 64 * 1024;

// Reads the file as lines, each with its line end, and hands lines 0..kLastAppliedLine to
// `apply` with their numbers. Lines end in CR LF or LF, or in CR alone when the file's
// first line does (then CR LF and LF end lines too); in a file of LF lines a CR is text.
// Characters after the last line end are never handed on, and reading stops after the last
// line that can be applied, so the file's size does not matter. Fails, saying why, when the
// file cannot be opened as a regular file or a read fails; the lines read before a failed
// read have been handed on.
FileOutcome readTableLines(const std::string& path,
                           const std::function<void(std::string_view line, int number)>& apply);

}  // namespace palor::csv
