#include "tools/hostsim/HostServer.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "docdata/Cp1252.h"
#include "hostlink/MVTempDir.h"
#include "hostlink/MessageData.h"
#include "hostlink/PipeWire.h"
#include "platform/Platform.h"
#include "tools/hostsim/ServerList.h"

namespace dz::hostsim {

namespace {

HostRequest Decode(IMessageData& message) {
  TStreamStorage& store = message.Data();
  HostRequest r;
  r.command = Utf16ToCp1252(store.ReadUnicodeString(u"COMMAND"));
  r.data = Utf16ToCp1252(store.ReadUnicodeString(u"DATA"));
  std::string_view v;
  if (store.FindValue(u"INDEX", v) && v.size() == 4) {
    std::uint32_t u = 0;
    for (int i = 3; i >= 0; --i) u = (u << 8) | static_cast<unsigned char>(v[i]);
    r.index = static_cast<std::int32_t>(u);
    r.hasIndex = true;
  }
  if (store.FindValue(u"SYNC", v) && v.size() == 1) r.sync = v[0] != 0;
  return r;
}

std::string HexBytes(const std::string& hex) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return bytes;
}

bool IsHex(const std::string& text) {
  return text.size() % 2 == 0 &&
         text.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
}

}  // namespace

bool IsFaultKind(const std::string& kind) {
  if (kind == "silent" || kind == "hangup" || kind == "die") return true;
  if (kind.rfind("cut:", 0) == 0)
    return kind.size() > 4 && kind.find_first_not_of("0123456789", 4) == std::string::npos;
  return kind.rfind("bytes:", 0) == 0 && IsHex(kind.substr(6));
}

HostServer::HostServer(HostServerOptions options)
    : options_(std::move(options)), document_(options_.documentFile) {
  Handle("SERVERPROCESS", [this](const HostRequest&) {
    int pid = options_.processId != 0 ? options_.processId : CurrentProcessId();
    return options_.name + '\b' + std::to_string(pid);
  });
  Handle("DBPATH", [this](const HostRequest&) { return options_.databaseDir; });
  Handle("GETJSON", [this](const HostRequest&) { return document_.ExportCopy(); });
  Handle("CANPOSTJSON", [this](const HostRequest&) { return options_.canPost; });
  Handle("MARVELLAMETRICS", [this](const HostRequest&) { return options_.metrics; });
  Handle("OUTDATA", [this](const HostRequest& r) { return document_.AppendImport(r.data); });
}

HostServer::~HostServer() {
  Stop();
  Finish();
}

void HostServer::Handle(const std::string& command, HostHandler handler) {
  std::lock_guard<std::mutex> lock(handlersLock_);
  handlers_[command] = std::move(handler);
}

bool HostServer::Start(std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  if (!PipeNameUsable(options_.name)) return fail("invalid server name \"" + options_.name + "\"");
  if (!document_.Prepare(error)) return false;
  if (MVTempDir().empty()) return fail("the folder " + TempPath() + "MVTempDir is not usable");
  if (!listener_.Listen(options_.name, 64, error)) return false;
  if (!RegisterServerName(options_.name, options_.registerAsDefault)) {
    listener_.Close();
    return fail("cannot write the server list " + ServerListFileName());
  }
  registered_ = true;
  return true;
}

void HostServer::Run(NativeHandle stop) {
  if (!listener_.Listening()) return;
  {
    std::lock_guard<std::mutex> lock(activeLock_);
    stopping_ = false;
  }
  std::vector<std::thread> instances;
  for (int i = 0; i < std::max(1, options_.instances); ++i)
    instances.emplace_back([this] { Instance(); });
  listener_.WaitUntilWoken(stop);
  listener_.Wake();  // every instance's Accept returns from now on
  {
    std::lock_guard<std::mutex> lock(activeLock_);
    stopping_ = true;
    for (PipeChannel* c : active_) c->Shutdown();
  }
  for (std::thread& t : instances) t.join();
  Finish();
}

