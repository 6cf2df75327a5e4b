// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The simulator's end of the serial line: a pseudo-terminal whose slave device stands in
// for the charger's serial port. The simulator keeps a descriptor of the slave side open
// for its whole life, so the master never sees a hang-up (EIO) while the programmer closes
// and reopens the port, and the line settings stay raw between opens.
#include <string>

namespace palor::sim {

class PseudoTerminal {
 public:
  // Throws std::runtime_error when no pseudo-terminal can be had.
  PseudoTerminal();
  ~PseudoTerminal();
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  int master() const { return master_; }
  const std::string& devicePath() const { return devicePath_; }

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string devicePath_;
};

}  // namespace palor::sim
