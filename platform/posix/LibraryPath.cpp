#include "platform/LibraryPath.h"

namespace dz {

// File names are bytes here, whatever they encode.
std::string LibraryPath(const std::string& path) {
  return path;
}

}  // namespace dz
