// The reconciliation run end to end: documents in a real hostsim process (database,
// SYS.UID, open document), one run through the report, checked through its JSON.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "docdata/AddInfoLines.h"
#include "docdata/Cp1252.h"
#include "docdata/FastJSON.h"
#include "docdata/PositionTableWriter.h"
#include "engine/SuperStack.h"
#include "hostlink/HostCommands.h"
#include "hostlink/IPCClient.h"
#include "hostlink/MVTempDir.h"
#include "hostlink/RemoteQuery.h"
#include "output/Report.h"
#include "platform/ChildProcess.h"
#include "platform/Platform.h"
#include "tests/support/HostsimProcess.h"
#include "tests/support/ScriptedServer.h"
#include "tests/support/TempDir.h"
#include "tools/hostsim/DocumentDatabase.h"
#include "tools/hostsim/SampleCommands.h"
#include "tools/hostsim/SampleData.h"

namespace dz::hostsim {
namespace {

using namespace dz::test;
namespace fs = std::filesystem;

// What one run reported.
struct Outcome {
  int exitCode = -1;
  std::string out, err;
  std::unique_ptr<TFastJSON> tree = std::make_unique<TFastJSON>();  // the report, in 8-bit text

  std::string Text(const char* key) { return tree->Member(key).AsString(); }
  TJsonArray& Sections() { return tree->Member("sections").AsArray(); }
  TJsonObject& Section(int i) { return Sections().Item(i).AsObject(); }
  TJsonArray& Lines(int i) { return Section(i).Member("lines").AsArray(); }
  // "<part number or description> <quantity> [<difference>] @<document>" per line.
  std::vector<std::string> Summary(int section) {
    std::vector<std::string> v;
    TJsonArray& lines = Lines(section);
    for (size_t i = 0; i < lines.Count(); ++i) {
      TJsonObject& l = lines.Item(static_cast<int64_t>(i)).AsObject();
      std::string key = l.Member("Artikelnummer").AsString();
      if (key.empty()) key = l.Member("Bezeichnung1").AsString();
      std::string s = key + " " + l.Member("Stueck").AsString();
      if (l.Member("difference").Number() != 0) s += " [" + l.Member("difference").AsString() + "]";
      v.push_back(s + " @" + l.Member("document").AsString());
    }
    return v;
  }
};

// The documents of one case.
struct Scenario {
  OpenDocumentSpec open;
  std::vector<DocumentRow> stored;
  std::string systemUid = "UID-4711";
};

TDataGridLine Pos(const std::string& partNo, const std::string& quantity,
                  const std::string& description = "", const std::string& kind = "P") {
  return PositionLine("1", quantity, "Stk", description.empty() ? "Teil " + partNo : description,
                      partNo, "2,50", kind);
}

DocumentRow Doc(int32_t id, int32_t type, std::vector<TDataGridLine> lines) {
  return StoredDocumentRow(id,
                           (type == 1   ? "RE-"
                            : type == 2 ? "AN-"
                                        : "AB-") +
                               std::to_string(id),
                           type, "2024-03-01 00:00:00", lines);
}

Scenario Invoice(std::vector<int32_t> links, std::vector<TDataGridLine> parts = {}) {
  Scenario s;
  s.open.printUid = s.open.uid = "RE-9";
  s.open.id = 9;
  s.open.type = 1;
  s.open.date = "2024-04-01T12:00:00.000";
  s.open.address = "Muster GmbH";
  s.open.infoLines = InfoLinesText(links);
  s.open.parts = std::move(parts);
  return s;
}

class RunReport : public ::testing::Test {
 protected:
  void SetUp() override { SetCachedServerName(""); }
  void TearDown() override { SetCachedServerName(""); }

  std::string Folder() const { return temp_.path() + "db"; }
  std::string DocumentFile() const { return temp_.path() + "open.json"; }

  void Write(const Scenario& s) {
    DocumentDatabase db;
    std::string error;
    ASSERT_TRUE(db.Open(Folder(), true, &error)) << error;
    for (const DocumentRow& row : s.stored) ASSERT_TRUE(db.Insert(row, &error)) << error;
    ASSERT_TRUE(WriteSystemUid(Folder(), s.systemUid, &error)) << error;
    ASSERT_TRUE(WriteWholeFile(DocumentFile(), OpenDocumentJson(s.open)));
  }

