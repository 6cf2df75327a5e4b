// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Unit Printrp, headless: the report form TPrintReport. It holds every label of the one-page
// customer report under its name, in the report's order (title band, then the detail band's
// addresses, folders and settings), and PreviewClick fills them from the window's current
// values. The report adds no state of its own: each fill writes every label.
//
// Label texts are UTF-8. A yes/no value is one sign: the check mark U+221A for yes, the
// cross U+00D7 for no.
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "config/field_schema.h"
#include "config/settings_record.h"

namespace palor {

inline constexpr std::string_view kReportCheckMark = "\xE2\x88\x9A";  // U+221A
inline constexpr std::string_view kReportCross = "\xC3\x97";          // U+00D7

// The report's fixed texts.
inline constexpr std::string_view kReportTitle = "PALOR Customer Programmer";
inline constexpr std::string_view kReportSerialCaption = "Serial no. :";
inline constexpr std::string_view kReportPagerNumberCaption = "Pager number :";
inline constexpr std::string_view kReportAddressesHeading = "Addresses";
inline constexpr std::string_view kReportFoldersHeading = "Folders";
inline constexpr std::string_view kReportSettingsHeading = "Settings";
// The header row of the addresses, one heading a column after the address's own number.
inline constexpr std::array<std::string_view, 11> kReportAddressColumns = {
    "PN", "Permission", "Msg type", "A Tone", "UC", "B Tone", "UC", "C Tone", "UC", "D Tone", "UC"};
inline constexpr std::string_view kReportFolderTitleHeading = "Title";
inline constexpr std::string_view kReportFolderLengthHeading = "Length";
inline constexpr int kReportFoldersPerRow = 5;

struct ReportLabel {
  std::string name;   // "LblCapcode3ToneBUC"
  std::string text;   // UTF-8
  bool mark = false;  // a yes/no value: always kReportCheckMark or kReportCross
};

// One address: its first line (number, check, PN, permission, message type, tones with
// their urgent-call marks) and its second line (name, tone names).
struct ReportAddress {
  struct Tone {
    ReportLabel format;      // LblCapcode<n>Tone<X>
    ReportLabel urgentCall;  // LblCapcode<n>Tone<X>UC
    ReportLabel name;        // LblCapcode<n>Tone<X>Name
  };
  std::string heading;  // "[1]" .. "[8]"
  ReportLabel check;
  ReportLabel pn;
  ReportLabel name;
  ReportLabel permission;
  ReportLabel msgType;
  std::array<Tone, 4> tones;  // A, B, C, D
};

struct ReportFolder {
  std::string heading;  // "[1]" .. "[16]"
  ReportLabel check;
  ReportLabel title;
  ReportLabel length;
};

// A line of the settings: its caption ("Hello message :") and one or two values
// ("Del menu :" and "Hand programming :" show a check mark, then a text).
struct ReportSetting {
  std::string caption;
  std::vector<ReportLabel> values;
};

class TPrintReport {
 public:
  // The report form as created at program start: every label there, every text empty.
  TPrintReport();

  // PreviewClick's steps 1 to 4: the title band, addresses 1 to 8, folders 0 to F, then the
  // settings in their order, each label from the current values. Nothing is checked: empty
  // or invalid texts are shown as they are.
  void fill(const SettingsRecord& record);

  const ReportLabel& serial() const { return serial_; }
  const ReportLabel& pagerNumber() const { return pagerNumber_; }
  const std::array<ReportAddress, kAddressRows>& addresses() const { return addresses_; }
  const std::array<ReportFolder, kFolders>& folders() const { return folders_; }
  // In the order of the settings table, the tone patterns first after the hello message.
  const std::vector<ReportSetting>& settings() const { return settings_; }

  // Every label in the report's order (pointers into this report).
  std::vector<const ReportLabel*> labels() const;
  // The label of this name, or nullptr.
  const ReportLabel* findLabel(std::string_view name) const;
  // The label's text; a name the report does not have throws std::invalid_argument.
  const std::string& text(std::string_view name) const;

 private:
  ReportLabel serial_;
  ReportLabel pagerNumber_;
  std::array<ReportAddress, kAddressRows> addresses_;
  std::array<ReportFolder, kFolders> folders_;
  std::vector<ReportSetting> settings_;
};

}  // namespace palor
