#include <gtest/gtest.h>

#include "docdata/BlobInflate.h"
#include "docdata/DataGrid.h"
#include "docdata/PackedLine.h"
#include "docdata/PositionTableWriter.h"
#include "docdata/RowConversion.h"
#include "docdata/SampleDocument.h"
#include "tests/support/TempDir.h"

namespace dz {
namespace {

using namespace std::string_literals;

// Packing a row while it is read gives exactly the line the row conversion fills and
// normalises, for every separator setting and for texts long enough to need wide offsets.
TEST(PackedLine, RowsPackAsTheRowConversionFillsThem) {
  std::vector<TDataGridLine> lines = SamplePositions();
  lines[1].Stueck = " \t1.234,5 ";
  lines[2].Einzelbetrag = "\x01 7.5\r";
  lines[3].Rabatt = "   ";
  lines[4].Second = std::string(70000, 'x') + "\r\nEnde\0"s;  // beyond 16-bit offsets
  lines[5].Bezeichnung1 = "\xC4nderung \"Quote\", 100 %";
  for (char sep : {',', '.'}) {
    test::ScopedNumberFormat format(sep, sep == ',' ? '.' : ',');
    TPositionTableWriter w;
    StoredDocument doc = w.Write(lines);
    TDataGrid table;
    table.LoadColumns(InflateBlob(doc.columnsFormat).bytes.View());
    const TColumnIndexRecord index = MakeColumnIndex(table);
    LineArena arena;
    size_t rows = 0;
    ASSERT_TRUE(
        table.VisitRows(InflateBlob(doc.datas).bytes.View(), [&](const TDataGridRowView& row) {
          TDataGridLine expected, packed;
          FillLineFromRowView(row, index, expected);
          NormalizeLineNumbers(expected);
          PackRowView(row, index, arena)->UnpackInto(packed);
          EXPECT_TRUE(packed.SameFields(expected)) << "row " << rows << " separator " << sep;
          ++rows;
        }));
    EXPECT_EQ(rows, lines.size());
  }
}

// Every field survives packing, the booleans and the row number included; a quantity given
// stands for Stueck; a view reads both kinds of line alike.
TEST(PackedLine, PackKeepsEveryField) {
  TDataGridLine line;
  int n = 0;
  for (const PropInfo& p : LineProperties()) {
    PropRef ref = line.Property(static_cast<size_t>(n++));
    if (auto* text = std::get_if<std::string*>(&ref)) **text = std::string(p.name) + "\xFC";
  }
  line.DM = true;
  line.Row = -7;
  LineArena arena;
  TDataGridLine back;
  PackedLine::Pack(line, arena)->UnpackInto(back);
  EXPECT_TRUE(back.SameFields(line));
  const std::string_view quantity = "12";
  const PackedLine* p = PackedLine::Pack(line, arena, &quantity);
  for (int f = 0; f < kLineFieldCount; ++f) {
    const auto field = static_cast<LineField>(f);
    const std::string_view expected =
        field == LineField::Stueck ? quantity : LineView(line).Text(field);
    EXPECT_EQ(LineView(*p).Text(field), expected) << f;
  }
  EXPECT_TRUE(LineView(*p).DM());
  EXPECT_FALSE(LineView(*p).Isnetto());
  EXPECT_EQ(LineView(*p).Row(), -7);
  // Many lines and one larger than a piece: earlier ones stay intact.
  std::vector<const PackedLine*> packed;
  for (int i = 0; i < 2000; ++i) packed.push_back(PackedLine::Pack(line, arena));
  line.Second.assign(LineArena::kPieceSize * 2, 'y');
  const PackedLine* big = PackedLine::Pack(line, arena);
  packed.push_back(PackedLine::Pack(back, arena));
  EXPECT_EQ(LineView(*big).Text(LineField::Second).size(), LineArena::kPieceSize * 2);
  for (const PackedLine* q : packed) EXPECT_EQ(LineView(*q).Text(LineField::L2), "L2\xFC");
}

}  // namespace
}  // namespace dz
