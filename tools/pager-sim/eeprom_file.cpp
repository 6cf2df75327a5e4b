#include "eeprom_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace palor::sim {
namespace {

std::runtime_error fileError(const std::string& what, const std::string& path) {
  return std::runtime_error(what + " " + path + ": " + std::strerror(errno));
}

bool writeAll(int fd, const std::uint8_t* bytes, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, bytes, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

Eeprom defaultPagerImage() { return Eeprom{}; }

Eeprom loadEeprom(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw fileError("cannot open", path);
  Eeprom eeprom{};
  std::size_t got = 0;
  std::uint8_t extra = 0;
  bool failed = false;
  while (got < eeprom.size()) {
    const ssize_t n = ::read(fd, eeprom.data() + got, eeprom.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) failed = true;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  const bool longer = !failed && ::read(fd, &extra, 1) > 0;
  ::close(fd);
  if (failed) throw fileError("cannot read", path);
  if (got != eeprom.size() || longer)
    throw std::runtime_error(path + " is not a 1024-byte image");
  return eeprom;
}

void saveEeprom(const std::string& path, const Eeprom& eeprom) {
  const std::string temporary = path + ".tmp-" + std::to_string(::getpid());
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) throw fileError("cannot create", temporary);
  const bool written = writeAll(fd, eeprom.data(), eeprom.size()) && ::fsync(fd) == 0;
  const bool closed = ::close(fd) == 0;
  if (!written || !closed || std::rename(temporary.c_str(), path.c_str()) != 0) {
    const auto error = fileError("cannot write", path);
    ::unlink(temporary.c_str());
    throw error;
  }
}

}  // namespace palor::sim
