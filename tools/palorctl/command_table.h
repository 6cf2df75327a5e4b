// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// palorctl's commands as one table: a row for each subcommand, with its name, its line in
// the help, what it does with field edits, and the set-up that adds its options and returns
// the handler that runs it once they are parsed. A new command is a new row, its set-up
// beside the others of its group.
#include <CLI/CLI.hpp>
#include <functional>
#include <string_view>
#include <vector>

#include "commands.h"

namespace palor::ctl {

// What the options that several commands share are parsed into.
struct SharedOptions {
  CommonOptions common;  // the edits are taken out before the parse
  int firmware = -1;     // --firmware; -1: none given
};

// Runs a parsed command; returns its exit status.
using Handler = std::function<int(const CommonOptions& options)>;
// Adds the command's own options to its subcommand and returns its handler, which keeps
// what they are parsed into.
using SetUp = Handler (*)(CLI::App& command, SharedOptions& shared);

struct Command {
  std::string_view name;
  std::string_view description;  // its line in `palorctl --help`
  bool takesEdits;               // otherwise a field edit on its command line is a usage error
  std::string_view footer;       // the last lines of its own --help
  SetUp setUp;
  int outputFailure = kRefused;  // the exit status when its output cannot be written
};

// The commands in the order of `palorctl --help`.
const std::vector<Command>& commands();

inline constexpr std::string_view kEditsHelp =
    "Field edits, applied in the order given after any file is opened, exactly as a user in\n"
    "the window makes them:\n"
    "  --type FIELD=TEXT     type TEXT into FIELD, character by character, into the text as\n"
    "                        it stands (use --set FIELD= first to replace it)\n"
    "  --leave FIELD         leave FIELD (its exit rule runs)\n"
    "  --set FIELD=TEXT      set FIELD's text as a program step\n"
    "  --check FIELD=yes|no  click a check box into that state\n"
    "  --pick FIELD=ITEM     pick an item by its text, or by its index";
inline constexpr std::string_view kBatchHelp =
    "Field edits, as for write, make the template from TEMPLATE. Each row of the list is\n"
    "applied to a fresh copy of it, its values in column order as --set FIELD=VALUE (a\n"
    "check field as --check, a list field as --pick), then the pre-store checks; a row they\n"
    "refuse is reported with its line and skipped. Every charger writes at once; each pager\n"
    "put in gets the next row not done, and a written pager is never written again: the\n"
    "charger waits until it is taken out and another put in.\n"
    "The job log gets one JSON object per pager: row, port, pager_number, outcome, record,\n"
    "seconds, last_line. Interrupt once: the writes in hand finish and no new pager is\n"
    "taken; twice: they are stopped. Exit status: 0 every row done, 1 a row failed, was\n"
    "refused or is not done, 2 usage error.";
inline constexpr std::string_view kNoEditsHelp = "This command takes no field edits.";

// The options several commands share.
void addFirmwareOption(CLI::App& command, SharedOptions& shared);
void addJsonOption(CLI::App& command, SharedOptions& shared);

// The set-ups, one file for each group of commands.
Handler setUpDump(CLI::App& command, SharedOptions& shared);
Handler setUpEncode(CLI::App& command, SharedOptions& shared);
Handler setUpDecode(CLI::App& command, SharedOptions& shared);
Handler setUpConvert(CLI::App& command, SharedOptions& shared);
Handler setUpCheck(CLI::App& command, SharedOptions& shared);
Handler setUpDiff(CLI::App& command, SharedOptions& shared);
Handler setUpPorts(CLI::App& command, SharedOptions& shared);
Handler setUpDoctor(CLI::App& command, SharedOptions& shared);
Handler setUpSupportFile(CLI::App& command, SharedOptions& shared);
Handler setUpRead(CLI::App& command, SharedOptions& shared);
Handler setUpWrite(CLI::App& command, SharedOptions& shared);
Handler setUpReport(CLI::App& command, SharedOptions& shared);
Handler setUpBatch(CLI::App& command, SharedOptions& shared);
Handler setUpHistory(CLI::App& command, SharedOptions& shared);
Handler setUpRestore(CLI::App& command, SharedOptions& shared);

}  // namespace palor::ctl
