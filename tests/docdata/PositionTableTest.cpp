#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "docdata/BlobInflate.h"
#include "docdata/DataGrid.h"
#include "docdata/Exception.h"
#include "docdata/RowConversion.h"
#include "tests/support/TempDir.h"

namespace dz {
namespace {

using namespace std::string_literals;
using test::ScopedNumberFormat;

std::string Deflate(std::string_view raw) {
  uLongf n = compressBound(raw.size());
  std::string out(n, '\0');
  compress2(reinterpret_cast<Bytef*>(out.data()), &n, reinterpret_cast<const Bytef*>(raw.data()),
            raw.size(), 6);
  out.resize(n);
  return out;
}

std::string S(std::string_view s) {
  return std::string(1, static_cast<char>(s.size())) + std::string(s);
}

// A column stream written by hand: one item per name, each with its FieldName only plus
// optional extra property bytes.
std::string ColumnStream(const std::vector<std::pair<std::string, std::string>>& cols) {
  std::string s = "TPF0"s + S("TColumnsWrapper") + S("") + S("Columns") + "\x0E";
  for (const auto& [name, extra] : cols)
    s += "\x01"s + S("FieldName") + "\x06" + S(name) + extra + "\0"s;
  return s + "\0\0\0"s;
}

std::vector<std::string> FieldNames(const TDataGrid& g) {
  std::vector<std::string> v;
  for (int i = 0; i < g.ColCount(); ++i) v.push_back(g.Columns()[i].FieldName);
  return v;
}

// Every data row as its cells (columns 0..ColCount-1) plus the long text.
std::vector<std::vector<std::string>> Rows(const TDataGrid& g) {
  std::vector<std::vector<std::string>> rows;
  for (int r = 1; r < g.RowCount(); ++r) {
    std::vector<std::string> row;
    for (int c = 0; c < g.ColCount(); ++c) row.emplace_back(g.Cell(c, r));
    row.emplace_back(g.Cell(-2, r));
    rows.push_back(row);
  }
  return rows;
}

const std::string kDefaultBlock =
    "\"@@DATADEF START@@\"\r\n\"TColumn-1\"\r\n\"Pos.\"\r\n\"Stueck\"\r\n\"Einheit\"\r\n"
    "\"Bezeichnung1\"\r\n\"Bezeichnung2\"\r\n\"BestellNummer\"\r\n\"Seriennummer\"\r\n"
    "\"Artikelnummer\"\r\n\"Einzelbetrag\"\r\n\"Steuer\"\r\n\"SummeBetrag\"\r\n\"intern\"\r\n"
    "\"ID_Artikel\"\r\n\"benutzer\"\r\n\"Rabatt\"\r\n\"SecondField\"\r\n\"@@DATADEF END@@\"\r\n"
    "\"title row\"\r\n";

TEST(BlobInflate, ResultsAndDamage) {
  std::string text;
  for (int i = 0; i < 5000; ++i) text += "Zeile " + std::to_string(i) + "\r\n";
  const std::string good = Deflate(text);
  struct Case {
    const char* what;
    std::string in;
    bool damaged;
    size_t minSize, maxSize;  // bytes produced
  };
  const Case cases[] = {
      {"empty", "", false, 0, 0},
      {"complete", good, false, text.size(), text.size()},
      {"bytes after the stream end", good + "junk", false, text.size(), text.size()},
      {"cut before the trailer", good.substr(0, good.size() - 2), true, text.size(), text.size()},
      {"cut in the middle", good.substr(0, good.size() / 2), true, 1, text.size() - 1},
      {"not zlib at all", "plain text, no zlib", true, 0, 0},
      {"header only", good.substr(0, 2), true, 0, 0},
      {"wrong checksum", good.substr(0, good.size() - 1) + "\x01", true, text.size(), text.size()},
  };
  for (const auto& c : cases) {
    InflateResult r = InflateBlob(c.in);
    EXPECT_EQ(r.damaged, c.damaged) << c.what;
    EXPECT_GE(r.bytes.Size(), c.minSize) << c.what;
    EXPECT_LE(r.bytes.Size(), c.maxSize) << c.what;
    EXPECT_EQ(r.bytes.View(), std::string_view(text).substr(0, r.bytes.Size())) << c.what;
  }
  // A tiny input that inflates to far more than its growth step.
  std::string zeros(3 << 20, '\0');
  InflateResult big = InflateBlob(Deflate(zeros));
  EXPECT_FALSE(big.damaged);
  EXPECT_EQ(big.bytes.View(), zeros);
}

// Inputs that are small but ask for far more memory than any real document are refused
// instead of being taken whole.
TEST(PositionTable, MemoryStaysBoundedByWhatRealDocumentsNeed) {
  const std::string zeros(1 << 20, '\0');
  struct InflateCase {
    const char* what;
    size_t limit;
    bool damaged, tooLarge;
  };
  const InflateCase inflateCases[] = {
      {"just fits", zeros.size(), false, false},
      {"one byte too many", zeros.size() - 1, true, true},
      {"far too many", 4096, true, true},
  };
  for (const auto& c : inflateCases) {
    InflateResult r = InflateBlob(Deflate(zeros), c.limit);
    EXPECT_EQ(r.damaged, c.damaged) << c.what;
    EXPECT_EQ(r.tooLarge, c.tooLarge) << c.what;
    EXPECT_LE(r.bytes.Size(), c.limit + 1) << c.what;
  }

  auto emptyColumns = [](size_t n) {
    std::string s = "TPF0"s + S("TColumnsWrapper") + S("") + S("Columns") + "\x0E";
    for (size_t i = 0; i < n; ++i) s += "\x01\x00"s;
    return s + "\0\0\0"s;
  };
  TDataGrid most;
  EXPECT_NO_THROW(most.LoadColumns(emptyColumns(TDataGridColumns::kMaxColumns)));
  TDataGrid tooMany;
  EXPECT_THROW(tooMany.LoadColumns(emptyColumns(TDataGridColumns::kMaxColumns + 1)), Exception);
  EXPECT_EQ(tooMany.ColCount(), 16);

  // Every line without a quote is an empty row of its own. (Handed over, not stored: the
  // same reading loop, without the memory.)
  std::string rows = "\"title\"\n";
  for (int i = 0; i < TDataGrid::kMaxDataRows; ++i) rows += "x\n";
  TDataGrid g;
  int seen = 0;
  EXPECT_TRUE(g.VisitRows(rows, [&seen](const TDataGridRowView&) { ++seen; }));
  EXPECT_EQ(seen, TDataGrid::kMaxDataRows);
  EXPECT_FALSE(g.VisitRows(rows + "x\n", [](const TDataGridRowView&) {}));
}

TEST(PositionTable, DefaultColumnSet) {
  struct Expect {
    const char* field;
    const char* title;
    int width;
    int format, alignment, kind, digits, precision;
    bool limit, button, intern, readOnly;
  };
  const Expect expected[] = {
      {"TColumn-1", "", 10, cfString, taLeftJustify, deInteger, 2, 2, true, true, true, false},
      {"Pos.", "Pos.", 29, cfString, taLeftJustify, deInteger, 2, 2, false, false, false, false},
      {"Stueck",
       "St\xFC"
       "ck",
       71, cfNumber, taRightJustify, deCurrency, 5, 10, false, false, false, false},
      {"Einheit", "Einheit", 68, cfcombo, taRightJustify, deInteger, 2, 2, false, true, false,
       false},
      {"Bezeichnung1", "Bezeichnung1", 77, cfdblocate, taLeftJustify, deInteger, 2, 2, false, true,
       false, false},
      {"Bezeichnung2", "Bezeichnung2", 74, cfdblocate, taLeftJustify, deInteger, 2, 2, false, true,
       false, false},
      {"BestellNummer", "BestellNummer", 71, cfdblocate, taLeftJustify, deInteger, 2, 2, false,
       true, false, false},
      {"Seriennummer", "Seriennummer", 66, cfString, taLeftJustify, deInteger, 2, 2, true, false,
       false, false},
      {"Artikelnummer", "Artikelnummer", 57, cfdblocate, taLeftJustify, deInteger, 2, 2, false,
       true, false, false},
      {"Einzelbetrag", "Preis", 61, cfNumber, taLeftJustify, deCurrency, 2, 20, false, false, false,
       false},
      {"Steuer", "Steuer", 37, cfcombo, taLeftJustify, deFloat, 2, 2, false, true, false, false},
      {"SummeBetrag", "Summe", 20, cfNumber, taRightJustify, deCurrency, 2, 20, false, false, false,
       true},
      {"intern", "", -1, cfString, taRightJustify, deInteger, 2, 2, false, true, true, false},
      {"ID_Artikel", "", -1, cfString, taRightJustify, deInteger, 2, 2, false, true, true, false},
      {"benutzer", "beliebig", -1, cfString, taLeftJustify, deInteger, 20, 20, false, false, false,
       false},
      {"Rabatt", "Rabatt", 59, cfcombo, taLeftJustify, deFloat, 2, 2, true, true, false, false},
  };
  TDataGrid g;
  ASSERT_EQ(g.ColCount(), 16);
  EXPECT_EQ(g.RowCount(), 2);
  EXPECT_FALSE(g.FullColumnsStreaming);
  for (int i = 0; i < 16; ++i) {
    const TColumn& c = g.Columns()[i];
    const Expect& e = expected[i];
    EXPECT_EQ(c.FieldName, e.field);
    EXPECT_EQ(c.Title.Caption, e.title) << e.field;
    EXPECT_EQ(c.Width, e.width) << e.field;
    EXPECT_EQ(c.Format, e.format) << e.field;
    EXPECT_EQ(c.Alignment, e.alignment) << e.field;
    EXPECT_EQ(c.NumericKind, e.kind) << e.field;
    EXPECT_EQ(c.NumericDigits, e.digits) << e.field;
    EXPECT_EQ(c.NumericPrecision, e.precision) << e.field;
    EXPECT_EQ(c.LimitToList, e.limit) << e.field;
    EXPECT_EQ(c.ButtonExists, e.button) << e.field;
    EXPECT_EQ(c.Intern, e.intern) << e.field;
    EXPECT_EQ(c.ReadOnly, e.readOnly) << e.field;
    EXPECT_FALSE(c.Streaming);
    if (i > 0) {
      EXPECT_EQ(c.Font.Name, "Tahoma");
      EXPECT_EQ(c.Font.Height, -11);
      EXPECT_EQ(c.Title.Font.Color, 0);
    }
  }
  EXPECT_EQ(g.Columns()[2].EditMask, "0.###");
  EXPECT_EQ(g.Columns()[9].DisplayMask, "#######.00 'DM'");
  EXPECT_EQ(g.Columns()[10].DisplayMask, "##.00 '%'");
  EXPECT_EQ(g.Columns()[15].DisplayMask, "##.0 '%'");
}

struct RowsCase {
  const char* what;
  std::string datas;
  std::vector<std::vector<std::pair<int, std::string>>> rows;  // expected (column, text)
};

TEST(PositionTable, RowsFromHandWrittenText) {
  ScopedNumberFormat comma(',', '.');
  const std::string block4 =
      "\"@@DATADEF START@@\"\r\n\"TColumn-1\"\r\n\"Stueck\"\r\n\"Einheit\"\r\n\"SecondField\"\r\n"
      "\"@@DATADEF END@@\"\r\n\"x\"\r\n";
  std::string sixteen;
  for (int i = 0; i < 16; ++i) sixteen += "\"" + std::to_string(i) + "\",";
  const RowsCase cases[] = {
      {"second field entry is dropped, no long text",
       block4 + "\" \",\"2\",\"Stk\",\"Long\"\r\n",
       {{{0, " "}, {2, "2"}, {3, "Stk"}, {-2, ""}}}},
      {"17th field is the long text",
       kDefaultBlock + sixteen + "\"Lang\"\r\n",
       {{{0, "0"}, {1, "1"}, {15, "15"}, {-2, "Lang"}}}},
      {"doubled quotes",
       block4 + "\"k\",\"He said \"\"no\"\"\",\"m\"\r\n",
       {{{0, "k"}, {2, "He said \"no\""}, {3, "m"}}}},
      {"unquoted text reads as empty",
       block4 + "\"k\",abc,\"m\"\r\n",
       {{{0, "k"}, {2, ""}, {3, "m"}}}},
      {"escapes",
       block4 + "\"%%\",\"a%0b\",\"%c%n%x\"\r\n\"x%%%\",\"ab%\"\r\n",
       {{{0, "%"}, {2, "a\0b"s}, {3, "\r\n%x"}}, {{0, "x%"}, {2, "ab"}}}},
      {"escapes and closing quotes beyond the first sixteen bytes of a field",
       block4 + "\"ab%%cdefghijklmnopqrstuvwxyz\",\"abcdefghijklmnopqrstuvwxyz%%x\",\"" +
           std::string(40, 'y') + "\"\r\n",
       {{{0, "ab%cdefghijklmnopqrstuvwxyz"},
         {2, "abcdefghijklmnopqrstuvwxyz%x"},
         {3, std::string(40, 'y')}}}},
      {"long text line breaks", kDefaultBlock + sixteen + "\"A%c%nB%c%n\"\r\n", {{{-2, "A\r\nB"}}}},
      {"long text with lone breaks",
       kDefaultBlock + sixteen + "\"A%nB%cC%c%n%c%n\"\r\n",
       {{{-2, "A\r\nB\r\nC\r\n"}}}},
      {"runs of CR, LF and NUL are one separator",
       block4 + "\"1\"\r\r\n\n\0\"2\"\n\0\0\"3\""s,
       {{{0, "1"}}, {{0, "2"}}, {{0, "3"}}}},
      {"without a block the first line goes and nothing maps",
       "\"a\",\"b\"\r\n\"c\",\"d\"\r\n\"e\"\r\n",
       {{{0, ""}}, {{0, ""}}}},
      {"unterminated quote keeps text before its last doubled quote",
       block4 + "\"k\",\"ab\"\"cd\"\"ef\r\n\"k\",\"abc\r\n",
       {{{0, "k"}, {2, "ab\"cd"}}, {{0, "k"}, {2, ""}}}},
      {"entry names ignore case and unknown names drop their field",
       "\"@@DATADEF START@@\"\n\"stueck\"\n\"Unbekannt\"\n\"EINHEIT\"\n\"@@DATADEF END@@\"\n"
       "\"head\"\n\"3\",\"x\",\"Stk\"\n",
       {{{2, "3"}, {3, "Stk"}}}},
      {"comma-separated without quotes between",
       block4 + "\"k\",,\"m\"\r\n",
       {{{0, "k"}, {2, ""}, {3, "m"}}}},
  };
  for (const auto& c : cases) {
    TDataGrid g;
    ASSERT_TRUE(g.LoadRows(c.datas)) << c.what;
    ASSERT_EQ(g.RowCount(), 1 + static_cast<int>(c.rows.size())) << c.what;
    for (size_t r = 0; r < c.rows.size(); ++r)
      for (const auto& [col, text] : c.rows[r])
        EXPECT_EQ(g.Cell(col, static_cast<int>(r) + 1), text) << c.what << " row " << r + 1;
    // Rows handed over while they are read show the same cells, and stay out of the table.
    TDataGrid v;
    size_t r = 0;
    ASSERT_TRUE(v.VisitRows(c.datas, [&](const TDataGridRowView& row) {
      ASSERT_LT(r, c.rows.size()) << c.what;
      for (const auto& [col, text] : c.rows[r]) EXPECT_EQ(row.Cell(col), text) << c.what;
      ++r;
    }));
    EXPECT_EQ(r, c.rows.size()) << c.what;
    EXPECT_EQ(v.RowCount(), 2) << c.what;
  }
}

TEST(PositionTable, DecimalSeparatorInNumberColumns) {
  struct Case {
    char sep;
    const char* stored;
    const char* stueck;   // deCurrency
    const char* einheit;  // deInteger: never touched
  };
  const Case cases[] = {
      {',', "12.50", "12.50", "12.50"},
      {',', "1,5", "1,5", "1,5"},
      {'.', "1,5", "1.5", "1,5"},
      {'.', "1.234,5", "1.234.5", "1.234,5"},
      {',', "1.234,5", "1.234,5", "1.234,5"},
  };
  for (const auto& c : cases) {
    ScopedNumberFormat fmt(c.sep, c.sep == ',' ? '.' : '\'');
    TDataGrid g;
    std::string datas = kDefaultBlock + "\"\",\"1\",\"" + c.stored + "\",\"" + c.stored + "\"\r\n";
    ASSERT_TRUE(g.LoadRows(datas));
    EXPECT_EQ(g.Cell(2, 1), c.stueck) << c.sep << c.stored;
    EXPECT_EQ(g.Cell(3, 1), c.einheit) << c.sep << c.stored;
    // Rows handed over while they are read: the same cells.
    ASSERT_TRUE(g.VisitRows(datas, [&c](const TDataGridRowView& row) {
      EXPECT_EQ(row.Cell(2), c.stueck) << c.sep << c.stored;
      EXPECT_EQ(row.Cell(3), c.einheit) << c.sep << c.stored;
    }));
  }
}

TEST(PositionTable, LineBreaksAtEveryPieceBoundaryGiveTheSameRows) {
  std::string datas = kDefaultBlock;
  for (int i = 0; i < 6; ++i)
    datas += "\"\",\"" + std::to_string(i) +
             "\",\"1,5\",\"St\xFC"
             "ck\",\"Text " +
             std::string(i * 3, 'x') + "\"" + (i % 2 ? "\r\n" : "\n\0\r"s);
  datas += "\"t\",\"Ende\"";  // last line without a break
  TDataGrid whole;
  ASSERT_TRUE(whole.LoadRows(datas, datas.size()));
  const auto expected = Rows(whole);
  ASSERT_EQ(expected.size(), 7u);
  for (size_t piece = 1; piece < datas.size(); ++piece) {
    TDataGrid g;
    ASSERT_TRUE(g.LoadRows(datas, piece));
    EXPECT_EQ(Rows(g), expected) << "piece size " << piece;
  }
  // The break pair split right between CR and LF by the default piece size.
  std::string big = kDefaultBlock;
  while (big.size() < TDataGrid::kReadPieceSize - 20) big += "\"\",\"p\",\"1\"\r\n";
  big += std::string(TDataGrid::kReadPieceSize - 1 - big.size() - 6, 'x');  // unquoted filler
  big += "\"\",\"q\"\r\n\"\",\"r\"\r\n";
  ASSERT_EQ(big[TDataGrid::kReadPieceSize - 1], '\r');
  TDataGrid g, ref;
  ASSERT_TRUE(g.LoadRows(big));
  ASSERT_TRUE(ref.LoadRows(big, big.size()));
  EXPECT_EQ(Rows(g), Rows(ref));
  EXPECT_EQ(g.Cell(1, g.RowCount() - 1), "r");
}

// Long texts: every CR LF, lone CR and lone LF becomes CR LF, one final break is dropped;
// checked against the rule written plainly, with breaks on both sides of 8-byte words.
TEST(PositionTable, LongTextLineBreaks) {
  auto plain = [](std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\r' || text[i] == '\n') {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        out += "\r\n";
      } else {
        out += text[i];
      }
    }
    if (out.size() >= 2 && out.substr(out.size() - 2) == "\r\n") out.resize(out.size() - 2);
    return out;
  };
  for (size_t prefix : {0, 5, 8, 13}) {
    for (int length = 0; length <= 7; ++length) {
      int count = 1;
      for (int k = 0; k < length; ++k) count *= 3;
      for (int code = 0; code < count; ++code) {
        std::string text(prefix, '\0');
        for (int k = 0, c = code; k < length; ++k, c /= 3) text += "a\r\n"[c % 3];
        ASSERT_EQ(NormalizeLongText(text), plain(text)) << prefix << " " << code;
      }
    }
  }
}

