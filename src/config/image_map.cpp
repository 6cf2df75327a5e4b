// SPDX-License-Identifier: GPL-3.0-or-later
#include "config/image_map.h"

#include "config/channel_frequency.h"
#include "config/field_groups.h"
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
  if (o.firmwareVersion <= 2)
    img[image::kRangeTimeByte] = static_cast<std::uint8_t>(value);
  else
    image::putWord16(img, image::kRangeTimeWord, value);
  return true;
}
void decodeRangeTime(SettingsRecord& r, const ConfigImage& img, const ImageOptions& o) {
  int value = img[image::kRangeTimeByte];
  if (o.firmwareVersion > 2)
    value = static_cast<std::int16_t>(image::word16(img, image::kRangeTimeWord));
  r.setNumber(field("rangetime"), value);
}
constexpr SpecialCoding kRangeTime{"9 or 44..45: rangetime", encodeRangeTime, decodeRangeTime};

// The number lcd_opa shows ("3".."7"), not its index; 0 for no selection.
bool encodeLcdOpa(SettingsRecord& r, ConfigImage& img, const ImageOptions&) {
  const auto item = r.itemText(field("lcd_opa"));
  image::kLcdOpa.put(img, static_cast<unsigned>(item ? toInteger(*item) : 0));
  return true;
}
void decodeLcdOpa(SettingsRecord& r, const ConfigImage& img, const ImageOptions&) {
  r.setIndex(field("lcd_opa"), static_cast<int>(image::kLcdOpa.get(img)) - 3);
}
constexpr SpecialCoding kLcdOpa{"10 bits 2-0: lcd_opa", encodeLcdOpa, decodeLcdOpa};

// method28a; urgcalltype only while method28a is unchecked, else 0.
bool encodeUrgentCallAssignment(SettingsRecord& r, ConfigImage& img, const ImageOptions&) {
  const bool perAddress = r.checked("method28a");
  image::kMethod28a.put(img, perAddress ? 1 : 0);
  image::kUrgentCallType.put(img, perAddress ? 0 : static_cast<unsigned>(r.index("urgcalltype")));
  return true;
}
void decodeUrgentCallAssignment(SettingsRecord& r, const ConfigImage& img, const ImageOptions&) {
  r.setChecked(field("method28a"), image::kMethod28a.get(img) != 0);
  if (!r.checked("method28a"))
    r.setIndex(field("urgcalltype"), static_cast<int>(image::kUrgentCallType.get(img)));
}
constexpr SpecialCoding kUrgentCallAssignment{
    "10 bits 5-3: method28a, urgcalltype", encodeUrgentCallAssignment, decodeUrgentCallAssignment};

// The backlight duty; a duty that is none of the four leaves backlight as it was.
bool encodeBacklight(SettingsRecord& r, ConfigImage& img, const ImageOptions&) {
  image::kBacklightDuty.put(img, backlightDuty(r.index("backlight")));
  return true;
}
void decodeBacklight(SettingsRecord& r, const ConfigImage& img, const ImageOptions&) {
  const auto duty = static_cast<std::uint8_t>(image::kBacklightDuty.get(img));
  if (const auto index = backlightIndex(duty)) r.setIndex(field("backlight"), *index);
}
constexpr SpecialCoding kBacklight{"13: backlight duty", encodeBacklight, decodeBacklight};

// otaKillCmd. Only a loaded configuration can check it, and then enables it.
bool encodeOtaKillCmd(SettingsRecord& r, ConfigImage& img, const ImageOptions&) {
  image::kOtaKillCmd.put(img, r.checked("otaKillCmd") ? 1 : 0);
  return true;
}
void decodeOtaKillCmd(SettingsRecord& r, const ConfigImage& img, const ImageOptions&) {
  const FieldId f = field("otaKillCmd");
  r.setChecked(f, image::kOtaKillCmd.get(img) != 0);
  if (r.checked(f)) r.setEnabled(f, true);
}
constexpr SpecialCoding kOtaKillCmd{"41 bit 3: otaKillCmd", encodeOtaKillCmd, decodeOtaKillCmd};

