// SPDX-License-Identifier: GPL-3.0-or-later
// The command lines of the commands on the programming records: history and its show,
// export, sync and prune.
#include <iostream>
#include <memory>
#include <optional>

#include "command_table.h"
#include "config/escaped_text.h"
#include "records_commands.h"

namespace palor::ctl {
namespace {

int usageError(const std::string& why) {
  std::cerr << "palorctl: " << escapeControls(why) << '\n';
  return kUsageError;
}

}  // namespace

Handler setUpHistory(CLI::App& command, SharedOptions& shared) {
  struct History {
    std::optional<int> capcode;
    std::optional<std::string> serial;
    std::optional<std::string> pagerNumber;
    std::optional<std::string> since;
    int limit = 0;
    std::int64_t id = 0;
    std::string out;
    bool before = false;
    bool written = false;
    std::string pruneBefore;
    CLI::App* show = nullptr;
    CLI::App* exportImage = nullptr;
    CLI::App* sync = nullptr;
    CLI::App* prune = nullptr;
  };
  auto h = std::make_shared<History>();
  command.require_subcommand(0, 1);
  command.add_option("--capcode", h->capcode, "only records with this address")
      ->check(CLI::NonNegativeNumber);
  command.add_option("--serial", h->serial, "only records of this serial");
  command.add_option("--pager-number", h->pagerNumber, "only records of this pager number");
  command.add_option("--since", h->since, "only records started on this day (UTC) or later")
      ->type_name("YYYY-MM-DD");
  command.add_option("--limit", h->limit, "at most this many records (newest first)")
      ->check(CLI::NonNegativeNumber);
  addJsonOption(command, shared);

  h->show = command.add_subcommand("show", "print one record");
  h->show->add_option("ID", h->id, "the record's id")->required();
  h->show->add_flag("--json", shared.common.json, "print JSON");

  h->exportImage = command.add_subcommand(
      "export", "save a record's image as an image file (its firmware version in byte 0)");
  h->exportImage->add_option("ID", h->id, "the record's id")->required();
  h->exportImage->add_option("OUT", h->out, "the image file to write (.bin or .eep)")->required();
  h->exportImage->add_flag("--before", h->before, "the image the pager held before the write");
  h->exportImage->add_flag("--written", h->written, "the image written (or read)");

  h->sync = command.add_subcommand(
      "sync", "deliver the records kept on this desk while the server could not be reached");

  h->prune = command.add_subcommand("prune", "remove the records started before a day");
  h->prune->add_option("--before", h->pruneBefore, "the first day kept (UTC)")
      ->type_name("YYYY-MM-DD")
      ->required();

  return [h](const CommonOptions& options) {
    if (h->show->parsed()) return historyShow(h->id, options);
    if (h->exportImage->parsed()) {
      if (h->before == h->written) return usageError("history export: give --before or --written");
      return historyExport(h->id, h->out, h->before, options);
    }
    if (h->sync->parsed()) return historySync(options);
    if (h->prune->parsed()) {
      if (!isDay(h->pruneBefore))
        return usageError("--before " + h->pruneBefore + ": give a day as YYYY-MM-DD");
      return historyPrune(h->pruneBefore, options);
    }
    if (h->since && !isDay(*h->since))
      return usageError("--since " + *h->since + ": give a day as YYYY-MM-DD");
    records::HistoryFilter filter;
    filter.capcode = h->capcode;
    filter.serial = h->serial;
    filter.pagerNumber = h->pagerNumber;
    filter.since = h->since;
    filter.limit = h->limit;
    return history(filter, options);
  };
}

}  // namespace palor::ctl
