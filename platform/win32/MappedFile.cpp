#include "platform/MappedFile.h"

#include "platform/win32/WinUtil.h"

namespace dz {

using win::H;
using win::N;

MappedFile::~MappedFile() {
  Close();
}

void MappedFile::Close() {
  if (data_) UnmapViewOfFile(data_);
  if (win::Valid(mapping_)) CloseHandle(H(mapping_));
  if (win::Valid(file_)) CloseHandle(H(file_));
  data_ = nullptr;
  size_ = 0;
  mapping_ = kNoHandle;
  file_ = kNoHandle;
  open_ = false;
}

bool MappedFile::Open(const std::string& path) {
  Close();
  // Others may go on reading, writing or deleting: the host removes result files itself.
  HANDLE h = CreateFileW(win::WidePath(path).c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size{};
  // Only plain disk files: a device or pipe under the name is refused.
  if (GetFileType(h) != FILE_TYPE_DISK || !GetFileSizeEx(h, &size) || size.QuadPart < 0 ||
      static_cast<unsigned long long>(size.QuadPart) > SIZE_MAX) {
    CloseHandle(h);
    return false;
  }
  if (size.QuadPart > 0) {
    HANDLE m = CreateFileMappingW(h, nullptr, PAGE_READONLY, 0, 0, nullptr);
    const void* p = m ? MapViewOfFile(m, FILE_MAP_READ, 0, 0, 0) : nullptr;
    if (!p) {
      if (m) CloseHandle(m);
      CloseHandle(h);
      return false;
    }
    mapping_ = N(m);
    data_ = static_cast<const uint8_t*>(p);
  }
  file_ = N(h);
  size_ = static_cast<size_t>(size.QuadPart);
  open_ = true;
  return true;
}

}  // namespace dz
