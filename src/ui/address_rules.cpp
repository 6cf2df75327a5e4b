// Address rules: the address rows of the Addresses tab, the message types that open and
// lock the Folders tab, the urgent-call display and the address advance after a write.
#include <string>

#include "ui/messages.h"
#include "ui/vendrel.h"

namespace palor {

bool isValidAddress(int value) {
  return (value >= 8 && value <= 2007663) || (value >= 2007672 && value <= 2045055) ||
         (value >= 2045064 && value <= 2097143);
}

void FormState::attachAddressRules() {
  for (int row = 1; row <= kAddressRows; ++row) {
    record_.setClickRule(record_.id(rowField("addr", row, "en")),
                         [this, row](FieldId) { addrEnClick(row); });
    const FieldId address = record_.id(rowField("address", row));
    record_.setChangeRule(address, [this](FieldId f) { AddressChange(f); });
    record_.setExitRule(address, [this](FieldId f) { AddressExit(f); });
    record_.setChangeRule(record_.id(rowField("msgtype", row)),
                          [this](FieldId) { msgtypeChange(); });
    for (char tone : kToneLetters)
      record_.setChangeRule(record_.id(rowField("addr", row, std::string("format") + tone)),
                            [this, row, tone](FieldId) { addrFormatChange(row, tone); });
  }
  record_.setClickRule(record_.id("method28a"), [this](FieldId) { Method28aClick(); });
}

void FormState::addrEnClick(int row) {
  const bool on = record_.checked(rowField("addr", row, "en"));
  const std::string switched[] = {
      rowField("address", row),         rowField("autoinc", row),
      rowField("permission", row),      rowField("msgtype", row),
      rowField("addr", row, "formatA"), rowField("addr", row, "formatB"),
      rowField("addr", row, "formatC"), rowField("addr", row, "formatD"),
      rowField("UrgentCall", row, "A"), rowField("UrgentCall", row, "B"),
      rowField("UrgentCall", row, "C"), rowField("UrgentCall", row, "D"),
      rowField("Capcode", row, "Name")};
  for (const std::string& name : switched) record_.setEnabled(name, on);

  if (on) {
    for (char tone : kToneLetters) addrFormatChange(row, tone);
  } else {
    for (char tone : kToneLetters)
      record_.setEnabled(rowField("Capcode", row, std::string("Tone") + tone), false);
  }
  msgtypeChange();
}

void FormState::addrFormatChange(int row, char tone) {
  constexpr int kAlpha = 1;  // only Alpha messages carry a tone name
  const bool alpha = record_.index(rowField("addr", row, std::string("format") + tone)) == kAlpha;
  record_.setEnabled(rowField("Capcode", row, std::string("Tone") + tone), alpha);
}

void FormState::AddressChange(FieldId address) {
  const FieldSchema& schema = SettingsRecord::schema(address);
  const int row = schema.row;
  if (row < 1 || row > kAddressRows || schema.name != rowField("address", row)) return;

  const FieldId frame = record_.id(rowField("frame", row));
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
  for (int row = 1; row <= kAddressRows; ++row) {
    const FieldId type = record_.id(rowField("msgtype", row));
    if (record_.index(type) == kPrivate || !record_.enabled(type)) ++privateOrOff;
  }

  if (privateOrOff == kAddressRows) {
    // No switched-on public address: the whole Folders tab is locked.
    for (int k = 0; k < kFolders; ++k) lockFolder(k);
    return;
  }
  record_.setEnabled(folderField("pubboxact", 0), true);
  record_.setEnabled(folderField("pubboxact", 8), true);
}

void FormState::Method28aClick() {
  const bool perTone = record_.checked("method28a");
  for (int row = 1; row <= kAddressRows; ++row)
    for (char tone : kToneLetters)
      record_.setVisible(record_.id(rowField("UrgentCall", row, std::string(1, tone))), perTone);
  record_.setVisible(record_.id("urgcalltype"), !perTone);
}

void FormState::AdvanceAddresses() {
  for (int row = 1; row <= kAddressRows; ++row) {
    const FieldId address = record_.id(rowField("address", row));
    // The step is the number the list shows ("0".."8"); a list with nothing selected
    // shows no number and adds nothing.
    const auto step = record_.itemText(record_.id(rowField("autoinc", row)));
    const int increment = step ? toInteger(*step) : 0;
    record_.setNumber(address, record_.number(address) + increment);
    AddressExit(address);
  }
}

}  // namespace palor
