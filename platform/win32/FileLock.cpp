#include "platform/FileLock.h"

#include "platform/Platform.h"
#include "platform/win32/WinUtil.h"

namespace dz {

using win::H;
using win::N;

FileLock::FileLock(const std::string& path) {
  HANDLE h = CreateFileW(win::WidePath(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  handle_ = N(h);
  OVERLAPPED ov{};
  locked_ = LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &ov) != FALSE;
}

FileLock::~FileLock() {
  if (win::Valid(handle_)) CloseHandle(H(handle_));  // releases the lock
}

bool ReplaceFileAtomically(const std::string& path, const std::string& data) {
  const std::string tmp = path + "." + NewGuidText() + ".tmp";
  HANDLE h = CreateFileW(win::WidePath(tmp).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  bool ok = true;
  std::size_t done = 0;
  while (ok && done < data.size()) {
    DWORD n = 0;
    const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(data.size() - done, 1 << 20));
    ok = WriteFile(h, data.data() + done, piece, &n, nullptr) && n > 0;
    done += n;
  }
  if (ok && !FlushFileBuffers(h)) ok = false;
  if (!CloseHandle(h)) ok = false;
  // A reader that has the file open without sharing deletion blocks the replacement for
  // as long as it reads; such reads are short, so wait for it a little (2 s at most).
  for (int attempt = 0; ok; ++attempt) {
    if (MoveFileExW(win::WidePath(tmp).c_str(), win::WidePath(path).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      return true;
    const DWORD err = GetLastError();
    if ((err != ERROR_ACCESS_DENIED && err != ERROR_SHARING_VIOLATION) || attempt >= 100)
      ok = false;
    else
      Sleep(20);
  }
  DeleteFileW(win::WidePath(tmp).c_str());
  return false;
}

}  // namespace dz
