#pragma once
// A whole file mapped read-only into memory.
//
// Other readers may have the file open at the same time; the mapping never writes. The
// object owns the mapping and the file handle and releases both when it goes or is reopened.
// Failures are reported by Open's return value; nothing here throws.

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/NativeHandle.h"

namespace dz {

class MappedFile {
 public:
  MappedFile() = default;
  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  // Opens and maps the regular file at `path`. False when it does not exist, is not a
  // regular file, cannot be opened for reading or cannot be mapped. An empty file opens
  // successfully with Size() 0 and no mapping.
  bool Open(const std::string& path);
  void Close();

  bool IsOpen() const { return open_; }
  const uint8_t* Data() const { return data_; }
  size_t Size() const { return size_; }

 private:
  bool open_ = false;
  NativeHandle file_ = kNoHandle;
  [[maybe_unused]] NativeHandle mapping_ = kNoHandle;  // Windows only: the file-mapping object
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

}  // namespace dz
