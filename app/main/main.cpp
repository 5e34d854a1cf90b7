// dirivararez: the number format first, then the report (--report) or, without
// arguments, the reconciliation of the document open in the host.
#include <iostream>
#include <string>
#include <vector>

#include "docdata/NumberFormat.h"
#include "output/Report.h"
#include "platform/Platform.h"

int main(int argc, char** argv) {
  dz::InitNumberFormat(dz::ProgramDir());
  std::vector<std::string> args(argv + 1, argv + argc);
  // Until the window is there, a start without arguments shows the same result as a table.
  if (args.empty()) args = {"--report", "--format", "text"};
  return dz::ReportMain(args, std::cout, std::cerr);
}
