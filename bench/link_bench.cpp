// SPDX-License-Identifier: GPL-3.0-or-later
// A pager read and a whole write cycle in real time, through the real transport, against
// the paced simulator on a pseudo-terminal, on the link clock palorctl runs: the form
// state's two timers tick every 40 ms and 500 ms as the window's do, sleeping between ticks.
//
// The floors, in ticks of 40 ms: a read asks for one block per tick, so 16 blocks take 16
// ticks (640 ms). A write cycle is that read; then block 0 goes out when the time-out
// period ends, 95 ticks after the tick that took the last read block (the period counts
// 96 ticks of silence, that tick being the first); then one block per tick, 15 more; then
// the pager's own write and verify (the simulator's 300 ms and 200 ms), seen at the 13th
// tick after the last block.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <stdexcept>

#include "simulator_process.h"
#include "ui/link_clock.h"
#include "ui/messages.h"
#include "ui/vendrel.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr double kReadFloorMs = 16 * 40.0;
constexpr double kWriteCycleFloorMs = kReadFloorMs + (95 + 15 + 13) * 40.0;

// A form state connected to the simulator, ticked in real time.
class Bench {
 public:
  Bench() {
    form_.startUp({.ports = {sim_.port()}});
    clock_.add(form_);
    if (!clock_.runUntil([&] { return form_.window().readFromPagerEnabled; }, 15s))
      throw std::runtime_error("the simulated pager did not connect");
  }
  ~Bench() { form_.shutDown(); }

  // Milliseconds from the command to the end of the read or write it started; throws when
  // it does not complete.
  double timed(const std::function<void()>& command, std::string_view success) {
    const std::size_t before = form_.log().lines().size();
    const auto start = Clock::now();
    command();
    if (!clock_.runUntil([&] { return !form_.link().protocol().busy(); }, 60s))
      throw std::runtime_error("the pager did not finish");
    const auto end = Clock::now();
    const auto& lines = form_.log().lines();
    if (std::find(lines.begin() + static_cast<std::ptrdiff_t>(before), lines.end(), success) ==
        lines.end())
      throw std::runtime_error("the pager did not complete: " + lines.back());
    return std::chrono::duration<double, std::milli>(end - start).count();
  }

  palor::FormState& form() { return form_; }

 private:
  palor::bench::SimulatorProcess sim_;
  palor::FormState form_;
  palor::LinkClock clock_;  // the window's 40 ms and 500 ms, as palorctl runs them
};

void report(benchmark::State& state, double totalMs, double floorMs) {
  const double mean = totalMs / static_cast<double>(state.iterations());
  state.counters["ms"] = mean;
  state.counters["floor_ms"] = floorMs;
  state.counters["x_floor"] = mean / floorMs;
}

void BM_ReadSixteenBlocks(benchmark::State& state) {
  Bench bench;
  double total = 0;
  for (auto _ : state) {
    const double ms =
        bench.timed([&] { bench.form().ReadFromPagerClick(); }, palor::msg::kReadEepromOk);
    state.SetIterationTime(ms / 1000.0);
    total += ms;
  }
  report(state, total, kReadFloorMs);
}
BENCHMARK(BM_ReadSixteenBlocks)->UseManualTime()->Iterations(8)->Unit(benchmark::kMillisecond);

void BM_WriteCycle(benchmark::State& state) {
  Bench bench;
  double total = 0;
  for (auto _ : state) {
    const double ms =
        bench.timed([&] { bench.form().WriteToPagerClick(); }, palor::msg::kWriteEepromCompleted);
    state.SetIterationTime(ms / 1000.0);
    total += ms;
  }
  report(state, total, kWriteCycleFloorMs);
}
BENCHMARK(BM_WriteCycle)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
