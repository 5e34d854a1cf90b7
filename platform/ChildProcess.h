#pragma once
// Starting, watching and stopping another program. Used to run host servers for tests,
// benchmarks and the demo, and by the host stand-in to run the tool as its child.
//
// A ChildProcess owns its process: the destructor kills a child that still runs and
// always reaps it, so no test leaves a process or a zombie behind. Failures are values.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

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
    // Descriptors handed to the child: (descriptor here, number in the child).
    std::vector<std::pair<int, int>> descriptors;
    // Replaces standard output and error with /dev/null when set.
    bool quiet = false;
  };

  // Starts `program` with `args` (not including the program name). False with a reason
  // when it could not be started.
  bool Start(const std::string& program, const std::vector<std::string>& args,
             const Options& options, std::string* error = nullptr);

  int Pid() const { return pid_; }

  // True while the process has not ended (reaps it when it has).
  bool Running();

  // Asks the process to stop (SIGTERM).
  void Terminate();

  // Waits up to `timeoutMs` (negative = without bound) for the process to end and reaps
  // it. True when it has ended; ExitCode() then tells how.
  bool Wait(int timeoutMs);

  // Kills the process (SIGKILL) if it still runs, and reaps it.
  void Kill();

  // Exit status of an ended process; 128 + signal number when a signal ended it.
  int ExitCode() const { return exitCode_; }

 private:
  int pid_ = -1;
  bool reaped_ = true;
  int exitCode_ = -1;
};

// A pipe whose ends close with the object. Read end [0], write end [1]; both close-on-exec.
class Pipe {
 public:
  Pipe();
  ~Pipe();
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;
  bool Valid() const { return fds_[0] >= 0; }
  int ReadEnd() const { return fds_[0]; }
  int WriteEnd() const { return fds_[1]; }
  void CloseRead();
  void CloseWrite();

  // Reads one line (without its LF) from the read end, waiting at most `timeoutMs`.
  // False when the writer closed, the time passed or the read failed.
  bool ReadLine(std::string& line, int timeoutMs);

 private:
  int fds_[2] = {-1, -1};
};

// Writes all of `data` to the descriptor, going on after short writes; false on failure.
bool WriteFully(int fd, std::string_view data);

// Writes `text` to the descriptor and closes it: how a server tells whoever started it
// that it is ready. False when the write failed.
bool WriteAndCloseDescriptor(int fd, const std::string& text);

// Blocks until one of the two descriptors becomes readable or is closed by its writer.
void WaitForEither(int fd1, int fd2);

// True when `fd` is a valid open descriptor.
bool DescriptorIsOpen(int fd);

}  // namespace dz
