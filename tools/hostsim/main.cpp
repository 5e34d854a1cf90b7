// hostsim: the host stand-in program (see tools/hostsim/HostsimMain.h).
#include <iostream>
#include <string>
#include <vector>

#include "tools/hostsim/HostsimMain.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return dz::hostsim::HostsimMain(args, std::cout, std::cerr);
}
