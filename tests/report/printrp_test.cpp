// SPDX-License-Identifier: GPL-3.0-or-later
// The customer report's labels as Preview fills them from the window's values.
#include "report/printrp.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "random_configuration.h"
#include "ui/vendrel.h"

namespace palor {
namespace {

const std::string Y(kReportCheckMark);
const std::string N(kReportCross);

struct LabelCase {
  const char* what;
  std::function<void(SettingsRecord&)> edit;  // after start-up
  std::vector<std::pair<std::string, std::string>> expected;
};

// Every enabled address's four urgent-call marks, with `tone` (0..3, or -1) the one marked.
std::vector<std::pair<std::string, std::string>> urgentCallMarks(int tone) {
  std::vector<std::pair<std::string, std::string>> marks;
  for (int n = 1; n <= kAddressRows; ++n)
    for (int x = 0; x < 4; ++x)
      marks.emplace_back("LblCapcode" + std::to_string(n) + "Tone" + kToneLetters[x] + "UC",
                         x == tone ? Y : N);
  return marks;
}

std::vector<LabelCase> labelCases() {
  std::vector<LabelCase> cases = {
      // A switched-off address keeps only its number; its permission and urgent calls
      // show crosses even where the boxes are checked, its other fields nothing.
      {"disabled address",
       [](SettingsRecord& r) {
         r.setText("Capcode3Name", "ALICE");
         r.setText("Capcode3ToneA", "FIRE");
         r.setChecked("permission3", true);
         r.setChecked("UrgentCall3A", true);
         r.setChecked("addr3en", false);
       },
       {{"LblCapcode3Check", N},
        {"LblCapcode3PN", "2004016"},
        {"LblCapcode3Name", ""},
        {"LblCapCode3Per", N},
        {"LblCapCode3MsgType", ""},
        {"LblCapcode3ToneA", ""},
        {"LblCapcode3ToneAUC", N},
        {"LblCapcode3ToneAName", ""},
        {"LblCapcode3ToneD", ""},
        {"LblCapcode3ToneDUC", N},
        // its neighbour is untouched
        {"LblCapcode2Check", Y},
        {"LblCapCode2MsgType", "Private"},
        {"LblCapcode2ToneA", "Alpha"}}},
      {"enabled address shows its fields",
       [](SettingsRecord& r) {
         r.setText("Capcode5Name", "BOB");
         r.setText("Capcode5ToneC", "GAS ALARM");
         r.setChecked("permission5", true);
         r.setIndex("msgtype5", 1);
         r.setIndex("addr5formatC", 3);
       },
       {{"LblCapcode5Check", Y},
        {"LblCapcode5Name", "BOB"},
        {"LblCapCode5Per", Y},
        {"LblCapCode5MsgType", "Public"},
        {"LblCapcode5ToneC", "Tone"},
        {"LblCapcode5ToneCName", "GAS ALARM"},
        {"LblCapCode4Per", N}}},
      // Both values composed of a field, its unit and (for the frequency) the spacing.
      {"composed values",
       [](SettingsRecord& r) {
         r.setText("rangetime", "240");
         r.setText("channelfreq", "457.00000");
         r.setIndex("channelspace", 0);
       },
       {{"LblRangeTimeTxt", "240 sec"}, {"LblChannelFreqTxt", "457.00000 MHz@ 25 kHz"}}},
      {"composed values of odd texts are printed unchanged",
       [](SettingsRecord& r) {
         r.setText("rangetime", "");
         r.setText("channelfreq", "471,00000");
         r.setIndex("channelspace", 2);
       },
       {{"LblRangeTimeTxt", " sec"}, {"LblChannelFreqTxt", "471,00000 MHz@ 12.5 kHz"}}},
      // Folders are printed whether active or not.
      {"folders",
       [](SettingsRecord& r) {
         r.setChecked("pubboxact0", true);
         r.setText("pubbox0", "NEWS");
         r.setText("pubboxlength0", "12");
         r.setText("pubboxF", "SPORT");
       },
       {{"LblFolder0Check", Y},
        {"LblFolder0Title", "NEWS"},
        {"LblFolder0Len", "12"},
        {"LblFolderFCheck", N},
        {"LblFolderFTitle", "SPORT"},
        {"LblFolderFLen", "1"},
        {"LblFolder7Title", "FOLDER 07"}}},
      // The record's bytes are Latin-1; the labels hold UTF-8.
      {"Latin-1 texts",
       [](SettingsRecord& r) {
         r.setText("Capcode1Name", "M\xFCller \xD7");
         r.setText("hellomsg1", "Caf\xE9");
         r.setText("serial", "SN42");
         r.setText("TxtPagerNumber", "00001234");
       },
       {{"LblCapcode1Name", "M\xC3\xBCller \xC3\x97"},
        {"LblHelloMsgTxt", "Caf\xC3\xA9"},
        {"TxtSerial", "SN42"},
        {"LblPagerNumberTxt", "00001234"}}},
      // The two settings lines with a check mark and a text.
      {"check mark and text on one line",
       [](SettingsRecord& r) {
         r.setChecked("privateFunControl", true);
         r.setIndex("delMenu", 0);
         r.setChecked("handprogram", false);
         r.setText("password", "1234");
         r.setChecked("qsound", true);
       },
       {{"LblPrivateFunCon", Y},
        {"LblDelMenuTxt", "Protect, del, del all"},
        {"LblHandProgramTxt", N},
        {"LblPassWordTxt", "1234"},
        {"LblQuietSoundTxt", Y},
        {"LblDelall_w_unreadTxt", Y},
        {"LblUseInternalBuzzerTxt", N}}},
  };

  // Urgent calls by the urgent-call type: one tone marked on every enabled address,
  // whatever the individual boxes say; the type is printed.
  LabelCase byType{"urgent calls by type A",
                   [](SettingsRecord& r) {
                     r.setChecked("method28a", false);
                     r.setIndex("urgcalltype", 0);
                     r.setChecked("UrgentCall1B", true);
                   },
                   urgentCallMarks(0)};
  byType.expected.emplace_back("LblUrgentCallTypeTxt", "A tone");
  byType.expected.emplace_back("LblMethod28aTxt", N);
  cases.push_back(byType);

  LabelCase byTypeD{"urgent calls by type D",
                    [](SettingsRecord& r) {
                      r.setChecked("method28a", false);
                      r.setIndex("urgcalltype", 3);
                    },
                    urgentCallMarks(3)};
  byTypeD.expected.emplace_back("LblUrgentCallTypeTxt", "D tone");
  cases.push_back(byTypeD);

  // Individually assigned: the marks follow the boxes, the type is left empty.
  LabelCase individual{"urgent calls individually assigned",
                       [](SettingsRecord& r) {
                         r.setIndex("urgcalltype", 0);
                         r.setChecked("method28a", true);
                         r.setChecked("UrgentCall2B", true);
                         r.setChecked("UrgentCall7D", true);
                       },
                       urgentCallMarks(-1)};
  for (auto& [name, value] : individual.expected)
    if (name == "LblCapcode2ToneBUC" || name == "LblCapcode7ToneDUC") value = Y;
  individual.expected.emplace_back("LblUrgentCallTypeTxt", "");
  individual.expected.emplace_back("LblMethod28aTxt", Y);
  cases.push_back(individual);
  return cases;
}

TEST(ReportLabels, PreviewFillsEachLabelAsTheWindowShowsIt) {
  for (const LabelCase& c : labelCases()) {
    SCOPED_TRACE(c.what);
    FormState form;
    form.startUp();
    c.edit(form.record());
    TPrintReport report;
    report.fill(form.record());
    for (const auto& [name, value] : c.expected) EXPECT_EQ(report.text(name), value) << name;
  }
}

TEST(ReportLabels, EveryLabelByItsNameInTheReportsOrder) {
  const TPrintReport report;
  const auto labels = report.labels();
  // Title band 2, eight addresses of 17, sixteen folders of 3, 52 settings lines of which
  // two have two values.
  ASSERT_EQ(labels.size(), 2u + 8 * 17 + 16 * 3 + 54);
  std::set<std::string> names;
  for (const ReportLabel* label : labels) {
    EXPECT_TRUE(names.insert(label->name).second) << "twice: " << label->name;
    EXPECT_EQ(report.findLabel(label->name), label);
    EXPECT_EQ(label->text, "") << "a new report form shows nothing: " << label->name;
  }
  const std::vector<std::pair<std::size_t, std::string>> order = {{0, "TxtSerial"},
                                                                  {1, "LblPagerNumberTxt"},
                                                                  {2, "LblCapcode1Check"},
                                                                  {3, "LblCapcode1PN"},
                                                                  {18, "LblCapcode1ToneDName"},
                                                                  {19, "LblCapcode2Check"},
                                                                  {138, "LblFolder0Check"},
                                                                  {185, "LblFolderFLen"},
                                                                  {186, "LblHelloMsgTxt"},
                                                                  {239, "LblUseInternalBuzzerTxt"}};
  for (const auto& [index, name] : order) EXPECT_EQ(labels[index]->name, name) << index;
  EXPECT_THROW(report.text("LblNoSuchLabel"), std::invalid_argument);
}

// The settings' captions come from the fields' own labels; these are the report's.
TEST(ReportLabels, SettingsCaptionsInTheReportsOrder) {
  const std::vector<std::string> captions = {"Hello message :",
                                             "Tone pattern A :",
                                             "B :",
                                             "C :",
                                             "D :",
                                             "Power on :",
                                             "Low cell :",
                                             "Urgent call :",
                                             "LCD hold time :",
                                             "LCD  ON :",
                                             "LCD contrast :",
                                             "LCD OFF :",
                                             "Date format :",
                                             "Auto spacing :",
                                             "Msg display time :",
                                             "Alert time :",
                                             "Low cell delay :",
                                             "Out of range delay :",
                                             "Public call no. :",
                                             "Baud rate :",
                                             "Polarity :",
                                             "Channel freq :",
                                             "OTA kill message :",
                                             "Backlight intensity :",
                                             "Del menu :",
                                             "Urgent call mode :",
                                             "Urgent call type :",
                                             "Public folder mode :",
                                             "Repeat call check :",
                                             "Repeat call rejection :",
                                             "Numeric char. set :",
                                             "Character set :",
                                             "Menu language :",
                                             "Display before messages :",
                                             "Use address names in menu :",
                                             "Reception disabled (OTA-kill) :",
                                             "Message info mode :",
                                             "Auto backlight :",
                                             "Del all includes unread messages :",
                                             "Hand programming :",
                                             "Individually assigned urgent calls :",
                                             "Remind alert :",
                                             "Public folder OTA disable :",
                                             "Quiet sound :",
                                             "Out of range special display :",
                                             "Special low battery option :",
                                             "Beep when charger loses power :",
                                             "Lock alert mode to vibrator :",
                                             "Most recent message mode :",
                                             "Show power off menu :",
                                             "Reject corrupted private messages :",
                                             "Use pager buzzer when charging :"};
  const TPrintReport report;
  ASSERT_EQ(report.settings().size(), captions.size());
  for (std::size_t i = 0; i < captions.size(); ++i)
    EXPECT_EQ(report.settings()[i].caption, captions[i]) << i;
}

// A preview after another shows only the new values: every label is written each time, and
// a yes/no label always holds one of the two signs. Over the random configurations every
// label shows something at least once, so none is left unwritten.
TEST(ReportLabels, ASecondPreviewKeepsNothingOfTheFirst) {
  std::vector<bool> everShown(TPrintReport().labels().size(), false);
  for (std::uint32_t seed : {1u, 2u, 3u}) {
    SCOPED_TRACE(seed);
    FormState first;
    first.startUp();
    test::RandomConfiguration(seed).fill(first.record());
    FormState second;
    second.startUp();
    test::RandomConfiguration(seed + 100).fill(second.record());

    TPrintReport reused;
    reused.fill(first.record());
    std::vector<std::string> firstTexts;
    for (const ReportLabel* label : reused.labels()) firstTexts.push_back(label->text);
    reused.fill(second.record());
    reused.fill(second.record());  // pressing Preview again shows the same
    TPrintReport fresh;
    fresh.fill(second.record());

    const auto a = reused.labels();
    const auto b = fresh.labels();
    int changed = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
      EXPECT_EQ(a[i]->text, b[i]->text) << a[i]->name;
      if (a[i]->mark) {
        EXPECT_TRUE(a[i]->text == Y || a[i]->text == N) << a[i]->name;
      }
      changed += firstTexts[i] != a[i]->text;
      everShown[i] = everShown[i] || !firstTexts[i].empty() || !b[i]->text.empty();
    }
    // The two configurations differ almost everywhere, so a label left unwritten shows.
    EXPECT_GT(changed, 120);
  }
  const auto labels = TPrintReport().labels();
  for (std::size_t i = 0; i < labels.size(); ++i)
    EXPECT_TRUE(everShown[i]) << "never shows anything: " << labels[i]->name;
}

}  // namespace
}  // namespace palor
