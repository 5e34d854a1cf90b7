#include "hostlink/MVTempDir.h"

#include "platform/Platform.h"

namespace dz {

std::string MVTempDir() {
  std::string temp = TempPath();
  MakeFolders(temp);  // missing parents; the check follows below
  std::string dir = temp + "MVTempDir" + PathDelim;
  if (!EnsurePrivateDir(dir)) return {};
  return dir;
}

std::string ServerListFileName() {
  std::string base = MVTempDir();
  if (base.empty()) return {};
  return base + "MVX-EXCHANGELOCALSERVICE.TXT";
}

}  // namespace dz
