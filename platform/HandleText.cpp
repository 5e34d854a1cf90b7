#include <cstdlib>

#include "platform/ChildProcess.h"

namespace dz {

std::string HandleText(NativeHandle handle) {
  return std::to_string(static_cast<long long>(handle));
}

bool ParseHandle(const std::string& text, NativeHandle& handle) {
  if (text.empty() || text.size() > 18) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  handle = static_cast<NativeHandle>(std::strtoll(text.c_str(), nullptr, 10));
  return true;
}

}  // namespace dz
