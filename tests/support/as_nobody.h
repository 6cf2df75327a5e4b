#pragma once
// Running part of a test as an ordinary user. The tests run as root here, and root passes
// every permission check that such a test wants to see refuse; the part runs in a child
// process, which gives up root for good while the test process keeps it.
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <optional>

namespace palor::test {

inline constexpr uid_t kNobody = 65534;
inline constexpr gid_t kNogroup = 65534;

// Runs `body` (returning an exit status, 0..124) in a child process as the user nobody
// and returns that status; nothing when the test does not run as root (no other user to
// become) or the child could not become nobody. `body` must not use gtest's assertions.
template <typename Body>
std::optional<int> runAsNobody(Body body) {
  constexpr int kCouldNotSwitch = 125;
  if (::geteuid() != 0) return std::nullopt;
  const pid_t child = ::fork();
  if (child < 0) return std::nullopt;
  if (child == 0) {
    if (::setgroups(0, nullptr) != 0 || ::setresgid(kNogroup, kNogroup, kNogroup) != 0 ||
        ::setresuid(kNobody, kNobody, kNobody) != 0)
      ::_exit(kCouldNotSwitch);
    ::_exit(body());
  }
  int status = 0;
  if (::waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
      WEXITSTATUS(status) == kCouldNotSwitch)
    return std::nullopt;
  return WEXITSTATUS(status);
}

}  // namespace palor::test
