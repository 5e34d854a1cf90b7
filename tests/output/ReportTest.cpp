// The report's rendering of a run's storages: the grid rows, the table and the JSON.
#include <gtest/gtest.h>

#include <charconv>
#include <sstream>
#include <string>
#include <vector>

#include "docdata/Cp1252.h"
#include "docdata/FastJSON.h"
#include "output/GridSections.h"
#include "output/Report.h"
#include "tests/support/TempDir.h"

namespace dz {
namespace {

using test::ScopedNumberFormat;

std::unique_ptr<TDataGridLine> Line(const std::string& partNo, const std::string& quantity,
                                    const std::string& total, const std::string& description) {
  auto l = std::make_unique<TDataGridLine>();
  l->Artikelnummer = partNo;
  l->Stueck = quantity;
  l->SummeBetrag = total;
  l->Bezeichnung1 = description;
  l->Einheit = "Stk";
  l->Pos = "7";
  return l;
}

DocumentRef Ref(const std::string& number, int32_t id, uint8_t type) {
  DocumentRef r;
  r.Number = number;
  r.ID = id;
  r.Type = type;
  r.Date = 45352.5;
  return r;
}

std::string Kinds(const std::vector<TGridRow>& rows) {
  std::string s;
  for (const TGridRow& r : rows) s += "SLAU"[static_cast<int>(r.Kind)];
  return s;
}

TEST(GridRows, FourSectionsInGridOrder) {
  ScopedNumberFormat german;
  TSuperStack stack;
  stack.Source().Add(Ref("AB-1", 1, 7), Line("K", "10", "10,00", "Kabel"));
  stack.Source().Add(Ref("AB-1", 1, 7), Line("S", "2", "kein Betrag", "Stecker"));
  stack.Invoiced().Add(Ref("RE-1", 2, 1), Line("K", "4", "4,00", "Kabel"));
  stack.Merged().AddWithQuantity(Ref("RE-1", 2, 1), "4", *stack.Invoiced().Entry(0).Line);

  // Nothing missing: the "Fehlend" heading is followed by "Alles berechnet".
  std::vector<TGridRow> rows = BuildGridRows(stack);
  EXPECT_EQ(Kinds(rows), "SASLLUSLSLU");
  EXPECT_EQ(rows[1].Info, "Alles berechnet");
  EXPECT_EQ(rows[1].Image, "1");
  EXPECT_EQ(rows[2].Info, "Quelle");
  EXPECT_EQ(rows[2].Description1, "Inhalt AN/AB");
  EXPECT_EQ(rows[3].Image, "1");
  EXPECT_EQ(rows[3].Entry, &stack.Source().Entry(0));
  EXPECT_EQ(rows[3].Storage, &stack.Source());
  // The sum counts a total that is no number as 0.
  EXPECT_EQ(rows[5].Info, "10,000");
  EXPECT_EQ(rows[5].Description1, "Summe");
  EXPECT_EQ(rows[5].Image, "8");
  EXPECT_EQ(rows[7].Image, "");
  EXPECT_EQ(rows[8].Info, "Alle");

  stack.Missing().AddWithQuantity(Ref("AB-1", 1, 7), "6", *stack.Source().Entry(0).Line);
  rows = BuildGridRows(stack);
  EXPECT_EQ(Kinds(rows), "SLSLLUSLSLU");
  EXPECT_EQ(rows[1].Image, "2");
  EXPECT_EQ(rows[1].Quantity, "6,000 [4,000]");
  EXPECT_EQ(rows[1].Info, "AB-1");
  EXPECT_EQ(rows[1].Position, "7");
  EXPECT_EQ(rows[1].Unit, "Stk");
}

TEST(GridRows, QuantitiesFollowTheNumberFormat) {
  LineEntry e;
  e.Line = Line("K", "1234,5", "", "Kabel");
  e.Difference = -2;
  {
    ScopedNumberFormat german;
    EXPECT_EQ(QuantityCellText(e), "1.234,500 [-2,000]");
  }
  {
    ScopedNumberFormat swiss('.', '\'');
    e.Line->Stueck = "1234.5";
    EXPECT_EQ(QuantityCellText(e), "1'234.500 [-2.000]");
  }
  e.Difference = 0;
  e.Line->Stueck = "viele";
  EXPECT_EQ(QuantityCellText(e), "0,000");
}

TEST(ReportJson, EveryFieldOfALineUnderItsOwnName) {
  ScopedNumberFormat german;
  TSuperStack stack;
  auto l = Line("K-1", "3", "7,50",
                "Kabel \"extra\" \\ 3\xD7"
                "1,5 mm\xB2");
  l->Second = "Zeile 1\r\nZeile 2\x01";
  l->TypeLine = "\x81";
  l->DM = true;
  l->Isnetto = true;
  l->Row = -5;
  l->Einzelbetrag = "2,50 \x80";
  stack.Missing().Add(Ref("Neu", -1, 2), std::move(l));
  stack.Missing().Entry(0).Difference = 1.25;
  stack.Missing().Entry(0).Matched = 1;

  const std::string json = ReportJson(stack, "UID\r\n");
  TFastJSON tree;
  tree.Parse(Utf8ToCp1252(json));
  EXPECT_EQ(tree.Member("caption").AsString(), "");
  EXPECT_EQ(tree.Member("error").AsString(), "");
  EXPECT_EQ(tree.Member("systemUid").AsString(), "UID\r\n");
  TJsonArray& sections = tree.Member("sections").AsArray();
  ASSERT_EQ(sections.Count(), 4u);
  TJsonObject& missing = sections.Item(0).AsObject();
  EXPECT_EQ(missing.Member("total").Number(), 7.5);
  TJsonObject& line = missing.Member("lines").AsArray().Item(0).AsObject();
  const std::vector<std::string> keys = {"document",      "documentId",    "documentType",
                                         "documentDate",  "difference",    "matched",
                                         "Stueck",        "Einheit",       "Bezeichnung1",
                                         "Bezeichnung2",  "BestellNummer", "Seriennummer",
                                         "Artikelnummer", "Einzelbetrag",  "Steuer",
                                         "SummeBetrag",   "intern",        "ID_Artikel",
                                         "Rabatt",        "Second",        "DM",
                                         "TypeLine",      "Isnetto",       "User",
                                         "Row",           "Rows",          "Hash",
                                         "Pos",           "ExtraData",     "L2"};
  ASSERT_EQ(line.Count(), keys.size());
  for (size_t i = 0; i < keys.size(); ++i) EXPECT_EQ(line.Pair(i).Name(), keys[i]);
  EXPECT_EQ(line.Member("document").AsString(), "Neu");
  EXPECT_EQ(line.Member("documentId").Number(), -1);
  EXPECT_EQ(line.Member("documentType").Number(), 2);
  EXPECT_EQ(line.Member("documentDate").Number(), 45352.5);
  EXPECT_EQ(line.Member("difference").Number(), 1.25);
  EXPECT_EQ(line.Member("matched").Number(), 1);
  EXPECT_EQ(line.Member("Bezeichnung1").AsString(),
            "Kabel \"extra\" \\ 3\xD7"
            "1,5 mm\xB2");
  EXPECT_EQ(line.Member("Second").AsString(), "Zeile 1\r\nZeile 2\x01");
  EXPECT_EQ(line.Member("TypeLine").AsString(), "\x81");
  EXPECT_EQ(line.Member("Einzelbetrag").AsString(), "2,50 \x80");
  EXPECT_EQ(line.Member("DM").Kind(), jvBoolean);
  EXPECT_TRUE(line.Member("DM").Boolean());
  EXPECT_EQ(line.Member("Row").Kind(), jvNumber);
  EXPECT_EQ(line.Member("Row").Number(), -5);
  // The text itself is UTF-8 and standard JSON: raw bytes only above 0x7F as sequences.
  EXPECT_NE(json.find("3\xC3\x97"
                      "1,5 mm\xC2\xB2"),
            std::string::npos);
  EXPECT_NE(json.find("\"2,50 \xE2\x82\xAC\""), std::string::npos);
  EXPECT_NE(json.find("Zeile 1\\r\\nZeile 2\\u0001"), std::string::npos);
  for (int s = 1; s < 4; ++s) {
    EXPECT_EQ(sections.Item(s).AsObject().Member("lines").AsArray().Count(), 0u);
    EXPECT_EQ(sections.Item(s).AsObject().Member("total").Number(), 0);
  }
}

// Every byte value, wherever it stands in a longer text, reads back as itself.
TEST(ReportJson, EveryByteAnywhereInALongText) {
  TSuperStack stack;
  const size_t places[] = {0, 7, 15, 16, 17, 31, 39};
  std::vector<std::string> texts;
  for (int c = 0; c < 256; ++c)
    for (size_t at : places) {
      std::string text(40, 'a');
      text[at] = static_cast<char>(c);
      text[39 - at] = static_cast<char>(c);
      texts.push_back(text);
      stack.Invoiced().Add(Ref("N", 1, 2), Line("K", "1", "1", text));
    }
  TFastJSON tree;
  tree.Parse(Utf8ToCp1252(ReportJson(stack, "")));
  TJsonArray& lines =
      tree.Member("sections").AsArray().Item(3).AsObject().Member("lines").AsArray();
  ASSERT_EQ(lines.Count(), texts.size());
  for (size_t i = 0; i < texts.size(); ++i)
    ASSERT_EQ(lines.Item(i).AsObject().Member("Bezeichnung1").AsString(), texts[i]) << i;
}

// Numbers are written as the shortest text that reads back as the same double, whole
// ones and eighths too (which turn to an exponent from 100000 on).
TEST(ReportJson, NumbersInTheirShortestForm) {
  TSuperStack stack;
  const double values[] = {0,        -0.0,    3,    99999, -99999,    100000,
                           -100000,  45323.5, -0.5, 0.125, 99999.875, -99999.875,
                           100000.5, 1.25,    1e-7, 0.1,   2.0 / 3};
  for (double v : values)
    stack.Missing().Add(Ref("N", 1, 2), Line("K", "1", "1", "x")).Difference = v;
  const std::string json = ReportJson(stack, "");
  size_t at = 0;
  for (double v : values) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    const std::string want = "\"difference\":" + std::string(buf, r.ptr) + ",";
    at = json.find(want, at);
    ASSERT_NE(at, std::string::npos) << want;
    ++at;
  }
}

// Sections of more than a piece of text (1 MiB), rendered on two threads: every line once,
// in order, in its own section.
TEST(ReportJson, LargeSectionsWholeAndInOrder) {
  TSuperStack stack;
  TLineStorage* storages[] = {&stack.Missing(), &stack.Source(), &stack.Merged(),
                              &stack.Invoiced()};
  const std::string padding(400, 'x');
  constexpr int kLines = 3000;
  for (int s = 0; s < 4; ++s)
    for (int i = 0; i < kLines; ++i)
      storages[s]->Add(Ref("N", 1, 2),
                       Line("K", "1", "1", std::to_string(s * kLines + i) + padding));
  const std::string json = ReportJson(stack, "");
  ASSERT_GT(json.size(), size_t{4} << 20);
  TFastJSON tree;
  tree.Parse(Utf8ToCp1252(json));
  TJsonArray& sections = tree.Member("sections").AsArray();
  ASSERT_EQ(sections.Count(), 4u);
  for (int s = 0; s < 4; ++s) {
    TJsonArray& lines = sections.Item(s).AsObject().Member("lines").AsArray();
    ASSERT_EQ(lines.Count(), size_t{kLines});
    for (int i = 0; i < kLines; ++i)
      ASSERT_EQ(lines.Item(i).AsObject().Member("Bezeichnung1").AsString(),
                std::to_string(s * kLines + i) + padding);
  }
}

TEST(ReportText, ATableInGridLayout) {
  ScopedNumberFormat german;
  TSuperStack stack;
  stack.Source().Add(Ref("AB-1", 1, 7), Line("K", "10", "10,00",
                                             "Kabel\r\nmit Stecker und einer sehr langen "
                                             "Beschreibung, die abgeschnitten wird"));
  stack.Missing().AddWithQuantity(Ref("AB-1", 1, 7), "6", *stack.Source().Entry(0).Line);
  const std::string text = ReportText(stack);
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(lines[0], "");  // no caption before a run
  EXPECT_EQ(lines[1].substr(0, 33), "   Position  Bezeichnung         ");
  EXPECT_NE(lines[4].find("6,000 [4,000]"), std::string::npos) << lines[4];
  EXPECT_NE(lines[4].find("Kabel mit Stecker"), std::string::npos) << lines[4];
  EXPECT_NE(lines[4].find("\xE2\x80\xA6"), std::string::npos) << lines[4];  // cut
  EXPECT_EQ(lines[4].rfind("\xE2\x9C\x97  7", 0), 0u) << lines[4];
  EXPECT_NE(text.find("Summe"), std::string::npos);
  EXPECT_NE(text.find("10,000\n"), std::string::npos);
}

TEST(ReportMain, BadUsage) {
  const std::vector<std::vector<std::string>> bad = {{"--format", "json"},
                                                     {"--report", "--format"},
                                                     {"--report", "--format", "xml"},
                                                     {"--report", "--verbose"},
                                                     {"report"},
                                                     {}};
  for (const auto& args : bad) {
    std::ostringstream out, err;
    EXPECT_EQ(ReportMain(args, out, err), 2) << (args.empty() ? "" : args.back());
    EXPECT_EQ(out.str(), "");
    EXPECT_NE(err.str().find("--help"), std::string::npos);
  }
  std::ostringstream out, err;
  EXPECT_EQ(ReportMain({"--report", "--help"}, out, err), 0);
  EXPECT_NE(out.str().find("--format json"), std::string::npos);
}

}  // namespace
}  // namespace dz
