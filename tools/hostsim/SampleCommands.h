#pragma once
// The "seed" and "demo" subcommands of hostsim.
//
//   hostsim seed --dir FOLDER [size options]
//       writes the sample (database, SYS.UID, open document) into FOLDER
//   hostsim demo [--name NAME] [--keep] [size options] -- PROGRAM [ARGUMENTS...]
//       seeds a fresh temporary folder, serves it, runs PROGRAM as a child process (so
//       the child finds this server as its parent's) and stops when the child ends;
//       exits with the child's exit status
//
// Size options: --positions N (0: the hand-made sample), --invoices N,
// --invoice-positions N.

#include <iosfwd>
#include <string>
#include <vector>

namespace dz::hostsim {

int SeedCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int DemoCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The part of the help text that describes them.
std::string SampleCommandsHelp();

}  // namespace dz::hostsim
