#include "platform/ChildProcess.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <thread>

#include "platform/win32/WinUtil.h"

namespace dz {

using win::H;
using win::N;

namespace {

// One argument quoted the way the C runtime splits a command line again: backslashes are
// literal unless they precede a quote, where they are doubled.
void AppendQuoted(std::wstring& line, const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    line += arg;
    return;
  }
  line += L'"';
  std::size_t slashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++slashes;
      continue;
    }
    if (c == L'"') slashes = slashes * 2 + 1;
    line.append(slashes, L'\\');
    slashes = 0;
    line += c;
  }
  line.append(slashes * 2, L'\\');
  line += L'"';
}

// This process's environment with `additions` ("NAME=VALUE") put in, as the sorted block
// CreateProcessW takes. Names compare without regard to case, as Windows does.
std::wstring EnvironmentBlock(const std::vector<std::string>& additions) {
  auto key = [](std::wstring name) {
    for (wchar_t& c : name) c = static_cast<wchar_t>(towupper(c));
    return name;
  };
  std::map<std::wstring, std::wstring> entries;
  if (wchar_t* env = GetEnvironmentStringsW()) {
    for (const wchar_t* e = env; *e; e += wcslen(e) + 1) {
      const std::wstring entry = e;
      const auto eq = entry.find(L'=', 1);  // "=C:=C:\..." entries start with '='
      entries[key(entry.substr(0, eq))] = entry;
    }
    FreeEnvironmentStringsW(env);
  }
  for (const std::string& a : additions) {
    const std::wstring entry = win::Wide(a);
    entries[key(entry.substr(0, entry.find(L'=')))] = entry;
  }
  std::wstring block;
  for (const auto& e : entries) block += e.second + L'\0';
  block += L'\0';
  return block;
}

// An inheritable duplicate of `h`, or null.
HANDLE InheritableCopy(HANDLE h) {
  HANDLE copy = nullptr;
  if (!h || h == INVALID_HANDLE_VALUE) return nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), h, GetCurrentProcess(), &copy, 0, TRUE,
                       DUPLICATE_SAME_ACCESS))
    return nullptr;
  return copy;
}

std::string ErrorText(DWORD err) {
  wchar_t* text = nullptr;
  FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, err, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string out = text ? win::Narrow(text) : "error " + std::to_string(err);
  if (text) LocalFree(text);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

}  // namespace

ChildProcess::~ChildProcess() {
  Kill();
}

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& args,
                         const Options& options, std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = program + ": " + why;
    return false;
  };
  if (!reaped_) return fail("a process is already running");
  std::wstring line;
  AppendQuoted(line, win::Wide(program));
  for (const std::string& a : args) {
    line += L' ';
    AppendQuoted(line, win::Wide(a));
  }
  std::wstring env = EnvironmentBlock(options.environment);

  // Standard handles go over as inheritable copies; with "quiet" output goes to NUL.
  HANDLE nul = INVALID_HANDLE_VALUE;
  if (options.quiet) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    nul = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, OPEN_EXISTING,
                      0, nullptr);
  }
  HANDLE in = InheritableCopy(GetStdHandle(STD_INPUT_HANDLE));
  HANDLE out = options.quiet ? nullptr
                             : InheritableCopy(options.standardOutput != kNoHandle
                                                   ? H(options.standardOutput)
                                                   : GetStdHandle(STD_OUTPUT_HANDLE));
  HANDLE err = options.quiet ? nullptr : InheritableCopy(GetStdHandle(STD_ERROR_HANDLE));
  if (options.quiet && nul != INVALID_HANDLE_VALUE) out = err = nul;

  // Exactly these handles are inherited, whatever else is marked inheritable meanwhile.
  std::vector<HANDLE> list;
  for (HANDLE h : {in, out, err})
    if (h && h != INVALID_HANDLE_VALUE && std::find(list.begin(), list.end(), h) == list.end())
      list.push_back(h);
  for (NativeHandle h : options.inherit) {
    SetHandleInformation(H(h), HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    list.push_back(H(h));
  }
  auto cleanUp = [&] {
    for (NativeHandle h : options.inherit) SetHandleInformation(H(h), HANDLE_FLAG_INHERIT, 0);
    for (HANDLE h : {in, out, err})
      if (h && h != INVALID_HANDLE_VALUE && h != nul) CloseHandle(h);
    if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
  };

  SIZE_T size = 0;
  InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
  std::vector<unsigned char> attributes(size);
  auto* attrs = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes.data());
  if (!InitializeProcThreadAttributeList(attrs, 1, 0, &size)) {
    cleanUp();
    return fail(ErrorText(GetLastError()));
  }
  bool ok = list.empty() ||
            UpdateProcThreadAttribute(attrs, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, list.data(),
                                      list.size() * sizeof(HANDLE), nullptr, nullptr);
  STARTUPINFOEXW si{};
  si.StartupInfo.cb = sizeof si;
  si.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
  si.StartupInfo.hStdInput = in;
  si.StartupInfo.hStdOutput = out;
  si.StartupInfo.hStdError = err;
  si.lpAttributeList = attrs;
  PROCESS_INFORMATION pi{};
  // Its own process group, so that a Ctrl+Break can be sent to it alone.
  if (ok)
    ok = CreateProcessW(
             win::Wide(program).c_str(), line.data(), nullptr, nullptr, TRUE,
             CREATE_UNICODE_ENVIRONMENT | EXTENDED_STARTUPINFO_PRESENT | CREATE_NEW_PROCESS_GROUP,
             env.data(), nullptr, &si.StartupInfo, &pi) != FALSE;
  const DWORD why = GetLastError();
  DeleteProcThreadAttributeList(attrs);
  cleanUp();
  if (!ok) return fail(ErrorText(why));
  CloseHandle(pi.hThread);
  process_ = N(pi.hProcess);
  pid_ = static_cast<int>(pi.dwProcessId);
  reaped_ = false;
  exitCode_ = -1;
  return true;
}

