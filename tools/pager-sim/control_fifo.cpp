// SPDX-License-Identifier: GPL-3.0-or-later
#include "control_fifo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

#include "system_error.h"

namespace palor::sim {

ControlFifo::ControlFifo(std::string path) : path_(std::move(path)) {
  struct stat st {};
  if (::stat(path_.c_str(), &st) != 0) {
    if (errno != ENOENT) throw systemError("cannot use " + path_ + " as the control FIFO");
    if (::mkfifo(path_.c_str(), 0600) != 0)
      throw systemError("cannot make the control FIFO " + path_);
    made_ = true;
  } else if (!S_ISFIFO(st.st_mode)) {
    throw std::runtime_error(path_ + " exists and is not a FIFO");
  }
  fd_ = ::open(path_.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  // What was opened is checked, not the name: it may have changed since the test above.
  if (fd_ < 0 || ::fstat(fd_, &st) != 0 || !S_ISFIFO(st.st_mode)) {
    const auto error = fd_ < 0 ? systemError("cannot open the control FIFO " + path_)
                               : std::runtime_error(path_ + " is no longer a FIFO");
    if (fd_ >= 0) ::close(fd_);
    if (made_) ::unlink(path_.c_str());
    throw error;
  }
  device_ = st.st_dev;
  inode_ = st.st_ino;
}

ControlFifo::~ControlFifo() {
  ::close(fd_);
  struct stat st {};
  if (made_ && ::lstat(path_.c_str(), &st) == 0 && st.st_dev == device_ && st.st_ino == inode_)
    ::unlink(path_.c_str());
}

}  // namespace palor::sim
