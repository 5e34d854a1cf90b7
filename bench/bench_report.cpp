// The headless report (`dirivararez --report --format json`) written to a file, against a
// real hostsim process serving the large sample. Floor: the floor of RunSample.h plus
// writing the same number of bytes to a file from one buffer. Both are wall-clock times;
// the best of several rounds counts. Also reports the peak memory of a report run above
// what the program held before it, in a fresh process (this program started again) that
// does nothing else.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "bench/BenchCommon.h"
#include "bench/RunSample.h"
#include "output/Report.h"
#include "platform/ChildProcess.h"

namespace {

int Report(const std::string& file, std::ostream& err) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  return dz::ReportMain({"--report", "--format", "json"}, out, err);
}

// The child: one report run, then "<peak bytes above the start>" on descriptor `fd`.
int PeakChild(const std::string& file, dz::NativeHandle fd) {
  const size_t before = bench::ResidentBytes();
  std::ostringstream err;
  if (Report(file, err) != 0) return 1;
  const size_t peak = bench::PeakResidentBytes();
  dz::WriteAndCloseHandle(fd, std::to_string(peak > before ? peak - before : 0) + "\n");
  return 0;
}

// Every round writes a new file: truncating the last round's would time how the system
// gets rid of it (on Linux it may still be writing it back), which has nothing to do with
// the round.
void RemovePrevious(const std::string& file) {
  std::error_code ec;
  std::filesystem::remove(file, ec);
}

// Peak memory of a report run in a fresh process; 0 where it cannot be told.
size_t PeakOfAReportRun(const char* self, const std::string& file) {
  dz::Pipe result;
  dz::ChildProcess child;
  dz::ChildProcess::Options o;
  o.inherit = {result.WriteEnd()};
  o.quiet = true;
  std::string error, line;
  if (!child.Start(self, {"--peak-child", file, dz::HandleText(result.WriteEnd())}, o, &error))
    return 0;
  result.CloseWrite();
  const bool got = result.ReadLine(line, 60000);
  if (!child.Wait(60000)) child.Kill();
  return got && !line.empty() ? std::stoull(line) : 0;
}

}  // namespace

int main(int argc, char** argv) {
  dz::NativeHandle peakHandle = dz::kNoHandle;
  if (argc == 4 && std::string(argv[1]) == "--peak-child" && dz::ParseHandle(argv[3], peakHandle))
    return PeakChild(argv[2], peakHandle);
  // The report and its floor take turns, so that both meet the same moods of a shared
  // machine (the rounds at the start are the slow ones of both).
  constexpr int kRounds = 9;
  bench::RunSample sample;
  if (!sample.Start("bench-report")) return 1;
  const std::string file = sample.Temp() + "/report.json";

  const size_t peak = PeakOfAReportRun(argv[0], file);
  const bool peakKnown = peak > 0;
  double run = 1e9, floor = 1e9;
  size_t reportBytes = 0;
  std::string bytes;
  for (int r = 0; r < kRounds; ++r) {
    std::ostringstream err;
    RemovePrevious(file);
    const double t0 = bench::Now();
    const int status = Report(file, err);
    run = std::min(run, bench::Now() - t0);
    if (status != 0) {
      std::fprintf(stderr, "bench_report: the run failed: %s", err.str().c_str());
      return 1;
    }
    std::error_code ec;
    reportBytes = std::filesystem::file_size(file, ec);
    if (bytes.size() != reportBytes) bytes.assign(reportBytes, 'x');

    RemovePrevious(file);
    const double f0 = bench::Now();
    sample.ReadAndInflate();
    {
      std::ofstream out(file, std::ios::binary | std::ios::trunc);
      out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    floor = std::min(floor, bench::Now() - f0);
  }
  sample.StopHost();

  std::printf("report run (json to a file, %.1f MB) over %d + %d x %d positions: %.1f ms\n",
              reportBytes / 1e6, bench::kPositions, bench::kInvoices, bench::kInvoicePositions,
              run * 1e3);
  if (peakKnown)
    std::printf("peak memory of a report run above the program's own (fresh process): %.1f MB\n",
                peak / 1e6);
  else
    std::printf("peak memory of the report run: not available here\n");
  std::printf("floor (rows + inflating + writing the same bytes from one buffer): %.1f ms\n",
              floor * 1e3);
  return bench::Verdict(run / floor, 2.5);
}
