// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/csv_table.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>

#include "random_configuration.h"
#include "temp_folder.h"

namespace palor::csv {
namespace {

std::vector<std::string> linesOf(const std::string& table) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < table.size()) {
    const auto end = table.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(table.substr(start));
      break;
    }
    lines.push_back(table.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

TEST(CsvExport, DefaultTableLineByLine) {
  SettingsRecord record;
  const std::string table = exportTable(record);
  ASSERT_TRUE(table.ends_with(",\r\n"));
  EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), kLines);
  EXPECT_EQ(std::count(table.begin(), table.end(), '\r'), kLines);
  const auto lines = linesOf(table);
  ASSERT_EQ(lines.size(), static_cast<std::size_t>(kLines));

  const std::pair<int, const char*> expected[] = {
      {0, "Addresses,,,,,,,,,,,,,"},
      {1, "Capcode,Enabled,PN,Permission,Msg type,A Tone,UC,B Tone,UC,C Tone,UC,D Tone,UC,"},
      {2, "[1],Yes,2004000,No,Private,Alpha,No,Alpha,No,Alpha,No,Alpha,No,"},
      {3, "Name,,,,,,,,,,,,,,"},
      {5, "Name,,,,,,,,,,,,,"},
      {16, "[8],Yes,2004056,No,Private,Alpha,No,Alpha,No,Alpha,No,Alpha,No,"},
      {18, ",,,,,,,,,,,,,"},
      {19, "Folders,,,,,,,,,,,,,"},
      {20, "Folder Num,Enabled,Title,Length,,,,,,,,,,"},
      {21, "[1],No,FOLDER 00,1,,,,,,,,,,"},
      {36, "[16],No,FOLDER 15,1,,,,,,,,,,"},
      {37, ",,,,,,,,,,,,,"},
      {38, "Settings,,,,,,,,,,,,,"},
      {39, "Hello message:, TARVO PAGING ,,,,,,,,,,,,"},
      {40, "Tone patterns:,A:,FFFC,B:,CFFC,C:,CCC0,D:,264C,,,,,"},
      {41, ",Power on:,A000,Low cell:,8000,Urgent call:,D1B1,,,,,,,"},
      {42, "LCD hold time:,20,LCD ON:,Disabled,"},
      {43, "LCD contrast:,10,LCD OFF:,Disabled,"},
      {47, "Alert time:,8 sec,"},
      {48, "Low cell delay:,16 sec,"},
      {49, "Out of range delay:,240,sec,"},
      {53, "Channel freq:,457.00000,MHz@,25 kHz,"},
      {54, "OTA kill message:,PAGER DISABLED! CALL SERVICE PROVIDER! ,"},
      {56, "Del menu:,Yes,Del all del protect,"},
      {62, "Numeric char. set:,0-9 'NL'U'SP'-][,"},
      {63, "Character set:,U.K.,"},
      {69, "Hand programming:,Yes,Password:,4862,"},
      {70, "Individually assigned urgent calls:,Yes,"},
      {82, "Message info mode:,No,"},
  };
  for (const auto& [number, text] : expected) EXPECT_EQ(lines[number], text) << "line " << number;
}

TEST(CsvExport, ListsWithoutSelectionAndChangedItems) {
  SettingsRecord record;
  record.setItemText(record.id("lowcell"), 1, "120 sec");
  record.setIndex("alerttime", -1);
  record.setIndex("delMenu", -1);
  record.setIndex("numset", -1);
  const auto lines = linesOf(exportTable(record));
  EXPECT_EQ(lines[48], "Low cell delay:,120 sec,");
  EXPECT_EQ(lines[47], "Alert time:,,");
  EXPECT_EQ(lines[56], "Del menu:,Yes,Del all del protect,");
  EXPECT_EQ(lines[62], "Numeric char. set:,0-9 ABCDE'SP',");
}

