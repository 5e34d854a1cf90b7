#include "platform/LocalPipe.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/Platform.h"

namespace dz {

namespace {

const std::string kLocalPipePrefix = "\\\\.\\pipe\\";

bool MakeAddress(const std::string& path, sockaddr_un& addr) {
  std::memset(&addr, 0, sizeof addr);
  addr.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof addr.sun_path) return false;
  if (path.find('\0') != std::string::npos) return false;
  std::memcpy(addr.sun_path, path.data(), path.size());
  return true;
}

bool NameShapeUsable(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  return name.find_first_of(std::string("/\0", 2)) == std::string::npos;
}

// "<temp>/MVTempDir/pipe/": the same private folder the host link shares with the host,
// so a socket there is as trustworthy as the server list beside it.
std::string PipeFolder() {
  std::string temp = TempPath();
  std::error_code ec;
  std::filesystem::create_directories(temp, ec);  // missing parents; the check follows below
  std::string base = temp + "MVTempDir/";
  if (!EnsurePrivateDir(base)) return {};
  std::string dir = base + "pipe/";
  if (!EnsurePrivateDir(dir)) return {};
  return dir;
}

// Where the socket of `serverName` is, whether or not the folder exists.
std::string SocketPathOf(const std::string& serverName) {
  return TempPath() + "MVTempDir/pipe/" + serverName;
}

// The socket a client connects to. Connecting needs no folder to be made or checked: a
// missing folder is a missing server, and the peer check after connecting decides
// whether the server may be trusted (only this user's servers are).
std::string ClientSocketPath(const std::string& serverName) {
  return PipeNameUsable(serverName) ? SocketPathOf(serverName) : std::string();
}

int Fd(NativeHandle h) {
  return static_cast<int>(h);
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

// True when the process at the other end of the connected socket runs as this user.
bool PeerIsOurs(int fd) {
  ucred peer{};
  socklen_t size = sizeof peer;
  return getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && size == sizeof peer &&
         IsCurrentUserIdentity(std::to_string(static_cast<unsigned long>(peer.uid)));
}

ConnectResult ConnectSocketPath(const std::string& path, int silenceMs) {
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
    // A server of another user counts as missing, wherever its socket was found.
    if (!PeerIsOurs(fd)) {
      close(fd);
      result.status = ConnectStatus::Missing;
      return result;
    }
    result.status = ConnectStatus::Connected;
    result.channel = std::make_unique<PipeChannel>(fd, silenceMs);
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

}  // namespace

PipeChannel::PipeChannel(NativeHandle handle, int silenceMs)
    : handle_(handle), silenceMs_(silenceMs) {}

PipeChannel::~PipeChannel() {
  Close();
}

std::ptrdiff_t PipeChannel::Read(void* buffer, std::size_t size) {
  if (handle_ < 0) return -1;
  for (;;) {
    ssize_t n = recv(Fd(handle_), buffer, size, 0);
    if (n >= 0) return n;
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      if (!WaitReady(Fd(handle_), POLLIN, silenceMs_)) return -1;
      continue;
    }
    return -1;
  }
}

std::ptrdiff_t PipeChannel::Write(const void* buffer, std::size_t size) {
  if (handle_ < 0) return -1;
  for (;;) {
    // MSG_NOSIGNAL: a peer that went away must give a failed write, not kill the process.
    ssize_t n = send(Fd(handle_), buffer, size, MSG_NOSIGNAL);
    if (n >= 0) return n;
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      if (!WaitReady(Fd(handle_), POLLOUT, silenceMs_)) return -1;
      continue;
    }
    return -1;
  }
}

void PipeChannel::Close() {
  if (handle_ >= 0) {
    close(Fd(handle_));
    handle_ = kNoHandle;
  }
}

void PipeChannel::Shutdown() {
  wake_ = kNoHandle;  // shutdown() itself wakes a blocked call here
  if (handle_ >= 0) shutdown(Fd(handle_), SHUT_RDWR);
}

std::string LocalPipeName(const std::string& serverName) {
  return kLocalPipePrefix + serverName;
}

bool PipeNameUsable(const std::string& serverName) {
  if (!NameShapeUsable(serverName)) return false;
  sockaddr_un addr;
  // The folder is not made here: the name is judged against where it would be.
  return MakeAddress(SocketPathOf(serverName), addr);
}

std::string PipeAddress(const std::string& serverName) {
  if (!PipeNameUsable(serverName)) return {};
  std::string folder = PipeFolder();
  if (folder.empty()) return {};
  return folder + serverName;
}

ConnectResult TryConnectPipe(const std::string& serverName, int silenceMs) {
  const std::string path = ClientSocketPath(serverName);
  if (path.empty()) return {};
  return ConnectSocketPath(path, silenceMs);
}

