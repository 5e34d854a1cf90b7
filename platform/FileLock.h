#pragma once
// An exclusive advisory lock on a file, held for the lifetime of the object. Several
// host servers edit the shared server list; this keeps their edits from interleaving.

#include <string>

#include "platform/NativeHandle.h"

namespace dz {

class FileLock {
 public:
  // Creates the lock file if needed (private to the user) and waits for the lock.
  explicit FileLock(const std::string& path);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // False when the file could not be opened or locked.
  bool Locked() const { return locked_; }

 private:
  NativeHandle handle_ = kNoHandle;
  bool locked_ = false;
};

// Replaces the file at `path` with `data` in one step (write beside it, then rename), so
// that a reader sees either the old or the new content, never a half-written file. Where a
// reader holding the file blocks the rename (Windows), it is retried for a short while.
bool ReplaceFileAtomically(const std::string& path, const std::string& data);

}  // namespace dz
