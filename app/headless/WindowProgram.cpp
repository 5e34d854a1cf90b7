// The window start of a build without the toolkit (the report-only build): the report
// is all this program can do, so asking for the window ends with a pointer to it.
#include "app/WindowProgram.h"

#include <iostream>

namespace dz {

int RunWindowProgram(int& argc, char** argv) {
  std::cerr << kApplicationTitle
            << ": this build has no window; run it with --report (--help lists the options).\n";
  return 2;
}

}  // namespace dz
