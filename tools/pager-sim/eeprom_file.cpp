#include "eeprom_file.h"

#include "files/atomic_file.h"
#include "ui/vendrel.h"

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

}  // namespace

Eeprom defaultPagerImage() {
  // The image a write from a freshly started programmer would carry.
  FormState form;
  form.startUp();
  if (!form.buildImageFile()) throw std::logic_error("the start-up settings do not encode");
  return form.images().writeImage;
}

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
  const std::string_view bytes(reinterpret_cast<const char*>(eeprom.data()), eeprom.size());
  if (!saveFileAtomically(path, bytes)) throw fileError("cannot write", path);
}

}  // namespace palor::sim