  void Serve(std::vector<std::string> extra = {}) {
    HostsimOptions o;
    o.dir = Folder();
    o.document = DocumentFile();
    o.extra = std::move(extra);
    host_ = std::make_unique<HostsimProcess>(o);
  }

  // One report in this process, as `dirivararez --report --format json` makes it.
  Outcome Report(const std::vector<std::string>& args = {"--report", "--format", "json"}) {
    Outcome o;
    std::ostringstream out, err;
    o.exitCode = ReportMain(args, out, err);
    o.out = out.str();
    o.err = err.str();
    if (!o.out.empty() && o.out[0] == '{') o.tree->Parse(Utf8ToCp1252(o.out));
    return o;
  }

  // Files the host handed out and nobody removed (the server list and its lock aside).
  std::vector<std::string> LeftInTempDir() {
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(MVTempDir())) {
      const std::string name = e.path().filename().string();
      if (e.is_regular_file() && name.rfind("MVX-EXCHANGELOCALSERVICE.", 0) != 0)
        left.push_back(name);
    }
    return left;
  }

  ScopedTempFolder temp_;
  ScopedNumberFormat format_;
  std::unique_ptr<HostsimProcess> host_;
};

TEST_F(RunReport, TheSampleShowsWhatIsNotInvoicedYet) {
  std::ostringstream out, err;
  ASSERT_EQ(SeedCommand({"--dir", Folder()}, out, err), 0) << err.str();
  HostsimOptions o;
  o.dir = Folder();
  host_ = std::make_unique<HostsimProcess>(o);

  Outcome r = Report();
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.Text("caption"),
            "Rechnung RE-2024-0305 B\xE4"
            "ckerei Sch\xE4"
            "fer GmbH & Co. KG in " +
                Folder() + PathDelim);
  EXPECT_EQ(r.Text("error"), "");
  EXPECT_EQ(r.Text("systemUid"), "MV-7F3A-2291-0C44");
  {
    // Rendered in part while the run still goes on, it is the report of the finished run.
    TSuperStack again;
    again.Run(false);
    EXPECT_EQ(ReportJson(again, SystemUID()), r.out);
  }
  ASSERT_EQ(r.Sections().Count(), 4u);
  const char* names[][2] = {{"Fehlend", "Missing"},
                            {"Quelle", "Source"},
                            {"Komprimiert", "Merged"},
                            {"Alle", "Invoiced"}};
  for (int s = 0; s < 4; ++s) {
    EXPECT_EQ(r.Section(s).Member("name").AsString(), names[s][0]);
    EXPECT_EQ(r.Section(s).Member("storage").AsString(), names[s][1]);
  }
  // Sorted by description: not invoiced at all (whole quantity), and the two pipes
  // invoiced in part, with what was invoiced in brackets. Over-invoiced and fully
  // invoiced positions do not appear.
  EXPECT_EQ(r.Summary(0),
            (std::vector<std::string>{
                "AF-1 1 @AB-2024-0117", "DICHT 4 @AB-2024-0117", "DS-15 78 @AB-2024-0117",
                "ENTS-OEL 1 @AB-2024-0117", "HKV-3 1 @AB-2024-0117", "HEP-25 2 @AB-2024-0117",
                "NYM-315 10 @AB-2024-0117", "KLEIN 1 @AB-2024-0117", "CU-15 10 [38] @AB-2024-0117",
                "CU-18 6 [24] @AB-2024-0117", "RWM 2 @AB-2024-0117", "RT-D 1 @AB-2024-0117"}));
  EXPECT_EQ(r.Lines(1).Count(), 25u);  // marker rows (titles, separator, alternative) left out
  EXPECT_EQ(r.Lines(3).Count(), 18u);  // two stored invoices and the open one
  // The pipe typed in another letter case is merged with the first invoice's.
  std::vector<std::string> merged = r.Summary(2);
  EXPECT_EQ(merged.size(), 15u);
  EXPECT_NE(std::find(merged.begin(), merged.end(), "CU-15 38 @RE-2024-0231 RE-2024-0288"),
            merged.end());
  EXPECT_NE(std::find(merged.begin(), merged.end(), "LOHN-MON 36 @RE-2024-0231 RE-2024-0288"),
            merged.end());
  // Sums as the grid's sum rows make them.
  EXPECT_NEAR(r.Section(1).Member("total").Number(), 13554.60, 1e-6);

