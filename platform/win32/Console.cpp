#include "platform/Console.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// After windows.h, which it builds on.
#include <shellapi.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "platform/Cp1252Codec.h"

namespace dz {

void SetBinaryStdout() {
  std::fflush(stdout);
  _setmode(_fileno(stdout), _O_BINARY);
}

namespace {

bool HasHandle(DWORD which) {
  const HANDLE h = GetStdHandle(which);
  return h != nullptr && h != INVALID_HANDLE_VALUE;
}

}  // namespace

void UseParentConsole() {
  const bool out = HasHandle(STD_OUTPUT_HANDLE), err = HasHandle(STD_ERROR_HANDLE);
  if ((out && err) || !AttachConsole(ATTACH_PARENT_PROCESS)) return;
  FILE* reopened = nullptr;
  if (!out) freopen_s(&reopened, "CONOUT$", "w", stdout);
  if (!err) freopen_s(&reopened, "CONOUT$", "w", stderr);
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) {
    // Without the UTF-16 form the ANSI one is better than nothing.
    if (argc <= 1 || argv == nullptr) return {};
    return std::vector<std::string>(argv + 1, argv + argc);
  }
  std::vector<std::string> args;
  for (int i = 1; i < count; ++i) {
    const std::u16string_view text(reinterpret_cast<const char16_t*>(wide[i]), wcslen(wide[i]));
    args.push_back(Utf16ToCp1252(text));
  }
  LocalFree(wide);
  return args;
}

}  // namespace dz