void HostServer::Instance() {
  for (;;) {
    std::unique_ptr<PipeChannel> channel = listener_.Accept(options_.replyTimeoutMs);
    if (!channel) return;
    {
      std::lock_guard<std::mutex> lock(activeLock_);
      if (stopping_) return;
      active_.push_back(channel.get());
    }
    Serve(*channel);
    std::lock_guard<std::mutex> lock(activeLock_);
    active_.erase(std::find(active_.begin(), active_.end(), channel.get()));
  }
}

void HostServer::Stop() {
  listener_.Wake();
}

void HostServer::Finish() {
  // Take the name out first: from now on no client should pick this server.
  if (registered_) {
    UnregisterServerName(options_.name);
    registered_ = false;
  }
  listener_.Close();
}

void HostServer::Serve(PipeChannel& channel) {
  // A request arrives in several small writes; reading ahead takes them in one go.
  BufferedChannel in(channel);
  for (;;) {
    std::int64_t idLength = 0;
    if (!ReadPipeCount(in, idLength) || idLength == PipeFarewell) return;
    MessageDataPtr request = CreateMessageData();
    if (!ReadPipeMessageBody(in, idLength, *request)) return;
    HostRequest r = Decode(*request);
    Journal(r);
    if (options_.dieAfter >= 0 && ++received_ > options_.dieAfter) std::_Exit(3);
    MessageDataPtr reply = CreateMessageData();
    reply->Data().WriteUnicodeString(u"DATA", Cp1252ToUtf16(Dispatch(r)));
    if (r.command == "ANYQUERY" && !options_.resultFile.empty()) WriteGivenResult(r);
    auto fault = options_.faults.find(r.command);
    if (fault != options_.faults.end()) return Fail(channel, fault->second, *reply);
    const std::string bytes = PipeMessageBytes(*reply);  // one write: one wake-up for the client
    if (!WriteAll(channel, bytes.data(), bytes.size())) return;
  }
}

void HostServer::WriteGivenResult(const HostRequest& request) {
  const std::size_t at = request.data.rfind('\b');
  if (at == std::string::npos) return;
  std::string bytes;
  ReadWholeFile(options_.resultFile, bytes);
  WriteWholeFile(request.data.substr(at + 1), bytes);
}

void HostServer::Fail(PipeChannel& channel, const std::string& kind, IMessageData& reply) {
  if (kind == "die") std::_Exit(3);
  if (kind == "hangup") return;
  if (kind == "silent") {
    // Until the client gives up (or stopping ends the connection).
    char byte;
    while (channel.Read(&byte, 1) > 0) {
    }
    return;
  }
  std::string bytes;
  if (kind.rfind("bytes:", 0) == 0) {
    bytes = HexBytes(kind.substr(6));
  } else {
    bytes = PipeMessageBytes(reply).substr(0, std::stoul(kind.substr(4)));
  }
  WriteAll(channel, bytes.data(), bytes.size());
}

std::string HostServer::Dispatch(const HostRequest& request) {
  HostHandler handler;
  {
    std::lock_guard<std::mutex> lock(handlersLock_);
    auto it = handlers_.find(request.command);
    if (it == handlers_.end()) return {};
    handler = it->second;
  }
  try {
    return handler(request);
  } catch (const std::exception& e) {
    return std::string("Error: ") + e.what();
  }
}

void HostServer::Journal(const HostRequest& r) {
  if (options_.journalFile.empty()) return;
  std::lock_guard<std::mutex> lock(journalLock_);
  AppendToFile(options_.journalFile,
               r.command + '\t' + (r.hasIndex ? std::to_string(r.index) : "-") + '\t' +
                   (r.sync ? "SYNC" : "-") + '\t' + std::to_string(r.data.size()) + '\n');
}

}  // namespace dz::hostsim
