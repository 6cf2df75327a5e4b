#pragma once
// The repeated fields of the window, resolved once: an address row with its tone columns,
// a public folder, and the tone-pattern fields. Rules take their field ids from here
// instead of composing names while they run.
#include <array>

#include "config/field_schema.h"

namespace palor {

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
inline const AddressRow& addressRow(int row) { return addressRows().at(static_cast<std::size_t>(row - 1)); }
const std::array<FolderFields, kFolders>& folders();
inline const FolderFields& folderFields(int folder) { return folders().at(static_cast<std::size_t>(folder)); }

// The seven tone patterns of the Settings tab: A..D, power on, low cell, urgent call.
const std::array<FieldId, 7>& tonePatternFields();

}  // namespace palor
