// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The parts of the main window that are not settings, and what start-up learns from the
// machine it runs on.
#include <string>
#include <string_view>
#include <vector>

#include "link/port_discovery.h"

namespace palor {

inline constexpr std::string_view kLayoutCaption = "PALOR Programmer";
inline constexpr std::string_view kApplicationTitle = "PALOR Customer Programmer (Dururovera)";
// Shown in the customer strip while Help / Repair is checked.
inline constexpr std::string_view kRepairNotice =
    "Repair: the next write replaces the pager's hardware settings.";

// Title, menu states, hidden page, the progress display of a pager read or write, timers
// and dropped-file registration.
struct MainWindowState {
  std::string title{kLayoutCaption};
  bool hardwarePageVisible = true;
  bool writeToPagerEnabled = true;  // link items: enabled once a pager is identified
  bool readFromPagerEnabled = true;
  bool connectPagerVisible = true;
  bool repairChecked = false;
  std::string repairNoticeText;  // kRepairNotice while repairChecked, else empty
  bool fileMenuEnabled = true;   // both submenus are disabled during a pager read or write
  bool helpMenuEnabled = true;
  // The pages (Addresses, Folders, Settings, Hardware) and TxtPagerNumber take edits, except
  // during a pager read or write: what is typed then would be shown but never written. They
  // stay shown, read-only, and return with File and Help.
  bool pagesEditable = true;
  // ProgressBar1, read_write_stop and LblInfoRWPager: shown during a pager read or write.
  bool progressVisible = false;
  int progressMaximum = 16;
  int progressPosition = 0;
  bool stopVisible = false;
  bool infoRWPagerVisible = false;
  std::string infoRWPagerText;
  bool comClockRunning = false;     // the 40 ms protocol timer
  bool watchSerialRunning = false;  // the 500 ms port watch
  bool acceptsDroppedFiles = false;
  bool closeRequested = false;
  // The strip at the top while a pager list is loaded ("Row 3 of 20: pager 00000102");
  // empty, and the strip hidden, otherwise.
  std::string pagerListText;
};

// What start-up learns from the machine it runs on.
struct StartUpEnvironment {
  std::vector<std::string> ports{};  // the charger's serial ports, when no port source is given
  char decimalSeparator = '.';       // the PC's number format
  // Where the charger's ports come from, at start-up and at every device change: the
  // window's is systemPorts(). Empty: `ports` are the ports for the whole run.
  PortSource portSource{};
  // Whether plugged and pulled ports are watched for (the device monitor).
  bool watchDevices = false;
  // A file named on the command line: opened at the end of start-up as File / Open opens
  // a chosen file. Empty: none.
  std::string openFile{};
};

}  // namespace palor
