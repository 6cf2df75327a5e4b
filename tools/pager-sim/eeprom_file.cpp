#include "eeprom_file.h"

#include "files/atomic_file.h"
#include "files/file_read.h"
#include "ui/vendrel.h"

#include <algorithm>
#include <cerrno>
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
  // One byte more than an image shows a file that is too long.
  const auto bytes = readFileStart(path, kImageSize + 1);
  if (!bytes) throw fileError("cannot open", path);
  if (bytes->size() != kImageSize) throw std::runtime_error(path + " is not a 1024-byte image");
  Eeprom eeprom{};
  std::copy(bytes->begin(), bytes->end(), eeprom.begin());
  return eeprom;
}

void saveEeprom(const std::string& path, const Eeprom& eeprom) {
  const std::string_view bytes(reinterpret_cast<const char*>(eeprom.data()), eeprom.size());
  if (!saveFileAtomically(path, bytes)) throw fileError("cannot write", path);
}

}  // namespace palor::sim
