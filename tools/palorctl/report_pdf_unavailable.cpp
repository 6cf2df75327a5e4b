// SPDX-License-Identifier: GPL-3.0-or-later
// palorctl built without Qt: the report's labels print, its page cannot be drawn.
#include <iostream>

#include "report_pdf.h"

namespace palor::ctl {

bool writeReportPdfFile(const std::string&, const TPrintReport&) {
  std::cerr << "palorctl: built without Qt, so only \"report -\" is available\n";
  return false;
}

}  // namespace palor::ctl
