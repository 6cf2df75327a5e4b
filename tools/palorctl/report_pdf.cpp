// SPDX-License-Identifier: GPL-3.0-or-later
#include "report_pdf.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <iostream>
#include <optional>
#include <string_view>

#include "files/file_error.h"
#include "report/report_labels.h"

extern char** environ;

namespace palor::ctl {
namespace {

// palor-report-pdf in the folder of this program's own executable, when it is there.
std::optional<std::string> besideThisProgram() {
  char self[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self);
  if (n <= 0 || n == static_cast<ssize_t>(sizeof self)) return std::nullopt;
  const std::string_view path(self, static_cast<std::size_t>(n));
  const std::string program = std::string(path.substr(0, path.rfind('/') + 1)) + kReportPdfProgram;
  if (::access(program.c_str(), X_OK) != 0) return std::nullopt;
  return program;
}

// An anonymous file in memory holding `text`, positioned at its start; -1 on failure.
int fileInMemory(std::string_view text) {
  const int fd = ::memfd_create("palor-report-labels", MFD_CLOEXEC);
  if (fd < 0) return -1;
  while (!text.empty()) {
    const ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ::close(fd);
      return -1;
    }
    text.remove_prefix(static_cast<std::size_t>(n));
  }
  if (::lseek(fd, 0, SEEK_SET) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

bool cannotRun(const std::string& why) {
  std::cerr << "palorctl: " << why << '\n';
  return false;
}

}  // namespace

bool writeReportPdfFile(const std::string& path, const TPrintReport& report) {
  // The labels are the program's standard input, from a file in memory: nothing to remove
  // afterwards, and no pipe to block on or to break.
  const int labels = fileInMemory(reportLabelLines(report));
  if (labels < 0)
    return cannotRun(std::string("cannot hand the report to ") + kReportPdfProgram + ": " +
                     systemText(errno));
  posix_spawn_file_actions_t actions;
  ::posix_spawn_file_actions_init(&actions);
  ::posix_spawn_file_actions_adddup2(&actions, labels, STDIN_FILENO);
  // "--quiet": a file that cannot be written is reported by the caller, as palorctl's own.
  std::string name = kReportPdfProgram, quiet = "--quiet", endOfOptions = "--", out = path;
  char* argv[] = {name.data(), quiet.data(), endOfOptions.data(), out.data(), nullptr};
  pid_t pid = 0;
  const std::optional<std::string> beside = besideThisProgram();
  const int spawned =
      beside ? ::posix_spawn(&pid, beside->c_str(), &actions, nullptr, argv, environ)
             : ::posix_spawnp(&pid, kReportPdfProgram, &actions, nullptr, argv, environ);
  ::posix_spawn_file_actions_destroy(&actions);
  ::close(labels);
  if (spawned == ENOENT)
    return cannotRun(std::string(kReportPdfProgram) +
                     " is neither beside palorctl nor on the PATH, so only \"report -\" is "
                     "available");
  if (spawned != 0)
    return cannotRun(std::string("cannot run ") + kReportPdfProgram + ": " + systemText(spawned));

  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR)
      return cannotRun(std::string("lost ") + kReportPdfProgram + ": " + systemText(errno));
  }
  if (WIFSIGNALED(status))
    return cannotRun(std::string(kReportPdfProgram) + " ended on signal " +
                     std::to_string(WTERMSIG(status)));
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace palor::ctl
