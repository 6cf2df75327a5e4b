// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/serial_transport.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <system_error>
#include <vector>

namespace palor {
namespace {

// How long transmit waits for room in the port's output queue before it gives up on the
// rest of a frame. A frame is at most 70 bytes, far below any driver's queue, so this only
// matters on a stalled line.
constexpr int kTransmitWaitMs = 100;

// Raw 57600 bit/s, 8 data bits, no parity, 1 stop bit, no translation of any byte. Frames
// are binary, so software flow control is off as well: XON and XOFF bytes are data.
void setLine(int fd, termios& line) {
  ::cfmakeraw(&line);
  ::cfsetispeed(&line, B57600);
  ::cfsetospeed(&line, B57600);
  line.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB);
  line.c_cflag |= CS8 | CREAD | CLOCAL;
  line.c_iflag &= ~static_cast<tcflag_t>(INPCK | IXON | IXOFF | IXANY | IGNPAR);
  line.c_cc[VMIN] = 1;
  line.c_cc[VTIME] = 0;
  ::tcsetattr(fd, TCSANOW, &line);  // as on every driver, the outcome is not tested
}

// The name of the group `gid`, or empty.
std::string groupName(gid_t gid) {
  long size = ::sysconf(_SC_GETGR_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 1024);
  for (;;) {
    group entry{};
    group* found = nullptr;
    const int error = ::getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found);
    if (error == ERANGE && buffer.size() < (1u << 20)) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    return error == 0 && found && found->gr_name ? std::string(found->gr_name) : std::string();
  }
}

// Who may open the device node that kept this user out: its group, when the group may
// read and write it, or else only its owner.
PortOpenError permissionFailure(const std::string& path) {
  PortOpenError error{PortOpenError::Kind::NoPermission, {}};
  struct stat node {};
  if (::stat(path.c_str(), &node) != 0) return error;
  constexpr mode_t kGroupReadWrite = S_IRGRP | S_IWGRP;
  if ((node.st_mode & kGroupReadWrite) != kGroupReadWrite) {
    error.opener = PortOpenError::Opener::OwnerOnly;
    return error;
  }
  error.opener = PortOpenError::Opener::Group;
  error.detail = groupName(node.st_gid);
  return error;
}

// Why opening, locking or configuring `path` failed with the system's `error`.
PortOpenError openFailure(const std::string& path, int error) {
  using Kind = PortOpenError::Kind;
  switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ENODEV:
    case ENXIO: return {Kind::NotFound, {}};
    case EBUSY:
    case EWOULDBLOCK:  // the lock of another opener
      return {Kind::Busy, {}};
    case EACCES:
    case EPERM: return permissionFailure(path);
    case ENOTTY:
    case EISDIR:
    case EINVAL: return {Kind::NotATerminal, {}};
    default: return {Kind::Other, std::generic_category().message(error)};
  }
}

}  // namespace

std::string describe(const PortOpenError& error) {
  using Kind = PortOpenError::Kind;
  switch (error.kind) {
    case Kind::NotFound: return "the port does not exist";
    case Kind::Busy: return "the port is in use by another program";
    case Kind::NoPermission:
      if (error.opener == PortOpenError::Opener::OwnerOnly)
        return std::string(
                   "permission denied (only the port's owner may open it; install the "
                   "udev rule ") +
               kUdevRuleName + " into udev's rules directory and plug the adapter in again)";
      if (error.detail.empty()) return "permission denied";
      return "permission denied (the port belongs to group " + error.detail +
             "; add your user to that group and log in again)";
    case Kind::NotATerminal: return "not a serial port";
    case Kind::AlreadyOpen: return "another port is open already";
    case Kind::Other: return error.detail;
  }
  return error.detail;
}

namespace {

// The port opened and locked, with its line settings as found; or why not.
struct LockedPort {
  int fd = -1;
  termios line{};
  std::optional<PortOpenError> error;
};

LockedPort openLocked(const std::string& path) {
  LockedPort port;
  if (path.empty()) {
    port.error = PortOpenError{PortOpenError::Kind::NotFound, {}};
    return port;
  }
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    port.error = openFailure(path, errno);
    return port;
  }
  // The terminal test comes first, so that a file or another device is told apart from a
  // port that someone else holds. The advisory lock keeps out every other opener that
  // locks too, root included; TIOCEXCL keeps out ordinary users that do not lock.
  if (::tcgetattr(fd, &port.line) != 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    port.error = openFailure(path, error);
    return port;
  }
  port.fd = fd;
  return port;
}

}  // namespace

PortOpenOutcome checkPort(const std::string& path) {
  const LockedPort port = openLocked(path);
  if (port.error) return *port.error;
  ::close(port.fd);  // the lock goes with the descriptor
  return {};
}

SerialTransport::~SerialTransport() { close(); }

PortOpenOutcome SerialTransport::open(const std::string& path) {
  if (fd_ >= 0) return PortOpenError{PortOpenError::Kind::AlreadyOpen, {}};
  LockedPort port = openLocked(path);
  if (port.error) return *port.error;
  const int fd = port.fd;
  termios& line = port.line;
  // Some emulated terminals (umockdev's) refuse TIOCEXCL while taking every termios call;
  // the lock above still keeps out every opener that locks, so the port is used anyway.
  (void)::ioctl(fd, TIOCEXCL);
  found_ = line;
  setLine(fd, line);
  ::tcflush(fd, TCIOFLUSH);

  fd_ = fd;
  path_ = path;
  suppressed_ = false;
  worker_ = std::make_unique<ReceiveThread>(fd_, ring_);
  return {};
}

bool SerialTransport::transmit(std::span<const std::uint8_t> bytes) {
  if (suppressed_ || fd_ < 0 || linkLost()) return false;
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::write(fd_, bytes.data() + sent, bytes.size() - sent);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd out{fd_, POLLOUT, 0};
      if (::poll(&out, 1, kTransmitWaitMs) > 0 && (out.revents & POLLOUT)) continue;
    }
    return false;
  }
  return true;
}

bool SerialTransport::drainOutput(std::chrono::milliseconds limit) {
  if (fd_ < 0) return true;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    int queued = 0;
    if (::ioctl(fd_, TIOCOUTQ, &queued) != 0 || queued <= 0) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    ::usleep(2000);
  }
}

bool SerialTransport::close() {
  if (fd_ < 0) return true;
  // The worker must be gone before the descriptor is released: a number closed here may
  // be handed out again at once, to a port the worker was not started for.
  worker_.reset();
  // Another holder of the terminal (a simulator keeping its own side open) would otherwise
  // find it still marked exclusive.
  ::ioctl(fd_, TIOCNXCL);
  // Fails harmlessly when the adapter is gone.
  ::tcsetattr(fd_, TCSANOW, &found_);
  // Linux releases the descriptor even when close reports an error, so the port is
  // recorded as closed either way; keeping the old number would risk closing a stranger's.
  const int result = ::close(fd_);
  fd_ = -1;
  path_.clear();
  return result == 0 || errno == EINTR;
}

}  // namespace palor
