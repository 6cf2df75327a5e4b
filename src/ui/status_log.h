// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The status log at the foot of the main window: the only place the program talks to the
// user. Each message is appended as one line and never removed; a control character in it
// (from a name that came from outside) is kept as an escape, "\n" or "\x1b", so that a
// line stays one line and drives no terminal.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace palor {

class StatusLog {
 public:
  using Observer = std::function<void(const std::string& line)>;

  void append(std::string_view line);
  const std::vector<std::string>& lines() const { return lines_; }
  // Told of every appended line, after it was appended.
  void setObserver(Observer observer) { observer_ = std::move(observer); }

 private:
  std::vector<std::string> lines_;
  Observer observer_;
};

}  // namespace palor
