#include "platform/LocalSocket.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace dz {

namespace {

bool MakeAddress(const std::string& path, sockaddr_un& addr) {
  std::memset(&addr, 0, sizeof addr);
  addr.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof addr.sun_path) return false;
  if (path.find('\0') != std::string::npos) return false;
  std::memcpy(addr.sun_path, path.data(), path.size());
  return true;
}

// Waits until the descriptor is ready for `events`; false when the bound passed first
// or the wait failed.
bool WaitReady(int fd, short events, int silenceMs) {
  for (;;) {
    pollfd p{fd, events, 0};
    int r = poll(&p, 1, silenceMs < 0 ? -1 : silenceMs);
    if (r > 0) return true;
    if (r == 0) return false;
    if (errno != EINTR) return false;
  }
}

}  // namespace

SocketChannel::SocketChannel(int fd, int silenceMs) : fd_(fd), silenceMs_(silenceMs) {}

SocketChannel::~SocketChannel() {
  Close();
}

std::ptrdiff_t SocketChannel::Read(void* buffer, std::size_t size) {
  if (fd_ < 0) return -1;
  for (;;) {
    ssize_t n = recv(fd_, buffer, size, 0);
    if (n >= 0) return n;
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      if (!WaitReady(fd_, POLLIN, silenceMs_)) return -1;
      continue;
    }
    return -1;
  }
}

std::ptrdiff_t SocketChannel::Write(const void* buffer, std::size_t size) {
  if (fd_ < 0) return -1;
  for (;;) {
    // MSG_NOSIGNAL: a peer that went away must give a failed write, not kill the process.
    ssize_t n = send(fd_, buffer, size, MSG_NOSIGNAL);
    if (n >= 0) return n;
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      if (!WaitReady(fd_, POLLOUT, silenceMs_)) return -1;
      continue;
    }
    return -1;
  }
}

void SocketChannel::Close() {
  if (fd_ >= 0) {
    close(fd_);
    fd_ = -1;
  }
}

void SocketChannel::Shutdown() {
  if (fd_ >= 0) shutdown(fd_, SHUT_RDWR);
}

bool LocalSocketPathFits(const std::string& path) {
  sockaddr_un addr;
  return MakeAddress(path, addr);
}

ConnectResult ConnectLocalSocket(const std::string& path, int silenceMs) {
  ConnectResult result;
  sockaddr_un addr;
  if (!MakeAddress(path, addr)) return result;
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return result;
  int r;
  do {
    r = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  } while (r != 0 && errno == EINTR);
  if (r == 0) {
    result.status = ConnectStatus::Connected;
    result.channel = std::make_unique<SocketChannel>(fd, silenceMs);
    return result;
  }
  int err = errno;
  close(fd);
  switch (err) {
    case ENOENT:
    case ECONNREFUSED:
      result.status = ConnectStatus::Missing;
      break;
    case EAGAIN:
      result.status = ConnectStatus::Busy;
      break;
    default:
      result.status = ConnectStatus::Failed;
      break;
  }
  return result;
}

LocalListener::LocalListener() {
  int p[2];
  if (pipe2(p, O_CLOEXEC | O_NONBLOCK) == 0) {
    wakeRead_ = p[0];
    wakeWrite_ = p[1];
  }
}

LocalListener::~LocalListener() {
  Close();
  if (wakeRead_ >= 0) close(wakeRead_);
  if (wakeWrite_ >= 0) close(wakeWrite_);
}

bool LocalListener::Listen(const std::string& path, int backlog, std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  if (fd_ >= 0) return fail("already listening");
  if (wakeRead_ < 0) return fail("no wake-up pipe");
  sockaddr_un addr;
  if (!MakeAddress(path, addr)) return fail("socket path empty or too long: " + path);

  struct stat st {};
  if (lstat(path.c_str(), &st) == 0) {
    if (!S_ISSOCK(st.st_mode)) return fail(path + " exists and is not a socket");
    ConnectResult probe = ConnectLocalSocket(path, 0);
    if (probe.status == ConnectStatus::Connected || probe.status == ConnectStatus::Busy)
      return fail("a server is already listening at " + path);
    unlink(path.c_str());  // left behind by a server that died
  }

  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return fail(std::string("socket: ") + std::strerror(errno));
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    std::string why = std::string("bind ") + path + ": " + std::strerror(errno);
    close(fd);
    return fail(why);
  }
  if (listen(fd, backlog) != 0) {
    std::string why = std::string("listen: ") + std::strerror(errno);
    close(fd);
    unlink(path.c_str());
    return fail(why);
  }
  if (lstat(path.c_str(), &st) == 0) inode_ = st.st_ino;
  fd_ = fd;
  path_ = path;
  return true;
}

std::unique_ptr<SocketChannel> LocalListener::Accept(int stopFd, int silenceMs) {
  while (fd_ >= 0) {
    pollfd p[3] = {{fd_, POLLIN, 0}, {wakeRead_, POLLIN, 0}, {stopFd, POLLIN, 0}};
    int r = poll(p, stopFd >= 0 ? 3 : 2, -1);
    if (r < 0) {
      if (errno == EINTR) continue;
      return nullptr;
    }
    if (p[1].revents) return nullptr;
    if (stopFd >= 0 && p[2].revents) return nullptr;
    if (p[0].revents & POLLIN) {
      int c = accept4(fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
      if (c >= 0) return std::make_unique<SocketChannel>(c, silenceMs);
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR || errno == ECONNABORTED)
        continue;
      return nullptr;
    }
    if (p[0].revents) return nullptr;  // error on the listening socket
  }
  return nullptr;
}

void LocalListener::Wake() {
  if (wakeWrite_ >= 0) {
    char c = 1;
    ssize_t n = write(wakeWrite_, &c, 1);
    (void)n;  // a full pipe is already awake
  }
}

void LocalListener::WaitUntilWoken(int stopFd) {
  for (;;) {
    pollfd p[2] = {{wakeRead_, POLLIN, 0}, {stopFd, POLLIN, 0}};
    int r = poll(p, stopFd >= 0 ? 2 : 1, -1);
    if (r > 0 || (r < 0 && errno != EINTR)) return;
  }
}

void LocalListener::Close() {
  if (fd_ < 0) return;
  close(fd_);
  fd_ = -1;
  // Remove the file only if it is still the one we bound: a successor may have taken the
  // name over after we stopped answering.
  struct stat st {};
  if (lstat(path_.c_str(), &st) == 0 && S_ISSOCK(st.st_mode) && st.st_ino == inode_)
    unlink(path_.c_str());
}

}  // namespace dz
