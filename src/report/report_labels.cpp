// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/report_labels.h"

#include <set>
#include <utility>

#include "config/ascii_text.h"

namespace palor {
namespace {

bool isEscaped(unsigned char c) { return c < 0x20 || c == 0x7F || c == '\\'; }

// The value of one line as written, or nothing when an escape is not \x and two capital
// hexadecimal digits of a byte that is written escaped.
std::optional<std::string> unescaped(std::string_view shown) {
  std::string text;
  for (std::size_t i = 0; i < shown.size(); ++i) {
    const auto c = static_cast<unsigned char>(shown[i]);
    if (c != '\\') {
      if (isEscaped(c)) return std::nullopt;
      text += shown[i];
      continue;
    }
    if (shown.size() - i < 4) return std::nullopt;
    const int high = hexValue(shown[i + 2]);
    const int low = hexValue(shown[i + 3]);
    if (high < 0 || low < 0) return std::nullopt;
    const auto byte = static_cast<unsigned char>(high * 16 + low);
    // Only the one way the lines are written: \x, capital digits, a byte written escaped.
    if (!isEscaped(byte) || shown.substr(i, 4) != hexEscape(byte)) return std::nullopt;
    text += static_cast<char>(byte);
    i += 3;
  }
  return text;
}

}  // namespace

std::string reportLabelLines(const TPrintReport& report) {
  std::string lines;
  for (const ReportLabel* label : report.labels()) {
    lines += label->name + ": ";
    for (char ch : label->text) {
      const auto c = static_cast<unsigned char>(ch);
      lines += isEscaped(c) ? hexEscape(c) : std::string(1, ch);
    }
    lines += '\n';
  }
  return lines;
}

std::optional<std::string> readReportLabelLines(std::string_view lines, TPrintReport& report) {
  std::set<std::string_view> given;
  std::size_t number = 0;
  while (!lines.empty()) {
    ++number;
    const std::size_t end = lines.find('\n');
    const std::string where = "line " + std::to_string(number);
    if (end == std::string_view::npos) return where + " has no line end";
    const std::string_view line = lines.substr(0, end);
    lines.remove_prefix(end + 1);
    const std::size_t colon = line.find(": ");
    if (colon == std::string_view::npos) return where + " is no \"name: value\" line";
    const std::string_view name = line.substr(0, colon);
    // The report is not const here, so the label found may be changed.
    auto* label = const_cast<ReportLabel*>(std::as_const(report).findLabel(name));
    if (!label) return where + ": the report has no label named '" + std::string(name) + "'";
    if (!given.insert(label->name).second)
      return where + ": the label '" + std::string(name) + "' is given twice";
    const std::optional<std::string> text = unescaped(line.substr(colon + 2));
    if (!text)
      return where + ": the value of '" + std::string(name) +
             "' has a byte that is not escaped "
             "as \\xNN, or an escape of one that is not";
    label->text = *text;
  }
  const std::size_t all = report.labels().size();
  if (given.size() < all)
    return std::to_string(all - given.size()) + " of the report's " + std::to_string(all) +
           " labels are missing";
  return std::nullopt;
}

}  // namespace palor
