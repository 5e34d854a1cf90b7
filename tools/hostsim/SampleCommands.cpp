#include "tools/hostsim/SampleCommands.h"

#include <cstdlib>
#include <ostream>
#include <thread>

#include "platform/ChildProcess.h"
#include "platform/Platform.h"
#include "platform/StopSignal.h"
#include "tools/hostsim/DocumentDatabase.h"
#include "tools/hostsim/HostServer.h"
#include "tools/hostsim/SampleData.h"

namespace dz::hostsim {

namespace {

bool ParseCount(const std::string& text, int& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  long v = std::strtol(text.c_str(), &end, 10);
  if (*end != '\0' || v < 0 || v > 10000000L) return false;
  value = static_cast<int>(v);
  return true;
}

// Parses the size options at args[i] (advancing i). True when args[i] was one of them;
// `error` is set when it was one but its value is bad.
bool SizeOption(const std::vector<std::string>& args, size_t& i, SeedOptions& o,
                std::string& error) {
  int* into = nullptr;
  if (args[i] == "--positions")
    into = &o.positions;
  else if (args[i] == "--invoices")
    into = &o.invoices;
  else if (args[i] == "--invoice-positions")
    into = &o.invoicePositions;
  else
    return false;
  if (i + 1 >= args.size() || !ParseCount(args[i + 1], *into))
    error = args[i] + " needs a number";
  else
    ++i;
  return true;
}

void Describe(std::ostream& out, const std::string& folder, const SeedResult& r) {
  out << "hostsim: " << r.documents << " stored documents with " << r.positions << " positions in "
      << DocumentDatabase::FileOf(folder) << ", open document " << r.documentFile << std::endl;
}

}  // namespace

std::string SampleCommandsHelp() {
  return R"(  hostsim seed --dir FOLDER [size options]
                              write the sample into FOLDER: the database (table Auftraege),
                              SYS.UID and the open document open-document.json
  hostsim demo [--name NAME] [--keep] [size options] -- PROGRAM [ARGUMENTS...]
                              seed a fresh folder under the temporary folder, serve it as
                              NAME (default MVXDEMO), run PROGRAM as a child process and
                              stop when it ends; exits with its exit status. --keep leaves
                              the folder in place.

Size options: --positions N (an order confirmation of N generated positions; 0, the
default, gives the hand-made sample), --invoices N (stored invoices linked to it) and
--invoice-positions N (positions per invoice, default 20).
)";
}

int SeedCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  SeedOptions o;
  std::string error;
  for (size_t i = 0; i < args.size() && error.empty(); ++i) {
    if (SizeOption(args, i, o, error)) continue;
    if (args[i] == "--dir" && i + 1 < args.size() && !args[i + 1].empty())
      o.folder = args[++i];
    else
      error = args[i] == "--dir" ? "--dir needs a folder" : "unknown option " + args[i];
  }
  if (error.empty() && o.folder.empty()) error = "seed needs --dir FOLDER";
  if (!error.empty()) {
    err << "hostsim: " << error << "\n(hostsim --help shows the options)\n";
    return 2;
  }
  o.folder = AbsolutePath(o.folder);
  SeedResult r;
  if (!SeedSample(o, &r, &error)) {
    err << "hostsim: " << error << "\n";
    return 1;
  }
  Describe(out, o.folder, r);
  return 0;
}

int DemoCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  SeedOptions o;
  std::string error, name = "MVXDEMO";
  bool keep = false;
  size_t i = 0;
  for (; i < args.size() && error.empty(); ++i) {
    if (args[i] == "--") break;
    if (SizeOption(args, i, o, error)) continue;
    if (args[i] == "--keep")
      keep = true;
    else if (args[i] == "--name" && i + 1 < args.size() && !args[i + 1].empty())
      name = args[++i];
    else
      error = "unknown option " + args[i];
  }
  if (error.empty() && (i >= args.size() || i + 1 >= args.size()))
    error = "demo needs -- PROGRAM [ARGUMENTS...]";
  if (!error.empty()) {
    err << "hostsim: " << error << "\n(hostsim --help shows the options)\n";
    return 2;
  }
  const std::string program = args[i + 1];
  const std::vector<std::string> programArgs(args.begin() + static_cast<long>(i) + 2, args.end());

  o.folder = TempPath() + "hostsim-demo-" + NewGuidText();
  SeedResult seeded;
  if (!SeedSample(o, &seeded, &error)) {
    err << "hostsim: " << error << "\n";
    RemoveFolderTree(o.folder);
    return 1;
  }
  // Our own messages go to standard error: standard output is the child's.
  Describe(err, o.folder, seeded);

  int status = 1;
  {
    HostServerOptions so;
    so.name = name;
    so.databaseDir = o.folder;
    so.documentFile = seeded.documentFile;
    HostServer server(so);
    ServeDocumentDatabase(server);
    const NativeHandle stopSignals = InstallStopSignals();
    if (!server.Start(&error)) {
      err << "hostsim: " << error << "\n";
    } else {
      std::thread serving([&server, stopSignals] { server.Run(stopSignals); });
      ChildProcess child;
      if (!child.Start(program, programArgs, {}, &error)) {
        err << "hostsim: cannot start " << program << ": " << error << "\n";
      } else {
        // A request to stop the demo (Ctrl+C, a kill) ends the child too, then us.
        bool asked = false;
        while (!child.Wait(200))
          if (StopRequested() && !asked) {
            child.Terminate();
            asked = true;
          }
        status = child.ExitCode();
      }
      server.Stop();
      serving.join();
    }
  }
  if (keep) {
    err << "hostsim: the demo folder stays: " << o.folder << std::endl;
  } else {
    RemoveFolderTree(o.folder);
  }
  return status;
}

}  // namespace dz::hostsim
