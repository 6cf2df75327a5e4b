// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Running part of a test as an ordinary user. The tests run as root here, and root passes
// every permission check that such a test wants to see refuse; the part runs in a child
// process, which gives up root for good while the test process keeps it.
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>

#include "temp_folder.h"

namespace palor::test {

inline constexpr uid_t kNobody = 65534;
inline constexpr gid_t kNogroup = 65534;

// Runs `body` (returning an exit status, 0..124) in a child process as the user nobody
// and returns that status; nothing when the test does not run as root (no other user to
// become) or the child could not become nobody. `body` must not use gtest's assertions.
// Gives up root for good in a child process: no supplementary groups, the group nogroup,
// the user nobody. Whether it could; a process that is not root stays as it is (true).
inline bool becomeNobody() {
  if (::geteuid() != 0) return true;
  return ::setgroups(0, nullptr) == 0 && ::setresgid(kNogroup, kNogroup, kNogroup) == 0 &&
         ::setresuid(kNobody, kNobody, kNobody) == 0;
}

template <typename Body>
std::optional<int> runAsNobody(Body body) {
  constexpr int kCouldNotSwitch = 125;
  if (::geteuid() != 0) return std::nullopt;
  const pid_t child = ::fork();
  if (child < 0) return std::nullopt;
  if (child == 0) {
    if (!becomeNobody()) ::_exit(kCouldNotSwitch);
    ::_exit(body());
  }
  int status = 0;
  if (::waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
      WEXITSTATUS(status) == kCouldNotSwitch)
    return std::nullopt;
  return WEXITSTATUS(status);
}

// A copy of the program at `program` that the user nobody may run: the checkout may lie in
// a folder closed to other users (a clone under /root), and the programs are linked
// statically against the project's libraries, so the copy runs alone.
class ProgramForNobody {
 public:
  explicit ProgramForNobody(const std::string& program) : folder_("palor-program") {
    path_ = folder_.path(std::filesystem::path(program).filename().string());
    std::filesystem::copy_file(program, path_);
    std::filesystem::permissions(
        path_, std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                   std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
                   std::filesystem::perms::others_exec);
  }
  const std::string& path() const { return path_; }

 private:
  TempFolder folder_;
  std::string path_;
};

}  // namespace palor::test
