// SPDX-License-Identifier: GPL-3.0-or-later
#include "control_commands.h"

namespace palor::sim {

ParsedCommand parseCommand(std::string_view line) {
  constexpr std::string_view kBlanks = " \t\r";
  const auto first = line.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  line = line.substr(first, line.find_last_not_of(kBlanks) - first + 1);
  if (line == "in") return {Command::In, {}};
  if (line == "out") return {Command::Out, {}};
  if (line == "status") return {Command::Status, {}};
  if (line == "quit") return {Command::Quit, {}};
  return {std::nullopt, std::string(line)};
}

std::vector<CommandLines::Line> CommandLines::feed(std::string_view bytes) {
  std::vector<Line> lines;
  while (!bytes.empty()) {
    const auto eol = bytes.find('\n');
    const std::string_view piece = bytes.substr(0, eol);
    if (!discarding_ && partial_.size() + piece.size() > kMaxLine) {
      partial_.clear();
      discarding_ = true;
    }
    if (!discarding_) partial_.append(piece);
    if (eol == std::string_view::npos) break;
    bytes.remove_prefix(eol + 1);
    lines.push_back({discarding_ ? std::string() : std::move(partial_), discarding_});
    partial_.clear();
    discarding_ = false;
  }
  return lines;
}

}  // namespace palor::sim
