// The clipboard as another Windows program sees it after a copy, read with the plain
// clipboard calls only. Runs clipboard_copy (beside this program) twice:
//
// 1. while this program holds the clipboard open: the copy must fail with the clipboard's
//    error and leave the clipboard as it was;
// 2. with the clipboard free: after the copying process has ended, the clipboard must hold
//    "CF_DATAGRIDDATA", "HTML Format", the Unicode text and "CSV", in this order and with
//    the bytes the copying side wrote into the folder, and no type of the toolkit's own.
//
//   clipboard_check [toolkit options for clipboard_copy, e.g. -platform windows]
//
// Prints every format on the clipboard; exit status 0 when every check passed.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

int failures = 0;

void Fail(const std::string& what) {
  std::printf("FAIL: %s\n", what.c_str());
  ++failures;
}

std::wstring Wide(const std::string& utf8) {
  std::wstring out(utf8.size(), L'\0');
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), out.data(), int(out.size()));
  out.resize(n > 0 ? size_t(n) : 0);
  return out;
}

std::string Narrow(const std::wstring& text) {
  std::string out(text.size() * 3, '\0');
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), out.data(),
                                    int(out.size()), nullptr, nullptr);
  out.resize(n > 0 ? size_t(n) : 0);
  return out;
}

std::string ReadFile(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  if (!in) Fail("cannot read " + Narrow(path));
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::wstring FormatName(UINT format) {
  switch (format) {
    case CF_TEXT:
      return L"CF_TEXT";
    case CF_OEMTEXT:
      return L"CF_OEMTEXT";
    case CF_UNICODETEXT:
      return L"CF_UNICODETEXT";
    case CF_LOCALE:
      return L"CF_LOCALE";
  }
  wchar_t name[256] = L"";
  if (GetClipboardFormatNameW(format, name, 255) > 0) return name;
  return L"#" + std::to_wstring(format);
}

// The bytes of one format of the open clipboard, as GlobalSize measures them.
bool FormatBytes(UINT format, std::string& out) {
  HANDLE h = GetClipboardData(format);
  if (!h) return false;
  const SIZE_T size = GlobalSize(h);
  const char* p = static_cast<const char*>(GlobalLock(h));
  if (!p && size) return false;
  out.assign(p ? p : "", size);
  if (p) GlobalUnlock(h);
  return true;
}

bool OpenWithRetries(HWND owner) {
  for (int attempt = 0; attempt < 50; ++attempt) {
    if (OpenClipboard(owner)) return true;
    Sleep(100);
  }
  return false;
}

// Runs clipboard_copy with the folder and `extra`; its exit status, or -1.
int RunCopy(const std::wstring& folder, const std::wstring& extra) {
  wchar_t self[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring program(self, n);
  program = program.substr(0, program.find_last_of(L"\\/") + 1) + L"clipboard_copy.exe";
  std::wstring command = L"\"" + program + L"\" \"" + folder + L"\"" + extra;
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &si, &pi)) {
    Fail("cannot start " + Narrow(program));
    return -1;
  }
  DWORD code = DWORD(-1);
  if (WaitForSingleObject(pi.hProcess, 120000) != WAIT_OBJECT_0) {
    Fail("clipboard_copy did not end within two minutes");
    TerminateProcess(pi.hProcess, 1);
    WaitForSingleObject(pi.hProcess, 10000);
  } else {
    GetExitCodeProcess(pi.hProcess, &code);
  }
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return int(code);
}

const wchar_t kStale[] = L"stale";

// Puts a text of our own on the clipboard, so that nothing of an earlier run can pass.
void PutStaleText(HWND owner) {
  if (!OpenWithRetries(owner)) return Fail("cannot open the clipboard");
  EmptyClipboard();
  HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, sizeof kStale);
  if (mem) {
    memcpy(GlobalLock(mem), kStale, sizeof kStale);
    GlobalUnlock(mem);
    if (!SetClipboardData(CF_UNICODETEXT, mem)) GlobalFree(mem);
  }
  CloseClipboard();
}

