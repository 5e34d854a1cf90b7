#pragma once
// A real hostsim server process for tests: started with the given options, waited for
// until it serves and is registered in the server list, and stopped (in order: it takes
// its name out of the list) when the object goes. The process is always reaped; one that
// does not stop within half a minute is killed.
//
// The child inherits this process's temporary folder unless `tempDir` is given, so with a
// ScopedTempFolder alive everything it creates stays inside that folder.

#include <string>
#include <vector>

#include "platform/ChildProcess.h"

namespace dz::test {

struct HostsimOptions {
  std::string name = "MVXSIM";
  std::string dir;       // --dir; empty: hostsim's default (its working folder)
  std::string document;  // --document
  std::string canPost;   // --canpost when not empty
  std::string metrics;   // --metrics when not empty
  bool isDefault = false;
  int processId = 0;               // --process-id when not 0
  std::string journal;             // --journal when not empty
  std::string tempDir;             // temporary folder for the child when not empty
  std::vector<std::string> extra;  // further arguments, e.g. a subcommand's options
};

class HostsimProcess {
 public:
  // Throws std::runtime_error when the server does not come up.
  explicit HostsimProcess(const HostsimOptions& options);
  ~HostsimProcess();
  HostsimProcess(const HostsimProcess&) = delete;
  HostsimProcess& operator=(const HostsimProcess&) = delete;

  // Asks the server to stop and waits for it (killing it after 30 s). Returns its exit
  // status. Safe to call twice.
  int Stop();
  // The same, but by the termination signal, as a user's kill or Ctrl+C would.
  int StopBySignal();

  int Pid() const { return process_.Pid(); }
  const std::string& Name() const { return name_; }

  // The hostsim program of this build tree, beside the test programs.
  static std::string ProgramPath();

 private:
  ChildProcess process_;
  Pipe stop_;
  std::string name_;
  bool stopped_ = false;
  int exitCode_ = -1;
};

}  // namespace dz::test
