// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The running simulator: one loop that waits on the line to the programmer, on the
// command sources and on the device's clock, and moves bytes between them.
//
// Bytes from the programmer go to the device as they arrive. The device's frames leave
// when they fall due, through the line pacer (paced at the line rate, or at once). Command
// lines (in, out, status, quit) come from any number of sources, such as standard input
// and the control FIFO. The loop ends on "quit", on a stop signal, or when the line fails.
#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <vector>

#include "charger_device.h"
#include "control_commands.h"
#include "line_pacer.h"

namespace palor::sim {

class StopSignals;

class SimulatorLoop {
 public:
  // lineFd is the simulator's end of the line (the pseudo-terminal master), not blocking.
  // Answers to "status" go to `out`, failures and refused commands to `errors`.
  SimulatorLoop(ChargerDevice& device, int lineFd, bool paced, std::ostream& out,
                std::ostream& errors);

  // Reads command lines from this descriptor as well; the loop does not own it. A source
  // that reaches its end or fails is no longer read.
  void addCommandSource(int fd);
  // Ends the loop when one of the stop signals comes.
  void stopOn(const StopSignals& signals) { stop_ = &signals; }

  // Waits until something is to be done, but at most `limit` when given, and does it.
  // Returns the exit status once the loop has ended: 0 after "quit" or a stop signal, 1
  // when the line failed.
  std::optional<int> step(std::optional<Clock::duration> limit = std::nullopt);
  // Steps until the loop ends; returns its exit status.
  int run();

  const LinePacer& line() const { return line_; }

 private:
  struct Source {
    int fd;
    CommandLines lines;
  };

  bool sendDue(Clock::time_point now);
  bool receive(Clock::time_point now);
  bool readCommands(Source& source, Clock::time_point now);
  bool run(Command command, Clock::time_point now);
  std::optional<int> stopped() const;

  ChargerDevice& device_;
  int lineFd_;
  LinePacer line_;
  std::ostream& out_;
  std::ostream& errors_;
  std::vector<Source> sources_;
  const StopSignals* stop_ = nullptr;
  bool quit_ = false;
};

}  // namespace palor::sim
