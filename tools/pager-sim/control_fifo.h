// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The control FIFO: a named pipe through which other programs (a test, a script, a second
// terminal) give the running simulator its commands. It is made when missing and then
// removed again when its owner ends; a FIFO that was there before is used and left.
#include <sys/types.h>

#include <string>

namespace palor::sim {

class ControlFifo {
 public:
  // Throws std::runtime_error with the reason when the path is not a FIFO and cannot be
  // made one, or cannot be opened.
  explicit ControlFifo(std::string path);
  // Closes it, and removes it when it was made here and is still the same FIFO.
  ~ControlFifo();
  ControlFifo(const ControlFifo&) = delete;
  ControlFifo& operator=(const ControlFifo&) = delete;

  // Opened for reading and writing, not blocking: the simulator's own writer keeps the
  // FIFO from reporting end of file each time a controlling program closes its end.
  int fd() const { return fd_; }
  bool made() const { return made_; }

 private:
  std::string path_;
  int fd_ = -1;
  bool made_ = false;
  dev_t device_ = 0;
  ino_t inode_ = 0;
};

}  // namespace palor::sim
