// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/file_read.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "config/image_layout.h"

namespace palor {

FileError notRegularFile(unsigned mode) {
  const char* what = "something else";
  if (S_ISDIR(mode))
    what = "a folder";
  else if (S_ISFIFO(mode))
    what = "a named pipe";
  else if (S_ISSOCK(mode))
    what = "a socket";
  else if (S_ISCHR(mode) || S_ISBLK(mode))
    what = "a device";
  return {FileError::Kind::NotRegularFile, what};
}

OpenedFile openForReading(const std::string& path) {
  // Without O_NONBLOCK a named pipe would wait here for a writer.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    const int error = errno;
    // A folder cannot be opened for writing, but can for reading; the system's answer for
    // other names says nothing about what they are.
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
      return {-1, notRegularFile(info.st_mode)};
    return {-1, readFailure(error)};
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    const int error = errno;
    ::close(fd);
    return {-1, readFailure(error)};
  }
  if (!S_ISREG(info.st_mode)) {
    ::close(fd);
    return {-1, notRegularFile(info.st_mode)};
  }
  return {fd, std::nullopt};
}

int openRegularFile(const std::string& path) { return openForReading(path).fd; }

FileRead readFileStart(const std::string& path, std::size_t limit) {
  const OpenedFile file = openForReading(path);
  if (file.fd < 0) return {false, {}, file.error};
  FileRead result{true, std::vector<std::uint8_t>(limit), std::nullopt};
  std::size_t got = 0;
  while (got < limit) {
    const ssize_t n = ::read(file.fd, result.bytes.data() + got, limit - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      result.error = FileError{FileError::Kind::ReadError, systemText(errno)};
      break;
    }
    if (n == 0) break;  // end of file
    got += static_cast<std::size_t>(n);
  }
  ::close(file.fd);
  result.bytes.resize(got);
  return result;
}

FileRead readImageFile(const std::string& path) {
  FileRead read = readFileStart(path, kImageSize);
  if (!read.error && read.bytes.size() < kImageSize)
    read.error = FileError{FileError::Kind::TooShort,
                           "the file has " + std::to_string(read.bytes.size()) +
                               " bytes; an image has " + std::to_string(kImageSize) + " bytes"};
  return read;
}

}  // namespace palor
