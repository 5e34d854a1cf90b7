#include "platform/Platform.h"

#include "platform/Cp1252Codec.h"
#include "platform/win32/WinUtil.h"
// The headers below need windows.h first.
#include <aclapi.h>
#include <objbase.h>
#include <sddl.h>
#include <tlhelp32.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace dz {

using win::Narrow;
using win::Wide;
using win::WidePath;

const char* TempFolderVariable() {
  return "TMP";
}

const char* ProgramSuffix() {
  return ".exe";
}

std::string TempPath() {
  wchar_t buf[MAX_PATH + 2];
  const DWORD n = GetTempPathW(MAX_PATH + 1, buf);
  if (n == 0 || n > MAX_PATH + 1) return {};
  std::string p = Narrow(std::wstring(buf, n));
  if (p.empty()) return p;
  if (p.back() != '\\') p += '\\';
  return p;
}

std::string ProgramDir() {
  std::wstring buf(32768, L'\0');
  const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
  if (n == 0 || n >= buf.size()) return {};
  buf.resize(n);
  const auto slash = buf.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return {};
  return Narrow(buf.substr(0, slash + 1));
}

std::string NewGuidText() {
  GUID g{};
  if (FAILED(CoCreateGuid(&g))) return {};
  char out[37];
  std::snprintf(out, sizeof out, "%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X",
                static_cast<unsigned long>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1],
                g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return out;
}

int CurrentProcessId() {
  return static_cast<int>(GetCurrentProcessId());
}

int ParentProcessId() {
  // The snapshot lists every process with the ID of the one that started it.
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return 0;
  const DWORD self = GetCurrentProcessId();
  PROCESSENTRY32W e{};
  e.dwSize = sizeof e;
  int parent = 0;
  for (BOOL more = Process32FirstW(snap, &e); more; more = Process32NextW(snap, &e)) {
    if (e.th32ProcessID == self) {
      parent = static_cast<int>(e.th32ParentProcessID);
      break;
    }
  }
  CloseHandle(snap);
  return parent;
}

void SleepMs(int milliseconds) {
  if (milliseconds > 0) Sleep(static_cast<DWORD>(milliseconds));
}

namespace {

const wchar_t kSystemSid[] = L"S-1-5-18";
const wchar_t kAdministratorsSid[] = L"S-1-5-32-544";
const wchar_t kCreatorOwnerSid[] = L"S-1-3-0";

bool SidIs(PSID sid, const wchar_t* text) {
  PSID other = nullptr;
  if (!ConvertStringSidToSidW(text, &other)) return false;
  const bool same = EqualSid(sid, other) != FALSE;
  LocalFree(other);
  return same;
}

// Whether the folder's owner is the current user and nobody but the user, the system and
// the administrators (who can take any folder anyway) is granted any access. Entries that
// only pass on to files created inside (inherit-only) grant nothing on the folder itself
// and are judged like the rest, except CREATOR OWNER, which becomes the creator there.
bool FolderIsPrivate(const std::wstring& path) {
  std::vector<unsigned char> user;
  if (!win::CurrentUserSid(user)) return false;
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT,
                            OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr,
                            &dacl, nullptr, &sd) != ERROR_SUCCESS)
    return false;
  bool ok = owner && IsValidSid(owner) && EqualSid(owner, user.data());
  // A missing DACL grants everybody everything.
  if (ok && !dacl) ok = false;
  for (DWORD i = 0; ok && i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    if (!GetAce(dacl, i, &ace)) {
      ok = false;
      break;
    }
    const auto* header = static_cast<ACE_HEADER*>(ace);
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) {
      // Denials only take away; any other kind of grant is not understood here.
      if (header->AceType != ACCESS_DENIED_ACE_TYPE) ok = false;
      continue;
    }
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    PSID sid = &allowed->SidStart;
    if (EqualSid(sid, user.data()) || SidIs(sid, kSystemSid) || SidIs(sid, kAdministratorsSid))
      continue;
    if ((header->AceFlags & INHERIT_ONLY_ACE) && SidIs(sid, kCreatorOwnerSid)) continue;
    ok = false;
  }
  LocalFree(sd);
  return ok;
}

}  // namespace

bool OpenFilesMayBeReplaced() {
  return false;
}

