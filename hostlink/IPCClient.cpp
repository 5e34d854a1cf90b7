#include "hostlink/IPCClient.h"

#include <atomic>

#include "hostlink/HostCallCancel.h"
#include "hostlink/PipeWire.h"
#include "platform/LocalPipe.h"

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

void TIPCClient::ConnectClient(std::uint32_t timeOut) {
  if (channel_ && cancel_) cancel_->Detach(channel_.get());
  channel_.reset();
  connected_ = false;
  // Cancelled work connects no more; a connection made while it is being cancelled is
  // interrupted as soon as it is attached.
  if (cancel_ && cancel_->Cancelled()) return;
  ConnectResult r = ConnectPipe(pipeName_, timeOut, replyTimeout_);
  if (r.status != ConnectStatus::Connected) return;
  channel_ = std::move(r.channel);
  connected_ = true;
  if (cancel_) cancel_->Attach(channel_.get());
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
