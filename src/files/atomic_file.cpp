#include "files/atomic_file.h"

#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>

#include "files/file_read.h"

namespace palor {
namespace {

// 0, or the error number of the write that failed.
int writeAll(int fd, std::string_view content) {
  while (!content.empty()) {
    const ssize_t n = ::write(fd, content.data(), content.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return EIO;
    content.remove_prefix(static_cast<std::size_t>(n));
  }
  return 0;
}

// The name a save writes to: `name` with its symbolic links followed, also a link whose
// target does not exist yet (the save then creates that target). Nothing for a loop of
// links.
std::optional<std::string> saveTarget(const std::string& name) {
  if (char* resolved = ::realpath(name.c_str(), nullptr)) {
    std::string path = resolved;
    std::free(resolved);
    return path;
  }
  // The name, or the end of its chain of links, does not exist.
  std::string path = name;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    std::string target(PATH_MAX, '\0');
    const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
    if (n <= 0) return path;
    target.resize(static_cast<std::size_t>(n));
    // A relative target is relative to the folder that holds the link.
    if (target.front() != '/') {
      const auto slash = path.rfind('/');
      if (slash != std::string::npos) target = path.substr(0, slash + 1) + target;
    }
    path = std::move(target);
  }
  return std::nullopt;
}

// Root may give the new file the old one's owner and group, an ordinary owner its group
// when it is one of theirs; otherwise the new file stays this user's.
void keepOwnerAndGroup(int fd, const struct stat& old) {
  if (::fchown(fd, old.st_uid, old.st_gid) == 0) return;
  (void)::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
}

// The file itself, overwritten from its start and cut to the new length. Owner, group,
// permissions and links stay as they are.
FileOutcome writeInPlace(const std::string& path, std::string_view content) {
  // O_NONBLOCK: should the name have become a named pipe, the open must not wait.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return writeFailure(errno);
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    const int error = errno;
    ::close(fd);
    return writeFailure(error);
  }
  if (!S_ISREG(info.st_mode)) {
    ::close(fd);
    return notRegularFile(info.st_mode);
  }
  int error = writeAll(fd, content);
  if (!error && ::ftruncate(fd, static_cast<off_t>(content.size())) != 0) error = errno;
  if (!error && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && !error && errno != EINTR) error = errno;
  if (error) return writeFailure(error);
  return {};
}

}  // namespace

FileOutcome saveFileAtomically(const std::string& name, std::string_view content) {
  if (name.empty()) return FileError{FileError::Kind::NotFound, {}};
  const std::optional<std::string> target = saveTarget(name);
  if (!target) return writeFailure(ELOOP);
  const std::string& path = *target;
  // A name that is a folder cannot be saved to, and must not be replaced; nor may a file
  // its owner made read-only.
  struct stat existing {};
  const bool exists = ::stat(path.c_str(), &existing) == 0;
  if (exists && !S_ISREG(existing.st_mode)) return notRegularFile(existing.st_mode);
  if (exists && ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0)
    return writeFailure(errno);

  std::string temporary = path + ".XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) {
    const int error = errno;
    // The folder refuses a new name (its rights, or a name at the length limit), while the
    // file itself may be written: the only way left to save.
    if (exists && (error == EACCES || error == EPERM || error == ENAMETOOLONG))
      return writeInPlace(path, content);
    return writeFailure(error);
  }
  // The new file keeps the owner, group and permissions of the one it replaces; a new name
  // gets the usual permissions of a created file. The owner comes first: changing it
  // clears the set-user-ID and set-group-ID bits.
  mode_t mode = 0666;
  if (exists) {
    keepOwnerAndGroup(fd, existing);
    mode = existing.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode &= ~mask;
  }
  int error = ::fchmod(fd, mode) == 0 ? 0 : errno;
  if (!error) error = writeAll(fd, content);
  if (!error && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && !error && errno != EINTR) error = errno;
  if (!error && ::rename(temporary.c_str(), path.c_str()) != 0) error = errno;
  if (error) {
    ::unlink(temporary.c_str());
    return writeFailure(error);
  }
  return {};
}

}  // namespace palor
