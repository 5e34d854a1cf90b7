#pragma once
// Local pipes: the transport between the tool and the host servers on this machine. A
// server listens under a name; a client connects to the pipe "\\.\pipe\NAME" by that name.
// On Windows these are real named pipes. Here a Unix-domain stream socket stands in for
// each: "<temp>/MVTempDir/pipe/NAME", in a folder private to the user.
//
// Only servers running as the same user are reached: a pipe whose server runs as another
// account counts as missing (here the peer's credentials are checked on connecting, and
// servers put their sockets in a private folder).
//
// Ownership: channels and listeners own their handles and close them when they go.
// Failures are values (status codes, null channels, false); nothing here throws.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/ByteChannel.h"
#include "platform/NativeHandle.h"

namespace dz {

// A connected pipe. Reads and writes block, but never longer than the silence bound:
// when the peer sends or takes nothing for that long, the call fails (-1), so a hung
// peer cannot hang its caller.
class PipeChannel : public ByteChannel {
 public:
  // Takes ownership of a connected handle (non-blocking socket here; a pipe opened for
  // overlapped I/O on Windows).
  explicit PipeChannel(NativeHandle handle, int silenceMs = 60000);
  ~PipeChannel() override;
  PipeChannel(const PipeChannel&) = delete;
  PipeChannel& operator=(const PipeChannel&) = delete;

  std::ptrdiff_t Read(void* buffer, std::size_t size) override;
  std::ptrdiff_t Write(const void* buffer, std::size_t size) override;
  void Close() override;

  // Milliseconds without progress after which a read or write fails; negative = no bound.
  void SetSilenceTimeout(int ms) { silenceMs_ = ms; }
  int SilenceTimeout() const { return silenceMs_; }

  // Ends both directions without releasing the handle, so that a read or write blocked in
  // another thread returns at once. Used to stop servers.
  void Shutdown();
  void Interrupt() override { Shutdown(); }

 private:
  NativeHandle handle_;
  NativeHandle wake_ = kNoHandle;  // Windows only: signalled by Shutdown
  int silenceMs_;
};

enum class ConnectStatus {
  Connected,  // channel set
  Missing,    // no server under that name (or one running as another user)
  Busy,       // the server exists but every instance of it is taken
  Failed,     // anything else (access denied, invalid name, ...)
};

struct ConnectResult {
  ConnectStatus status = ConnectStatus::Failed;
  std::unique_ptr<PipeChannel> channel;
};

// "\\.\pipe\NAME" for a server name.
std::string LocalPipeName(const std::string& serverName);

// True when `serverName` can name a local pipe: not empty, not "." or "..", no path
// delimiter or NUL, and short enough for the transport.
bool PipeNameUsable(const std::string& serverName);

// One connection attempt to the local server `serverName`, without waiting: the caller
// decides whether to retry a busy server.
ConnectResult TryConnectPipe(const std::string& serverName, int silenceMs = 60000);

// The connect step of a client: opens `pipeName` ("\\COMPUTER\pipe\NAME"; only "." is
// reachable), waiting for a busy server for the rest of `timeOut` milliseconds. A missing
// server, or one that cannot be opened for another reason, ends the attempt at once.
ConnectResult ConnectPipe(const std::string& pipeName, std::uint32_t timeOut,
                          int silenceMs = 60000);

// Where the transport of a server name lives: its socket file here, the pipe name on
// Windows. Empty when the name is unusable or the private folder cannot be made.
std::string PipeAddress(const std::string& serverName);

// The listening side.
class PipeListener {
 public:
  PipeListener();
  ~PipeListener();  // Close()
  PipeListener(const PipeListener&) = delete;
  PipeListener& operator=(const PipeListener&) = delete;

  // Listens under `serverName`, keeping `backlog` connections waiting at most (further
  // clients find the server busy), accessible to the current user only. A leftover of a
  // server that died is replaced; a name where a server still answers is refused with
  // false and a reason.
  bool Listen(const std::string& serverName, int backlog, std::string* error = nullptr);

  // Waits for the next connection and returns it (with the given silence bound). Returns
  // null once Wake() was called, after Close(), or on failure. Several threads may wait
  // at once; each connection wakes only the one that takes it. (A server that also obeys
  // a stop handle waits for it with WaitUntilWoken and then calls Wake.)
  std::unique_ptr<PipeChannel> Accept(int silenceMs = 60000);

  // Makes the current and every later Accept return null. Safe from other threads and
  // from signal handlers.
  void Wake();

  // Blocks until Wake() is called or `stop` is signalled.
  void WaitUntilWoken(NativeHandle stop = kNoHandle);

  // Stops listening and removes what Listen made (a socket file only if it is still ours).
  void Close();

  // PipeAddress of the name listened on.
  const std::string& Address() const { return address_; }
  bool Listening() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
  std::string address_;
};

}  // namespace dz
