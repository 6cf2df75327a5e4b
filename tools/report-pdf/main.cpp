// SPDX-License-Identifier: GPL-3.0-or-later
// palor-report-pdf: the customer report's page as a one-page A4 PDF, drawn as the window
// draws it. The report's labels come on standard input as `palorctl report -` prints them;
// `palorctl report OUT.pdf` runs this program, so that palorctl itself loads no Qt.
#include <CLI/CLI.hpp>
#include <QFile>
#include <QGuiApplication>
#include <iostream>
#include <iterator>
#include <string>

#include "palor_version.h"
#include "report/report_labels.h"
#include "report/view/report_page.h"

namespace {

constexpr int kWritten = 0;
constexpr int kRefused = 1;
constexpr int kUsageError = 2;

constexpr const char* kDescription =
    "palor-report-pdf: write the customer report's page as a one-page A4 PDF.\n"
    "The report's labels come on standard input, one \"name: value\" line each, as\n"
    "\"palorctl report - [FILE] [edits]\" prints them; \"palorctl report OUT.pdf\" runs this\n"
    "program. Exit status: 0 written, 1 refused, 2 usage error.";

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{kDescription, "palor-report-pdf"};
  app.set_version_flag("--version", std::string("palor-report-pdf ") + palor::kVersion + "\n" +
                                        palor::kVersionNotice);
  std::string out;
  bool quiet = false;
  app.add_option("OUT", out, "PDF file to write")->required();
  app.add_flag("--quiet", quiet,
               "say nothing when the file cannot be written (the program that runs this one "
               "says it)");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int status = app.exit(e);
    return status == 0 ? kWritten : kUsageError;
  }

  const std::string lines{std::istreambuf_iterator<char>(std::cin),
                          std::istreambuf_iterator<char>()};
  if (std::cin.bad()) {
    std::cerr << "palor-report-pdf: cannot read standard input\n";
    return kRefused;
  }
  palor::TPrintReport report;
  if (const auto wrong = palor::readReportLabelLines(lines, report)) {
    std::cerr << "palor-report-pdf: standard input holds no report: " << *wrong << '\n';
    return kRefused;
  }

  // Fonts need a platform; the offscreen one needs no display.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication application(argc, argv);
  if (palor::writeReportPdf(QFile::decodeName(out.c_str()), report)) return kWritten;
  if (!quiet) std::cerr << "palor-report-pdf: " << out << ": cannot be written\n";
  return kRefused;
}
