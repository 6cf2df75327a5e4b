#include "config/image_map.h"

#include <string>

#include "config/channel_frequency.h"
#include "config/image_values.h"
#include "config/record_checks.h"

namespace palor {
namespace {

using image::addressRecord;

FieldId field(std::string_view name) { return SettingsRecord::id(name); }

// ---------------------------------------------------------------------------------------
// Special codings, each as its encoder half and its decoder half.

// 9, or 44..45: rangetime, after its range rule. Version 2 or lower: one byte at 9;
// version 3 and up: 16 bits little-endian at 44..45, read back as a signed number.
bool encodeRangeTime(SettingsRecord& r, ConfigImage& img, const ImageOptions& o) {
  checkRangeTime(r, o.firmwareVersion);
  const auto value = static_cast<unsigned>(r.number("rangetime"));
  if (o.firmwareVersion <= 2) {
    img[image::kRangeTimeByte] = static_cast<std::uint8_t>(value);
  } else {
    img[image::kRangeTimeWord] = static_cast<std::uint8_t>(value);
    img[image::kRangeTimeWord + 1] = static_cast<std::uint8_t>(value >> 8);
  }
  return true;
}
void decodeRangeTime(SettingsRecord& r, const ConfigImage& img, const ImageOptions& o) {
  int value = img[image::kRangeTimeByte];
  if (o.firmwareVersion > 2)
    value = static_cast<std::int16_t>(img[image::kRangeTimeWord] |
                                      img[image::kRangeTimeWord + 1] << 8);
  r.setNumber(field("rangetime"), value);
}
constexpr SpecialCoding kRangeTime{"9 or 44..45: rangetime", encodeRangeTime, decodeRangeTime};

// 10 bits 2-0: the number lcd_opa shows ("3".."7"), not its index; 0 for no selection.
bool encodeLcdOpa(SettingsRecord& r, ConfigImage& img, const ImageOptions&) {
  const auto item = r.itemText(field("lcd_opa"));
  const int shown = item ? toInteger(*item) : 0;
  img[10] = static_cast<std::uint8_t>((img[10] & ~7) | (shown & 7));
  return true;
}
void decodeLcdOpa(SettingsRecord& r, const ConfigImage& img, const ImageOptions&) {
  r.setIndex(field("lcd_opa"), (img[10] & 7) - 3);
}
constexpr SpecialCoding kLcdOpa{"10 bits 2-0: lcd_opa", encodeLcdOpa, decodeLcdOpa};

// 10 bit 5: method28a; bits 4-3: urgcalltype, only while method28a is unchecked.
bool encodeUrgentCallAssignment(SettingsRecord& r, ConfigImage& img, const ImageOptions&) {
  img[10] &= static_cast<std::uint8_t>(~0x38);
  if (r.checked("method28a"))
    img[10] |= 0x20;
  else
    img[10] |= static_cast<std::uint8_t>((r.index("urgcalltype") & 3) << 3);
  return true;
}
void decodeUrgentCallAssignment(SettingsRecord& r, const ConfigImage& img, const ImageOptions&) {
  r.setChecked(field("method28a"), (img[10] & 0x20) != 0);
  if (!r.checked("method28a")) r.setIndex(field("urgcalltype"), (img[10] >> 3) & 3);
}
constexpr SpecialCoding kUrgentCallAssignment{"10 bits 5-3: method28a, urgcalltype",
                                              encodeUrgentCallAssignment,
                                              decodeUrgentCallAssignment};

// 13: backlight duty; a duty that is none of the four leaves backlight as it was.
bool encodeBacklight(SettingsRecord& r, ConfigImage& img, const ImageOptions&) {
  img[13] = backlightDuty(r.index("backlight"));
  return true;
}
void decodeBacklight(SettingsRecord& r, const ConfigImage& img, const ImageOptions&) {
  if (const auto index = backlightIndex(img[13])) r.setIndex(field("backlight"), *index);
}
constexpr SpecialCoding kBacklight{"13: backlight duty", encodeBacklight, decodeBacklight};

// 41 bit 3: otaKillCmd. Only a loaded configuration can check it, and then enables it.
bool encodeOtaKillCmd(SettingsRecord& r, ConfigImage& img, const ImageOptions&) {
  img[41] = static_cast<std::uint8_t>((img[41] & ~0x08) | (r.checked("otaKillCmd") ? 0x08 : 0));
  return true;
}
void decodeOtaKillCmd(SettingsRecord& r, const ConfigImage& img, const ImageOptions&) {
  const FieldId f = field("otaKillCmd");
  r.setChecked(f, (img[41] & 0x08) != 0);
  if (r.checked(f)) r.setEnabled(f, true);
}
constexpr SpecialCoding kOtaKillCmd{"41 bit 3: otaKillCmd", encodeOtaKillCmd, decodeOtaKillCmd};

// 43: overheat voltage, 0xA0..0xC0, anything else stored as 0xB6; shown as "0x" + 2 digits.
bool encodeOverheat(SettingsRecord& r, ConfigImage& img, const ImageOptions&) {
  img[43] = overheatByte(r.text("overheatVoltage"));
  return true;
}
void decodeOverheat(SettingsRecord& r, const ConfigImage& img, const ImageOptions&) {
  r.setText(field("overheatVoltage"), overheatText(img[43]));
}
constexpr SpecialCoding kOverheatVoltage{"43: overheatVoltage", encodeOverheat, decodeOverheat};

// Before the folders are stored: the active folders must fit in 99 slots.
bool checkFolderTotal(SettingsRecord& r, ConfigImage&, const ImageOptions&) {
  return folderExcess(r) == 0;
}
void noDecoding(SettingsRecord&, const ConfigImage&, const ImageOptions&) {}
constexpr SpecialCoding kFolderTotal{"folder total at most 99", checkFolderTotal, noDecoding};

// 250 bit 4: privateFunControl; when it ends up unchecked, delMenu is disabled.
bool encodePrivateFunControl(SettingsRecord& r, ConfigImage& img, const ImageOptions&) {
  img[250] = static_cast<std::uint8_t>((img[250] & ~0x10) |
                                       (r.checked("privateFunControl") ? 0x10 : 0));
  return true;
}
void decodePrivateFunControl(SettingsRecord& r, const ConfigImage& img, const ImageOptions&) {
  r.setChecked(field("privateFunControl"), (img[250] & 0x10) != 0);
  if (!r.checked("privateFunControl")) r.setEnabled(field("delMenu"), false);
}
constexpr SpecialCoding kPrivateFunControl{"250 bit 4: privateFunControl",
                                           encodePrivateFunControl, decodePrivateFunControl};

// 216 + 2k, 217 + 2k: first and last slot of folder k. The active folders share the slots
// in folder order (8-bit arithmetic); an inactive folder stores 0xFF, 0x00.
bool encodeFolderRanges(SettingsRecord& r, ConfigImage& img, const ImageOptions&) {
  std::uint8_t running = 0;
  for (int k = 0; k < kFolders; ++k) {
    std::uint8_t first = image::kNoFirstSlot;
    std::uint8_t last = image::kNoLastSlot;
    if (r.checked(folderField("pubboxact", k))) {
      first = running;
      last = static_cast<std::uint8_t>(first + r.number(folderField("pubboxlength", k)) - 1);
      running = static_cast<std::uint8_t>(last + 1);
    }
    img[image::folderRange(k)] = first;
    img[image::folderRange(k) + 1] = last;
  }
  return true;
}
// Loading the folders runs their activation rules, which count the lengths of every
// checked folder. So that neither the window's previous folders nor its previous length
// texts can refuse or trim a loaded folder, all folders are unchecked first and each active
// folder gets its length before it is checked.
void decodeFolderRanges(SettingsRecord& r, const ConfigImage& img, const ImageOptions&) {
  for (int k = 0; k < kFolders; ++k) r.setChecked(field(folderField("pubboxact", k)), false);
  for (int k = 0; k < kFolders; ++k) {
    const FieldId active = field(folderField("pubboxact", k));
    const FieldId title = field(folderField("pubbox", k));
    const FieldId length = field(folderField("pubboxlength", k));
    const int first = img[image::folderRange(k)];
    const int last = img[image::folderRange(k) + 1];
    if (first != image::kNoFirstSlot) {
      r.setNumber(length, last - first + 1);
      r.setChecked(active, true);
    }
    const bool on = r.checked(active);
    r.setEnabled(title, on);
    r.setEnabled(length, on);
  }
}
constexpr SpecialCoding kFolderRanges{"216..247: folder slot ranges", encodeFolderRanges,
                                      decodeFolderRanges};

// Bytes +1..+3 of each address record: the capcode of address n and the slot n - 1. It is
// stored whether or not the row is switched on.
bool encodeCapcodes(SettingsRecord& r, ConfigImage& img, const ImageOptions&) {
  for (int n = 1; n <= kAddressRows; ++n) {
    const auto capcode = static_cast<std::uint32_t>(r.number(rowField("address", n)));
    const auto bytes = packCapcode(capcode, n - 1);
    for (int i = 0; i < 3; ++i) img[addressRecord(n) + 1 + i] = bytes[i];
  }
  return true;
}
void decodeCapcodes(SettingsRecord& r, const ConfigImage& img, const ImageOptions&) {
  for (int n = 1; n <= kAddressRows; ++n) {
    const int at = addressRecord(n);
    const FieldId address = field(rowField("address", n));
    r.setText(address, "");
    r.setNumber(address, static_cast<int>(unpackCapcode(img[at + 1], img[at + 2], img[at + 3])));
  }
}
constexpr SpecialCoding kCapcodes{"262 + 4(n-1) + 1..3: capcodes", encodeCapcodes,
                                  decodeCapcodes};

// bs1 and bs3, 6 bits each, spread in reversed bit order:
//   295 bits 7-6 = rev2(bs3 bits 5-4)   296 bits 7-4 = rev4(bs1 bits 5-2)
//   296 bits 3-0 = rev4(bs3 bits 3-0)   297 bits 1-0 = rev2(bs1 bits 1-0)
bool encodeThresholds(SettingsRecord& r, ConfigImage& img, const ImageOptions&) {
  const auto b1 = static_cast<unsigned>(r.number("bs1"));
  const auto b3 = static_cast<unsigned>(r.number("bs3"));
  img[295] = static_cast<std::uint8_t>((img[295] & 0x3F) | rev2(b3 >> 4) << 6);
  img[296] = static_cast<std::uint8_t>(rev4(b1 >> 2) << 4 | rev4(b3));
  img[297] = static_cast<std::uint8_t>((img[297] & ~3) | rev2(b1));
  return true;
}
void decodeThresholds(SettingsRecord& r, const ConfigImage& img, const ImageOptions&) {
  const unsigned b3 = rev4(img[296]) + 16 * rev2(img[295] >> 6);
  const unsigned b1 = rev2(img[297]) + 4 * rev4(img[296] >> 4);
  r.setNumber(field("bs3"), b3);
  r.setNumber(field("bs1"), b1);
}
constexpr SpecialCoding kThresholds{"295 bits 7-6, 296, 297 bits 1-0: bs1, bs3",
                                    encodeThresholds, decodeThresholds};

// 297 bit 2: filter on (index below 4); bits 4-3: rev2 of the strength when on.
bool encodeFilterStrength(SettingsRecord& r, ConfigImage& img, const ImageOptions&) {
  const int index = r.index("filter_strength");
  std::uint8_t bits = static_cast<std::uint8_t>(rev2(static_cast<unsigned>(index) & 3) << 3);
  if (index < 4) bits |= 0x04;
  img[297] = static_cast<std::uint8_t>((img[297] & ~0x1C) | bits);
  return true;
}
void decodeFilterStrength(SettingsRecord& r, const ConfigImage& img, const ImageOptions&) {
  r.setIndex(field("filter_strength"), (img[297] & 0x04) ? static_cast<int>(rev2(img[297] >> 3)) : 4);
}
constexpr SpecialCoding kFilterStrength{"297 bits 4-2: filter_strength", encodeFilterStrength,
                                        decodeFilterStrength};

// 256 bits 6-4 and 1-0, 257..261: the channel frequency as synthesizer words.
bool encodeChannel(SettingsRecord& r, ConfigImage& img, const ImageOptions& o) {
  encodeFrequency(r, img, o.decimalSeparator);
  return true;
}
void decodeChannel(SettingsRecord& r, const ConfigImage& img, const ImageOptions& o) {
  displayFrequency(r, img, o.decimalSeparator);
}
constexpr SpecialCoding kChannelFrequency{"256..261: channel frequency", encodeChannel,
                                          decodeChannel};

// ---------------------------------------------------------------------------------------
// The table.

class MapBuilder {
 public:
  void check(int offset, int bit, std::string_view name) {
    bits(offset, bit, bit, name, Coding::Checked);
  }
  void index(int offset, int hi, int lo, std::string_view name, Coding coding = Coding::Index) {
    bits(offset, hi, lo, name, coding);
  }
  void number(int offset, std::string_view name) { bits(offset, 7, 0, name, Coding::Number); }
  void constant(int offset, std::uint8_t value, int hi = 7, int lo = 0) {
    MapRow row;
    row.kind = MapRow::Kind::Constant;
    row.offset = offset;
    row.hi = hi;
    row.lo = lo;
    row.value = value;
    rows.push_back(row);
  }
  void text(int offset, int width, std::string_view name, Padding padding) {
    MapRow row;
    row.kind = MapRow::Kind::Text;
    row.offset = offset;
    row.width = width;
    row.field = field(name);
    row.padding = padding;
    rows.push_back(row);
  }
  void hexPair(int offset, std::string_view name) {
    MapRow row;
    row.kind = MapRow::Kind::HexPair;
    row.offset = offset;
    row.field = field(name);
    rows.push_back(row);
  }
  void special(const SpecialCoding& coding) {
    MapRow row;
    row.kind = MapRow::Kind::Special;
    row.special = &coding;
    rows.push_back(row);
  }

