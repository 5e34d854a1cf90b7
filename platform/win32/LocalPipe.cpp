#include "platform/LocalPipe.h"

#include "platform/win32/WinUtil.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <vector>

namespace dz {

using win::H;
using win::N;

namespace {

const std::string kLocalPipePrefix = "\\\\.\\pipe\\";

// Waits for an overlapped operation on `handle` until it completes, `wake` is signalled or
// `silenceMs` pass without completion; the last two cancel it. Returns the bytes moved, 0
// when the peer has closed, -1 on failure or cancellation.
std::ptrdiff_t FinishIo(HANDLE handle, OVERLAPPED& ov, HANDLE wake, int silenceMs, bool reading) {
  HANDLE waits[2] = {ov.hEvent, wake};
  const DWORD r = WaitForMultipleObjects(2, waits, FALSE,
                                         silenceMs < 0 ? INFINITE : static_cast<DWORD>(silenceMs));
  DWORD n = 0;
  if (r != WAIT_OBJECT_0) {
    // Silence or a stop: cancel and wait until the system has let go of the buffer.
    CancelIoEx(handle, &ov);
    if (GetOverlappedResult(handle, &ov, &n, TRUE) && n > 0) return static_cast<std::ptrdiff_t>(n);
    return -1;
  }
  if (GetOverlappedResult(handle, &ov, &n, FALSE)) return static_cast<std::ptrdiff_t>(n);
  const DWORD err = GetLastError();
  // A server writing messages hands a long one over in parts: each part counts as read.
  if (err == ERROR_MORE_DATA) return static_cast<std::ptrdiff_t>(n);
  if (reading && err == ERROR_BROKEN_PIPE) return 0;
  return -1;
}

struct Event {
  HANDLE h = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ~Event() {
    if (h) CloseHandle(h);
  }
};

// One overlapped ReadFile or WriteFile of at most 1 GiB on `handle`, finished as FinishIo
// does, unless `wake` is signalled already. A write that moved nothing counts as failed.
std::ptrdiff_t Transfer(HANDLE handle, HANDLE wake, int silenceMs, bool reading, void* buffer,
                        std::size_t size) {
  if (WaitForSingleObject(wake, 0) == WAIT_OBJECT_0) return -1;
  Event done;
  if (!done.h) return -1;
  OVERLAPPED ov{};
  ov.hEvent = done.h;
  const DWORD ask = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
  DWORD n = 0;
  const BOOL now =
      reading ? ReadFile(handle, buffer, ask, &n, &ov) : WriteFile(handle, buffer, ask, &n, &ov);
  if (now) return static_cast<std::ptrdiff_t>(n);
  const DWORD err = GetLastError();
  if (err == ERROR_IO_PENDING) {
    const std::ptrdiff_t r = FinishIo(handle, ov, wake, silenceMs, reading);
    return !reading && r == 0 && size > 0 ? -1 : r;
  }
  if (!reading) return -1;
  // A server writing messages hands a long one over in parts: each part counts as read.
  if (err == ERROR_MORE_DATA) return static_cast<std::ptrdiff_t>(n);
  return err == ERROR_BROKEN_PIPE ? 0 : -1;
}

// Whether the server process at the other end of `pipe` runs as the current user. Pipe
// names are shared by every session on the machine, so another user could create the
// name first and answer in the host's place; such a server is treated as absent.
bool ServerIsOurs(HANDLE pipe) {
  ULONG pid = 0;
  if (!GetNamedPipeServerProcessId(pipe, &pid)) return false;
  std::vector<unsigned char> server, user;
  return win::ProcessUserSid(pid, server) && win::CurrentUserSid(user) &&
         win::SameSid(server, user);
}

// One CreateFileW on the pipe; the outcome and the system's error code.
ConnectResult OpenPipe(const std::wstring& name, int silenceMs, DWORD* error) {
  ConnectResult result;
  // Identification only: the server may learn who we are but not act as us.
  HANDLE h =
      CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                  FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr);
  *error = h == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
  if (h == INVALID_HANDLE_VALUE) {
    result.status = *error == ERROR_FILE_NOT_FOUND ? ConnectStatus::Missing
                    : *error == ERROR_PIPE_BUSY    ? ConnectStatus::Busy
                                                   : ConnectStatus::Failed;
    return result;
  }
  if (!ServerIsOurs(h)) {
    CloseHandle(h);
    result.status = ConnectStatus::Missing;
    return result;
  }
  result.status = ConnectStatus::Connected;
  result.channel = std::make_unique<PipeChannel>(N(h), silenceMs);
  return result;
}

bool NameShapeUsable(const std::string& name) {
  if (name.empty() || name == "." || name == ".." || name.size() > 200) return false;
  return name.find_first_of(std::string("/\0", 2)) == std::string::npos;
}

}  // namespace