bool HoldsStaleText() {
  std::string bytes;
  const bool got = OpenWithRetries(nullptr) && FormatBytes(CF_UNICODETEXT, bytes);
  CloseClipboard();
  return got && bytes == std::string(reinterpret_cast<const char*>(kStale), sizeof kStale);
}

}  // namespace

int main(int argc, char** argv) {
  std::wstring extra;
  for (int i = 1; i < argc; ++i) extra += L" \"" + Wide(argv[i]) + L"\"";

  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder =
      std::wstring(temp) + L"clipboard-check-" + std::to_wstring(GetCurrentProcessId());
  CreateDirectoryW(folder.c_str(), nullptr);
  HWND owner = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               GetModuleHandleW(nullptr), nullptr);

  // 1. A clipboard that another program holds.
  PutStaleText(owner);
  if (OpenWithRetries(owner)) {
    const int code = RunCopy(folder, extra + L" --busy");
    CloseClipboard();
    if (code != 3) Fail("a copy while the clipboard is held ended with " + std::to_string(code));
    if (!HoldsStaleText()) Fail("a failed copy changed the clipboard");
  } else {
    Fail("cannot open the clipboard");
  }

  // 2. A copy, read after the copying process has ended.
  PutStaleText(owner);
  const int code = RunCopy(folder, extra);
  if (code != 0) Fail("the copy ended with " + std::to_string(code));
  struct Expected {
    const wchar_t* name;  // null: the Unicode text
    std::string bytes;
    UINT format = 0;
    int at = -1;  // position in the enumeration
  };
  std::string text = ReadFile(folder + L"\\text-utf8.bin");
  const std::wstring wide = Wide(text) + L'\0';
  Expected expected[] = {
      {L"CF_DATAGRIDDATA", ReadFile(folder + L"\\CF_DATAGRIDDATA.bin")},
      {L"HTML Format", ReadFile(folder + L"\\HTML Format.bin")},
      {nullptr, std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 2)},
      {L"CSV", ReadFile(folder + L"\\CSV.bin")},
  };
  for (Expected& e : expected)
    e.format = e.name ? RegisterClipboardFormatW(e.name) : CF_UNICODETEXT;

  if (!OpenWithRetries(nullptr)) {
    Fail("cannot open the clipboard");
  } else {
    int index = 0;
    for (UINT f = EnumClipboardFormats(0); f; f = EnumClipboardFormats(f), ++index) {
      std::string bytes;
      FormatBytes(f, bytes);
      const std::string name = Narrow(FormatName(f));
      std::printf("format %2d: %-20s %6zu bytes\n", index, name.c_str(), bytes.size());
      for (Expected& e : expected)
        if (e.format == f) e.at = index;
      if (name.find('/') != std::string::npos) Fail("a type of the toolkit's own: " + name);
    }
    int last = -1;
    for (const Expected& e : expected) {
      const std::string name = e.name ? Narrow(e.name) : "Unicode text";
      std::string bytes;
      if (!IsClipboardFormatAvailable(e.format) || e.at < 0 || !FormatBytes(e.format, bytes)) {
        Fail(name + " is not on the clipboard");
        continue;
      }
      if (e.at < last) Fail(name + " comes before the format it should follow");
      last = e.at;
      if (e.bytes.empty()) Fail(name + ": nothing expected (the copy wrote no file)");
      if (bytes != e.bytes)
        Fail(name + ": " + std::to_string(bytes.size()) + " bytes differ from the " +
             std::to_string(e.bytes.size()) + " expected");
    }
    CloseClipboard();
  }

  DestroyWindow(owner);
  for (const wchar_t* file :
       {L"CF_DATAGRIDDATA.bin", L"HTML Format.bin", L"CSV.bin", L"text-utf8.bin"})
    DeleteFileW((folder + L"\\" + file).c_str());
  RemoveDirectoryW(folder.c_str());
  std::printf(failures ? "%d check(s) failed\n" : "every format as expected\n", failures);
  return failures ? 1 : 0;
}
