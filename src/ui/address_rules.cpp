// SPDX-License-Identifier: GPL-3.0-or-later
// Address rules: the address rows of the Addresses tab, the message types that open and
// lock the Folders tab, the urgent-call display and the address advance after a write.
#include <string>

#include "config/field_groups.h"
#include "ui/messages.h"
#include "ui/vendrel.h"

namespace palor {

bool isValidAddress(int value) {
  return (value >= 8 && value <= 2007663) || (value >= 2007672 && value <= 2045055) ||
         (value >= 2045064 && value <= 2097143);
}

void FormState::attachAddressRules() {
  for (const AddressRow& r : addressRows()) {
    const std::string n = std::to_string(r.row);
    const int row = r.row;
    record_.setClickRule(
        r.enabled, [this, row](FieldId) { addrEnClick(row); }, "addr" + n + "enClick");
    record_.setChangeRule(
        r.address, [this](FieldId f) { AddressChange(f); }, "AddressChange");
    record_.setExitRule(
        r.address, [this](FieldId f) { AddressExit(f); }, "AddressExit");
    record_.setChangeRule(
        r.msgtype, [this](FieldId) { msgtypeChange(); }, "msgtypeChange");
    for (const ToneColumn& t : r.tones) {
      const char tone = t.letter;
      record_.setChangeRule(
          t.format, [this, row, tone](FieldId) { addrFormatChange(row, tone); },
          "addr" + n + "format" + tone + "Change");
    }
  }
  record_.setClickRule(
      record_.id("method28a"), [this](FieldId) { Method28aClick(); }, "Method28aClick");
}

void FormState::addrEnClick(int row) {
  const AddressRow& r = addressRow(row);
  const bool on = record_.checked(r.enabled);
  for (FieldId f : {r.address, r.autoinc, r.permission, r.msgtype, r.name})
    record_.setEnabled(f, on);
  for (const ToneColumn& t : r.tones) {
    record_.setEnabled(t.format, on);
    record_.setEnabled(t.urgentCall, on);
  }

  if (on) {
    for (char tone : kToneLetters) addrFormatChange(row, tone);
  } else {
    for (const ToneColumn& t : r.tones) record_.setEnabled(t.toneName, false);
  }
  msgtypeChange();
}

void FormState::addrFormatChange(int row, char tone) {
  constexpr int kAlpha = 1;  // only Alpha messages carry a tone name
  const ToneColumn& t = addressRow(row).tones[static_cast<std::size_t>(tone - 'A')];
  record_.setEnabled(t.toneName, record_.index(t.format) == kAlpha);
}

void FormState::AddressChange(FieldId address) {
  const int row = SettingsRecord::schema(address).row;
  if (row < 1 || row > kAddressRows || addressRow(row).address != address) return;

  const FieldId frame = addressRow(row).frame;
  if (record_.text(address).empty()) {
    record_.setText(frame, "");
    return;
  }
  const int value = record_.number(address);
  if (isValidAddress(value)) {
    record_.setText(frame, std::to_string(value % 8));
    return;
  }
  log_.append(msg::addressInvalid(row));
  record_.setText(frame, "");
}

void FormState::AddressExit(FieldId address) {
  FixedNumberExit(address);
  if (!AddressesAreUnique()) log_.append(msg::kAddressAlreadyUsed);
}

void FormState::msgtypeChange() {
  constexpr int kPrivate = 0;
  int privateOrOff = 0;
  for (const AddressRow& r : addressRows())
    if (record_.index(r.msgtype) == kPrivate || !record_.enabled(r.msgtype)) ++privateOrOff;

  if (privateOrOff == kAddressRows) {
    // No switched-on public address: the whole Folders tab is locked.
    for (int k = 0; k < kFolders; ++k) lockFolder(k);
    return;
  }
  record_.setEnabled(folderFields(0).active, true);
  record_.setEnabled(folderFields(8).active, true);
}

void FormState::Method28aClick() {
  const bool perTone = record_.checked("method28a");
  for (const AddressRow& r : addressRows())
    for (const ToneColumn& t : r.tones) record_.setVisible(t.urgentCall, perTone);
  record_.setVisible(record_.id("urgcalltype"), !perTone);
}

void FormState::AdvanceAddresses() {
  for (const AddressRow& r : addressRows()) {
    const FieldId address = r.address;
    // The step is the number the list shows ("0".."8"); a list with nothing selected
    // shows no number and adds nothing.
    const auto step = record_.itemText(r.autoinc);
    const int increment = step ? toInteger(*step) : 0;
    record_.setNumber(address, record_.number(address) + increment);
    AddressExit(address);
  }
}

bool FormState::AnyAddressAdvances() const {
  for (const AddressRow& r : addressRows()) {
    if (!record_.checked(r.enabled)) continue;
    const auto step = record_.itemText(r.autoinc);
    if (step && toInteger(*step) != 0) return true;
  }
  return false;
}

}  // namespace palor