// Random settings that a table carries whole, read back without the form's rules: no comma
// or line feed in a text, and the free texts at their full length, so that a cut shows.
void fillCarried(SettingsRecord& r, std::uint32_t seed) {
  test::RandomConfiguration(seed).fill(r);
  for (const FieldSchema& s : settingsSchema()) {
    const FieldId f = fieldId(s.name);
    if (s.kind != FieldKind::Text) continue;
    std::string t = r.text(f);
    std::replace_if(
        t.begin(), t.end(), [](char c) { return c == ',' || c == '\n'; }, ';');
    if (s.chars == TextChars::Any && !s.readOnly) t.resize(std::size_t(s.maxLength), '~');
    r.setText(f, t);
  }
}

// Every line holds the number of fields the table has there, whatever the settings.
TEST(CsvLayout, EveryLineHoldsItsFields) {
  struct Lines {
    int first, last;
    long fields;
  };
  const Lines counts[] = {{0, 2, 13},  {3, 3, 14},  {4, 41, 13}, {42, 43, 4}, {44, 48, 2},
                          {49, 49, 3}, {50, 52, 2}, {53, 53, 4}, {54, 55, 2}, {56, 56, 3},
                          {57, 68, 2}, {69, 69, 4}, {70, 82, 2}};
  ASSERT_EQ(tableLayout().size(), static_cast<std::size_t>(kLines));
  for (std::uint32_t seed = 0; seed <= 5; ++seed) {
    SettingsRecord record;
    if (seed > 0) fillCarried(record, seed);
    const auto lines = linesOf(exportTable(record));
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kLines));
    for (const Lines& c : counts)
      for (int n = c.first; n <= c.last; ++n)
        EXPECT_EQ(std::count(lines[n].begin(), lines[n].end(), ','), c.fields)
            << "line " << n << ", seed " << seed;
  }
}

// Line n of one configuration's table, read into another configuration, gives that one
// the same line n and leaves every other line of its table as it was; and the line asks
// for the form's rules that belong to it, in order.
TEST(CsvLayout, EachLineReadsBackWhatItWroteAndNothingElse) {
  using Calls = std::vector<RuleCall>;
  std::map<int, Calls> rules = {
      {36, {{FormRule::MessageTypes}}},
      {39, {{FormRule::FixedString, 0, fieldId("hellomsg1")}}},
      {42, {{FormRule::LcdHoldTime}}},
      {43, {{FormRule::Contrast}}},
      {49, {{FormRule::RangeTime}}},
      {53, {{FormRule::ChannelFrequency}, {FormRule::ChannelFrequency}}},
      {54, {{FormRule::FixedString, 0, fieldId("otaKillMsg")}}},
  };
  for (int n = 1; n <= kAddressRows; ++n) rules[2 * n + 1] = {{FormRule::AddressSwitch, n}};

  for (std::uint32_t seed = 1; seed <= 8; ++seed) {
    SettingsRecord source;
    fillCarried(source, seed);
    const std::string table = exportTable(source);
    const auto sourceLines = linesOf(table);
    std::size_t start = 0;
    for (int n = 0; n < kLines; ++n) {
      const std::size_t end = table.find('\n', start) + 1;
      const std::string_view line = std::string_view(table).substr(start, end - start);
      start = end;
      SettingsRecord target;  // every folder on, so that no folder chain is closed
      fillCarried(target, seed + 1000);
      for (int k = 0; k < kFolders; ++k) target.setChecked(folderField("pubboxact", k), true);
      const auto before = linesOf(exportTable(target));
      Calls calls;
      importLine(target, line, n, '.', [&](const RuleCall& call) { calls.push_back(call); });
      const auto after = linesOf(exportTable(target));
      for (int m = 0; m < kLines; ++m)
        EXPECT_EQ(after[m], m == n ? sourceLines[m] : before[m])
            << "line " << n << " read, line " << m << " shown, seed " << seed;
      EXPECT_TRUE(calls == rules[n]) << "line " << n << ": " << calls.size() << " rules";
    }
  }
}