PipeChannel::PipeChannel(NativeHandle handle, int silenceMs)
    : handle_(handle), silenceMs_(silenceMs) {
  wake_ = N(CreateEventW(nullptr, TRUE, FALSE, nullptr));
}

PipeChannel::~PipeChannel() {
  Close();
  if (win::Valid(wake_)) CloseHandle(H(wake_));
}

std::ptrdiff_t PipeChannel::Read(void* buffer, std::size_t size) {
  if (!win::Valid(handle_) || !win::Valid(wake_)) return -1;
  return Transfer(H(handle_), H(wake_), silenceMs_, true, buffer, size);
}

std::ptrdiff_t PipeChannel::Write(const void* buffer, std::size_t size) {
  if (!win::Valid(handle_) || !win::Valid(wake_)) return -1;
  // WriteFile only reads the buffer.
  return Transfer(H(handle_), H(wake_), silenceMs_, false, const_cast<void*>(buffer), size);
}

void PipeChannel::Close() {
  if (win::Valid(handle_)) {
    CloseHandle(H(handle_));
    handle_ = kNoHandle;
  }
}

void PipeChannel::Shutdown() {
  if (win::Valid(wake_)) SetEvent(H(wake_));
  if (win::Valid(handle_)) CancelIoEx(H(handle_), nullptr);
}

std::string LocalPipeName(const std::string& serverName) {
  return kLocalPipePrefix + serverName;
}

bool PipeNameUsable(const std::string& serverName) {
  return NameShapeUsable(serverName);
}

std::string PipeAddress(const std::string& serverName) {
  return PipeNameUsable(serverName) ? LocalPipeName(serverName) : std::string();
}

ConnectResult TryConnectPipe(const std::string& serverName, int silenceMs) {
  if (!PipeNameUsable(serverName)) return {};
  DWORD error = 0;
  return OpenPipe(win::Wide(LocalPipeName(serverName)), silenceMs, &error);
}

ConnectResult ConnectPipe(const std::string& pipeName, std::uint32_t timeOut, int silenceMs) {
  // Only servers on this machine are reached: whose they are cannot be checked elsewhere.
  if (pipeName.compare(0, kLocalPipePrefix.size(), kLocalPipePrefix) != 0) return {};
  if (!PipeNameUsable(pipeName.substr(kLocalPipePrefix.size()))) return {};
  const std::wstring name = win::Wide(pipeName);
  const auto start = std::chrono::steady_clock::now();
  ConnectResult r;
  r.status = ConnectStatus::Busy;
  for (;;) {
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::steady_clock::now() - start)
                             .count();
    if (elapsed >= static_cast<std::int64_t>(timeOut)) return r;
    DWORD error = 0;
    r = OpenPipe(name, silenceMs, &error);
    if (r.status == ConnectStatus::Connected || r.status == ConnectStatus::Failed) return r;
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PIPE_BUSY) return r;  // not ours
    // Wait for a free instance for the rest of the time; a name nobody serves makes the
    // wait fail at once. 0 would mean the server's own default here, so it never is.
    const auto left = static_cast<DWORD>(static_cast<std::int64_t>(timeOut) - elapsed);
    if (left == 0) return r;
    if (!WaitNamedPipeW(name.c_str(), left)) {
      const DWORD err = GetLastError();
      r.status = err == ERROR_FILE_NOT_FOUND ? ConnectStatus::Missing
                 : err == ERROR_SEM_TIMEOUT  ? ConnectStatus::Busy
                                             : ConnectStatus::Failed;
      return r;
    }
  }
}

