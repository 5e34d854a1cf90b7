#include "platform/RegularFile.h"
#include "platform/win32/WinUtil.h"

namespace dz::detail {

namespace {

HANDLE OpenForReading(const std::string& path, DWORD access, DWORD flags) {
  return CreateFileW(win::WidePath(path).c_str(), access,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                     flags, nullptr);
}

}  // namespace

RegularFile::~RegularFile() {
  if (win::Valid(handle_)) CloseHandle(win::H(handle_));
}

FileReadResult RegularFile::Open(const std::string& path, unsigned long long& size) {
  // Opening a pipe name or a device through this call can wait or never end; only what
  // the file system calls a file on disk is read.
  const HANDLE h = OpenForReading(path, GENERIC_READ, FILE_ATTRIBUTE_NORMAL);
  if (h == INVALID_HANDLE_VALUE) {
    // A folder opens only with backup semantics: it is there, but is no file.
    const DWORD attributes = GetFileAttributesW(win::WidePath(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
      return FileReadResult::NotRegular;
    return FileReadResult::CannotOpen;
  }
  handle_ = win::N(h);
  if (GetFileType(h) != FILE_TYPE_DISK) return FileReadResult::NotRegular;
  LARGE_INTEGER length{};
  if (!GetFileSizeEx(h, &length)) return FileReadResult::CannotOpen;
  size = static_cast<unsigned long long>(length.QuadPart);
  return FileReadResult::Ok;
}

std::ptrdiff_t RegularFile::Read(char* buffer, std::size_t size) {
  DWORD got = 0;
  const DWORD ask = static_cast<DWORD>(size < (1u << 30) ? size : (1u << 30));
  if (!ReadFile(win::H(handle_), buffer, ask, &got, nullptr)) return -1;
  return static_cast<std::ptrdiff_t>(got);
}

std::string RealFolder(const std::string& path) {
  const HANDLE h = OpenForReading(path, 0, FILE_FLAG_BACKUP_SEMANTICS);
  if (h == INVALID_HANDLE_VALUE) return {};
  std::wstring real(32768, L'\0');
  const DWORD n = GetFinalPathNameByHandleW(h, real.data(), 32768, FILE_NAME_NORMALIZED);
  CloseHandle(h);
  if (n == 0 || n >= 32768) return {};
  real.resize(n);
  if (real.back() != L'\\') real += L'\\';
  // Names differ in letter case only are the same folder here.
  CharUpperBuffW(real.data(), static_cast<DWORD>(real.size()));
  return win::Utf8(real);
}

std::size_t LastDelimiter(const std::string& path) {
  return path.find_last_of("\\/");
}

}  // namespace dz::detail
