// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A symbolic link to the simulator's device at a path of the user's choice (a stable name
// for a pseudo-terminal whose number changes from run to run), removed again when its
// owner ends.
#include <string>

namespace palor::sim {

class DeviceLink {
 public:
  // Makes the link. An existing symbolic link at linkPath is replaced; anything else there
  // is left alone and refused. Throws std::runtime_error with the reason.
  DeviceLink(std::string linkPath, std::string target);
  // Removes the link, unless something else has taken its place meanwhile.
  ~DeviceLink();
  DeviceLink(const DeviceLink&) = delete;
  DeviceLink& operator=(const DeviceLink&) = delete;

  const std::string& path() const { return linkPath_; }

 private:
  std::string linkPath_;
  std::string target_;
};

}  // namespace palor::sim