// The overheat voltage, 0xA0..0xC0, anything else stored as 0xB6; shown as "0x" + 2 digits.
bool encodeOverheat(SettingsRecord& r, ConfigImage& img, const ImageOptions&) {
  image::kOverheatVoltage.put(img, overheatByte(r.text("overheatVoltage")));
  return true;
}
void decodeOverheat(SettingsRecord& r, const ConfigImage& img, const ImageOptions&) {
  const auto stored = static_cast<std::uint8_t>(image::kOverheatVoltage.get(img));
  r.setText(field("overheatVoltage"), overheatText(stored));
}
constexpr SpecialCoding kOverheatVoltage{"43: overheatVoltage", encodeOverheat, decodeOverheat};

// Before the folders are stored: the active folders must fit in 99 slots.
bool checkFolderTotal(SettingsRecord& r, ConfigImage&, const ImageOptions&) {
  return folderExcess(r) == 0;
}
void noDecoding(SettingsRecord&, const ConfigImage&, const ImageOptions&) {}
constexpr SpecialCoding kFolderTotal{"folder total at most 99", checkFolderTotal, noDecoding};

// privateFunControl; when it ends up unchecked, delMenu is disabled.
bool encodePrivateFunControl(SettingsRecord& r, ConfigImage& img, const ImageOptions&) {
  image::kPrivateFunControl.put(img, r.checked("privateFunControl") ? 1 : 0);
  return true;
}
void decodePrivateFunControl(SettingsRecord& r, const ConfigImage& img, const ImageOptions&) {
  r.setChecked(field("privateFunControl"), image::kPrivateFunControl.get(img) != 0);
  if (!r.checked("privateFunControl")) r.setEnabled(field("delMenu"), false);
}
constexpr SpecialCoding kPrivateFunControl{"250 bit 4: privateFunControl", encodePrivateFunControl,
                                           decodePrivateFunControl};

// 216 + 2k, 217 + 2k: first and last slot of folder k. The active folders share the slots
// in folder order (8-bit arithmetic); an inactive folder stores 0xFF, 0x00.
bool encodeFolderRanges(SettingsRecord& r, ConfigImage& img, const ImageOptions&) {
  std::uint8_t running = 0;
  for (const FolderFields& folder : folders()) {
    std::uint8_t first = image::kNoFirstSlot;
    std::uint8_t last = image::kNoLastSlot;
    if (r.checked(folder.active)) {
      first = running;
      last = static_cast<std::uint8_t>(first + r.number(folder.length) - 1);
      running = static_cast<std::uint8_t>(last + 1);
    }
    img[image::folderRange(folder.folder)] = first;
    img[image::folderRange(folder.folder) + 1] = last;
  }
  return true;
}
// Loading the folders runs their activation rules, which count the lengths of every
// checked folder. So that neither the window's previous folders nor its previous length
// texts can refuse or trim a loaded folder, all folders are unchecked first and each active
// folder gets its length before it is checked.
void decodeFolderRanges(SettingsRecord& r, const ConfigImage& img, const ImageOptions&) {
  for (const FolderFields& folder : folders()) r.setChecked(folder.active, false);
  for (const FolderFields& folder : folders()) {
    const int first = img[image::folderRange(folder.folder)];
    const int last = img[image::folderRange(folder.folder) + 1];
    if (first != image::kNoFirstSlot) {
      r.setNumber(folder.length, last - first + 1);
      r.setChecked(folder.active, true);
    }
    const bool on = r.checked(folder.active);
    r.setEnabled(folder.title, on);
    r.setEnabled(folder.length, on);
  }
}
constexpr SpecialCoding kFolderRanges{"216..247: folder slot ranges", encodeFolderRanges,
                                      decodeFolderRanges};

