// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Runs the real palor-pager-sim for the end-to-end tests: its standard input is a pipe for
// commands, the first line of its standard output is its device path. Its standard error
// goes to the test's, or to a file when one is named.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace palor::test {

class SimProcess {
 public:
  explicit SimProcess(const std::vector<std::string>& args, const std::string& errorsPath = "") {
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0)
      throw std::runtime_error("no pipe");
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    ::posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    if (!errorsPath.empty())
      ::posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorsPath.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<std::string> all{PALOR_PAGER_SIM};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    const int rc = ::posix_spawn(&pid_, PALOR_PAGER_SIM, &actions, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    toSim_ = in[1];
    fromSim_ = out[0];
    if (rc != 0) throw std::runtime_error("cannot start " PALOR_PAGER_SIM);
  }
  ~SimProcess() {
    if (pid_ > 0) {
      command("quit");
      if (wait(std::chrono::seconds(3)) == kStillRunning) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
      }
    }
    if (toSim_ >= 0) ::close(toSim_);
    ::close(fromSim_);
  }
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  void command(const std::string& line) {
    if (toSim_ < 0) return;
    const std::string text = line + "\n";
    if (::write(toSim_, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
      throw std::runtime_error("the simulator does not take commands");
  }
  // One line of standard output without its end, or "" when none came in time.
  std::string readLine(std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      pollfd p{fromSim_, POLLIN, 0};
      if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) return "";
      char c;
      if (::read(fromSim_, &c, 1) != 1) return "";
      if (c == '\n') return line;
      line += c;
    }
  }
  void signal(int number) {
    if (pid_ > 0) ::kill(pid_, number);
  }
  static constexpr int kStillRunning = -1000;
  // The exit status once the simulator has ended, or kStillRunning.
  int wait(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
      int status = 0;
      const pid_t r = ::waitpid(pid_, &status, WNOHANG);
      if (r == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
      }
      if (std::chrono::steady_clock::now() >= deadline) return kStillRunning;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }

 private:
  pid_t pid_ = -1;
  int toSim_ = -1;
  int fromSim_ = -1;
};

}  // namespace palor::test
