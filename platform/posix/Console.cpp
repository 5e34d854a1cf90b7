#include "platform/Console.h"

namespace dz {

// Standard output has no text mode here.
void SetBinaryStdout() {}

// A terminal's output is inherited as it is.
void UseParentConsole() {}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  if (argc <= 1 || argv == nullptr) return {};
  return std::vector<std::string>(argv + 1, argv + argc);
}

}  // namespace dz