// Every instance waiting for a client has its own pending ConnectNamedPipe; a connected
// one is handed out and a fresh instance takes its place, so that as many clients as the
// backlog says can always wait.
struct PipeListener::State {
  struct Instance {
    HANDLE pipe = INVALID_HANDLE_VALUE;
    OVERLAPPED ov{};
  };
  std::mutex acceptLock;
  std::mutex stateLock;
  HANDLE wake = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::wstring name;
  std::unique_ptr<win::SecurityDescriptor> security;
  std::vector<std::unique_ptr<Instance>> waiting;
  bool listening = false;

  // A new instance with its ConnectNamedPipe under way; null on failure (`error` set).
  std::unique_ptr<Instance> NewInstance(bool first, DWORD* error) {
    auto in = std::make_unique<Instance>();
    in->ov.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!in->ov.hEvent) {
      *error = GetLastError();
      return nullptr;
    }
    in->pipe = CreateNamedPipeW(
        name.c_str(),
        PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0),
        PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
        PIPE_UNLIMITED_INSTANCES, 65536, 65536, 0, security->Attributes());
    if (in->pipe == INVALID_HANDLE_VALUE) {
      *error = GetLastError();
      CloseHandle(in->ov.hEvent);
      return nullptr;
    }
    if (!ConnectNamedPipe(in->pipe, &in->ov)) {
      const DWORD err = GetLastError();
      // A client that came between creating and waiting is connected already.
      if (err == ERROR_PIPE_CONNECTED) {
        SetEvent(in->ov.hEvent);
      } else if (err != ERROR_IO_PENDING) {
        *error = err;
        Release(*in);
        return nullptr;
      }
    }
    return in;
  }

  static void Release(Instance& in) {
    if (in.pipe != INVALID_HANDLE_VALUE) {
      CancelIoEx(in.pipe, &in.ov);
      DWORD n = 0;
      GetOverlappedResult(in.pipe, &in.ov, &n, TRUE);
      CloseHandle(in.pipe);
      in.pipe = INVALID_HANDLE_VALUE;
    }
    if (in.ov.hEvent) CloseHandle(in.ov.hEvent);
    in.ov.hEvent = nullptr;
  }
};

PipeListener::PipeListener() : state_(std::make_unique<State>()) {}

PipeListener::~PipeListener() {
  Close();
  if (state_->wake) CloseHandle(state_->wake);
}

bool PipeListener::Listening() const {
  std::lock_guard<std::mutex> lock(state_->stateLock);
  return state_->listening;
}