  std::vector<MapRow> rows;

 private:
  void bits(int offset, int hi, int lo, std::string_view name, Coding coding) {
    MapRow row;
    row.kind = MapRow::Kind::Bits;
    row.offset = offset;
    row.hi = hi;
    row.lo = lo;
    row.field = field(name);
    row.coding = coding;
    rows.push_back(row);
  }
};

std::string tone(int n, int t, std::string_view prefix, std::string_view suffix = {}) {
  return rowField(prefix, n, std::string(suffix) + kToneLetters[t]);
}

std::vector<MapRow> buildMap() {
  MapBuilder m;
  // 0: firmware version byte; the encoder leaves it 0, the callers set and read it.
  m.text(1, 8, "serial", Padding::Spaces);
  m.special(kRangeTime);
  m.check(10, 7, "outrangespecial");
  m.check(10, 6, "lowbatteryspecial");
  m.special(kLcdOpa);
  m.special(kUrgentCallAssignment);
  // 11, 12: the index is at most 8; the decoder reads the low nibble.
  m.index(11, 3, 0, "lcd_on_time");
  m.index(12, 3, 0, "lcd_off_time");
  m.special(kBacklight);
  m.hexPair(14, "tonepatternA");
  m.hexPair(16, "tonepatternB");
  m.hexPair(18, "tonepatternC");
  m.hexPair(20, "tonepatternD");
  m.hexPair(22, "tonepatternPon");
  m.hexPair(24, "tonepatternLcell");
  m.hexPair(26, "tonepatternUcall");
  m.index(28, 6, 4, "msgdisptime");
  m.index(28, 2, 0, "alerttime");
  m.number(29, "lcdholdtime");
  for (int n = 1; n <= kAddressRows; ++n) m.index(30, n - 1, n - 1, rowField("msgtype", n));
  m.index(31, 7, 4, "menulanguage");
  m.index(31, 3, 0, "language");
  // 32: not used.
  m.number(33, "contrast");
  m.index(34, 6, 6, "autospace");
  m.check(34, 5, "rejectBadMsg");
  m.index(34, 4, 4, "pubcallno");
  m.index(34, 3, 3, "lowcell");
  m.check(34, 2, "unreadRemind");
  m.index(34, 1, 1, "numset");
  m.index(34, 0, 0, "pubfoldermode");
  m.text(35, 4, "password", Padding::Zeros);
  m.check(39, 7, "handprogram");
  m.check(39, 6, "msgInfoMode");
  m.index(39, 5, 4, "dateformat");
  m.index(39, 3, 3, "lowcell");  // again; the decoder keeps this one
  m.check(39, 2, "ota");
  m.index(39, 1, 0, "repeatcallcheck");
  m.index(40, 7, 5, "lcd_fosc");
  m.index(40, 4, 2, "lcd_tc");
  m.index(40, 1, 0, "lcd_bias");
  m.check(41, 7, "useInternalBuzzer");
  m.index(41, 6, 5, "cmbNameDisplay");
  m.check(41, 4, "showPowerOffMenu");
  m.special(kOtaKillCmd);
  m.check(41, 2, "mostRecentMsg");
  m.check(41, 1, "lockVibrate");
  m.check(41, 0, "chargerBeepRemind");
  for (int n = 1; n <= kAddressRows; ++n) m.check(42, n - 1, rowField("permission", n));
  m.special(kOverheatVoltage);
  m.text(46, 14, "hellomsg1", Padding::Spaces);
  for (int n = 1; n <= kAddressRows; ++n) {
    const int at = image::kFormats + n - 1;
    m.index(at, 1, 0, rowField("addr", n, "formatA"));
    m.index(at, 3, 2, rowField("addr", n, "formatB"));
    m.index(at, 5, 4, rowField("addr", n, "formatC"));
    m.index(at, 7, 6, rowField("addr", n, "formatD"));
  }
  m.special(kFolderTotal);
  m.constant(68, 0x2B);
  m.constant(69, 0x2D);
  m.constant(70, 0x2A);
  // 71: not used.
  for (int k = 0; k < kFolders; ++k)
    m.text(image::folderTitle(k), image::kFolderTitleWidth, folderField("pubbox", k),
           Padding::Spaces);
  // 216..247, the folder ranges, are coded after the address switches, below.
  m.constant(248, 0x01);
  m.constant(249, 0x00);
  m.index(250, 7, 7, "urgcallmode");
  m.check(250, 6, "qsound");
  m.check(250, 5, "capcodeNameDisplay");
  m.special(kPrivateFunControl);
  // 250 bit 3: 0.
  m.check(250, 2, "autobacklight");
  m.check(250, 1, "delall_w_unread");
  m.index(250, 0, 0, "delMenu");
  m.index(251, 7, 0, "repeatcallreject");
  m.constant(252, 0x53);
  m.constant(253, 0x04);
  m.constant(254, 0x24);
  // 255: not used, covered by neither checksum.
  m.index(256, 6, 4, "channelspace");
  m.index(256, 3, 2, "pll");
  for (int n = 1; n <= kAddressRows; ++n) {
    m.check(addressRecord(n), 7, rowField("addr", n, "en"));
    m.constant(addressRecord(n), 0x06, 6, 0);
  }
  // The folders after the address switches: a switch runs the message-type rule, which
  // would lock the Folders tab under folders already loaded while a public row is still off.
  m.special(kFolderRanges);
  m.special(kCapcodes);
  m.check(294, 7, "bs2_option");
  m.constant(294, 0x02, 6, 0);
  m.check(295, 0, "end_of_msg");
  m.index(295, 2, 1, "clko");
  m.index(295, 4, 3, "baudrate", Coding::Rev2Index);
  m.index(295, 5, 5, "polarity");
  m.special(kThresholds);
  m.special(kFilterStrength);
  m.index(297, 7, 5, "error_rate", Coding::Rev3Index);
  // 302..306: not used.
  m.text(image::kOtaKillMessage, 40, "otaKillMsg", Padding::Spaces);
  m.special(kChannelFrequency);
  for (int n = 1; n <= kAddressRows; ++n)
    for (int t = 0; t < 4; ++t)
      m.check(image::urgentCallByte(n), image::urgentCallBit(n, t), tone(n, t, "UrgentCall"));
  for (int n = 1; n <= kAddressRows; ++n)
    for (int t = 0; t < 4; ++t)
      m.text(image::toneName(n, t), image::kNameWidth, tone(n, t, "Capcode", "Tone"),
             Padding::Zeros);
  for (int n = 1; n <= kAddressRows; ++n)
    m.text(image::addressName(n), image::kNameWidth, rowField("Capcode", n, "Name"),
           Padding::Zeros);
  // 987..1019: not used. 1020..1023: the checksums (image_checksums.h).
  return std::move(m.rows);
}

}  // namespace

const std::vector<MapRow>& imageMap() {
  static const std::vector<MapRow> map = buildMap();
  return map;
}

}  // namespace palor