  // The table shows the same, headed by the caption.
  Outcome text = Report({"--report"});
  ASSERT_EQ(text.exitCode, 0) << text.err;
  EXPECT_EQ(text.out.rfind("Rechnung RE-2024-0305 B\xC3\xA4"
                           "ckerei",
                           0),
            0u)
      << text.out;
  EXPECT_NE(text.out.find("10,000 [38,000]"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("Diese wurden nicht berechnet"), std::string::npos);
  EXPECT_NE(text.out.find("Summe"), std::string::npos);
}

TEST_F(RunReport, ALargeRunRenderedWhileItGoesOnIsReportedAsFinished) {
  // More lines per section than a part of the rendering holds.
  std::ostringstream out, err;
  ASSERT_EQ(SeedCommand({"--dir", Folder(), "--positions", "2500", "--invoices", "60",
                         "--invoice-positions", "30"},
                        out, err),
            0)
      << err.str();
  HostsimOptions o;
  o.dir = Folder();
  host_ = std::make_unique<HostsimProcess>(o);
  Outcome r = Report();
  ASSERT_EQ(r.exitCode, 0) << r.err;
  TSuperStack again;
  again.Run(false);
  EXPECT_EQ(ReportJson(again, SystemUID()), r.out);
  // The source's matched flags, set after its lines were rendered.
  const TLineStorage& source = again.Source();
  ASSERT_GT(source.Count(), 2000);
  ASSERT_EQ(r.Lines(1).Count(), static_cast<size_t>(source.Count()));
  int matched = 0;
  for (int i = 0; i < source.Count(); ++i) {
    const double flag = r.Lines(1).Item(i).AsObject().Member("matched").Number();
    ASSERT_EQ(flag, source.Entry(i).Matched) << i;
    matched += source.Entry(i).Matched;
  }
  EXPECT_GT(matched, 0);
  EXPECT_LT(matched, source.Count());
}

// German user names put umlauts into the temp folder, and so into the host's shared folder,
// its pipes, the files it hands over and the database folder.
TEST_F(RunReport, UmlautsInTheTempAndDatabaseFolders) {
  const std::string temp = temp_.path() + "J\xFCrgen Wei\xDF" + PathDelim;
  const std::string folder = temp + "Auftr\xE4ge \xD6\xF6\xDC\xFC\xDF";
  ASSERT_TRUE(MakeFolders(temp));
  // The fixture's temp folder puts the previous value back at the end.
  ASSERT_TRUE(SetEnvironmentValue(TempFolderVariable(), temp));
  std::ostringstream out, err;
  ASSERT_EQ(SeedCommand({"--dir", folder}, out, err), 0) << err.str();
  HostsimOptions o;
  o.dir = folder;
  host_ = std::make_unique<HostsimProcess>(o);

  Outcome r = Report();
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.Text("error"), "");
  EXPECT_EQ(r.Text("caption"),
            "Rechnung RE-2024-0305 B\xE4"
            "ckerei Sch\xE4"
            "fer GmbH & Co. KG in " +
                folder + PathDelim);
  EXPECT_EQ(r.Lines(0).Count(), 12u);
  EXPECT_EQ(MVTempDir(), temp + "MVTempDir" + PathDelim);
  EXPECT_EQ(LeftInTempDir(), std::vector<std::string>{});
}

