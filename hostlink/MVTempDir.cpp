#include "hostlink/MVTempDir.h"

#include <filesystem>
#include <system_error>

#include "platform/Platform.h"

namespace dz {

std::string MVTempDir() {
  std::string temp = TempPath();
  std::error_code ec;
  std::filesystem::create_directories(temp, ec);  // missing parents; the check follows below
  std::string dir = temp + "MVTempDir" + PathDelim;
  if (!EnsurePrivateDir(dir)) return {};
  return dir;
}

std::string PipeSocketFolder() {
  std::string base = MVTempDir();
  if (base.empty()) return {};
  std::string dir = base + "pipe" + PathDelim;
  if (!EnsurePrivateDir(dir)) return {};
  return dir;
}

std::string ServerListFileName() {
  std::string base = MVTempDir();
  if (base.empty()) return {};
  return base + "MVX-EXCHANGELOCALSERVICE.TXT";
}

}  // namespace dz
