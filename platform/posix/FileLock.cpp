#include "platform/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/ChildProcess.h"
#include "platform/Platform.h"

namespace dz {

FileLock::FileLock(const std::string& path) {
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return;
  handle_ = fd;
  int r;
  do {
    r = flock(fd, LOCK_EX);
  } while (r != 0 && errno == EINTR);
  locked_ = r == 0;
}

FileLock::~FileLock() {
  if (handle_ != kNoHandle) close(static_cast<int>(handle_));  // releases the lock
}

bool ReplaceFileAtomically(const std::string& path, const std::string& data) {
  std::string tmp = path + "." + NewGuidText() + ".tmp";
  int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  bool ok = WriteFully(fd, data);
  if (ok && fsync(fd) != 0) ok = false;
  if (close(fd) != 0) ok = false;
  if (ok && std::rename(tmp.c_str(), path.c_str()) != 0) ok = false;
  if (!ok) unlink(tmp.c_str());
  return ok;
}

}  // namespace dz
