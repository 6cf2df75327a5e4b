// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/messages.h"

#include "config/escaped_text.h"

namespace palor::msg {

std::string addressInvalid(int row) {
  return "Address [" + std::to_string(row) +
         "] is invalid. It should be within 8-2007663; 2007672-2045055; 2045064-2097143.";
}

std::string loadedDataFrom(std::string_view fileName) {
  return std::string(kLoadedDataFrom) + escapeControls(fileName);
}

std::string savedDataTo(std::string_view fileName) {
  return std::string(kSavedDataTo) + escapeControls(fileName);
}

std::string portRefused(std::string_view port, const PortOpenError& error) {
  return std::string(kCannotOpen) + escapeControls(port) + ": " + describe(error);
}

std::string_view linkMessage(LinkMessage message) {
  switch (message) {
    case LinkMessage::DururoveraConnected: return kDururoveraConnected;
    case LinkMessage::DururoveraDisconnected: return kDururoveraDisconnected;
    case LinkMessage::PagerDisconnected: return kPagerDisconnected;
    case LinkMessage::PagerConnected: return kPagerConnected;
    case LinkMessage::UnsupportedPager: return kUnsupportedPager;
    case LinkMessage::FirmwareTooNew: return kFirmwareTooNew;
    case LinkMessage::ReadDataFromPager: return kReadDataFromPager;
    case LinkMessage::ReadEepromOk: return kReadEepromOk;
    case LinkMessage::ReadEepromBadChecksum: return kReadEepromBadChecksum;
    case LinkMessage::HardwareSettingsUnread: return kHardwareSettingsUnread;
    case LinkMessage::ReadTimedOut: return kReadTimedOut;
    case LinkMessage::ReadEepromFailed: return kReadEepromFailed;
    case LinkMessage::WritingEeprom: return kWritingEeprom;
    case LinkMessage::WriteEepromSucceeded: return kWriteEepromSucceeded;
    case LinkMessage::CannotWriteEeprom: return kCannotWriteEeprom;
    case LinkMessage::VerifyEepromSucceeded: return kVerifyEepromSucceeded;
    case LinkMessage::VerifyEepromFailed: return kVerifyEepromFailed;
    case LinkMessage::WriteEepromCompleted: return kWriteEepromCompleted;
    case LinkMessage::WriteTimedOut: return kWriteTimedOut;
    case LinkMessage::WriteEepromFailed: return kWriteEepromFailed;
    case LinkMessage::CommunicationError: return kCommunicationError;
    case LinkMessage::OperationCancelled: return kOperationCancelled;
  }
  return {};
}

}  // namespace palor::msg
