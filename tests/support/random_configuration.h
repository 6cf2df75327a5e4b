// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Random settings for the image tests: whole configurations that a user could have made
// (values inside the ranges the editing rules keep), and the comparison of two records over
// the fields the image holds.
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "config/field_schema.h"
#include "config/settings_record.h"

namespace palor::test {

// Fields the configuration image does not hold.
inline bool notInImage(const std::string& name) {
  return name == "TxtPagerNumber" || name == "contrastUnlock" || name == "lcddrv" ||
         name == "decoder" || name.rfind("autoinc", 0) == 0 || name.rfind("frame", 0) == 0;
}

class RandomConfiguration {
 public:
  explicit RandomConfiguration(std::uint32_t seed) : rng_(seed) {}

  int between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }
  bool chance() { return between(0, 1) == 1; }

  // Any bytes but zero, up to `maxLength`.
  std::string bytes(int maxLength) {
    std::string s(static_cast<std::size_t>(between(0, maxLength)), ' ');
    for (char& c : s) c = static_cast<char>(between(1, 255));
    return s;
  }
  std::string from(const char* alphabet, int length) {
    const std::string a(alphabet);
    std::string s;
    for (int i = 0; i < length; ++i)
      s += a[static_cast<std::size_t>(between(0, int(a.size()) - 1))];
    return s;
  }

  // Eight valid, different addresses with leading zeros, as the pre-store checks leave them.
  std::vector<std::string> addresses() {
    std::vector<std::string> out;
    while (out.size() < 8) {
      int value = 0;
      switch (between(0, 2)) {
        case 0: value = between(8, 2007663); break;
        case 1: value = between(2007672, 2045055); break;
        default: value = between(2045064, 2097143); break;
      }
      char text[16];
      std::snprintf(text, sizeof text, "%07d", value);
      bool fresh = true;
      for (const auto& a : out) fresh = fresh && a != text;
      if (fresh) out.emplace_back(text);
    }
    return out;
  }

  // Fills every field that the image holds with a value the window could hold, folders
  // within 99 slots, by program steps (attached rules run as they are set). The caller runs
  // msgtypeChange afterwards, as a loader would, so that folders need a public row.
  void fill(SettingsRecord& r) {
    const auto& schema = settingsSchema();
    for (std::size_t i = 0; i < schema.size(); ++i) {
      const FieldSchema& s = schema[i];
      const auto f = static_cast<FieldId>(i);
      // Numbers whose ranges depend on each other are set below.
      if (notInImage(s.name) || s.name.rfind("address", 0) == 0 ||
          s.name.rfind("pubboxlength", 0) == 0 || s.name == "bs1" || s.name == "bs3")
        continue;
      switch (s.kind) {
        case FieldKind::Check: r.setChecked(f, chance()); break;
        case FieldKind::Item: r.setIndex(f, between(0, int(s.items.size()) - 1)); break;
        case FieldKind::Text: r.setText(f, text(s)); break;
      }
    }
    r.setChecked(r.id("otaKillCmd"), between(0, 3) == 0);
    const auto addr = addresses();
    for (int n = 1; n <= kAddressRows; ++n) r.setText(rowField("address", n), addr[n - 1]);
    int slots = 99;
    for (int k = 0; k < kFolders; ++k) {
      const bool active = slots > 0 && chance();
      r.setChecked(folderField("pubboxact", k), active);
      const int length = active ? between(1, std::min(slots, 20)) : between(1, 99);
      if (active) slots -= length;
      r.setText(folderField("pubboxlength", k), std::to_string(length));
    }
    // The LCD on and off times stay "Disabled" while the hold time is not 0.
    if (r.text("lcdholdtime") != "0") {
      r.setIndex("lcd_on_time", 0);
      r.setIndex("lcd_off_time", 0);
    }
    const int bs1 = between(2, 61);
    r.setText("bs1", std::to_string(bs1));
    r.setText("bs3", std::to_string(between(bs1 + 1, 62)));
  }

 private:
  std::string text(const FieldSchema& s) {
    const std::string& n = s.name;
    if (n == "rangetime") return std::to_string(between(0, 999));
    if (n == "lcdholdtime") return std::to_string(between(0, 255));
    if (n == "contrast") return std::to_string(between(1, 63));
    if (n == "channelfreq") {
      char t[16];
      std::snprintf(t, sizeof t, "%03d.%05d", between(100, 999), between(0, 99999));
      return t;
    }
    if (n == "overheatVoltage") {
      char t[8];
      std::snprintf(t, sizeof t, "0x%02X", between(0xA0, 0xC0));
      return t;
    }
    if (n == "serial")
      return from("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", between(0, 8));
    if (n == "password") return from("0123456789", between(0, 4));
    if (n.rfind("tonepattern", 0) == 0) return from("0123456789ABCDEF", 4);
    return bytes(s.maxLength);
  }

  std::mt19937 rng_;
};

// Names of the fields whose values differ between two records, over the fields the image
// holds, leaving out those named in `except`.
inline std::vector<std::string> differingFields(const SettingsRecord& a, const SettingsRecord& b,
                                                const std::vector<std::string>& except = {}) {
  std::vector<std::string> out;
  const auto& schema = settingsSchema();
  for (std::size_t i = 0; i < schema.size(); ++i) {
    const FieldSchema& s = schema[i];
    const auto f = static_cast<FieldId>(i);
    if (notInImage(s.name)) continue;
    bool skip = false;
    for (const auto& e : except) skip = skip || e == s.name;
    if (skip) continue;
    bool same = true;
    switch (s.kind) {
      case FieldKind::Check: same = a.checked(f) == b.checked(f); break;
      case FieldKind::Item: same = a.index(f) == b.index(f); break;
      case FieldKind::Text: same = a.text(f) == b.text(f); break;
    }
    if (!same) out.push_back(s.name);
  }
  return out;
}

}  // namespace palor::test
