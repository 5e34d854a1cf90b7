#pragma once
// The cell store behind the position grid (TGridModel): a string grid with named columns,
// exposed to Qt's views as a table model.
//
// Row numbers in the public functions of this class are grid rows: row 0 is the title row
// (the column titles, shown by the view's header), rows 1 and up are data rows, which the
// item model presents as its rows 0 and up. So RowCount() is the item model's rowCount() + 1.
//
// Cell texts are Windows-1252; they turn into QString only when a view asks for a visible
// cell, so a large fill costs no more than building the strings. Out-of-range cell reads
// give empty text and out-of-range writes are ignored; nothing here throws.

#include <QAbstractTableModel>
#include <QColor>
#include <QFont>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace dz {

class TGridModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // A column's set-up. Width is the nominal width in pixels (without the grid line);
  // -1 hides the column.
  struct Column {
    std::string FieldName;
    std::string Title;
    int Width = 64;
    QFont TitleFont;
    QFont Font;
  };

  explicit TGridModel(QObject* parent = nullptr);

  // Columns.
  int ColumnCount() const { return static_cast<int>(FColumns.size()); }
  // Appends a column (existing rows get an empty cell) and returns its index.
  int AddColumn(const Column& column);
  const Column& ColumnAt(int col) const { return FColumns[static_cast<size_t>(col)]; }
  // Changes fonts, title or width; views hear of it through headerDataChanged.
  Column& MutableColumn(int col) { return FColumns[static_cast<size_t>(col)]; }
  void ColumnChanged(int col);
  // The index of the column with this field name, compared upper-cased in Windows-1252;
  // -1 when no column has it.
  int ColumnIndex(std::string_view fieldName) const;

  // Rows, counting the title row.
  int RowCount() const { return FRows + 1; }
  // Keeps the title row and `dataRows` empty data rows (at least one).
  void ResetRows(int dataRows);
  // Appends `count` empty rows; `fill`, if given, writes each new row's cells (an array of
  // ColumnCount() texts) before the views hear of the rows, once for the whole block.
  // Returns the grid row number of the first new row.
  int AppendRows(int count, const std::function<void(int row, std::string* cells)>& fill = {});
  void Reserve(int dataRows);

  // Cell texts; row 0 reads and writes the column titles.
  const std::string& Cell(int col, int row) const;
  void SetCell(int col, int row, std::string text);
  // Direct access to a data row's cells (ColumnCount() texts), or nullptr outside 1..last.
  const std::string* RowCells(int row) const;

  // QAbstractItemModel
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  std::vector<Column> FColumns;
  std::vector<std::string> FCells;  // data rows, row-major, ColumnCount() per row
  int FRows = 1;                    // data rows
};

// Text of a 0x81-marked row (section, sum) is drawn bold in this colour.
inline constexpr QRgb kMarkedRowText = 0xff0000ff;
// Whether a row-mark text marks a section or sum row (first character 0x81).
inline bool IsMarkedRow(std::string_view marks) {
  return !marks.empty() && static_cast<unsigned char>(marks[0]) == 0x81;
}

}  // namespace dz
