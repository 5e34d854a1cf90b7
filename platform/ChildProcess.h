#pragma once
// Starting, watching and stopping another program. Used to run host servers for tests,
// benchmarks and the demo, and by the host stand-in to run the tool as its child.
//
// A ChildProcess owns its process: the destructor kills a child that still runs and
// always reaps it, so no test leaves a process or a zombie behind. Failures are values.

#include <string>
#include <string_view>
#include <vector>

#include "platform/NativeHandle.h"

namespace dz {

class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  struct Options {
    // "NAME=VALUE" entries added to (or replacing in) this process's environment.
    std::vector<std::string> environment;
    // Handles the child inherits, under the same value as here (tell it the value on its
    // command line). Nothing else is inherited.
    std::vector<NativeHandle> inherit;
    // The child's standard output goes to this handle when set.
    NativeHandle standardOutput = kNoHandle;
    // Discards standard output and error when set.
    bool quiet = false;
  };

  // Starts `program` with `args` (not including the program name). False with a reason
  // when it could not be started.
  bool Start(const std::string& program, const std::vector<std::string>& args,
             const Options& options, std::string* error = nullptr);

  int Pid() const { return pid_; }

  // True while the process has not ended (reaps it when it has).
  bool Running();

  // Asks the process to stop, as a user's kill or Ctrl+C would (SIGTERM; on Windows a
  // Ctrl+Break to the child's own process group).
  void Terminate();

  // Waits up to `timeoutMs` (negative = without bound) for the process to end and reaps
  // it. True when it has ended; ExitCode() then tells how.
  bool Wait(int timeoutMs);

  // Kills the process if it still runs, and reaps it.
  void Kill();

  // Exit status of an ended process; 128 + signal number when a signal ended it.
  int ExitCode() const { return exitCode_; }

 private:
  int pid_ = -1;
  NativeHandle process_ = kNoHandle;  // Windows only: the process handle
  bool reaped_ = true;
  int exitCode_ = -1;
};

// An anonymous pipe whose ends close with the object; neither end is inherited unless
// handed to a child through Options::inherit.
class Pipe {
 public:
  Pipe();
  ~Pipe();
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;
  bool Valid() const { return ends_[0] != kNoHandle; }
  NativeHandle ReadEnd() const { return ends_[0]; }
  NativeHandle WriteEnd() const { return ends_[1]; }
  void CloseRead();
  void CloseWrite();

  // Reads one line (without its LF) from the read end, waiting at most `timeoutMs`.
  // False when the writer closed, the time passed or the read failed.
  bool ReadLine(std::string& line, int timeoutMs);

 private:
  NativeHandle ends_[2] = {kNoHandle, kNoHandle};
};

// Writes all of `data` to the handle, going on after short writes; false on failure.
bool WriteFully(NativeHandle handle, std::string_view data);

// Writes `text` to the handle and closes it: how a server tells whoever started it that
// it is ready. False when the write failed.
bool WriteAndCloseHandle(NativeHandle handle, const std::string& text);

// Blocks until one of the two pipe read ends has data or is closed by its writer.
void WaitForEither(NativeHandle first, NativeHandle second);

// True when `handle` is an open handle of this process.
bool HandleIsOpen(NativeHandle handle);

// The handle written as a decimal number (how it travels on a command line), and back;
// false when the text is not such a number.
std::string HandleText(NativeHandle handle);
bool ParseHandle(const std::string& text, NativeHandle& handle);

}  // namespace dz
