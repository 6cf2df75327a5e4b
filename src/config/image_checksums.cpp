// SPDX-License-Identifier: GPL-3.0-or-later
#include "config/image_checksums.h"

#include <span>

#include "config/crc16.h"

namespace palor {
namespace {

std::uint16_t crcOver(const ConfigImage& image, int first, int end) {
  return crc16Xmodem(
      std::span<const std::uint8_t>(image.data() + first, static_cast<std::size_t>(end - first)));
}

std::uint16_t storedWord(const ConfigImage& image, int offset) {
  return static_cast<std::uint16_t>(image[offset] | image[offset + 1] << 8);
}

void storeWord(ConfigImage& image, int offset, std::uint16_t value) {
  image[offset] = static_cast<std::uint8_t>(value & 0xFF);
  image[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

}  // namespace

std::uint16_t settingsChecksum(const ConfigImage& image) {
  return crcOver(image, 0, image::kSettingsEnd);
}

std::uint16_t hardwareChecksum(const ConfigImage& image) {
  return crcOver(image, image::kSynthesizer, image::kHardwareEnd);
}

std::uint16_t storedSettingsChecksum(const ConfigImage& image) {
  return storedWord(image, image::kSettingsChecksum);
}

std::uint16_t storedHardwareChecksum(const ConfigImage& image) {
  return storedWord(image, image::kHardwareChecksum);
}

void fillChecksums(ConfigImage& image) {
  storeWord(image, image::kSettingsChecksum, settingsChecksum(image));
  storeWord(image, image::kHardwareChecksum, hardwareChecksum(image));
}

bool checksumsMatch(const ConfigImage& image) {
  return storedSettingsChecksum(image) == settingsChecksum(image) &&
         storedHardwareChecksum(image) == hardwareChecksum(image);
}

bool checksumTestAndAdopt(ImageBuffer& buffer) {
  if (!checksumsMatch(buffer.readImage)) return false;
  buffer.writeImage = buffer.readImage;
  return true;
}

}  // namespace palor
