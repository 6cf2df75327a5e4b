// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// palorctl batch: a template and a list of pagers (or a count), written on every charger
// at once, one link each on the one link clock, with a job log that a second run resumes.
#include <optional>
#include <string>
#include <vector>

#include "commands.h"

namespace palor::ctl {

struct BatchOptions {
  std::string templateFile;
  std::optional<std::string> list;     // --list PAGERS.csv
  std::optional<int> count;            // --count N
  std::vector<std::string> ports;      // --port, repeatable; none: every charger port found
  std::optional<std::string> log;      // --log JOB.jsonl
  std::optional<std::string> reports;  // --reports DIR
  bool uniqueCapcodes = false;
  // --timeout: the job ends when no write has been in hand for this long; none: it waits
  // until every row is done or it is interrupted.
  std::optional<double> timeoutSeconds;
};

// Runs the job; 0 when every row is done, 1 when a row failed, was refused or is not
// done, 2 for a usage error (a list column that is no field among them).
int batch(const BatchOptions& batch, const CommonOptions& options, const ReportPdfWriter& writePdf);

}  // namespace palor::ctl