// Fields end at a comma, and the last one also at the line end, as a spreadsheet saves it.
TEST(CsvFields, FieldsEndAtACommaOrTheLineEnd) {
  for (const std::string_view end : {"\r\n", "\n", "\r", ""}) {
    const std::string line = "a,,b c ,last" + std::string(end);
    EXPECT_EQ(field(line, 0), "a");
    EXPECT_EQ(field(line, 1), "");
    EXPECT_EQ(field(line, 2), "b c ");
    EXPECT_EQ(field(line, 3), "last");
    EXPECT_EQ(field(line, 4), "");
    EXPECT_EQ(field(line, 9), "");
  }
  EXPECT_EQ(field("a,\r\n", 1), "");
}

TEST(CsvFields, YesIsExact) {
  EXPECT_TRUE(isYes("Yes"));
  for (const char* no : {"yes", "YES", " Yes", "Yes ", "", "No", "Y"})
    EXPECT_FALSE(isYes(no)) << no;
}

TEST(CsvFields, DigitAndHexTests) {
  for (const char* good : {"", "   ", "0", " 123 ", "2004000", "\t42\r"})
    EXPECT_TRUE(passesDigitTest(good)) << good;
  for (const char* bad : {"12a", "1 2", "-1", "+1", "1.5", "\xB2"})
    EXPECT_FALSE(passesDigitTest(bad)) << bad;
  for (const char* good : {"", "FFFC", "abcd", " 0a9F "}) EXPECT_TRUE(passesHexTest(good)) << good;
  for (const char* bad : {"FG00", "0x12", "12 3"}) EXPECT_FALSE(passesHexTest(bad)) << bad;
}

TEST(CsvConverters, EveryExportedItemReadsBackAsItsIndex) {
  SettingsRecord record;
  for (const FieldSchema& schema : settingsSchema()) {
    if (schema.kind != FieldKind::Item || schema.page == kPageHardware) continue;
    if (schema.name.starts_with("autoinc")) continue;  // not carried by the table
    const FieldId f = fieldId(schema.name);
    for (int i = 0; i < static_cast<int>(schema.items.size()); ++i) {
      if (schema.name == "delMenu" || schema.name == "numset") continue;
      EXPECT_EQ(convertItem(f, schema.items[static_cast<std::size_t>(i)]), i) << schema.name;
    }
  }
}

struct ConverterCase {
  const char* field;
  const char* text;
  int index;
};

