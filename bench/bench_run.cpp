// The whole reconciliation as `dirivararez --report --format json` does it, against a real
// hostsim process serving a large sample (an order confirmation of 5,000 positions and 500
// invoices of 20 positions each), against the floor: the same rows and binary columns read
// straight from SQLite in this process and inflated. Both are wall-clock times (the run's
// work is split between two processes); the best of several rounds counts.
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <sstream>
#include <streambuf>
#include <string>

#include "docdata/BlobInflate.h"
#include "docdata/NumberFormat.h"
#include "engine/SuperStack.h"
#include "hostlink/HostCommands.h"
#include "output/Report.h"
#include "platform/ChildProcess.h"
#include "platform/Platform.h"
#include "tools/hostsim/DocumentDatabase.h"
#include "tools/hostsim/SampleData.h"

using namespace dz;

namespace {

constexpr int kPositions = 5000, kInvoices = 500, kInvoicePositions = 20, kRounds = 5;

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Where the report goes: counted, not kept, as a terminal or a pipe would take it.
struct CountingBuffer : std::streambuf {
  size_t bytes = 0;
  std::streamsize xsputn(const char*, std::streamsize n) override {
    bytes += static_cast<size_t>(n);
    return n;
  }
  int overflow(int c) override {
    if (c != EOF) ++bytes;
    return c;
  }
};

// The floor: what any reconciliation has to do at least, in the same process.
size_t ReadAndInflate(const std::string& folder, const std::string& sql) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(Utf8ApiPath(hostsim::DocumentDatabase::FileOf(folder)).c_str(), &db,
                  SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr);
  size_t bytes = 0;
  while (sqlite3_step(st) == SQLITE_ROW) {
    for (int col : {6, 7}) {
      std::string_view blob(static_cast<const char*>(sqlite3_column_blob(st, col)),
                            static_cast<size_t>(sqlite3_column_bytes(st, col)));
      bytes += InflateBlob(blob).bytes.Size();
    }
  }
  sqlite3_finalize(st);
  sqlite3_close(db);
  return bytes;
}

}  // namespace

int main() {
  SetNumberFormat(DefaultNumberFormat());
  // A private temporary folder: the server list, the sockets and the result files of this
  // benchmark stay out of everybody else's way.
  const std::string temp = TempPath() + "bench-run-" + NewGuidText();
  std::filesystem::create_directories(temp);
  SetEnvironmentValue(TempFolderVariable(), temp);
  const std::string folder = temp + PathDelim + "db";

  hostsim::SeedOptions seed;
  seed.folder = folder;
  seed.positions = kPositions;
  seed.invoices = kInvoices;
  seed.invoicePositions = kInvoicePositions;
  hostsim::SeedResult seeded;
  std::string error;
  if (!hostsim::SeedSample(seed, &seeded, &error)) {
    std::fprintf(stderr, "bench_run: %s\n", error.c_str());
    return 1;
  }

  ChildProcess host;
  Pipe ready, stop;
  ChildProcess::Options spawn;
  spawn.quiet = true;
  spawn.inherit = {ready.WriteEnd(), stop.ReadEnd()};
  const std::string program = ProgramDir() + "hostsim" + ProgramSuffix();
  if (!host.Start(program,
                  {"serve", "--dir", folder, "--ready-fd", HandleText(ready.WriteEnd()),
                   "--stop-fd", HandleText(stop.ReadEnd())},
                  spawn, &error)) {
    std::fprintf(stderr, "bench_run: cannot start %s: %s\n", program.c_str(), error.c_str());
    return 1;
  }
  ready.CloseWrite();
  stop.CloseRead();
  std::string line;
  if (!ready.ReadLine(line, 30000) || line.rfind("ready", 0) != 0) {
    std::fprintf(stderr, "bench_run: hostsim did not start\n");
    return 1;
  }

  double run = 1e9;
  size_t reportBytes = 0;
  int status = 0;
  for (int r = 0; r < kRounds; ++r) {
    CountingBuffer sink;
    std::ostream out(&sink);
    std::ostringstream err;
    const double t0 = Now();
    status = ReportMain({"--report", "--format", "json"}, out, err);
    run = std::min(run, Now() - t0);
    reportBytes = sink.bytes;
    if (status != 0) {
      std::fprintf(stderr, "bench_run: the run failed: %s", err.str().c_str());
      break;
    }
  }
  stop.CloseWrite();
  if (!host.Wait(30000)) host.Kill();

  std::string ids = "1001";
  for (int n = 0; n < kInvoices; ++n) ids += "," + std::to_string(2001 + n);
  const std::string sql = LinkedDocumentsQuery(ids);
  double floor = 1e9;
  size_t inflated = 0;
  for (int r = 0; r < kRounds; ++r) {
    const double t0 = Now();
    inflated = ReadAndInflate(folder, sql);
    floor = std::min(floor, Now() - t0);
  }
  std::filesystem::remove_all(temp);
  if (status != 0) return 1;

  std::printf("run (report, json) over %d + %d x %d positions: %.1f ms, %zu bytes of report\n",
              kPositions, kInvoices, kInvoicePositions, run * 1e3, reportBytes);
  std::printf("floor (SQLite rows + inflate, %zu bytes): %.1f ms\n", inflated, floor * 1e3);
  std::printf("ratio run/floor: %.2f (target <= 3)\n", run / floor);
  return 0;
}
