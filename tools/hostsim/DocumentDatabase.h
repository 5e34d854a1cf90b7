#pragma once
// The host stand-in's database folder: an SQLite database with the document table
// "Auftraege" (the columns the tool selects, positions as the two compressed binary
// columns) and the identifier file "SYS.UID".
//
// Text in SQLite is UTF-8; the functions here take and give 8-bit (Windows-1252) text.
// Failures are values: false with a reason.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "tools/hostsim/ReusePool.h"
#include "tools/hostsim/VdsWriter.h"

struct sqlite3;

namespace dz::hostsim {

// File name of the database inside the folder.
extern const char* const kDatabaseFileName;   // "hostsim.sqlite"
extern const char* const kSystemUidFileName;  // "SYS.UID"

// One row of "Auftraege".
struct DocumentRow {
  int32_t id = 0;
  std::string number;  // ID_ORDER, the printed document number
  std::string date;    // "YYYY-MM-DD HH:MM:SS"; empty for none
  int32_t status = 0;
  int32_t type = 1;           // POT: 2 offer, 7 order confirmation, 1 invoice, ...
  bool highTax = true;        // steuer_high_set
  std::string datas;          // compressed rows, stored byte for byte
  std::string columnsFormat;  // compressed column set, stored byte for byte
  std::string printName;      // "Rechnung", "Auftragsbestätigung", ...
  std::string addressName;
};

class DocumentDatabase {
 public:
  DocumentDatabase() = default;
  ~DocumentDatabase();
  DocumentDatabase(const DocumentDatabase&) = delete;
  DocumentDatabase& operator=(const DocumentDatabase&) = delete;

  // Opens the database of `folder`; with `create` a missing database (and folder) is
  // made, with the table.
  bool Open(const std::string& folder, bool create, std::string* error);
  void Close();

  bool Insert(const DocumentRow& row, std::string* error);
  // Runs statements that give no rows (several, separated by ";").
  bool Execute(const std::string& sql, std::string* error);
  // Several inserts in one transaction are much faster.
  bool Begin(std::string* error) { return Execute("BEGIN", error); }
  bool Commit(std::string* error) { return Execute("COMMIT", error); }

  sqlite3* Handle() const { return db_; }
  // The query this connection ran last, for running it again (see RunQueryToVds).
  PreparedQuery& LastQuery() { return lastQuery_; }

  static std::string FileOf(const std::string& folder);

 private:
  sqlite3* db_ = nullptr;
  PreparedQuery lastQuery_;
};

// Writes "SYS.UID" in the folder, the text's bytes as they are.
bool WriteSystemUid(const std::string& folder, const std::string& uid, std::string* error);

// The answers to "ANYQUERY" requests against the database of `folder`: the field list,
// or (with no result file written) the error message. Up to `keep` connections stay open
// between requests, as a host keeps its database open: a fresh one starts with an empty
// page cache and reads every page of the result from the file again. SQLite notices
// changes made through other connections by itself; a connection whose file was deleted
// or replaced is not used again. Where an open file cannot be deleted or replaced (Windows),
// none is kept. Safe from several threads.
class DocumentQueries {
 public:
  DocumentQueries(std::string folder, std::size_t keep);
  ~DocumentQueries();
  std::string Answer(const std::string& request);

 private:
  std::string folder_;
  ReusePool<DocumentDatabase> kept_;
};

// One answer with a connection of its own.
std::string AnswerQuery(const std::string& folder, const std::string& request);

class HostServer;
// Lets the server answer "ANYQUERY" from the database of its own database folder. Like
// the host, it runs every query against its own database, whatever folder the request
// names.
void ServeDocumentDatabase(HostServer& server);

}  // namespace dz::hostsim
