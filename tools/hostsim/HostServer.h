#pragma once
// HostServer: the pipe server of the host stand-in. It listens under its server name,
// registers that name in the server list while it serves, and answers each request by
// the handler registered for its "COMMAND". Like the host's pipe server it has a fixed
// number of instances (threads), each taking the next waiting connection and serving it
// to the client's farewell; when all are busy, clients wait in the pipe's queue.
//
// Built-in commands: "SERVERPROCESS", "DBPATH", "GETJSON", "CANPOSTJSON",
// "MARVELLAMETRICS", "OUTDATA". More are added with Handle(); an unknown command is
// answered with empty text, as the host does.
//
// Ownership: the server owns its listener, connections and open document. Failures are
// values (Start returns false with a reason); handlers must not throw (one that does is
// answered with "Error: " and the message).

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "hostlink/MessageData.h"
#include "platform/LocalPipe.h"
#include "tools/hostsim/OpenDocument.h"

namespace dz::hostsim {

struct HostRequest {
  std::string command;  // 8-bit
  std::string data;     // 8-bit; empty when the request had no "DATA"
  std::int32_t index = -1;
  bool hasIndex = false;
  bool sync = false;  // "SYNC" present and true
};

using HostHandler = std::function<std::string(const HostRequest&)>;

struct HostServerOptions {
  std::string name = "MVXSIM";
  std::string databaseDir;   // answered to "DBPATH", without trailing delimiter
  std::string documentFile;  // the open document
  std::string canPost = "1";
  std::string metrics = "100,100,1200,800";
  bool registerAsDefault = false;
  int processId = 0;        // answered to "SERVERPROCESS"; 0 = this process
  std::string journalFile;  // one line per request when set
  int replyTimeoutMs = 60000;
  int instances = 4;  // connections served at the same time

  // A host that fails on purpose, for tests. Per command, what happens after its handler
  // ran (so files it writes are there) instead of the reply: "silent" (keep the connection
  // and say nothing), "hangup" (close it), "die" (the process ends at once), "cut:N" (only
  // the first N bytes of the reply, then close), "bytes:HEX" (these bytes, then close).
  std::map<std::string, std::string> faults;
  int dieAfter = -1;       // >= 0: the process ends at once on receiving request dieAfter + 1
  std::string resultFile;  // set: every ANYQUERY's result file gets this file's bytes
};

// Checks a fault text of HostServerOptions::faults.
bool IsFaultKind(const std::string& kind);

class HostServer {
 public:
  explicit HostServer(HostServerOptions options);
  ~HostServer();  // Stop() and Finish()
  HostServer(const HostServer&) = delete;
  HostServer& operator=(const HostServer&) = delete;

  // Registers (or replaces) the handler of a command.
  void Handle(const std::string& command, HostHandler handler);

  // Prepares the document, listens and registers the name. False with a reason.
  bool Start(std::string* error);

  // Serves until Stop() is called or `stop` (from InstallStopSignals) is signalled, then
  // finishes: stops accepting, ends open connections, removes the name from the list and
  // the pipe.
  void Run(NativeHandle stop = kNoHandle);

  // Makes Run return; safe from any thread.
  void Stop();

  // The answer to one request (what a connection sends back as "DATA").
  std::string Dispatch(const HostRequest& request);

  const HostServerOptions& Options() const { return options_; }
  OpenDocument& Document() { return document_; }
  // Where clients reach it: the socket file, or the pipe name on Windows.
  const std::string& Address() const { return listener_.Address(); }

 private:
  void Instance();
  void Serve(PipeChannel& channel);
  void WriteGivenResult(const HostRequest& request);
  void Fail(PipeChannel& channel, const std::string& kind, IMessageData& reply);
  void Journal(const HostRequest& request);
  void Finish();

  HostServerOptions options_;
  OpenDocument document_;
  PipeListener listener_;
  bool registered_ = false;
  std::mutex handlersLock_;
  std::map<std::string, HostHandler> handlers_;
  std::mutex journalLock_;
  // The connections being served, so that stopping can end them.
  std::mutex activeLock_;
  std::vector<PipeChannel*> active_;
  bool stopping_ = false;
  std::atomic<int> received_{0};
};

}  // namespace dz::hostsim
