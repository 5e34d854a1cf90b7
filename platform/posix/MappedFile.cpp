#include "platform/MappedFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dz {

MappedFile::~MappedFile() {
  Close();
}

void MappedFile::Close() {
  if (data_) munmap(const_cast<uint8_t*>(data_), size_);
  if (file_ != kNoHandle) close(static_cast<int>(file_));
  data_ = nullptr;
  size_ = 0;
  file_ = kNoHandle;
  mapping_ = kNoHandle;  // a mapping needs no object of its own here
  open_ = false;
}

bool MappedFile::Open(const std::string& path) {
  Close();
  // O_NONBLOCK keeps a FIFO put in the file's place from blocking the open; the type
  // check below refuses it.
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) {
    close(fd);
    return false;
  }
  auto size = static_cast<size_t>(st.st_size);
  if (size > 0) {
    // The whole file is read right after it is mapped: its pages are mapped in one go
    // rather than one fault after the other.
    int flags = MAP_PRIVATE;
#ifdef MAP_POPULATE
    flags |= MAP_POPULATE;
#endif
    void* p = mmap(nullptr, size, PROT_READ, flags, fd, 0);
    if (p == MAP_FAILED) {
      close(fd);
      return false;
    }
    data_ = static_cast<const uint8_t*>(p);
  }
  file_ = fd;
  size_ = size;
  open_ = true;
  return true;
}

}  // namespace dz
