// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up of the desktop program: the main window built, started up and shown, up to its
// first complete paint. Runs offscreen unless a display is set.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPixmap>
#include <chrono>
#include <cstdlib>

#include "ui/view/tform1.h"

namespace {

QApplication* application() {
  static int argc = 1;
  static char name[] = "startup_bench";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return app;
}

void showWindow() {
  palor::TForm1 form;
  form.show();
  QApplication::processEvents();
  QPixmap painted = form.grab();  // forces a full paint of every page widget shown
  benchmark::DoNotOptimize(painted);
}

// The first window of a fresh process: toolkit start-up, fonts, styles and all.
void BM_FirstWindowInProcess(benchmark::State& state) {
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    application();
    showWindow();
    const auto seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(seconds);
  }
}
BENCHMARK(BM_FirstWindowInProcess)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// Every later window, once the toolkit is up.
void BM_ShowMainWindow(benchmark::State& state) {
  application();
  for (auto _ : state) showWindow();
}
BENCHMARK(BM_ShowMainWindow)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
