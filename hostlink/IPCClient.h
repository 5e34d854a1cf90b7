#pragma once
// TIPCClient: one exchange with a host server. A client is made for a single request:
// name the server, ExecuteConnected once, read Answered and the reply, free the client.
//
// The pipe "\\<ComputerName>\pipe\<ServerName>" is opened through the platform's local
// pipes. Connecting fails at once when no server has that name (or the name cannot be one,
// or the server runs as another user, or sits on another computer); a server whose every
// instance is busy is waited for until the time-out. Reads and writes fail when the peer
// stays silent for ReplyTimeout milliseconds, so a hung host cannot hang the tool. Work that is
// cancelled (HostCallCancel.h) ends its client's exchange at once and connects no more.
//
// Failures are reported by Connected/Answered being false, never by an exception. A
// reply returned after a failed read holds whatever did arrive.

#include <cstdint>
#include <memory>
#include <string>

#include "hostlink/MessageData.h"
#include "platform/ByteChannel.h"

namespace dz {

// Silence bound (ms) that new clients start with; 60 s unless changed (tests lower it).
int DefaultReplyTimeout();
void SetDefaultReplyTimeout(int milliseconds);

class TIPCClient {
 public:
  TIPCClient();
  ~TIPCClient();  // disconnects (with farewell) if still connected
  TIPCClient(const TIPCClient&) = delete;
  TIPCClient& operator=(const TIPCClient&) = delete;

  const std::string& ComputerName() const { return computerName_; }
  void SetComputerName(const std::string& name);
  const std::string& ServerName() const { return serverName_; }
  void SetServerName(const std::string& name);
  // "\\" + ComputerName + "\pipe\" + ServerName.
  const std::string& PipeName() const { return pipeName_; }

  bool Connected() const { return connected_; }
  bool Answered() const { return answered_; }

  int ReplyTimeout() const { return replyTimeout_; }
  void SetReplyTimeout(int milliseconds) { replyTimeout_ = milliseconds; }

  // Opens the connection, retrying a busy server until `timeOut` ms have passed.
  void ConnectClient(std::uint32_t timeOut);
  // One exchange on the open connection. Null when the request could not be written.
  MessageDataPtr ExecuteRequest(const MessageDataPtr& request);
  // Sends the farewell (its result ignored) and closes.
  void DisconnectClient();
  // Connect, exchange, disconnect: the one operation callers use. Null (and Answered
  // false) when no connection was made; nothing is written then.
  MessageDataPtr ExecuteConnected(const MessageDataPtr& request, std::uint32_t timeOut);

  // Uses `channel` as the open connection instead of connecting: how tests and the fuzz
  // target run the exchange over memory or over I/O that fails on purpose.
  void AttachChannel(std::unique_ptr<ByteChannel> channel);

 private:
  void RebuildPipeName();

  // The cancel object of the creating thread's work (may be null): it interrupts the
  // open connection and refuses new ones.
  std::shared_ptr<class THostCallCancel> cancel_;
  std::string computerName_ = ".";
  std::string serverName_;
  std::string pipeName_;
  std::unique_ptr<ByteChannel> channel_;
  bool connected_ = false;
  bool answered_ = false;
  int replyTimeout_;
};

}  // namespace dz
