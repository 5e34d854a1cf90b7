// childrun: runs a program as this program's child and ends with the child's exit status.
// Test programs of the Windows build run through it, so that they have a parent process
// as every program the host starts has: started straight from the build machine's shell
// through the compatibility layer, a Windows program has none (its parent ID reads 0).
#include <iostream>
#include <string>
#include <vector>

#include "platform/ChildProcess.h"
#include "platform/Console.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args = dz::ProgramArguments(argc, argv);
  if (args.empty()) {
    std::cerr << "usage: childrun PROGRAM [ARGUMENTS...]\n";
    return 2;
  }
  dz::ChildProcess child;
  std::string error;
  if (!child.Start(args.front(), std::vector<std::string>(args.begin() + 1, args.end()), {},
                   &error)) {
    std::cerr << "childrun: " << error << "\n";
    return 127;
  }
  // The test's own time limit bounds this wait: ctest ends a test that overruns it.
  child.Wait(-1);
  return child.ExitCode();
}
