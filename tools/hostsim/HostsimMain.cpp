#include "tools/hostsim/HostsimMain.h"

#include <cstdlib>
#include <functional>
#include <ostream>
#include <thread>

#include "platform/ChildProcess.h"
#include "platform/Platform.h"
#include "platform/StopSignal.h"
#include "tools/hostsim/DocumentDatabase.h"
#include "tools/hostsim/SampleCommands.h"

namespace dz::hostsim {

namespace {

bool ParseInt(const std::string& text, int& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  long v = std::strtol(text.c_str(), &end, 10);
  if (*end != '\0' || v < -2147483647L || v > 2147483647L) return false;
  value = static_cast<int>(v);
  return true;
}

std::string WithoutTrailingDelimiter(std::string path) {
  while (path.size() > 1 && path.back() == PathDelim) path.pop_back();
  return path;
}

int Serve(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  ServeOptions o;
  std::string error;
  if (!ParseServeOptions(args, o, &error)) {
    err << "hostsim: " << error << "\n(hostsim --help shows the options)\n";
    return 2;
  }
  const NativeHandle stopSignals = InstallStopSignals();
  HostServer server(o.server);
  ServeDocumentDatabase(server);
  for (const auto& fixed : o.answers) {
    const std::string answer = fixed.second;
    server.Handle(fixed.first, [answer](const HostRequest&) { return answer; });
  }
  if (!server.Start(&error)) {
    err << "hostsim: " << error << "\n";
    if (o.readyFd != kNoHandle) WriteAndCloseHandle(o.readyFd, "failed " + error + "\n");
    return 1;
  }
  out << "hostsim: serving \"" << o.server.name << "\" (process " << CurrentProcessId() << ") at "
      << server.Address() << std::endl;
  if (o.readyFd != kNoHandle)
    WriteAndCloseHandle(o.readyFd, "ready " + std::to_string(CurrentProcessId()) + "\n");

  // Either a signal or the stop pipe ends serving; a watcher thread turns the second into
  // a Stop() so that Run waits on the stop-signal handle only.
  std::thread watcher;
  Pipe done;
  if (o.stopFd != kNoHandle) {
    NativeHandle stopFd = o.stopFd;
    NativeHandle doneFd = done.ReadEnd();
    watcher = std::thread([&server, stopFd, doneFd] {
      WaitForEither(stopFd, doneFd);
      server.Stop();
    });
  }
  server.Run(stopSignals);
  done.CloseWrite();
  if (watcher.joinable()) watcher.join();
  out << "hostsim: \"" << o.server.name << "\" stopped" << std::endl;
  return 0;
}

struct Subcommand {
  const char* name;
  std::function<int(const std::vector<std::string>&, std::ostream&, std::ostream&)> run;
};

const std::vector<Subcommand>& Subcommands() {
  static const std::vector<Subcommand> table = {
      {"serve", Serve},
      {"seed", SeedCommand},
      {"demo", DemoCommand},
  };
  return table;
}

}  // namespace

std::string HelpText() {
  return R"(hostsim: a stand-in for the host application, for tests, benchmarks and the demo.

Usage:
  hostsim [serve] [options]   serve as one host pipe server until stopped
)" + SampleCommandsHelp() +
         R"(

Each server listens on the pipe \\.\pipe\NAME (on Linux the socket <temp>/MVTempDir/pipe/NAME,
<temp> being $TMPDIR or /tmp; on Windows <temp> is the user's temporary folder), puts NAME
into <temp>/MVTempDir/MVX-EXCHANGELOCALSERVICE.TXT while it serves and takes it out again
when it stops. Several servers with different names can run side by side.

Options of serve:
  --name NAME          server name (default MVXSIM)
  --dir FOLDER         database folder, answered to DBPATH (default: the working folder)
  --document FILE      the open document (JSON, Windows-1252), answered to GETJSON as a fresh
                       copy and extended by OUTDATA; created as an empty invoice when missing
                       (default: FOLDER/open-document.json)
  --canpost TEXT       answer to CANPOSTJSON (default 1; 0 or any other text refuses)
  --metrics TEXT       answer to MARVELLAMETRICS (default 100,100,1200,800)
  --default            register as the first line of the list (the default server)
  --process-id N       answer SERVERPROCESS with N instead of this process's ID, to stand in
                       for the host that started a tool
  --journal FILE       append a line per request: command, index, SYNC, data size (tabs)
  --answer CMD=TEXT    answer the command CMD with TEXT instead (repeatable), e.g.
                       --answer DBPATH= for a host without a database folder
  --reply-timeout MS   give up on a connection silent for MS milliseconds (default 60000)
  --fault CMD=KIND     fail on purpose after handling CMD (repeatable), instead of replying:
                       silent (say nothing, keep the connection), hangup (close it), die
                       (end the process), cut:N (send only the first N bytes of the reply),
                       bytes:HEX (send these bytes instead)
  --die-after K        end the process at once when request K + 1 arrives
  --result-file FILE   give every ANYQUERY's result file the bytes of FILE
  --instances N        connections served at the same time (default 4); further clients
                       wait in the queue, and find the server busy when that is full too
  --ready-fd N         write "ready <pid>" and a line feed to descriptor N (on Windows: the
                       inherited handle N) once serving
  --stop-fd N          stop when descriptor (handle) N becomes readable or its writer closes it
  --help               show this text

Stopping: SIGTERM, SIGINT or SIGHUP (on Windows Ctrl+C, Ctrl+Break or closing the console),
or the --stop-fd descriptor. The server then ends its connections, removes its line from the
list and its pipe, and exits with 0.

Commands answered: SERVERPROCESS (NAME, character 8, process ID), DBPATH, GETJSON,
CANPOSTJSON, MARVELLAMETRICS, OUTDATA (appends the parts of the import document to the open
document and saves it; an import that cannot be merged is kept beside the document as
FILE.rejected-<GUID>.json), ANYQUERY (runs the SQL on FOLDER/hostsim.sqlite and writes the
vds record file; an error writes no file and answers the message). Other commands are
answered with empty text.
)";
}

