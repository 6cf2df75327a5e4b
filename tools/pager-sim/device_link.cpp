// SPDX-License-Identifier: GPL-3.0-or-later
#include "device_link.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "system_error.h"

namespace palor::sim {
namespace {

// Where the symbolic link at `path` points, or "" when there is none.
std::string linkTarget(const std::string& path) {
  std::string target(4096, '\0');
  const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
  if (n < 0 || static_cast<std::size_t>(n) >= target.size()) return {};
  target.resize(static_cast<std::size_t>(n));
  return target;
}

}  // namespace

DeviceLink::DeviceLink(std::string linkPath, std::string target)
    : linkPath_(std::move(linkPath)), target_(std::move(target)) {
  struct stat st {};
  if (::lstat(linkPath_.c_str(), &st) == 0) {
    if (!S_ISLNK(st.st_mode))
      throw std::runtime_error(linkPath_ + " exists and is not a symbolic link");
    if (::unlink(linkPath_.c_str()) != 0) throw systemError("cannot replace the link " + linkPath_);
  }
  if (::symlink(target_.c_str(), linkPath_.c_str()) != 0)
    throw systemError("cannot create the link " + linkPath_);
}

DeviceLink::~DeviceLink() {
  if (linkTarget(linkPath_) == target_) ::unlink(linkPath_.c_str());
}

}  // namespace palor::sim