bool ChildProcess::Running() {
  if (reaped_) return false;
  if (WaitForSingleObject(H(process_), 0) != WAIT_OBJECT_0) return true;
  DWORD code = 0;
  GetExitCodeProcess(H(process_), &code);
  exitCode_ = static_cast<int>(code);
  CloseHandle(H(process_));
  process_ = kNoHandle;
  reaped_ = true;
  return false;
}

void ChildProcess::Terminate() {
  if (!reaped_) GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, static_cast<DWORD>(pid_));
}

bool ChildProcess::Wait(int timeoutMs) {
  if (reaped_) return true;
  WaitForSingleObject(H(process_), timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs));
  return !Running();
}

void ChildProcess::Kill() {
  if (reaped_) return;
  TerminateProcess(H(process_), 137);
  WaitForSingleObject(H(process_), INFINITE);
  Running();
}

Pipe::Pipe() {
  HANDLE r = nullptr, w = nullptr;
  if (!CreatePipe(&r, &w, nullptr, 0)) return;
  ends_[0] = N(r);
  ends_[1] = N(w);
}

Pipe::~Pipe() {
  CloseRead();
  CloseWrite();
}

void Pipe::CloseRead() {
  if (win::Valid(ends_[0])) CloseHandle(H(ends_[0]));
  ends_[0] = kNoHandle;
}

void Pipe::CloseWrite() {
  if (win::Valid(ends_[1])) CloseHandle(H(ends_[1]));
  ends_[1] = kNoHandle;
}

namespace {

// Bytes waiting in an anonymous pipe: >0 data, 0 none yet, -1 closed by the writer or
// failed. Anonymous pipes cannot be waited on, so callers look now and then.
long Available(HANDLE h) {
  DWORD n = 0;
  if (!PeekNamedPipe(h, nullptr, 0, nullptr, &n, nullptr)) return -1;
  return static_cast<long>(n);
}

}  // namespace

bool Pipe::ReadLine(std::string& line, int timeoutMs) {
  line.clear();
  if (!win::Valid(ends_[0])) return false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  int pauseMs = 1;
  for (;;) {
    const long n = Available(H(ends_[0]));
    if (n < 0) return false;
    if (n == 0) {
      if (std::chrono::steady_clock::now() >= deadline) return false;
      Sleep(static_cast<DWORD>(pauseMs));
      pauseMs = std::min(pauseMs * 2, 20);
      continue;
    }
    char c;
    DWORD got = 0;
    if (!ReadFile(H(ends_[0]), &c, 1, &got, nullptr) || got == 0) return false;
    if (c == '\n') return true;
    line += c;
  }
}

bool WriteFully(NativeHandle handle, std::string_view data) {
  std::size_t done = 0;
  while (done < data.size()) {
    DWORD n = 0;
    const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(data.size() - done, 1 << 20));
    if (!WriteFile(H(handle), data.data() + done, piece, &n, nullptr) || n == 0) return false;
    done += n;
  }
  return true;
}

bool WriteAndCloseHandle(NativeHandle handle, const std::string& text) {
  const bool ok = WriteFully(handle, text);
  CloseHandle(H(handle));
  return ok;
}

void WaitForEither(NativeHandle first, NativeHandle second) {
  for (;;) {
    if (Available(H(first)) != 0 || Available(H(second)) != 0) return;
    Sleep(20);
  }
}

bool HandleIsOpen(NativeHandle handle) {
  DWORD flags = 0;
  return win::Valid(handle) && GetHandleInformation(H(handle), &flags);
}

}  // namespace dz
