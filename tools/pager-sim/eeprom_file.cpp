// SPDX-License-Identifier: GPL-3.0-or-later
#include "eeprom_file.h"

#include <algorithm>
#include <stdexcept>

#include "config/image_checksums.h"
#include "config/image_codec.h"
#include "config/settings_record.h"
#include "files/atomic_file.h"
#include "files/file_read.h"

namespace palor::sim {
namespace {

std::runtime_error fileError(const std::string& path, const FileError& error) {
  return std::runtime_error(path + ": " + describe(error));
}

}  // namespace

ConfigImage defaultPagerImage() {
  // The image a write from a freshly started programmer would carry: the settings record as
  // it starts, encoded for a pager of the default firmware version, with that version byte
  // and the checksums.
  SettingsRecord record;
  const ImageOptions options;
  ConfigImage image{};
  if (!encodeImage(record, image, options))
    throw std::logic_error("the start-up settings do not encode");
  image[image::kFirmwareVersion] = options.firmwareVersion;
  fillChecksums(image);
  return image;
}

ConfigImage loadEeprom(const std::string& path) {
  // One byte more than an image shows a file that is too long.
  const FileRead read = readFileStart(path, kImageSize + 1);
  if (!read) throw fileError(path, *read.error);
  const std::string imageSize = "an image has " + std::to_string(kImageSize) + " bytes";
  if (read.bytes.size() > kImageSize)
    throw std::runtime_error(path + ": the file is longer than an image; " + imageSize);
  if (read.bytes.size() < kImageSize)
    throw std::runtime_error(path + ": the file has " + std::to_string(read.bytes.size()) +
                             " bytes; " + imageSize);
  ConfigImage eeprom{};
  std::copy(read.bytes.begin(), read.bytes.end(), eeprom.begin());
  return eeprom;
}

void saveEeprom(const std::string& path, const ConfigImage& eeprom) {
  const std::string_view bytes(reinterpret_cast<const char*>(eeprom.data()), eeprom.size());
  if (const FileOutcome saved = saveFileAtomically(path, bytes); !saved)
    throw fileError(path, saved.error());
}

}  // namespace palor::sim
