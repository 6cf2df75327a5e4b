// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Every message the programmer writes to its status log, word for word. Two messages end
// in a blank and take a file name after it; one takes an address number. A file or port
// name in a message shows its control characters as escapes ("\n", "\x1b"), so that no
// name can end the line or forge another.
#include <cstdint>
#include <string>
#include <string_view>

#include "link/pager_protocol.h"
#include "link/serial_transport.h"

namespace palor::msg {

inline constexpr std::string_view kAbout = "";

// Charger and pager link.
inline constexpr std::string_view kDururoveraConnected = "Dururovera connected.";
inline constexpr std::string_view kDururoveraDisconnected = "Dururovera disconnected.";
inline constexpr std::string_view kPagerDisconnected = "Pager disconnected.";
inline constexpr std::string_view kPagerConnected = "Pager connected.";
inline constexpr std::string_view kUnsupportedPager = "Unsupported pager!";
inline constexpr std::string_view kFirmwareTooNew =
    "Pager firmware too new. Please obtain a new version of this software.";
inline constexpr std::string_view kReadDataFromPager = "Read data from pager";
inline constexpr std::string_view kReadEepromOk = "Read eeprom OK!";
inline constexpr std::string_view kReadEepromBadChecksum = "Read eeprom: incorrect checksum!";
inline constexpr std::string_view kHardwareSettingsUnread =
    "The pager's hardware settings could not be read; the next write replaces them.";
inline constexpr std::string_view kReadTimedOut =
    "Read command timed out. Please check the connection.";
inline constexpr std::string_view kReadEepromFailed = "Read eeprom failed.";
inline constexpr std::string_view kWriteToPager = "Write to Pager...";
inline constexpr std::string_view kWritingEeprom = "Writing eeprom, please wait...";
inline constexpr std::string_view kWriteEepromSucceeded = "Write eeprom succeeded!";
inline constexpr std::string_view kCannotWriteEeprom = "Cannot write eeprom!";
inline constexpr std::string_view kVerifyEepromSucceeded = "Verify eeprom succeeded!";
inline constexpr std::string_view kVerifyEepromFailed = "Verify eeprom failed!";
inline constexpr std::string_view kWriteEepromCompleted = "Write eeprom completed.";
inline constexpr std::string_view kWriteTimedOut =
    "Write command timed out. Please check the connection.";
inline constexpr std::string_view kWriteEepromFailed = "Write eeprom failed.";
inline constexpr std::string_view kCommunicationError = "Communication error!";
inline constexpr std::string_view kOperationCancelled = "Operation cancelled.";
// Closing the window is refused while the pager is read or written.
inline constexpr std::string_view kWaitForPager =
    "Wait until the pager is finished, or press Stop.";

// LblInfoRWPager during a pager read or write (shown there, not in the log).
inline constexpr std::string_view kReadingPager = "Reading pager. Do not remove.";
inline constexpr std::string_view kWritingPager = "Writing pager. Do not remove.";

// Files.
inline constexpr std::string_view kLoadedDataFrom = "Loaded data from ";
inline constexpr std::string_view kLoadFailed = "Load failed";
inline constexpr std::string_view kFileCorrupted = "File corrupted.";
inline constexpr std::string_view kSavedDataTo = "Saved data to ";
inline constexpr std::string_view kSaveFailed = "Save failed";
// A CSV save refused because the text of `field` holds a comma.
inline std::string commaInCsv(std::string_view field) {
  return std::string(field) + ": a comma cannot be saved in a CSV file";
}

// Editing rules and the encoder.
inline constexpr std::string_view kAddressAlreadyUsed = "Address has already been used.";
inline constexpr std::string_view kPublicMessagesOver99 =
    "Total number of public messages is over 99. Write aborted.";
inline constexpr std::string_view kTrimmedToTotal99 =
    "Out of total length 99, trim down the length automatic";
inline constexpr std::string_view kMailboxCannotBeEnabled =
    "Total length already reached max. 99. This mailbox cannot be enabled.";
inline constexpr std::string_view kLengthOneOrGreater = "Length should be one or greater.";
inline constexpr std::string_view kNumberKeysOnly = "Number keys and backspace only";
inline constexpr std::string_view kHexKeysOnly = "0-9, A-F and backspace only";
inline constexpr std::string_view kSerialKeysOnly = "0-9, A-Z, a-z and backspace only";
inline constexpr std::string_view kEnterValidNumber = "Please enter a valid number!";

// Programming records.
inline constexpr std::string_view kRecordsKeptOnDesk =
    "Records: the server cannot be reached; kept on this desk.";
// The record of an operation could not be kept anywhere, and why.
std::string recordNotKept(std::string_view why);
// "Address 1234560 is already on pager 00000102 (written 2026-12-01 10:22 at DESK)."
std::string addressOnOtherPager(std::string_view address, std::string_view pagerNumber,
                                std::string_view written, std::string_view desk);
inline constexpr std::string_view kWriteRefusedCapcodes =
    "Write refused: capcodes must be unique, and an address is already on another pager.";
// A restore that did not start or did not write, and why.
std::string restoreNoBefore(std::int64_t record);
std::string restoreOtherPager(std::int64_t record);
std::string restoring(std::int64_t record);
// A record's image that cannot be opened into the window.
std::string recordHoldsNoImage(std::int64_t record, bool before);
std::string recordImageCorrupted(std::int64_t record);
std::string recordImageName(std::int64_t record, bool before);

// The text of a message of the pager link.
std::string_view linkMessage(LinkMessage message);
// A listed port that did not open for a reason the user can mend, with the reason and its
// remedy: "Cannot open /dev/ttyUSB0: permission denied (the port belongs to group dialout;
// add your user to that group and log in again)", "Cannot open /dev/ttyUSB0: the port is
// in use by another program".
inline constexpr std::string_view kCannotOpen = "Cannot open ";
std::string portRefused(std::string_view port, const PortOpenError& error);

// "Address [r] is invalid. ..." for address row r (1..8).
std::string addressInvalid(int row);
std::string loadedDataFrom(std::string_view fileName);
std::string savedDataTo(std::string_view fileName);

}  // namespace palor::msg
