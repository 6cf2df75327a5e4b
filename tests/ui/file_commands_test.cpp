// SPDX-License-Identifier: GPL-3.0-or-later
// The File menu through the form state, on real files in a temporary folder: image files
// and CSV tables saved and opened, dropped files, and saves that must fail without harm.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>

#include "as_nobody.h"
#include "config/channel_frequency.h"
#include "files/csv_table.h"
#include "random_configuration.h"
#include "rules_fixture.h"
#include "temp_folder.h"
#include "ui/messages.h"
#include "ui/vendrel.h"

namespace palor {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;
using Values = std::vector<std::pair<std::string, std::string>>;  // field, value

std::string contentOf(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const fs::path& p, std::string_view content) {
  std::ofstream(p, std::ios::binary) << content;
}

// A blocked open ends the test process instead of hanging it.
struct Deadline {
  Deadline() { ::alarm(30); }
  ~Deadline() { ::alarm(0); }
};

// A window as the user first sees it.
struct Window : FormState {
  explicit Window(char separator = '.') { startUp({{}, separator}); }
  const std::string& lastLine() const { return log().lines().back(); }
};

// Any field's value as text: the text, the item index, or "1"/"0" for a check box.
std::string valueOf(const SettingsRecord& r, const std::string& name) {
  switch (SettingsRecord::schema(r.id(name)).kind) {
    case FieldKind::Text: return r.text(name);
    case FieldKind::Item: return std::to_string(r.index(name));
    case FieldKind::Check: return r.checked(name) ? "1" : "0";
  }
  return {};
}

void setValues(SettingsRecord& r, const Values& values) {
  for (const auto& [name, value] : values) {
    switch (SettingsRecord::schema(r.id(name)).kind) {
      case FieldKind::Text: r.setText(name, value); break;
      case FieldKind::Item: r.setIndex(name, std::stoi(value)); break;
      case FieldKind::Check: r.setChecked(name, value == "1"); break;
    }
  }
}

// Every field's value and enabled flag, to show that a refused command changed nothing.
Lines snapshot(const SettingsRecord& r) {
  Lines out;
  for (const FieldSchema& s : settingsSchema())
    out.push_back(s.name + "=" + valueOf(r, s.name) + (r.enabled(s.name) ? "" : " (disabled)"));
  return out;
}

// The table of a record, with some of its lines replaced by other text.
std::string tableWith(const SettingsRecord& record, const std::map<int, std::string>& replaced) {
  const std::string table = csv::exportTable(record);
  std::string out;
  std::size_t start = 0;
  for (int number = 0; start < table.size(); ++number) {
    const std::size_t end = table.find('\n', start) + 1;
    const auto r = replaced.find(number);
    out += r == replaced.end() ? table.substr(start, end - start) : r->second;
    start = end;
  }
  return out;
}

// A random configuration that a user could have made and a table can carry whole: no
// comma or line feed in its texts, every folder chain unbroken, the fixed-length texts
// filled as leaving them fills them, and a channel in any band on the raster of the
// configuration's own spacing, which the frequency rule keeps as it is.
void fillForTable(FormState& form, std::uint32_t seed) {
  SettingsRecord& r = form.record();
  test::RandomConfiguration random(seed);
  random.fill(r);
  form.msgtypeChange();
  for (const FieldSchema& s : settingsSchema()) {
    if (s.kind != FieldKind::Text) continue;
    std::string t = r.text(s.name);
    std::replace_if(
        t.begin(), t.end(), [](char c) { return c == ',' || c == '\n'; }, ';');
    r.setText(s.name, t);
  }
  for (int k = 1; k < kFolders; ++k)
    if (k != 8 && !r.checked(folderField("pubboxact", k - 1)))
      r.setChecked(folderField("pubboxact", k), false);
  form.FixedStringExit(r.id("hellomsg1"));
  form.FixedStringExit(r.id("otaKillMsg"));
  // Band 0..2 from 100, 300 and 500 MHz; a raster of 3.125 kHz steps by two, so that
  // every channel has a text of five decimals.
  const int band = random.between(0, 2);
  const std::int64_t lowHz = std::array{100'000'000, 300'000'000, 500'000'000}[band];
  const std::int64_t highHz = std::array{300'000'000, 500'000'000, 1'000'000'000}[band];
  std::int64_t rasterHz = *synthesizerStepHz(r.index("channelspace")) * *bandFactor(band);
  if (rasterHz % 10 != 0) rasterHz *= 2;
  const std::int64_t first = (lowHz - kIntermediateFrequencyHz + rasterHz - 1) / rasterHz;
  const std::int64_t last = (highHz - 1 - kIntermediateFrequencyHz) / rasterHz;
  const std::int64_t tenHz =
      (kIntermediateFrequencyHz + rasterHz * random.between(int(first), int(last))) / 10;
  char channel[32];
  std::snprintf(channel, sizeof channel, "%03lld.%05lld", static_cast<long long>(tenHz / 100000),
                static_cast<long long>(tenHz % 100000));
  r.setText("channelfreq", channel);
}

// Settings a table does not carry.
Lines notInTable() {
  Lines out = {"serial", "otaKillCmd"};
  for (const FieldSchema& s : settingsSchema())
    if (s.page == kPageHardware) out.push_back(s.name);
  return out;
}

class FileCommandsTest : public test::RulesTest {
 protected:
  std::string path(const std::string& name) const { return (dir / name).string(); }

  // A file dialog that answers `answer` (nothing: cancelled) and counts how often it shows.
  FormState::FileNameDialog dialog(std::optional<std::string> answer) {
    return [this, answer] {
      ++dialogShown;
      return answer;
    };
  }

  // File / Save of the window into the folder under `name`; the file's content.
  std::string saved(FormState& window, const std::string& name) {
    window.Save1Click(dialog(path(name)));
    EXPECT_EQ(window.log().lines().back(), msg::savedDataTo(path(name)));
    return contentOf(path(name));
  }

  test::TempFolder folder{"palor-files"};
  fs::path dir = folder.path();
  int dialogShown = 0;
};

// ---- CSV tables ----

// The table's lines themselves are the export's own tests; here the file as written.
TEST_F(FileCommandsTest, SavedTableIsTheWholeTableWithCrLfEnds) {
  for (const char* name : {"x.csv", "UPPER.CSV"}) {
    const std::string file = saved(form, name);
    EXPECT_EQ(file, csv::exportTable(rec)) << name;
    EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), 83);
    EXPECT_EQ(std::count(file.begin(), file.end(), '\r'), 83);
    for (std::size_t at = file.find('\n'); at != std::string::npos; at = file.find('\n', at + 1))
      EXPECT_EQ(file[at - 1], '\r') << at;
    EXPECT_TRUE(file.starts_with("Addresses,,,,,,,,,,,,,\r\nCapcode,")) << name;
    EXPECT_TRUE(file.ends_with("\r\nMessage info mode:,No,\r\n")) << name;
  }
  EXPECT_EQ(dialogShown, 2);
}