// Cases that end in a message, or early without one, by the links of the open document.
TEST_F(RunReport, LinksDecideTheReferenceDocument) {
  struct Case {
    const char* name;
    std::vector<DocumentRow> stored;
    std::string error;  // empty: no failure
    int sourceLines, invoicedLines;
  };
  const std::vector<Case> cases = {
      {"two offers and two confirmations",
       {Doc(11, 2, {Pos("A", "1")}), Doc(12, 2, {Pos("A", "1")}), Doc(13, 7, {Pos("A", "1")}),
        Doc(14, 7, {Pos("A", "1")})},
       kTooManyLinksMessage,
       0,
       0},
      {"only invoices", {Doc(11, 1, {Pos("A", "1")})}, kNoReferenceMessage, 0, 0},
      // Ends early: nothing but the open document's own positions, and no failure.
      {"one offer and one confirmation",
       {Doc(11, 2, {Pos("A", "1")}), Doc(12, 7, {Pos("A", "1")})},
       "",
       0,
       2},
      {"two offers", {Doc(11, 2, {Pos("A", "1")}), Doc(12, 2, {Pos("A", "1")})}, "", 0, 2},
      {"one confirmation", {Doc(11, 7, {Pos("A", "3"), Pos("B", "1")})}, "", 2, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(Folder());
    std::vector<int32_t> links;
    for (const DocumentRow& d : c.stored) links.push_back(d.id);
    Scenario s = Invoice(links, {Pos("A", "1"), Pos("C", "5")});
    s.stored = c.stored;
    Write(s);
    Serve();
    Outcome r = Report();
    host_.reset();
    EXPECT_EQ(r.Text("error"), c.error);
    EXPECT_EQ(r.exitCode, c.error.empty() ? 0 : 1);
    if (!c.error.empty()) {
      EXPECT_EQ(r.Sections().Count(), 0u);
      EXPECT_EQ(r.err, "dirivararez: " + Cp1252ToUtf8(c.error) + "\n");
      continue;
    }
    ASSERT_EQ(r.Sections().Count(), 4u);
    EXPECT_EQ(r.Lines(1).Count(), static_cast<size_t>(c.sourceLines));
    EXPECT_EQ(r.Lines(3).Count(), static_cast<size_t>(c.invoicedLines));
    if (c.sourceLines == 0) {
      EXPECT_EQ(r.Lines(0).Count(), 0u);
      EXPECT_EQ(r.Lines(2).Count(), 0u);
    }
  }
}

TEST_F(RunReport, AnOpenOfferIsTheReferenceOfItsInvoice) {
  Scenario s = Invoice({21}, {Pos("A", "4"), Pos("B", "2"), Pos("", "1", "Anfahrt", "t")});
  s.open.type = 2;
  s.open.uid = "-1";  // not saved yet
  s.open.id = 20;
  s.stored = {Doc(21, 1, {Pos("a", "1")})};
  Write(s);
  Serve();
  Outcome r = Report();
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.Summary(1), (std::vector<std::string>{"A 4 @Neu", "B 2 @Neu"}));
  EXPECT_EQ(r.Summary(3), (std::vector<std::string>{"a 1 @RE-21"}));
  EXPECT_EQ(r.Summary(0), (std::vector<std::string>{"A 3 [1] @Neu", "B 2 @Neu"}));
  TJsonObject& line = r.Lines(1).Item(0).AsObject();
  EXPECT_EQ(line.Member("documentId").AsInteger(), 20);
  EXPECT_EQ(line.Member("documentType").AsInteger(), 2);
  EXPECT_EQ(line.Member("Isnetto").Kind(), jvBoolean);
  EXPECT_TRUE(line.Member("Isnetto").Boolean());
  EXPECT_EQ(r.Lines(3).Item(0).AsObject().Member("documentType").AsInteger(), 1);
}

TEST_F(RunReport, OnlyPositionsAreLoaded) {
  // Kind texts of the open document are trimmed before their first character counts;
  // those of stored rows are not (a blank first makes a position of any row).
  Scenario s =
      Invoice({31}, {Pos("P1", "1", "", " t"), Pos("P2", "1", "", "T"), Pos("P3", "1", "", ""),
                     Pos("P4", "1", "", "-"), Pos("P5", "1", "", "\x81"), Pos("P6", "1", "", "a"),
                     Pos("P7", "1", "", "A")});
  s.stored = {Doc(31, 7,
                  {Pos("S1", "1", "", "t"), Pos("S2", "1", "", " t"), Pos("S3", "1", "", "-"),
                   Pos("S4", "1", "", "\x81"), Pos("S5", "1", "", "a"), Pos("S6", "1", "", "P")})};
  Write(s);
  Serve();
  Outcome r = Report();
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.Summary(3), (std::vector<std::string>{"P2 1 @RE-9", "P3 1 @RE-9", "P7 1 @RE-9"}));
  EXPECT_EQ(r.Summary(1), (std::vector<std::string>{"S2 1 @AB-31", "S6 1 @AB-31"}));
}

TEST_F(RunReport, AReferenceWithoutStoredPositionsStillMergesTheInvoices) {
  Scenario s = Invoice({41, 42}, {Pos("X", "2")});
  DocumentRow empty = Doc(41, 7, {Pos("X", "5")});
  empty.datas.clear();
  s.stored = {empty, Doc(42, 1, {Pos("x", "1")})};
  Write(s);
  Serve();
  Outcome r = Report();
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.Lines(1).Count(), 0u);
  EXPECT_EQ(r.Lines(0).Count(), 0u);
  EXPECT_EQ(r.Summary(2), (std::vector<std::string>{"X 3 @RE-9 RE-42"}));
  // The text shows the empty "Fehlend" section as all invoiced.
  Outcome text = Report({"--report", "--format", "text"});
  EXPECT_NE(text.out.find("Alles berechnet"), std::string::npos) << text.out;
}

