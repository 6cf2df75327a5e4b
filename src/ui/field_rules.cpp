// Field checks and input filters: the key rules that admit characters while typing, the
// fill and range rules run when a field is left, the switching rules, and the checks every
// save and write runs first.
#include <algorithm>
#include <cctype>
#include <set>
#include <string>
#include <utility>

#include "config/record_checks.h"
#include "ui/messages.h"
#include "ui/vendrel.h"

namespace palor {
namespace {

bool isControl(char key) { return static_cast<unsigned char>(key) < 32; }
bool isDigit(char key) { return key >= '0' && key <= '9'; }
bool isHexLetter(char key) { return (key >= 'A' && key <= 'F') || (key >= 'a' && key <= 'f'); }
bool isLetter(char key) { return (key >= 'A' && key <= 'Z') || (key >= 'a' && key <= 'z'); }

const char* const kTonePatterns[] = {"tonepatternA",    "tonepatternB",   "tonepatternC",
                                     "tonepatternD",    "tonepatternPon", "tonepatternLcell",
                                     "tonepatternUcall"};

// Orders strings ignoring the letter case of ASCII letters.
struct CaseInsensitiveLess {
  bool operator()(const std::string& a, const std::string& b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
      return std::tolower(static_cast<unsigned char>(x)) <
             std::tolower(static_cast<unsigned char>(y));
    });
  }
};

}  // namespace

void FormState::attachFieldRules() {
  auto key = [this](std::string_view name, bool (FormState::*rule)(char)) {
    record_.setKeyRule(record_.id(name),
                       [this, rule](FieldId, char ch) { return (this->*rule)(ch); });
  };
  auto exit = [this](std::string_view name, void (FormState::*rule)(FieldId)) {
    record_.setExitRule(record_.id(name), [this, rule](FieldId f) { (this->*rule)(f); });
  };

  for (int row = 1; row <= kAddressRows; ++row)
    key(rowField("address", row), &FormState::LengthKeyPress);
  for (int k = 0; k < kFolders; ++k) {
    key(folderField("pubboxlength", k), &FormState::LengthKeyPress);
    exit(folderField("pubbox", k), &FormState::FixedStringExit);
  }
  for (const char* name :
       {"contrast", "lcdholdtime", "password", "rangetime", "bs1", "bs3", "TxtPagerNumber"})
    key(name, &FormState::LengthKeyPress);
  for (const char* name : kTonePatterns) {
    key(name, &FormState::TonePatternKeyPress);
    exit(name, &FormState::FixedCodeExit);
  }
  key("overheatVoltage", &FormState::HexKeyPress);
  key("serial", &FormState::SerialKeyPress);

  for (const char* name : {"hellomsg1", "serial", "otaKillMsg"})
    exit(name, &FormState::FixedStringExit);
  exit("password", &FormState::FixedCodeExit);

  record_.setExitRule(record_.id("contrast"), [this](FieldId) { ContrastExit(); });
  record_.setChangeRule(record_.id("lcdholdtime"), [this](FieldId) { LcdHoldTimeChange(); });
  record_.setExitRule(record_.id("lcdholdtime"), [this](FieldId) { LcdHoldTimeExit(); });
  record_.setExitRule(record_.id("bs1"), [this](FieldId) { Bs1Exit(); });
  record_.setExitRule(record_.id("bs3"), [this](FieldId) { Bs3Exit(); });

  record_.setClickRule(record_.id("contrastUnlock"), [this](FieldId) { ContrastUnlockClick(); });
  record_.setClickRule(record_.id("privateFunControl"),
                       [this](FieldId) { PrivateFunControlClick(); });
  record_.setChangeRule(record_.id("repeatcallcheck"),
                        [this](FieldId) { RepeatCallCheckChange(); });
  record_.setClickRule(record_.id("otaKillCmd"), [this](FieldId) { OtaKillCmdClick(); });
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
  for (int row = 1; row <= kAddressRows; ++row)
    FixedNumberExit(record_.id(rowField("address", row)));
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

void FormState::RangeTimeExit() { checkRangeTime(record_, firmwareVersion_); }

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
  std::set<std::string, CaseInsensitiveLess> texts;
  for (int row = 1; row <= kAddressRows; ++row)
    texts.insert(record_.text(rowField("address", row)));
  return texts.size() == static_cast<std::size_t>(kAddressRows);
}

bool FormState::PreStoreChecks() {
  Bs1Exit();
  Bs3Exit();
  ContrastExit();

  // An empty frame marks an empty or invalid address, reported while it was typed.
  for (int row = 1; row <= kAddressRows; ++row)
    if (record_.text(rowField("frame", row)).empty()) return false;

  if (!AddressesAreUnique()) {
    log_.append(msg::kAddressAlreadyUsed);
    return false;
  }
  ZeroFillAddresses();
  return true;
}

}  // namespace palor