TEST_F(FileCommandsTest, TableRoundTripGivesBackEverySettingItCarries) {
  for (std::uint32_t seed = 1; seed <= 40; ++seed) {
    Window source;
    fillForTable(source, seed);
    const std::string table = saved(source, "cfg.csv");
    Window target;
    target.OpenConfigurationFile(path("cfg.csv"));
    EXPECT_EQ(target.lastLine(), msg::loadedDataFrom(path("cfg.csv")));
    EXPECT_EQ(test::differingFields(source.record(), target.record(), notInTable()), Lines{})
        << "seed " << seed;
    EXPECT_EQ(saved(target, "again.csv"), table) << "seed " << seed;
  }
}

// What a table cannot carry: list fields without a selection come back with their
// no-match index.
TEST_F(FileCommandsTest, TableRoundTripLosses) {
  const std::pair<Values, Values> cases[] = {
      // saved, opened
      {{{"alerttime", "-1"},
        {"msgtype4", "-1"},
        {"addr2formatC", "-1"},
        {"delMenu", "-1"},
        {"numset", "-1"},
        {"language", "-1"},
        {"channelspace", "-1"}},
       {{"alerttime", "0"},
        {"msgtype4", "1"},
        {"addr2formatC", "3"},
        {"delMenu", "1"},
        {"numset", "1"},
        {"language", "0"},
        {"channelspace", "0"}}},
  };
  for (const auto& [before, after] : cases) {
    Window source;
    setValues(source.record(), before);
    saved(source, "loss.csv");
    Window target;
    target.OpenConfigurationFile(path("loss.csv"));
    for (const auto& [name, value] : after)
      EXPECT_EQ(valueOf(target.record(), name), value) << before.front().second << ": " << name;
  }
}

// A window whose decimal separator is a comma writes its frequency with a point, so that
// the comma does not split it; the window that opens it puts its own separator back.
TEST_F(FileCommandsTest, CommaSeparatorFrequencyComesBackWhole) {
  Window source(',');
  source.record().setText("channelfreq", "152,83750");
  source.record().setIndex("channelspace", 2);
  const std::string table = saved(source, "comma.csv");
  EXPECT_NE(table.find("\nChannel freq:,152.83750,MHz@,12.5 kHz,\r\n"), std::string::npos);

  Window target(',');
  target.record().setIndex("channelspace", 3);
  target.OpenConfigurationFile(path("comma.csv"));
  EXPECT_EQ(target.lastLine(), msg::loadedDataFrom(path("comma.csv")));
  EXPECT_EQ(target.record().text("channelfreq"), "152,83750");
  EXPECT_EQ(target.record().index("channelspace"), 2);
  EXPECT_TRUE(target.encodeWriteImage());  // the window reads its frequency again
}

