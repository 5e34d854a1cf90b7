#pragma once
// What every benchmark shares: clocks, the resident-memory readings, and the closing
// verdict line that `make bench` collects into its summary table.
#include <time.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

namespace bench {

inline double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Processor time of this thread: on a shared machine, waiting for a core is not the cost
// of the work measured.
inline double CpuNow() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// A value of this process's status in kB ("VmRSS", "VmHWM"), in bytes; 0 where the system
// does not tell.
inline size_t StatusBytes(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const std::string want = std::string(key) + ":";
  while (std::getline(in, line))
    if (line.rfind(want, 0) == 0) return std::stoull(line.substr(want.size())) * 1024;
  return 0;
}

inline size_t ResidentBytes() {
  return StatusBytes("VmRSS");
}
inline size_t PeakResidentBytes() {
  return StatusBytes("VmHWM");
}
// The last line of every benchmark: the figure against its target.
inline int Verdict(double ratio, double target) {
  std::printf("ratio %.2f (target <= %.1f: %s)\n", ratio, target,
              ratio <= target ? "met" : "NOT met");
  return 0;
}

}  // namespace bench
