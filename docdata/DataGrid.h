#pragma once
// The stored position table of a document without any display (TDataGrid): the column
// set, and rows of cell texts, each with a long text and a second-level data text.
//
// Row 0 is the title row; data rows are 1 .. RowCount()-1. Column 0 is the row-kind
// column. A new table has the default column set of 16 columns and 2 rows.
//
// Failures: LoadColumns raises dz::Exception with the stream reader's message (the
// columns stay as they were); LoadRows reports failure by returning false (the rows read
// so far stay). LoadStoredTable reports the state of the binary columns as a value.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "docdata/Column.h"

namespace dz {

// One data row while the rows text is read, before (or instead of) being stored: Cell as
// the table would answer it for that row. Valid only while the visitor runs.
class TDataGridRowView {
 public:
  std::string_view Cell(int col) const;
  std::string_view LongText() const { return longText_; }

 private:
  friend class DatasReader;
  const std::vector<std::string_view>* cells_ = nullptr;
  std::string_view longText_;
};

class TDataGrid {
 public:
  // Rows are read in pieces of this many bytes; lines may span pieces.
  static constexpr size_t kReadPieceSize = 65536;
  // More data rows than this and the rows text is taken for damaged: every row costs
  // memory far beyond the few bytes a line of text needs.
  static constexpr int kMaxDataRows = 1 << 21;

  TDataGrid();
  TDataGrid(const TDataGrid&) = delete;
  TDataGrid& operator=(const TDataGrid&) = delete;

  // The default column set, 2 empty rows, FullColumnsStreaming false, long text enabled.
  void SetDefaultLayout();

  TDataGridColumns& Columns() { return columns_; }
  const TDataGridColumns& Columns() const { return columns_; }
  int ColCount() const { return static_cast<int>(columns_.Count()); }
  int RowCount() const { return static_cast<int>(rows_.size()); }
  void SetRowCount(int count);

  bool FullColumnsStreaming = false;
  bool LongTextEnabled = true;

  // Column definitions from an inflated "ColumnsFormat" stream: with FullColumnsStreaming
  // the stream's columns replace the set; otherwise they are merged into it.
  void LoadColumns(std::string_view inflated);
  // Rows from inflated "Datas" text, fed in pieces of `pieceSize` bytes. False when the
  // text cannot be read whole (more than kMaxDataRows rows among it); out of memory
  // raises std::bad_alloc.
  bool LoadRows(std::string_view inflated, size_t pieceSize = kReadPieceSize);
  // Reads the rows text as LoadRows does but hands every data row to `visit`, in order,
  // and keeps none of them: for taking the rows over without storing them twice.
  using RowVisitor = std::function<void(const TDataGridRowView&)>;
  bool VisitRows(std::string_view inflated, const RowVisitor& visit,
                 size_t pieceSize = kReadPieceSize);

  // Column -1 reads as empty text, column -2 as the row's long text; anything out of
  // range reads as empty. The view lives until the row changes.
  std::string_view Cell(int col, int row) const;
  void SetCell(int col, int row, std::string_view text);
  std::string_view LongText(int row) const;
  // Line breaks (CR LF, CR or LF) become CR LF; a final line break is dropped.
  void SetLongText(int row, std::string_view text);
  std::string_view SecondLevelData(int row) const;

  // First column whose FieldName equals `fieldName` under Windows-1252 casing, or -1.
  int FindColumn(std::string_view fieldName) const;
  // The row's kind: the first character of its column-0 text, or empty.
  std::string RowKind(int row) const;
  // Kind "a", "t", "-" or 0x81; never true for a negative row.
  bool IsMarkerRow(int row) const;

 private:
  friend class DatasReader;
  // One allocation holds all cells of a row: a count n, the n end offsets of the cell
  // texts (uint32, little or big endian as the machine has it), then the texts back to
  // back. Cells from n on are empty.
  struct Row {
    std::string cells;
    std::string longText;
    std::string l2;
  };
  static void SetRowCells(Row& row, const std::vector<std::string>& cells, size_t count);
  bool ReadRows(std::string_view inflated, const RowVisitor* visit, size_t pieceSize);
  const Row* RowAt(int row) const;
  Row& MutableRow(int row);
  void MergeColumns(TDataGridColumns& read);

  TDataGridColumns columns_;
  std::vector<Row> rows_;
};

// The long-text rule on its own (see SetLongText).
std::string NormalizeLongText(std::string_view text);
// The same into `out`, which is replaced.
void NormalizeLongTextInto(std::string& out, std::string_view text);

enum class StoredTableStatus {
  Loaded,   // `table` holds the positions
  Empty,    // a binary column is empty: the document has no positions
  Damaged,  // a binary column is not a complete zlib stream: positions may be lost
};

struct StoredTable {
  StoredTableStatus status = StoredTableStatus::Empty;
  std::unique_ptr<TDataGrid> table;  // set only when Loaded
  bool rowsComplete = true;          // false when reading the rows failed part-way
  std::string damagedColumn;         // "ColumnsFormat" or "Datas" when Damaged
};

// Inflates and loads both binary columns of a stored document into a fresh table with the
// default layout. A column stream that cannot be read raises its reader's error.
StoredTable LoadStoredTable(std::string_view columnsFormat, std::string_view datas);

}  // namespace dz
