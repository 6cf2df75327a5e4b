// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The byte map of the configuration image as one table: every stored setting, constant and
// text field with its offset, bits and coding, in the order in which the encoder writes and
// the decoder reads them. The encoder and the decoder (image_codec.h) walk this one table,
// so each row is coded in both directions in one place.
#include <cstdint>
#include <string_view>
#include <vector>

#include "config/image_layout.h"
#include "config/settings_record.h"

namespace palor {

// What the encoder and the decoder take besides the record and the image.
struct ImageOptions {
  // Pager firmware version: 2 or lower stores `rangetime` in byte 9, 3 or higher in 44..45.
  std::uint8_t firmwareVersion = 3;
  // The PC's decimal separator, for `channelfreq`.
  char decimalSeparator = '.';
};

// How a bit field holds its setting.
enum class Coding {
  Checked,    // a check field: 1 when checked
  Index,      // an item index, masked to the field's width
  Rev2Index,  // rev2 of an item index
  Rev3Index,  // rev3 of an item index
  Number,     // a numeric text's value, low bits; read back as decimal text
};

enum class Padding {
  Spaces,  // always full width: the encoder fills the text with blanks first
  Zeros,   // the text, then zero bytes up to the width
};

// A coding the plain rows cannot express: a pair of functions, one per direction. The
// encoder half returns false to refuse the image.
struct SpecialCoding {
  std::string_view what;
  bool (*encode)(SettingsRecord&, ConfigImage&, const ImageOptions&);
  void (*decode)(SettingsRecord&, const ConfigImage&, const ImageOptions&);
};

struct MapRow {
  enum class Kind {
    Bits,      // `bits` hold `field` as `coding`
    Constant,  // `bits` hold `value`; the decoder does not read it
    Text,      // `width` bytes from `offset` hold the text of `field`
    HexPair,   // 2 bytes from `offset` hold the tone pattern `field`
    Special,   // `special` codes it
  };
  Kind kind = Kind::Bits;
  BitField bits{};
  int offset = 0;
  FieldId field{};
  Coding coding = Coding::Checked;
  std::uint8_t value = 0;
  int width = 0;
  Padding padding = Padding::Zeros;
  const SpecialCoding* special = nullptr;
};

// The whole map, in coding order.
const std::vector<MapRow>& imageMap();

}  // namespace palor
