// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's work on its image buffer: encoding the settings for a file or the
// pager, and decoding a loaded image.
#include <algorithm>

#include "config/image_checksums.h"
#include "config/image_codec.h"
#include "ui/messages.h"
#include "ui/vendrel.h"

namespace palor {

bool FormState::encodeWriteImage() {
  if (encodeImage(record_, images_.writeImage, {firmwareVersion(), decimalSeparator_})) return true;
  log_.append(msg::kPublicMessagesOver99);
  return false;
}

bool FormState::encodeImageForFile() {
  if (!encodeWriteImage()) return false;
  images_.writeImage[image::kFirmwareVersion] = firmwareVersion();
  fillChecksums(images_.writeImage);
  return true;
}

void FormState::decodeWriteImage(std::uint8_t version) {
  decodeImage(record_, images_.writeImage, {version, decimalSeparator_});
}

void FormState::reapplyLoadedRules() {
  msgtypeChange();
  ZeroFillAddresses();
}

bool FormState::buildImageFile() { return PreStoreChecks() && encodeImageForFile(); }

bool FormState::loadImageFile(std::span<const std::uint8_t> content, std::string_view fileName) {
  loadedPagerDump_ = false;
  const std::size_t arrived = std::min(content.size(), kImageSize);
  std::copy_n(content.begin(), arrived, images_.readImage.begin());
  Method28aClick();
  if (arrived < kImageSize) {
    log_.append(msg::kLoadFailed);
    return false;
  }
  if (!checksumTestAndAdopt(images_)) {
    log_.append(msg::kFileCorrupted);
    return false;
  }
  log_.append(msg::loadedDataFrom(fileName));
  // A saved file holds the version its image was encoded for (2 or above; older pagers are
  // refused). A dump of the EEPROM as the pager holds it has 0 there: its rangetime sits
  // where the pager's own firmware put it.
  const std::uint8_t stored = images_.writeImage[image::kFirmwareVersion];
  loadedPagerDump_ = stored == image::kNoFirmwareVersion;
  decodeWriteImage(loadedPagerDump_ ? firmwareVersion() : stored);
  reapplyLoadedRules();
  return true;
}

void FormState::decodeImageFromPager() {
  decodeWriteImage(firmwareVersion());
  channelfreqExit();
  reapplyLoadedRules();
}

}  // namespace palor
