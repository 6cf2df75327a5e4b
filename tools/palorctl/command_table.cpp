// SPDX-License-Identifier: GPL-3.0-or-later
#include "command_table.h"

namespace palor::ctl {

const std::vector<Command>& commands() {
  // name, description, takes edits, footer, set-up[, exit status of unwritable output]
  static const std::vector<Command> table = {
      {"dump", "print the settings record", true, kEditsHelp, setUpDump},
      {"encode", "write the image a write to the pager would carry", true, kEditsHelp, setUpEncode},
      {"decode", "decode an image file and print the record", false, kNoEditsHelp, setUpDecode},
      {"convert", "open IN (if given), edit, save as OUT", true, kEditsHelp, setUpConvert},
      {"check", "test the checksums of an image file", false, kNoEditsHelp, setUpCheck},
      {"diff", "print the fields whose values differ", false, kNoEditsHelp, setUpDiff,
       kDiffTrouble},
      {"ports", "list the charger ports the window would try, each with what opening it meets",
       false, kNoEditsHelp, setUpPorts},
      {"doctor",
       "check every known reason why the charger is not found: one line a check, ok or a "
       "problem with what to do",
       false, kNoEditsHelp, setUpDoctor},
      {"support-file",
       "write OUT.tar.gz for support: versions, the doctor's report, the status log, a trace, "
       "CONFIG as a CSV table without its password",
       false, kNoEditsHelp, setUpSupportFile},
      {"read", "read the pager in the charger and save it as OUT", false, "", setUpRead},
      {"write", "open IN (if given), edit, write to the pager", true, kEditsHelp, setUpWrite},
      {"batch",
       "write TEMPLATE with each row of a list (or N counted pagers) on every charger at once",
       true, kBatchHelp, setUpBatch},
      {"report",
       "write the customer report as a PDF page, or print its labels as \"name: value\" lines "
       "(OUT -)",
       true, kEditsHelp, setUpReport},
      {"history", "list the programming records, newest first; show, export, sync or prune them",
       false, kNoEditsHelp, setUpHistory},
      {"restore",
       "write a record's before-image back to the pager in the charger, when it is the pager "
       "the record wrote",
       false, kNoEditsHelp, setUpRestore},
  };
  return table;
}

void addFirmwareOption(CLI::App& command, SharedOptions& shared) {
  command.add_option("--firmware", shared.firmware, "pager firmware version (default 3)")
      ->check(CLI::Range(0, 255));
}

void addJsonOption(CLI::App& command, SharedOptions& shared) {
  command.add_flag("--json", shared.common.json, "print JSON, one object per field");
}

}  // namespace palor::ctl
