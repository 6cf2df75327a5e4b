// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The simulator's start-up failures: a message with the reason of the system call that
// failed, taken from errno at once, before anything else can change it.
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

namespace palor::sim {

// Call right after the failing system call.
inline std::runtime_error systemError(const std::string& what, int error = errno) {
  return std::runtime_error(what + ": " + std::strerror(error));
}

}  // namespace palor::sim
