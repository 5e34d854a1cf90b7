#pragma once
// Turning rows of a loaded position table into position lines.
//
// The column index record names, for each field a line takes from a row, the table column
// that holds it; it is computed once per table and then used for every row.

#include <array>
#include <memory>

#include "docdata/DataGrid.h"
#include "docdata/DataGridLine.h"

namespace dz {

// Slot 0 is always -2 (the long text); slots 1-15 hold the columns "Stueck", "Einheit",
// "Bezeichnung1", "Bezeichnung2", "BestellNummer", "Seriennummer", "Artikelnummer",
// "Einzelbetrag", "Steuer", "SummeBetrag", "intern", "ID_Artikel", "benutzer", "Pos.",
// "Rabatt", found without regard to letter case (first match wins), or -1.
struct TColumnIndexRecord {
  std::array<int, 16> Slot{};
};

TColumnIndexRecord MakeColumnIndex(const TDataGrid& grid);

// Fills `line` from table row `row` (the line's other fields are left as they are).
void FillLineFromRow(const TDataGrid& grid, const TColumnIndexRecord& index, int row,
                     TDataGridLine& line);
// The same from a row while it is read (TDataGrid::VisitRows).
void FillLineFromRowView(const TDataGridRowView& row, const TColumnIndexRecord& index,
                         TDataGridLine& line);
// A new line from table row `row`; the caller owns it.
std::unique_ptr<TDataGridLine> RowToLine(const TDataGrid& grid, const TColumnIndexRecord& index,
                                         int row);

}  // namespace dz
