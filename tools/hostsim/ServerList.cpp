#include "tools/hostsim/ServerList.h"

#include <algorithm>

#include "hostlink/HostCommands.h"
#include "hostlink/MVTempDir.h"
#include "platform/FileLock.h"
#include "platform/Platform.h"

namespace dz::hostsim {

namespace {

std::vector<std::string> Load(const std::string& path) {
  std::vector<std::string> lines;
  std::string text;
  if (!ReadWholeFile(path, text)) return lines;
  for (std::string& line : SplitAt(text, '\n')) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

bool Save(const std::string& path, const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return ReplaceFileAtomically(path, text);
}

template <class Edit>
bool EditList(Edit&& edit) {
  const std::string path = ServerListFileName();
  if (path.empty()) return false;
  FileLock lock(MVTempDir() + "MVX-EXCHANGELOCALSERVICE.lock");
  if (!lock.Locked()) return false;
  std::vector<std::string> lines = Load(path);
  edit(lines);
  return Save(path, lines);
}

}  // namespace

bool RegisterServerName(const std::string& name, bool asDefault) {
  return EditList([&](std::vector<std::string>& lines) {
    lines.erase(std::remove(lines.begin(), lines.end(), name), lines.end());
    if (asDefault)
      lines.insert(lines.begin(), name);
    else
      lines.push_back(name);
  });
}

bool UnregisterServerName(const std::string& name) {
  return EditList([&](std::vector<std::string>& lines) {
    auto it = std::find(lines.begin(), lines.end(), name);
    if (it != lines.end()) lines.erase(it);
  });
}

std::vector<std::string> ServerListLines() {
  const std::string path = ServerListFileName();
  return path.empty() ? std::vector<std::string>{} : Load(path);
}

}  // namespace dz::hostsim
