// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The commands a user or a test gives the running simulator, one per line, on standard
// input or through the control FIFO: put the pager in, take it out, ask for its state,
// end the simulator.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace palor::sim {

enum class Command { In, Out, Status, Quit };

// The command a line names; blanks around it do not count. Nothing for an empty line;
// an unknown word is returned in `unknown`.
struct ParsedCommand {
  std::optional<Command> command;
  std::string unknown;
};
ParsedCommand parseCommand(std::string_view line);

// Cuts a byte stream into lines. A line longer than kMaxLine is no command at all: it is
// discarded whole, up to its line end, so that no tail of it runs as one.
class CommandLines {
 public:
  static constexpr std::size_t kMaxLine = 256;

  struct Line {
    std::string text;      // without its line end; empty when the line was too long
    bool tooLong = false;  // the line was discarded
  };
  // Takes the next bytes of the stream; returns the lines they complete, in order.
  std::vector<Line> feed(std::string_view bytes);

 private:
  std::string partial_;      // the line so far
  bool discarding_ = false;  // the line so far is too long: skip to its end
};

}  // namespace palor::sim
