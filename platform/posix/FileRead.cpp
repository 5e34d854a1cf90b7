#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/RegularFile.h"

namespace dz::detail {

RegularFile::~RegularFile() {
  if (handle_ >= 0) close(static_cast<int>(handle_));
}

FileReadResult RegularFile::Open(const std::string& path, unsigned long long& size) {
  // Non-blocking, so that opening a FIFO nobody writes to returns at once; for a regular
  // file the flag changes nothing.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return FileReadResult::CannotOpen;
  handle_ = fd;
  struct stat st {};
  if (fstat(fd, &st) != 0) return FileReadResult::CannotOpen;
  if (!S_ISREG(st.st_mode)) return FileReadResult::NotRegular;
  size = static_cast<unsigned long long>(st.st_size);
  return FileReadResult::Ok;
}

std::ptrdiff_t RegularFile::Read(char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t n = read(static_cast<int>(handle_), buffer, size);
    if (n < 0 && errno == EINTR) continue;
    return n;
  }
}

std::string RealFolder(const std::string& path) {
  char buf[PATH_MAX];
  if (!realpath(path.c_str(), buf)) return {};
  std::string real = buf;
  if (real.back() != '/') real += '/';
  return real;
}

std::size_t LastDelimiter(const std::string& path) {
  return path.rfind('/');
}

}  // namespace dz::detail
