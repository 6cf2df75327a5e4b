// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/receive_thread.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace palor {

ReceiveThread::ReceiveThread(int portFd, ReceiveRing& ring) : port_(portFd), ring_(ring) {
  stopEvent_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (stopEvent_ < 0 || port_ < 0) {
    // Cannot set itself up: the port stays open without reception.
    ended_.store(true, std::memory_order_release);
    return;
  }
  thread_ = std::thread([this] { run(); });
}

ReceiveThread::~ReceiveThread() {
  stop();
  if (stopEvent_ >= 0) ::close(stopEvent_);
}

void ReceiveThread::stop() {
  if (!thread_.joinable()) return;
  const std::uint64_t one = 1;
  // The eventfd counter cannot overflow from a handful of stops; a failed write would
  // leave the worker waiting, so retry on interruption.
  while (::write(stopEvent_, &one, sizeof one) < 0 && errno == EINTR) {
  }
  thread_.join();
}

void ReceiveThread::run() {
  pollfd fds[2] = {{port_, POLLIN, 0}, {stopEvent_, POLLIN, 0}};
  for (;;) {
    fds[0].revents = fds[1].revents = 0;
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (fds[1].revents != 0) break;  // stop requested: do not touch the port again
    const short portEvents = fds[0].revents;
    if ((portEvents & POLLIN) && !drainPort()) break;
    // A hung-up or failed port keeps reporting itself; waiting on it again would spin.
    if (portEvents & (POLLHUP | POLLERR | POLLNVAL)) break;
  }
  ended_.store(true, std::memory_order_release);
}

bool ReceiveThread::drainPort() {
  std::uint8_t chunk[256];
  bool gotAny = false;
  for (;;) {
    const ssize_t n = ::read(port_, chunk, sizeof chunk);
    if (n > 0) {
      gotAny = true;
      for (ssize_t i = 0; i < n; ++i) ring_.store(chunk[i]);
      int queued = 0;
      if (::ioctl(port_, FIONREAD, &queued) < 0) queued = 0;
      ring_.setDataReady(queued == 0);
      continue;
    }
    // Reported readable but nothing to read: end of file, the far side is gone. After some
    // bytes, 0 only means the queue is empty now (a line with no minimum byte count).
    if (n == 0) return gotAny;
    if (errno == EINTR) continue;
    return errno == EAGAIN || errno == EWOULDBLOCK;
  }
}

}  // namespace palor
