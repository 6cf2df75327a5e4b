// SPDX-License-Identifier: GPL-3.0-or-later
// The records store on an SQLite file of 100,000 records (built once, in transactions of
// 10,000): keeping one completed write as the form keeps it, a history of one capcode, the
// History dialog's opening (the count and the first page of 100), the same with a text in
// its filter box, and the capcode lookup a write makes before its first block.
//
// The records are as a counter makes them: 25,000 pagers, each read or written about four
// times, a minute apart; each pager keeps its eight capcodes; a read has the image read, a
// write the image before and the image written.
#include <benchmark/benchmark.h>

#include <ctime>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "programming_records.h"
#include "records/record_keeper.h"
#include "records/record_store.h"
#include "temp_folder.h"

namespace {

using namespace palor::records;

constexpr int kRecords = 100000;
constexpr int kPagers = 25000;

std::string timeText(std::time_t t) {
  std::tm utc{};
  ::gmtime_r(&t, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

int capcodeOf(int pager, int row) { return 1000000 + (pager * 8 + row) % 8000000; }

ProgrammingRecord recordNumber(int n) {
  const int pager = n % kPagers;
  const Operation operation = n % 3 == 0 ? Operation::Read : Operation::Write;
  ProgrammingRecord r = palor::test::sampleRecord(
      operation, n % 50 == 0 ? Outcome::Failed : Outcome::Completed, n % 251);
  r.uid = "bench-" + std::to_string(n);
  const std::time_t started = 1735689600 + std::time_t{n} * 60;  // from 2025-01-01
  r.started = timeText(started);
  r.finished = timeText(started + 36);
  char number[16];
  std::snprintf(number, sizeof number, "%08d", pager);
  r.pagerNumber = number;
  r.serial = "S" + std::string(number);
  for (int row = 1; row <= 8; ++row) r.addresses[row - 1].address = capcodeOf(pager, row);
  return r;
}

// The file, made at the first use.
const std::string& benchFile() {
  static palor::test::TempFolder folder("palor-records-bench");
  static const std::string file = [] {
    const std::string path = folder.path("records.sqlite");
    auto store = RecordStore::open({RecordsLocation::Kind::File, path});
    if (!store) throw std::runtime_error(store.error().what);
    std::vector<ProgrammingRecord> slice;
    for (int first = 0; first < kRecords; first += 10000) {
      slice.clear();
      for (int n = first; n < first + 10000; ++n) slice.push_back(recordNumber(n));
      if (auto added = store.value()->addAll(slice); !added)
        throw std::runtime_error(added.error().what);
    }
    return path;
  }();
  return file;
}

std::unique_ptr<RecordStore> openBenchStore() {
  auto store = RecordStore::open({RecordsLocation::Kind::File, benchFile()});
  if (!store) throw std::runtime_error(store.error().what);
  return std::move(store.value());
}

void BM_KeepCompletedWrite(benchmark::State& state) {
  RecordKeeper keeper({RecordsLocation::Kind::File, benchFile()});
  int n = kRecords;
  for (auto _ : state) {
    ProgrammingRecord r = recordNumber(n % kPagers);
    r.uid = "kept-" + std::to_string(++n);
    const Kept kept = keeper.keep(r);
    if (!kept.id) state.SkipWithError(kept.error->what.c_str());
  }
}
BENCHMARK(BM_KeepCompletedWrite)->Unit(benchmark::kMillisecond);

void BM_HistoryOfACapcode(benchmark::State& state) {
  auto store = openBenchStore();
  int pager = 0;
  for (auto _ : state) {
    HistoryFilter filter;
    filter.capcode = capcodeOf(pager = (pager + 7919) % kPagers, 3);
    auto entries = store->history(filter);
    if (!entries || entries.value().empty()) state.SkipWithError("no history of the capcode");
  }
}
BENCHMARK(BM_HistoryOfACapcode)->Unit(benchmark::kMillisecond);

void BM_HistoryDialogOpening(benchmark::State& state) {
  auto store = openBenchStore();
  for (auto _ : state) {
    auto total = store->count({});
    HistoryFilter page;
    page.limit = 100;
    auto entries = store->history(page);
    if (!total || !entries || entries.value().size() != 100) state.SkipWithError("no page");
  }
}
BENCHMARK(BM_HistoryDialogOpening)->Unit(benchmark::kMillisecond);

// The dialog's filter box: a text looked for in every record (no index serves it); digits
// with a leading zero (0) are looked for in the capcodes' seven digits, others (1) in their
// plain numbers.
void BM_HistoryDialogFilterText(benchmark::State& state) {
  auto store = openBenchStore();
  for (auto _ : state) {
    HistoryFilter page;
    page.text = state.range(0) == 0 ? "00012" : "12345";
    auto total = store->count(page);
    page.limit = 100;
    auto entries = store->history(page);
    if (!total || !entries || entries.value().empty()) state.SkipWithError("no page");
  }
}
BENCHMARK(BM_HistoryDialogFilterText)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_CapcodeHolder(benchmark::State& state) {
  auto store = openBenchStore();
  int pager = 0;
  for (auto _ : state) {
    pager = (pager + 7919) % kPagers;
    auto holder = store->capcodeHolder(capcodeOf(pager, 2), "another pager");
    if (!holder) state.SkipWithError(holder.error().what.c_str());
  }
}
BENCHMARK(BM_CapcodeHolder)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
