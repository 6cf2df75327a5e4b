// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The report's labels as text: one "name: value" line a label, in the report's order. It is
// what `palorctl report -` prints, and how palorctl hands a filled report to
// palor-report-pdf, which draws its page. Values are UTF-8; a control character, DEL or a
// backslash in a value shows as \xNN, so that each line holds one whole label and the
// lines read back to exactly the texts they were written from.
#include <optional>
#include <string>
#include <string_view>

#include "report/printrp.h"

namespace palor {

std::string reportLabelLines(const TPrintReport& report);

// Sets the labels of `report` from such lines. Every label of the report must be given
// exactly once and nothing else; otherwise returns what is wrong, naming the line, and the
// report's texts are unspecified.
std::optional<std::string> readReportLabelLines(std::string_view lines, TPrintReport& report);

}  // namespace palor