TEST(PositionTable, RowCountFollowsTheDataLines) {
  TDataGrid g;
  g.SetRowCount(10);
  g.SetCell(3, 9, "old");
  ASSERT_TRUE(g.LoadRows(kDefaultBlock + "\"\",\"1\"\r\n\"\",\"2\"\r\n"));
  EXPECT_EQ(g.RowCount(), 3);
  EXPECT_EQ(g.Cell(3, 9), "");
  ASSERT_TRUE(g.LoadRows(kDefaultBlock));
  EXPECT_EQ(g.RowCount(), 1);
}

TEST(PositionTable, MergeExchangesColumnsAndKeepsTheSet) {
  TDataGrid g;
  // Read columns: Stueck first, a case variant that must not match, an unknown name,
  // then an internal column and Pos. with a new caption and width.
  const std::string stream = ColumnStream({
      {"Stueck", "\x05Width\x02\x32"s + S("Alignment") + "\x07" + S("taCenter") +
                     S("NumericDigits") + "\x02\x02"},
      {"bezeichnung1", "\x05Width\x02\x33"s},
      {"Neu", ""},
      {"intern", "\x05Width\x02\x34"s},
      {"Pos.", "\x05Width\x02\x35"s + S("Title.Caption") + "\x06" + S("Nr.") +
                   S("PickList.Strings") +
                   "\x01\x06\x01"
                   "a\0"s},
  });
  g.LoadColumns(stream);
  std::vector<std::string> names = FieldNames(g);
  // i=0 Stueck (at 2) swaps with 0; i=1 no match; i=2 no match; i=3 intern (12) swaps with
  // 3; i=4 Pos. (now at 1) swaps with 4.
  const std::vector<std::string> expected = {
      "Stueck",        "Bezeichnung1", "TColumn-1",     "intern",       "Pos.",   "Bezeichnung2",
      "BestellNummer", "Seriennummer", "Artikelnummer", "Einzelbetrag", "Steuer", "SummeBetrag",
      "Einheit",       "ID_Artikel",   "benutzer",      "Rabatt"};
  EXPECT_EQ(names, expected);
  auto col = [&](const char* n) -> const TColumn& { return g.Columns()[g.FindColumn(n)]; };
  EXPECT_EQ(col("Stueck").Width, 50);
  EXPECT_EQ(col("Stueck").Alignment, taCenter);
  EXPECT_EQ(col("Stueck").NumericDigits, 5);  // digits never come from the stream
  EXPECT_EQ(col("Bezeichnung1").Width, -1);   // "bezeichnung1" matched nothing
  EXPECT_EQ(col("intern").Width, -1);         // internal: nothing taken over
  EXPECT_EQ(col("Pos.").Width, 53);
  EXPECT_EQ(col("Pos.").Title.Caption, "Nr.");
  EXPECT_EQ(col("Pos.").PickList, std::vector<std::string>{"a"});
  EXPECT_EQ(col("TColumn-1").Width, 10);  // column 0 keeps its width
  EXPECT_EQ(col("Einheit").Width, -1);
}

