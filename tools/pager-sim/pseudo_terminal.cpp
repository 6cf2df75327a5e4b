// SPDX-License-Identifier: GPL-3.0-or-later
#include "pseudo_terminal.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>

#include "system_error.h"

namespace palor::sim {

PseudoTerminal::PseudoTerminal() {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0) throw systemError("cannot open a pseudo-terminal");
  const char* name = nullptr;
  if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0 || !(name = ::ptsname(master_))) {
    const auto error = systemError("cannot prepare the pseudo-terminal");
    ::close(master_);
    throw error;
  }
  devicePath_ = name;
  slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave_ < 0) {
    const auto error = systemError("cannot open " + devicePath_);
    ::close(master_);
    throw error;
  }
  // Raw line like the charger's port: without it the terminal would echo the simulator's
  // own replies back to it and translate bytes before the programmer opens the port.
  const auto makeRaw = [this] {
    termios line{};
    if (::tcgetattr(slave_, &line) != 0) return false;
    ::cfmakeraw(&line);
    line.c_cflag |= CLOCAL | CREAD;
    return ::cfsetispeed(&line, B57600) == 0 && ::cfsetospeed(&line, B57600) == 0 &&
           ::tcsetattr(slave_, TCSANOW, &line) == 0;
  };
  const bool raw = makeRaw();
  const int flags = raw ? ::fcntl(master_, F_GETFL) : -1;
  if (!raw || flags < 0 || ::fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0) {
    const auto error = systemError("cannot set up the pseudo-terminal " + devicePath_);
    ::close(slave_);
    ::close(master_);
    throw error;
  }
}

PseudoTerminal::~PseudoTerminal() {
  ::close(slave_);
  ::close(master_);
}

}  // namespace palor::sim
