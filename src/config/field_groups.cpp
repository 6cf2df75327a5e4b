#include "config/field_groups.h"

#include <string>

namespace palor {

const std::array<AddressRow, kAddressRows>& addressRows() {
  static const std::array<AddressRow, kAddressRows> rows = [] {
    std::array<AddressRow, kAddressRows> all{};
    for (int n = 1; n <= kAddressRows; ++n) {
      auto id = [n](std::string_view prefix, std::string_view suffix = {}) {
        return fieldId(rowField(prefix, n, suffix));
      };
      AddressRow& r = all[static_cast<std::size_t>(n - 1)];
      r = {n,           id("addr", "en"), id("address"), id("frame"),
           id("autoinc"), id("permission"), id("msgtype"), id("Capcode", "Name"), {}};
      for (std::size_t t = 0; t < r.tones.size(); ++t) {
        const std::string letter(1, kToneLetters[t]);
        r.tones[t] = {kToneLetters[t], id("addr", "format" + letter), id("UrgentCall", letter),
                      id("Capcode", "Tone" + letter)};
      }
    }
    return all;
  }();
  return rows;
}

const std::array<FolderFields, kFolders>& folders() {
  static const std::array<FolderFields, kFolders> all = [] {
    std::array<FolderFields, kFolders> f{};
    for (int k = 0; k < kFolders; ++k)
      f[static_cast<std::size_t>(k)] = {k, fieldId(folderField("pubboxact", k)),
                                        fieldId(folderField("pubbox", k)),
                                        fieldId(folderField("pubboxlength", k))};
    return f;
  }();
  return all;
}

const std::array<FieldId, 7>& tonePatternFields() {
  static const std::array<FieldId, 7> fields = {
      fieldId("tonepatternA"),   fieldId("tonepatternB"),     fieldId("tonepatternC"),
      fieldId("tonepatternD"),   fieldId("tonepatternPon"),   fieldId("tonepatternLcell"),
      fieldId("tonepatternUcall")};
  return fields;
}

}  // namespace palor