TEST(PositionTable, MergeCaseRulesForStueck) {
  // The merge compares names exactly: "stueck" takes over nothing, while Find column and the
  // column index record still find "Stueck" for it.
  TDataGrid g;
  g.Columns()[2].NumericDigits = 3;
  g.LoadColumns(ColumnStream({{"Pos.", ""}, {"stueck", "\x05Width\x02\x40"s}}));
  EXPECT_EQ(g.Columns()[2].FieldName, "Stueck");
  EXPECT_EQ(g.Columns()[2].Width, -1);
  EXPECT_EQ(g.Columns()[2].NumericDigits, 3);
  EXPECT_EQ(g.FindColumn("stueck"), 2);
  EXPECT_EQ(g.FindColumn("ST\xDC"
                         "CK"),
            -1);
  g.LoadColumns(ColumnStream({{"TColumn-1", ""}, {"Pos.", ""}, {"Stueck", ""}}));
  EXPECT_EQ(g.Columns()[2].NumericDigits, 5);
}

TEST(PositionTable, FullStreamingReplacesTheColumns) {
  TDataGrid g;
  g.FullColumnsStreaming = true;
  g.LoadColumns(ColumnStream({{"TColumn-1", ""}, {"Stueck", ""}, {"stueck", ""}, {"Menge", ""}}));
  EXPECT_EQ(FieldNames(g), (std::vector<std::string>{"TColumn-1", "Stueck", "stueck", "Menge"}));
  TColumnIndexRecord idx = MakeColumnIndex(g);
  EXPECT_EQ(idx.Slot[0], -2);
  EXPECT_EQ(idx.Slot[1], 1);  // first of the two
  EXPECT_EQ(idx.Slot[15], -1);
}

