// SPDX-License-Identifier: GPL-3.0-or-later
#include "config/image_codec.h"

#include <algorithm>
#include <string>

#include "config/image_values.h"
#include "config/record_checks.h"

namespace palor {
namespace {

unsigned storedValue(const SettingsRecord& r, const MapRow& row) {
  // No selection (-1) is all ones, masked to the field's width.
  const auto index = [&] { return static_cast<unsigned>(r.index(row.field)); };
  switch (row.coding) {
    case Coding::Checked: return r.checked(row.field) ? 1u : 0u;
    case Coding::Index: return index();
    case Coding::Rev2Index: return rev2(index());
    case Coding::Rev3Index: return rev3(index());
    case Coding::Number: return static_cast<unsigned>(r.number(row.field));
  }
  return 0;
}

void showValue(SettingsRecord& r, const MapRow& row, unsigned value) {
  switch (row.coding) {
    case Coding::Checked: r.setChecked(row.field, value != 0); return;
    case Coding::Index: r.setIndex(row.field, static_cast<int>(value)); return;
    case Coding::Rev2Index: r.setIndex(row.field, static_cast<int>(rev2(value))); return;
    case Coding::Rev3Index: r.setIndex(row.field, static_cast<int>(rev3(value))); return;
    case Coding::Number:
      // Emptied first, as the addresses are, so that the field's change rule runs for every
      // loaded value: what a loaded configuration shows must not depend on whether the
      // window happened to hold the same number before (lcdholdtime resets the display
      // times when it is not 0).
      r.setText(row.field, "");
      r.setNumber(row.field, static_cast<int>(value));
      return;
  }
}

// The bytes of a text field up to the first zero, at most its width.
std::string storedText(const ConfigImage& img, const MapRow& row) {
  const auto* begin = img.data() + row.offset;
  const auto* end = std::find(begin, begin + row.width, std::uint8_t{0});
  return std::string(begin, end);
}

bool encodeRow(SettingsRecord& r, ConfigImage& img, const MapRow& row, const ImageOptions& o) {
  switch (row.kind) {
    case MapRow::Kind::Bits: row.bits.put(img, storedValue(r, row)); return true;
    case MapRow::Kind::Constant: row.bits.put(img, row.value); return true;
    case MapRow::Kind::Text: {
      if (row.padding == Padding::Spaces) fillRight(r, row.field, ' ');
      const std::string& text = r.text(row.field);
      std::copy_n(text.begin(), std::min(text.size(), static_cast<std::size_t>(row.width)),
                  img.begin() + row.offset);
      return true;
    }
    case MapRow::Kind::HexPair: {
      const auto bytes = tonePatternBytes(r.text(row.field));
      img[static_cast<std::size_t>(row.offset)] = bytes[0];
      img[static_cast<std::size_t>(row.offset) + 1] = bytes[1];
      return true;
    }
    case MapRow::Kind::Special: return row.special->encode(r, img, o);
  }
  return true;
}

void decodeRow(SettingsRecord& r, const ConfigImage& img, const MapRow& row,
               const ImageOptions& o) {
  switch (row.kind) {
    case MapRow::Kind::Bits: showValue(r, row, row.bits.get(img)); return;
    case MapRow::Kind::Constant: return;
    case MapRow::Kind::Text: r.setText(row.field, storedText(img, row)); return;
    case MapRow::Kind::HexPair:
      r.setText(row.field, tonePatternText(img[static_cast<std::size_t>(row.offset)],
                                           img[static_cast<std::size_t>(row.offset) + 1]));
      return;
    case MapRow::Kind::Special: row.special->decode(r, img, o); return;
  }
}

}  // namespace

bool encodeImage(SettingsRecord& record, ConfigImage& image, const ImageOptions& options) {
  image.fill(0);
  for (const MapRow& row : imageMap())
    if (!encodeRow(record, image, row, options)) return false;
  return true;
}

void decodeImage(SettingsRecord& record, const ConfigImage& image, const ImageOptions& options) {
  for (const MapRow& row : imageMap()) decodeRow(record, image, row, options);
}

void refreshHardware(SettingsRecord& record, const ConfigImage& image,
                     const ImageOptions& options) {
  // Decoded once into a record of its own, so that each control gets what the decoder
  // would give it, and then handed over as the decoder hands values over.
  SettingsRecord decoded;
  decodeImage(decoded, image, options);
  static const char* const kHardware[] = {
      "contrast", "pll",      "overheatVoltage", "lcd_opa",    "lcd_fosc",
      "lcd_tc",   "lcd_bias", "bs2_option",      "end_of_msg", "clko",
      "bs3",      "bs1",      "filter_strength", "error_rate"};
  for (const char* name : kHardware) {
    const FieldId f = SettingsRecord::id(name);
    if (f == SettingsRecord::id("contrast") && record.checked("contrastUnlock")) continue;
    switch (SettingsRecord::schema(f).kind) {
      case FieldKind::Check: record.setChecked(f, decoded.checked(f)); break;
      case FieldKind::Item: record.setIndex(f, decoded.index(f)); break;
      case FieldKind::Text:
        record.setText(f, "");  // number texts are emptied first, as the decoder does
        record.setText(f, decoded.text(f));
        break;
    }
  }
}

}  // namespace palor
