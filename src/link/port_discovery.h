#pragma once
// The charger adapter's serial ports as the program finds them.
#include <string>
#include <vector>

namespace palor {

// The ports named by the environment variable PALOR_EXTRA_PORTS (colon-separated device
// paths, empty entries skipped): how the simulator, a socat pipe or an unusual adapter
// reach the program.
std::vector<std::string> extraPorts();

}  // namespace palor
