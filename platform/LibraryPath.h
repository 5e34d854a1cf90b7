#pragma once
// File names for libraries that open files themselves (SQLite): they take a name as bytes
// on POSIX systems but as UTF-8 on Windows, where our 8-bit paths are Windows-1252.

#include <string>

namespace dz {

// `path` in the form such a library expects on this system: unchanged here, UTF-8 on Windows.
std::string LibraryPath(const std::string& path);

}  // namespace dz
