// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Runs a program as a user runs it from a shell: its standard output, standard error and
// exit status.
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace palor::test {

struct CommandResult {
  std::string out;
  std::string err;
  int status = -1;  // the exit status, or -1 when the program did not exit
};

inline CommandResult runCommand(const std::string& commandLine) {
  static std::atomic<int> calls{0};
  const std::string errPath =
      "/tmp/palor-test-" + std::to_string(::getpid()) + "-" + std::to_string(++calls) + ".err";
  const std::string command = commandLine + " 2>" + errPath;
  CommandResult result;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return result;
  std::array<char, 4096> buffer;
  std::size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
    result.out.append(buffer.data(), n);
  const int raw = pclose(pipe);
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  std::ifstream err(errPath, std::ios::binary);
  result.err.assign(std::istreambuf_iterator<char>(err), std::istreambuf_iterator<char>());
  std::remove(errPath.c_str());
  return result;
}

}  // namespace palor::test
