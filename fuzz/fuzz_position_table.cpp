// Loading a stored position table from any bytes.
//
// Input: one mode byte, a 16-bit little-endian length L, L bytes of "ColumnsFormat", the
// rest "Datas". Odd modes treat both as the compressed binary columns; even modes as their
// inflated content, read with a piece size taken from the mode, which must give the same
// rows as reading in one piece.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "docdata/DataGrid.h"
#include "docdata/Exception.h"
#include "docdata/PackedLine.h"
#include "docdata/RowConversion.h"

namespace {

void UseTable(const dz::TDataGrid& g) {
  const dz::TColumnIndexRecord idx = dz::MakeColumnIndex(g);
  for (int r = 0; r < g.RowCount(); ++r) {
    auto line = dz::RowToLine(g, idx, r);
    dz::NormalizeLineNumbers(*line);
    (void)g.IsMarkerRow(r);
  }
}

// Rows taken over while they are read give the lines the stored table gives.
bool SameLinesWhenVisited(dz::TDataGrid& g, std::string_view datas, size_t piece) {
  const dz::TColumnIndexRecord idx = dz::MakeColumnIndex(g);
  std::vector<dz::TDataGridLine> visited;
  dz::LineArena arena;
  bool packedSame = true;  // and packing a row gives the line, numbers normalised
  const bool ok = g.VisitRows(
      datas,
      [&](const dz::TDataGridRowView& row) {
        dz::TDataGridLine& line = visited.emplace_back();
        dz::FillLineFromRowView(row, idx, line);
        dz::TDataGridLine normalised = line, packed;
        dz::NormalizeLineNumbers(normalised);
        dz::PackRowView(row, idx, arena)->UnpackInto(packed);
        packedSame = packedSame && packed.SameFields(normalised);
      },
      piece);
  if (!ok) return true;  // nothing to compare: too many rows
  if (!packedSame) return false;
  if (static_cast<int>(visited.size()) != g.RowCount() - 1) return false;
  for (size_t r = 0; r < visited.size(); ++r)
    if (!visited[r].SameFields(*dz::RowToLine(g, idx, static_cast<int>(r) + 1))) return false;
  return true;
}

bool SameRows(const dz::TDataGrid& a, const dz::TDataGrid& b) {
  if (a.RowCount() != b.RowCount() || a.ColCount() != b.ColCount()) return false;
  for (int r = 0; r < a.RowCount(); ++r)
    for (int c = -2; c < a.ColCount(); ++c)
      if (a.Cell(c, r) != b.Cell(c, r)) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const uint8_t mode = data[0];
  size_t len = data[1] | (data[2] << 8);
  std::string_view rest(reinterpret_cast<const char*>(data) + 3, size - 3);
  if (len > rest.size()) len = rest.size();
  std::string_view columns = rest.substr(0, len), datas = rest.substr(len);
  try {
    if (mode & 1) {
      dz::StoredTable t = dz::LoadStoredTable(columns, datas);
      if ((t.status == dz::StoredTableStatus::Loaded) != (t.table != nullptr)) __builtin_trap();
      if (t.table) UseTable(*t.table);
      return 0;
    }
    dz::TDataGrid whole, pieces;
    whole.FullColumnsStreaming = pieces.FullColumnsStreaming = (mode & 2) != 0;
    try {
      whole.LoadColumns(columns);
      pieces.LoadColumns(columns);
    } catch (const dz::Exception&) {
    }
    const size_t piece = 1 + (mode >> 2);
    whole.LoadRows(datas, datas.size() + 1);
    pieces.LoadRows(datas, piece);
    if (!SameRows(whole, pieces)) __builtin_trap();
    if (!SameLinesWhenVisited(whole, datas, piece)) __builtin_trap();
    UseTable(whole);
  } catch (const dz::Exception&) {
  }
  return 0;
}
