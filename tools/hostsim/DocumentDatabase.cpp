#include "tools/hostsim/DocumentDatabase.h"

#include <sqlite3.h>

#include "docdata/Cp1252.h"
#include "platform/Platform.h"
#include "tools/hostsim/HostServer.h"
#include "tools/hostsim/ReusePool.h"
#include "tools/hostsim/VdsWriter.h"

namespace dz::hostsim {

const char* const kDatabaseFileName = "hostsim.sqlite";
const char* const kSystemUidFileName = "SYS.UID";

namespace {

// The columns the tool selects, with declared types that make the record file carry
// what the host's table carries: integers, a date-time, texts and two large objects.
const char* const kCreateTable =
    "CREATE TABLE IF NOT EXISTS Auftraege ("
    "ID INTEGER PRIMARY KEY, "
    "ID_ORDER VARCHAR(30), "
    "Date DATETIME, "
    "Status INTEGER, "
    "POT INTEGER, "
    "steuer_high_set BOOLEAN, "
    "datas BLOB, "
    "ColumnsFormat BLOB, "
    "printname VARCHAR(60), "
    "adressname VARCHAR(120))";

std::string WithDelimiter(const std::string& folder) {
  if (folder.empty()) return "";
  return folder.back() == PathDelim ? folder : folder + PathDelim;
}

bool Fail(std::string* error, const std::string& why) {
  if (error) *error = why;
  return false;
}

}  // namespace

DocumentDatabase::~DocumentDatabase() {
  Close();
}

std::string DocumentDatabase::FileOf(const std::string& folder) {
  return WithDelimiter(folder.empty() ? "." : folder) + kDatabaseFileName;
}

bool DocumentDatabase::Open(const std::string& folder, bool create, std::string* error) {
  Close();
  if (create && !folder.empty()) {
    if (!MakeFolders(folder)) return Fail(error, "cannot create the folder " + folder);
  }
  const std::string file = FileOf(folder);
  // A connection serves one thread at a time (the query pool hands each to one request):
  // it needs no lock of its own around every call.
  int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
  if (sqlite3_open_v2(Utf8ApiPath(file).c_str(), &db_, flags, nullptr) != SQLITE_OK) {
    std::string why = db_ ? sqlite3_errmsg(db_) : "out of memory";
    Close();
    return Fail(error, "cannot open the database " + file + ": " + why);
  }
  sqlite3_busy_timeout(db_, 5000);
  // Large objects are read where the file is mapped instead of copied page by page; a
  // system without mapping keeps reading them.
  sqlite3_exec(db_, "PRAGMA mmap_size=1073741824", nullptr, nullptr, nullptr);
  return !create || Execute(kCreateTable, error);
}

void DocumentDatabase::Close() {
  lastQuery_.Finalize();
  if (db_) sqlite3_close(db_);
  db_ = nullptr;
}

bool DocumentDatabase::Execute(const std::string& sql, std::string* error) {
  if (!db_) return Fail(error, "the database is not open");
  char* message = nullptr;
  if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    std::string why = message ? message : "unknown error";
    sqlite3_free(message);
    return Fail(error, why);
  }
  return true;
}

bool DocumentDatabase::Insert(const DocumentRow& row, std::string* error) {
  if (!db_) return Fail(error, "the database is not open");
  sqlite3_stmt* st = nullptr;
  const char* sql =
      "INSERT INTO Auftraege (ID, ID_ORDER, Date, Status, POT, steuer_high_set, datas, "
      "ColumnsFormat, printname, adressname) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";
  if (sqlite3_prepare_v2(db_, sql, -1, &st, nullptr) != SQLITE_OK)
    return Fail(error, sqlite3_errmsg(db_));
  const std::string number = Cp1252ToUtf8(row.number);
  const std::string printName = Cp1252ToUtf8(row.printName);
  const std::string addressName = Cp1252ToUtf8(row.addressName);
  auto text = [&](int i, const std::string& s) {
    sqlite3_bind_text(st, i, s.data(), static_cast<int>(s.size()), SQLITE_STATIC);
  };
  auto blob = [&](int i, const std::string& s) {
    // An empty column is an empty value, as the host stores a document without positions.
    sqlite3_bind_blob(st, i, s.data(), static_cast<int>(s.size()), SQLITE_STATIC);
  };
  sqlite3_bind_int(st, 1, row.id);
  text(2, number);
  if (row.date.empty())
    sqlite3_bind_null(st, 3);
  else
    text(3, row.date);
  sqlite3_bind_int(st, 4, row.status);
  sqlite3_bind_int(st, 5, row.type);
  sqlite3_bind_int(st, 6, row.highTax ? 1 : 0);
  blob(7, row.datas);
  blob(8, row.columnsFormat);
  text(9, printName);
  text(10, addressName);
  bool ok = sqlite3_step(st) == SQLITE_DONE;
  std::string why = ok ? "" : sqlite3_errmsg(db_);
  sqlite3_finalize(st);
  return ok || Fail(error, why);
}

bool WriteSystemUid(const std::string& folder, const std::string& uid, std::string* error) {
  const std::string file = WithDelimiter(folder.empty() ? "." : folder) + kSystemUidFileName;
  return WriteWholeFile(file, uid) || Fail(error, "cannot write " + file);
}

namespace {

// Whether a kept connection still reads the folder's database file: not when that was
// deleted or replaced (or the platform cannot tell).
bool StillTheFile(DocumentDatabase& db) {
  int moved = 1;
  return sqlite3_file_control(db.Handle(), "main", SQLITE_FCNTL_HAS_MOVED, &moved) == SQLITE_OK &&
         moved == 0;
}

}  // namespace

DocumentQueries::DocumentQueries(std::string folder, std::size_t keep)
    : folder_(std::move(folder)), kept_(OpenFilesMayBeReplaced() ? keep : 0) {}

DocumentQueries::~DocumentQueries() = default;

std::string DocumentQueries::Answer(const std::string& request) {
  std::unique_ptr<DocumentDatabase> db;
  while ((db = kept_.Take()) && !StillTheFile(*db)) {
  }
  if (!db) {
    db = std::make_unique<DocumentDatabase>();
    std::string error;
    // Never create a database here: a host without one reports that, and writes no file.
    if (!db->Open(folder_, false, &error))
      return "Datenbank nicht verf\xFCgbar: " + Utf8ToCp1252(error);
  }
  std::string answer = AnswerQueryRequest(db->Handle(), request, &db->LastQuery());
  kept_.Give(std::move(db));
  return answer;
}

std::string AnswerQuery(const std::string& folder, const std::string& request) {
  return DocumentQueries(folder, 0).Answer(request);
}

void ServeDocumentDatabase(HostServer& server) {
  const std::string folder = server.Options().databaseDir;
  auto queries = std::make_shared<DocumentQueries>(folder, 4);
  server.Handle("ANYQUERY",
                [queries](const HostRequest& request) { return queries->Answer(request.data); });
}

}  // namespace dz::hostsim
