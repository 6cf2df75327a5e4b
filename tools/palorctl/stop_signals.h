// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The stop signals of the commands that talk to the charger, as a descriptor their link
// clock wakes on.
#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>

namespace palor::ctl {

// The write end of the stop signals' pipe, for the handler.
inline volatile std::sig_atomic_t stopPipe = -1;
extern "C" inline void onStopSignal(int) {
  const int saved = errno;
  const char byte = 1;
  (void)!::write(stopPipe, &byte, 1);
  errno = saved;
}

// SIGINT, SIGTERM and SIGHUP (a closed terminal, a dropped ssh session) as a descriptor the
// link clock wakes on: the handler only writes a byte to a pipe, whichever thread takes the
// signal, and the run ends at once, as an interrupted window closes, with the closing
// command.
class StopSignals {
 public:
  StopSignals() {
    if (::pipe2(fds_, O_CLOEXEC | O_NONBLOCK) != 0) fds_[0] = fds_[1] = -1;
    stopPipe = fds_[1];
    struct sigaction stop {};
    stop.sa_handler = onStopSignal;
    sigemptyset(&stop.sa_mask);
    for (std::size_t i = 0; i < kSignals.size(); ++i) ::sigaction(kSignals[i], &stop, &old_[i]);
  }
  ~StopSignals() {
    for (std::size_t i = 0; i < kSignals.size(); ++i) ::sigaction(kSignals[i], &old_[i], nullptr);
    stopPipe = -1;
    for (const int fd : fds_)
      if (fd >= 0) ::close(fd);
  }
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  int fd() const { return fds_[0]; }
  // Takes what the handler wrote: how many signals came since the last take.
  int take() {
    char bytes[16];
    int came = 0;
    for (ssize_t n; (n = ::read(fds_[0], bytes, sizeof bytes)) > 0;) came += static_cast<int>(n);
    return came;
  }

 private:
  static constexpr std::array<int, 3> kSignals{SIGINT, SIGTERM, SIGHUP};
  int fds_[2] = {-1, -1};
  std::array<struct sigaction, 3> old_{};
};

}  // namespace palor::ctl