// Bytes +1..+3 of each address record: the capcode of address n and the slot n - 1. It is
// stored whether or not the row is switched on.
bool encodeCapcodes(SettingsRecord& r, ConfigImage& img, const ImageOptions&) {
  for (const AddressRow& row : addressRows()) {
    const auto capcode = static_cast<std::uint32_t>(r.number(row.address));
    const auto bytes = packCapcode(capcode, row.row - 1);
    for (int i = 0; i < 3; ++i) img[addressRecord(row.row) + 1 + i] = bytes[i];
  }
  return true;
}
void decodeCapcodes(SettingsRecord& r, const ConfigImage& img, const ImageOptions&) {
  for (const AddressRow& row : addressRows()) {
    const int at = addressRecord(row.row);
    r.setText(row.address, "");
    r.setNumber(row.address,
                static_cast<int>(unpackCapcode(img[at + 1], img[at + 2], img[at + 3])));
  }
}
constexpr SpecialCoding kCapcodes{"262 + 4(n-1) + 1..3: capcodes", encodeCapcodes, decodeCapcodes};

// bs1 and bs3, 6 bits each, spread in reversed bit order (image::kBs1High and its kin).
bool encodeThresholds(SettingsRecord& r, ConfigImage& img, const ImageOptions&) {
  const auto b1 = static_cast<unsigned>(r.number("bs1"));
  const auto b3 = static_cast<unsigned>(r.number("bs3"));
  image::kBs3High.put(img, rev2(b3 >> 4));
  image::kBs1High.put(img, rev4(b1 >> 2));
  image::kBs3Low.put(img, rev4(b3));
  image::kBs1Low.put(img, rev2(b1));
  return true;
}
void decodeThresholds(SettingsRecord& r, const ConfigImage& img, const ImageOptions&) {
  const unsigned b3 = rev4(image::kBs3Low.get(img)) + 16 * rev2(image::kBs3High.get(img));
  const unsigned b1 = rev2(image::kBs1Low.get(img)) + 4 * rev4(image::kBs1High.get(img));
  r.setNumber(field("bs3"), b3);
  r.setNumber(field("bs1"), b1);
}
constexpr SpecialCoding kThresholds{"295 bits 7-6, 296, 297 bits 1-0: bs1, bs3", encodeThresholds,
                                    decodeThresholds};

