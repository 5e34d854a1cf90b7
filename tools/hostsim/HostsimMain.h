#pragma once
// The hostsim program's command line: subcommands, options and help. main() only hands
// its arguments here, so everything is reachable from tests without a process.
//
//   hostsim [serve] [options]   run one host server (the default subcommand)
//
// Further subcommands are added to the table in HostsimMain.cpp.

#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

#include "tools/hostsim/HostServer.h"

namespace dz::hostsim {

struct ServeOptions {
  HostServerOptions server;
  NativeHandle readyFd = kNoHandle;  // gets "ready <pid>\n" once serving, then is closed
  NativeHandle stopFd = kNoHandle;   // serving ends when it has data or its writer closes it
  // Fixed answers that replace a command's own (--answer COMMAND=TEXT), to stand in for a
  // host that answers oddly.
  std::vector<std::pair<std::string, std::string>> answers;
};

// Parses the options of "serve". False with a reason on bad usage.
bool ParseServeOptions(const std::vector<std::string>& args, ServeOptions& options,
                       std::string* error);

// The help text of the program.
std::string HelpText();

// Runs the program with its arguments (without the program name); returns the exit
// status: 0 success, 1 failure, 2 bad usage.
int HostsimMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace dz::hostsim
