// dirivararez: without arguments the window on the document open in the host; with
// options (--report, --help) the headless report.
#include <iostream>
#include <string>
#include <vector>

#include "app/WindowProgram.h"
#include "docdata/NumberFormat.h"
#include "output/Report.h"
#include "platform/Console.h"
#include "platform/Platform.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args = dz::ProgramArguments(argc, argv);
  // Arguments for the toolkit itself (-platform, -display) still open the window.
  if (args.empty() || args.front().rfind("--", 0) != 0) return dz::RunWindowProgram(argc, argv);
  dz::UseParentConsole();
  dz::InitNumberFormat(dz::ProgramDir());
  // The JSON report is UTF-8 bytes, the same on every system.
  dz::SetBinaryStdout();
  return dz::ReportMain(args, std::cout, std::cerr);
}
