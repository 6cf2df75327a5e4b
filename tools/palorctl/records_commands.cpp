// SPDX-License-Identifier: GPL-3.0-or-later
#include "records_commands.h"

#include <chrono>
#include <iostream>
#include <nlohmann/json.hpp>

#include "config/escaped_text.h"
#include "config/latin1_text.h"
#include "files/atomic_file.h"
#include "records/record_text.h"
#include "session.h"
#include "ui/messages.h"
#include "ui/operation_record.h"

namespace palor::ctl {
namespace {

using Json = nlohmann::ordered_json;

// The store of the options' records, or why there is none (said on standard error).
records::RecordStore* openStore(records::RecordKeeper& keeper) {
  if (keeper.off()) {
    diagnose("records are off (PALOR_RECORDS=off)");
    return nullptr;
  }
  const records::StoreResult<records::RecordStore*> store = keeper.store();
  if (!store) {
    diagnose(store.error().what);  // which names the records
    return nullptr;
  }
  return store.value();
}

Json recordJson(const records::ProgrammingRecord& r, bool hasBefore, bool hasWritten) {
  Json addresses = Json::array();
  for (const records::AddressEntry& a : r.addresses)
    addresses.push_back({{"row", a.row},
                         {"address", a.address},
                         {"enabled", a.enabled},
                         {"msgtype", latin1ToUtf8(a.msgtype)}});
  return {{"id", r.id},
          {"started", r.started},
          {"finished", r.finished},
          {"operation", records::operationName(r.operation)},
          {"outcome", records::outcomeName(r.outcome)},
          {"last_line", r.lastLine},
          {"blocks", r.blocks},
          {"desk", r.desk},
          {"operator", r.operatorName},
          {"port", r.port},
          {"port_path", r.portPath},
          {"firmware", r.firmware},
          {"revision", r.revision},
          {"pager_number", latin1ToUtf8(r.pagerNumber)},
          {"serial", latin1ToUtf8(r.serial)},
          {"addresses", addresses},
          {"has_before", hasBefore},
          {"has_written", hasWritten}};
}

std::string dumpJson(const Json& json) {
  return json.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace

std::unique_ptr<records::RecordKeeper> recordKeeper(const CommonOptions& options) {
  std::optional<std::string_view> override;
  if (options.records) override = *options.records;
  return std::make_unique<records::RecordKeeper>(records::recordsLocationFromEnvironment(override));
}

std::optional<records::ProgrammingRecord> findRecord(records::RecordKeeper& keeper,
                                                     std::int64_t id) {
  records::RecordStore* store = openStore(keeper);
  if (!store) return std::nullopt;
  auto found = store->find(id);
  if (!found) {
    diagnose("records: " + found.error().what);
    return std::nullopt;
  }
  if (!found.value()) diagnose("no record " + std::to_string(id));
  return std::move(found.value());
}

bool isDay(const std::string& text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
  for (const std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
    if (text[i] < '0' || text[i] > '9') return false;
  const auto number = [&](std::size_t at, std::size_t count) {
    return std::stoi(text.substr(at, count));
  };
  const std::chrono::year_month_day day{std::chrono::year(number(0, 4)),
                                        std::chrono::month(static_cast<unsigned>(number(5, 2))),
                                        std::chrono::day(static_cast<unsigned>(number(8, 2)))};
  return day.ok();
}

int history(const records::HistoryFilter& filter, const CommonOptions& options) {
  const auto keeper = recordKeeper(options);
  records::RecordStore* store = openStore(*keeper);
  if (!store) return kRefused;
  const auto entries = store->history(filter);
  if (!entries) return refused("records: " + entries.error().what);
  if (options.json) {
    Json all = Json::array();
    for (const records::HistoryEntry& e : entries.value())
      all.push_back(recordJson(e.record, e.hasBefore, e.hasImage));
    std::cout << dumpJson(all) << '\n';
    return kDone;
  }
  for (const records::HistoryEntry& e : entries.value())
    std::cout << records::historyLine(e.record) << '\n';
  return kDone;
}

int historyShow(std::int64_t id, const CommonOptions& options) {
  const auto found = findRecord(*recordKeeper(options), id);
  if (!found) return kRefused;
  const records::ProgrammingRecord& r = *found;
  const Json json = recordJson(r, r.before.has_value(), r.image.has_value());
  if (options.json) {
    std::cout << dumpJson(json) << '\n';
    return kDone;
  }
  for (const auto& [key, value] : json.items()) {
    if (key == "addresses") continue;
    std::cout << key << ": "
              << (value.is_string() ? escapeControls(value.get<std::string>()) : value.dump())
              << '\n';
  }
  if (r.before && !r.beforeChecksumOk) std::cout << "before_checksum: failed\n";
  for (const records::AddressEntry& a : r.addresses)
    std::cout << "address " << a.row << ": " << a.address << ' ' << (a.enabled ? "on" : "off")
              << ' ' << escapeControls(a.msgtype) << '\n';
  return kDone;
}

int historyExport(std::int64_t id, const std::string& out, bool before,
                  const CommonOptions& options) {
  const auto found = findRecord(*recordKeeper(options), id);
  if (!found) return kRefused;
  const auto image = recordImageFile(*found, before ? RecordImage::Before : RecordImage::Written);
  if (!image)
    return refused("record " + std::to_string(id) +
                   (before ? " holds no image of the pager before" : " holds no image written"));
  const std::string_view bytes(reinterpret_cast<const char*>(image->data()), image->size());
  if (const FileOutcome saved = saveFileAtomically(out, bytes); !saved)
    return refused(out, saved.error());
  std::cerr << msg::savedDataTo(out) << '\n';
  return kDone;
}

int historySync(const CommonOptions& options) {
  const auto keeper = recordKeeper(options);
  if (keeper->off()) return refused("records are off (PALOR_RECORDS=off)");
  const records::StoreResult<int> delivered = keeper->sync();
  if (!delivered) return refused(delivered.error().what);
  std::cout << delivered.value() << " records delivered to "
            << escapeControls(records::describe(keeper->location())) << '\n';
  return kDone;
}

int historyPrune(const std::string& day, const CommonOptions& options) {
  const auto keeper = recordKeeper(options);
  records::RecordStore* store = openStore(*keeper);
  if (!store) return kRefused;
  const auto removed = store->prune(day);
  if (!removed) return refused("records: " + removed.error().what);
  std::cout << removed.value() << " records removed\n";
  return kDone;
}

}  // namespace palor::ctl
