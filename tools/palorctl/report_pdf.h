#pragma once
// The report's page as a PDF file, drawn as the window draws it. Only `palorctl report`
// pays for the Qt start-up this needs.
#include <string>

#include "report/printrp.h"

namespace palor::ctl {

// False when the file cannot be written, or when palorctl was built without Qt.
bool writeReportPdfOffscreen(const std::string& path, const TPrintReport& report);

}  // namespace palor::ctl