TEST_F(RunReport, DamagedStoredPositionsEndTheRunNamingTheDocument) {
  Scenario s = Invoice({51, 52});
  DocumentRow damaged = Doc(52, 1, {Pos("X", "1"), Pos("Y", "2")});
  damaged.datas.resize(damaged.datas.size() - 6);  // the end of the zlib stream is gone
  s.stored = {Doc(51, 7, {Pos("X", "5")}), damaged};
  Write(s);
  Serve();
  Outcome r = Report();
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.Text("error"),
            "Die gespeicherten Positionen des Dokuments RE-52 sind besch\xE4"
            "digt");
  EXPECT_EQ(r.Sections().Count(), 0u);
}

// Many documents are decoded side by side; what they give must still follow the order of
// the rows, and the first damaged one in that order is the one named.
TEST_F(RunReport, ManyDocumentsKeepTheirOrderAndTheFirstDamageIsNamed) {
  struct Case {
    int32_t first;  // the reference; the 20 invoices follow it
    std::vector<int32_t> damaged;
    std::string error;
  };
  const Case cases[] = {
      {70, {}, ""},
      {170,
       {185, 175},
       "Die gespeicherten Positionen des Dokuments RE-175 sind besch\xE4"
       "digt"},
  };
  for (const Case& c : cases) {
    std::vector<int32_t> links;
    for (int32_t id = c.first; id <= c.first + 20; ++id) links.push_back(id);
    Scenario s = Invoice(links);
    s.stored = {Doc(c.first, 7, {Pos("X", "50")})};
    std::string numbers;
    for (int32_t id = c.first + 1; id <= c.first + 20; ++id) {
      DocumentRow row = Doc(id, 1, {Pos("X", "1"), Pos("Y" + std::to_string(id), "1")});
      if (std::find(c.damaged.begin(), c.damaged.end(), id) != c.damaged.end())
        row.datas.resize(row.datas.size() - 6);
      s.stored.push_back(row);
      numbers += (numbers.empty() ? "" : " ") + row.number;
    }
    Write(s);
    Serve();
    Outcome r = Report();
    EXPECT_EQ(r.Text("error"), c.error);
    if (c.error.empty()) {
      ASSERT_EQ(r.exitCode, 0) << r.err;
      EXPECT_EQ(r.Summary(2).front(), "X 20 @" + numbers);
    }
    host_.reset();
  }
}

TEST_F(RunReport, TheDatabaseFolderAnswer) {
  Scenario s = Invoice({61});
  s.stored = {Doc(61, 7, {Pos("X", "5")})};
  s.systemUid = "ABC\r\nDEF\r\n";  // the whole file, line breaks and all
  Write(s);
  struct Case {
    std::vector<std::string> extra;
    std::string folder;  // expected at the end of the caption
    std::string systemUid;
  };
  // The working folder holds a file of the same name: an empty answer reads that one.
  const std::string work = temp_.path() + "work";
  fs::create_directories(work);
  ASSERT_TRUE(WriteWholeFile(work + PathDelim + "SYS.UID", "RELATIVE"));
  const std::vector<Case> cases = {
      {{}, Folder() + PathDelim, "ABC\r\nDEF\r\n"},
      {{"--answer", "DBPATH=" + Folder() + PathDelim}, Folder() + PathDelim, "ABC\r\nDEF\r\n"},
      {{"--answer", "DBPATH="}, "", "RELATIVE"},
      {{"--answer", "DBPATH=" + temp_.path() + "nowhere"},
       temp_.path() + "nowhere" + PathDelim,
       ""},
  };
  const fs::path before = fs::current_path();
  fs::current_path(work);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.folder);
    Serve(c.extra);
    Outcome r = Report();
    host_.reset();
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.Text("caption"), "Rechnung RE-9 Muster GmbH in " + c.folder);
    EXPECT_EQ(r.Text("systemUid"), c.systemUid);
    EXPECT_EQ(SystemUID(), c.systemUid);
  }
  fs::current_path(before);
}

