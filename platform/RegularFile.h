#pragma once
// The operating-system half of the bounded whole-file read (FileRead.h); used only inside
// platform/. The reading loop and the folder test are the same on every system.

#include <cstddef>
#include <string>

#include "platform/FileRead.h"
#include "platform/NativeHandle.h"

namespace dz::detail {

// An open regular file. Opening never blocks, whatever the name points at.
class RegularFile {
 public:
  RegularFile() = default;
  ~RegularFile();
  RegularFile(const RegularFile&) = delete;
  RegularFile& operator=(const RegularFile&) = delete;

  // Ok with `size` set, or why the file cannot be read (NotRegular, CannotOpen).
  FileReadResult Open(const std::string& path, unsigned long long& size);
  // Up to `size` bytes; 0 at the end, -1 on failure.
  std::ptrdiff_t Read(char* buffer, std::size_t size);

 private:
  NativeHandle handle_ = kNoHandle;
};

// The real location of an existing folder (links resolved, in one comparable form) with a
// trailing delimiter; empty when it cannot be found.
std::string RealFolder(const std::string& path);

// The position of the last path delimiter in `path`, or npos.
std::size_t LastDelimiter(const std::string& path);

}  // namespace dz::detail
