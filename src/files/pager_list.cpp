// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/pager_list.h"

#include <algorithm>

#include "files/csv_table.h"
#include "files/file_read.h"

namespace palor {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

std::string_view trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The values of one line (without its line end), or why they cannot be read.
struct SplitLine {
  std::vector<std::string> values;
  std::string problem;
};

SplitLine splitValues(std::string_view line) {
  SplitLine split;
  std::size_t i = 0;
  const std::size_t n = line.size();
  for (;;) {
    std::string value;
    if (i < n && line[i] == '"') {
      for (++i;; ++i) {
        if (i >= n) {
          split.problem = "a quoted value is not closed";
          return split;
        }
        if (line[i] != '"') {
          value += line[i];
        } else if (i + 1 < n && line[i + 1] == '"') {
          value += '"';
          ++i;
        } else {
          ++i;
          break;
        }
      }
      if (i < n && line[i] != ',') {
        split.problem = "text after the closing quote of value " +
                        std::to_string(split.values.size() + 1) + " (quote the whole value)";
        return split;
      }
    } else {
      const std::size_t end = std::min(line.find(',', i), n);
      value.assign(line.substr(i, end - i));
      i = end;
    }
    split.values.push_back(std::move(value));
    if (i >= n) return split;
    ++i;  // the comma
  }
}

bool allEmpty(const std::vector<std::string>& values) {
  return std::all_of(values.begin(), values.end(), [](const std::string& v) { return v.empty(); });
}

PagerListOutcome failed(std::string why) { return {std::nullopt, std::move(why), std::nullopt}; }

}  // namespace

PagerListOutcome parsePagerList(std::string_view text) {
  if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
  PagerList list;
  bool named = false;
  int number = 0;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    ++number;
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.empty()) continue;

    if (line.size() > csv::kMaxLineLength) {
      if (!named) return failed("line " + std::to_string(number) + " is too long");
      list.rows.push_back(
          {number,
           {},
           "the line is longer than " + std::to_string(csv::kMaxLineLength) + " characters"});
      continue;
    }
    SplitLine split = splitValues(line);
    if (!named) {
      if (!split.problem.empty())
        return failed("line " + std::to_string(number) + ": " + split.problem);
      for (std::size_t c = 0; c < split.values.size(); ++c) {
        const std::string_view name = trimmed(split.values[c]);
        const std::string column = "column " + std::to_string(c + 1);
        if (name.empty()) return failed(column + " of the first line names no field");
        const auto field = findField(name);
        if (!field) return failed("no field named " + quoted(name) + " (" + column + ")");
        if (std::find(list.columns.begin(), list.columns.end(), *field) != list.columns.end())
          return failed("the field " + quoted(name) + " is named twice");
        list.columns.push_back(*field);
      }
      named = true;
      continue;
    }
    if (split.problem.empty() && allEmpty(split.values)) continue;  // a spreadsheet's empty row
    if (split.problem.empty() && split.values.size() != list.columns.size())
      split.problem = std::to_string(split.values.size()) + " values for " +
                      std::to_string(list.columns.size()) + " fields";
    if (!split.problem.empty()) split.values.clear();
    list.rows.push_back({number, std::move(split.values), std::move(split.problem)});
  }
  if (!named) return failed("the list is empty: its first line names the fields");
  return {std::move(list), {}, std::nullopt};
}

PagerListOutcome readPagerList(const std::string& path) {
  // One byte more than the limit tells a file that passes it.
  const FileRead read = readFileStart(path, kMaxListBytes + 1);
  if (!read) return {std::nullopt, describe(*read.error), read.error};
  if (read.bytes.size() > kMaxListBytes)
    return failed("the list is longer than " + std::to_string(kMaxListBytes / (1024 * 1024)) +
                  " MiB");
  return parsePagerList(
      std::string_view(reinterpret_cast<const char*>(read.bytes.data()), read.bytes.size()));
}

}  // namespace palor