TEST(PositionTable, BadColumnStreamLeavesTheColumnsAndRaises) {
  TDataGrid g;
  std::string bad = ColumnStream({{"Stueck", "\x04Nope\x02\x01"s}});
  try {
    g.LoadColumns(bad);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Eigenschaft existiert nicht");
  }
  EXPECT_EQ(g.Columns()[1].Width, 29);
}

TEST(PositionTable, CellReadAndRowKinds) {
  TDataGrid g;
  ASSERT_TRUE(g.LoadRows(kDefaultBlock +
                         "\"a\",\"1\"\n\" a\",\"2\"\n\"t\"\n\"-x\"\n\"\x81\"\n\"A\"\n\"\"\n"
                         "\"\x01t\"\n\"P\",\"3\",,,,,,,,,,,,,,,\"lang\"\n"));
  struct Case {
    int row;
    const char* kind;
    bool marker;
  };
  const Case cases[] = {{1, "a", true},    {2, "", false},  {3, "t", true}, {4, "-", true},
                        {5, "\x81", true}, {6, "A", false}, {7, "", false}, {8, "", false},
                        {9, "P", false},   {-1, "", false}, {99, "", false}};
  for (const auto& c : cases) {
    EXPECT_EQ(g.RowKind(c.row), c.kind) << c.row;
    EXPECT_EQ(g.IsMarkerRow(c.row), c.marker) << c.row;
  }
  EXPECT_EQ(g.Cell(-1, 9), "");
  EXPECT_EQ(g.Cell(-2, 9), "lang");
  EXPECT_EQ(g.Cell(1, 9), "3");
  EXPECT_EQ(g.Cell(40, 9), "");
  EXPECT_EQ(g.Cell(1, 0), "");
  EXPECT_EQ(g.SecondLevelData(9), "");
}

