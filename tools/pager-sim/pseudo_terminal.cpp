#include "pseudo_terminal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace palor::sim {
namespace {

std::runtime_error systemError(const std::string& what) {
  return std::runtime_error(what + ": " + std::strerror(errno));
}

}  // namespace

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
  termios line{};
  ::tcgetattr(slave_, &line);
  ::cfmakeraw(&line);
  ::cfsetispeed(&line, B57600);
  ::cfsetospeed(&line, B57600);
  line.c_cflag |= CLOCAL | CREAD;
  ::tcsetattr(slave_, TCSANOW, &line);
  ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
}

PseudoTerminal::~PseudoTerminal() {
  ::close(slave_);
  ::close(master_);
}

DeviceLink::DeviceLink(std::string linkPath, const std::string& target)
    : linkPath_(std::move(linkPath)) {
  struct stat st {};
  if (::lstat(linkPath_.c_str(), &st) == 0) {
    if (!S_ISLNK(st.st_mode))
      throw std::runtime_error(linkPath_ + " exists and is not a symbolic link");
    ::unlink(linkPath_.c_str());
  }
  if (::symlink(target.c_str(), linkPath_.c_str()) != 0) {
    const auto error = systemError("cannot create the link " + linkPath_);
    linkPath_.clear();
    throw error;
  }
}

DeviceLink::~DeviceLink() {
  if (!linkPath_.empty()) ::unlink(linkPath_.c_str());
}

}  // namespace palor::sim
