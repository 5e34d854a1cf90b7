#pragma once
// The position grid (TViewDataGrid): one read-only table that shows the four views of a
// reconciliation run one below the other, with its own multi-row selection (mouse, Ctrl,
// rubber band, keyboard, wheel), hints, the info line text of a row and the red bracket
// that ties a row to the equal position in a later section.
//
// Rows and columns. Row numbers are grid rows: row 0 is the title row (shown by the
// horizontal header), rows 1 .. RowCount() - 1 are data rows. Columns are addressed by
// index or by field name (CreateColumns makes the ten standard ones, see the Col* indices).
// Cell texts are Windows-1252.
//
// Lines and storages. Fill() takes the four storages of a run. Each line row keeps, as text
// in its hidden LINK and RANGE cells, the decimal number of an entry in a table of the
// entries and storages of the current content; LineOfRow / StorageOfRow decode them. The
// returned pointers belong to the storages: they stay valid while those storages live and
// until the next Clear(). The window must therefore Clear() the grid before it frees the
// storages of a former run, and keep the storages alive while they are shown.
//
// Selection. The grid keeps its own selection (not Qt's selection model): a list of row
// numbers, each at most once, in the order in which they were selected. Selected rows are
// painted on RGB(255,225,121). SelectedRows() gives them in row order, SelectionOrder() in
// the order of selecting.
//
// Failures: invalid rows, columns or reference texts read as "none" (empty text, nullptr,
// -1); writes outside the grid are ignored. Nothing here throws.
//
// Usage by the main window:
//   grid = new TViewDataGrid(panel);
//   grid->CreateColumns(panel->width());  grid->Scale(1.2);  grid->FitColumns();
//   connect(grid, &TViewDataGrid::Click, ...) -> info label := grid->HandleRowClick();
//   on a finished load: grid->Clear(); free old storages; sections = grid->Fill(...);
//   copy: CopySelectedLines(grid->LinesOfRows(grid->SelectedRows()), ...)
//   send: SendSelection(grid->LinesOfRows(grid->SelectionOrder()), grid->CurrentLine())
//   menu jumps: grid->SetCurrentCell(grid->CurrentCol(), sections.Source) etc.

#include <QTableView>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ui/ImageList.h"
#include "ui/Rubber.h"

namespace dz {

class TDataGridLine;
class TGridModel;
class TLineStorage;
struct LineEntry;

// Grid row numbers of the four section rows of a filling.
struct TGridSections {
  int Missing = 0;
  int Source = 0;
  int Merged = 0;
  int Invoiced = 0;
};

class TViewDataGrid : public QTableView {
  Q_OBJECT

 public:
  // Indices of the standard columns made by CreateColumns.
  enum : int {
    ColMarks,        // "TColumn-1": row marks, internal
    ColImage,        // "Image": image index as text
    ColPosition,     // "Position"
    ColDescription,  // "Description1"
    ColPartNo,       // "PartNo"
    ColQuantity,     // "Quantity"
    ColUnit,         // "Unit"
    ColInfo,         // "INFO": document numbers, section name or sum
    ColLink,         // "LINK": hidden reference to the row's line
    ColRange,        // "RANGE": hidden reference to the row's storage
    StandardColumnCount
  };

  // Row-mark positions in the column-0 text (1-based).
  static constexpr int MarkKind = 1;  // 0x81: section or sum row (navy bracket, bold blue)
  static constexpr int MarkRule = 3;  // 'p' red rule (section row), 'g' green rule (sum row)

  // The image indices used by the grid.
  static constexpr int ImageSource = 1;   // rows of the offer/confirmation, "Alles berechnet"
  static constexpr int ImageMissing = 2;  // rows not yet invoiced
  static constexpr int ImageSum = 8;      // sum rows
  static constexpr int ImageAllDone = 9;  // beside "Alles berechnet"

