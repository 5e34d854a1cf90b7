#include "hostlink/HostCommands.h"

#include <atomic>
#include <mutex>

#include "docdata/Cp1252.h"
#include "docdata/Exception.h"
#include "hostlink/HostCallCancel.h"
#include "hostlink/IPCClient.h"
#include "hostlink/MVTempDir.h"
#include "platform/FileRead.h"
#include "platform/Platform.h"

namespace dz {

namespace {

constexpr int kAttempts = 3;
constexpr int kAttemptPauseMs = 50;

std::mutex gServerNameLock;
std::string gCachedServerName;

// One server name per line; even hundreds of host instances stay far below this. A bigger
// "list" is no list of ours, and reading it whole would only eat memory.
constexpr std::size_t kMaxServerListBytes = std::size_t{1} << 20;

std::atomic<int> gListAttempts{100};
std::atomic<int> gListPauseMs{100};

MessageDataPtr MakeRequest(const std::string& command, std::int32_t index, const std::string& data,
                           bool sync) {
  MessageDataPtr request = CreateMessageData();
  TStreamStorage& store = request->Data();
  store.WriteUnicodeString(u"COMMAND", Cp1252ToUtf16(command));
  store.WriteInteger(u"INDEX", index);
  store.WriteUnicodeString(u"DATA", Cp1252ToUtf16(data));
  if (sync) store.WriteBoolean(u"SYNC", true);
  return request;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t lf = text.find('\n', start);
    std::size_t end = lf == std::string::npos ? text.size() : lf;
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    if (lf == std::string::npos) break;
    start = lf + 1;
  }
  return lines;
}

}  // namespace

std::string ReadIPCValueFrom(const std::string& command, const std::string& server,
                             const std::string& data, bool* answered) {
  TIPCClient client;
  client.SetServerName(server);
  MessageDataPtr reply =
      client.ExecuteConnected(MakeRequest(command, -1, data, true), HostCallTimeOut);
  if (answered) *answered = client.Answered();
  if (!reply) return {};
  return Utf16ToCp1252(reply->Data().ReadUnicodeString(u"DATA"));
}

std::string ReadIPCValueSync(const std::string& command, const std::string& data, bool* answered) {
  std::string answer;
  bool complete = false;
  const std::string server = CurrentServerName();
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    answer = ReadIPCValueFrom(command, server, data, &complete);
    if (complete) break;
    SleepMs(kAttemptPauseMs);
  }
  if (answered) *answered = complete;
  return answer;
}

bool WriteIPCValueASync(const std::string& data, std::int32_t index, const std::string& command) {
  if (data.empty()) return false;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    TIPCClient client;
    client.SetServerName(CurrentServerName());
    client.ExecuteConnected(MakeRequest(command, index, data, false), HostCallTimeOut);
    if (client.Answered()) return true;
    SleepMs(kAttemptPauseMs);
  }
  return false;
}

std::string ReadServerList(std::vector<std::string>* lines) {
  const std::string path = ServerListFileName();
  std::vector<std::string> loaded;
  if (!path.empty() && FileExists(path)) {
    const int attempts = std::max(1, gListAttempts.load());
    for (int attempt = 1;; ++attempt) {
      std::string text;
      const FileReadResult read = ReadRegularFile(path, kMaxServerListBytes, text);
      if (read == FileReadResult::Ok) {
        loaded = SplitLines(text);
        break;
      }
      // No waiting makes such a file readable.
      if (read == FileReadResult::NotRegular)
        throw Exception("Die Serverliste \"" + path + "\" ist keine gew\xF6hnliche Datei");
      if (read == FileReadResult::TooLarge)
        throw Exception("Die Serverliste \"" + path +
                        "\" ist gr\xF6\xDF"
                        "er als " +
                        std::to_string(kMaxServerListBytes >> 20) + " MiB");
      // The host may be rewriting the file right now; give it time, unless the work that
      // asks has been cancelled.
      if (attempt >= attempts || HostCallsCancelled())
        throw Exception("Die Serverliste \"" + path + "\" kann nicht gelesen werden");
      SleepMs(gListPauseMs.load());
    }
  }
  if (lines) *lines = loaded;
  return loaded.empty() ? std::string() : loaded.front();
}

std::string GetCachedServerName() {
  std::lock_guard<std::mutex> lock(gServerNameLock);
  return gCachedServerName;
}

void SetCachedServerName(const std::string& name) {
  std::lock_guard<std::mutex> lock(gServerNameLock);
  gCachedServerName = name;
}

std::string CurrentServerName() {
  std::string name = GetCachedServerName();
  if (!name.empty()) return name;
  return ReadServerList();
}

std::vector<std::string> SplitAt(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t at = text.find(separator, start);
    if (at == std::string::npos) {
      parts.push_back(text.substr(start));
      break;
    }
    parts.push_back(text.substr(start, at - start));
    start = at + 1;
  }
  return parts;
}

std::string DetectHostServer() {
  std::vector<std::string> answers;
  const int parent = ParentProcessId();
  if (parent != 0) {
    std::vector<std::string> servers;
    ReadServerList(&servers);
    const std::string parentText = std::to_string(parent);
    for (const std::string& server : servers) {
      std::string answer = ReadIPCValueFrom("SERVERPROCESS", server, "");
      if (!answer.empty()) answers.push_back(answer);
      std::vector<std::string> parts = SplitAt(answer, '\b');
      if (parts.size() == 2 && parts[1] == parentText) {
        SetCachedServerName(server);
        return server;
      }
    }
  }
  // Nobody claims our parent. If exactly one server answered at all and the default one
  // is silent, that one must be ours.
  if (answers.size() == 1) {
    if (!ReadIPCValueSync("SERVERPROCESS", "").empty()) return {};
    std::vector<std::string> parts = SplitAt(answers.front(), '\b');
    if (parts.size() == 2) {
      SetCachedServerName(parts[0]);
      return parts[0];
    }
  }
  return {};
}

void SetServerListRetry(int attempts, int pauseMs) {
  gListAttempts.store(attempts);
  gListPauseMs.store(pauseMs);
}

}  // namespace dz
