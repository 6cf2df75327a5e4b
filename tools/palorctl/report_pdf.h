// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The report's page as a PDF file. palor-report-pdf draws it with Qt, as the window draws
// it; palorctl hands it the report's labels and loads no Qt itself.
#include <string>

#include "report/printrp.h"

namespace palor::ctl {

// The program that draws the page: looked for beside palorctl's own executable, then on
// the PATH.
inline constexpr const char* kReportPdfProgram = "palor-report-pdf";

// Runs palor-report-pdf to write `report` to `path`. False when the file cannot be
// written, when the program is missing or fails, or when palorctl was built without Qt;
// every reason but the first is said on standard error.
bool writeReportPdfFile(const std::string& path, const TPrintReport& report);

}  // namespace palor::ctl
