#include "platform/FileRead.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace dz {

namespace {

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

std::string RealFolder(const std::string& path) {
  char buf[PATH_MAX];
  if (!realpath(path.c_str(), buf)) return {};
  std::string real = buf;
  if (real.back() != '/') real += '/';
  return real;
}

}  // namespace

FileReadResult ReadRegularFile(const std::string& path, std::size_t maxBytes, std::string& out) {
  out.clear();
  // Non-blocking, so that opening a FIFO nobody writes to returns at once; for a regular
  // file the flag changes nothing.
  Descriptor fd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (fd.get() < 0) return FileReadResult::CannotOpen;
  struct stat st {};
  if (fstat(fd.get(), &st) != 0) return FileReadResult::CannotOpen;
  if (!S_ISREG(st.st_mode)) return FileReadResult::NotRegular;
  if (static_cast<unsigned long long>(st.st_size) > maxBytes) return FileReadResult::TooLarge;
  std::string data;
  data.reserve(static_cast<std::size_t>(st.st_size));
  char buffer[65536];
  // The file may grow while we read; one byte past the bound is enough to tell.
  for (;;) {
    const std::size_t left = maxBytes - data.size();
    const std::size_t chunk = left >= sizeof buffer ? sizeof buffer : left + 1;
    ssize_t n = read(fd.get(), buffer, chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return FileReadResult::CannotOpen;
    if (n == 0) break;
    data.append(buffer, static_cast<std::size_t>(n));
    if (data.size() > maxBytes) return FileReadResult::TooLarge;
  }
  out = std::move(data);
  return FileReadResult::Ok;
}

bool LiesInFolder(const std::string& path, const std::string& folder) {
  if (path.empty()) return false;
  const std::string root = RealFolder(folder);
  if (root.empty()) return false;
  const std::size_t slash = path.rfind('/');
  const std::string parent = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.empty() || name == "." || name == "..") return false;
  const std::string real = RealFolder(parent);
  return !real.empty() && real.compare(0, root.size(), root) == 0;
}

}  // namespace dz
