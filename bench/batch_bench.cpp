// SPDX-License-Identifier: GPL-3.0-or-later
// A 40-pager batch (`palorctl batch --count 40`) on one and on four paced simulators, each
// swapping a written pager for a fresh one 500 ms after its write: pagers per hour on each
// desk, the four-charger desk's gain over one charger, and the CPU time palorctl spends
// (its user and system time over the job's wall time: the ticker must not be the
// bottleneck).
//
// Each pager's link time is set by the protocol (a preliminary read, one time-out period
// before the first write block, the pager's own write and verify), so four chargers can
// come near four times the pagers of one; what they lose is the swap and the time to
// identify each fresh pager, which one charger loses as well.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "simulator_process.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kPagers = 40;

struct JobFigures {
  double seconds = 0;
  double cpuSeconds = 0;
  int status = -1;
};

// Runs palorctl with `args`, its output thrown away; its wall and CPU time.
JobFigures runPalorctl(std::vector<std::string> args) {
  args.insert(args.begin(), PALORCTL_PATH);
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  ::posix_spawn_file_actions_init(&actions);
  ::posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  ::posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  const auto start = Clock::now();
  const int rc = ::posix_spawn(&pid, PALORCTL_PATH, &actions, nullptr, argv.data(), environ);
  ::posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) throw std::runtime_error("cannot start " PALORCTL_PATH);
  int raw = 0;
  rusage usage{};
  ::wait4(pid, &raw, 0, &usage);
  JobFigures f;
  f.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  const auto toSeconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  f.cpuSeconds = toSeconds(usage.ru_utime) + toSeconds(usage.ru_stime);
  f.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return f;
}

std::map<int, double> pagersPerHour;  // by chargers

void BM_Batch(benchmark::State& state) {
  const int chargers = static_cast<int>(state.range(0));
  char folder[] = "/tmp/palor-batch-bench-XXXXXX";
  if (!::mkdtemp(folder)) throw std::runtime_error("no temporary folder");
  const std::string templateFile = std::string(folder) + "/template.bin";
  if (runPalorctl({"convert", templateFile}).status != 0) throw std::runtime_error("no template");
  for (auto _ : state) {
    std::vector<std::unique_ptr<palor::bench::SimulatorProcess>> sims;
    // The start-up addresses lie 8 apart: all eight advance by 8, none runs into another.
    std::vector<std::string> args{"batch",     templateFile, "--count", std::to_string(kPagers),
                                  "--timeout", "60"};
    for (int row = 1; row <= 8; ++row)
      args.insert(args.end(), {"--pick", "autoinc" + std::to_string(row) + "=8"});
    for (int i = 0; i < chargers; ++i) {
      sims.push_back(std::make_unique<palor::bench::SimulatorProcess>(
          std::vector<std::string>{"--swap-after", "500"}));
      args.insert(args.end(), {"--port", sims.back()->port()});
    }
    const JobFigures job = runPalorctl(args);
    if (job.status != 0) state.SkipWithError("the batch did not complete");
    state.SetIterationTime(job.seconds);
    const double perHour = kPagers / job.seconds * 3600;
    pagersPerHour[chargers] = perHour;
    state.counters["pagers_per_hour"] = perHour;
    state.counters["cpu_percent"] = 100 * job.cpuSeconds / job.seconds;
  }
  std::remove(templateFile.c_str());
  ::rmdir(folder);
}
BENCHMARK(BM_Batch)->Arg(1)->Arg(4)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
  // The records of a benchmark go nowhere.
  ::setenv("PALOR_RECORDS", "off", 1);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (pagersPerHour.contains(1) && pagersPerHour.contains(4))
    std::printf("4 chargers / 1 charger: %.2f times the pagers per hour\n",
                pagersPerHour[4] / pagersPerHour[1]);
  return 0;
}
