#pragma once
// Whole-file reads of files that another program names or leaves for us (the server list,
// the open document, the system identifier). Such a name may point at anything: a FIFO
// would block the open for ever, a device like /dev/zero never ends. So only a regular
// file is read, opening cannot block, and the caller says how much it is prepared to take.
//
// Failures are values; nothing here throws. `out` is empty unless the result is Ok.

#include <cstddef>
#include <string>

namespace dz {

enum class FileReadResult {
  Ok,
  CannotOpen,  // missing, no permission, or the read itself failed
  NotRegular,  // a folder, FIFO, socket or device
  TooLarge,    // more than the caller's bound
};

FileReadResult ReadRegularFile(const std::string& path, std::size_t maxBytes, std::string& out);

// True when `path` names an entry inside `folder` (at any depth), judged by the real
// location of the entry's parent folder, so that neither ".." nor a linked folder leads
// out of it. The entry itself need not exist; `folder` must.
bool LiesInFolder(const std::string& path, const std::string& folder);

}  // namespace dz
