// The headless report (`dirivararez --report --format json`) written to a file, against a
// real hostsim process serving the large sample. Floor: the floor of RunSample.h plus
// writing the same number of bytes to a file from one buffer. Both are wall-clock times;
// the best of several rounds counts. Also reports the peak memory of a report run above
// what the program held before it.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "bench/BenchCommon.h"
#include "bench/RunSample.h"
#include "output/Report.h"

int main() {
  constexpr int kRounds = 5;
  bench::RunSample sample;
  if (!sample.Start("bench-report")) return 1;
  const std::string file = sample.Temp() + "/report.json";

  double run = 1e9;
  size_t reportBytes = 0, peak = 0;
  bool peakKnown = false;
  for (int r = 0; r < kRounds; ++r) {
    std::ostringstream err;
    const size_t before = bench::ResidentBytes();
    const bool reset = bench::ResetPeakResident();
    const double t0 = bench::Now();
    int status;
    {
      std::ofstream out(file, std::ios::binary | std::ios::trunc);
      status = dz::ReportMain({"--report", "--format", "json"}, out, err);
    }
    run = std::min(run, bench::Now() - t0);
    if (r == 0 && reset) {
      const size_t hwm = bench::PeakResidentBytes();
      peak = hwm > before ? hwm - before : 0;
      peakKnown = true;
    }
    if (status != 0) {
      std::fprintf(stderr, "bench_report: the run failed: %s", err.str().c_str());
      return 1;
    }
    std::error_code ec;
    reportBytes = std::filesystem::file_size(file, ec);
  }
  sample.StopHost();

  const std::string bytes(reportBytes, 'x');
  double floor = 1e9;
  for (int r = 0; r < kRounds; ++r) {
    const double t0 = bench::Now();
    sample.ReadAndInflate();
    {
      std::ofstream out(file, std::ios::binary | std::ios::trunc);
      out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    floor = std::min(floor, bench::Now() - t0);
  }

  std::printf("report run (json to a file, %.1f MB) over %d + %d x %d positions: %.1f ms\n",
              reportBytes / 1e6, bench::kPositions, bench::kInvoices, bench::kInvoicePositions,
              run * 1e3);
  if (peakKnown)
    std::printf("peak memory of the report run above the program's own: %.1f MB\n", peak / 1e6);
  else
    std::printf("peak memory of the report run: not available here\n");
  std::printf("floor (rows + inflating + writing the same bytes from one buffer): %.1f ms\n",
              floor * 1e3);
  return bench::Verdict(run / floor, 2.5);
}
