#include "ui/status_log.h"

namespace palor {

void StatusLog::append(std::string_view line) {
  lines_.emplace_back(line);
  if (observer_) observer_(lines_.back());
}

}  // namespace palor
