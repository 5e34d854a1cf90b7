#include "tools/hostsim/VdsWriter.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <limits>

#include "docdata/Cp1252.h"
#include "docdata/MVJSONObject.h"
#include "hostlink/VirtualDataSet.h"
#include "platform/Platform.h"
#include "tools/hostsim/ReusePool.h"

namespace dz {

namespace {

// SQLite's date texts "YYYY-MM-DD[ HH:MM[:SS[.SSS]]]" as days since 1899-12-30: the
// missing tail is completed and the text read like the host's document dates. False for
// anything that is no date.
bool DateTextToDays(std::string text, double& days) {
  static const std::string kFull = "1899-12-30T00:00:00.000";
  if (text.size() < 10 || text.size() > kFull.size()) return false;
  text += kFull.substr(text.size());
  days = JsonDateToDateTime(text);
  return days != 0;
}

bool Contains(const std::string& upper, const char* part) {
  return upper.find(part) != std::string::npos;
}

// Type and size of each column: the declared type decides where SQLite has one (a column
// of a table), the values otherwise (expressions).
void ChooseColumns(sqlite3_stmt* st, VdsResult& r) {
  for (size_t col = 0; col < r.Columns.size(); ++col) {
    bool anyInt = false, anyReal = false, anyText = false, anyBlob = false, wide = false;
    size_t maxLen = 0;
    for (size_t row = 0; row < r.RowCount; ++row) {
      const VdsCell& c = r.Row(row)[col];
      anyInt |= c.Class == SQLITE_INTEGER;
      anyReal |= c.Class == SQLITE_FLOAT;
      anyText |= c.Class == SQLITE_TEXT;
      anyBlob |= c.Class == SQLITE_BLOB;
      if (c.Class != SQLITE_NULL) {
        wide |= c.Int < std::numeric_limits<int32_t>::min() ||
                c.Int > std::numeric_limits<int32_t>::max();
        maxLen = std::max(maxLen, c.Size8);
      }
    }
    const char* decl = sqlite3_column_decltype(st, static_cast<int>(col));
    std::string d = decl ? decl : "";
    std::transform(d.begin(), d.end(), d.begin(),
                   [](unsigned char ch) { return std::toupper(ch); });
    VdsColumn& out = r.Columns[col];
    const int integer = wide ? ftLargeint : ftInteger;
    const int text = maxLen > 255 ? ftMemo : ftString;
    const int textSize = maxLen > 255 ? 0 : static_cast<int>(std::max<size_t>(maxLen, 1));
    out.Size = 0;
    if (decl != nullptr && !d.empty()) {
      if (Contains(d, "INT")) {
        out.Type = integer;
      } else if (Contains(d, "BOOL")) {
        out.Type = ftBoolean;
      } else if (Contains(d, "CURRENCY") || Contains(d, "MONEY")) {
        out.Type = ftCurrency;
      } else if (Contains(d, "DATETIME") || Contains(d, "TIMESTAMP")) {
        out.Type = ftDateTime;
      } else if (Contains(d, "DATE")) {
        out.Type = ftDate;
      } else if (Contains(d, "TIME")) {
        out.Type = ftTime;
      } else if (Contains(d, "CHAR") || Contains(d, "CLOB") || Contains(d, "TEXT")) {
        out.Type = text;
        out.Size = textSize;
      } else if (Contains(d, "BLOB")) {
        out.Type = ftBlob;
      } else {
        out.Type = ftFloat;  // REAL, FLOAT, DOUBLE, NUMERIC, DECIMAL and the rest
      }
    } else if (anyBlob) {
      out.Type = ftBlob;
    } else if (anyText || !(anyInt || anyReal)) {
      out.Type = text;
      out.Size = textSize;
    } else {
      out.Type = anyReal ? ftFloat : integer;
    }
  }
}

void PutCell(TValueWriter& out, const VdsResult& r, const VdsColumn& col, const VdsCell& c) {
  double days = 0;
  if (c.Class == SQLITE_NULL) {
    out.WriteBoolean(true);  // null flag
    return;
  }
  switch (ValueKindOf(col.Type)) {
    case TValueKind::Integer:
      out.WriteBoolean(false);
      out.WriteInteger(static_cast<int32_t>(c.Int));
      return;
    case TValueKind::Largeint:
      out.WriteBoolean(false);
      out.WriteExtended(static_cast<long double>(c.Int));
      return;
    case TValueKind::Boolean:
      out.WriteBoolean(false);
      out.WriteBoolean(c.Class == SQLITE_FLOAT ? c.Real != 0 : c.Int != 0);
      return;
    case TValueKind::Float:
    case TValueKind::Currency:
      out.WriteBoolean(false);
      out.WriteExtended(c.Class == SQLITE_INTEGER ? static_cast<long double>(c.Int) : c.Real);
      return;
    case TValueKind::DateTime:
      if (c.Class == SQLITE_INTEGER || c.Class == SQLITE_FLOAT) {
        days = c.Class == SQLITE_INTEGER ? static_cast<double>(c.Int) : c.Real;
      } else if (!DateTextToDays(std::string(r.Raw(c)), days)) {
        out.WriteBoolean(true);  // no date in it
        return;
      }
      out.WriteBoolean(false);
      out.WriteExtended(days);
      return;
    case TValueKind::WideText:
    case TValueKind::Text:
      out.WriteBoolean(false);
      WriteVdsText(out, r.EightBit(c));
      return;
  }
}

std::string FieldText(const std::string& name) {
  std::string esc;
  for (char c : name) {
    switch (c) {
      case '%':
        esc += "%%";
        break;
      case '\0':
        esc += "%0";
        break;
      case '\r':
        esc += "%c";
        break;
      case '\n':
        esc += "%n";
        break;
      default:
        esc += c;
    }
  }
  if (esc.find_first_of(",\"") == std::string::npos) return esc;
  std::string q = "\"";
  for (char c : esc) {
    if (c == '"') q += '"';
    q += c;
  }
  return q + '"';
}

struct VdsBuffers {
  VdsResult result;
  std::string file;
};

// Buffers of more than this are not kept: one huge result must not stay resident.
constexpr size_t kKeptBufferBytes = size_t{64} << 20;

hostsim::ReusePool<VdsBuffers> gBuffers(4);

}  // namespace

void WriteVdsText(TValueWriter& out, std::string_view s) {
  if (!IsAscii(s))
    out.WriteUtf8String(s);
  else
    out.WriteString(s);
}

void VdsResult::Clear() {
  Columns.clear();
  RowCount = 0;
  Cells.clear();
  Bytes.clear();
}

bool CollectResult(sqlite3_stmt* st, VdsResult& r, std::string& error) {
  r.Clear();
  const int n = sqlite3_column_count(st);
  for (int i = 0; i < n; ++i) {
    const char* name = sqlite3_column_name(st, i);
    r.Columns.push_back(VdsColumn{Utf8ToCp1252(name ? name : ""), ftUnknown, 0});
  }
  for (;;) {
    int rc = sqlite3_step(st);
    if (rc == SQLITE_DONE) break;
    if (rc != SQLITE_ROW) {
      error = Utf8ToCp1252(sqlite3_errmsg(sqlite3_db_handle(st)));
      return false;
    }
    for (int i = 0; i < n; ++i) {
      VdsCell& c = r.Cells.emplace_back();
      c.Class = sqlite3_column_type(st, i);
      if (c.Class == SQLITE_NULL) continue;
      // Bytes first: the numeric conversions below may change SQLite's copy of the value.
      const void* p = c.Class == SQLITE_BLOB ? sqlite3_column_blob(st, i)
                                             : static_cast<const void*>(sqlite3_column_text(st, i));
      const int len = sqlite3_column_bytes(st, i);
      const std::string_view bytes =
          p != nullptr && len > 0
              ? std::string_view(static_cast<const char*>(p), static_cast<size_t>(len))
              : std::string_view();
      c.At = c.At8 = r.Bytes.size();
      c.Size = c.Size8 = bytes.size();
      r.Bytes.append(bytes);
      // SQLite hands out text as UTF-8; the 8-bit form is kept beside it unless the two
      // are the same.
      if (c.Class == SQLITE_TEXT && !IsAscii(bytes)) {
        c.At8 = r.Bytes.size();
        r.Bytes.resize(c.At8 + bytes.size());
        c.Size8 = static_cast<size_t>(Utf8ToCp1252Into(bytes, r.Bytes.data() + c.At8) -
                                      (r.Bytes.data() + c.At8));
        r.Bytes.resize(c.At8 + c.Size8);
      }
      c.Int = sqlite3_column_int64(st, i);
      c.Real = sqlite3_column_double(st, i);
    }
    ++r.RowCount;
  }
  ChooseColumns(st, r);
  return true;
}

std::string VdsFieldList(const std::vector<VdsColumn>& columns) {
  std::string out;
  for (const auto& c : columns)
    out += FieldText(c.Name) + ',' + std::to_string(c.Type) + ',' + std::to_string(c.Size) + "\r\n";
  return out;
}

void WriteVdsRecordFile(const VdsResult& r, std::string& buffer) {
  // Room for the most the file can take: every text in its longest form (three bytes per
  // byte), every other value as an extended float. Only what is written is touched.
  size_t most = 6 + r.RowCount * 4;
  for (const VdsCell& c : r.Cells) most += 16 + 3 * c.Size8;
  TValueWriter out(std::move(buffer));
  out.Reserve(most);
  out.WriteRaw("TPF0");
  out.WriteListBegin();
  for (size_t row = 0; row < r.RowCount; ++row) {
    const VdsCell* cells = r.Row(row);
    out.WriteListBegin();
    out.WriteInteger(0);  // group number
    for (size_t i = 0; i < r.Columns.size(); ++i) PutCell(out, r, r.Columns[i], cells[i]);
    out.WriteListEnd();
  }
  out.WriteListEnd();
  buffer = out.Take();
}

void PreparedQuery::Finalize() {
  sqlite3_finalize(statement);
  statement = nullptr;
  sql.clear();
}

bool RunQueryToVds(sqlite3* db, std::string_view sql, const std::string& path, std::string& answer,
                   PreparedQuery* kept) {
  RemoveFile(path);  // success is told by the file's existence alone
  std::string utf8 = Cp1252ToUtf8(sql);
  sqlite3_stmt* st = nullptr;
  if (kept && kept->statement && kept->sql == utf8) {
    std::swap(st, kept->statement);
  } else {
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(db, utf8.c_str(), static_cast<int>(utf8.size()), &st, &tail) !=
        SQLITE_OK) {
      answer = Utf8ToCp1252(sqlite3_errmsg(db));
      sqlite3_finalize(st);
      return false;
    }
  }
  if (st == nullptr) {
    answer = "Die Abfrage ist leer";
    return false;
  }
  // Stepped to its end or not, the statement is reset (so that it holds no read
  // transaction open) and kept, or finalized.
  struct Done {
    sqlite3_stmt* st;
    PreparedQuery* kept;
    std::string& sql;
    ~Done() {
      if (!kept) {
        sqlite3_finalize(st);
        return;
      }
      sqlite3_reset(st);
      kept->Finalize();
      kept->statement = st;
      kept->sql = std::move(sql);
    }
  } done{st, kept, utf8};
  // The buffers of a query stay for the next one.
  std::unique_ptr<VdsBuffers> buffers = gBuffers.Take();
  if (!buffers) buffers = std::make_unique<VdsBuffers>();
  struct GiveBack {
    std::unique_ptr<VdsBuffers>& buffers;
    ~GiveBack() {
      if (buffers->result.Bytes.capacity() + buffers->file.capacity() <= kKeptBufferBytes)
        gBuffers.Give(std::move(buffers));
    }
  } giveBack{buffers};
  VdsResult& result = buffers->result;
  std::string& file = buffers->file;
  std::string error;
  bool ok = CollectResult(st, result, error);
  if (!ok) {
    answer = error;
    return false;
  }
  WriteVdsRecordFile(result, file);
  if (!WriteWholeFile(path, file)) {
    RemoveFile(path);
    answer = "Die Ergebnisdatei kann nicht geschrieben werden: " + path;
    return false;
  }
  answer = VdsFieldList(result.Columns);
  return true;
}

std::string AnswerQueryRequest(sqlite3* db, std::string_view request, PreparedQuery* kept) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (;;) {
    size_t bs = request.find('\x08', start);
    parts.push_back(request.substr(start, bs == std::string_view::npos ? bs : bs - start));
    if (bs == std::string_view::npos) break;
    start = bs + 1;
  }
  if (parts.size() != 4) return "Die Abfrage ist unvollst\xE4ndig";
  if (parts[2] != "vds") return "Unbekanntes Ergebnisformat: " + std::string(parts[2]);
  if (parts[3].empty()) return "Keine Ergebnisdatei angegeben";
  std::string answer;
  RunQueryToVds(db, parts[1], std::string(parts[3]), answer, kept);
  return answer;
}

}  // namespace dz
