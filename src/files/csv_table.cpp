// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/csv_table.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <map>
#include <stdexcept>

#include "files/file_read.h"

namespace palor::csv {

std::string_view field(std::string_view line, int index) {
  if (line.ends_with('\n')) line.remove_suffix(1);
  if (line.ends_with('\r')) line.remove_suffix(1);
  for (int i = 0; i < index; ++i) {
    const auto comma = line.find(',');
    if (comma == std::string_view::npos) return {};
    line.remove_prefix(comma + 1);
  }
  return line.substr(0, line.find(','));
}

bool isYes(std::string_view text) { return text == "Yes"; }

namespace {

// The text without the blanks and control characters around it.
std::string_view trimmed(std::string_view text) {
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

bool passesDigitTest(std::string_view text) {
  for (char c : trimmed(text))
    if (c < '0' || c > '9') return false;
  return true;
}

bool passesHexTest(std::string_view text) {
  for (char c : trimmed(text))
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

std::string normaliseChannelFreq(std::string_view text, char separator) {
  std::string digits;
  if (const auto point = text.find('.'); point != std::string_view::npos) {
    digits = std::string(text.substr(0, point)) + std::string(text.substr(point + 1));
  } else {
    digits = std::string(text);
  }
  if (!passesDigitTest(digits)) digits = "45700000";
  // Fewer than three digits are the first ones of three: the frequency rule completes them
  // as it completes a short typed text. A separator after them would be a second one once
  // completed ("45." became "45..00000", which no rule can read).
  if (digits.size() < 3) return digits;
  std::string result =
      digits.substr(0, 3) + separator + (digits.size() > 3 ? digits.substr(3, 6) : "");
  return result.substr(0, 9);
}

namespace {

bool passes(TextTest test, std::string_view text) {
  switch (test) {
    case TextTest::None: return true;
    case TextTest::Digits: return passesDigitTest(text);
    case TextTest::Hex: return passesHexTest(text);
  }
  return true;
}

// A list's table text as its item index: each item's text but the no-match item's own, in
// item order, and the cell's alias; anything else is the no-match index.
int readItem(const Cell& c, std::string_view text) {
  if (c.kind == Cell::Kind::Choice) return text == c.text ? 1 : 0;
  const std::vector<std::string>& items = fieldSchema(c.field).items;
  for (std::size_t i = 0; i < items.size(); ++i)
    if (static_cast<int>(i) != c.noMatch && text == items[i]) return static_cast<int>(i);
  if (!c.alias.empty() && text == c.alias) return c.aliasIndex;
  return c.noMatch;
}

// ---------------------------------------------------------------------------------------
// Each kind of field, as the export writes it and as the import reads it back.

std::string writeCell(const Cell& c, const SettingsRecord& r) {
  switch (c.kind) {
    case Cell::Kind::Fixed: return c.text;
    case Cell::Kind::Text: return r.text(c.field);
    case Cell::Kind::Frequency: {
      // The import reads a point as the decimal separator and puts the window's own back.
      std::string frequency = r.text(c.field);
      std::replace(frequency.begin(), frequency.end(), ',', '.');
      return frequency;
    }
    case Cell::Kind::Item: return std::string(r.itemText(c.field).value_or(std::string_view{}));
    case Cell::Kind::YesNo: return r.checked(c.field) ? "Yes" : "No";
    case Cell::Kind::Choice: return r.index(c.field) != 0 ? c.text : c.offText;
  }
  return {};
}

void readCell(const Cell& c, SettingsRecord& r, std::string_view text, char separator,
              const RuleRunner& run) {
  switch (c.kind) {
    case Cell::Kind::Fixed: return;
    case Cell::Kind::Text: {
      text = text.substr(0, c.cut);
      const bool pass = passes(c.test, text);
      r.setText(c.field, pass ? text : std::string_view(c.fallback));
      if (pass && c.rule) run(*c.rule);
      return;
    }
    case Cell::Kind::Frequency:
      r.setText(c.field, normaliseChannelFreq(text, separator));
      if (c.rule) run(*c.rule);
      return;
    case Cell::Kind::Item:
    case Cell::Kind::Choice: r.setIndex(c.field, readItem(c, text)); return;
    case Cell::Kind::YesNo:
      r.setChecked(c.field, (!c.chainedTo || r.checked(*c.chainedTo)) && isYes(text));
      return;
  }
}

}  // namespace

std::string exportTable(const SettingsRecord& record, std::optional<FieldId> blanked) {
  std::string out;
  for (const Line& line : tableLayout()) {
    for (const Cell& cell : line.cells) {
      const bool blank = blanked && cell.kind != Cell::Kind::Fixed && cell.field == *blanked;
      if (!blank) out += writeCell(cell, record);
      out += ',';
    }
    for (std::size_t n = line.cells.size(); n < line.width; ++n) out += ',';
    out += "\r\n";
  }
  return out;
}

std::optional<FieldId> textWithComma(const SettingsRecord& record) {
  for (const Line& line : tableLayout())
    for (const Cell& cell : line.cells)
      if (cell.kind == Cell::Kind::Text && record.text(cell.field).find(',') != std::string::npos)
        return cell.field;
  return std::nullopt;
}

bool startsAsTable(const std::vector<std::string>& lines) {
  const auto& layout = tableLayout();
  constexpr std::size_t kHeaderLines = 2;  // the tab caption, the column headings
  if (lines.size() < kHeaderLines) return false;
  for (std::size_t n = 0; n < kHeaderLines; ++n) {
    const std::vector<Cell>& cells = layout[n].cells;
    for (std::size_t i = 0; i < cells.size(); ++i)
      if (cells[i].kind == Cell::Kind::Fixed &&
          field(lines[n], static_cast<int>(i)) != cells[i].text)
        return false;
  }
  return true;
}

void importLine(SettingsRecord& record, std::string_view line, int number, char separator,
                const RuleRunner& run) {
  const auto& layout = tableLayout();
  if (number < 0 || number >= static_cast<int>(layout.size())) return;
  const Line& declared = layout[static_cast<std::size_t>(number)];
  auto read = [&](std::size_t index) {
    readCell(declared.cells[index], record, field(line, static_cast<int>(index)), separator, run);
  };
  for (std::size_t i = 0; i < declared.cells.size(); ++i) read(i);
  if (declared.readAgain) read(*declared.readAgain);
  if (declared.after) run(*declared.after);
}

int convertItem(FieldId f, std::string_view text) {
  static const std::map<FieldId, const Cell*> lists = [] {
    std::map<FieldId, const Cell*> found;
    for (const Line& line : tableLayout())
      for (const Cell& cell : line.cells)
        if (cell.kind == Cell::Kind::Item || cell.kind == Cell::Kind::Choice)
          found.emplace(cell.field, &cell);
    return found;
  }();
  const auto list = lists.find(f);
  if (list == lists.end())
    throw std::logic_error("the CSV table carries no list " + fieldSchema(f).name);
  return readItem(*list->second, text);
}

namespace {

// Cuts a stream of characters into lines and hands lines 0..kLastAppliedLine on. The first
// line end decides how the file ends its lines: by LF, with or without a CR before it, as
// this program and most others write, or by CR alone, as older spreadsheets do. In a file
// of LF lines a CR is text, as it always was, so that a text holding one reads back as it
// was written; in a file of CR lines a CR LF or an LF ends a line too.
class LineSplitter {
 public:
  using Apply = std::function<void(std::string_view line, int number)>;
  explicit LineSplitter(const Apply& apply) : apply_(apply) {}

  bool wantsMore() const { return number_ <= kLastAppliedLine; }

  void put(char c) {
    if (crPending_) {  // a CR ended the line unless an LF follows it
      crPending_ = false;
      if (c == '\n') {
        if (ends_ == Ends::Unknown) ends_ = Ends::Lf;
        return end("\r\n");
      }
      ends_ = Ends::Cr;
      end("\r");
      if (!wantsMore()) return;
    }
    if (c == '\n') {
      if (ends_ == Ends::Unknown) ends_ = Ends::Lf;
      return end("\n");
    }
    if (c == '\r' && ends_ != Ends::Lf) {
      crPending_ = true;
      return;
    }
    if (line_.size() < kMaxLineLength) line_ += c;
  }

  // The end of the file: a CR there ends its line; other characters after the last line
  // end are never handed on.
  void finish() {
    if (crPending_ && wantsMore()) end("\r");
    crPending_ = false;
  }

 private:
  enum class Ends { Unknown, Lf, Cr };

  // The line is handed on with its line end, however long it was.
  void end(std::string_view lineEnd) {
    line_ += lineEnd;
    apply_(line_, number_++);
    line_.clear();
  }

  const Apply& apply_;
  std::string line_;
  int number_ = 0;
  Ends ends_ = Ends::Unknown;
  bool crPending_ = false;
};

}  // namespace

FileOutcome readTableLines(const std::string& path,
                           const std::function<void(std::string_view line, int number)>& apply) {
  const OpenedFile file = openForReading(path);
  if (file.fd < 0) return *file.error;
  LineSplitter lines(apply);
  char buffer[8192];
  while (lines.wantsMore()) {
    const ssize_t n = ::read(file.fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int error = errno;
      ::close(file.fd);
      return FileError{FileError::Kind::ReadError, systemText(error)};
    }
    if (n == 0) break;  // end of file
    for (ssize_t i = 0; i < n && lines.wantsMore(); ++i) lines.put(buffer[i]);
  }
  lines.finish();
  ::close(file.fd);
  return {};
}

}  // namespace palor::csv