TEST(PositionTable, LoadStoredTableReportsEmptyAndDamagedColumns) {
  const std::string cols = Deflate(ColumnStream({{"TColumn-1", ""}}));
  const std::string rows = Deflate(kDefaultBlock + "\"\",\"1\"\r\n");
  struct Case {
    const char* what;
    std::string cols, rows;
    StoredTableStatus status;
    const char* damaged;
  };
  const Case cases[] = {
      {"both fine", cols, rows, StoredTableStatus::Loaded, ""},
      {"empty columns", "", rows, StoredTableStatus::Empty, ""},
      {"empty rows", cols, "", StoredTableStatus::Empty, ""},
      {"rows inflate to nothing", cols, Deflate(""), StoredTableStatus::Empty, ""},
      {"rows cut short", cols, rows.substr(0, rows.size() - 3), StoredTableStatus::Damaged,
       "Datas"},
      {"columns not zlib", "TPF0", rows, StoredTableStatus::Damaged, "ColumnsFormat"},
      {"damaged rows beside empty columns", "", "xyz", StoredTableStatus::Damaged, "Datas"},
  };
  for (const auto& c : cases) {
    StoredTable t = LoadStoredTable(c.cols, c.rows);
    EXPECT_EQ(t.status, c.status) << c.what;
    EXPECT_EQ(t.damagedColumn, c.damaged) << c.what;
    EXPECT_EQ(t.table != nullptr, c.status == StoredTableStatus::Loaded) << c.what;
  }
  StoredTable t = LoadStoredTable(cols, rows);
  EXPECT_EQ(t.table->Cell(1, 1), "1");
  EXPECT_THROW(LoadStoredTable(Deflate("TPF0x"), rows), Exception);
}

