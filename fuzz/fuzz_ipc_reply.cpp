// The client's reading of a reply, fed from a buffer instead of a socket: identifier and
// data sizes as announced by the peer, cut anywhere, in reads of any size. The first
// byte sets the largest piece a read returns; the rest is what the server sends.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "hostlink/IPCClient.h"
#include "platform/ByteChannel.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::size_t piece = data[0] == 0 ? 0 : data[0];
  std::string input(reinterpret_cast<const char*>(data + 1), size - 1);

  dz::MessageDataPtr request = dz::CreateMessageData();
  request->Data().WriteUnicodeString(u"COMMAND", u"DBPATH");
  request->Data().WriteInteger(u"INDEX", -1);
  request->Data().WriteBoolean(u"SYNC", true);

  dz::TIPCClient client;
  client.AttachChannel(std::make_unique<dz::MemoryChannel>(input, piece));
  dz::MessageDataPtr reply = client.ExecuteRequest(request);
  if (!reply) __builtin_trap();  // the request always goes out to memory
  // Nothing beyond what arrived may end up in the reply.
  if (reply->ID().size() + static_cast<std::size_t>(reply->Data().Size()) > input.size())
    __builtin_trap();
  std::u16string answer = reply->Data().ReadUnicodeString(u"DATA");
  if (answer.size() * 2 > input.size()) __builtin_trap();
  client.DisconnectClient();
  if (client.Connected()) __builtin_trap();
  return 0;
}