bool PipeListener::Listen(const std::string& serverName, int backlog, std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  std::lock_guard<std::mutex> lock(state_->stateLock);
  if (state_->listening) return fail("already listening");
  if (!state_->wake) return fail("no wake-up event");
  if (!PipeNameUsable(serverName)) return fail("invalid server name \"" + serverName + "\"");
  // The current user alone may open the pipe.
  const std::wstring user = win::CurrentUserSidText();
  if (user.empty()) return fail("the current user's SID cannot be read");
  state_->security = std::make_unique<win::SecurityDescriptor>(L"D:P(A;;GA;;;" + user + L")");
  if (!state_->security->Valid()) return fail("cannot build the pipe's security descriptor");
  state_->name = win::Wide(LocalPipeName(serverName));
  // A name with any instance, free or busy, is served already. The first-instance flag
  // below closes the gap between this look and the creation on Windows; Wine does not
  // refuse a second first instance of a pipe with unlimited instances, so the look is
  // what keeps two servers apart there.
  if (WaitNamedPipeW(state_->name.c_str(), 1) || GetLastError() != ERROR_FILE_NOT_FOUND)
    return fail("a server is already listening at " + LocalPipeName(serverName));
  // One wait covers every waiting instance, the wake-up and the stop event.
  const int count = std::clamp(backlog, 1, MAXIMUM_WAIT_OBJECTS - 4);
  for (int i = 0; i < count; ++i) {
    DWORD err = 0;
    auto in = state_->NewInstance(i == 0, &err);
    if (!in) {
      for (auto& w : state_->waiting) State::Release(*w);
      state_->waiting.clear();
      // Windows refuses a first instance of a name in use with "access denied", Wine
      // with "pipe busy": both mean a server is listening there already.
      if (i == 0 && (err == ERROR_ACCESS_DENIED || err == ERROR_PIPE_BUSY))
        return fail("a server is already listening at " + LocalPipeName(serverName));
      return fail("cannot create the pipe " + LocalPipeName(serverName) + " (error " +
                  std::to_string(err) + ")");
    }
    state_->waiting.push_back(std::move(in));
  }
  state_->listening = true;
  address_ = LocalPipeName(serverName);
  return true;
}

std::unique_ptr<PipeChannel> PipeListener::Accept(int silenceMs) {
  // One waiter at a time; the others queue here and see the wake-up when their turn comes.
  std::lock_guard<std::mutex> acceptLock(state_->acceptLock);
  for (;;) {
    std::vector<HANDLE> waits;
    {
      std::lock_guard<std::mutex> lock(state_->stateLock);
      if (!state_->listening || state_->waiting.empty()) return nullptr;
      waits.push_back(state_->wake);
      for (auto& w : state_->waiting) waits.push_back(w->ov.hEvent);
    }
    const std::size_t first = 1;
    const DWORD r =
        WaitForMultipleObjects(static_cast<DWORD>(waits.size()), waits.data(), FALSE, INFINITE);
    if (r < WAIT_OBJECT_0 + first || r >= WAIT_OBJECT_0 + waits.size()) return nullptr;
    const std::size_t index = r - WAIT_OBJECT_0 - first;

    std::lock_guard<std::mutex> lock(state_->stateLock);
    if (!state_->listening || index >= state_->waiting.size()) return nullptr;
    std::unique_ptr<State::Instance>& slot = state_->waiting[index];
    DWORD n = 0;
    const bool connected = GetOverlappedResult(slot->pipe, &slot->ov, &n, FALSE) ||
                           GetLastError() == ERROR_PIPE_CONNECTED;
    HANDLE pipe = slot->pipe;
    slot->pipe = INVALID_HANDLE_VALUE;
    State::Release(*slot);
    DWORD err = 0;
    slot = state_->NewInstance(false, &err);
    if (!slot) state_->waiting.erase(state_->waiting.begin() + static_cast<std::ptrdiff_t>(index));
    if (connected) return std::make_unique<PipeChannel>(N(pipe), silenceMs);
    CloseHandle(pipe);  // a client that gave up before it was taken
  }
}

void PipeListener::Wake() {
  if (state_->wake) SetEvent(state_->wake);
}

void PipeListener::WaitUntilWoken(NativeHandle stop) {
  HANDLE waits[2] = {state_->wake, win::Valid(stop) ? H(stop) : nullptr};
  WaitForMultipleObjects(waits[1] ? 2 : 1, waits, FALSE, INFINITE);
}

void PipeListener::Close() {
  // A waiting Accept must let go first; a closed listener accepts nothing more anyway.
  Wake();
  std::lock_guard<std::mutex> acceptLock(state_->acceptLock);
  std::lock_guard<std::mutex> lock(state_->stateLock);
  for (auto& w : state_->waiting) State::Release(*w);
  state_->waiting.clear();
  state_->listening = false;
}

}  // namespace dz