TEST_F(RunReport, TheDocumentFileIsRemovedAfterEveryRun) {
  // Without links the run fails after the host handed out its copy of the document.
  Write(Invoice({}));
  Serve();
  Outcome r = Report();
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.Text("error"), kNoLinksMessage);
  EXPECT_EQ(r.Text("caption"), "Rechnung RE-9 Muster GmbH in " + Folder() + PathDelim);
  EXPECT_EQ(LeftInTempDir(), std::vector<std::string>{});
  host_.reset();

  // A broken file named by the host goes too; a folder named by it never does.
  const std::string broken = temp_.path() + "broken.json";
  ASSERT_TRUE(WriteWholeFile(broken, "{\"Order\":[{\"ID\":"));
  const std::string folder = temp_.path() + "folder.json";
  fs::create_directories(folder);
  for (const std::string& path : {broken, folder}) {
    Serve({"--answer", "GETJSON=" + path});
    Outcome f = Report();
    host_.reset();
    EXPECT_EQ(f.exitCode, 1);
    EXPECT_EQ(f.Text("error"),
              "Der Index der Liste \xFC"
              "berschreitet das Maximum (0)");
    EXPECT_EQ(f.Text("caption"), "");
  }
  EXPECT_FALSE(fs::exists(broken));
  EXPECT_TRUE(fs::is_directory(folder));
}

TEST_F(RunReport, WithoutAHostTheRunSaysSo) {
  Outcome r = Report();
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.Text("error"), kNoHostMessage);
  EXPECT_EQ(r.Text("caption"), "");
  EXPECT_EQ(r.Sections().Count(), 0u);

  Outcome text = Report({"--report"});
  EXPECT_EQ(text.exitCode, 1);
  EXPECT_EQ(text.out, "Fehler: " + Cp1252ToUtf8(kNoHostMessage) + "\n");
}

TEST_F(RunReport, QueryFailuresBecomeTheMessage) {
  Scenario s = Invoice({71});
  Write(s);
  fs::remove(DocumentDatabase::FileOf(Folder()));  // a host without its database
  Serve();
  Outcome r = Report();
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.Text("error").rfind("Error: Datenbank nicht verf\xFC"
                                  "gbar",
                                  0),
            0u)
      << r.Text("error");
}

// The query as the run makes it, through a real host process: binary columns come back
// byte for byte, errors come back as text, and no result file stays behind.
TEST_F(RunReport, QueriesThroughTheHostProcess) {
  std::string all;
  for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
  Scenario s = Invoice({81});
  DocumentRow row = Doc(81, 7, {});
  row.datas = all;
  row.columnsFormat = std::string(all.rbegin(), all.rend());
  row.date = "2024-03-01 12:00:00";
  s.stored = {row};
  Write(s);
  Serve();
  std::string error;
  auto rows = RunRemoteQuery(LinkedDocumentsQuery("81"), "", error);
  EXPECT_EQ(error, "");
  ASSERT_FALSE(rows->Eof());
  EXPECT_EQ(rows->FieldByName("ID").AsInteger(), 81);
  EXPECT_EQ(rows->FieldByName("POT").AsInteger(), 7);
  EXPECT_EQ(rows->FieldByName("DATAS").AsString(), all);
  EXPECT_EQ(rows->FieldByName("columnsformat").AsString(), std::string(all.rbegin(), all.rend()));
  EXPECT_EQ(rows->FieldByName("date").AsDateTime(), 45352.5);
  EXPECT_EQ(rows->FieldByName("ID_ORDER").AsString(), "AB-81");
  rows->Next();
  EXPECT_TRUE(rows->Eof());

  rows = RunRemoteQuery("SELECT * FROM Rechnungen", "", error);
  EXPECT_EQ(error, "Error: no such table: Rechnungen");
  EXPECT_EQ(LeftInTempDir(), std::vector<std::string>{});
}

