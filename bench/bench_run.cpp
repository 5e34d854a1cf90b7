// The reconciliation as the window makes it (the run, its result kept until the next one
// replaces it, then freed) against a real hostsim process serving the large sample, and
// against the floor of RunSample.h. Both are wall-clock times (the run's work is split
// between two processes); the best of several rounds counts. Also reports the resident
// bytes a loaded line costs while the result is kept.
#include <algorithm>
#include <cstdio>
#include <memory>

#include "bench/BenchCommon.h"
#include "bench/RunSample.h"
#include "hostlink/HostCommands.h"

int main() {
  // The run and its floor take turns, so that both meet the same moods of a shared machine
  // (the rounds at the start are the slow ones of both).
  constexpr int kRounds = 9;
  bench::RunSample sample;
  if (!sample.Start("bench-run")) return 1;
  dz::DetectHostServer();

  double run = 1e9, floor = 1e9;
  size_t lines = 0, resident = 0, inflated = 0;
  for (int r = 0; r < kRounds; ++r) {
    const size_t before = bench::ResidentBytes();
    const double t0 = bench::Now();
    auto stack = std::make_unique<dz::TSuperStack>();
    stack->Run(false);
    const double t1 = bench::Now();
    if (!stack->ErrorText().empty()) {
      std::fprintf(stderr, "bench_run: the run failed: %s\n", stack->ErrorText().c_str());
      return 1;
    }
    const size_t after = bench::ResidentBytes();
    lines = static_cast<size_t>(stack->Source().Count() + stack->Invoiced().Count() +
                                stack->Merged().Count() + stack->Missing().Count());
    if (r == 0) resident = after > before ? after - before : 0;
    const double t2 = bench::Now();
    stack.reset();
    run = std::min(run, (t1 - t0) + (bench::Now() - t2));

    const double f0 = bench::Now();
    inflated = sample.ReadAndInflate();
    floor = std::min(floor, bench::Now() - f0);
  }
  sample.StopHost();

  std::printf("run, window path, %d + %d x %d positions: %.1f ms (freeing included)\n",
              bench::kPositions, bench::kInvoices, bench::kInvoicePositions, run * 1e3);
  std::printf("floor (SQLite rows + inflating what the run inflates, %zu bytes): %.1f ms\n",
              inflated, floor * 1e3);
  std::printf(
      "resident while the result is kept: %.1f MB for %zu lines, %.0f bytes per line "
      "(target <= 250: %s)\n",
      resident / 1e6, lines, lines ? double(resident) / double(lines) : 0.0,
      lines && resident <= 250 * lines ? "met" : "NOT met");
  return bench::Verdict(run / floor, 2.5);
}