ConnectResult ConnectPipe(const std::string& pipeName, std::uint32_t timeOut, int silenceMs) {
  // Only servers on this machine are reachable; the name is one path component.
  if (pipeName.compare(0, kLocalPipePrefix.size(), kLocalPipePrefix) != 0) return {};
  const std::string path = ClientSocketPath(pipeName.substr(kLocalPipePrefix.size()));
  if (path.empty()) return {};
  const auto start = std::chrono::steady_clock::now();
  int pauseMs = 1;
  ConnectResult r;
  r.status = ConnectStatus::Busy;
  for (;;) {
    auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::steady_clock::now() - start)
                       .count();
    if (elapsed >= static_cast<std::int64_t>(timeOut)) return r;
    r = ConnectSocketPath(path, silenceMs);
    if (r.status != ConnectStatus::Busy) return r;  // connected, no such server, or not ours
    // Busy: every place in the server's queue is taken. There is no notification when
    // one frees up, so look again shortly, but never past the time-out.
    std::int64_t left = static_cast<std::int64_t>(timeOut) - elapsed;
    SleepMs(static_cast<int>(std::min<std::int64_t>(pauseMs, left)));
    pauseMs = std::min(pauseMs * 2, 20);
  }
}

struct PipeListener::State {
  std::atomic<int> fd{-1};
  int wakeRead = -1;
  int wakeWrite = -1;
  std::atomic<bool> woken{false};
  unsigned long long inode = 0;
};

PipeListener::PipeListener() : state_(std::make_unique<State>()) {
  int p[2];
  if (pipe2(p, O_CLOEXEC | O_NONBLOCK) == 0) {
    state_->wakeRead = p[0];
    state_->wakeWrite = p[1];
  }
}

PipeListener::~PipeListener() {
  Close();
  if (state_->wakeRead >= 0) close(state_->wakeRead);
  if (state_->wakeWrite >= 0) close(state_->wakeWrite);
}

bool PipeListener::Listening() const {
  return state_->fd >= 0;
}

bool PipeListener::Listen(const std::string& serverName, int backlog, std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  if (state_->fd >= 0) return fail("already listening");
  if (state_->wakeRead < 0) return fail("no wake-up pipe");
  if (!PipeNameUsable(serverName))
    return fail("invalid server name \"" + serverName + "\" (empty, a path or too long)");
  const std::string path = PipeAddress(serverName);
  if (path.empty()) return fail("the folder " + TempPath() + "MVTempDir is not usable");
  sockaddr_un addr;
  MakeAddress(path, addr);

  struct stat st {};
  if (lstat(path.c_str(), &st) == 0) {
    if (!S_ISSOCK(st.st_mode)) return fail(path + " exists and is not a socket");
    ConnectResult probe = ConnectSocketPath(path, 0);
    if (probe.status == ConnectStatus::Connected || probe.status == ConnectStatus::Busy)
      return fail("a server is already listening at " + path);
    unlink(path.c_str());  // left behind by a server that died
  }

  // Blocking: Accept waits in accept itself (see there).
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
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
  if (lstat(path.c_str(), &st) == 0) state_->inode = st.st_ino;
  state_->fd = fd;
  address_ = path;
  return true;
}

std::unique_ptr<PipeChannel> PipeListener::Accept(int silenceMs) {
  // A blocking accept: the kernel hands each connection to exactly one of the threads
  // waiting here, where a poll on the listening socket would wake all of them. Wake()
  // shuts the socket down for reading, which makes every waiting and later accept fail.
  for (;;) {
    const int fd = state_->fd.load();
    if (fd < 0 || state_->woken.load()) return nullptr;
    int c = accept4(fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (c >= 0) return std::make_unique<PipeChannel>(c, silenceMs);
    if (errno == EINTR || errno == ECONNABORTED) continue;
    return nullptr;
  }
}

void PipeListener::Wake() {
  state_->woken.store(true);
  const int fd = state_->fd.load();
  if (fd >= 0) shutdown(fd, SHUT_RD);
  if (state_->wakeWrite >= 0) {
    char c = 1;
    ssize_t n = write(state_->wakeWrite, &c, 1);
    (void)n;  // a full pipe is already awake
  }
}

void PipeListener::WaitUntilWoken(NativeHandle stop) {
  const int stopFd = Fd(stop);
  for (;;) {
    pollfd p[2] = {{state_->wakeRead, POLLIN, 0}, {stopFd, POLLIN, 0}};
    int r = poll(p, stopFd >= 0 ? 2 : 1, -1);
    if (r > 0 || (r < 0 && errno != EINTR)) return;
  }
}

void PipeListener::Close() {
  const int fd = state_->fd.exchange(-1);
  if (fd < 0) return;
  shutdown(fd, SHUT_RD);  // lets a thread blocked in Accept go before the socket does
  close(fd);
  // Remove the file only if it is still the one we bound: a successor may have taken the
  // name over after we stopped answering.
  struct stat st {};
  if (lstat(address_.c_str(), &st) == 0 && S_ISSOCK(st.st_mode) && st.st_ino == state_->inode)
    unlink(address_.c_str());
}

}  // namespace dz
