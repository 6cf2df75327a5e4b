// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The repeated fields of the window, resolved once: an address row with its tone columns,
// a public folder, and the tone-pattern fields. Rules take their field ids from here
// instead of composing names while they run.
#include <array>
#include <cstddef>
#include <string_view>

#include "config/ascii_text.h"
#include "config/field_schema.h"

namespace palor {

// The name of a repeated field, fixed when the program is compiled: a prefix, the row or
// folder digit, a suffix and a tone letter ("addr" 2 "format" 'B' is "addr2formatB").
class FieldName {
 public:
  constexpr FieldName() = default;
  constexpr FieldName(std::string_view prefix, char digit, std::string_view suffix = {},
                      char letter = 0) {
    for (char c : prefix) text_[size_++] = c;
    text_[size_++] = digit;
    for (char c : suffix) text_[size_++] = c;
    if (letter != 0) text_[size_++] = letter;
  }
  constexpr std::string_view view() const { return {text_.data(), size_}; }
  constexpr operator std::string_view() const { return view(); }

 private:
  std::array<char, 16> text_{};
  std::size_t size_ = 0;
};

struct ToneColumnNames {
  FieldName format, urgentCall, toneName;
};
struct AddressRowNames {
  FieldName enabled, address, frame, autoinc, permission, msgtype, name;
  std::array<ToneColumnNames, 4> tones;
};
struct FolderNames {
  FieldName active, title, length;
};

inline constexpr std::array<AddressRowNames, kAddressRows> kAddressRowNames = [] {
  std::array<AddressRowNames, kAddressRows> all{};
  for (int n = 1; n <= kAddressRows; ++n) {
    const char d = static_cast<char>('0' + n);
    AddressRowNames& r = all[static_cast<std::size_t>(n - 1)];
    r.enabled = FieldName("addr", d, "en");
    r.address = FieldName("address", d);
    r.frame = FieldName("frame", d);
    r.autoinc = FieldName("autoinc", d);
    r.permission = FieldName("permission", d);
    r.msgtype = FieldName("msgtype", d);
    r.name = FieldName("Capcode", d, "Name");
    for (std::size_t t = 0; t < r.tones.size(); ++t)
      r.tones[t] = {FieldName("addr", d, "format", kToneLetters[t]),
                    FieldName("UrgentCall", d, {}, kToneLetters[t]),
                    FieldName("Capcode", d, "Tone", kToneLetters[t])};
  }
  return all;
}();

inline constexpr std::array<FolderNames, kFolders> kFolderNames = [] {
  std::array<FolderNames, kFolders> all{};
  for (int k = 0; k < kFolders; ++k) {
    const char d = hexDigit(static_cast<unsigned>(k));
    all[static_cast<std::size_t>(k)] = {FieldName("pubboxact", d), FieldName("pubbox", d),
                                        FieldName("pubboxlength", d)};
  }
  return all;
}();

// Tone column A..D of an address row.
struct ToneColumn {
  char letter;
  FieldId format;      // addr<n>format<X>
  FieldId urgentCall;  // UrgentCall<n><X>
  FieldId toneName;    // Capcode<n>Tone<X>
};

// Address row n = 1..8 of the Addresses tab.
struct AddressRow {
  int row;
  FieldId enabled;     // addr<n>en
  FieldId address;     // address<n>
  FieldId frame;       // frame<n>
  FieldId autoinc;     // autoinc<n>
  FieldId permission;  // permission<n>
  FieldId msgtype;     // msgtype<n>
  FieldId name;        // Capcode<n>Name
  std::array<ToneColumn, 4> tones;
};

// Public folder k = 0..15 of the Folders tab, shown as [k+1].
struct FolderFields {
  int folder;
  FieldId active;  // pubboxact<k>
  FieldId title;   // pubbox<k>
  FieldId length;  // pubboxlength<k>
};

const std::array<AddressRow, kAddressRows>& addressRows();
inline const AddressRow& addressRow(int row) {
  return addressRows().at(static_cast<std::size_t>(row - 1));
}
const std::array<FolderFields, kFolders>& folders();
inline const FolderFields& folderFields(int folder) {
  return folders().at(static_cast<std::size_t>(folder));
}

// The seven tone patterns of the Settings tab: A..D, power on, low cell, urgent call.
const std::array<FieldId, 7>& tonePatternFields();

}  // namespace palor
