// SPDX-License-Identifier: GPL-3.0-or-later
// The list of pagers of a batch, as spreadsheets and people write it.
#include "files/pager_list.h"

#include <gtest/gtest.h>

#include "files/csv_table.h"

namespace palor {
namespace {

using Values = std::vector<std::string>;

struct ExpectedRow {
  int line;
  Values values;  // empty when the row is refused
  bool refused = false;
};

struct Case {
  const char* what;
  std::string text;
  std::string error;  // a part of the list's refusal; empty for a list
  std::vector<std::string> columns;
  std::vector<ExpectedRow> rows;
};

TEST(PagerList, ReadsListsAsSpreadsheetsWriteThem) {
  const std::string longLine = std::string(csv::kMaxLineLength + 1, 'x');
  const Case cases[] = {
      // Rows keep their own line numbers, whatever ends the lines.
      {"good rows",
       "TxtPagerNumber,address1,Capcode1Name\r\n00000101,1234560,WARD A\r\n"
       "00000102,1234568,WARD B\n",
       "",
       {"TxtPagerNumber", "address1", "Capcode1Name"},
       {{2, {"00000101", "1234560", "WARD A"}}, {3, {"00000102", "1234568", "WARD B"}}}},
      {"a spreadsheet's byte order mark, blanks around the names",
       "\xEF\xBB\xBF serial , address1\n1,2\n",
       "",
       {"serial", "address1"},
       {{2, {"1", "2"}}}},
      // A quoted value holds commas and doubled quotes; an empty quoted value is empty, and
      // blanks inside a plain value are kept.
      {"quoted commas",
       "Capcode1Name,hellomsg1\n\"Smith, John\",\"say \"\"hi\"\"\"\n\"\", two words \n",
       "",
       {"Capcode1Name", "hellomsg1"},
       {{2, {"Smith, John", "say \"hi\""}}, {3, {"", " two words "}}}},
      // Empty lines, and rows a spreadsheet leaves empty, are no pagers.
      {"empty lines",
       "address1,serial\n\n1,2\r\n\r\n,\n3,4",
       "",
       {"address1", "serial"},
       {{3, {"1", "2"}}, {6, {"3", "4"}}}},
      // A row that cannot be read is refused where it stands, and the list goes on.
      {"refused rows",
       "address1,serial\n1,2,3\n\"open,2\n4\n\"a\"b,2\n" + longLine + "\n5,6\n",
       "",
       {"address1", "serial"},
       {{2, {}, true},
        {3, {}, true},
        {4, {}, true},
        {5, {}, true},
        {6, {}, true},
        {7, {"5", "6"}}}},
      {"a field named twice, also quoted", "address1,\"address1\"\n", "named twice", {}, {}},
      {"an unknown column is named",
       "address1,Adress2\n1,2\n",
       "no field named 'Adress2' (column 2)",
       {},
       {}},
      {"a column without a name", "address1,,serial\n", "column 2", {}, {}},
      {"nothing but empty lines", "\r\n\n", "the list is empty", {}, {}},
      {"names with an open quote", "\"address1,serial\n", "not closed", {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const PagerListOutcome read = parsePagerList(c.text);
    if (!c.error.empty()) {
      EXPECT_FALSE(read);
      EXPECT_NE(read.error.find(c.error), std::string::npos) << read.error;
      continue;
    }
    ASSERT_TRUE(read) << read.error;
    std::vector<std::string> columns;
    for (FieldId f : read.list->columns) columns.push_back(fieldSchema(f).name);
    EXPECT_EQ(columns, c.columns);
    ASSERT_EQ(read.list->rows.size(), c.rows.size());
    for (std::size_t i = 0; i < c.rows.size(); ++i) {
      const PagerList::Row& row = read.list->rows[i];
      SCOPED_TRACE(row.line);
      EXPECT_EQ(row.line, c.rows[i].line);
      EXPECT_EQ(row.values, c.rows[i].values);
      EXPECT_EQ(row.problem.empty(), !c.rows[i].refused) << row.problem;
    }
  }
}

}  // namespace
}  // namespace palor
