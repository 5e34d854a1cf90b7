#pragma once
// The load stopwatch: one process-wide high-resolution stopwatch that the window starts
// when a load begins and stops when the load has ended, showing the elapsed time in its
// info line. Only the user-interface thread uses it.

#include <cstdint>
#include <string>

namespace dz {

class TStopWatch {
 public:
  // Starts (or restarts) the process's stopwatch.
  static void Start();
  // Stops it and returns the text for the info line: the elapsed seconds as "%0.4f" + " s."
  // (decimal separator of the process-wide number format), "Kein Ergebnis" when the start
  // reading was not positive, or "No StopWatch created!" when none was running.
  static std::string Stop();
  static bool Running();

  // The text for a start reading and an end reading of a counter with `frequency` ticks per
  // second; exposed so the three texts can be checked without timing anything.
  static std::string ResultText(int64_t startTicks, int64_t endTicks, int64_t frequency);

  static const char* const kNoResult;     // "Kein Ergebnis"
  static const char* const kNoStopWatch;  // "No StopWatch created!"
};

}  // namespace dz
