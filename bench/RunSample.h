#pragma once
// The large sample of the run benchmarks (an order confirmation of 5,000 positions and 500
// invoices of 20 positions each) served by a real hostsim process, and the floor every
// run is measured against: the same rows read straight from SQLite in this process, with
// exactly the binary columns inflated that a run inflates, by the same inflater.
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "docdata/BlobInflate.h"
#include "docdata/NumberFormat.h"
#include "engine/SuperStack.h"
#include "platform/ChildProcess.h"
#include "platform/Platform.h"
#include "tools/hostsim/DocumentDatabase.h"
#include "tools/hostsim/SampleData.h"

namespace bench {

constexpr int kPositions = 5000, kInvoices = 500, kInvoicePositions = 20;

class RunSample {
 public:
  // Seeds the sample in a private temporary folder (the server list, the sockets and the
  // result files stay out of everybody else's way) and starts hostsim on it.
  bool Start(const char* who) {
    dz::SetNumberFormat(dz::DefaultNumberFormat());
    temp_ = dz::TempPath() + who + "-" + dz::NewGuidText();
    std::filesystem::create_directories(temp_);
    dz::SetEnvironmentValue(dz::TempFolderVariable(), temp_);
    folder_ = temp_ + "/db";

    dz::hostsim::SeedOptions seed;
    seed.folder = folder_;
    seed.positions = kPositions;
    seed.invoices = kInvoices;
    seed.invoicePositions = kInvoicePositions;
    dz::hostsim::SeedResult seeded;
    std::string error;
    if (!dz::hostsim::SeedSample(seed, &seeded, &error)) {
      std::fprintf(stderr, "%s: %s\n", who, error.c_str());
      return false;
    }
    dz::ChildProcess::Options spawn;
    spawn.quiet = true;
    spawn.inherit = {ready_.WriteEnd(), stop_.ReadEnd()};
    const std::string program = dz::ProgramDir() + "hostsim";
    if (!host_.Start(program,
                     {"serve", "--dir", folder_, "--ready-fd", dz::HandleText(ready_.WriteEnd()),
                      "--stop-fd", dz::HandleText(stop_.ReadEnd())},
                     spawn, &error)) {
      std::fprintf(stderr, "%s: cannot start %s: %s\n", who, program.c_str(), error.c_str());
      return false;
    }
    started_ = true;
    ready_.CloseWrite();
    stop_.CloseRead();
    std::string line;
    if (!ready_.ReadLine(line, 30000) || line.rfind("ready", 0) != 0) {
      std::fprintf(stderr, "%s: hostsim did not start\n", who);
      return false;
    }
    return true;
  }

  void StopHost() {
    if (!started_) return;
    started_ = false;
    stop_.CloseWrite();
    if (!host_.Wait(30000)) host_.Kill();
  }

  ~RunSample() {
    StopHost();
    std::error_code ec;
    if (!temp_.empty()) std::filesystem::remove_all(temp_, ec);
  }

  const std::string& Temp() const { return temp_; }

  // The floor: the run's rows from SQLite, its "Datas" inflated for every row and its
  // "ColumnsFormat" only where it differs from the row before (the run keeps the last
  // layout). Returns the bytes inflated.
  size_t ReadAndInflate() const {
    std::string ids = "1001";
    for (int n = 0; n < kInvoices; ++n) ids += "," + std::to_string(2001 + n);
    const std::string sql = dz::LinkedDocumentsQuery(ids);
    sqlite3* db = nullptr;
    sqlite3_open_v2(dz::hostsim::DocumentDatabase::FileOf(folder_).c_str(), &db,
                    SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr);
    size_t bytes = 0;
    std::string lastColumns;
    auto blob = [st](int col) {
      return std::string_view(static_cast<const char*>(sqlite3_column_blob(st, col)),
                              static_cast<size_t>(sqlite3_column_bytes(st, col)));
    };
    while (sqlite3_step(st) == SQLITE_ROW) {
      // The other columns of a row, as the run reads them.
      sink_ += static_cast<size_t>(sqlite3_column_int(st, 0) + sqlite3_column_int(st, 4) +
                                   sqlite3_column_bytes(st, 1) + sqlite3_column_bytes(st, 2));
      const std::string_view columns = blob(7);
      if (columns != lastColumns) {
        bytes += dz::InflateBlob(columns).bytes.Size();
        lastColumns.assign(columns);
      }
      bytes += dz::InflateBlob(blob(6)).bytes.Size();
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return bytes;
  }

 private:
  std::string temp_, folder_;
  dz::ChildProcess host_;
  dz::Pipe ready_, stop_;
  bool started_ = false;
  mutable size_t sink_ = 0;
};

}  // namespace bench