TEST(RowConversion, LineFromRow) {
  TDataGrid g;
  ASSERT_TRUE(
      g.LoadRows(kDefaultBlock +
                 "\"P\",\"1.1\",\" 12.5 \",\"Stk\",\"B1\",\"B2\",\"Best\",\"Ser\",\"Art\","
                 "\"3,5\",\"19\",\"43,75\",\"int\",\"77\",\"usr\",\"10\",\"A%c%nB%c%n\"\n"));
  auto line = RowToLine(g, MakeColumnIndex(g), 1);
  EXPECT_EQ(line->TypeLine, "P");
  EXPECT_EQ(line->Pos, "1.1");
  EXPECT_EQ(line->Stueck, " 12.5 ");
  EXPECT_EQ(line->Einheit, "Stk");
  EXPECT_EQ(line->Bezeichnung1, "B1");
  EXPECT_EQ(line->Bezeichnung2, "B2");
  EXPECT_EQ(line->BestellNummer, "Best");
  EXPECT_EQ(line->Seriennummer, "Ser");
  EXPECT_EQ(line->Artikelnummer, "Art");
  EXPECT_EQ(line->Einzelbetrag, "3,5");
  EXPECT_EQ(line->Steuer, "19");
  EXPECT_EQ(line->SummeBetrag, "43,75");
  EXPECT_EQ(line->intern, "int");
  EXPECT_EQ(line->ID_Artikel, "77");
  EXPECT_EQ(line->User, "usr");
  EXPECT_EQ(line->Rabatt, "10");
  EXPECT_EQ(line->Second, "A\r\nB");
  EXPECT_EQ(line->L2, "");
  EXPECT_FALSE(line->DM);
  EXPECT_FALSE(line->Isnetto);
  EXPECT_EQ(line->Row, 0);

  // Without a "Rabatt" column the other fields are unaffected.
  TDataGrid h;
  h.FullColumnsStreaming = true;
  h.LoadColumns(ColumnStream({{"TColumn-1", ""}, {"stueck", ""}, {"Stueck", ""}}));
  ASSERT_TRUE(
      h.LoadRows("\"@@DATADEF START@@\"\n\"TColumn-1\"\n\"stueck\"\n\"@@DATADEF END@@\"\n"
                 "\"h\"\n\"k\",\"4\",\"x\"\n"));
  auto l2 = RowToLine(h, MakeColumnIndex(h), 1);
  EXPECT_EQ(l2->Stueck, "4");
  EXPECT_EQ(l2->Rabatt, "");
  EXPECT_EQ(l2->TypeLine, "k");
}

TEST(RowConversion, NumberNormalisation) {
  struct Case {
    char sep;
    const char* in;
    const char* out;
  };
  const Case cases[] = {
      {',', " 12.5 ", "12,5"},       {'.', " 12.5 ", "12.5"}, {'.', "1,5", "1.5"},
      {',', "1.234,50", "1,234,50"}, {',', "\t7\r\n", "7"},   {',', "", ""},
  };
  for (const auto& c : cases) {
    ScopedNumberFormat fmt(c.sep, c.sep == ',' ? '.' : '\'');
    TDataGridLine l;
    l.Stueck = l.Einzelbetrag = l.Steuer = l.SummeBetrag = l.Rabatt = c.in;
    l.Einheit = c.in;
    NormalizeLineNumbers(l);
    EXPECT_EQ(l.Stueck, c.out) << c.in;
    EXPECT_EQ(l.Rabatt, c.out) << c.in;
    EXPECT_EQ(l.Einheit, c.in);
    TDataGridLine twice = l;
    NormalizeLineNumbers(twice);
    EXPECT_TRUE(twice.SameFields(l));
  }
}

}  // namespace
}  // namespace dz
