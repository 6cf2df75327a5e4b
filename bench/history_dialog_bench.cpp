// SPDX-License-Identifier: GPL-3.0-or-later
// File / History... on an SQLite file of 100,000 records (built once): the dialog made,
// its records counted and its first page read, shown and painted. Runs offscreen unless a
// display is set.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPixmap>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "programming_records.h"
#include "records/record_keeper.h"
#include "temp_folder.h"
#include "ui/view/history_dialog.h"
#include "ui/view/tform1.h"

namespace {

using namespace palor::records;

constexpr int kRecords = 100000;

QApplication* application() {
  static int argc = 1;
  static char name[] = "history_dialog_bench";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return app;
}

// The file, made at the first use, in transactions of 10,000 records.
const std::string& benchFile() {
  static palor::test::TempFolder folder("palor-history-bench");
  static const std::string file = [] {
    const std::string path = folder.path("records.sqlite");
    auto store = RecordStore::open({RecordsLocation::Kind::File, path});
    if (!store) throw std::runtime_error(store.error().what);
    std::vector<ProgrammingRecord> slice;
    for (int first = 0; first < kRecords; first += 10000) {
      slice.clear();
      for (int n = first; n < first + 10000; ++n) {
        ProgrammingRecord r = palor::test::sampleRecord(
            n % 3 == 0 ? Operation::Read : Operation::Write, Outcome::Completed, n % 251);
        r.uid = "history-bench-" + std::to_string(n);
        slice.push_back(std::move(r));
      }
      if (auto added = store.value()->addAll(slice); !added)
        throw std::runtime_error(added.error().what);
    }
    return path;
  }();
  return file;
}

void BM_OpenHistoryDialog(benchmark::State& state) {
  application();
  palor::TForm1 form;
  form.state().setRecords(
      std::make_unique<RecordKeeper>(RecordsLocation{RecordsLocation::Kind::File, benchFile()}));
  for (auto _ : state) {
    palor::HistoryDialog* dialog = form.HistoryClick();
    QApplication::processEvents();
    QPixmap painted = dialog->grab();
    benchmark::DoNotOptimize(painted);
    if (dialog->model()->rowCount() == 0) state.SkipWithError("no rows");
    state.PauseTiming();
    dialog->close();  // the next click makes a new dialog
    QApplication::processEvents();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_OpenHistoryDialog)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
