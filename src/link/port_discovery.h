// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The charger adapter's serial ports as the program finds them: the tty devices of every
// Prolific PL2303 (USB vendor 067b, product 2303) that libudev enumerates, plus the ports
// named in PALOR_EXTRA_PORTS. The names are device nodes ("/dev/ttyUSB0"), used whole.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace palor {

// The adapter's USB identity, as its USB device's sysfs attributes spell it.
inline constexpr std::string_view kAdapterVendorId = "067b";
inline constexpr std::string_view kAdapterProductId = "2303";

// Where the port list comes from: asked at start-up and at every device change that the
// port watch acts on.
using PortSource = std::function<std::vector<std::string>()>;

// The device nodes of the tty devices whose USB device has the adapter's idVendor and
// idProduct attributes. Read from sysfs through libudev, so the list is right where udevd
// does not run (its ID_VENDOR_ID properties are missing there). Empty when there is no
// udev at all.
std::vector<std::string> adapterPorts();

// The ports named by the environment variable PALOR_EXTRA_PORTS (colon-separated device
// paths, empty entries skipped): how the simulator, a socat pipe or an unusual adapter
// reach the program.
std::vector<std::string> extraPorts();

// The adapter's ports and the extra ports: the program's own port source.
std::vector<std::string> systemPorts();

// A source that always gives these names: a port given on the command line, tests.
PortSource fixedPorts(std::vector<std::string> names);

// The names as the port list holds them: sorted in text order with the letter case of
// ASCII letters ignored, each name once (names equal but for letter case count as one).
std::vector<std::string> portList(std::vector<std::string> names);

}  // namespace palor
