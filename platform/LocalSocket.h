#pragma once
// Local stream sockets: the transport between the tool and the host servers on this
// machine. A server listens on a socket file; a client connects to it by path.
//
// Ownership: channels and listeners own their descriptors and close them when they go.
// Failures are values (status codes, null channels, false); nothing here throws.

#include <memory>
#include <string>

#include "platform/ByteChannel.h"

namespace dz {

// A connected socket. Reads and writes block, but never longer than the silence bound:
// when the peer sends or takes nothing for that long, the call fails (-1), so a hung
// peer cannot hang its caller.
class SocketChannel : public ByteChannel {
 public:
  // Takes ownership of a connected, non-blocking socket descriptor.
  explicit SocketChannel(int fd, int silenceMs = 60000);
  ~SocketChannel() override;
  SocketChannel(const SocketChannel&) = delete;
  SocketChannel& operator=(const SocketChannel&) = delete;

  std::ptrdiff_t Read(void* buffer, std::size_t size) override;
  std::ptrdiff_t Write(const void* buffer, std::size_t size) override;
  void Close() override;

  // Milliseconds without progress after which a read or write fails; negative = no bound.
  void SetSilenceTimeout(int ms) { silenceMs_ = ms; }
  int SilenceTimeout() const { return silenceMs_; }

  // Ends both directions without releasing the descriptor, so that a read or write
  // blocked in another thread returns at once. Used to stop servers.
  void Shutdown();
  void Interrupt() override { Shutdown(); }

 private:
  int fd_;
  int silenceMs_;
};

enum class ConnectStatus {
  Connected,  // channel set
  Missing,    // no socket file, or nobody listens on it: no server under that name
  Busy,       // the server exists but its queue of waiting connections is full
  Failed,     // anything else (access denied, path too long, not a socket, ...)
};

struct ConnectResult {
  ConnectStatus status = ConnectStatus::Failed;
  std::unique_ptr<SocketChannel> channel;
};

// One connection attempt, without waiting: the caller decides whether to retry a busy
// server.
ConnectResult ConnectLocalSocket(const std::string& path, int silenceMs = 60000);

// True when `path` fits into a socket address (the limit is about a hundred bytes).
bool LocalSocketPathFits(const std::string& path);

// The listening side.
class LocalListener {
 public:
  LocalListener();
  ~LocalListener();  // Close()
  LocalListener(const LocalListener&) = delete;
  LocalListener& operator=(const LocalListener&) = delete;

  // Binds to `path` and listens with the given queue length. A socket file that nobody
  // listens on any more (left behind by a process that died) is replaced; a path where a
  // server still answers, or that is not a socket, is refused with false and a reason.
  bool Listen(const std::string& path, int backlog, std::string* error = nullptr);

  // Waits for the next connection and returns it (non-blocking, with the given silence
  // bound). Returns null once Wake() was called, when `stopFd` (if >= 0) becomes readable
  // or is closed by its writer, or on failure.
  std::unique_ptr<SocketChannel> Accept(int stopFd = -1, int silenceMs = 60000);

  // Makes the current and every later Accept return null. Safe from other threads and
  // from signal handlers.
  void Wake();

  // Blocks until Wake() is called or `stopFd` (if >= 0) becomes readable or is closed.
  void WaitUntilWoken(int stopFd = -1);

  // Stops listening and removes the socket file (only if it is still ours).
  void Close();

  const std::string& Path() const { return path_; }
  bool Listening() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
  int wakeRead_ = -1;
  int wakeWrite_ = -1;
  std::string path_;
  unsigned long long inode_ = 0;
};

}  // namespace dz
