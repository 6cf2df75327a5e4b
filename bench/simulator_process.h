// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The paced simulator as a child process of a benchmark: started with --quiet and the
// arguments given, its device path read from its first line, ended by SIGTERM (as on
// "quit").
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace palor::bench {

class SimulatorProcess {
 public:
  explicit SimulatorProcess(std::vector<std::string> arguments = {}) {
    int out[2];
    if (::pipe(out) != 0) throw std::runtime_error("no pipe");
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    ::posix_spawn_file_actions_addclose(&actions, out[0]);
    ::posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    arguments.insert(arguments.begin(), {PALOR_PAGER_SIM, "--quiet"});
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    const int rc = ::posix_spawn(&pid_, PALOR_PAGER_SIM, &actions, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    output_ = ::fdopen(out[0], "r");
    char line[256] = {};
    if (rc != 0 || !output_ || !std::fgets(line, sizeof line, output_))
      throw std::runtime_error("cannot start " PALOR_PAGER_SIM);
    port_ = line;
    if (!port_.empty() && port_.back() == '\n') port_.pop_back();
  }
  ~SimulatorProcess() {
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
    if (output_) std::fclose(output_);
  }
  SimulatorProcess(const SimulatorProcess&) = delete;
  SimulatorProcess& operator=(const SimulatorProcess&) = delete;

  const std::string& port() const { return port_; }

 private:
  pid_t pid_ = -1;
  std::FILE* output_ = nullptr;
  std::string port_;
};

}  // namespace palor::bench
