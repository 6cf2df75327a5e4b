#include "report/printrp.h"

#include <stdexcept>

#include "config/latin1_text.h"

namespace palor {
namespace {

// How a settings value is made from the fields.
enum class Compose {
  Plain,           // the field's text, or its check mark for a check box
  RangeTime,       // rangetime, a blank, its unit ("240 sec")
  ChannelFreq,     // channelfreq, a blank, its unit, a blank, channelspace ("457.00000 MHz@ 25 kHz")
  UrgentCallType,  // empty when method28a is checked, else urgcalltype
};

struct ValueRow {
  const char* label;
  const char* field;
  Compose compose = Compose::Plain;
};

struct SettingRow {
  const char* caption;
  std::vector<ValueRow> values;
};

// The settings section, in its order.
const std::vector<SettingRow>& settingRows() {
  static const std::vector<SettingRow> rows = {
      {"Hello message :", {{"LblHelloMsgTxt", "hellomsg1"}}},
      {"Tone pattern A :", {{"LblTonePatternATxt", "tonepatternA"}}},
      {"B :", {{"LblTonePatternBTxt", "tonepatternB"}}},
      {"C :", {{"LblTonePatternCTxt", "tonepatternC"}}},
      {"D :", {{"LblTonePatternDTxt", "tonepatternD"}}},
      {"Power on :", {{"LblTonePatternPoweronTxt", "tonepatternPon"}}},
      {"Low cell :", {{"LblTonePatternLowcellTxt", "tonepatternLcell"}}},
      {"Urgent call :", {{"LblTonePatternUrgentcallTxt", "tonepatternUcall"}}},
      {"LCD hold time :", {{"LblLCDHoldtimeTxt", "lcdholdtime"}}},
      {"LCD  ON :", {{"LblLCDONTxt", "lcd_on_time"}}},
      {"LCD contrast :", {{"LblLCDContrastTxt", "contrast"}}},
      {"LCD OFF :", {{"LblLCDOFFTxt", "lcd_off_time"}}},
      {"Date format :", {{"LblDateFormatTxt", "dateformat"}}},
      {"Auto spacing :", {{"LblAutoSpaceTxt", "autospace"}}},
      {"Msg display time :", {{"LblMsgDispTimeTxt", "msgdisptime"}}},
      {"Alert time :", {{"LblAlertTimeTxt", "alerttime"}}},
      {"Low cell delay :", {{"LblLowCellDelayTxt", "lowcell"}}},
      {"Out of range delay :", {{"LblRangeTimeTxt", "rangetime", Compose::RangeTime}}},
      {"Public call no. :", {{"LblPublicCallNoTxt", "pubcallno"}}},
      {"Baud rate :", {{"LblBaudRateTxt", "baudrate"}}},
      {"Polarity :", {{"LblPolarityTxt", "polarity"}}},
      {"Channel freq :", {{"LblChannelFreqTxt", "channelfreq", Compose::ChannelFreq}}},
      {"OTA kill message :", {{"LblOtaKillMsgTxt", "otaKillMsg"}}},
      {"Backlight intensity :", {{"LblBackLightTxt", "backlight"}}},
      {"Del menu :", {{"LblPrivateFunCon", "privateFunControl"}, {"LblDelMenuTxt", "delMenu"}}},
      {"Urgent call mode :", {{"LblUrgentCallModeTxt", "urgcallmode"}}},
      {"Urgent call type :", {{"LblUrgentCallTypeTxt", "urgcalltype", Compose::UrgentCallType}}},
      {"Public folder mode :", {{"LblPublicFolderModeTxt", "pubfoldermode"}}},
      {"Repeat call check :", {{"LblRepeatCallCheckTxt", "repeatcallcheck"}}},
      {"Repeat call rejection :", {{"LblRepeatCallRejectionTxt", "repeatcallreject"}}},
      {"Numeric char. set :", {{"LblNumericCharSetTxt", "numset"}}},
      {"Character set :", {{"LblCharacterSetTxt", "language"}}},
      {"Menu language :", {{"LblMenuLanguageTxt", "menulanguage"}}},
      {"Display before messages :", {{"LblNameDisplayTxt", "cmbNameDisplay"}}},
      {"Use address names in menu :", {{"LblCapcodeNameDisplayTxt", "capcodeNameDisplay"}}},
      {"Reception disabled (OTA-kill) :", {{"LblOtaKillCmdTxt", "otaKillCmd"}}},
      {"Message info mode :", {{"LblMsgInfoModeTxt", "msgInfoMode"}}},
      {"Auto backlight :", {{"LblAutoBackLightTxt", "autobacklight"}}},
      {"Del all includes unread messages :", {{"LblDelall_w_unreadTxt", "delall_w_unread"}}},
      {"Hand programming :", {{"LblHandProgramTxt", "handprogram"}, {"LblPassWordTxt", "password"}}},
      {"Individually assigned urgent calls :", {{"LblMethod28aTxt", "method28a"}}},
      {"Remind alert :", {{"LblUnreadAlertTxt", "unreadRemind"}}},
      {"Public folder OTA disable :", {{"LblOtaTxt", "ota"}}},
      {"Quiet sound :", {{"LblQuietSoundTxt", "qsound"}}},
      {"Out of range special display :", {{"LblOutRangeSpecialTxt", "outrangespecial"}}},
      {"Special low battery option :", {{"LblLowBatterySpecialTxt", "lowbatteryspecial"}}},
      {"Beep when charger loses power :", {{"LblChargerBeepRemindTxt", "chargerBeepRemind"}}},
      {"Lock alert mode to vibrator :", {{"LblLockVibrateTxt", "lockVibrate"}}},
      {"Most recent message mode :", {{"LblMostRecentMsgTxt", "mostRecentMsg"}}},
      {"Show power off menu :", {{"LblShowPowerOffMenuTxt", "showPowerOffMenu"}}},
      {"Reject corrupted private messages :", {{"LblRejectBadMsgTxt", "rejectBadMsg"}}},
      {"Use pager buzzer when charging :", {{"LblUseInternalBuzzerTxt", "useInternalBuzzer"}}},
  };
  return rows;
}

ReportLabel named(std::string name, bool mark = false) { return {std::move(name), {}, mark}; }

std::string mark(bool yes) { return std::string(yes ? kReportCheckMark : kReportCross); }

// "Text of" a control: a text field's text, a list's selected item (nothing selected shows
// nothing), in UTF-8.
std::string controlText(const SettingsRecord& record, FieldId f) {
  if (SettingsRecord::schema(f).kind == FieldKind::Item) {
    const auto item = record.itemText(f);
    return item ? latin1ToUtf8(*item) : std::string();
  }
  return latin1ToUtf8(record.text(f));
}

std::string settingValue(const SettingsRecord& record, const ValueRow& row) {
  const FieldId f = SettingsRecord::id(row.field);
  switch (row.compose) {
    case Compose::Plain:
      if (SettingsRecord::schema(f).kind == FieldKind::Check) return mark(record.checked(f));
      return controlText(record, f);
    case Compose::RangeTime:
      return controlText(record, f) + " " + latin1ToUtf8(SettingsRecord::schema(f).unit);
    case Compose::ChannelFreq:
      return controlText(record, f) + " " + latin1ToUtf8(SettingsRecord::schema(f).unit) + " " +
             controlText(record, SettingsRecord::id("channelspace"));
    case Compose::UrgentCallType:
      return record.checked("method28a") ? std::string() : controlText(record, f);
  }
  return {};
}

template <typename Visit>
void forEachLabel(const TPrintReport& report, Visit visit) {
  visit(report.serial());
  visit(report.pagerNumber());
  for (const ReportAddress& a : report.addresses()) {
    for (const ReportLabel* label : {&a.check, &a.pn, &a.name, &a.permission, &a.msgType})
      visit(*label);
    for (const ReportAddress::Tone& t : a.tones) {
      visit(t.format);
      visit(t.urgentCall);
      visit(t.name);
    }
  }
  for (const ReportFolder& folder : report.folders()) {
    visit(folder.check);
    visit(folder.title);
    visit(folder.length);
  }
  for (const ReportSetting& setting : report.settings())
    for (const ReportLabel& value : setting.values) visit(value);
}

}  // namespace

TPrintReport::TPrintReport() : serial_(named("TxtSerial")), pagerNumber_(named("LblPagerNumberTxt")) {
  for (int n = 1; n <= kAddressRows; ++n) {
    ReportAddress& a = addresses_[static_cast<std::size_t>(n - 1)];
    const std::string row = std::to_string(n);
    a.heading = SettingsRecord::schema(SettingsRecord::id(rowField("addr", n, "en"))).caption;
    a.check = named("LblCapcode" + row + "Check", true);
    a.pn = named("LblCapcode" + row + "PN");
    a.name = named("LblCapcode" + row + "Name");
    a.permission = named("LblCapCode" + row + "Per", true);
    a.msgType = named("LblCapCode" + row + "MsgType");
    for (std::size_t x = 0; x < a.tones.size(); ++x) {
      const std::string tone = "LblCapcode" + row + "Tone" + kToneLetters[x];
      a.tones[x] = {named(tone), named(tone + "UC", true), named(tone + "Name")};
    }
  }
  for (int k = 0; k < kFolders; ++k) {
    ReportFolder& folder = folders_[static_cast<std::size_t>(k)];
    const std::string name = std::string("LblFolder") + folderDigit(k);
    folder.heading = SettingsRecord::schema(SettingsRecord::id(folderField("pubboxact", k))).caption;
    folder.check = named(name + "Check", true);
    folder.title = named(name + "Title");
    folder.length = named(name + "Len");
  }
  for (const SettingRow& row : settingRows()) {
    ReportSetting setting{row.caption, {}};
    for (const ValueRow& value : row.values) {
      const bool isCheck = value.compose == Compose::Plain &&
                           SettingsRecord::schema(SettingsRecord::id(value.field)).kind ==
                               FieldKind::Check;
      setting.values.push_back(named(value.label, isCheck));
    }
    settings_.push_back(std::move(setting));
  }
}

void TPrintReport::fill(const SettingsRecord& record) {
  // Step 1: the title band.
  serial_.text = controlText(record, SettingsRecord::id("serial"));
  pagerNumber_.text = controlText(record, SettingsRecord::id("TxtPagerNumber"));

  // Step 2: the addresses. A disabled address shows its number with crosses and nothing else.
  const bool method28a = record.checked("method28a");
  const int urgentCallTone = record.index("urgcalltype");
  for (int n = 1; n <= kAddressRows; ++n) {
    ReportAddress& a = addresses_[static_cast<std::size_t>(n - 1)];
    auto text = [&](std::string_view prefix, std::string_view suffix = {}) {
      return controlText(record, SettingsRecord::id(rowField(prefix, n, suffix)));
    };
    const bool enabled = record.checked(rowField("addr", n, "en"));
    a.check.text = mark(enabled);
    a.pn.text = text("address");
    a.name.text = enabled ? text("Capcode", "Name") : "";
    a.permission.text = mark(enabled && record.checked(rowField("permission", n)));
    a.msgType.text = enabled ? text("msgtype") : "";
    for (std::size_t x = 0; x < a.tones.size(); ++x) {
      const std::string letter(1, kToneLetters[x]);
      ReportAddress::Tone& t = a.tones[x];
      const bool urgent = method28a ? record.checked(rowField("UrgentCall", n, letter))
                                    : urgentCallTone == static_cast<int>(x);
      t.format.text = enabled ? text("addr", "format" + letter) : "";
      t.urgentCall.text = mark(enabled && urgent);
      t.name.text = enabled ? text("Capcode", "Tone" + letter) : "";
    }
  }

  // Step 3: the folders, active or not.
  for (int k = 0; k < kFolders; ++k) {
    ReportFolder& folder = folders_[static_cast<std::size_t>(k)];
    folder.check.text = mark(record.checked(folderField("pubboxact", k)));
    folder.title.text = controlText(record, SettingsRecord::id(folderField("pubbox", k)));
    folder.length.text = controlText(record, SettingsRecord::id(folderField("pubboxlength", k)));
  }

  // Step 4: the settings, in the order of their table.
  const auto& rows = settingRows();
  for (std::size_t i = 0; i < rows.size(); ++i)
    for (std::size_t v = 0; v < rows[i].values.size(); ++v)
      settings_[i].values[v].text = settingValue(record, rows[i].values[v]);
}

std::vector<const ReportLabel*> TPrintReport::labels() const {
  std::vector<const ReportLabel*> all;
  forEachLabel(*this, [&](const ReportLabel& label) { all.push_back(&label); });
  return all;
}

const ReportLabel* TPrintReport::findLabel(std::string_view name) const {
  const ReportLabel* found = nullptr;
  forEachLabel(*this, [&](const ReportLabel& label) {
    if (!found && label.name == name) found = &label;
  });
  return found;
}

const std::string& TPrintReport::text(std::string_view name) const {
  if (const ReportLabel* label = findLabel(name)) return label->text;
  throw std::invalid_argument("the report has no label named '" + std::string(name) + "'");
}

}  // namespace palor