  // Text of a hint for a cell; (-1, -1) when the pointer is over no cell.
  using HintProvider = std::function<std::string(int col, int row)>;

  // An empty grid with no columns and one empty data row. It draws with its own copy of
  // the grid pictures until SetImages is called.
  explicit TViewDataGrid(QWidget* parent = nullptr);
  ~TViewDataGrid() override;

  // The cell store (for QAbstractItemModelTester and for reading); owned by the grid.
  TGridModel* Model() const { return FModel; }

  // --- Columns ---------------------------------------------------------------------
  // Appends a column; `width` in pixels, -1 hides it. Returns its index.
  int AddColumn(const std::string& fieldName, const std::string& title, int width);
  // The ten standard columns, their widths fractions of `panelWidth`, the titles of the
  // first five in "Tahoma" 9 pt.
  void CreateColumns(int panelWidth);
  int ColumnCount() const;
  // Upper-cased Windows-1252 comparison of field names; -1 when there is none.
  int ColumnIndex(std::string_view fieldName) const;
  void SetTitleFont(int col, const QFont& font);
  // Font sizes for the screen, wider mark column and row height from the cell font
  // (the window calls it once with 1.2 after creating the columns), then FitColumns.
  void Scale(double factor);
  // Spreads the columns over the visible width: the mark and image columns keep their
  // widths, the others share the rest in proportion to their set widths. Runs on every
  // resize of the grid.
  void FitColumns();
  // The pictures drawn in the image column; not owned, must outlive the grid. nullptr
  // returns to the grid's own copy.
  void SetImages(const TImageList* images);
  const TImageList& Images() const { return *FImages; }

  // --- Cells -----------------------------------------------------------------------
  int RowCount() const;
  const std::string& Cell(int col, int row) const;
  void SetCell(int col, int row, std::string text);
  // Pads the column-0 text with blanks to `position` characters and puts `mark` there.
  void SetMark(int row, int position, char mark);

  // --- Current cell ----------------------------------------------------------------
  int CurrentRow() const;
  int CurrentCol() const;
  // Makes (col, row) current and scrolls it into view; false (nothing changes) when the
  // cell is outside the data rows or columns. Emits no Click.
  bool SetCurrentCell(int col, int row);

  // --- Content ---------------------------------------------------------------------
  // Back to the title row plus one empty row; empties the selection and the reference
  // tables. The range marker stays until the next click replaces it.
  void Clear();
  // Adds the four sections of a run (Missing, Source, Merged, Invoiced, in this order) to
  // a cleared grid: a section row each, a row per entry, sum rows after Source and Invoiced,
  // and "Alles berechnet" when Missing is empty. Returns the four section rows. The
  // storages must outlive the content (see above).
  TGridSections Fill(TLineStorage& missing, TLineStorage& source, TLineStorage& merged,
                     TLineStorage& invoiced);

  // --- References ------------------------------------------------------------------
  // The storage entry, line or storage a row shows; nullptr for rows without (section,
  // sum, "Alles berechnet" rows, rows outside the grid, unknown reference texts).
  LineEntry* EntryOfRow(int row) const;
  TDataGridLine* LineOfRow(int row) const;
  TLineStorage* StorageOfRow(int row) const;
  TDataGridLine* CurrentLine() const { return LineOfRow(CurrentRow()); }

  // --- Selection -------------------------------------------------------------------
  bool IsSelected(int row) const;
  // Adds a data row (ignored when already selected or outside the data rows).
  void AddToSelection(int row);
  void RemoveFromSelection(int row);
  void ToggleSelection(int row);
  // Empties the selection and repaints.
  void ClearSelection();
  // The selected rows in ascending row order.
  std::vector<int> SelectedRows() const;
  // The selected rows in the order in which they were selected.
  const std::vector<int>& SelectionOrder() const { return FSelOrder; }
  // The lines of the selected rows in row order; rows without a line are left out. The
  // lines belong to the storages (see above).
  std::vector<TDataGridLine*> SelectedLines() const;
  // The line of each of `rows`, in that order, nullptr for a row without one; e.g.
  // LinesOfRows(SelectionOrder()) for sending, LinesOfRows(SelectedRows()) for copying.
  std::vector<TDataGridLine*> LinesOfRows(const std::vector<int>& rows) const;

