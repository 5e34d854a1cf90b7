#pragma once
// The host side of "ANYQUERY": runs the SQL on SQLite and hands the result back the way the
// host does, as a field list (the answer text) and a "vds" record file.
//
// Text inside SQLite is UTF-8; everything handed out is 8-bit (Windows-1252) text, BLOBs
// as their raw bytes. Column types follow the declared column type where there is one,
// else the values the result holds (see ChooseColumns in VdsWriter.cpp).
//
// Failures are values: an SQL error or a file that cannot be written gives false and the
// message, and leaves no result file behind.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "docdata/StreamValues.h"

struct sqlite3;
struct sqlite3_stmt;

namespace dz {

// One result column as the field list describes it.
struct VdsColumn {
  std::string Name;  // 8-bit text
  int Type = 0;      // field type code (TFieldType)
  int Size = 0;
};

// One value of a result row as SQLite delivered it, in every form a column type may ask for.
// Its bytes live in the result's byte store (VdsResult::Bytes).
struct VdsCell {
  int Class = 5;  // SQLITE_INTEGER 1, SQLITE_FLOAT 2, SQLITE_TEXT 3, SQLITE_BLOB 4, SQLITE_NULL 5
  int64_t Int = 0;
  double Real = 0;
  size_t At = 0, Size = 0;    // TEXT as UTF-8, BLOB raw, numbers as SQLite writes them
  size_t At8 = 0, Size8 = 0;  // the same as 8-bit text (TEXT converted, the rest as is)
};

// Rows are kept with every byte of every cell in one store, so that a result costs a few
// large buffers instead of an allocation per value, and a server thread can reuse them
// from query to query (Clear keeps their room).
struct VdsResult {
  std::vector<VdsColumn> Columns;
  size_t RowCount = 0;
  std::vector<VdsCell> Cells;  // row after row, Columns.size() each
  std::string Bytes;

  void Clear();
  const VdsCell* Row(size_t row) const { return Cells.data() + row * Columns.size(); }
  std::string_view Raw(const VdsCell& c) const {
    return std::string_view(Bytes).substr(c.At, c.Size);
  }
  std::string_view EightBit(const VdsCell& c) const {
    return std::string_view(Bytes).substr(c.At8, c.Size8);
  }
};

// Text values: UTF-8 (tag 20) when the UTF-8 form of the 8-bit text differs from it, else
// the short (up to 255 bytes) or long 8-bit form.
void WriteVdsText(TValueWriter& out, std::string_view eightBit);

// Steps the statement to its end and fills `result` (rows and column types; what it held
// before is cleared, its room kept). False and the message (8-bit) on an SQLite error.
bool CollectResult(sqlite3_stmt* statement, VdsResult& result, std::string& error);

// "name,type,size" CR LF per column; names escaped and quoted so that the tool's
// comma-separated reader gives them back.
std::string VdsFieldList(const std::vector<VdsColumn>& columns);
// The whole record file, written into `out` (emptied first; its room is reused).
void WriteVdsRecordFile(const VdsResult& result, std::string& out);

// The statement a connection ran last, kept prepared for the same text. Finalize it before
// its connection closes.
struct PreparedQuery {
  PreparedQuery() = default;
  ~PreparedQuery() { Finalize(); }
  PreparedQuery(const PreparedQuery&) = delete;
  PreparedQuery& operator=(const PreparedQuery&) = delete;
  void Finalize();

  std::string sql;  // as SQLite got it (UTF-8)
  sqlite3_stmt* statement = nullptr;
};

// Runs the SQL (8-bit text) and writes the record file to `path`. On success `answer` is
// the field list; on failure it is the error message and no file exists at `path`. With
// `kept`, a statement of the same text is run again rather than prepared anew, and the
// one run is kept there.
bool RunQueryToVds(sqlite3* db, std::string_view sql, const std::string& path, std::string& answer,
                   PreparedQuery* kept = nullptr);

// The whole "ANYQUERY" request: database folder, SQL, format name and result file path
// joined by character 8. Returns the answer text (field list or error message).
std::string AnswerQueryRequest(sqlite3* db, std::string_view request,
                               PreparedQuery* kept = nullptr);

}  // namespace dz
