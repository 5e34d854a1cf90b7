#include "platform/FileRead.h"

#include "platform/RegularFile.h"

namespace dz {

FileReadResult ReadRegularFile(const std::string& path, std::size_t maxBytes, std::string& out) {
  out.clear();
  detail::RegularFile file;
  unsigned long long size = 0;
  const FileReadResult opened = file.Open(path, size);
  if (opened != FileReadResult::Ok) return opened;
  if (size > maxBytes) return FileReadResult::TooLarge;
  std::string data;
  data.reserve(static_cast<std::size_t>(size));
  char buffer[65536];
  // The file may grow while we read; one byte past the bound is enough to tell.
  for (;;) {
    const std::size_t left = maxBytes - data.size();
    const std::size_t chunk = left >= sizeof buffer ? sizeof buffer : left + 1;
    const std::ptrdiff_t n = file.Read(buffer, chunk);
    if (n < 0) return FileReadResult::CannotOpen;
    if (n == 0) break;
    data.append(buffer, static_cast<std::size_t>(n));
    if (data.size() > maxBytes) return FileReadResult::TooLarge;
  }
  out = std::move(data);
  return FileReadResult::Ok;
}

bool LiesInFolder(const std::string& path, const std::string& folder) {
  if (path.empty()) return false;
  const std::string root = detail::RealFolder(folder);
  if (root.empty()) return false;
  const std::size_t at = detail::LastDelimiter(path);
  const std::string parent = at == std::string::npos ? "." : path.substr(0, at + 1);
  const std::string name = at == std::string::npos ? path : path.substr(at + 1);
  if (name.empty() || name == "." || name == "..") return false;
  const std::string real = detail::RealFolder(parent);
  return !real.empty() && real.compare(0, root.size(), root) == 0;
}

}  // namespace dz
