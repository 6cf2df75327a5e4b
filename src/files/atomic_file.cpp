#include "files/atomic_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace palor {
namespace {

bool writeAll(int fd, std::string_view content) {
  while (!content.empty()) {
    const ssize_t n = ::write(fd, content.data(), content.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return false;
    content.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace

bool saveFileAtomically(const std::string& name, std::string_view content) {
  if (name.empty()) return false;
  // Saving through a symbolic link replaces the file it points to and keeps the link.
  std::string path = name;
  if (char* resolved = ::realpath(name.c_str(), nullptr)) {
    path = resolved;
    std::free(resolved);
  }
  // A name that is a folder cannot be saved to, and must not be replaced; nor may a file
  // its owner made read-only.
  struct stat existing {};
  const bool exists = ::stat(path.c_str(), &existing) == 0;
  if (exists && (!S_ISREG(existing.st_mode) || ::access(path.c_str(), W_OK) != 0)) return false;

  std::string temporary = path + ".XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) return false;
  // The new file keeps the permissions of the one it replaces; a new name gets the usual
  // permissions of a created file.
  mode_t mode = 0666;
  if (exists) {
    mode = existing.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode &= ~mask;
  }
  bool ok = ::fchmod(fd, mode) == 0 && writeAll(fd, content) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  ok = ok && ::rename(temporary.c_str(), path.c_str()) == 0;
  if (!ok) ::unlink(temporary.c_str());
  return ok;
}

}  // namespace palor