// Tables as files: a text with a comma is refused before anything is written (an image
// still takes it), a table whose lines lost their last commas opens whole, and a file
// that does not start as the table is refused and changes nothing.
TEST_F(FileCommandsTest, CsvFilesKeepWhatTheyHold) {
  auto withoutLastCommas = [](const std::string& table) {
    std::string out;
    for (std::size_t start = 0; start < table.size();) {
      const std::size_t end = table.find("\r\n", start);
      std::string line = table.substr(start, end - start);
      while (line.ends_with(',')) line.pop_back();
      out += line + "\r\n";
      start = end + 2;
    }
    return out;
  };
  const Values settings = {{"Capcode1Name", "Smith John"}, {"hellomsg1", "HELLO THERE   "},
                           {"password", "1234"},           {"otaKillMsg", std::string(40, 'K')},
                           {"msgInfoMode", "1"},           {"rejectBadMsg", "1"}};
  struct Case {
    const char* what;
    Values edits;                                         // made in the saving window
    std::function<std::string(const std::string&)> file;  // the saved table as opened
    std::string saveLine;                                 // empty: "Saved data to " + name
    bool loads;                                           // the file opens, giving back `settings`
  };
  const Case cases[] = {
      {"good file", {}, nullptr, "", true},
      {"comma in a name",
       {{"Capcode1Name", "Smith, John"}},
       nullptr,
       "Capcode1Name: a comma cannot be saved in a CSV file",
       false},
      {"comma in a folder title",
       {{"pubbox3", "AB,12"}},
       nullptr,
       "pubbox3: a comma cannot be saved in a CSV file",
       false},
      {"comma in the hello message",
       {{"hellomsg1", "HI, ALL"}},
       nullptr,
       "hellomsg1: a comma cannot be saved in a CSV file",
       false},
      {"last commas dropped", {}, withoutLastCommas, "", true},
      {"foreign table",
       {},
       [](const std::string&) { return std::string("name,phone\r\nJohn,123\r\n"); },
       "",
       false},
      {"table without its first line",
       {},
       [](const std::string& table) { return table.substr(table.find('\n') + 1); },
       "",
       false},
      {"headings changed",
       {},
       [](const std::string& table) {
         const std::size_t at = table.find("Capcode,");
         return table.substr(0, at) + "Address" + table.substr(at + 7);
       },
       "",
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove(path("t.csv"));
    Window source;
    setValues(source.record(), settings);
    setValues(source.record(), c.edits);
    source.Save1Click(dialog(path("t.csv")));
    if (!c.saveLine.empty()) {
      EXPECT_EQ(source.log().lines().back(), c.saveLine);
      EXPECT_FALSE(fs::exists(path("t.csv"))) << "nothing written";
      source.Save1Click(dialog(path("t.bin")));
      EXPECT_EQ(source.log().lines().back(), msg::savedDataTo(path("t.bin")));
      continue;
    }
    EXPECT_EQ(source.log().lines().back(), msg::savedDataTo(path("t.csv")));
    if (c.file) writeFile(path("t.csv"), c.file(contentOf(path("t.csv"))));
    Window target;
    const Lines before = snapshot(target.record());
    const FileCommandOutcome opened = target.OpenConfigurationFile(path("t.csv"));
    EXPECT_EQ(static_cast<bool>(opened), c.loads);
    if (c.loads) {
      EXPECT_EQ(target.lastLine(), msg::loadedDataFrom(path("t.csv")));
      for (const auto& [name, value] : settings)
        EXPECT_EQ(valueOf(target.record(), name), value) << name;
    } else {
      EXPECT_EQ(target.lastLine(), msg::kLoadFailed);
      EXPECT_EQ(snapshot(target.record()), before);
    }
  }
}

struct ImportCase {
  int line;
  std::string text;
  const char* field;
  const char* before;  // set in the window first
  const char* after;
};

TEST_F(FileCommandsTest, ImportedFieldsTakeTheirTestsAndFallbacks) {
  const std::string addressTail = ",No,Private,Alpha,No,Alpha,No,Alpha,No,Alpha,No,\r\n";
  const ImportCase cases[] = {
      // Yes/no: exactly "Yes".
      {67, "Auto backlight:,Yes,\r\n", "autobacklight", "0", "1"},
      {67, "Auto backlight:,Yes,\n", "autobacklight", "0", "1"},  // LF alone
      {67, "Auto backlight:,yes,\r\n", "autobacklight", "1", "0"},
      {67, "Auto backlight:, Yes,\r\n", "autobacklight", "1", "0"},
      {67, "Auto backlight:,,\r\n", "autobacklight", "1", "0"},
      // Digit and hex tests with their fallbacks, which are not the start-up defaults.
      {42, "LCD hold time:,1x,LCD ON:,Disabled,\r\n", "lcdholdtime", "20", "005"},
      {42, "LCD hold time:,12345,LCD ON:,Disabled,\r\n", "lcdholdtime", "20", "123"},
      {49, "Out of range delay:,abc,sec,\r\n", "rangetime", "240", "30"},
      {49, "Out of range delay:,,sec,\r\n", "rangetime", "240", "30"},
      {43, "LCD contrast:,x1,LCD OFF:,Disabled,\r\n", "contrast", "33", "10"},
      {43, "LCD contrast:,99,LCD OFF:,Disabled,\r\n", "contrast", "33", "63"},
      {40, "Tone patterns:,A:,FFFC,B:,CFFC,C:,CCC0,D:,26G4,\r\n", "tonepatternD", "264C", "CCCC"},
      {40, "Tone patterns:,A:,FFFC,B:,CFFC,C:,CCC0,D:,ab12,\r\n", "tonepatternD", "264C", "AB12"},
      {41, ",Power on:,WXYZ,Low cell:,8000,Urgent call:,D1B1,\r\n", "tonepatternPon", "1", "A000"},
      {41, ",Power on:,A000,Low cell:,8000,Urgent call:,Q1B1,\r\n", "tonepatternUcall", "1",
       "D1B1"},
      {2, "[1],Yes,20040a0" + addressTail, "address1", "0000800", "2004000"},
      {10, "[5],Yes,?" + addressTail, "address5", "0000800", "2004032"},
      {2, "[1],Yes," + addressTail, "frame1", "0", ""},  // an empty address passes
      {22, "[2],No,T,4x,\r\n", "pubboxlength1", "7", "1"},
      {69, "Hand programming:,Yes,Password:,12a4,\r\n", "password", "1111", "4862"},
      {69, "Hand programming:,Yes,Password:,123456,\r\n", "password", "1111", "1234"},
      {53, "Channel freq:,45712500,MHz@,25 kHz,\r\n", "channelfreq", "152.83750", "457.12500"},
      {53, "Channel freq:,4x7.00000,MHz@,25 kHz,\r\n", "channelfreq", "152.83750", "457.00000"},
      {53, "Channel freq:,457.00000,MHz@,12.5 kHz,\r\n", "channelspace", "0", "2"},
      // The frequency is rounded to the raster of the spacing its line names, not to that of
      // the spacing the window held before.
      {53, "Channel freq:,152.83125,MHz@,6.25 kHz,\r\n", "channelfreq", "152.83750", "152.83125"},
      {53, "Channel freq:,152.83250,MHz@,5 kHz,\r\n", "channelfreq", "152.83750", "152.83250"},
      // Fewer than three digits are the first ones of three, as when typed; an empty field
      // is completed like an empty text on exit, and the spacing after it still applies.
      {53, "Channel freq:,45,MHz@,25 kHz,\r\n", "channelfreq", "152.83750", "450.00000"},
      {53, "Channel freq:,1.5,MHz@,25 kHz,\r\n", "channelfreq", "152.83750", "150.00000"},
      {53, "Channel freq:,,MHz@,12.5 kHz,\r\n", "channelspace", "0", "2"},
      {53, "Channel freq:\r\n", "channelspace", "2", "0"},
      // Converters compare the whole text, letter case included.
      {63, "Character set:,U.S.,\r\n", "language", "7", "0"},
      {64, "Menu language:,Dutch,\r\n", "menulanguage", "0", "10"},
      // A last value without a comma after it, as a spreadsheet saves it, is a field too.
      {63, "Character set:,GERMAN\r\n", "language", "7", "1"},
      {56, "Del menu:,No\r\n", "privateFunControl", "1", "0"},
      {56, "Del menu:,Yes\n", "privateFunControl", "0", "1"},
      {4, "[2],Yes,2004008\r\n", "msgtype2", "0", "1"},
      {4, "[2],Yes,2004008,No,Private,\r\n", "addr2formatA", "1", "3"},
      {5, "Name,,Bob\r\n", "Capcode2Name", "Ann", "Bob"},
      // Lines the reader passes over.
      {38, "Hello message:,HELLO,\r\n", "hellomsg1", " TARVO PAGING ", " TARVO PAGING "},
      {20, "[1],Yes,T,4,\r\n", "pubboxact0", "0", "0"},
  };
  for (const ImportCase& c : cases) {
    Window window;
    setValues(window.record(), {{c.field, c.before}});
    writeFile(path("edge.csv"), tableWith(window.record(), {{c.line, c.text}}));
    window.OpenConfigurationFile(path("edge.csv"));
    EXPECT_EQ(window.lastLine(), msg::loadedDataFrom(path("edge.csv")));
    EXPECT_EQ(valueOf(window.record(), c.field), c.after) << "line " << c.line << ": " << c.text;
  }
}

// Whole files of other shapes: only the lines a file ends apply, and only what they carry
// changes; a file that cannot be read, or is not a table, changes nothing.
TEST_F(FileCommandsTest, ImportAppliesOnlyTheLinesTheFileEnds) {
  Window source;
  const Values whole = {{"hellomsg1", "HELLO THERE   "}, {"alerttime", "6"}, {"msgInfoMode", "1"}};
  setValues(source.record(), whole);
  const std::string table = csv::exportTable(source.record());
  std::string crLines, lfLines;  // the same table with other line ends
  for (char c : table) {
    if (c != '\n') crLines += c;
    if (c != '\r') lfLines += c;
  }
  std::size_t line46 = 0;
  for (int n = 0; n < 46; ++n) line46 = table.find('\n', line46) + 1;
  fs::create_directory(path("folder.csv"));
  ASSERT_EQ(::mkfifo(path("pipe.csv").c_str(), 0600), 0);
  const Deadline deadline;
  struct Case {
    const char* name;
    std::optional<std::string> content;  // nothing: the name is not written
    Values opened;                       // nothing: no setting changes
  };
  const Values all81 = {{"hellomsg1", "HELLO THERE   "}, {"alerttime", "6"}, {"msgInfoMode", "0"}};
  const Case cases[] = {
      {"whole.csv", table, whole},
      {"no end.csv", table.substr(0, table.size() - 2), all81},
      {"CR alone.csv", table.substr(0, table.size() - 1), all81},
      {"CR lines.csv", crLines, whole},
      {"CR lines no end.csv", crLines.substr(0, crLines.size() - 1), all81},
      {"LF lines.csv", lfLines, whole},
      {"half.csv", table.substr(0, line46), {{"hellomsg1", "HELLO THERE   "}, {"alerttime", "1"}}},
      {"no LF.csv", std::string(5000, 'x'), {}},
      {"empty.csv", "", {}},
      {"missing.csv", std::nullopt, {}},
      {"folder.csv", std::nullopt, {}},
      {"pipe.csv", std::nullopt, {}},
  };
  for (const Case& c : cases) {
    Window window;
    const Lines before = snapshot(window.record());
    if (c.content) writeFile(path(c.name), *c.content);
    window.OpenConfigurationFile(path(c.name));
    // A file that changes nothing here is one that does not start as the table, or cannot
    // be read.
    const bool loads = c.content && !c.opened.empty();
    const std::string message = loads ? msg::loadedDataFrom(path(c.name)) : "Load failed";
    EXPECT_EQ(window.log().lines(), (Lines{"", message})) << c.name;
    if (c.opened.empty()) {
      EXPECT_EQ(snapshot(window.record()), before) << c.name;
    }
    for (const auto& [name, value] : c.opened)
      EXPECT_EQ(valueOf(window.record(), name), value) << c.name << ": " << name;
  }
}

// Within a half a folder opens only when the one before it ended open; folder [9] starts
// the right half and does not depend on [8]. 'y' stands for "yes" in lower case. Without a
// public address the Folders tab stays locked, whatever the file says.
TEST_F(FileCommandsTest, ImportedFoldersFollowTheChain) {
  struct Case {
    bool publicRow;
    const char* file;
    const char* opened;
  };
  const Case cases[] = {
      {true, "YYYYYYYYYYYYYYYY", "YYYYYYYYYYYYYYYY"},
      {true, "NYYYYYYYYYYYYYYY", "NNNNNNNNYYYYYYYY"},
      {true, "YYYYYYYNYYYYYYYY", "YYYYYYYNYYYYYYYY"},
      {true, "YYNYYYYYYYYNYYYY", "YYNNNNNNYYYNNNNN"},
      {true, "YYyYYYYYNYYYYYYY", "YYNNNNNNNNNNNNNN"},
      {true, "NNNNNNNNNYNNNNNN", "NNNNNNNNNNNNNNNN"},
      {false, "YYYYYYYYYYYYYYYY", "NNNNNNNNNNNNNNNN"},
  };
  for (const Case& c : cases) {
    Window source;
    source.record().setIndex("msgtype1", c.publicRow ? 1 : 0);
    std::map<int, std::string> lines;
    for (int k = 0; k < kFolders; ++k) {
      const char* yesNo = c.file[k] == 'Y' ? "Yes" : c.file[k] == 'y' ? "yes" : "No";
      lines[21 + k] = "[" + std::to_string(k + 1) + "]," + yesNo + ",TITLE,2,\r\n";
    }
    writeFile(path("chain.csv"), tableWith(source.record(), lines));
    Window window;  // all rows private: the Folders tab is locked until the import opens it
    window.OpenConfigurationFile(path("chain.csv"));
    const SettingsRecord& r = window.record();
    std::string got;
    for (int k = 0; k < kFolders; ++k) got += r.checked(folderField("pubboxact", k)) ? 'Y' : 'N';
    EXPECT_EQ(got, c.opened) << c.file;
    EXPECT_EQ(r.enabled("pubboxact0"), c.publicRow) << c.file;
    EXPECT_EQ(r.enabled("pubboxact1"), c.opened[0] == 'Y') << c.file;
  }
}

// The row rule runs after each names line, so that the tone names follow the formats read
// just before, as a user's picks would leave them.
TEST_F(FileCommandsTest, ImportedFormatsSwitchTheToneNames) {
  Window source;
  setValues(source.record(), {{"addr1formatA", "0"}, {"addr1formatC", "1"}, {"addr3en", "0"}});
  writeFile(path("rows.csv"), csv::exportTable(source.record()));
  rec.setIndex("addr1formatC", 3);  // the window's tone C name is switched off
  form.addrFormatChange(1, 'C');
  form.OpenConfigurationFile(path("rows.csv"));
  EXPECT_FALSE(rec.enabled("Capcode1ToneA"));
  EXPECT_TRUE(rec.enabled("Capcode1ToneC"));
  EXPECT_FALSE(rec.enabled("address3"));
  EXPECT_FALSE(rec.enabled("Capcode3ToneB"));
}

// The folder rule sees the lengths the folders had before their lines: a table over 99
// slots opens whole, and the encoder then refuses to save it as an image.
TEST_F(FileCommandsTest, TableOverNinetyNineSlotsOpensButIsNotSavedAsImage) {
  rec.setIndex("msgtype1", 1);
  std::map<int, std::string> lines;
  for (int k = 0; k < 3; ++k) lines[21 + k] = "[" + std::to_string(k + 1) + "],Yes,BIG,40,\r\n";
  writeFile(path("big.csv"), tableWith(rec, lines));
  form.OpenConfigurationFile(path("big.csv"));
  EXPECT_EQ(newLines(), Lines{msg::loadedDataFrom(path("big.csv"))});
  for (int k = 0; k < 3; ++k) EXPECT_EQ(valueOf(rec, folderField("pubboxact", k)), "1");
  writeFile(path("old.bin"), "old");
  form.Save1Click(dialog(path("old.bin")));
  EXPECT_EQ(newLines(), Lines{std::string(msg::kPublicMessagesOver99)});
  EXPECT_EQ(contentOf(path("old.bin")), "old");
}

// A number field of blanks passes the digit test but is no number: its rule raises the
// conversion error, the later lines still apply, and the first error comes out once the
// import has logged its line.
TEST_F(FileCommandsTest, BlankNumberFieldsRaiseTheFirstConversionErrorAfterLoading) {
  const std::string hold = "LCD hold time:,   ,LCD ON:,Disabled,\r\n";
  const std::string contrast = "LCD contrast:,  ,LCD OFF:,Disabled,\r\n";
  const std::pair<std::map<int, std::string>, const char*> cases[] = {
      {{{42, hold}}, "   "}, {{{43, contrast}}, "  "}, {{{42, hold}, {43, contrast}}, "   "}};
  for (auto [lines, firstText] : cases) {
    Window window;
    lines[82] = "Message info mode:,Yes,\r\n";
    writeFile(path("blank.csv"), tableWith(window.record(), lines));
    try {
      window.OpenConfigurationFile(path("blank.csv"));
      ADD_FAILURE() << "no conversion error";
    } catch (const ConversionError& e) {
      EXPECT_EQ(e.text(), firstText);
    }
    EXPECT_EQ(window.lastLine(), msg::loadedDataFrom(path("blank.csv")));
    EXPECT_TRUE(window.record().checked("msgInfoMode"));
  }
}

// ---- Image files ----

// A saved file is the write image, with the pager firmware version of the moment in byte 0;
// opening it decodes with that byte and leaves the window's own version alone.
TEST_F(FileCommandsTest, ImageSaveThenOpenGivesBackEverySetting) {
  // Not 0: an image with byte 0 = 0 is a dump of the pager's memory, not a saved file.
  const std::uint8_t versions[] = {1, 2, 3, 9, 255};
  for (std::uint32_t seed = 1; seed <= 20; ++seed) {
    const std::uint8_t version = versions[seed % 5];
    Window source;
    source.setFirmwareVersion(version);
    test::RandomConfiguration(seed).fill(source.record());
    source.msgtypeChange();
    const std::string file = saved(source, "cfg.bin");
    const ConfigImage& image = source.images().writeImage;
    EXPECT_EQ(file, std::string(image.begin(), image.end())) << "seed " << seed;
    EXPECT_EQ(static_cast<std::uint8_t>(file.at(0)), version);

    Window target;
    test::RandomConfiguration(seed + 1000).fill(target.record());
    target.OpenConfigurationFile(path("cfg.bin"));
    EXPECT_EQ(target.lastLine(), msg::loadedDataFrom(path("cfg.bin")));
    EXPECT_EQ(target.firmwareVersion(), 3);
    // Saved again, the window gives back the same bytes: it holds every setting the file
    // holds.
    target.setFirmwareVersion(version);
    EXPECT_EQ(saved(target, "again.bin"), file) << "seed " << seed;
  }
}

// An open by the file's name, length and content: it loads, fails, finds the file
// corrupted, or passes over the name in silence; all but a load change nothing. A named
// pipe with no writer is no file to load and must not stop the window.
TEST_F(FileCommandsTest, ImageOpenByNameLengthAndContent) {
  Window source;
  source.record().setText("address1", "1000");
  const std::string image = saved(source, "source.bin");
  fs::create_directories(dir / "dotted.bin.d");
  fs::create_directories(dir / "folder.eep");
  ASSERT_EQ(::mkfifo(path("pipe.bin").c_str(), 0600), 0);
  const Deadline deadline;
  const std::string loads = "loads", failed(msg::kLoadFailed), corrupted(msg::kFileCorrupted);
  struct Case {
    std::string name;
    std::optional<std::string> content;  // nothing: the name is not written
    std::string outcome;                 // a message, "loads", or empty: ignored
  };
  std::vector<Case> cases = {
      {"exact.bin", image, loads},
      {"CONFIG.EEP", image, loads},
      {"mixed.Bin", image, loads},
      {"longer.bin", image + "X", loads},
      {"much longer.eep", image + std::string(5000, '\xFF'), loads},
      {"short.bin", image.substr(0, 1000), failed},
      {"one short.bin", image.substr(0, 1023), failed},
      {"empty.bin", "", failed},
      {"missing.bin", std::nullopt, failed},
      {"folder.eep", std::nullopt, failed},
      {"pipe.bin", std::nullopt, failed},
      {"config.txt", image, ""},
      {"config", image, ""},
      {"dotted.bin.d/config", image, ""},  // a dot before the last separator
  };
  // Bytes 0..254 and 256..297 are checksummed, as are the checksums themselves.
  for (const int offset : {0, 100, 254, 256, 297, 1020, 1023, 255, 298, 1019}) {
    std::string content = image;
    content[static_cast<std::size_t>(offset)] ^= 0x10;
    const bool checked = offset < 255 || (offset > 255 && offset < 298) || offset >= 1020;
    cases.push_back({std::to_string(offset) + ".bin", content, checked ? corrupted : loads});
  }
  for (const Case& c : cases) {
    Window window;
    if (c.content) writeFile(path(c.name), *c.content);
    const Lines before = snapshot(window.record());
    const ConfigImage writeBefore = window.images().writeImage;
    window.OpenConfigurationFile(path(c.name));
    const Lines& lines = window.log().lines();
    if (c.outcome == loads) {
      EXPECT_EQ(lines, (Lines{"", msg::loadedDataFrom(path(c.name))})) << c.name;
      EXPECT_EQ(window.record().text("address1"), "0001000") << c.name;
      continue;
    }
    EXPECT_EQ(lines, c.outcome.empty() ? Lines{""} : (Lines{"", c.outcome})) << c.name;
    EXPECT_EQ(snapshot(window.record()), before) << c.name;
    EXPECT_EQ(window.images().writeImage, writeBefore) << c.name;
  }
}

// ---- Save ----

TEST_F(FileCommandsTest, SaveChoosesTheFormatByExtension) {
  const std::pair<const char*, bool> cases[] = {// name, a table
                                                {"a.bin", false},       {"a.dat", false},
                                                {"noextension", false}, {"a.csv.bin", false},
                                                {"a.csv", true},        {"a.CsV", true}};
  for (const auto& [name, table] : cases) {
    const std::string file = saved(form, name);
    const ConfigImage& image = form.images().writeImage;
    EXPECT_EQ(file, table ? csv::exportTable(rec) : std::string(image.begin(), image.end()))
        << name;
  }
}

// Refused saves never show the dialog and never touch a file; a cancelled dialog writes
// nothing, but the addresses are zero-filled by then.
TEST_F(FileCommandsTest, RefusedOrCancelledSavesWriteNothing) {
  struct Case {
    Values edits;
    std::optional<std::string> answer;
    int dialogs;
    Lines logged;
  };
  const std::string used(msg::kAddressAlreadyUsed);
  const Case cases[] = {
      {{{"address5", "2004016"}}, "x.bin", 0, {used}},  // equal to address3
      {{{"address2", "8"}, {"address6", "8"}}, "x.csv", 0, {used}},
      {{{"address4", "7"}}, "x.bin", 0, {}},  // invalid: silently
      {{{"address2", ""}}, "x.csv", 0, {}},
      {{{"address2", "123"}}, std::nullopt, 1, {}},  // cancelled
  };
  for (const Case& c : cases) {
    for (const char* name : {"x.bin", "x.csv"}) writeFile(path(name), "old");
    Window window;
    setValues(window.record(), c.edits);
    const auto before = static_cast<std::ptrdiff_t>(window.log().lines().size());
    dialogShown = 0;
    window.Save1Click(dialog(c.answer ? std::optional(path(*c.answer)) : std::nullopt));
    const std::string what = c.edits.front().first + "=" + c.edits.front().second;
    EXPECT_EQ(dialogShown, c.dialogs) << what;
    const Lines& lines = window.log().lines();
    EXPECT_EQ(Lines(lines.begin() + before, lines.end()), c.logged) << what;
    for (const char* name : {"x.bin", "x.csv"}) EXPECT_EQ(contentOf(path(name)), "old") << what;
    if (!c.answer) {
      EXPECT_EQ(window.record().text("address2"), "0000123");
    }
  }
}

// Root may write anywhere: the child that saves runs as an ordinary user.
void dropRoot() {
  if (!test::becomeNobody()) ::_exit(3);
}

// A file-size limit makes the system refuse a write half-way, as a full disk does.
void limitFileSize() {
  ::signal(SIGXFSZ, SIG_IGN);
  const rlimit limit{1000, 1000};
  ::setrlimit(RLIMIT_FSIZE, &limit);
}

// A failed save logs "Save failed" and leaves what was under the name byte for byte. The
// save runs in a child process, which can give up root's rights or meet a size limit.
TEST_F(FileCommandsTest, FailedSavesLeaveWhatWasThere) {
  struct Case {
    const char* what;
    void (*setup)();
    fs::perms folder;
    bool targetIsFolder;
  };
  const auto readOnly = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                        fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec;
  const Case cases[] = {
      {"read-only folder", dropRoot, readOnly, false},
      {"writes fail", limitFileSize, fs::perms::owner_all, false},
      {"name is a folder", [] {}, fs::perms::owner_all, true},
  };
  for (const Case& c : cases) {
    for (const std::string name : {"cfg.bin", "cfg.csv"}) {
      const std::string p = path(name);
      const fs::path kept = c.targetIsFolder ? fs::path(p) / "inside" : fs::path(p);
      fs::create_directories(kept.parent_path());
      writeFile(kept, "old content");
      fs::permissions(dir, c.folder);
      const pid_t child = ::fork();
      if (child == 0) {
        c.setup();
        form.Save1Click([&] { return std::optional(p); });
        const std::string& last = form.log().lines().back();
        ::_exit(last == msg::kSaveFailed ? 0 : last == msg::savedDataTo(p) ? 1 : 2);
      }
      int status = -1;
      ::waitpid(child, &status, 0);
      fs::permissions(dir, fs::perms::owner_all);
      const std::string what = std::string(c.what) + ", " + name;
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << what << ": " << status;
      EXPECT_TRUE(contentOf(kept) == "old content") << what;
      EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1)
          << what << ": a temporary file stayed";
      fs::remove_all(p);
    }
  }
}

