// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/csv_layout.h"

#include <stdexcept>
#include <string_view>

namespace palor::csv {
namespace {

const FieldSchema& schema(std::string_view name) { return fieldSchema(fieldId(name)); }

// ---------------------------------------------------------------------------------------
// Fields, as the lines below declare them. How each kind is written and read back is in
// csv_table.cpp, the two halves side by side.

using Kind = Cell::Kind;
constexpr std::size_t kWhole = std::string::npos;

Cell fixed(std::string_view text) { return {.text = std::string(text)}; }
Cell empty() { return fixed(""); }
// The window's column heading of a field: "PN".
Cell heading(std::string_view name) { return fixed(schema(name).label); }
// The window's label of a field with a colon: "Alert time:".
Cell label(std::string_view name) { return fixed(schema(name).label + ":"); }
// The caption of a check box with a colon: "Auto backlight:".
Cell caption(std::string_view name) { return fixed(schema(name).caption + ":"); }

Cell text(std::string_view name) { return {.kind = Kind::Text, .field = fieldId(name)}; }
// A text of fixed length: read, it is cut to `cut` and then filled with blanks.
Cell fixedLength(std::string_view name, std::size_t cut) {
  const FieldId f = fieldId(name);
  return {
      .kind = Kind::Text, .field = f, .cut = cut, .rule = RuleCall{FormRule::FixedString, 0, f}};
}
// A number: read, it is cut to `cut` and must be digits; `rule` runs only when it is.
Cell digits(std::string_view name, std::string_view fallback, std::size_t cut = kWhole,
            std::optional<FormRule> rule = {}) {
  return {.kind = Kind::Text,
          .field = fieldId(name),
          .cut = cut,
          .test = TextTest::Digits,
          .fallback = std::string(fallback),
          .rule = rule ? std::optional(RuleCall{*rule}) : std::nullopt};
}
// A tone pattern: read, it is cut to 4 characters and must be hexadecimal digits.
Cell hex(std::string_view name, std::string_view fallback) {
  return {.kind = Kind::Text,
          .field = fieldId(name),
          .cut = 4,
          .test = TextTest::Hex,
          .fallback = std::string(fallback)};
}
Cell item(std::string_view name, int noMatch = 0, std::string_view alias = {}, int aliasIndex = 0) {
  return {.kind = Kind::Item,
          .field = fieldId(name),
          .noMatch = noMatch,
          .alias = std::string(alias),
          .aliasIndex = aliasIndex};
}
Cell yesNo(std::string_view name) { return {.kind = Kind::YesNo, .field = fieldId(name)}; }
// Folder k's switch. Within a half a folder opens only after the one before it; folders
// [1] and [9] start the halves.
Cell folderSwitch(int k) {
  Cell c = yesNo(folderField("pubboxact", k));
  if (k % 8 != 0) c.chainedTo = fieldId(folderField("pubboxact", k - 1));
  return c;
}
Cell choice(std::string_view name, std::string_view on, std::string_view off) {
  return {.kind = Kind::Choice,
          .text = std::string(on),
          .field = fieldId(name),
          .offText = std::string(off)};
}
// The channel frequency; once read, the frequency rule runs.
Cell frequency(std::string_view name) {
  return {.kind = Kind::Frequency,
          .field = fieldId(name),
          .rule = RuleCall{FormRule::ChannelFrequency}};
}

// ---------------------------------------------------------------------------------------
// The table.

constexpr std::size_t kWide = 13;  // "up to 13 fields"

class LayoutBuilder {
 public:
  // Line `number`, which must be the next one.
  Line& line(int number, std::vector<Cell> cells, std::size_t width = 0) {
    if (number != static_cast<int>(lines.size()))
      throw std::logic_error("CSV table: line " + std::to_string(number) + " out of order");
    lines.push_back({.cells = std::move(cells), .width = width});
    return lines.back();
  }
  // A list with its label: "Alert time:,8 sec,".
  void listLine(int number, std::string_view name) { line(number, {label(name), item(name)}); }
  // A check box with its caption: "Auto backlight:,Yes,".
  void checkLine(int number, std::string_view name) { line(number, {caption(name), yesNo(name)}); }

