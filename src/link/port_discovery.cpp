#include "link/port_discovery.h"

#include <cstdlib>
#include <string_view>

namespace palor {

std::vector<std::string> extraPorts() {
  std::vector<std::string> ports;
  const char* value = std::getenv("PALOR_EXTRA_PORTS");
  if (!value) return ports;
  std::string_view rest(value);
  while (!rest.empty()) {
    const auto colon = rest.find(':');
    const std::string_view entry = rest.substr(0, colon);
    if (!entry.empty()) ports.emplace_back(entry);
    if (colon == std::string_view::npos) break;
    rest.remove_prefix(colon + 1);
  }
  return ports;
}

}  // namespace palor