  // --- Range marker ----------------------------------------------------------------
  // Red bracket in column 0 from row `start` down to row `end`; (0, 0) removes it.
  // Repaints only when either changed.
  void SetRangeMarker(int start, int end);
  int RangeStart() const { return FRangeStart; }
  int RangeEnd() const { return FRangeEnd; }
  // Ties `row` to the first row below it, in another storage, whose line equals the row's
  // line (TLineStorage::FindMatch); (0, 0) when there is none or the row has no line.
  void MarkMatchingRow(int row);

  // --- Click, info line, hints -----------------------------------------------------
  // The info line for a row: " " + Bezeichnung + " " + Artikelnummer + " " + Menge +
  // " | Auftrag:" + INFO, or empty for rows 0 and 1. Plain Windows-1252 text: escape it
  // before it goes into an HTML label.
  std::string InfoLineText(int row) const;
  // What a click on the grid does: the range marker for the current row, and its info
  // line text (returned for the window's label).
  std::string HandleRowClick();

  // The standard hint: the cell text for rows 1 and up and columns 2 and up inside the
  // grid; empty otherwise (so marks and images never show one).
  std::string DefaultHint(int col, int row) const;
  // Replaces the hint provider; an empty function returns to DefaultHint.
  void SetHintProvider(HintProvider provider);
  // The hint of the cell under the pointer at the last mouse move.
  const std::string& Hint() const { return FHint; }

  // The cell at a viewport point, false when there is none.
  bool CellAt(QPoint viewportPos, int& col, int& row) const;

  // The rubber band (for looking at its state).
  const TRubber& Rubber() const { return *FRubber; }

  // Letters never search the grid.
  void keyboardSearch(const QString&) override {}

 signals:
  // The user clicked the grid (left button released after a press on it) or moved the
  // current cell by key or wheel. The window answers with HandleRowClick().
  void Click();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  bool viewportEvent(QEvent* event) override;
  bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;

 private:
  class CellDelegate;
  friend class CellDelegate;

  struct Roles {  // indices of the columns the grid itself reads or writes, -1 if absent
    int Marks = -1, Image = -1, Position = -1, Description = -1, PartNo = -1, Quantity = -1,
        Unit = -1, Info = -1, Link = -1, Range = -1;
  };

  template <typename T>
  T* Resolve(const std::vector<T*>& table, int col, int row) const;
  void UpdateRoles();
  void ApplyColumnWidth(int col);
  void PressAt(QMouseEvent* event);
  void SelectRowsHit(const TEdgeRect& rect);
  void RemoveSelectedIf(const std::function<bool(int)>& drop);
  int AddSection(TLineStorage& storage, const char* image, const char* info,
                 const char* description, bool sumRow);
  void PaintCell(QPainter& painter, const QRect& rect, int col, int row) const;
  void PaintRangeMarker(QPainter& painter, const QRect& area) const;
  void MoveCurrentRow(int row);

  TGridModel* FModel;
  CellDelegate* FDelegate;
  std::unique_ptr<TRubber> FRubber;
  TImageList FOwnImages;
  const TImageList* FImages;
  Roles FRoles;

  std::vector<int> FSelOrder;
  std::vector<uint8_t> FSelFlags;  // by row

  std::vector<LineEntry*> FLinks;      // LINK numbers
  std::vector<TLineStorage*> FRanges;  // RANGE numbers

  int FRangeStart = 0;
  int FRangeEnd = 0;

  HintProvider FHintProvider;
  std::string FHint;
  int FWheelRest = 0;
  bool FPressed = false;
};

}  // namespace dz