  std::vector<Line> lines;
};

std::vector<Line> buildLayout() {
  LayoutBuilder t;
  const std::string& enabled = schema("autospace").items.at(1);

  // Addresses, lines 0..18.
  t.line(0, {fixed(kPageAddresses)}, kWide);
  t.line(1, {fixed("Capcode"), fixed(enabled), heading("address1"), heading("permission1"),
             heading("msgtype1"), heading("addr1formatA"), heading("UrgentCall1A"),
             heading("addr1formatB"), heading("UrgentCall1B"), heading("addr1formatC"),
             heading("UrgentCall1C"), heading("addr1formatD"), heading("UrgentCall1D")});
  for (int n = 1; n <= kAddressRows; ++n) {
    auto f = [n](std::string_view prefix, std::string_view suffix = {}) {
      return rowField(prefix, n, suffix);
    };
    // Line 2n: a message type that matches nothing is Public, a format Tone; an address
    // that is not digits is the row's start-up address.
    t.line(
        2 * n,
        {fixed(schema(f("addr", "en")).caption), yesNo(f("addr", "en")),
         digits(f("address"), schema(f("address")).defaultText), yesNo(f("permission")),
         item(f("msgtype"), 1), item(f("addr", "formatA"), 3), yesNo(f("UrgentCall", "A")),
         item(f("addr", "formatB"), 3), yesNo(f("UrgentCall", "B")), item(f("addr", "formatC"), 3),
         yesNo(f("UrgentCall", "C")), item(f("addr", "formatD"), 3), yesNo(f("UrgentCall", "D"))});
    // Line 2n + 1, the names; line 3 carries one more empty field. After it the row's rule
    // runs, so that the tone names follow the formats just read, as a user's picks would
    // leave them.
    t.line(2 * n + 1,
           {fixed("Name"), empty(), text(f("Capcode", "Name")), empty(), empty(),
            text(f("Capcode", "ToneA")), empty(), text(f("Capcode", "ToneB")), empty(),
            text(f("Capcode", "ToneC")), empty(), text(f("Capcode", "ToneD")), empty()},
           n == 1 ? kWide + 1 : kWide)
        .after = RuleCall{FormRule::AddressSwitch, n};
  }
  t.line(18, {}, kWide);

  // Folders, lines 19..37. The switch is read before the length, so its rule sees the
  // length the folder had before its line.
  t.line(19, {fixed(kPageFolders)}, kWide);
  t.line(20, {fixed("Folder Num"), fixed(enabled), heading("pubbox0"), heading("pubboxlength0")},
         kWide);
  for (int k = 0; k < kFolders; ++k) {
    Line& line =
        t.line(21 + k,
               {fixed(schema(folderField("pubboxact", k)).caption), folderSwitch(k),
                text(folderField("pubbox", k)), digits(folderField("pubboxlength", k), "1")},
               kWide);
    // After the last folder: the message types decide whether the tab stays open.
    if (k == kFolders - 1) line.after = RuleCall{FormRule::MessageTypes};
  }
  t.line(37, {}, kWide);

  // Settings, lines 38..82. The fallbacks of lines 40..43 and 49 are not all the start-up
  // defaults: D "CCCC" (not "264C"), hold time "005" (not "20"), range time "30" (not "240").
  t.line(38, {fixed(kPageSettings)}, kWide);
  t.line(39, {fixed(schema("hellomsg1").group + ":"), fixedLength("hellomsg1", 14)}, kWide);
  t.line(40,
         {fixed(schema("tonepatternA").group + ":"), label("tonepatternA"),
          hex("tonepatternA", "FFFC"), label("tonepatternB"), hex("tonepatternB", "CFFC"),
          label("tonepatternC"), hex("tonepatternC", "CCC0"), label("tonepatternD"),
          hex("tonepatternD", "CCCC")},
         kWide);
  t.line(
      41,
      {empty(), label("tonepatternPon"), hex("tonepatternPon", "A000"), label("tonepatternLcell"),
       hex("tonepatternLcell", "8000"), label("tonepatternUcall"), hex("tonepatternUcall", "D1B1")},
      kWide);
  t.line(42, {label("lcdholdtime"), digits("lcdholdtime", "005", 3, FormRule::LcdHoldTime),
              label("lcd_on_time"), item("lcd_on_time")});
  t.line(43, {caption("contrastUnlock"), digits("contrast", "10", 2, FormRule::Contrast),
              label("lcd_off_time"), item("lcd_off_time")});
  t.listLine(44, "dateformat");
  t.listLine(45, "autospace");
  t.listLine(46, "msgdisptime");
  t.listLine(47, "alerttime");
  // Newer firmware shows the second item as "120 sec": both texts read back as it.
  t.line(48, {label("lowcell"), item("lowcell", 0, "120 sec", 1)});
  t.line(49, {label("rangetime"), digits("rangetime", "30", 3, FormRule::RangeTime),
              fixed(schema("rangetime").unit)});
  t.listLine(50, "pubcallno");
  t.listLine(51, "baudrate");
  t.listLine(52, "polarity");
  // The frequency rule runs on the frequency before the spacing is set, and on the
  // frequency again once it is, so that the channel lands on the raster of the spacing
  // the line names rather than that of the spacing the window held.
  t.line(53, {label("channelfreq"), frequency("channelfreq"), fixed(schema("channelfreq").unit),
              item("channelspace")})
      .readAgain = 1;
  t.line(54, {label("otaKillMsg"), fixedLength("otaKillMsg", 40)});
  t.listLine(55, "backlight");
  // delMenu and numset have commas in their item texts; the table writes them without.
  t.line(56, {caption("privateFunControl"), yesNo("privateFunControl"),
              choice("delMenu", "Del all del protect", "Protect del del all")});
  t.listLine(57, "urgcallmode");
  t.listLine(58, "urgcalltype");
  t.listLine(59, "pubfoldermode");
  t.listLine(60, "repeatcallcheck");
  t.listLine(61, "repeatcallreject");
  t.line(62, {label("numset"), choice("numset", "0-9 ABCDE'SP'", "0-9 'NL'U'SP'-][")});
  t.listLine(63, "language");
  t.listLine(64, "menulanguage");
  t.listLine(65, "cmbNameDisplay");
  t.checkLine(66, "capcodeNameDisplay");
  t.checkLine(67, "autobacklight");
  t.checkLine(68, "delall_w_unread");
  t.line(69, {caption("handprogram"), yesNo("handprogram"), label("password"),
              digits("password", schema("password").defaultText, 4)});
  t.checkLine(70, "method28a");
  t.checkLine(71, "unreadRemind");
  t.checkLine(72, "ota");
  t.checkLine(73, "qsound");
  t.checkLine(74, "outrangespecial");
  t.checkLine(75, "lowbatteryspecial");
  t.checkLine(76, "chargerBeepRemind");
  t.checkLine(77, "lockVibrate");
  t.checkLine(78, "mostRecentMsg");
  t.checkLine(79, "showPowerOffMenu");
  t.checkLine(80, "rejectBadMsg");
  t.checkLine(81, "useInternalBuzzer");
  t.checkLine(82, "msgInfoMode");
  return std::move(t.lines);
}

}  // namespace

const std::vector<Line>& tableLayout() {
  static const std::vector<Line> layout = buildLayout();
  return layout;
}

}  // namespace palor::csv
