// hostsim: the host stand-in program (see tools/hostsim/HostsimMain.h).
#include <iostream>
#include <string>
#include <vector>

#include "platform/Console.h"
#include "tools/hostsim/HostsimMain.h"

int main(int argc, char** argv) {
  std::vector<std::string> args = dz::ProgramArguments(argc, argv);
  return dz::hostsim::HostsimMain(args, std::cout, std::cerr);
}
