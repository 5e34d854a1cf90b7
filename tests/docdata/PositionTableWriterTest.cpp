#include <gtest/gtest.h>

#include "docdata/BlobInflate.h"
#include "docdata/DataGrid.h"
#include "docdata/PositionTableWriter.h"
#include "docdata/RowConversion.h"
#include "docdata/SampleDocument.h"

namespace dz {
namespace {

using namespace std::string_literals;

TEST(PositionTableWriter, RowsTextByteForByte) {
  TPositionTableWriter w;
  w.FieldOrder = {"TColumn-1", "Stueck", "Rabatt"};
  TDataGridLine l;
  l.TypeLine = "P";
  l.Stueck = "1,5";
  l.Rabatt = "5 %";
  l.Second = "a\"b\r\nc\0"s;
  EXPECT_EQ(w.DatasText(std::vector<TDataGridLine>{l}),
            "\"@@DATADEF START@@\"\r\n\"TColumn-1\"\r\n\"Stueck\"\r\n\"Rabatt\"\r\n"
            "\"SecondField\"\r\n\"@@DATADEF END@@\"\r\n"
            "\"TColumn-1\",\"Stueck\",\"Rabatt\"\r\n"
            "\"P\",\"1,5\",\"5 %%\",\"a\"\"b%c%nc%0\"\r\n");
}

TEST(PositionTableWriter, WrittenDocumentReadsBackInAnyColumnOrder) {
  std::vector<TDataGridLine> lines = SamplePositions();
  lines[2].Bezeichnung1 = "Quote \" and %, comma";
  lines[5].Second = "line1\r\n\r\nline3";
  for (bool reversed : {false, true}) {
    TPositionTableWriter w;
    if (reversed) std::reverse(w.FieldOrder.begin() + 1, w.FieldOrder.end());
    StoredDocument doc = w.Write(lines);
    StoredTable t = LoadStoredTable(doc.columnsFormat, doc.datas);
    ASSERT_EQ(t.status, StoredTableStatus::Loaded);
    ASSERT_EQ(t.table->RowCount(), static_cast<int>(lines.size()) + 1);
    TColumnIndexRecord idx = MakeColumnIndex(*t.table);
    for (size_t i = 0; i < lines.size(); ++i) {
      auto back = RowToLine(*t.table, idx, static_cast<int>(i) + 1);
      EXPECT_TRUE(back->SameFields(lines[i])) << i << " reversed " << reversed;
    }
    EXPECT_TRUE(t.table->IsMarkerRow(1));
    EXPECT_FALSE(t.table->IsMarkerRow(2));
  }
}

}  // namespace
}  // namespace dz
