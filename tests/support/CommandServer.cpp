#include "tests/support/CommandServer.h"

#include "docdata/Cp1252.h"
#include "hostlink/StreamStorage.h"

namespace dz::test {

ScriptedServer::Script CommandScript(CommandHandler handler) {
  return [handler](ByteChannel& peer) {
    std::string raw = ReadRawRequest(peer);
    // Identifier length (8 bytes, the identifier is empty), data size (8 bytes), data.
    if (raw.size() < 16) return;
    TStreamStorage request;
    request.AppendRaw(raw.data() + 16, raw.size() - 16);
    request.SetPosition(0);
    const std::string answer = handler(Utf16ToCp1252(request.ReadUnicodeString(u"COMMAND")),
                                       Utf16ToCp1252(request.ReadUnicodeString(u"DATA")));
    TStreamStorage reply;
    reply.WriteUnicodeString(u"DATA", Cp1252ToUtf16(answer));
    const std::string bytes = WireMessage(reply.Bytes());
    WriteAll(peer, bytes.data(), bytes.size());
    ReadUntilClosed(peer);
  };
}

}  // namespace dz::test
