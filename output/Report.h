#pragma once
// The headless report: one reconciliation run, as the window would make it, printed as a
// readable table or as JSON. Used by `dirivararez --report`, by tests and benchmarks.
//
// All output is UTF-8 (the run's texts are converted from Windows-1252). Nothing here
// raises: a failed run is part of the report, and ReportMain turns anything else into an
// exit status.

#include <iosfwd>
#include <string>
#include <vector>

#include "engine/SuperStack.h"

namespace dz {

// The table: the caption, then the four sections in grid order and layout (quantities
// with ",#############0.000", differences in brackets, section sums). On a failed run the
// caption and "Fehler: <message>" only.
std::string ReportText(TSuperStack& stack);

// {"caption": ..., "error": ..., "systemUid": ..., "sections": [...]}: each section with
// its name, storage, total and lines; each line with its document reference, difference,
// matched flag and the 24 fields of the position under their own names. On a failed run
// "sections" is empty.
std::string ReportJson(TSuperStack& stack, const std::string& systemUid);
// The same, written to `out` piece by piece.
void WriteReportJson(TSuperStack& stack, const std::string& systemUid, std::ostream& out);

// The whole run of a report may take this long unless --timeout says otherwise.
constexpr long kDefaultRunTimeoutSeconds = 300;

// The program's command line without the program name: "--report [--format text|json]
// [--timeout SECONDS] [--reply-timeout MS]" or "--help". Finds the host server that
// started us, performs one run and prints the report to `out`. Returns 0 when the run did
// not fail, 1 when it failed or ran out of time (the message also goes to `err`), 2 on
// bad usage.
int ReportMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

std::string ReportHelpText();

}  // namespace dz