// The filter is on for an index below 4, with rev2 of the strength; "Off" is index 4.
constexpr int kFilterOff = 4;
bool encodeFilterStrength(SettingsRecord& r, ConfigImage& img, const ImageOptions&) {
  const int index = r.index("filter_strength");
  image::kFilterStrength.put(img, rev2(static_cast<unsigned>(index)));
  image::kFilterOn.put(img, index < kFilterOff ? 1 : 0);
  return true;
}
void decodeFilterStrength(SettingsRecord& r, const ConfigImage& img, const ImageOptions&) {
  const bool on = image::kFilterOn.get(img) != 0;
  r.setIndex(field("filter_strength"),
             on ? static_cast<int>(rev2(image::kFilterStrength.get(img))) : kFilterOff);
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
  void check(int offset, int bit, FieldId f) { bits({offset, bit, bit}, f, Coding::Checked); }
  void check(int offset, int bit, std::string_view name) { check(offset, bit, field(name)); }
  void index(int offset, int hi, int lo, FieldId f, Coding coding = Coding::Index) {
    bits({offset, hi, lo}, f, coding);
  }
  void index(int offset, int hi, int lo, std::string_view name, Coding coding = Coding::Index) {
    index(offset, hi, lo, field(name), coding);
  }
  void number(int offset, std::string_view name) {
    bits({offset, 7, 0}, field(name), Coding::Number);
  }
  void constant(int offset, std::uint8_t value, int hi = 7, int lo = 0) {
    MapRow row;
    row.kind = MapRow::Kind::Constant;
    row.bits = {offset, hi, lo};
    row.value = value;
    rows.push_back(row);
  }
  void text(int offset, int width, FieldId f, Padding padding) {
    MapRow row;
    row.kind = MapRow::Kind::Text;
    row.offset = offset;
    row.width = width;
    row.field = f;
    row.padding = padding;
    rows.push_back(row);
  }
  void text(int offset, int width, std::string_view name, Padding padding) {
    text(offset, width, field(name), padding);
  }
  void hexPair(int offset, FieldId f) {
    MapRow row;
    row.kind = MapRow::Kind::HexPair;
    row.offset = offset;
    row.field = f;
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
  void bits(BitField where, FieldId f, Coding coding) {
    MapRow row;
    row.kind = MapRow::Kind::Bits;
    row.bits = where;
    row.field = f;
    row.coding = coding;
    rows.push_back(row);
  }
};

std::vector<MapRow> buildMap() {
  MapBuilder m;
  const auto& rows = addressRows();
  // 0: firmware version byte; the encoder leaves it 0, the callers set and read it.
  m.text(image::kSerial, image::kSerialWidth, "serial", Padding::Spaces);
  m.special(kRangeTime);
  m.check(10, 7, "outrangespecial");
  m.check(10, 6, "lowbatteryspecial");
  m.special(kLcdOpa);
  m.special(kUrgentCallAssignment);
  // 11, 12: the index is at most 8; the decoder reads the low nibble.
  m.index(11, 3, 0, "lcd_on_time");
  m.index(12, 3, 0, "lcd_off_time");
  m.special(kBacklight);
  const auto& patterns = tonePatternFields();
  for (std::size_t i = 0; i < patterns.size(); ++i)
    m.hexPair(image::tonePattern(static_cast<int>(i)), patterns[i]);
  m.index(28, 6, 4, "msgdisptime");
  m.index(28, 2, 0, "alerttime");
  m.number(29, "lcdholdtime");
  for (const AddressRow& r : rows) m.index(30, r.row - 1, r.row - 1, r.msgtype);
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
  m.text(image::kPassword, image::kPasswordWidth, "password", Padding::Zeros);
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
  for (const AddressRow& r : rows) m.check(42, r.row - 1, r.permission);
  m.special(kOverheatVoltage);
  m.text(image::kHelloMessage, image::kHelloMessageWidth, "hellomsg1", Padding::Spaces);
  // One byte per address, two bits per tone column, A in bits 1-0 .. D in bits 7-6.
  for (const AddressRow& r : rows)
    for (int t = 0; t < 4; ++t)
      m.index(image::kFormats + r.row - 1, 2 * t + 1, 2 * t,
              r.tones[static_cast<std::size_t>(t)].format);
  m.special(kFolderTotal);
  m.constant(68, 0x2B);
  m.constant(69, 0x2D);
  m.constant(70, 0x2A);
  // 71: not used.
  for (const FolderFields& f : folders())
    m.text(image::folderTitle(f.folder), image::kFolderTitleWidth, f.title, Padding::Spaces);
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
  m.index(image::kSynthesizer, 6, 4, "channelspace");
  m.index(image::kSynthesizer, 3, 2, "pll");
  for (const AddressRow& r : rows) {
    m.check(addressRecord(r.row), 7, r.enabled);
    m.constant(addressRecord(r.row), 0x06, 6, 0);
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
  m.text(image::kOtaKillMessage, image::kOtaKillMessageWidth, "otaKillMsg", Padding::Spaces);
  m.special(kChannelFrequency);
  for (const AddressRow& r : rows)
    for (int t = 0; t < 4; ++t)
      m.check(image::urgentCallByte(r.row), image::urgentCallBit(r.row, t),
              r.tones[static_cast<std::size_t>(t)].urgentCall);
  for (const AddressRow& r : rows)
    for (int t = 0; t < 4; ++t)
      m.text(image::toneName(r.row, t), image::kNameWidth,
             r.tones[static_cast<std::size_t>(t)].toneName, Padding::Zeros);
  for (const AddressRow& r : rows)
    m.text(image::addressName(r.row), image::kNameWidth, r.name, Padding::Zeros);
  // 987..1019: not used. 1020..1023: the checksums (image_checksums.h).
  return std::move(m.rows);
}

}  // namespace

const std::vector<MapRow>& imageMap() {
  static const std::vector<MapRow> map = buildMap();
  return map;
}

}  // namespace palor