// A host that fails, lies or stalls: every case ends in a message, in bounded time, and
// never as a success that shows invoiced positions as missing.
TEST_F(RunReport, AHostThatFailsNeverPassesForOneThatAnswered) {
  Scenario s = Invoice({91, 92});
  s.stored = {Doc(91, 7, {Pos("A", "5")}), Doc(92, 1, {Pos("A", "5")})};
  Write(s);
  const std::string empty = temp_.path() + "empty.vds", cut = temp_.path() + "cut.vds";
  ASSERT_TRUE(WriteWholeFile(empty, ""));
  ASSERT_TRUE(WriteWholeFile(cut, std::string("TPF0\x01\x01\x02", 7)));
  // Windows has no FIFOs in the file system; there a device name stands in for both rows.
  const bool fifos = PlatformHasFifos();
  const std::string fifo = fifos ? temp_.path() + "fifo.json" : std::string("NUL");
  if (fifos) {
    ASSERT_TRUE(MakeFifo(fifo));
  }
  const std::string device = fifos ? "/dev/zero" : "NUL";
  const std::string noAnswer = "Error: Der IPC Server antwortet nicht";
  const std::string notRegular = " ist keine gew\xF6hnliche Datei";
  struct Case {
    const char* name;
    std::vector<std::string> host;    // hostsim options
    std::vector<std::string> report;  // further report options
    std::string error;                // the message, or a part of it when `part`
    bool part = false;
  };
  const std::vector<Case> cases = {
      // The host writes its result file, then never answers: what the file holds is not
      // to be trusted, whether whole, empty or cut short.
      {"query unanswered, file whole", {"--fault", "ANYQUERY=hangup"}, {}, noAnswer},
      {"query unanswered, file empty",
       {"--fault", "ANYQUERY=hangup", "--result-file", empty},
       {},
       noAnswer},
      {"host dies on the query, file cut",
       {"--fault", "ANYQUERY=die", "--result-file", cut},
       {},
       noAnswer},
      {"query reply cut at byte 20", {"--fault", "ANYQUERY=cut:20"}, {}, noAnswer},
      {"query reply announces more than it sends",
       {"--fault", "ANYQUERY=bytes:0000000000000000ff00000000000000"},
       {},
       noAnswer},
      // Two requests to pick the server, one for the document, then the host is gone.
      {"host dies after the document", {"--die-after", "3"}, {}, noAnswer},
      // Answered with a field list but no file: say which file is missing.
      {"field list without its file",
       {"--answer", "ANYQUERY=ID,3,0\r\n"},
       {},
       "Error: Die Ergebnisdatei \"" + MVTempDir(),
       true},
      // Silence: bounded per call, and for the whole run.
      {"silent host, short reply time-out",
       {"--fault", "GETJSON=silent"},
       {"--reply-timeout", "100"},
       kNoHostMessage},
      {"silent host, run deadline",
       {"--fault", "GETJSON=silent"},
       {"--timeout", "1", "--reply-timeout", "60000"},
       "Zeit\xFC"
       "berschreitung: Marvella hat den Lauf nicht innerhalb von 1 s beantwortet"},
      // Files that would block or never end.
      {"document is a FIFO", {"--answer", "GETJSON=" + fifo}, {}, notRegular, true},
      {"document is a device", {"--answer", "GETJSON=" + device}, {}, notRegular, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetCachedServerName("");
    Serve(c.host);
    std::vector<std::string> args = {"--report", "--format", "json"};
    args.insert(args.end(), c.report.begin(), c.report.end());
    const double start = MonotonicSeconds();
    Outcome r = Report(args);
    EXPECT_LT(MonotonicSeconds() - start, 10);
    host_.reset();
    EXPECT_EQ(r.exitCode, 1) << r.out;
    if (c.part)
      EXPECT_NE(r.Text("error").find(c.error), std::string::npos) << r.Text("error");
    else
      EXPECT_EQ(r.Text("error"), c.error);
    EXPECT_EQ(r.Sections().Count(), 0u);
  }
  SetDefaultReplyTimeout(60000);
  if (fifos) {
    EXPECT_TRUE(fs::exists(fifo));  // named by the host, but no file of ours
  }
}

// "SYS.UID" that would block or never end: the run goes on without a system identifier.
TEST_F(RunReport, ASystemIdThatIsNoFileIsLeftEmpty) {
  // Windows has neither FIFOs nor device links in a folder; its devices are refused by the
  // same check, which the file-read test tries with a device name.
  if (!PlatformHasFifos()) GTEST_SKIP() << "no FIFOs or device links on this system";
  Scenario s = Invoice({93});
  s.stored = {Doc(93, 7, {Pos("A", "5")})};
  Write(s);
  const std::string uid = Folder() + "/SYS.UID";
  for (int fifo = 0; fifo < 2; ++fifo) {
    fs::remove(uid);
    if (fifo)
      ASSERT_TRUE(MakeFifo(uid));
    else
      fs::create_symlink("/dev/zero", uid);
    Serve();
    Outcome r = Report();
    host_.reset();
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.Text("systemUid"), "");
  }
}