// ---- Dropped files and the Open dialog ----

TEST_F(FileCommandsTest, DroppedFilesOpenOnlyTheFirstByItsWholePath) {
  const fs::path deep =
      dir / (std::string(100, 'd') + " with spaces") / (std::string(100, 'e') + " and more");
  fs::create_directories(deep);
  const std::string table = (deep / "my settings.csv").string();
  const std::string image = (deep / "my settings.bin").string();
  ASSERT_GT(table.size(), 255u);
  Window source;
  source.record().setIndex("alerttime", 6);
  source.SaveConfigurationFile(table);
  source.record().setIndex("alerttime", 4);
  source.SaveConfigurationFile(image);

  form.FilesDropped({});
  EXPECT_EQ(newLines(), Lines{});
  form.FilesDropped({table, image});
  EXPECT_EQ(newLines(), Lines{msg::loadedDataFrom(table)});
  EXPECT_EQ(rec.index("alerttime"), 6);
  form.FilesDropped({image, table});
  EXPECT_EQ(newLines(), Lines{msg::loadedDataFrom(image)});
  EXPECT_EQ(rec.index("alerttime"), 4);

  form.Open1Click(dialog(std::nullopt));
  EXPECT_EQ(newLines(), Lines{});
  form.Open1Click(dialog(table));
  EXPECT_EQ(newLines(), Lines{msg::loadedDataFrom(table)});
  EXPECT_EQ(dialogShown, 2);
}

}  // namespace
}  // namespace palor
