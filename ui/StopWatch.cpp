#include "ui/StopWatch.h"

#include <chrono>
#include <optional>

#include "docdata/NumberFormat.h"

namespace dz {

const char* const TStopWatch::kNoResult = "Kein Ergebnis";
const char* const TStopWatch::kNoStopWatch = "No StopWatch created!";

namespace {

using Clock = std::chrono::steady_clock;

// The start reading in clock ticks; empty while no stopwatch runs.
std::optional<int64_t>& StartReading() {
  static std::optional<int64_t> reading;
  return reading;
}

int64_t Now() {
  return Clock::now().time_since_epoch().count();
}

constexpr int64_t kFrequency = Clock::period::den / Clock::period::num;

}  // namespace

void TStopWatch::Start() {
  StartReading() = Now();
}

std::string TStopWatch::Stop() {
  auto& start = StartReading();
  if (!start) return kNoStopWatch;
  const int64_t begin = *start;
  start.reset();
  return ResultText(begin, Now(), kFrequency);
}

bool TStopWatch::Running() {
  return StartReading().has_value();
}

std::string TStopWatch::ResultText(int64_t startTicks, int64_t endTicks, int64_t frequency) {
  // A counter that never delivered a reading cannot time anything.
  if (startTicks <= 0 || frequency <= 0) return kNoResult;
  const long double seconds =
      static_cast<long double>(endTicks - startTicks) / static_cast<long double>(frequency);
  return FormatF4(seconds) + " s.";
}

}  // namespace dz
