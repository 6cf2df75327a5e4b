// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/printrp.h"

#include <stdexcept>

#include "config/ascii_text.h"
#include "config/field_groups.h"
#include "config/latin1_text.h"

namespace palor {
namespace {

// How a settings value is made from the fields.
enum class Compose {
  Plain,        // the field's text, or its check mark for a check box
  RangeTime,    // rangetime, a blank, its unit ("240 sec")
  ChannelFreq,  // channelfreq, a blank, its unit, a blank, channelspace ("457.00000 MHz@ 25 kHz")
  UrgentCallType,  // empty when method28a is checked, else urgcalltype
};

struct ValueRow {
  const char* label;
  const char* field;
  Compose compose = Compose::Plain;
};

struct SettingRow {
  std::vector<ValueRow> values;
  // The caption, where it is not the first field's own label (or a check box's caption)
  // followed by " :".
  const char* caption = nullptr;
};

// The settings section, in its order.
const std::vector<SettingRow>& settingRows() {
  static const std::vector<SettingRow> rows = {
      {{{"LblHelloMsgTxt", "hellomsg1"}}, "Hello message :"},
      {{{"LblTonePatternATxt", "tonepatternA"}}, "Tone pattern A :"},
      {{{"LblTonePatternBTxt", "tonepatternB"}}},
      {{{"LblTonePatternCTxt", "tonepatternC"}}},
      {{{"LblTonePatternDTxt", "tonepatternD"}}},
      {{{"LblTonePatternPoweronTxt", "tonepatternPon"}}},
      {{{"LblTonePatternLowcellTxt", "tonepatternLcell"}}},
      {{{"LblTonePatternUrgentcallTxt", "tonepatternUcall"}}},
      {{{"LblLCDHoldtimeTxt", "lcdholdtime"}}},
      {{{"LblLCDONTxt", "lcd_on_time"}}, "LCD  ON :"},
      {{{"LblLCDContrastTxt", "contrast"}}, "LCD contrast :"},
      {{{"LblLCDOFFTxt", "lcd_off_time"}}},
      {{{"LblDateFormatTxt", "dateformat"}}},
      {{{"LblAutoSpaceTxt", "autospace"}}},
      {{{"LblMsgDispTimeTxt", "msgdisptime"}}},
      {{{"LblAlertTimeTxt", "alerttime"}}},
      {{{"LblLowCellDelayTxt", "lowcell"}}},
      {{{"LblRangeTimeTxt", "rangetime", Compose::RangeTime}}},
      {{{"LblPublicCallNoTxt", "pubcallno"}}},
      {{{"LblBaudRateTxt", "baudrate"}}},
      {{{"LblPolarityTxt", "polarity"}}},
      {{{"LblChannelFreqTxt", "channelfreq", Compose::ChannelFreq}}},
      {{{"LblOtaKillMsgTxt", "otaKillMsg"}}},
      {{{"LblBackLightTxt", "backlight"}}},
      {{{"LblPrivateFunCon", "privateFunControl"}, {"LblDelMenuTxt", "delMenu"}}},
      {{{"LblUrgentCallModeTxt", "urgcallmode"}}},
      {{{"LblUrgentCallTypeTxt", "urgcalltype", Compose::UrgentCallType}}},
      {{{"LblPublicFolderModeTxt", "pubfoldermode"}}},
      {{{"LblRepeatCallCheckTxt", "repeatcallcheck"}}},
      {{{"LblRepeatCallRejectionTxt", "repeatcallreject"}}},
      {{{"LblNumericCharSetTxt", "numset"}}},
      {{{"LblCharacterSetTxt", "language"}}},
      {{{"LblMenuLanguageTxt", "menulanguage"}}},
      {{{"LblNameDisplayTxt", "cmbNameDisplay"}}},
      {{{"LblCapcodeNameDisplayTxt", "capcodeNameDisplay"}}},
      {{{"LblOtaKillCmdTxt", "otaKillCmd"}}},
      {{{"LblMsgInfoModeTxt", "msgInfoMode"}}},
      {{{"LblAutoBackLightTxt", "autobacklight"}}},
      {{{"LblDelall_w_unreadTxt", "delall_w_unread"}}},
      {{{"LblHandProgramTxt", "handprogram"}, {"LblPassWordTxt", "password"}}},
      {{{"LblMethod28aTxt", "method28a"}}},
      {{{"LblUnreadAlertTxt", "unreadRemind"}}},
      {{{"LblOtaTxt", "ota"}}},
      {{{"LblQuietSoundTxt", "qsound"}}},
      {{{"LblOutRangeSpecialTxt", "outrangespecial"}}},
      {{{"LblLowBatterySpecialTxt", "lowbatteryspecial"}}},
      {{{"LblChargerBeepRemindTxt", "chargerBeepRemind"}}},
      {{{"LblLockVibrateTxt", "lockVibrate"}}},
      {{{"LblMostRecentMsgTxt", "mostRecentMsg"}}},
      {{{"LblShowPowerOffMenuTxt", "showPowerOffMenu"}}},
      {{{"LblRejectBadMsgTxt", "rejectBadMsg"}}},
      {{{"LblUseInternalBuzzerTxt", "useInternalBuzzer"}}},
  };
  return rows;
}

std::string captionOf(const SettingRow& row) {
  if (row.caption) return row.caption;
  const FieldSchema& field = SettingsRecord::schema(SettingsRecord::id(row.values.front().field));
  return (field.label.empty() ? field.caption : field.label) + " :";
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

TPrintReport::TPrintReport()
    : serial_(named("TxtSerial")), pagerNumber_(named("LblPagerNumberTxt")) {
  for (int n = 1; n <= kAddressRows; ++n) {
    ReportAddress& a = addresses_[static_cast<std::size_t>(n - 1)];
    const std::string row = std::to_string(n);
    a.heading = SettingsRecord::schema(addressRow(n).enabled).caption;
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
    const std::string name = std::string("LblFolder") + hexDigit(static_cast<unsigned>(k));
    folder.heading = SettingsRecord::schema(folderFields(k).active).caption;
    folder.check = named(name + "Check", true);
    folder.title = named(name + "Title");
    folder.length = named(name + "Len");
  }
  for (const SettingRow& row : settingRows()) {
    ReportSetting setting{captionOf(row), {}};
    for (const ValueRow& value : row.values) {
      const bool isCheck =
          value.compose == Compose::Plain &&
          SettingsRecord::schema(SettingsRecord::id(value.field)).kind == FieldKind::Check;
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
  for (const AddressRow& row : addressRows()) {
    ReportAddress& a = addresses_[static_cast<std::size_t>(row.row - 1)];
    auto text = [&](FieldId f) { return controlText(record, f); };
    const bool enabled = record.checked(row.enabled);
    a.check.text = mark(enabled);
    a.pn.text = text(row.address);
    a.name.text = enabled ? text(row.name) : "";
    a.permission.text = mark(enabled && record.checked(row.permission));
    a.msgType.text = enabled ? text(row.msgtype) : "";
    for (std::size_t x = 0; x < a.tones.size(); ++x) {
      const ToneColumn& column = row.tones[x];
      ReportAddress::Tone& t = a.tones[x];
      const bool urgent =
          method28a ? record.checked(column.urgentCall) : urgentCallTone == static_cast<int>(x);
      t.format.text = enabled ? text(column.format) : "";
      t.urgentCall.text = mark(enabled && urgent);
      t.name.text = enabled ? text(column.toneName) : "";
    }
  }

  // Step 3: the folders, active or not.
  for (const FolderFields& fields : palor::folders()) {
    ReportFolder& folder = folders_[static_cast<std::size_t>(fields.folder)];
    folder.check.text = mark(record.checked(fields.active));
    folder.title.text = controlText(record, fields.title);
    folder.length.text = controlText(record, fields.length);
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
