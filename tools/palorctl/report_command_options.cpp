// SPDX-License-Identifier: GPL-3.0-or-later
// The command line of report: OUT.pdf or - for its labels, [FILE], the edits.
#include <memory>
#include <optional>

#include "command_table.h"
#include "report_pdf.h"

namespace palor::ctl {

Handler setUpReport(CLI::App& command, SharedOptions& shared) {
  struct Report {
    std::string out;
    std::optional<std::string> file;
  };
  auto report = std::make_shared<Report>();
  command.add_option("OUT", report->out, "PDF file to write, or - for the labels")->required();
  command.add_option("FILE", report->file, "file to open first");
  addFirmwareOption(command, shared);
  return [report](const CommonOptions& options) {
    return ctl::report(report->out, report->file, options, writeReportPdfFile);
  };
}

}  // namespace palor::ctl
