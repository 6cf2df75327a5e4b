// The main window's work on its image buffer: encoding the settings for a file or the
// pager, decoding a loaded image, and the channel frequency's own rules.
#include "config/channel_frequency.h"
#include "config/image_checksums.h"
#include "config/image_codec.h"
#include "ui/messages.h"
#include "ui/vendrel.h"

namespace palor {

void FormState::attachChannelRules() {
  const FieldId channel = record_.id("channelfreq");
  record_.setKeyRule(channel, [this](FieldId, char key) { return channelfreqKeyPress(key); });
  record_.setExitRule(channel, [this](FieldId) { channelfreqExit(); });
}

bool FormState::channelfreqKeyPress(char key) {
  return palor::channelfreqKeyPress(record_, key, decimalSeparator_);
}

void FormState::channelfreqExit() {
  palor::channelfreqExit(record_, images_.writeImage, decimalSeparator_);
}

bool FormState::encodeWriteImage() {
  if (encodeImage(record_, images_.writeImage, {firmwareVersion_, decimalSeparator_}))
    return true;
  log_.append(msg::kPublicMessagesOver99);
  return false;
}

bool FormState::encodeImageForFile() {
  if (!encodeWriteImage()) return false;
  images_.writeImage[image::kFirmwareVersion] = firmwareVersion_;
  fillChecksums(images_.writeImage);
  return true;
}

void FormState::decodeWriteImage(std::uint8_t version) {
  decodeImage(record_, images_.writeImage, {version, decimalSeparator_});
}

}  // namespace palor
