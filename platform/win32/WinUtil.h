#pragma once
// Helpers shared by the Windows implementations of the platform layer; never included
// from outside platform/win32.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>
#include <vector>

#include "platform/NativeHandle.h"

namespace dz::win {

inline HANDLE H(NativeHandle h) {
  return reinterpret_cast<HANDLE>(h);
}
inline NativeHandle N(HANDLE h) {
  return reinterpret_cast<NativeHandle>(h);
}
// Both "no handle" values Windows uses: INVALID_HANDLE_VALUE (-1) and null.
inline bool Valid(NativeHandle h) {
  return h != kNoHandle && h != 0;
}

// Windows-1252 text to a UTF-16 name for the W functions, and back.
std::wstring Wide(const std::string& text);
std::string Narrow(const std::wstring& text);
// UTF-16 text as UTF-8, for the libraries that take file names in that form.
std::string Utf8(const std::wstring& text);

// A path for the W file functions; names beyond MAX_PATH get the "\\?\" prefix that lifts
// the limit.
std::wstring WidePath(const std::string& path);

// The SID of the user this process runs as (a copy in `sid`); false when it cannot be read.
bool CurrentUserSid(std::vector<unsigned char>& sid);
// The SID of the user the process `pid` runs as; false when it cannot be opened or read.
bool ProcessUserSid(DWORD pid, std::vector<unsigned char>& sid);
// True when both hold the same valid SID.
bool SameSid(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b);

// A security descriptor from its text form, freed with the object.
class SecurityDescriptor {
 public:
  explicit SecurityDescriptor(const std::wstring& sddl);
  ~SecurityDescriptor();
  SecurityDescriptor(const SecurityDescriptor&) = delete;
  SecurityDescriptor& operator=(const SecurityDescriptor&) = delete;
  bool Valid() const { return sd_ != nullptr; }
  // Security attributes (not inherited) carrying the descriptor.
  SECURITY_ATTRIBUTES* Attributes() { return sd_ ? &sa_ : nullptr; }

 private:
  PSECURITY_DESCRIPTOR sd_ = nullptr;
  SECURITY_ATTRIBUTES sa_{};
};

// The SID of the current user as text ("S-1-5-21-..."); empty on failure.
std::wstring CurrentUserSidText();

}  // namespace dz::win
