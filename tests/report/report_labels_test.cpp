// SPDX-License-Identifier: GPL-3.0-or-later
// The report's labels as "name: value" lines, read back as palor-report-pdf reads them.
#include "report/report_labels.h"

#include <gtest/gtest.h>

#include <string>

#include "report/printrp.h"
#include "ui/vendrel.h"

namespace palor {
namespace {

// A report whose texts hold every byte the lines must escape, and the separator itself.
TPrintReport awkwardReport() {
  FormState form;
  form.startUp();
  form.record().setText("hellomsg1", "A\\B\x01: C\x7F\xE9\n");
  form.record().setText("Capcode1Name", "x\\x41: \t");
  TPrintReport report;
  report.fill(form.record());
  return report;
}

TEST(ReportLabelLines, ReadBackToTheSameTextsOneLineALabel) {
  const TPrintReport written = awkwardReport();
  const std::string lines = reportLabelLines(written);
  std::size_t lineEnds = 0;
  for (char c : lines) {
    const auto byte = static_cast<unsigned char>(c);
    lineEnds += c == '\n';
    EXPECT_TRUE(c == '\n' || (byte >= 0x20 && byte != 0x7F)) << int(byte);
  }
  EXPECT_EQ(lineEnds, written.labels().size());

  TPrintReport read;
  ASSERT_EQ(readReportLabelLines(lines, read), std::nullopt);
  for (const ReportLabel* label : written.labels()) EXPECT_EQ(read.text(label->name), label->text);
  EXPECT_EQ(read.text("LblHelloMsgTxt"), "A\\B\x01: C\x7F\xC3\xA9\n");
}

TEST(ReportLabelLines, LinesThatAreNoWholeReportAreRefused) {
  const std::string lines = reportLabelLines(awkwardReport());
  const std::string first = lines.substr(0, lines.find('\n') + 1);
  const std::string rest = lines.substr(first.size());
  const std::string withoutLast = lines.substr(0, lines.rfind('\n', lines.size() - 2) + 1);
  const struct {
    const char* what;
    std::string lines;
    const char* says;
  } cases[] = {
      {"nothing", "", "labels are missing"},
      {"a label left out", withoutLast, "1 of the report's"},
      {"a label twice", first + lines, "line 2: the label 'TxtSerial' is given twice"},
      {"an unknown label", "LblNoSuch: x\n" + lines,
       "line 1: the report has no label named 'LblNoSuch'"},
      {"no separator", "TxtSerial=x\n" + rest, "line 1 is no \"name: value\" line"},
      {"no last line end", lines.substr(0, lines.size() - 1), "has no line end"},
      {"a raw control character", "TxtSerial: a\tb\n" + rest, "line 1: the value of 'TxtSerial'"},
      {"a short escape", "TxtSerial: a\\x0\n" + rest, "line 1: the value"},
      {"a small hexadecimal digit", "TxtSerial: \\x0a\n" + rest, "line 1: the value"},
      {"an escape of a plain byte", "TxtSerial: \\x41\n" + rest, "line 1: the value"},
      {"a lone backslash", "TxtSerial: a\\b\n" + rest, "line 1: the value"},
  };
  for (const auto& c : cases) {
    TPrintReport report;
    const auto wrong = readReportLabelLines(c.lines, report);
    ASSERT_TRUE(wrong.has_value()) << c.what;
    EXPECT_NE(wrong->find(c.says), std::string::npos) << c.what << ": " << *wrong;
  }
}

}  // namespace
}  // namespace palor
