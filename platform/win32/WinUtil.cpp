#include "platform/win32/WinUtil.h"

#include <sddl.h>

#include "platform/Cp1252Codec.h"

namespace dz::win {

std::wstring Wide(const std::string& text) {
  const std::u16string u = Cp1252ToUtf16(text);
  return std::wstring(u.begin(), u.end());
}

std::string Narrow(const std::wstring& text) {
  return Utf16ToCp1252(std::u16string(text.begin(), text.end()));
}

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int bytes =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return {};
  std::string out(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), size, out.data(), bytes, nullptr, nullptr);
  return out;
}

std::wstring WidePath(const std::string& path) {
  std::wstring w = Wide(path);
  for (wchar_t& c : w)
    if (c == L'/') c = L'\\';
  if (w.size() < MAX_PATH - 12 || w.rfind(L"\\\\", 0) == 0) return w;
  if (w.size() > 2 && w[1] == L':' && w[2] == L'\\') return L"\\\\?\\" + w;
  return w;
}

namespace {

bool TokenUserSid(HANDLE token, std::vector<unsigned char>& sid) {
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  if (size == 0) return false;
  std::vector<unsigned char> buffer(size);
  if (!GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) return false;
  PSID s = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
  if (!IsValidSid(s)) return false;
  const DWORD length = GetLengthSid(s);
  const auto* bytes = static_cast<const unsigned char*>(s);
  sid.assign(bytes, bytes + length);
  return true;
}

}  // namespace

bool CurrentUserSid(std::vector<unsigned char>& sid) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  const bool ok = TokenUserSid(token, sid);
  CloseHandle(token);
  return ok;
}

bool ProcessUserSid(DWORD pid, std::vector<unsigned char>& sid) {
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (!process) return false;
  HANDLE token = nullptr;
  bool ok = false;
  if (OpenProcessToken(process, TOKEN_QUERY, &token)) {
    ok = TokenUserSid(token, sid);
    CloseHandle(token);
  }
  CloseHandle(process);
  return ok;
}

bool SameSid(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b) {
  if (a.empty() || b.empty()) return false;
  auto* sa = const_cast<unsigned char*>(a.data());
  auto* sb = const_cast<unsigned char*>(b.data());
  return IsValidSid(sa) && IsValidSid(sb) && EqualSid(sa, sb);
}

SecurityDescriptor::SecurityDescriptor(const std::wstring& sddl) {
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &sd_,
                                                            nullptr))
    sd_ = nullptr;
  sa_.nLength = sizeof sa_;
  sa_.lpSecurityDescriptor = sd_;
  sa_.bInheritHandle = FALSE;
}

SecurityDescriptor::~SecurityDescriptor() {
  if (sd_) LocalFree(sd_);
}

std::wstring CurrentUserSidText() {
  std::vector<unsigned char> sid;
  if (!CurrentUserSid(sid)) return {};
  LPWSTR text = nullptr;
  if (!ConvertSidToStringSidW(sid.data(), &text)) return {};
  std::wstring out = text;
  LocalFree(text);
  return out;
}

}  // namespace dz::win
