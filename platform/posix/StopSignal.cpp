#include "platform/StopSignal.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace dz {

namespace {

int gStopRead = -1;
int gStopWrite = -1;
volatile sig_atomic_t gStopped = 0;

extern "C" void OnStopSignal(int) {
  int saved = errno;
  gStopped = 1;
  if (gStopWrite >= 0) {
    char c = 1;
    ssize_t n = write(gStopWrite, &c, 1);
    (void)n;
  }
  errno = saved;
}

}  // namespace

NativeHandle InstallStopSignals() {
  if (gStopRead >= 0) return gStopRead;
  int p[2];
  if (pipe2(p, O_CLOEXEC | O_NONBLOCK) != 0) return kNoHandle;
  gStopRead = p[0];
  gStopWrite = p[1];
  struct sigaction sa {};
  sa.sa_handler = OnStopSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGHUP, &sa, nullptr);
  // Writes to a vanished peer are reported as failed writes, never as a signal.
  signal(SIGPIPE, SIG_IGN);
  return gStopRead;
}

bool StopRequested() {
  return gStopped != 0;
}

}  // namespace dz
