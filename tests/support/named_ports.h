// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Serial ports under names of a test's choosing, in a folder of their own: each name a
// symbolic link to a pseudo-terminal whose master side the test holds, or nothing at all
// for a port whose device node is missing. Opening a name opens the terminal.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <map>
#include <stdexcept>
#include <string>

#include "temp_folder.h"

namespace palor::test {

class NamedPorts {
 public:
  NamedPorts() = default;
  ~NamedPorts() {
    for (auto& [name, master] : masters_)
      if (master >= 0) ::close(master);
  }
  NamedPorts(const NamedPorts&) = delete;
  NamedPorts& operator=(const NamedPorts&) = delete;

  // Makes the port `name` (a terminal, or with `present` false nothing) and returns its path.
  std::string add(const std::string& name, bool present = true) {
    const std::string path = this->path(name);
    if (!present) return path;
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
      throw std::runtime_error("no pseudo-terminal");
    devices_[name] = ::ptsname(master);
    masters_[name] = master;
    if (::symlink(devices_[name].c_str(), path.c_str()) != 0)
      throw std::runtime_error("no link for " + name);
    return path;
  }
  std::string path(const std::string& name) const { return folder_ + "/" + name; }
  // The name of one of these ports from its path; another path as it is.
  std::string name(const std::string& path) const {
    return path.rfind(folder_ + "/", 0) == 0 ? path.substr(folder_.size() + 1) : path;
  }
  // The terminal's own device node (/dev/pts/N), for its owner and rights.
  const std::string& device(const std::string& name) const { return devices_.at(name); }
  // The far side goes away, as when an adapter is pulled out.
  void hangUp(const std::string& name) {
    int& master = masters_.at(name);
    if (master >= 0) ::close(master);
    master = -1;
  }

 private:
  TempFolder temp_{"palor-ports"};  // reachable for the user nobody too
  std::string folder_ = temp_.path().string();
  std::map<std::string, std::string> devices_;
  std::map<std::string, int> masters_;
};

}  // namespace palor::test
