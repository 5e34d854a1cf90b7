#include "tests/support/HostsimProcess.h"

#include <stdexcept>

#include "platform/Platform.h"

namespace dz::test {

std::string HostsimProcess::ProgramPath() {
  // Beside the test program, so that the path is one the system under test can open.
  return ProgramDir() + "hostsim" + ProgramSuffix();
}

HostsimProcess::HostsimProcess(const HostsimOptions& o) : name_(o.name) {
  std::vector<std::string> args = {"serve", "--name", o.name};
  auto add = [&](const char* flag, const std::string& value) {
    if (!value.empty()) {
      args.push_back(flag);
      args.push_back(value);
    }
  };
  add("--dir", o.dir);
  add("--document", o.document);
  add("--canpost", o.canPost);
  add("--metrics", o.metrics);
  add("--journal", o.journal);
  if (o.processId != 0) add("--process-id", std::to_string(o.processId));
  if (o.isDefault) args.push_back("--default");
  Pipe ready;
  if (!ready.Valid() || !stop_.Valid()) throw std::runtime_error("hostsim: no pipes");
  args.insert(args.end(), {"--ready-fd", HandleText(ready.WriteEnd()), "--stop-fd",
                           HandleText(stop_.ReadEnd())});
  args.insert(args.end(), o.extra.begin(), o.extra.end());
  ChildProcess::Options spawn;
  spawn.inherit = {ready.WriteEnd(), stop_.ReadEnd()};
  if (!o.tempDir.empty())
    spawn.environment.push_back(std::string(TempFolderVariable()) + "=" + o.tempDir);
  std::string error;
  if (!process_.Start(ProgramPath(), args, spawn, &error))
    throw std::runtime_error("hostsim: " + error);
  ready.CloseWrite();
  stop_.CloseRead();

  std::string line;
  if (!ready.ReadLine(line, 30000) || line.rfind("ready ", 0) != 0) {
    Stop();
    throw std::runtime_error("hostsim \"" + o.name + "\" did not start: " + line);
  }
}

HostsimProcess::~HostsimProcess() {
  Stop();
}

int HostsimProcess::StopBySignal() {
  if (!stopped_) process_.Terminate();
  return Stop();
}

int HostsimProcess::Stop() {
  if (stopped_) return exitCode_;
  stopped_ = true;
  stop_.CloseWrite();  // the server sees its stop descriptor close
  if (!process_.Wait(30000)) process_.Kill();
  exitCode_ = process_.ExitCode();
  return exitCode_;
}

}  // namespace dz::test
