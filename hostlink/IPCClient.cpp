#include "hostlink/IPCClient.h"

#include <algorithm>
#include <atomic>
#include <chrono>

#include "hostlink/HostCallCancel.h"
#include "hostlink/MVTempDir.h"
#include "hostlink/PipeWire.h"
#include "platform/LocalSocket.h"
#include "platform/Platform.h"

namespace dz {

namespace {
std::atomic<int> gDefaultReplyTimeout{60000};
}

int DefaultReplyTimeout() {
  return gDefaultReplyTimeout.load();
}
void SetDefaultReplyTimeout(int milliseconds) {
  gDefaultReplyTimeout.store(milliseconds);
}

TIPCClient::TIPCClient() : cancel_(CurrentHostCallCancel()), replyTimeout_(DefaultReplyTimeout()) {
  RebuildPipeName();
}

TIPCClient::~TIPCClient() {
  DisconnectClient();
}

void TIPCClient::SetComputerName(const std::string& name) {
  computerName_ = name;
  RebuildPipeName();
}

void TIPCClient::SetServerName(const std::string& name) {
  serverName_ = name;
  RebuildPipeName();
}

void TIPCClient::RebuildPipeName() {
  pipeName_ = "\\\\" + computerName_ + "\\pipe\\" + serverName_;
}

std::string TIPCClient::SocketPath() const {
  // Only servers on this machine are reachable; a name is one path component.
  if (computerName_ != ".") return {};
  if (serverName_.empty() || serverName_ == "." || serverName_ == "..") return {};
  if (serverName_.find_first_of(std::string("/\0", 2)) != std::string::npos) return {};
  std::string folder = PipeSocketFolder();
  if (folder.empty()) return {};
  std::string path = folder + serverName_;
  if (!LocalSocketPathFits(path)) return {};
  return path;
}

void TIPCClient::ConnectClient(std::uint32_t timeOut) {
  if (channel_ && cancel_) cancel_->Detach(channel_.get());
  channel_.reset();
  connected_ = false;
  const auto start = std::chrono::steady_clock::now();
  std::string path = SocketPath();
  if (path.empty()) return;
  int pauseMs = 1;
  for (;;) {
    if (cancel_ && cancel_->Cancelled()) return;
    auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::steady_clock::now() - start)
                       .count();
    if (elapsed >= static_cast<std::int64_t>(timeOut)) return;
    ConnectResult r = ConnectLocalSocket(path, replyTimeout_);
    if (r.status == ConnectStatus::Connected) {
      channel_ = std::move(r.channel);
      connected_ = true;
      if (cancel_) cancel_->Attach(channel_.get());
      return;
    }
    if (r.status != ConnectStatus::Busy) return;  // no such server, or not ours to open
    // Busy: every place in the server's queue is taken. There is no notification when
    // one frees up, so look again shortly, but never past the time-out.
    std::int64_t left = static_cast<std::int64_t>(timeOut) - elapsed;
    SleepMs(static_cast<int>(std::min<std::int64_t>(pauseMs, left)));
    pauseMs = std::min(pauseMs * 2, 20);
  }
}

MessageDataPtr TIPCClient::ExecuteRequest(const MessageDataPtr& request) {
  answered_ = false;
  if (!channel_ || !request) return nullptr;
  if (!WritePipeMessage(*channel_, *request)) return nullptr;
  MessageDataPtr reply = CreateMessageData();
  std::int64_t idLength = 0;
  if (!ReadPipeCount(*channel_, idLength)) return reply;
  if (!ReadPipeMessageBody(*channel_, idLength, *reply)) return reply;
  reply->Data().SetPosition(0);
  answered_ = true;
  return reply;
}

void TIPCClient::DisconnectClient() {
  if (channel_) {
    if (cancel_) cancel_->Detach(channel_.get());
    WritePipeFarewell(*channel_);
    channel_->Close();
    channel_.reset();
  }
  connected_ = false;
}

MessageDataPtr TIPCClient::ExecuteConnected(const MessageDataPtr& request, std::uint32_t timeOut) {
  answered_ = false;
  ConnectClient(timeOut);
  if (!connected_) return nullptr;
  struct DisconnectAtEnd {
    TIPCClient* client;
    ~DisconnectAtEnd() { client->DisconnectClient(); }
  } guard{this};
  return ExecuteRequest(request);
}

void TIPCClient::AttachChannel(std::unique_ptr<ByteChannel> channel) {
  if (channel_ && cancel_) cancel_->Detach(channel_.get());
  channel_ = std::move(channel);
  connected_ = channel_ != nullptr;
  if (channel_ && cancel_) cancel_->Attach(channel_.get());
}

}  // namespace dz
