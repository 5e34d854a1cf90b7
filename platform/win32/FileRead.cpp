#include "platform/FileRead.h"

#include "platform/win32/WinUtil.h"

namespace dz {

namespace {

class OwnedHandle {
 public:
  explicit OwnedHandle(HANDLE h) : h_(h) {}
  ~OwnedHandle() {
    if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
  }
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;
  HANDLE get() const { return h_; }

 private:
  HANDLE h_;
};

// The full path of a folder with every link resolved and a trailing backslash, in the
// case Windows stores it; empty when it cannot be opened.
std::wstring RealFolder(const std::string& path) {
  OwnedHandle h(CreateFileW(win::WidePath(path).c_str(), 0,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (h.get() == INVALID_HANDLE_VALUE) return {};
  wchar_t buf[32768];
  const DWORD n = GetFinalPathNameByHandleW(h.get(), buf, 32768, FILE_NAME_NORMALIZED);
  if (n == 0 || n >= 32768) return {};
  std::wstring real(buf, n);
  if (real.back() != L'\\') real += L'\\';
  CharUpperBuffW(real.data(), static_cast<DWORD>(real.size()));
  return real;
}

}  // namespace

FileReadResult ReadRegularFile(const std::string& path, std::size_t maxBytes, std::string& out) {
  out.clear();
  // Opening a pipe name or a device through this call can wait or never end; only what
  // the file system calls a file on disk is read.
  OwnedHandle h(CreateFileW(win::WidePath(path).c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (h.get() == INVALID_HANDLE_VALUE) {
    const DWORD e = GetLastError();
    // A folder opens only with backup semantics: it is there, but is no file.
    if (e == ERROR_ACCESS_DENIED) {
      const DWORD attributes = GetFileAttributesW(win::WidePath(path).c_str());
      if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return FileReadResult::NotRegular;
    }
    return FileReadResult::CannotOpen;
  }
  if (GetFileType(h.get()) != FILE_TYPE_DISK) return FileReadResult::NotRegular;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(h.get(), &size)) return FileReadResult::CannotOpen;
  if (static_cast<unsigned long long>(size.QuadPart) > maxBytes) return FileReadResult::TooLarge;
  std::string data;
  data.reserve(static_cast<std::size_t>(size.QuadPart));
  char buffer[65536];
  // The file may grow while we read; one byte past the bound is enough to tell.
  for (;;) {
    const std::size_t left = maxBytes - data.size();
    const DWORD chunk = static_cast<DWORD>(left >= sizeof buffer ? sizeof buffer : left + 1);
    DWORD got = 0;
    if (!ReadFile(h.get(), buffer, chunk, &got, nullptr)) return FileReadResult::CannotOpen;
    if (got == 0) break;
    data.append(buffer, got);
    if (data.size() > maxBytes) return FileReadResult::TooLarge;
  }
  out = std::move(data);
  return FileReadResult::Ok;
}

bool LiesInFolder(const std::string& path, const std::string& folder) {
  if (path.empty()) return false;
  const std::wstring root = RealFolder(folder);
  if (root.empty()) return false;
  const std::size_t slash = path.find_last_of("\\/");
  const std::string parent = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.empty() || name == "." || name == "..") return false;
  const std::wstring real = RealFolder(parent);
  return !real.empty() && real.compare(0, root.size(), root) == 0;
}

}  // namespace dz
