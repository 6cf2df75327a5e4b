// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <deque>
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

// The parts of a name between its slashes, in order.
std::deque<std::string> partsOf(std::string_view name) {
  std::deque<std::string> parts;
  while (!name.empty()) {
    const auto slash = name.find('/');
    if (slash != 0) parts.emplace_back(name.substr(0, slash));
    if (slash == std::string_view::npos) break;
    name.remove_prefix(slash + 1);
  }
  return parts;
}

// A link in `folder` may be followed unless the folder is sticky and anyone may write to
// it (as /tmp): there only this user's links and the folder owner's are, so that no other
// user can steer a save to a file of their choosing.
bool mayFollow(const struct stat& folder, const struct stat& link) {
  if ((folder.st_mode & S_ISVTX) == 0 || (folder.st_mode & S_IWOTH) == 0) return true;
  return link.st_uid == ::geteuid() || link.st_uid == folder.st_uid;
}

struct Resolved {
  std::string path;
  std::optional<FileError> error;
};

// The absolute name a save writes to: `name` with every symbolic link on its way followed,
// also a link whose target does not exist yet (the save then creates that target). A loop
// of links, or a link that may not be followed, is an error.
Resolved resolve(const std::string& name) {
  std::string path;  // no links in it; empty for the root folder
  if (name.front() != '/') {
    std::string here(PATH_MAX, '\0');
    if (!::getcwd(here.data(), here.size())) return {{}, writeFailure(errno)};
    here.resize(here.find('\0'));
    if (here != "/") path = here;
  }
  std::deque<std::string> rest = partsOf(name);
  int links = 0;
  while (!rest.empty()) {
    const std::string part = std::move(rest.front());
    rest.pop_front();
    if (part == ".") continue;
    if (part == "..") {
      path.resize(path.rfind('/') == std::string::npos ? 0 : path.rfind('/'));
      continue;
    }
    std::string next = path + "/" + part;
    struct stat link {};
    if (::lstat(next.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) {
      path = std::move(next);
      continue;
    }
    if (++links > 40) return {{}, writeFailure(ELOOP)};
    struct stat folder {};
    if (::stat(path.empty() ? "/" : path.c_str(), &folder) == 0 && !mayFollow(folder, link))
      return {{},
              FileError{FileError::Kind::WriteError,
                        "the link " + next +
                            " belongs to another user in a folder that all may write to, and "
                            "is not followed"}};
    std::string target(PATH_MAX, '\0');
    const ssize_t n = ::readlink(next.c_str(), target.data(), target.size());
    if (n <= 0) return {{}, writeFailure(n < 0 ? errno : ENOENT)};
    target.resize(static_cast<std::size_t>(n));
    // A relative target is relative to the folder that holds the link.
    if (target.front() == '/') path.clear();
    std::deque<std::string> targetParts = partsOf(target);
    rest.insert(rest.begin(), targetParts.begin(), targetParts.end());
  }
  return {path.empty() ? "/" : path, std::nullopt};
}

// Where a save goes, once it is known that it may go there.
struct SaveTarget {
  std::string path;    // the name with its links followed
  std::string folder;  // the folder that holds it
  bool exists = false;
  struct stat existing {};
  bool folderTakesFiles = false;  // a new file may be made in the folder
};

FileOutcome examine(const std::string& name, SaveTarget& target) {
  if (name.empty()) return FileError{FileError::Kind::NotFound, {}};
  Resolved resolved = resolve(name);
  if (resolved.error) return *resolved.error;
  target.path = std::move(resolved.path);
  const auto slash = target.path.rfind('/');
  target.folder = slash == 0 ? "/" : target.path.substr(0, slash);
  // Only a regular file is replaced: a folder, a device, a named pipe or a socket under
  // the name stays what it is. A file its owner made read-only is not replaced either.
  target.exists = ::stat(target.path.c_str(), &target.existing) == 0;
  if (!target.exists && errno != ENOENT) return writeFailure(errno);
  if (target.exists && !S_ISREG(target.existing.st_mode))
    return notRegularFile(target.existing.st_mode);
  // A name that ends in a slash names a folder, never a file to make or replace.
  if (name.back() == '/') return writeFailure(target.exists ? ENOTDIR : EISDIR);
  if (target.exists && ::faccessat(AT_FDCWD, target.path.c_str(), W_OK, AT_EACCESS) != 0)
    return writeFailure(errno);
  struct stat folder {};
  if (::stat(target.folder.c_str(), &folder) != 0) return writeFailure(errno);
  if (!S_ISDIR(folder.st_mode)) return writeFailure(ENOTDIR);
  target.folderTakesFiles =
      ::faccessat(AT_FDCWD, target.folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
  // A folder that takes no new file leaves only a file that is there to be written.
  if (!target.folderTakesFiles && !target.exists) return writeFailure(errno);
  return {};
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
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
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

FileOutcome checkSaveTarget(const std::string& path) {
  SaveTarget target;
  return examine(path, target);
}

FileOutcome saveFileAtomically(const std::string& name, std::string_view content) {
  SaveTarget target;
  if (const FileOutcome usable = examine(name, target); !usable) return usable;
  const std::string& path = target.path;
  const bool exists = target.exists;
  const struct stat& existing = target.existing;
  // The folder's rights refuse a new name, while the file itself may be written: the only
  // way left to save.
  if (!target.folderTakesFiles) return writeInPlace(path, content);

  // A short name of its own, whatever the length of the target's name.
  std::string temporary = (target.folder == "/" ? "" : target.folder) + "/.palor-XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) {
    const int error = errno;
    if (exists && (error == EACCES || error == EPERM)) return writeInPlace(path, content);
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
