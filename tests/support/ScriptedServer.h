#pragma once
// Small servers for tests that need exact bytes or a misbehaving peer, listening on a real
// local socket, plus builders for hand-made message bytes.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/LocalPipe.h"
#include "tests/support/TempDir.h"

namespace dz::test {

// A temporary folder that is also this process's temporary folder (TMPDIR, or TMP on
// Windows) while the object lives, and so that of every child started meanwhile: the host
// link's "<temp>/MVTempDir" and every server socket then live inside it and vanish with it.
class ScopedTempFolder {
 public:
  ScopedTempFolder();
  ~ScopedTempFolder();
  const std::string& path() const { return dir_.path(); }

 private:
  TempDir dir_;
  std::string oldValue_;
  bool hadOld_ = false;
};

// Listens under the pipe name `serverName` and runs `script` for each accepted connection,
// one after the other, on a background thread. The destructor stops it and removes the pipe.
class ScriptedServer {
 public:
  using Script = std::function<void(ByteChannel& peer)>;
  // With `holdAccepting` the server listens but accepts nothing until StartAccepting(),
  // so its queue (of `backlog` places) can be filled to make it busy.
  ScriptedServer(const std::string& serverName, Script script, int backlog = 16,
                 bool holdAccepting = false);
  ~ScriptedServer();
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  void StartAccepting();
  // Stops listening, as a host that goes away: later clients find nobody. Callable from
  // the script itself.
  void StopListening();
  // Waits until `count` connections were served to the end of their script (at most a
  // minute); false when that did not happen.
  bool WaitServed(int count);
  int Served();

 private:
  void Loop();
  PipeListener listener_;
  Script script_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool accepting_;
  bool stopping_ = false;
  int served_ = 0;
  std::thread thread_;
};

// Connects to the server `serverName` until its queue is full, and holds those
// connections: every other client then finds the server busy.
class QueueFiller {
 public:
  explicit QueueFiller(const std::string& serverName);
  bool Full() const { return full_; }

 private:
  std::vector<std::unique_ptr<PipeChannel>> held_;
  bool full_ = false;
};

// Reads one request as a client sends it (identifier length, identifier, data size,
// data) and returns exactly the bytes read; what arrived when the peer ended early.
std::string ReadRawRequest(ByteChannel& peer);
// Reads until the peer closes or stays silent, and returns everything read.
std::string ReadUntilClosed(ByteChannel& peer);

// Hand-built bytes of the wire and message formats.
std::string Int32LE(std::int32_t v);
std::string Int64LE(std::int64_t v);
std::string Utf16LE(std::u16string_view text);
// One store entry: name length, UTF-16LE name, value size, value bytes.
std::string Entry(std::u16string_view name, std::string_view value);
std::string TextEntry(std::u16string_view name, std::u16string_view text);
// A whole message on the wire: identifier length, identifier, data size, data.
std::string WireMessage(std::string_view data, std::string_view id = {});
// The farewell a client sends after its exchange.
std::string FarewellBytes();

}  // namespace dz::test
