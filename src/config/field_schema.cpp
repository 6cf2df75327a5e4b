// SPDX-License-Identifier: GPL-3.0-or-later
#include "config/field_schema.h"

#include <cstdio>
#include <stdexcept>
#include <unordered_map>

#include "config/field_groups.h"

namespace palor {
namespace {

using Items = std::vector<std::string>;

FieldSchema text(std::string name, int maxLength, std::string defaultText) {
  FieldSchema f;
  f.name = std::move(name);
  f.kind = FieldKind::Text;
  f.maxLength = maxLength;
  f.defaultText = std::move(defaultText);
  return f;
}

FieldSchema digits(std::string name, int maxLength, std::string defaultText) {
  FieldSchema f = text(std::move(name), maxLength, std::move(defaultText));
  f.chars = TextChars::Digits;
  return f;
}

FieldSchema list(std::string name, Items items, int defaultIndex) {
  FieldSchema f;
  f.name = std::move(name);
  f.kind = FieldKind::Item;
  f.items = std::move(items);
  f.defaultIndex = defaultIndex;
  return f;
}

FieldSchema check(std::string name, std::string caption, bool defaultChecked) {
  FieldSchema f;
  f.name = std::move(name);
  f.kind = FieldKind::Check;
  f.caption = std::move(caption);
  f.defaultChecked = defaultChecked;
  return f;
}

FieldSchema& placed(FieldSchema& f, std::string_view page, std::string_view group,
                    std::string_view label) {
  f.page = page;
  f.group = group;
  f.label = label;
  return f;
}

const Items kFormats = {"Numeric", "Alpha", "Disable", "Tone"};
const Items kLcdOnOff = {"Disabled", "1s", "2s", "3s", "4s", "5s", "6s", "7s", "8s"};

void addCustomerStrip(std::vector<FieldSchema>& s) {
  FieldSchema f = digits("TxtPagerNumber", 8, "00000000");
  f.label = "Pager number:";
  s.push_back(f);
}

void addAddressRows(std::vector<FieldSchema>& s) {
  const std::string page(kPageAddresses);
  for (int n = 1; n <= kAddressRows; ++n) {
    const AddressRowNames& names = kAddressRowNames[static_cast<std::size_t>(n - 1)];
    auto add = [&](FieldSchema f, std::string_view label) {
      placed(f, page, page, label);
      f.row = n;
      s.push_back(std::move(f));
    };
    add(check(std::string(names.enabled), "[" + std::to_string(n) + "]", true), "");
    add(digits(std::string(names.address), 7, std::to_string(2004000 + 8 * (n - 1))), "PN");
    add(text(std::string(names.name), 16, ""), "");
    {
      FieldSchema f = text(std::string(names.frame), 1, "0");
      f.readOnly = true;
      f.initiallyEnabled = false;
      add(f, "Fm");
    }
    add(list(std::string(names.autoinc), {"0", "1", "2", "3", "4", "5", "6", "7", "8"}, 0),
        "Auto inc");
    add(check(std::string(names.permission), " ", false), "Permission");
    {
      FieldSchema f = list(std::string(names.msgtype), {"Private", "Public"}, 0);
      if (n == 2) f.tooltip = "Select Private will disable message folder 1-4";
      if (n == 3) f.tooltip = "Select Private will disable message folder 5-8";
      if (n >= 4) f.tooltip = "Select Private will disable message folder 9-12";
      add(f, "Msg type");
    }
    for (std::size_t t = 0; t < names.tones.size(); ++t)
      add(list(std::string(names.tones[t].format), kFormats, 1),
          std::string(1, kToneLetters[t]) + " Tone");
    for (const ToneColumnNames& tone : names.tones)
      add(text(std::string(tone.toneName), 16, ""), "");
    for (const ToneColumnNames& tone : names.tones) {
      FieldSchema f = check(std::string(tone.urgentCall), "", false);
      f.hasVisibleFlag = true;
      add(f, "UC");
    }
  }
}

void addFolders(std::vector<FieldSchema>& s) {
  const std::string page(kPageFolders);
  for (int k = 0; k < kFolders; ++k) {
    const FolderNames& names = kFolderNames[static_cast<std::size_t>(k)];
    auto add = [&](FieldSchema f, std::string_view label) {
      placed(f, page, page, label);
      f.row = k;
      f.initiallyEnabled = false;
      s.push_back(std::move(f));
    };
    add(check(std::string(names.active), "[" + std::to_string(k + 1) + "]", false), "");
    char title[16];
    std::snprintf(title, sizeof title, "FOLDER %02d", k);
    add(text(std::string(names.title), 9, title), "Title");
    add(digits(std::string(names.length), 2, "1"), "Length");
  }
}

void addSettings(std::vector<FieldSchema>& s) {
  const std::string page(kPageSettings);
  auto add = [&](FieldSchema f, std::string_view group, std::string_view label) {
    placed(f, page, group, label);
    s.push_back(std::move(f));
  };

  add(text("hellomsg1", 14, " TARVO PAGING "), "Hello message", "");

  const std::pair<const char*, const char*> tones[] = {
      {"A", "FFFC"},        {"B", "CFFC"},        {"C", "CCC0"},          {"D", "264C"},
      {"Power on", "A000"}, {"Low cell", "8000"}, {"Urgent call", "D1B1"}};
  const char* toneFields[] = {"tonepatternA",    "tonepatternB",   "tonepatternC",
                              "tonepatternD",    "tonepatternPon", "tonepatternLcell",
                              "tonepatternUcall"};
  for (int i = 0; i < 7; ++i) {
    FieldSchema f = text(toneFields[i], 4, tones[i].second);
    f.chars = TextChars::HexDigits;
    f.upperCase = true;
    add(f, "Tone patterns", tones[i].first);
  }

  {
    FieldSchema f = digits("lcdholdtime", 3, "20");
    f.tooltip = "1-255 sec, 0=always on";
    add(f, "", "LCD hold time");
  }
  {
    // The check box contrastUnlock stands as this field's label.
    FieldSchema f = digits("contrast", 2, "10");
    f.tooltip = "range 01-63";
    add(f, "", "");
  }
  {
    FieldSchema f = digits("rangetime", 3, "240");
    f.tooltip = "0: always on";
    f.unit = "sec";
    add(f, "", "Out of range delay");
  }
  {
    FieldSchema f = text("channelfreq", 9, "457.00000");
    f.unit = "MHz@";
    add(f, "", "Channel freq");
  }
  add(text("otaKillMsg", 40, "PAGER DISABLED! CALL SERVICE PROVIDER! "), "", "OTA kill message");
  add(digits("password", 4, "4862"), "", "Password");
  {
    FieldSchema f = text("serial", 8, "00000000");
    f.chars = TextChars::LettersAndDigits;
    add(f, "", "Serial no.");
  }

  add(list("dateformat", {"DD/MM/YY", "MM/DD/YY", "YY/MM/DD"}, 0), "", "Date format");
  add(list("autospace", {"Disabled", "Enabled"}, 1), "", "Auto spacing");
  add(list("msgdisptime", {"4 sec", "8 sec", "16 sec", "32 sec", "64 sec"}, 2), "",
      "Msg display time");
  add(list("alerttime", {"4 sec", "8 sec", "16 sec", "32 sec", "64 sec", "120 sec", "Endless"}, 1),
      "", "Alert time");
  add(list("lowcell", {"0 sec", "16 sec"}, 1), "", "Low cell delay");
  add(list("pubcallno", {"Visible", "Invisible"}, 0), "", "Public call no.");
  add(list("baudrate", {"512 bps", "1200 bps", "2400 bps"}, 0), "", "Baud rate");
  add(list("polarity", {"Normal", "Inverse"}, 0), "", "Polarity");
  // Stands after "MHz@", the unit of channelfreq.
  add(list("channelspace", {"25 kHz", "20 kHz", "12.5 kHz", "10 kHz", "6.25 kHz", "5 kHz"}, 0), "",
      "");
  {
    FieldSchema f = list("lcd_on_time", kLcdOnOff, 0);
    f.initiallyEnabled = false;
    add(f, "", "LCD ON");
  }
  {
    FieldSchema f = list("lcd_off_time", kLcdOnOff, 0);
    f.initiallyEnabled = false;
    add(f, "", "LCD OFF");
  }
  add(list("backlight", {"9:1", "7:3", "5:5", "3:7"}, 1), "", "Backlight intensity");
  // The check box privateFunControl stands as this field's label.
  add(list("delMenu", {"Protect, del, del all", "Del all, del, protect"}, 1), "", "");
  add(list("urgcallmode", {"Normal", "Continuous"}, 0), "", "Urgent call mode");
  {
    FieldSchema f = list("urgcalltype", {"A tone", "B tone", "C tone", "D tone"}, 0);
    f.hasVisibleFlag = true;
    add(f, "", "Urgent call type");
  }
  add(list("pubfoldermode", {"Continuous", "Discontinuous"}, 0), "", "Public folder mode");
  add(list("repeatcallcheck", {"CT independent", "CT dependent", "Disable"}, 0), "",
      "Repeat call check");
  add(list("repeatcallreject", {"Disabled", "1-2 min", "2-3 min", "5-6 min", "10-11 min"}, 0), "",
      "Repeat call rejection");
  add(list("numset", {"0-9,'NL'U'SP'-][", "0-9,ABCDE'SP'"}, 0), "", "Numeric char. set");
  add(list("language",
           {"U.S.", "GERMAN", "SWISS", "FRENCH", "SWEDEN", "PORTUGAL", "SPAIN", "U.K.", "ITALY",
            "DENMARK/NORWAY"},
           7),
      "", "Character set");
  add(list("menulanguage",
           {"English", "German", "French", "Swedish", "Danish", "Norwegian", "Portuguese",
            "Spanish", "Italian", "Finnish", "Dutch"},
           0),
      "", "Menu language");
  add(list("cmbNameDisplay", {"Address name", "Tone name", "Nothing"}, 2), "",
      "Display before messages");

  add(check("contrastUnlock", "LCD contrast", false), "", "");
  add(check("privateFunControl", "Del menu", true), "", "");
  add(check("autobacklight", "Auto backlight", false), "", "");
  add(check("delall_w_unread", "Del all includes unread messages", true), "", "");
  add(check("handprogram", "Hand programming", true), "", "");
  add(check("method28a", "Individually assigned urgent calls", true), "", "");
  add(check("unreadRemind", "Remind alert", false), "", "");
  {
    FieldSchema f = check("ota", "Public folder OTA disable", false);
    f.tooltip = "Can be control by OTA +++ or --- command";
    add(f, "", "");
  }
  add(check("qsound", "Quiet sound", false), "", "");
  add(check("outrangespecial", "Out of range special display", false), "", "");
  add(check("lowbatteryspecial", "Special low battery option", false), "", "");
  add(check("chargerBeepRemind", "Beep when charger loses power", true), "", "");
  add(check("lockVibrate", "Lock alert mode to vibrator", false), "", "");
  add(check("rejectBadMsg", "Reject corrupted private messages", false), "", "");
  add(check("mostRecentMsg", "Most recent message mode", false), "", "");
  add(check("showPowerOffMenu", "Show power off menu", true), "", "");
  add(check("useInternalBuzzer", "Use pager buzzer when charging", false), "", "");
  {
    FieldSchema f = check("otaKillCmd", "Reception disabled (OTA-kill)", false);
    f.initiallyEnabled = false;
    add(f, "", "");
  }
  add(check("capcodeNameDisplay", "Use address names in menu", false), "", "");
  add(check("msgInfoMode", "Message info mode", false), "", "");
}

void addHardware(std::vector<FieldSchema>& s) {
  const std::string page(kPageHardware);
  auto add = [&](FieldSchema f, std::string_view group, std::string_view label) {
    placed(f, page, group, label);
    s.push_back(std::move(f));
  };
  add(list("pll", {"SM5170", "FS8170"}, 0), "PLL", "Chip");
  {
    FieldSchema f = text("overheatVoltage", 4, "0xB6");
    f.chars = TextChars::HexOrX;
    add(f, "Misc", "Overheat voltage");
  }
  {
    FieldSchema f = list("lcddrv", {"SD1815"}, 0);
    f.initiallyEnabled = false;
    add(f, "LCD driver", "Chip");
  }
  add(list("lcd_opa", {"3", "4", "5", "6", "7"}, 2), "LCD driver", "OPA");
  add(list("lcd_fosc",
           {"60.6 Hz", "63.6 Hz", "68.5 Hz", "72.5 Hz", "74.4 Hz", "79.9 Hz", "89.3 Hz", "98.3 Hz"},
           0),
      "LCD driver", "Fosc");
  add(list("lcd_tc",
           {"-0.01%/C", "Reserved", "-0.15%/C", "Reserved", "-0.2%/C", "Reserved", "Reserved",
            "-0.3%/C"},
           0),
      "LCD driver", "TC value");
  add(list("lcd_bias", {"00", "01", "10"}, 2), "LCD driver", "Bias ratio");
  {
    FieldSchema f = list("decoder", {"SM8212"}, 0);
    f.initiallyEnabled = false;
    add(f, "Decoder", "Chip");
  }
  {
    FieldSchema f = digits("bs1", 2, "60");
    f.tooltip = "range 2 - 61";
    add(f, "Decoder", "BS1");
  }
  {
    FieldSchema f = digits("bs3", 2, "61");
    f.tooltip = "range 3 - 62";
    add(f, "Decoder", "BS3");
  }
  {
    FieldSchema f = list(
        "error_rate", {"1 CNT", "2 CNT", "3 CNT", "4 CNT", "5 CNT", "6 CNT", "7 CNT", "8 CNT"}, 1);
    f.tooltip = "Preamble mode rate error detection";
    add(f, "Decoder", "Error rate");
  }
  add(list("clko", {"76.8 kHz", "38.4 kHz", "Off"}, 2), "Decoder", "CLKO");
  add(list("filter_strength", {"1", "2", "3", "4", "Off"}, 1), "Decoder", "Filter strength");
  add(check("bs2_option", "BS2 mid-adj", false), "Decoder", "");
  add(check("end_of_msg", "end_of_msg", false), "Decoder", "");
}

std::vector<FieldSchema> buildSchema() {
  std::vector<FieldSchema> s;
  s.reserve(300);
  addCustomerStrip(s);
  addAddressRows(s);
  addFolders(s);
  addSettings(s);
  addHardware(s);
  return s;
}

const std::unordered_map<std::string_view, FieldId>& nameIndex() {
  static const auto index = [] {
    std::unordered_map<std::string_view, FieldId> m;
    const auto& s = settingsSchema();
    for (std::size_t i = 0; i < s.size(); ++i) m.emplace(s[i].name, static_cast<FieldId>(i));
    return m;
  }();
  return index;
}

}  // namespace

const std::vector<FieldSchema>& settingsSchema() {
  static const std::vector<FieldSchema> schema = buildSchema();
  return schema;
}

std::optional<FieldId> findField(std::string_view name) {
  const auto& index = nameIndex();
  auto it = index.find(name);
  if (it == index.end()) return std::nullopt;
  return it->second;
}

FieldId fieldId(std::string_view name) {
  if (auto id = findField(name)) return *id;
  throw UnknownFieldError(name);
}

const FieldSchema& fieldSchema(FieldId id) { return settingsSchema().at(toIndex(id)); }

namespace {

// The schema's name of the repeated field prefix, digit, suffix of row (or folder) `row`.
std::string repeatedField(std::string_view prefix, int row, char digit, std::string_view suffix) {
  for (const FieldSchema& f : settingsSchema()) {
    const std::string_view name = f.name;
    if (f.row == row && name.size() == prefix.size() + 1 + suffix.size() &&
        name.starts_with(prefix) && name[prefix.size()] == digit && name.ends_with(suffix))
      return f.name;
  }
  throw UnknownFieldError(std::string(prefix) + digit + std::string(suffix));
}

}  // namespace

std::string rowField(std::string_view prefix, int row, std::string_view suffix) {
  return repeatedField(prefix, row, static_cast<char>('0' + row), suffix);
}

std::string folderField(std::string_view prefix, int folder) {
  return repeatedField(prefix, folder, hexDigit(static_cast<unsigned>(folder)), {});
}

std::string_view kindName(FieldKind kind) {
  switch (kind) {
    case FieldKind::Text: return "text";
    case FieldKind::Item: return "item";
    case FieldKind::Check: return "check";
  }
  return "";
}

}  // namespace palor
