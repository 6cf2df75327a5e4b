// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/status_log.h"

#include "config/escaped_text.h"

namespace palor {

void StatusLog::append(std::string_view line) {
  // Each message is one line: a control character that reached it shows as an escape.
  lines_.push_back(escapeControls(line));
  if (observer_) observer_(lines_.back());
}

}  // namespace palor