bool EnsurePrivateDir(const std::string& path) {
  if (path.empty()) return false;
  std::wstring w = WidePath(path);
  while (w.size() > 3 && (w.back() == L'\\')) w.pop_back();
  // Created for the user alone (and the system, whose services read every folder anyway);
  // "P" keeps the temporary folder's own entries from being inherited.
  const std::wstring user = win::CurrentUserSidText();
  if (user.empty()) return false;
  win::SecurityDescriptor sd(L"O:" + user + L"D:P(A;OICI;FA;;;" + user + L")(A;OICI;FA;;;SY)");
  if (!sd.Valid()) return false;
  if (!CreateDirectoryW(w.c_str(), sd.Attributes()) && GetLastError() != ERROR_ALREADY_EXISTS)
    return false;
  const DWORD a = GetFileAttributesW(w.c_str());
  if (a == INVALID_FILE_ATTRIBUTES) return false;
  if (!(a & FILE_ATTRIBUTE_DIRECTORY) || (a & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
  return FolderIsPrivate(w);
}

double MonotonicSeconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

namespace {

HANDLE OpenForWrite(const std::string& path, DWORD disposition) {
  return CreateFileW(WidePath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, disposition,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool WriteHandle(HANDLE h, const std::string& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(data.size() - done, 1 << 20));
    DWORD n = 0;
    if (!WriteFile(h, data.data() + done, piece, &n, nullptr) || n == 0) return false;
    done += n;
  }
  return true;
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::string& out) {
  out.clear();
  HANDLE h = CreateFileW(WidePath(path).c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  std::string data;
  char buf[65536];
  bool ok = true;
  for (;;) {
    DWORD n = 0;
    if (!ReadFile(h, buf, sizeof buf, &n, nullptr)) {
      ok = false;
      break;
    }
    if (n == 0) break;
    data.append(buf, n);
  }
  CloseHandle(h);
  if (ok) out = std::move(data);
  return ok;
}

namespace {

// Writes all of `data` to the opened file and closes it; false when opening, writing or
// closing failed.
bool WriteAndClose(HANDLE h, const std::string& data) {
  if (h == INVALID_HANDLE_VALUE) return false;
  bool ok = WriteHandle(h, data);
  if (!CloseHandle(h)) ok = false;
  return ok;
}

}  // namespace

bool WriteWholeFile(const std::string& path, const std::string& data) {
  return WriteAndClose(OpenForWrite(path, CREATE_ALWAYS), data);
}

bool AppendToFile(const std::string& path, const std::string& data) {
  return WriteAndClose(CreateFileW(WidePath(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ,
                                   nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr),
                       data);
}

bool FileExists(const std::string& path) {
  return GetFileAttributesW(WidePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsRegularFile(const std::string& path) {
  const DWORD a = GetFileAttributesW(WidePath(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES &&
         !(a & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE));
}

bool IsDirectory(const std::string& path) {
  const DWORD a = GetFileAttributesW(WidePath(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool RemoveFile(const std::string& path) {
  return DeleteFileW(WidePath(path).c_str()) != FALSE;
}

bool MakeFolders(const std::string& path) {
  if (path.empty()) return false;
  if (IsDirectory(path)) return true;
  std::string p = path;
  while (p.size() > 1 && (p.back() == '\\' || p.back() == '/')) p.pop_back();
  const auto cut = p.find_last_of("\\/");
  if (cut != std::string::npos && cut > 0 && !(cut == 2 && p[1] == ':' && p.size() == 3)) {
    const std::string parent = p.substr(0, cut);
    if (!(parent.size() == 2 && parent[1] == ':') && parent != "\\" && !MakeFolders(parent))
      return false;
  }
  if (!CreateDirectoryW(WidePath(p).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
    return false;
  return IsDirectory(p);
}

std::string Utf8ApiPath(const std::string& path) {
  return win::Utf8(Wide(path));
}

std::string AbsolutePath(const std::string& path) {
  if (path.empty()) return path;
  // Drive-letter paths ("C:\...") and network paths ("\\server\...") are absolute already.
  if (path.size() > 2 && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) return path;
  if (path.rfind("\\\\", 0) == 0) return path;
  const std::wstring w = Wide(path);
  const DWORD n = GetFullPathNameW(w.c_str(), 0, nullptr, nullptr);
  if (n == 0) return path;
  std::wstring out(n, L'\0');
  const DWORD m = GetFullPathNameW(w.c_str(), n, out.data(), nullptr);
  if (m == 0 || m >= n) return path;
  out.resize(m);
  return Narrow(out);
}

bool SetEnvironmentValue(const std::string& name, const std::string& value) {
  // Both the system's block (children, GetTempPathW) and the C library's copy (getenv).
  const bool ok = SetEnvironmentVariableW(Wide(name).c_str(), Wide(value).c_str()) != FALSE;
  return _wputenv_s(Wide(name).c_str(), Wide(value).c_str()) == 0 && ok;
}

bool UnsetEnvironmentValue(const std::string& name) {
  const bool ok = SetEnvironmentVariableW(Wide(name).c_str(), nullptr) != FALSE;
  return _wputenv_s(Wide(name).c_str(), L"") == 0 && ok;
}

bool ReadEnvironmentValue(const std::string& name, std::string& value) {
  value.clear();
  const std::wstring w = Wide(name);
  const DWORD n = GetEnvironmentVariableW(w.c_str(), nullptr, 0);
  if (n == 0) return GetLastError() != ERROR_ENVVAR_NOT_FOUND;
  std::wstring buf(n, L'\0');
  const DWORD m = GetEnvironmentVariableW(w.c_str(), buf.data(), n);
  if (m >= n) return false;
  buf.resize(m);
  value = Narrow(buf);
  return true;
}

std::string MakeUniqueFolder(const std::string& parent, const std::string& prefix) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string path = parent + prefix + NewGuidText().substr(0, 8);
    if (CreateDirectoryW(WidePath(path).c_str(), nullptr)) return path + '\\';
    if (GetLastError() != ERROR_ALREADY_EXISTS) return {};
  }
  return {};
}

bool RemoveFolderTree(const std::string& path) {
  std::string dir = path;
  while (dir.size() > 3 && (dir.back() == '\\' || dir.back() == '/')) dir.pop_back();
  const DWORD a = GetFileAttributesW(WidePath(dir).c_str());
  if (a == INVALID_FILE_ATTRIBUTES) return GetLastError() == ERROR_FILE_NOT_FOUND;
  // A link is removed itself; what it points to is left alone.
  if ((a & FILE_ATTRIBUTE_DIRECTORY) && !(a & FILE_ATTRIBUTE_REPARSE_POINT)) {
    WIN32_FIND_DATAW f;
    HANDLE find = FindFirstFileW(WidePath(dir + "\\*").c_str(), &f);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring name = f.cFileName;
        if (name == L"." || name == L"..") continue;
        RemoveFolderTree(dir + "\\" + Narrow(name));
      } while (FindNextFileW(find, &f));
      FindClose(find);
    }
  }
  if (a & FILE_ATTRIBUTE_DIRECTORY) return RemoveDirectoryW(WidePath(dir).c_str()) != FALSE;
  if (a & FILE_ATTRIBUTE_READONLY)
    SetFileAttributesW(WidePath(dir).c_str(), a & ~FILE_ATTRIBUTE_READONLY);
  return DeleteFileW(WidePath(dir).c_str()) != FALSE;
}

bool OpenFolderToOthers(const std::string& path, bool everyone) {
  // "WD" is Everyone, "BU" the local users; the folder keeps its owner.
  win::SecurityDescriptor sd(everyone ? L"D:(A;OICI;FA;;;WD)" : L"D:(A;OICI;FA;;;BU)");
  if (!sd.Valid()) return false;
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  if (!GetSecurityDescriptorDacl(sd.Attributes()->lpSecurityDescriptor, &present, &dacl,
                                 &defaulted))
    return false;
  std::wstring w = WidePath(path);
  while (w.size() > 3 && w.back() == L'\\') w.pop_back();
  return SetNamedSecurityInfoW(w.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                               nullptr, dacl, nullptr) == ERROR_SUCCESS;
}

bool PlatformHasFifos() {
  return false;
}

bool MakeFifo(const std::string&) {
  return false;
}

bool ReadIniValue(const std::string& path, const std::string& section, const std::string& key,
                  std::string& value) {
  value.clear();
  // Without a folder the system would look in the Windows folder instead.
  const std::wstring file = Wide(AbsolutePath(path));
  if (GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
  // A default no INI file holds tells a missing key from an empty one.
  const wchar_t kAbsent[] = L"\x01\x02";
  wchar_t buf[4096];
  const DWORD n = GetPrivateProfileStringW(Wide(section).c_str(), Wide(key).c_str(), kAbsent, buf,
                                           sizeof buf / sizeof buf[0], file.c_str());
  const std::wstring got(buf, n);
  if (got == kAbsent) return false;
  value = Narrow(got);
  return true;
}

std::string CurrentUserIdentity() {
  return Narrow(win::CurrentUserSidText());
}

bool IsCurrentUserIdentity(const std::string& identity) {
  PSID sid = nullptr;
  if (identity.empty() || !ConvertStringSidToSidW(Wide(identity).c_str(), &sid)) return false;
  std::vector<unsigned char> user;
  const auto* bytes = static_cast<const unsigned char*>(sid);
  const std::vector<unsigned char> given(bytes, bytes + GetLengthSid(sid));
  LocalFree(sid);
  return win::CurrentUserSid(user) && win::SameSid(given, user);
}

}  // namespace dz
