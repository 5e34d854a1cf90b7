#include "docdata/RowConversion.h"

namespace dz {

namespace {
constexpr const char* kSlotFields[16] = {
    nullptr,        "Stueck",        "Einheit",      "Bezeichnung1",
    "Bezeichnung2", "BestellNummer", "Seriennummer", "Artikelnummer",
    "Einzelbetrag", "Steuer",        "SummeBetrag",  "intern",
    "ID_Artikel",   "benutzer",      "Pos.",         "Rabatt",
};
}  // namespace

TColumnIndexRecord MakeColumnIndex(const TDataGrid& grid) {
  TColumnIndexRecord r;
  r.Slot[0] = -2;
  for (int i = 1; i < 16; ++i) r.Slot[i] = grid.FindColumn(kSlotFields[i]);
  return r;
}

namespace {

// `cell(column)` reads a cell of the row as the table's cell read does.
template <class CellOf>
void FillLine(CellOf&& cell, const TColumnIndexRecord& index, std::string_view l2,
              TDataGridLine& line) {
  auto slot = [&](int s) { return cell(index.Slot[s]); };
  line.Stueck = slot(1);
  line.Einheit = slot(2);
  line.Bezeichnung1 = slot(3);
  line.Bezeichnung2 = slot(4);
  line.BestellNummer = slot(5);
  line.Seriennummer = slot(6);
  line.Artikelnummer = slot(7);
  line.Einzelbetrag = slot(8);
  line.Steuer = slot(9);
  line.SummeBetrag = slot(10);
  line.intern = slot(11);
  line.ID_Artikel = slot(12);
  line.Rabatt = slot(15);
  line.User = slot(13);
  line.Pos = slot(14);
  line.Second = cell(-2);
  line.L2 = l2;
  line.TypeLine = cell(0);
}

}  // namespace

void FillLineFromRow(const TDataGrid& grid, const TColumnIndexRecord& index, int row,
                     TDataGridLine& line) {
  FillLine([&](int col) { return grid.Cell(col, row); }, index, grid.SecondLevelData(row), line);
}

void FillLineFromRowView(const TDataGridRowView& row, const TColumnIndexRecord& index,
                         TDataGridLine& line) {
  // Rows being read carry no second-level data.
  FillLine([&](int col) { return row.Cell(col); }, index, {}, line);
}

std::unique_ptr<TDataGridLine> RowToLine(const TDataGrid& grid, const TColumnIndexRecord& index,
                                         int row) {
  auto line = std::make_unique<TDataGridLine>();
  FillLineFromRow(grid, index, row, *line);
  return line;
}

}  // namespace dz