bool ParseServeOptions(const std::vector<std::string>& args, ServeOptions& o, std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  std::string dir, document;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& into) {
      if (i + 1 >= args.size()) return false;
      into = args[++i];
      return true;
    };
    auto number = [&](int& into) {
      std::string text;
      return value(text) && ParseInt(text, into);
    };
    if (a == "--name") {
      if (!value(o.server.name) || o.server.name.empty()) return fail("--name needs a name");
    } else if (a == "--dir") {
      if (!value(dir) || dir.empty()) return fail("--dir needs a folder");
    } else if (a == "--document") {
      if (!value(document) || document.empty()) return fail("--document needs a file");
    } else if (a == "--canpost") {
      if (!value(o.server.canPost)) return fail("--canpost needs a text");
    } else if (a == "--metrics") {
      if (!value(o.server.metrics)) return fail("--metrics needs a text");
    } else if (a == "--default") {
      o.server.registerAsDefault = true;
    } else if (a == "--process-id") {
      if (!number(o.server.processId)) return fail("--process-id needs a number");
    } else if (a == "--journal") {
      if (!value(o.server.journalFile)) return fail("--journal needs a file");
    } else if (a == "--answer") {
      std::string answer;
      if (!value(answer) || answer.find('=') == std::string::npos || answer.front() == '=')
        return fail("--answer needs COMMAND=TEXT");
      o.answers.emplace_back(answer.substr(0, answer.find('=')),
                             answer.substr(answer.find('=') + 1));
    } else if (a == "--fault") {
      std::string fault;
      const std::size_t eq = fault.npos;
      if (!value(fault) || fault.find('=') == eq || fault.front() == '=' ||
          !IsFaultKind(fault.substr(fault.find('=') + 1)))
        return fail("--fault needs COMMAND=silent|hangup|die|cut:N|bytes:HEX");
      o.server.faults[fault.substr(0, fault.find('='))] = fault.substr(fault.find('=') + 1);
    } else if (a == "--die-after") {
      if (!number(o.server.dieAfter) || o.server.dieAfter < 0)
        return fail("--die-after needs a number of requests");
    } else if (a == "--result-file") {
      if (!value(o.server.resultFile) || o.server.resultFile.empty())
        return fail("--result-file needs a file");
      o.server.resultFile = AbsolutePath(o.server.resultFile);
    } else if (a == "--reply-timeout") {
      if (!number(o.server.replyTimeoutMs)) return fail("--reply-timeout needs milliseconds");
    } else if (a == "--instances") {
      if (!number(o.server.instances) || o.server.instances < 1 || o.server.instances > 256)
        return fail("--instances needs a number from 1 to 256");
    } else if (a == "--ready-fd") {
      std::string text;
      if (!value(text) || !ParseHandle(text, o.readyFd) || !HandleIsOpen(o.readyFd))
        return fail("--ready-fd needs an open descriptor");
    } else if (a == "--stop-fd") {
      std::string text;
      if (!value(text) || !ParseHandle(text, o.stopFd) || !HandleIsOpen(o.stopFd))
        return fail("--stop-fd needs an open descriptor");
    } else {
      return fail("unknown option " + a);
    }
  }
  if (o.server.name.find('/') != std::string::npos) return fail("a name cannot contain /");
  if (!PipeNameUsable(o.server.name)) return fail("the name cannot name a pipe here");
  if (dir.empty()) dir = ".";
  dir = WithoutTrailingDelimiter(AbsolutePath(dir));
  o.server.databaseDir = dir;
  o.server.documentFile =
      document.empty() ? dir + PathDelim + "open-document.json" : AbsolutePath(document);
  if (!o.server.journalFile.empty()) o.server.journalFile = AbsolutePath(o.server.journalFile);
  return true;
}

int HostsimMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  for (const std::string& a : args)
    if (a == "--help" || a == "-h") {
      out << HelpText();
      return 0;
    }
  if (!args.empty() && !args[0].empty() && args[0][0] != '-') {
    for (const Subcommand& s : Subcommands())
      if (args[0] == s.name) return s.run({args.begin() + 1, args.end()}, out, err);
    err << "hostsim: unknown subcommand " << args[0] << "\n(hostsim --help shows the usage)\n";
    return 2;
  }
  return Serve(args, out, err);
}

}  // namespace dz::hostsim
