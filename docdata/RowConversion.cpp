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

void FillLineFromRow(const TDataGrid& grid, const TColumnIndexRecord& index, int row,
                     TDataGridLine& line) {
  auto cell = [&](int slot) { return grid.Cell(index.Slot[slot], row); };
  line.Stueck = cell(1);
  line.Einheit = cell(2);
  line.Bezeichnung1 = cell(3);
  line.Bezeichnung2 = cell(4);
  line.BestellNummer = cell(5);
  line.Seriennummer = cell(6);
  line.Artikelnummer = cell(7);
  line.Einzelbetrag = cell(8);
  line.Steuer = cell(9);
  line.SummeBetrag = cell(10);
  line.intern = cell(11);
  line.ID_Artikel = cell(12);
  line.Rabatt = cell(15);
  line.User = cell(13);
  line.Pos = cell(14);
  line.Second = grid.Cell(-2, row);
  line.L2 = grid.SecondLevelData(row);
  line.TypeLine = grid.Cell(0, row);
}

std::unique_ptr<TDataGridLine> RowToLine(const TDataGrid& grid, const TColumnIndexRecord& index,
                                         int row) {
  auto line = std::make_unique<TDataGridLine>();
  FillLineFromRow(grid, index, row, *line);
  return line;
}

}  // namespace dz
