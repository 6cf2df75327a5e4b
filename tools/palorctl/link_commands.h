// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// palorctl's commands that talk to a pager: the window's own connection, read, write and
// restore, each recorded in the programming records,
// driven by the link clock, which calls the window's two timer ticks every 40 ms and
// 500 ms, sleeping in between.
#include <cstdint>
#include <optional>
#include <string>

#include "commands.h"

namespace palor::ctl {

// Checked by read and write before anything is loaded or sent: an empty port, seconds that
// are not above 0 and at most one day, and a trace that is not a file or is a file of the
// same command are usage errors.
struct LinkOptions {
  std::optional<std::string> port;  // the only port of the port list
  double timeoutSeconds = 30;       // for a charger and a pager to answer
  // The whole read or write, however long the line keeps talking (the protocol's own
  // time-outs count only silence).
  double operationLimitSeconds = 300;
  std::optional<std::string> trace;  // every frame, time-stamped, in hex, saved at the end
};

// The port list as the window builds it (the adapter's ports and PALOR_EXTRA_PORTS,
// sorted), one port a line, each with what an open would meet now: "ok", "in use",
// "no permission (group G)", "no permission (owner only)", "missing", "not a serial port"
// or the system's reason. With no port at all, standard output stays empty and standard
// error says so.
int ports();
// Connect, Read_From_Pager, then OUT saved as File / Save saves it; with `raw`, OUT gets
// the 1024 bytes exactly as the pager sent them.
int read(const std::string& out, bool raw, const LinkOptions& link, const CommonOptions& options);
// IN opened, the edits applied, connect, Write_To_Pager (Help / Repair checked first when
// `repair`); after a completed write `thenSave` gets the configuration the window now holds.
// With `uniqueCapcodes`, a write that would give an address the records hold on another
// pager is refused before anything is written.
int write(const std::optional<std::string>& in, bool repair, bool uniqueCapcodes,
          const std::optional<std::string>& thenSave, const LinkOptions& link,
          const CommonOptions& options);
// Record `id`'s before-image written back to the pager in the charger, when that pager holds
// the image the record wrote (or with `force`).
int restore(std::int64_t id, bool force, const LinkOptions& link, const CommonOptions& options);

}  // namespace palor::ctl
