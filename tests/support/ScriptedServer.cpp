#include "tests/support/ScriptedServer.h"

#include <chrono>
#include <cstdlib>
#include <stdexcept>

#include "platform/Platform.h"

namespace dz::test {

namespace {

// Tests set the temporary folder variable while other threads may read the environment (the
// Qt test watchdog does so at the start of every test function). Adding a variable that is
// not there can move the whole environment array under such a reader; replacing the value
// of one that is there cannot. So the variable is given its own default before main runs,
// which names the same folder.
[[maybe_unused]] const bool kTempFolderVariableExists = [] {
  std::string value;
  if (ReadEnvironmentValue(TempFolderVariable(), value)) return true;
  const std::string folder = TempPath();
  return !folder.empty() && SetEnvironmentValue(TempFolderVariable(), folder);
}();

}  // namespace

ScopedTempFolder::ScopedTempFolder() {
  hadOld_ = ReadEnvironmentValue(TempFolderVariable(), oldValue_);
  SetEnvironmentValue(TempFolderVariable(), dir_.path());
}

ScopedTempFolder::~ScopedTempFolder() {
  if (hadOld_)
    SetEnvironmentValue(TempFolderVariable(), oldValue_);
  else
    UnsetEnvironmentValue(TempFolderVariable());
}

ScriptedServer::ScriptedServer(const std::string& serverName, Script script, int backlog,
                               bool holdAccepting)
    : script_(std::move(script)), accepting_(!holdAccepting) {
  std::string error;
  if (!listener_.Listen(serverName, backlog, &error))
    throw std::runtime_error("scripted server: " + error);
  thread_ = std::thread([this] { Loop(); });
}

ScriptedServer::~ScriptedServer() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  listener_.Wake();
  thread_.join();
  listener_.Close();
}

void ScriptedServer::StartAccepting() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    accepting_ = true;
  }
  changed_.notify_all();
}

void ScriptedServer::StopListening() {
  listener_.Close();
}

void ScriptedServer::Loop() {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return accepting_ || stopping_; });
    if (stopping_) return;
  }
  for (;;) {
    // A test that goes wrong must not hang on a silent client for long.
    std::unique_ptr<PipeChannel> peer = listener_.Accept(30000);
    if (!peer) return;
    script_(*peer);
    peer.reset();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++served_;
    }
    changed_.notify_all();
  }
}

bool ScriptedServer::WaitServed(int count) {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, std::chrono::seconds(60), [&] { return served_ >= count; });
}

int ScriptedServer::Served() {
  std::lock_guard<std::mutex> lock(mutex_);
  return served_;
}

QueueFiller::QueueFiller(const std::string& serverName) {
  for (int i = 0; i < 4096; ++i) {
    ConnectResult r = TryConnectPipe(serverName);
    if (r.status == ConnectStatus::Busy) {
      full_ = true;
      return;
    }
    if (r.status != ConnectStatus::Connected) return;
    held_.push_back(std::move(r.channel));
  }
}

std::string ReadRawRequest(ByteChannel& peer) {
  std::string got;
  auto take = [&](std::size_t n) {
    std::string buf(n, '\0');
    std::size_t have = 0;
    bool ok = ReadExact(peer, buf.data(), n, &have);
    got.append(buf, 0, have);
    return ok;
  };
  auto count = [&](std::size_t at) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(got[at + i]);
    return static_cast<std::int64_t>(v);
  };
  if (!take(8)) return got;
  std::int64_t idLen = count(0);
  if (idLen > 0 && !take(static_cast<std::size_t>(idLen))) return got;
  std::size_t sizeAt = got.size();
  if (!take(8)) return got;
  std::int64_t dataLen = count(sizeAt);
  if (dataLen > 0) take(static_cast<std::size_t>(dataLen));
  return got;
}

std::string ReadUntilClosed(ByteChannel& peer) {
  std::string got;
  char buf[4096];
  for (;;) {
    std::ptrdiff_t n = peer.Read(buf, sizeof buf);
    if (n <= 0) return got;
    got.append(buf, static_cast<std::size_t>(n));
  }
}

std::string Int32LE(std::int32_t v) {
  std::string s;
  auto u = static_cast<std::uint32_t>(v);
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
  return s;
}

std::string Int64LE(std::int64_t v) {
  std::string s;
  auto u = static_cast<std::uint64_t>(v);
  for (int i = 0; i < 8; ++i) s.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
  return s;
}

std::string Utf16LE(std::u16string_view text) {
  std::string s;
  for (char16_t c : text) {
    s.push_back(static_cast<char>(c & 0xFF));
    s.push_back(static_cast<char>(c >> 8));
  }
  return s;
}

std::string Entry(std::u16string_view name, std::string_view value) {
  return Int32LE(static_cast<std::int32_t>(name.size() * 2)) + Utf16LE(name) +
         Int64LE(static_cast<std::int64_t>(value.size())) + std::string(value);
}

std::string TextEntry(std::u16string_view name, std::u16string_view text) {
  return Entry(name, Utf16LE(text));
}

std::string WireMessage(std::string_view data, std::string_view id) {
  return Int64LE(static_cast<std::int64_t>(id.size())) + std::string(id) +
         Int64LE(static_cast<std::int64_t>(data.size())) + std::string(data);
}

std::string FarewellBytes() {
  return std::string(8, '\xFF');
}

}  // namespace dz::test
