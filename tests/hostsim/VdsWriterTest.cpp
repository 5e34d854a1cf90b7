// The host stand-in's query answers: field list text and record-file bytes, checked against
// bytes written out here by hand, then read back by the tool's own reader.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <string>

#include "hostlink/BinaryStreamFormat.h"
#include "hostlink/HostCommands.h"
#include "hostlink/MVTempDir.h"
#include "hostlink/RemoteQuery.h"
#include "hostlink/VirtualDataSet.h"
#include "platform/Platform.h"
#include "tests/support/CommandServer.h"
#include "tests/support/TempDir.h"
#include "tools/hostsim/DocumentDatabase.h"
#include "tools/hostsim/VdsWriter.h"

namespace dz {
namespace {

std::string B(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s += static_cast<char>(b);
  return s;
}

class Db {
 public:
  Db() { sqlite3_open(":memory:", &db_); }
  ~Db() { sqlite3_close(db_); }
  void Exec(const char* sql) {
    ASSERT_EQ(sqlite3_exec(db_, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sql;
  }
  sqlite3* get() { return db_; }

 private:
  sqlite3* db_ = nullptr;
};

TEST(VdsWriter, TextTags) {
  auto text = [](const std::string& v) {
    TValueWriter w;
    WriteVdsText(w, v);
    return w.Take();
  };
  const std::pair<std::string, std::string> texts[] = {
      {"abc", B({6, 3}) + "abc"},
      {"", B({6, 0})},
      {std::string(1, '\0'), B({6, 1, 0})},
      {std::string(255, 'a'), B({6, 255}) + std::string(255, 'a')},
      {std::string(256, 'a'), B({12, 0, 1, 0, 0}) + std::string(256, 'a')},
      // Any byte whose UTF-8 form differs sends the whole text as UTF-8, long or short.
      {"Gr\xFC\xDF", B({20, 6, 0, 0, 0}) + "Gr\xC3\xBC\xC3\x9F"},
      {"\x80\x81", B({20, 5, 0, 0, 0, 0xE2, 0x82, 0xAC, 0xC2, 0x81})},
      {std::string(299, 'a') + "\xFF", B({20, 45, 1, 0, 0}) + std::string(299, 'a') + "\xC3\xBF"},
  };
  for (const auto& [v, want] : texts) EXPECT_EQ(text(v), want) << v;
}

TEST(VdsWriter, IntegersTakeTheShortestTag) {
  Db db;
  test::TempDir dir;
  std::string answer, file;
  ASSERT_TRUE(RunQueryToVds(db.get(), "SELECT -128, 127, 128, -129, 32767, -32768, 32768, -32769",
                            dir.file("r"), answer));
  ASSERT_TRUE(ReadWholeFile(dir.file("r"), file));
  EXPECT_EQ(file, "TPF0" + B({1, 1,    2,    0,    8, 2, 0x80, 8,    2,    0x7F, 8, 3,    0x80, 0,
                              8, 3,    0x7F, 0xFF, 8, 3, 0xFF, 0x7F, 8,    3,    0, 0x80, 8,    4,
                              0, 0x80, 0,    0,    8, 4, 0xFF, 0x7F, 0xFF, 0xFF, 0, 0}));
}

// A kept statement runs again with what the table holds now, holds no transaction open in
// between, and gives way to a query of another text.
TEST(VdsWriter, AKeptQueryRunsAgainOnTheTableAsItIsNow) {
  Db db;
  db.Exec("CREATE TABLE t(n INTEGER); INSERT INTO t VALUES(1);");
  PreparedQuery kept;
  test::TempDir dir;
  std::string answer, first, second;
  ASSERT_TRUE(RunQueryToVds(db.get(), "SELECT n FROM t", dir.file("r"), answer, &kept));
  ASSERT_TRUE(ReadWholeFile(dir.file("r"), first));
  sqlite3_stmt* const statement = kept.statement;
  ASSERT_NE(statement, nullptr);
  EXPECT_FALSE(sqlite3_stmt_busy(statement));
  db.Exec("INSERT INTO t VALUES(2)");
  ASSERT_TRUE(RunQueryToVds(db.get(), "SELECT n FROM t", dir.file("r"), answer, &kept));
  ASSERT_TRUE(ReadWholeFile(dir.file("r"), second));
  EXPECT_EQ(kept.statement, statement);
  EXPECT_EQ(second, first.substr(0, first.size() - 1) + B({1, 2, 0, 8, 2, 2, 0, 0}));
  EXPECT_FALSE(RunQueryToVds(db.get(), "SELECT x FROM t", dir.file("r"), answer, &kept));
  EXPECT_EQ(kept.statement, statement);
  ASSERT_TRUE(RunQueryToVds(db.get(), "SELECT n + 1 FROM t", dir.file("r"), answer, &kept));
  EXPECT_EQ(kept.sql, "SELECT n + 1 FROM t");
}

TEST(VdsWriter, TableQueryGivesFieldListAndRecordFile) {
  Db db;
  db.Exec(
      "CREATE TABLE Auftraege(ID INTEGER PRIMARY KEY, Name VARCHAR(40), Price REAL, "
      "Amount CURRENCY, Date DATETIME, Datas BLOB, Done BOOLEAN);"
      "INSERT INTO Auftraege VALUES(300, 'M\xC3\xBCller', 2.5, -1, '1900-01-01 12:00', "
      "x'00FF', 1);"
      "INSERT INTO Auftraege VALUES(-5, 'ab', NULL, 0, 2, NULL, 0);");
  test::TempDir dir;
  std::string answer;
  ASSERT_TRUE(
      RunQueryToVds(db.get(), "SELECT * FROM Auftraege ORDER BY ID DESC", dir.file("r"), answer));
  EXPECT_EQ(answer,
            "ID,3,0\r\nName,1,6\r\nPrice,6,0\r\nAmount,7,0\r\nDate,11,0\r\nDatas,15,0\r\n"
            "Done,5,0\r\n");
  const std::string ext25 = B({5, 0, 0, 0, 0, 0, 0, 0, 0xA0, 0x00, 0x40});
  const std::string extM1 = B({5, 0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0xBF});
  const std::string ext0 = B({5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  const std::string ext2 = B({5, 0, 0, 0, 0, 0, 0, 0, 0x80, 0x00, 0x40});
  // 1900-01-01 12:00 is day 2.5 after 1899-12-30.
  const std::string want = "TPF0" + B({1}) +
                           // ID 300 (16 bits), "Müller" as UTF-8, 2.5, -1, 2.5, 00 FF as
                           // UTF-8 (C3 BF for 0xFF), true
                           B({1, 2, 0, 8, 3, 0x2C, 0x01, 8, 20, 7, 0, 0, 0}) + "M\xC3\xBCller" +
                           B({8}) + ext25 + B({8}) + extM1 + B({8}) + ext25 +
                           B({8, 20, 3, 0, 0, 0, 0, 0xC3, 0xBF, 8, 9, 0}) +
                           // ID -5, "ab", null, 0, 2, null, false
                           B({1, 2, 0, 8, 2, 0xFB, 8, 6, 2}) + "ab" + B({9, 8}) + ext0 + B({8}) +
                           ext2 + B({9, 8, 8, 0}) + B({0});
  std::string file;
  ASSERT_TRUE(ReadWholeFile(dir.file("r"), file));
  EXPECT_EQ(file, want);
}

TEST(VdsWriter, ExpressionColumnsTakeTheirTypeFromTheValues) {
  Db db;
  test::TempDir dir;
  std::string answer;
  ASSERT_TRUE(RunQueryToVds(db.get(),
                            "SELECT 1 AS a, 2.5 AS b, 'xyz' AS c, x'00' AS d, NULL AS e, "
                            "5000000000 AS f, 7 AS \"g,\"\"h%\"",
                            dir.file("r"), answer));
  EXPECT_EQ(answer,
            "a,3,0\r\nb,6,0\r\nc,1,3\r\nd,15,0\r\ne,1,1\r\nf,25,0\r\n\"g,\"\"h%%\",3,0\r\n");
  // Names that need quoting and escaping come back whole through the tool's reader.
  TVirtualDataSet ds;
  ds.SetFieldDefsFromText(answer);
  ASSERT_EQ(ds.FieldCount(), 7u);
  EXPECT_EQ(ds.FieldDefs()[6].Name, "g,\"h%");
}

TEST(VdsWriter, DateTextsBecomeDaysOrNull) {
  Db db;
  db.Exec(
      "CREATE TABLE d(n INTEGER, D DATE);"
      "INSERT INTO d VALUES(1, '2024-03-01'), (2, '1899-12-31 06:00'), (3, 'kein Datum'),"
      "(4, '2024-02-30'), (5, 45352.5), (6, NULL)");
  test::TempDir dir;
  std::string answer;
  ASSERT_TRUE(RunQueryToVds(db.get(), "SELECT D FROM d ORDER BY n", dir.file("r"), answer));
  EXPECT_EQ(answer, "D,9,0\r\n");
  TVirtualDataSet ds;
  ds.SetFieldDefsFromText(answer);
  TBinaryStreamFormat format;
  ASSERT_EQ(ds.LoadFromFile(format, dir.file("r")), 6);
  const double want[] = {45352, 1.25, 0, 0, 45352.5, 0};
  for (double w : want) {
    EXPECT_DOUBLE_EQ(ds.FieldByName("d").AsDateTime(), w);
    EXPECT_EQ(ds.FieldByName("d").IsNull(), w == 0);
    ds.Next();
  }
}

TEST(VdsWriter, FailuresLeaveNoFileAndAnswerTheMessage) {
  Db db;
  test::TempDir dir;
  const std::string path = dir.file("r");
  ASSERT_TRUE(WriteWholeFile(path, "stale"));
  std::string answer;
  EXPECT_FALSE(RunQueryToVds(db.get(), "SELECT * FROM Nichts", path, answer));
  EXPECT_EQ(answer, "no such table: Nichts");
  EXPECT_FALSE(FileExists(path));

  struct {
    std::string request, answer;
    bool file;
  } cases[] = {
      {dir.path() + "\x08SELECT 1 AS x\x08vds\x08" + path, "x,3,0\r\n", true},
      {dir.path() + "\x08SELECT 1\x08xml\x08" + path, "Unbekanntes Ergebnisformat: xml", false},
      {dir.path() + "\x08SELECT 1\x08vds", "Die Abfrage ist unvollst\xE4ndig", false},
      {dir.path() + "\x08SELEC 1\x08vds\x08" + path, "near \"SELEC\": syntax error", false},
      {dir.path() + "\x08SELECT 1\x08vds\x08" + dir.path() + "no/such/folder",
       "Die Ergebnisdatei kann nicht geschrieben werden: " + dir.path() + "no/such/folder", false},
  };
  for (const auto& c : cases) {
    RemoveFile(path);
    EXPECT_EQ(AnswerQueryRequest(db.get(), c.request), c.answer) << c.request;
    EXPECT_EQ(FileExists(path), c.file) << c.request;
  }
}

// The tool's query against this writer over a real socket: what the host's database holds
// arrives in the tool's data set, and the result file is gone afterwards.
TEST(VdsWriter, RemoteQueryEndToEnd) {
  test::ScopedTempFolder temp;
  test::ScopedNumberFormat fmt(',', '.');
  SetCachedServerName("");
  ASSERT_TRUE(WriteWholeFile(ServerListFileName(), "Host\r\n"));
  Db db;
  db.Exec("CREATE TABLE Auftraege(ID INTEGER, Betrag CURRENCY, Name TEXT, Datas BLOB)");
  std::string all;
  for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
  sqlite3_stmt* st = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db.get(), "INSERT INTO Auftraege VALUES(12, 1.23456, ?, ?)", -1, &st,
                               nullptr),
            SQLITE_OK);
  // Longer than 255 bytes: a memo field, sent as UTF-8 for its umlauts.
  std::string name = std::string(300, 'x') + "Gr\xC3\xBC\xC3\x9F\xE2\x82\xAC";
  sqlite3_bind_text(st, 1, name.c_str(), -1, SQLITE_STATIC);
  sqlite3_bind_blob(st, 2, all.data(), static_cast<int>(all.size()), SQLITE_STATIC);
  ASSERT_EQ(sqlite3_step(st), SQLITE_DONE);
  sqlite3_finalize(st);

  std::vector<std::string> paths;
  test::ScriptedServer host(
      "Host", test::CommandScript([&](const std::string& command, const std::string& data) {
        if (command != "ANYQUERY") return std::string();
        paths.push_back(data.substr(data.rfind('\x08') + 1));
        return AnswerQueryRequest(db.get(), data);
      }));
  std::string error;
  auto ds =
      RunRemoteQuery("SELECT ID,Betrag,Name,datas FROM Auftraege where ID in (12)", "/db", error);
  EXPECT_EQ(error, "");
  ASSERT_FALSE(ds->Eof());
  EXPECT_EQ(ds->FieldByName("id").AsInteger(), 12);
  EXPECT_EQ(ds->FieldByName("betrag").AsString(), "1,2346");
  EXPECT_EQ(ds->FieldByName("NAME").DataType(), ftMemo);
  EXPECT_EQ(ds->FieldByName("NAME").AsString(), std::string(300, 'x') + "Gr\xFC\xDF\x80");
  EXPECT_EQ(ds->FieldByName("DATAS").AsString(), all);
  ds->Next();
  EXPECT_TRUE(ds->Eof());

  ds = RunRemoteQuery("SELECT * FROM Rechnungen", "/db", error);
  EXPECT_EQ(error, "Error: no such table: Rechnungen");
  ASSERT_EQ(paths.size(), 2u);
  for (const auto& p : paths) EXPECT_FALSE(FileExists(p)) << p;
}

// Connections stay open between queries; what they answer must still be the folder's
// database as it is now.
TEST(VdsWriter, KeptConnectionsFollowTheDatabaseFile) {
  test::TempDir dir;
  const std::string folder = dir.path() + "db";
  auto row = [](int id) {
    hostsim::DocumentRow r;
    r.id = id;
    return r;
  };
  auto seed = [&](int rows) {
    std::filesystem::remove_all(folder);
    hostsim::DocumentDatabase db;
    std::string error;
    ASSERT_TRUE(db.Open(folder, true, &error)) << error;
    for (int i = 1; i <= rows; ++i) ASSERT_TRUE(db.Insert(row(i), &error));
  };
  hostsim::DocumentQueries queries(folder, 2);
  const std::string path = dir.file("r");
  auto count = [&] {
    const std::string answer =
        queries.Answer(folder + "\x08SELECT COUNT(*) AS n FROM Auftraege\x08vds\x08" + path);
    if (!FileExists(path)) return answer;
    TVirtualDataSet ds;
    TBinaryStreamFormat format;
    ds.SetFieldDefsFromText(answer);
    ds.LoadFromFile(format, path);
    RemoveFile(path);
    return ds.Fields(0).AsString();
  };
  seed(2);
  EXPECT_EQ(count(), "2");
  {  // a row added through another connection
    hostsim::DocumentDatabase db;
    std::string error;
    ASSERT_TRUE(db.Open(folder, false, &error));
    ASSERT_TRUE(db.Insert(row(3), &error));
  }
  EXPECT_EQ(count(), "3");
  seed(1);  // the file replaced
  EXPECT_EQ(count(), "1");
  std::filesystem::remove_all(folder);  // and gone
  EXPECT_EQ(count().rfind("Datenbank nicht verf\xFCgbar", 0), 0u);
}

}  // namespace
}  // namespace dz