// The host names a file outside the temporary folder: not ours to delete.
TEST_F(RunReport, OnlyDocumentFilesInTheTemporaryFolderAreDeleted) {
  Scenario s = Invoice({94});
  s.stored = {Doc(94, 7, {Pos("A", "5")})};
  Write(s);
  const std::string outside = ProgramDir() + "Wichtig-" + NewGuidText() + ".json";
  ASSERT_TRUE(WriteWholeFile(outside, OpenDocumentJson(s.open)));
  Serve({"--answer", "GETJSON=" + outside});
  Outcome r = Report();
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(fs::exists(outside));
  fs::remove(outside);
}

TEST(RunPieces, QueryOverTheLinkedDocumentsInCollectionOrder) {
  TAddInfoLines lines;
  for (int id : {12, 7, 30}) lines.Add().ORG_ID = id;
  EXPECT_EQ(LinkedIdList(lines), "12,7,30");
  EXPECT_EQ(LinkedDocumentsQuery(LinkedIdList(lines)),
            "SELECT ID,ID_ORDER,Date,Status,POT,steuer_high_set,datas,ColumnsFormat,printname,"
            "adressname  FROM Auftraege where ID in (12,7,30)");
  EXPECT_EQ(LinkedIdList(TAddInfoLines()), "");
}

TEST(RunPieces, DatabaseFolderGetsOneTrailingDelimiter) {
  EXPECT_EQ(DatabaseFolderOf(""), "");
  const std::string d(1, PathDelim);
  EXPECT_EQ(DatabaseFolderOf(d + "daten"), d + "daten" + d);
  EXPECT_EQ(DatabaseFolderOf(d + "daten" + d), d + "daten" + d);
  EXPECT_EQ(DatabaseFolderOf("C"), "C" + d);
}

TEST_F(RunReport, TheLinkedDocumentsAllTakePart) {
  // Linked as 12, 7, 30: each of them is queried.
  Scenario s = Invoice({12, 7, 30});
  s.stored = {Doc(12, 1, {Pos("A", "1")}), Doc(7, 7, {Pos("A", "5")}), Doc(30, 1, {Pos("A", "2")}),
              Doc(99, 1, {Pos("A", "2")})};
  s.stored[2].date = "2024-03-05 00:00:00";  // after RE-12: the order of the merge is fixed
  Write(s);
  Serve();
  Outcome r = Report();
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.Summary(0), (std::vector<std::string>{"A 2 [3] @AB-7"}));
  EXPECT_EQ(r.Summary(2), (std::vector<std::string>{"A 3 @RE-12 RE-30"}));
}

// The program as the host starts it: its parent is the demo's server, which it must pick
// out of the server list although another server comes first there.
TEST_F(RunReport, TheDemoRunsTheProgramAsItsChild) {
  HostsimOptions decoy;
  decoy.name = "DECOY";
  decoy.dir = temp_.path() + "decoy";
  decoy.isDefault = true;
  fs::create_directories(decoy.dir);
  HostsimProcess other(decoy);

  Pipe out;
  ChildProcess demo;
  ChildProcess::Options o;
  o.standardOutput = out.WriteEnd();
  std::string error;
  ASSERT_TRUE(demo.Start(HostsimProcess::ProgramPath(),
                         {"demo", "--", ProgramDir() + "dirivararez" + ProgramSuffix(), "--report",
                          "--format", "json"},
                         o, &error))
      << error;
  out.CloseWrite();
  std::string json, line;
  while (out.ReadLine(line, 60000)) json += line;
  ASSERT_TRUE(demo.Wait(60000));
  EXPECT_EQ(demo.ExitCode(), 0);
  TFastJSON tree;
  tree.Parse(Utf8ToCp1252(json));
  EXPECT_EQ(tree.Member("error").AsString(), "");
  EXPECT_EQ(tree.Member("caption").AsString().rfind("Rechnung RE-2024-0305", 0), 0u);
  EXPECT_EQ(tree.Member("sections").AsArray().Count(), 4u);
  // The demo's server is gone from the list, its folder removed.
  EXPECT_EQ(ReadServerList(), "DECOY");
  for (const auto& e : fs::directory_iterator(temp_.path()))
    EXPECT_EQ(e.path().filename().string().rfind("hostsim-demo-", 0), std::string::npos);
}

}  // namespace
}  // namespace dz::hostsim
