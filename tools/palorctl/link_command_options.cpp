// SPDX-License-Identifier: GPL-3.0-or-later
// The command lines of the commands that talk to the charger: ports, doctor, read, write and
// restore.
#include <memory>
#include <optional>

#include "batch_command.h"
#include "command_table.h"
#include "doctor_command.h"
#include "link_commands.h"
#include "report_pdf.h"

namespace palor::ctl {
namespace {

void addLinkOptions(CLI::App& command, LinkOptions& link) {
  command.add_option("--port", link.port, "use PATH as the only charger port");
  command
      .add_option("--timeout", link.timeoutSeconds,
                  "seconds for a charger and a pager to answer (default 30)")
      ->check(CLI::PositiveNumber);
  command.add_option("--operation-limit", link.operationLimitSeconds,
                     "seconds a whole read or write may take, however long the line keeps "
                     "talking (default 300)");
  command.add_option("--trace", link.trace, "write every frame, time-stamped, in hex, to FILE");
}

}  // namespace

Handler setUpPorts(CLI::App&, SharedOptions&) {
  return [](const CommonOptions&) { return ports(); };
}

Handler setUpDoctor(CLI::App& command, SharedOptions& shared) {
  auto port = std::make_shared<std::optional<std::string>>();
  command.add_option("--port", *port,
                     "check only this port (a simulator's pseudo-terminal, say); no USB adapter "
                     "is expected then");
  addJsonOption(command, shared);
  return [port](const CommonOptions& options) { return ctl::doctor(*port, options.json); };
}

Handler setUpSupportFile(CLI::App& command, SharedOptions& shared) {
  struct Support {
    std::string out;
    std::optional<std::string> config;
    std::optional<std::string> trace;
  };
  auto support = std::make_shared<Support>();
  command.add_option("OUT", support->out, "the archive to write (.tar.gz)")->required();
  command.add_option("CONFIG", support->config,
                     "configuration file to include (.bin, .eep or .csv)");
  command.add_option("--trace", support->trace,
                     "include this trace of an earlier read or write (--trace FILE)");
  addFirmwareOption(command, shared);
  return [support](const CommonOptions& options) {
    return ctl::supportFile(support->out, support->config, support->trace, options);
  };
}

Handler setUpRead(CLI::App& command, SharedOptions&) {
  struct Read {
    std::string out;
    bool raw = false;
    LinkOptions link;
  };
  auto read = std::make_shared<Read>();
  command.add_option("OUT", read->out, "file to save (.bin, .eep or .csv)")->required();
  command.add_flag("--raw", read->raw, "save the 1024 bytes exactly as the pager sent them");
  addLinkOptions(command, read->link);
  return [read](const CommonOptions& options) {
    return ctl::read(read->out, read->raw, read->link, options);
  };
}

Handler setUpWrite(CLI::App& command, SharedOptions&) {
  struct Write {
    std::optional<std::string> in;
    bool repair = false;
    bool uniqueCapcodes = false;
    std::optional<std::string> thenSave;
    LinkOptions link;
  };
  auto write = std::make_shared<Write>();
  command.add_option("IN", write->in, "file to open first");
  command.add_flag("--repair", write->repair,
                   "check Help / Repair: write the window's hardware values");
  command.add_flag("--unique-capcodes", write->uniqueCapcodes,
                   "refuse the write (exit 1, nothing written) when the records hold one of its "
                   "switched-on addresses on another pager");
  command.add_option("--then-save", write->thenSave,
                     "after a completed write, save the configuration (addresses advanced)");
  addLinkOptions(command, write->link);
  return [write](const CommonOptions& options) {
    return ctl::write(write->in, write->repair, write->uniqueCapcodes, write->thenSave, write->link,
                      options);
  };
}

Handler setUpRestore(CLI::App& command, SharedOptions&) {
  struct Restore {
    std::int64_t id = 0;
    bool force = false;
    LinkOptions link;
  };
  auto restore = std::make_shared<Restore>();
  command.add_option("ID", restore->id, "the record whose before-image is written back")
      ->required();
  command.add_flag("--force", restore->force,
                   "write even when the pager in the charger does not hold what the record wrote");
  addLinkOptions(command, restore->link);
  return [restore](const CommonOptions& options) {
    return ctl::restore(restore->id, restore->force, restore->link, options);
  };
}

Handler setUpBatch(CLI::App& command, SharedOptions& shared) {
  auto batch = std::make_shared<BatchOptions>();
  command.add_option("TEMPLATE", batch->templateFile, "configuration file every pager starts from")
      ->required();
  command.add_option("--list", batch->list,
                     "the pagers: a comma-separated file whose first line names fields, then "
                     "one line a pager");
  command.add_option("--count", batch->count,
                     "N pagers from the template, the addresses advancing by their steps");
  command.add_option("--port", batch->ports,
                     "a charger port (repeatable); without it every charger port found");
  command.add_option("--log", batch->log,
                     "the job log (JSON lines); run again with the same log, the job goes on "
                     "where it stopped");
  command.add_flag("--unique-capcodes", batch->uniqueCapcodes,
                   "refuse a row when the records hold one of its switched-on addresses on "
                   "another pager");
  command.add_option("--reports", batch->reports,
                     "save each pager's customer report as DIR/<pager number>.pdf");
  command.add_option("--timeout", batch->timeoutSeconds,
                     "end the job when no write has been in hand for this many seconds "
                     "(default: wait until every row is done)");
  addFirmwareOption(command, shared);
  return [batch](const CommonOptions& options) {
    return ctl::batch(*batch, options, writeReportPdfFile);
  };
}

}  // namespace palor::ctl
