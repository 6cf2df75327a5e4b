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

std::string recordNotKept(std::string_view why) {
  return "Records: this operation was not recorded: " + escapeControls(why);
}

std::string addressOnOtherPager(std::string_view address, std::string_view pagerNumber,
                                std::string_view written, std::string_view desk) {
  return "Address " + std::string(address) + " is already on pager " + escapeControls(pagerNumber) +
         " (written " + escapeControls(written) + " at " + escapeControls(desk) + ").";
}

std::string restoreNoBefore(std::int64_t record) {
  return "Restore refused: record " + std::to_string(record) +
         " holds no image of the pager before it was written.";
}

std::string restoreOtherPager(std::int64_t record) {
  return "Restore refused: the pager in the charger does not hold what record " +
         std::to_string(record) + " wrote.";
}

std::string restoring(std::int64_t record) {
  return "Restore the pager as record " + std::to_string(record) + " found it...";
}

std::string recordImageName(std::int64_t record, bool before) {
  return "record " + std::to_string(record) + (before ? " (before)" : " (written)");
}

std::string recordHoldsNoImage(std::int64_t record, bool before) {
  return "Record " + std::to_string(record) +
         (before ? " holds no image of the pager before." : " holds no image written or read.");
}

std::string recordImageCorrupted(std::int64_t record) {
  return "Record " + std::to_string(record) + ": the image fails its checksum test.";
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
