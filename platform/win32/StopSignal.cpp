#include "platform/StopSignal.h"

#include <atomic>
#include <mutex>

#include "platform/win32/WinUtil.h"

namespace dz {

namespace {

HANDLE gStopEvent = nullptr;
std::atomic<bool> gStopped{false};

BOOL WINAPI OnConsoleEvent(DWORD type) {
  switch (type) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      gStopped = true;
      if (gStopEvent) SetEvent(gStopEvent);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

NativeHandle InstallStopSignals() {
  static std::once_flag once;
  std::call_once(once, [] {
    gStopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!gStopEvent) return;
    // A process started in its own group has Ctrl+C switched off; take it back.
    SetConsoleCtrlHandler(nullptr, FALSE);
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
  });
  return gStopEvent ? win::N(gStopEvent) : kNoHandle;
}

bool StopRequested() {
  return gStopped.load();
}

}  // namespace dz
