// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What every settings record holds whatever bytes it was loaded from: each list field
// selects one of its items or nothing, keeps the items of its schema, and each text field
// stays within its maximum length (in upper case where the field is upper case). A broken
// invariant is reported on stderr and aborts, so that the fuzzer keeps the input.
#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "config/settings_record.h"

namespace palor::fuzz {

[[noreturn]] inline void invariantBroken(const FieldSchema& s, const char* what) {
  std::fprintf(stderr, "settings field '%s': %s\n", s.name.c_str(), what);
  std::abort();
}

inline void checkRecordInvariants(const SettingsRecord& record) {
  const auto& schema = settingsSchema();
  for (std::size_t i = 0; i < schema.size(); ++i) {
    const FieldSchema& s = schema[i];
    const auto f = static_cast<FieldId>(i);
    switch (s.kind) {
      case FieldKind::Item: {
        const int index = record.index(f);
        const auto& items = record.items(f);
        if (items.size() != s.items.size()) invariantBroken(s, "item count changed");
        if (index < -1 || index >= static_cast<int>(items.size()))
          invariantBroken(s, "item index out of range");
        break;
      }
      case FieldKind::Text: {
        const std::string& text = record.text(f);
        if (text.size() > static_cast<std::size_t>(s.maxLength))
          invariantBroken(s, "text longer than the field");
        if (s.upperCase)
          for (char c : text)
            if (std::islower(static_cast<unsigned char>(c))) invariantBroken(s, "lower case text");
        break;
      }
      case FieldKind::Check: (void)record.checked(f); break;
    }
  }
}

}  // namespace palor::fuzz
