// SPDX-License-Identifier: GPL-3.0-or-later
// Field checks and input filters: the key rules that admit characters while typing, the
// fill and range rules run when a field is left, the switching rules, and the checks every
// save and write runs first.
#include <algorithm>
#include <cctype>
#include <set>
#include <string>
#include <utility>

#include "config/ascii_text.h"
#include "config/field_groups.h"
#include "config/record_checks.h"
#include "ui/messages.h"
#include "ui/vendrel.h"

namespace palor {
namespace {

bool isControl(char key) { return static_cast<unsigned char>(key) < 32; }
bool isDigit(char key) { return key >= '0' && key <= '9'; }
bool isHexLetter(char key) { return (key >= 'A' && key <= 'F') || (key >= 'a' && key <= 'f'); }
bool isLetter(char key) { return (key >= 'A' && key <= 'Z') || (key >= 'a' && key <= 'z'); }

}  // namespace

void FormState::attachFieldRules() {
  auto key = [this](FieldId f, bool (FormState::*rule)(char), const char* name) {
    record_.setKeyRule(
        f, [this, rule](FieldId, char ch) { return (this->*rule)(ch); }, name);
  };
  auto exit = [this](FieldId f, void (FormState::*rule)(FieldId), const char* name) {
    record_.setExitRule(
        f, [this, rule](FieldId left) { (this->*rule)(left); }, name);
  };
  auto id = [](std::string_view name) { return SettingsRecord::id(name); };

  for (const AddressRow& r : addressRows())
    key(r.address, &FormState::LengthKeyPress, "LengthKeyPress");
  for (const FolderFields& f : folders()) {
    key(f.length, &FormState::LengthKeyPress, "LengthKeyPress");
    exit(f.title, &FormState::FixedStringExit, "FixedStringExit");
  }
  for (const char* name :
       {"contrast", "lcdholdtime", "password", "rangetime", "bs1", "bs3", "TxtPagerNumber"})
    key(id(name), &FormState::LengthKeyPress, "LengthKeyPress");
  for (FieldId f : tonePatternFields()) {
    key(f, &FormState::TonePatternKeyPress, "TonePatternKeyPress");
    exit(f, &FormState::FixedCodeExit, "FixedCodeExit");
  }
  key(id("overheatVoltage"), &FormState::HexKeyPress, "HexKeyPress");
  key(id("serial"), &FormState::SerialKeyPress, "SerialKeyPress");

  for (const char* name : {"hellomsg1", "serial", "otaKillMsg"})
    exit(id(name), &FormState::FixedStringExit, "FixedStringExit");
  exit(id("password"), &FormState::FixedCodeExit, "FixedCodeExit");

  // The rules that act on one known field: each takes no argument.
  using SetRule = void (SettingsRecord::*)(FieldId, SettingsRecord::Rule, std::string);
  auto own = [this, &id](SetRule set, const char* field, void (FormState::*rule)(),
                         const char* name) {
    (record_.*set)(
        id(field), [this, rule](FieldId) { (this->*rule)(); }, name);
  };
  const SetRule onExit = &SettingsRecord::setExitRule;
  const SetRule onChange = &SettingsRecord::setChangeRule;
  const SetRule onClick = &SettingsRecord::setClickRule;
  own(onExit, "contrast", &FormState::ContrastExit, "ContrastExit");
  own(onChange, "lcdholdtime", &FormState::LcdHoldTimeChange, "LcdHoldTimeChange");
  own(onExit, "lcdholdtime", &FormState::LcdHoldTimeExit, "LcdHoldTimeExit");
  own(onExit, "bs1", &FormState::Bs1Exit, "Bs1Exit");
  own(onExit, "bs3", &FormState::Bs3Exit, "Bs3Exit");
  own(onClick, "contrastUnlock", &FormState::ContrastUnlockClick, "ContrastUnlockClick");
  own(onClick, "privateFunControl", &FormState::PrivateFunControlClick, "PrivateFunControlClick");
  own(onChange, "repeatcallcheck", &FormState::RepeatCallCheckChange, "RepeatCallCheckChange");
  own(onClick, "otaKillCmd", &FormState::OtaKillCmdClick, "OtaKillCmdClick");
}

// Key rules. Control characters always pass, so backspace and the clipboard keys work.

bool FormState::LengthKeyPress(char key) {
  if (isControl(key) || isDigit(key)) return true;
  log_.append(msg::kNumberKeysOnly);
  return false;
}

bool FormState::TonePatternKeyPress(char key) {
  if (isControl(key) || isDigit(key) || isHexLetter(key)) return true;
  log_.append(msg::kHexKeysOnly);
  return false;
}

bool FormState::HexKeyPress(char key) {
  return isControl(key) || isDigit(key) || isHexLetter(key) || key == 'X' || key == 'x';
}

bool FormState::SerialKeyPress(char key) {
  if (isControl(key) || isDigit(key) || isLetter(key)) return true;
  log_.append(msg::kSerialKeysOnly);
  return false;
}

// Fill rules.

void FormState::FixedStringExit(FieldId field) { fillRight(record_, field, ' '); }
void FormState::FixedCodeExit(FieldId field) { fillRight(record_, field, '0'); }
void FormState::FixedNumberExit(FieldId field) { fillLeft(record_, field, '0'); }

void FormState::ZeroFillAddresses() {
  for (const AddressRow& r : addressRows()) FixedNumberExit(r.address);
}

// Range rules.

void FormState::ContrastExit() {
  const FieldId contrast = record_.id("contrast");
  if (record_.text(contrast).empty()) {
    log_.append(msg::kEnterValidNumber);
    // A disabled field cannot take the focus (a program step may meet it empty while
    // contrastUnlock is unchecked); the message alone stands then.
    if (record_.enabled(contrast)) record_.requestFocus(contrast);
    return;
  }
  if (record_.number(contrast) >= 64) record_.setText(contrast, "63");
  if (record_.number(contrast) <= 0) record_.setText(contrast, "1");
}

void FormState::LcdHoldTimeChange() {
  const FieldId holdTime = record_.id("lcdholdtime");
  if (record_.text(holdTime).empty()) return;
  if (record_.number(holdTime) > 255) record_.setText(holdTime, "255");

  const bool alwaysOn = record_.number(holdTime) == 0;
  for (const char* name : {"lcd_on_time", "lcd_off_time"}) {
    const FieldId list = record_.id(name);
    record_.setEnabled(list, alwaysOn);
    if (!alwaysOn) record_.setIndex(list, 0);  // "Disabled"
  }
}

void FormState::LcdHoldTimeExit() {
  const FieldId holdTime = record_.id("lcdholdtime");
  if (!record_.text(holdTime).empty()) return;
  log_.append(msg::kEnterValidNumber);
  record_.requestFocus(holdTime);
}

void FormState::RangeTimeExit() { checkRangeTime(record_, firmwareVersion()); }

namespace {

// Both thresholds are read first, then each is clamped into its own range; returns the
// clamped pair {b1, b3}.
std::pair<int, int> clampThresholds(SettingsRecord& record) {
  const FieldId bs1 = SettingsRecord::id("bs1");
  const FieldId bs3 = SettingsRecord::id("bs3");
  const int b1 = record.number(bs1);
  const int b3 = record.number(bs3);
  const int clamped1 = std::clamp(b1, 2, 61);
  const int clamped3 = std::clamp(b3, 3, 62);
  if (clamped1 != b1) record.setNumber(bs1, clamped1);
  if (clamped3 != b3) record.setNumber(bs3, clamped3);
  return {clamped1, clamped3};
}

}  // namespace

// When the thresholds collide, the field just left gives way.
void FormState::Bs1Exit() {
  const auto [b1, b3] = clampThresholds(record_);
  if (b1 >= b3) record_.setNumber(record_.id("bs1"), b3 - 1);
}

void FormState::Bs3Exit() {
  const auto [b1, b3] = clampThresholds(record_);
  if (b1 >= b3) record_.setNumber(record_.id("bs3"), b1 + 1);
}

// Switching rules.

void FormState::ContrastUnlockClick() {
  record_.setEnabled("contrast", record_.checked("contrastUnlock"));
}

void FormState::PrivateFunControlClick() {
  record_.setEnabled("delMenu", record_.checked("privateFunControl"));
}

void FormState::RepeatCallCheckChange() {
  constexpr int kDisable = 2;
  record_.setEnabled("repeatcallreject", record_.index("repeatcallcheck") < kDisable);
}

// The tool can lift an over-the-air kill that a loaded configuration carries, never set one.
void FormState::OtaKillCmdClick() {
  if (!record_.checked("otaKillCmd")) record_.setEnabled("otaKillCmd", false);
}

// Checks before storing.

bool FormState::AddressesAreUnique() const {
  // Addresses are compared as they will be stored, zero-filled to seven digits: "04000"
  // and "4000" are the same capcode.
  std::set<std::string, LessIgnoringCase> texts;
  for (const AddressRow& r : addressRows()) texts.insert(zeroFilled(record_, r.address));
  return texts.size() == static_cast<std::size_t>(kAddressRows);
}

bool FormState::PreStoreChecks() {
  Bs1Exit();
  Bs3Exit();
  ContrastExit();

  // An empty frame marks an empty or invalid address, reported while it was typed.
  for (const AddressRow& r : addressRows())
    if (record_.text(r.frame).empty()) return false;

  if (!AddressesAreUnique()) {
    log_.append(msg::kAddressAlreadyUsed);
    return false;
  }
  // An active folder of no length would be stored as the slot range 0..255 (only an
  // imported table can hold one: the length rule refuses 0 while typing).
  for (const FolderFields& f : folders()) {
    if (!record_.checked(f.active) || record_.text(f.length).empty()) continue;
    if (record_.number(f.length) <= 0) {
      log_.append(msg::kLengthOneOrGreater);
      return false;
    }
  }
  ZeroFillAddresses();
  return true;
}

}  // namespace palor
