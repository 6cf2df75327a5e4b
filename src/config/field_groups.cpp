// SPDX-License-Identifier: GPL-3.0-or-later
#include "config/field_groups.h"

namespace palor {

const std::array<AddressRow, kAddressRows>& addressRows() {
  static const std::array<AddressRow, kAddressRows> rows = [] {
    std::array<AddressRow, kAddressRows> all{};
    for (int n = 1; n <= kAddressRows; ++n) {
      const AddressRowNames& names = kAddressRowNames[static_cast<std::size_t>(n - 1)];
      AddressRow& r = all[static_cast<std::size_t>(n - 1)];
      r = {n,
           fieldId(names.enabled),
           fieldId(names.address),
           fieldId(names.frame),
           fieldId(names.autoinc),
           fieldId(names.permission),
           fieldId(names.msgtype),
           fieldId(names.name),
           {}};
      for (std::size_t t = 0; t < r.tones.size(); ++t) {
        const ToneColumnNames& tone = names.tones[t];
        r.tones[t] = {kToneLetters[t], fieldId(tone.format), fieldId(tone.urgentCall),
                      fieldId(tone.toneName)};
      }
    }
    return all;
  }();
  return rows;
}

const std::array<FolderFields, kFolders>& folders() {
  static const std::array<FolderFields, kFolders> all = [] {
    std::array<FolderFields, kFolders> f{};
    for (int k = 0; k < kFolders; ++k) {
      const FolderNames& names = kFolderNames[static_cast<std::size_t>(k)];
      f[static_cast<std::size_t>(k)] = {k, fieldId(names.active), fieldId(names.title),
                                        fieldId(names.length)};
    }
    return f;
  }();
  return all;
}

const std::array<FieldId, 7>& tonePatternFields() {
  static const std::array<FieldId, 7> fields = {
      fieldId("tonepatternA"),    fieldId("tonepatternB"),   fieldId("tonepatternC"),
      fieldId("tonepatternD"),    fieldId("tonepatternPon"), fieldId("tonepatternLcell"),
      fieldId("tonepatternUcall")};
  return fields;
}

}  // namespace palor