TEST(CsvConverters, NoMatchIndexes) {
  const ConverterCase cases[] = {
      {"msgtype3", "", 1},
      {"msgtype3", "private", 1},
      {"addr2formatB", "alpha", 3},
      {"addr2formatB", "", 3},
      {"language", "U.S.", 0},
      {"language", "u.k.", 0},
      {"lowcell", "120 sec", 1},
      {"lowcell", "0 sec", 0},
      {"menulanguage", "Klingon", 0},
      {"cmbNameDisplay", "", 0},
      {"delMenu", "Del all del protect", 1},
      {"delMenu", "Del all, del, protect", 0},
      {"numset", "0-9 ABCDE'SP'", 1},
      {"numset", "0-9 'NL'U'SP'-][", 0},
      {"channelspace", "MHz@", 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(convertItem(fieldId(c.field), c.text), c.index) << c.field << " " << c.text;
}

TEST(CsvChannelFreq, NormalisedToThreeMegahertzDigits) {
  const std::pair<const char*, const char*> cases[] = {
      {"457.00000", "457.00000"},
      {"457.125", "457.125"},
      {"45700000", "457.00000"},
      {"4571250000", "457.12500"},
      {"45a.00000", "457.00000"},
      {"471", "471."},
      {"1.5", "15"},
      {"469.9.5", "457.00000"},
      {"", ""},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(normaliseChannelFreq(in, '.'), out) << in;
  // A window whose decimal separator is a comma gets its own separator.
  EXPECT_EQ(normaliseChannelFreq("457.125", ','), "457,125");
  EXPECT_EQ(normaliseChannelFreq("471", ','), "471,");
  EXPECT_EQ(normaliseChannelFreq("4x", ','), "457,00000");
}

class CsvReadTest : public ::testing::Test {
 protected:
  std::vector<std::pair<int, std::string>> read(const std::string& content) {
    path = test::scratchPath("table.csv");
    std::ofstream(path, std::ios::binary) << content;
    std::vector<std::pair<int, std::string>> lines;
    EXPECT_TRUE(
        readTableLines(path, [&](std::string_view line, int n) { lines.emplace_back(n, line); }));
    std::filesystem::remove(path);
    return lines;
  }
  std::filesystem::path path;
};

// The first line end decides how a file ends its lines: by LF, with or without a CR before
// it, or by CR alone. In a file of LF lines a CR is text; in a file of CR lines CR LF and LF
// end lines too. A line is handed on with its line end; an unended last line never is.
TEST_F(CsvReadTest, LinesEndWithTheirLineEndAndTheLastUnendedLineIsNotRead) {
  const std::string longFirst(8191, 'x');  // its line end straddles the reader's first block
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {"a,\r\n\nb,\nc,", {"a,\r\n", "\n", "b,\n"}},
      {"a,\r\nb,\rc,\n\rd,\r", {"a,\r\n", "b,\rc,\n"}},
      {"a,\rb,\r\rc,\r\nd,\ne,", {"a,\r", "b,\r", "\r", "c,\r\n", "d,\n"}},
      {"a,\r", {"a,\r"}},
      {"\r\r\n", {"\r", "\r\n"}},
      {longFirst + "\r\nb,\r", {longFirst + "\r\n"}},
      {longFirst + "\rb,\r", {longFirst + "\r", "b,\r"}},
      {"", {}},
  };
  for (const auto& [content, expected] : cases) {
    std::vector<std::pair<int, std::string>> numbered;
    for (std::size_t i = 0; i < expected.size(); ++i) numbered.emplace_back(int(i), expected[i]);
    EXPECT_EQ(read(content), numbered) << content.substr(0, 40);
  }
}

TEST_F(CsvReadTest, StopsAfterTheLastLineItCanApply) {
  std::string content;
  for (int i = 0; i < 500; ++i) content += std::to_string(i) + ",\n";
  const auto lines = read(content);
  ASSERT_EQ(lines.size(), static_cast<std::size_t>(kLines));
  EXPECT_EQ(lines.back(), std::make_pair(82, std::string("82,\n")));
}

TEST_F(CsvReadTest, AnEndlessLineIsCutNotHeld) {
  const auto lines = read(std::string(3 * kMaxLineLength, 'x') + "\nnext,\n");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].second.size(), kMaxLineLength + 1);
  EXPECT_EQ(lines[0].second.back(), '\n');
  EXPECT_EQ(lines[1].second, "next,\n");
}

// A file that cannot be opened or read says why; a failed read is no end of file.
TEST(CsvRead, AFileThatCannotBeReadSaysWhy) {
  auto ignore = [](std::string_view, int) {};
  const std::pair<std::string, std::string> cases[] = {
      {"/nonexistent/palor.csv", "the file does not exist"},
      {std::filesystem::temp_directory_path().string(), "it is a folder, not a file"},
      // A regular file whose first bytes cannot be read: this process's memory at address 0.
      {"/proc/self/mem", "cannot be read: Input/output error"},
  };
  for (const auto& [path, says] : cases) {
    const FileOutcome read = readTableLines(path, ignore);
    ASSERT_FALSE(read) << path;
    EXPECT_EQ(describe(read.error()), says) << path;
  }
}

}  // namespace
}  // namespace palor::csv
