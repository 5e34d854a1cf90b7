#include "ui/ViewDataGrid.h"

#include <QAbstractItemDelegate>
#include <QApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <QWheelEvent>
#include <algorithm>
#include <charconv>
#include <cmath>

#include "docdata/Cp1252.h"
#include "docdata/NumberFormat.h"
#include "engine/LineStorage.h"
#include "ui/GridModel.h"

namespace dz {

namespace {

constexpr QRgb kSelectedBackground = 0xffffe179;  // RGB(255,225,121)
constexpr QRgb kBracketColour = 0xff000080;       // navy
constexpr QRgb kSectionRule = 0xffff0000;         // 'p'
constexpr QRgb kSumRule = 0xff008000;             // 'g'
constexpr QRgb kRangeMarker = 0xffff0000;
constexpr int kMarkInset = 3;     // the row-mark cell's bracket sits inside this margin
constexpr int kGridLine = 1;      // Qt counts the grid line into widths and heights
constexpr int kMinFitWidth = 8;   // no fitted column gets narrower
constexpr int kWheelNotch = 120;  // one wheel step in eighths of a degree
const char kAllDone[] = "Alles berechnet";

QString ToQString(std::string_view text) {
  return QString::fromStdU16String(Cp1252ToUtf16(text));
}

// A whole-text decimal integer; false for empty text, signs aside from '-', or trailing
// characters.
bool ParseInt(std::string_view text, int& out) {
  if (text.empty()) return false;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, out);
  return ec == std::errc() && ptr == end;
}

std::string IntText(size_t value) {
  char buf[24];
  auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, value);
  (void)ec;
  return std::string(buf, ptr);
}

void SetMarkText(std::string& marks, int position, char mark) {
  if (position < 1) return;
  if (marks.size() < static_cast<size_t>(position))
    marks.resize(static_cast<size_t>(position), ' ');
  marks[static_cast<size_t>(position - 1)] = mark;
}

char MarkAt(const std::string& marks, int position) {
  return marks.size() >= static_cast<size_t>(position) ? marks[static_cast<size_t>(position - 1)]
                                                       : ' ';
}

}  // namespace

// Every cell is drawn by the grid itself: it knows the selection, the row marks and the
// pictures, which the item model does not.
class TViewDataGrid::CellDelegate : public QAbstractItemDelegate {
 public:
  explicit CellDelegate(TViewDataGrid* grid) : QAbstractItemDelegate(grid), FGrid(grid) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    FGrid->PaintCell(*painter, option.rect, index.column(), index.row() + 1);
  }

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    return QSize(FGrid->columnWidth(index.column()), FGrid->verticalHeader()->defaultSectionSize());
  }

 private:
  TViewDataGrid* FGrid;
};

TViewDataGrid::TViewDataGrid(QWidget* parent)
    : QTableView(parent),
      FModel(new TGridModel(this)),
      FDelegate(new CellDelegate(this)),
      FOwnImages(GridImageList()),
      FImages(&FOwnImages) {
  FRubber = std::make_unique<TRubber>([this] { ClearSelection(); },
                                      [this](const TEdgeRect& rect) { SelectRowsHit(rect); });
  setModel(FModel);
  setItemDelegate(FDelegate);
  // The grid keeps its own selection; Qt's would only fight it.
  setSelectionMode(QAbstractItemView::NoSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setTabKeyNavigation(false);
  setFocusPolicy(Qt::StrongFocus);
  setFrameShape(QFrame::NoFrame);
  setWordWrap(false);
  setCornerButtonEnabled(false);
  viewport()->setMouseTracking(true);

  QHeaderView* rows = verticalHeader();
  rows->hide();
  rows->setSectionResizeMode(QHeaderView::Fixed);
  rows->setMinimumSectionSize(1);
  QHeaderView* titles = horizontalHeader();
  titles->setSectionResizeMode(QHeaderView::Fixed);
  titles->setSectionsMovable(false);
  titles->setSectionsClickable(false);
  titles->setHighlightSections(false);
  titles->setMinimumSectionSize(1);
  titles->setStretchLastSection(false);
  titles->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

TViewDataGrid::~TViewDataGrid() = default;

// --- Columns ------------------------------------------------------------------------

int TViewDataGrid::AddColumn(const std::string& fieldName, const std::string& title, int width) {
  TGridModel::Column column;
  column.FieldName = fieldName;
  column.Title = title;
  column.Width = width < 0 ? -1 : width;
  column.TitleFont = horizontalHeader()->font();
  column.Font = font();
  const int col = FModel->AddColumn(column);
  ApplyColumnWidth(col);
  UpdateRoles();
  if (!currentIndex().isValid()) SetCurrentCell(0, 1);
  return col;
}

void TViewDataGrid::CreateColumns(int panelWidth) {
  struct Def {
    const char* Field;
    const char* Title;
    int Width;
  };
  const Def defs[] = {
      {"TColumn-1", "", 10},
      {"Image", " ", FImages->Width()},
      {"Position", "Position", panelWidth / 8},
      {"Description1", "Bezeichnung", panelWidth / 2},
      {"PartNo", "Artikelnummer", panelWidth / 5},
      {"Quantity", "Menge", panelWidth / 7},
      {"Unit", "Einheit", panelWidth / 8},
      {"INFO", "Auftrag", panelWidth / 5},
      {"LINK", "", -1},
      {"RANGE", "", -1},
  };
  QFont tahoma(QStringLiteral("Tahoma"));
  tahoma.setPointSize(9);
  tahoma.setBold(false);
  tahoma.setItalic(false);
  int index = 0;
  for (const Def& def : defs) {
    const int col = AddColumn(def.Field, def.Title, def.Width);
    if (index++ < 5) SetTitleFont(col, tahoma);
  }
}

int TViewDataGrid::ColumnCount() const {
  return FModel->ColumnCount();
}

int TViewDataGrid::ColumnIndex(std::string_view fieldName) const {
  return FModel->ColumnIndex(fieldName);
}

void TViewDataGrid::SetTitleFont(int col, const QFont& font) {
  if (col < 0 || col >= ColumnCount()) return;
  FModel->MutableColumn(col).TitleFont = font;
  FModel->ColumnChanged(col);
}

void TViewDataGrid::UpdateRoles() {
  FRoles.Marks = ColumnCount() > 0 ? 0 : -1;
  FRoles.Image = ColumnIndex("Image");
  FRoles.Position = ColumnIndex("Position");
  FRoles.Description = ColumnIndex("Description1");
  FRoles.PartNo = ColumnIndex("PartNo");
  FRoles.Quantity = ColumnIndex("Quantity");
  FRoles.Unit = ColumnIndex("Unit");
  FRoles.Info = ColumnIndex("INFO");
  FRoles.Link = ColumnIndex("LINK");
  FRoles.Range = ColumnIndex("RANGE");
}

void TViewDataGrid::ApplyColumnWidth(int col) {
  const int width = FModel->ColumnAt(col).Width;
  if (width < 0) {
    setColumnHidden(col, true);
    return;
  }
  setColumnHidden(col, false);
  setColumnWidth(col, width + kGridLine);
}

void TViewDataGrid::Scale(double factor) {
  const double perInch = logicalDpiY() > 0 ? logicalDpiY() : 96;
  const auto base = [&](int a) {
    return std::max(a, static_cast<int>(std::floor(a / (perInch / 96.0))));
  };
  const auto size = [&](int a) {
    return std::max(a, static_cast<int>(std::floor(factor * base(a))));
  };
  const int points = size(8);
  for (int c = 0; c < ColumnCount(); ++c) {
    TGridModel::Column& column = FModel->MutableColumn(c);
    column.TitleFont.setPointSize(points);
    column.Font.setPointSize(points);
    FModel->ColumnChanged(c);
  }
  if (ColumnCount() > 0) {
    TGridModel::Column& first = FModel->MutableColumn(0);
    if (first.Width >= 0) first.Width = static_cast<int>(std::floor(factor * first.Width));
    ApplyColumnWidth(0);
    const int textHeight = QFontMetrics(first.Font).height();
    verticalHeader()->setDefaultSectionSize(static_cast<int>(std::ceil(1.4 * textHeight)) +
                                            kGridLine);
  }
  FitColumns();
  viewport()->update();
}

void TViewDataGrid::FitColumns() {
  const int cols = ColumnCount();
  if (cols == 0) return;
  int fixed = 0;
  long weight = 0;
  std::vector<int> flexible;
  for (int c = 0; c < cols; ++c) {
    const int width = FModel->ColumnAt(c).Width;
    if (width < 0) continue;
    if (c == FRoles.Marks || c == FRoles.Image) {
      fixed += width + kGridLine;
      ApplyColumnWidth(c);
    } else {
      flexible.push_back(c);
      weight += width + kGridLine;
    }
  }
  if (flexible.empty() || weight <= 0) return;
  const int rest = std::max(0, viewport()->width() - fixed);
  int used = 0;
  for (size_t i = 0; i < flexible.size(); ++i) {
    const int c = flexible[i];
    int width = i + 1 == flexible.size()
                    ? rest - used
                    : static_cast<int>(static_cast<long>(FModel->ColumnAt(c).Width + kGridLine) *
                                       rest / weight);
    width = std::max(width, kMinFitWidth);
    used += width;
    setColumnWidth(c, width);
  }
}

void TViewDataGrid::SetImages(const TImageList* images) {
  FImages = images ? images : &FOwnImages;
  viewport()->update();
}

// --- Cells --------------------------------------------------------------------------

int TViewDataGrid::RowCount() const {
  return FModel->RowCount();
}

const std::string& TViewDataGrid::Cell(int col, int row) const {
  return FModel->Cell(col, row);
}

void TViewDataGrid::SetCell(int col, int row, std::string text) {
  FModel->SetCell(col, row, std::move(text));
}

void TViewDataGrid::SetMark(int row, int position, char mark) {
  if (FRoles.Marks < 0 || row < 1 || row >= RowCount()) return;
  std::string marks = Cell(FRoles.Marks, row);
  SetMarkText(marks, position, mark);
  SetCell(FRoles.Marks, row, std::move(marks));
}

// --- Current cell -------------------------------------------------------------------

int TViewDataGrid::CurrentRow() const {
  const QModelIndex current = currentIndex();
  return current.isValid() ? current.row() + 1 : 0;
}

int TViewDataGrid::CurrentCol() const {
  const QModelIndex current = currentIndex();
  return current.isValid() ? current.column() : 0;
}

bool TViewDataGrid::SetCurrentCell(int col, int row) {
  if (row < 1 || row >= RowCount() || col < 0 || col >= ColumnCount()) return false;
  const QModelIndex index = FModel->index(row - 1, col);
  selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
  scrollTo(index);
  return true;
}

void TViewDataGrid::MoveCurrentRow(int row) {
  SetCurrentCell(CurrentCol(), row);
}

// --- Content ------------------------------------------------------------------------

void TViewDataGrid::Clear() {
  const int col = CurrentCol();
  FSelOrder.clear();
  FSelFlags.clear();
  FLinks.clear();
  FRanges.clear();
  // The rows a marker joined are gone; left standing it would point at whatever
  // the next fill puts there.
  FRangeStart = FRangeEnd = 0;
  FModel->ResetRows(1);
  SetCurrentCell(col, 1);
  viewport()->update();
}

TGridSections TViewDataGrid::Fill(TLineStorage& missing, TLineStorage& source, TLineStorage& merged,
                                  TLineStorage& invoiced) {
  FModel->Reserve(RowCount() + missing.Count() + source.Count() + merged.Count() +
                  invoiced.Count() + 8);
  TGridSections sections;
  sections.Missing = AddSection(missing, "2", "Fehlend", "Diese wurden nicht berechnet", false);
  if (missing.Count() == 0) {
    FModel->AppendRows(1, [this](int, std::string* cells) {
      if (FRoles.Image >= 0) cells[FRoles.Image] = "1";
      if (FRoles.Info >= 0) cells[FRoles.Info] = kAllDone;
    });
  }
  sections.Source = AddSection(source, "1", "Quelle", "Inhalt AN/AB", true);
  sections.Merged = AddSection(merged, "", "Komprimiert", "Gleiche zusammengefasst aus RE", false);
  sections.Invoiced = AddSection(invoiced, "", "Alle", "Alle Inhalte aus RE", true);
  return sections;
}

int TViewDataGrid::AddSection(TLineStorage& storage, const char* image, const char* info,
                              const char* description, bool sumRow) {
  const Roles& r = FRoles;
  const auto put = [](std::string* cells, int col, std::string text) {
    if (col >= 0) cells[col] = std::move(text);
  };

  // The section row; the first section reuses the empty row a cleared grid keeps.
  int sectionRow;
  if (RowCount() > 2) {
    sectionRow = FModel->AppendRows(1, [&](int, std::string* cells) {
      put(cells, r.Info, info);
      put(cells, r.Description, description);
      std::string marks;
      SetMarkText(marks, MarkRule, 'p');
      SetMarkText(marks, MarkKind, '\x81');
      put(cells, r.Marks, std::move(marks));
    });
  } else {
    sectionRow = 1;
    if (r.Info >= 0) SetCell(r.Info, 1, info);
    if (r.Description >= 0) SetCell(r.Description, 1, description);
    for (int col : {r.Link, r.Range, r.Image})
      if (col >= 0) SetCell(col, 1, std::string());
    SetMark(1, MarkRule, 'p');
    SetMark(1, MarkKind, '\x81');
  }

  // One row per entry, in storage order; LINK and RANGE number the entry and the storage
  // in the tables of this content.
  const std::string range = IntText(FRanges.size());
  FRanges.push_back(&storage);
  FLinks.reserve(FLinks.size() + static_cast<size_t>(storage.Count()));
  long double total = 0;
  int next = 0;
  FModel->AppendRows(storage.Count(), [&](int, std::string* cells) {
    LineEntry& entry = storage.Entry(next++);
    if (entry.Line) {
      // Read only: the views' lines stay shared.
      const LineView line = entry.Line.Shared();
      put(cells, r.Position, std::string(line.Pos()));
      put(cells, r.Description, std::string(line.Bezeichnung1()));
      put(cells, r.PartNo, std::string(line.Artikelnummer()));
      std::string quantity = FormatQuantity(N(entry.Line.Quantity()));
      if (entry.Difference != 0) {
        quantity += " [";
        quantity += FormatQuantity(entry.Difference);
        quantity += ']';
      }
      put(cells, r.Quantity, std::move(quantity));
      put(cells, r.Unit, std::string(line.Einheit()));
      total += N(line.SummeBetrag());
    }
    put(cells, r.Info, entry.Ref->Number);
    put(cells, r.Link, IntText(FLinks.size()));
    FLinks.push_back(&entry);
    put(cells, r.Range, range);
    put(cells, r.Image, image);
  });

  if (sumRow) {
    FModel->AppendRows(1, [&](int, std::string* cells) {
      put(cells, r.Info, FormatQuantity(total));
      put(cells, r.Description, "Summe");
      put(cells, r.Image, "8");
      std::string marks;
      SetMarkText(marks, MarkRule, 'g');
      SetMarkText(marks, MarkKind, '\x81');
      put(cells, r.Marks, std::move(marks));
    });
  }
  return sectionRow;
}

// --- References ---------------------------------------------------------------------

// The object a reference cell numbers in its table; nullptr for an empty cell, a text that
// is no number, or a number the table does not have.
template <typename T>
T* TViewDataGrid::Resolve(const std::vector<T*>& table, int col, int row) const {
  int id;
  if (col < 0 || !ParseInt(Cell(col, row), id) || id < 0 || static_cast<size_t>(id) >= table.size())
    return nullptr;
  return table[static_cast<size_t>(id)];
}

LineEntry* TViewDataGrid::EntryOfRow(int row) const {
  return Resolve(FLinks, FRoles.Link, row);
}

TDataGridLine* TViewDataGrid::LineOfRow(int row) const {
  LineEntry* entry = EntryOfRow(row);
  return entry ? entry->Line.get() : nullptr;
}

TLineStorage* TViewDataGrid::StorageOfRow(int row) const {
  return Resolve(FRanges, FRoles.Range, row);
}

// --- Selection ----------------------------------------------------------------------

bool TViewDataGrid::IsSelected(int row) const {
  return row >= 0 && static_cast<size_t>(row) < FSelFlags.size() &&
         FSelFlags[static_cast<size_t>(row)];
}

void TViewDataGrid::AddToSelection(int row) {
  if (row < 1 || row >= RowCount() || IsSelected(row)) return;
  if (FSelFlags.size() < static_cast<size_t>(RowCount()))
    FSelFlags.resize(static_cast<size_t>(RowCount()), 0);
  FSelFlags[static_cast<size_t>(row)] = 1;
  FSelOrder.push_back(row);
  viewport()->update();
}

void TViewDataGrid::RemoveFromSelection(int row) {
  if (!IsSelected(row)) return;
  FSelFlags[static_cast<size_t>(row)] = 0;
  FSelOrder.erase(std::find(FSelOrder.begin(), FSelOrder.end(), row));
  viewport()->update();
}

void TViewDataGrid::ToggleSelection(int row) {
  if (IsSelected(row))
    RemoveFromSelection(row);
  else
    AddToSelection(row);
}

void TViewDataGrid::ClearSelection() {
  for (int row : FSelOrder) FSelFlags[static_cast<size_t>(row)] = 0;
  FSelOrder.clear();
  viewport()->update();
}

void TViewDataGrid::RemoveSelectedIf(const std::function<bool(int)>& drop) {
  const auto kept = std::remove_if(FSelOrder.begin(), FSelOrder.end(), [&](int row) {
    if (!drop(row)) return false;
    FSelFlags[static_cast<size_t>(row)] = 0;
    return true;
  });
  FSelOrder.erase(kept, FSelOrder.end());
  viewport()->update();
}

std::vector<int> TViewDataGrid::SelectedRows() const {
  std::vector<int> rows = FSelOrder;
  std::sort(rows.begin(), rows.end());
  return rows;
}

std::vector<TDataGridLine*> TViewDataGrid::SelectedLines() const {
  std::vector<TDataGridLine*> lines;
  for (int row : SelectedRows())
    if (TDataGridLine* line = LineOfRow(row)) lines.push_back(line);
  return lines;
}

std::vector<TDataGridLine*> TViewDataGrid::LinesOfRows(const std::vector<int>& rows) const {
  std::vector<TDataGridLine*> lines;
  lines.reserve(rows.size());
  for (int row : rows) lines.push_back(LineOfRow(row));
  return lines;
}

void TViewDataGrid::SelectRowsHit(const TEdgeRect& rect) {
  // Rows reach from the left edge of column 1 to the right edge of the last visible
  // column; the rectangle hits a row when they overlap or touch.
  int last = -1;
  for (int c = ColumnCount() - 1; c >= 1 && last < 0; --c)
    if (!isColumnHidden(c)) last = c;
  if (last < 1) return;
  int first = 1;
  while (first < last && isColumnHidden(first)) ++first;
  const int bandLeft = columnViewportPosition(first);
  const int bandRight = columnViewportPosition(last) + columnWidth(last) - 1;
  if (bandLeft > rect.Right || rect.Left > bandRight) return;

  const QHeaderView* rows = verticalHeader();
  const int offset = rows->offset();
  const int length = rows->length();
  if (length <= 0) return;
  const int top = std::max(rect.Top, -offset);
  const int bottom = std::min(rect.Bottom, length - 1 - offset);
  if (top > bottom) return;
  const int from = rows->logicalIndexAt(top);
  const int to = rows->logicalIndexAt(bottom);
  if (from < 0 || to < 0) return;
  for (int m = from; m <= to; ++m)
    if (!isRowHidden(m)) AddToSelection(m + 1);
}

// --- Range marker -------------------------------------------------------------------

void TViewDataGrid::SetRangeMarker(int start, int end) {
  if (start == FRangeStart && end == FRangeEnd) return;
  FRangeStart = start;
  FRangeEnd = end;
  viewport()->update();
}

void TViewDataGrid::MarkMatchingRow(int row) {
  TDataGridLine* line = LineOfRow(row);
  TLineStorage* storage = StorageOfRow(row);
  if (!line || !storage) {
    SetRangeMarker(0, 0);
    return;
  }
  // The rows of a storage are consecutive and begin at its first line row, so the first
  // row met of another storage plus the index of the match is the matching row. A storage
  // gives the same answer for each of its rows, so each is asked once.
  std::vector<TLineStorage*> asked;
  for (int b = row + 1; b < RowCount(); ++b) {
    TLineStorage* other = StorageOfRow(b);
    if (!other || other == storage) continue;
    if (const LineEntry* entry = EntryOfRow(b); !entry || !entry->Line) continue;
    if (std::find(asked.begin(), asked.end(), other) != asked.end()) continue;
    asked.push_back(other);
    int index = -1;
    if (other->FindMatch(*line, &index) && index >= 0 && b + index < RowCount()) {
      SetRangeMarker(row, b + index);
      return;
    }
  }
  SetRangeMarker(0, 0);
}

// --- Click, info line, hints --------------------------------------------------------

std::string TViewDataGrid::InfoLineText(int row) const {
  if (row <= 1 || row >= RowCount()) return std::string();
  const auto cell = [&](int col) -> const std::string& { return Cell(col, row); };
  return " " + cell(FRoles.Description) + " " + cell(FRoles.PartNo) + " " + cell(FRoles.Quantity) +
         " | Auftrag:" + cell(FRoles.Info);
}

std::string TViewDataGrid::HandleRowClick() {
  const int row = CurrentRow();
  std::string info = InfoLineText(row);
  MarkMatchingRow(row);
  return info;
}

std::string TViewDataGrid::DefaultHint(int col, int row) const {
  if (row >= 1 && col >= 2 && row < RowCount() && col < ColumnCount()) return Cell(col, row);
  return std::string();
}

void TViewDataGrid::SetHintProvider(HintProvider provider) {
  FHintProvider = std::move(provider);
}

bool TViewDataGrid::CellAt(QPoint viewportPos, int& col, int& row) const {
  const int m = rowAt(viewportPos.y());
  const int c = columnAt(viewportPos.x());
  if (m < 0 || c < 0) return false;
  col = c;
  row = m + 1;
  return true;
}

// --- Mouse, keys, wheel -------------------------------------------------------------

void TViewDataGrid::PressAt(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  int col, row;
  if (CellAt(pos, col, row)) SetCurrentCell(col, row);
  if (event->modifiers() & Qt::ControlModifier) {
    ToggleSelection(CurrentRow());
    viewport()->update();
  } else if (event->button() == Qt::LeftButton) {
    FRubber->Start(pos, (event->modifiers() & Qt::ShiftModifier) != 0);
  }
  if (event->button() == Qt::LeftButton) FPressed = true;
  event->accept();
}

void TViewDataGrid::mousePressEvent(QMouseEvent* event) {
  PressAt(event);
}

void TViewDataGrid::mouseDoubleClickEvent(QMouseEvent* event) {
  PressAt(event);
}

void TViewDataGrid::mouseMoveEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  if (FRubber->Active()) {
    QToolTip::hideText();
    if (FRubber->Move(pos, QApplication::startDragDistance())) viewport()->update();
  }
  int col = -1, row = -1;
  if (!CellAt(pos, col, row)) col = row = -1;
  FHint = FHintProvider ? FHintProvider(col, row) : DefaultHint(col, row);
  event->accept();
}

void TViewDataGrid::mouseReleaseEvent(QMouseEvent* event) {
  event->accept();
  if (event->button() != Qt::LeftButton) return;
  if (FRubber->Active()) {
    FRubber->End();
    viewport()->update();
  } else if (!(event->modifiers() & Qt::ControlModifier)) {
    ClearSelection();
  }
  if (FPressed) {
    FPressed = false;
    setFocus(Qt::MouseFocusReason);
    emit Click();
  }
}

void TViewDataGrid::keyPressEvent(QKeyEvent* event) {
  // Copying belongs to the window's own command, never to a single cell.
  if (event->matches(QKeySequence::Copy)) {
    event->ignore();
    return;
  }
  const QModelIndex before = currentIndex();
  QTableView::keyPressEvent(event);
  const int current = CurrentRow();
  const Qt::KeyboardModifiers mods = event->modifiers();
  if (mods & Qt::ShiftModifier) {
    // Walking back into a selection with Shift shrinks it.
    if (!IsSelected(current)) {
      AddToSelection(current);
    } else if (event->key() == Qt::Key_Up && current > 1) {
      RemoveSelectedIf([current](int row) { return row > current; });
    } else if (event->key() == Qt::Key_Down && current < RowCount() - 1) {
      RemoveSelectedIf([current](int row) { return row < current; });
    }
  } else if (!(mods & Qt::ControlModifier)) {
    ClearSelection();
    AddToSelection(current);
  }
  viewport()->update();
  // Only the moving keys belong to the grid; the rest go on to the window (F5, Escape).
  switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
      break;
    default:
      event->ignore();
  }
  if (currentIndex() != before) emit Click();
}

void TViewDataGrid::wheelEvent(QWheelEvent* event) {
  // Notches move the current row; the view never scrolls by wheel on its own.
  event->accept();
  FWheelRest += event->angleDelta().y();
  bool moved = false;
  while (FWheelRest <= -kWheelNotch) {
    FWheelRest += kWheelNotch;
    if (CurrentRow() < RowCount() - 1) {
      MoveCurrentRow(CurrentRow() + 1);
      moved = true;
    }
  }
  while (FWheelRest >= kWheelNotch) {
    FWheelRest -= kWheelNotch;
    if (CurrentRow() > 1) {
      MoveCurrentRow(CurrentRow() - 1);
      moved = true;
    }
  }
  if (moved) emit Click();
}

bool TViewDataGrid::edit(const QModelIndex&, EditTrigger, QEvent*) {
  return false;
}

bool TViewDataGrid::viewportEvent(QEvent* event) {
  switch (event->type()) {
    case QEvent::ToolTip: {
      const auto* help = static_cast<QHelpEvent*>(event);
      int col = -1, row = -1;
      if (!CellAt(help->pos(), col, row)) col = row = -1;
      FHint = FHintProvider ? FHintProvider(col, row) : DefaultHint(col, row);
      if (FHint.empty())
        QToolTip::hideText();
      else
        QToolTip::showText(help->globalPos(), ToQString(FHint), viewport(),
                           visualRect(FModel->index(row - 1, col)));
      return true;
    }
    case QEvent::Resize: {
      const bool handled = QTableView::viewportEvent(event);
      FitColumns();
      return handled;
    }
    default:
      return QTableView::viewportEvent(event);
  }
}

// --- Painting -----------------------------------------------------------------------

void TViewDataGrid::paintEvent(QPaintEvent* event) {
  QTableView::paintEvent(event);
  QPainter painter(viewport());
  PaintRangeMarker(painter, event->rect());
  FRubber->Paint(painter);
}

void TViewDataGrid::PaintCell(QPainter& painter, const QRect& rect, int col, int row) const {
  const std::string* cells = FModel->RowCells(row);
  if (!cells) return;
  const std::string emptyMarks;
  const std::string& marks = FRoles.Marks >= 0 ? cells[FRoles.Marks] : emptyMarks;
  const bool marked = IsMarkedRow(marks);
  painter.save();
  painter.fillRect(rect, IsSelected(row) ? QColor::fromRgb(kSelectedBackground)
                                         : palette().color(QPalette::Base));
  // Edges as the drawing rules use them: right and bottom lie just past the cell.
  const int L = rect.left(), T = rect.top(), R = rect.left() + rect.width(),
            B = rect.top() + rect.height();
  const auto drawImage = [&](int index) {
    FImages->Draw(painter, L, T + (rect.height() - FImages->Height()) / 2, index);
  };

  if (col == FRoles.Marks) {
    if (marked) {
      const int l = L + kMarkInset, t = T + kMarkInset, r = R - kMarkInset, b = B - kMarkInset;
      painter.setPen(QPen(QColor::fromRgb(kBracketColour), 1));
      const QPoint bracket[] = {{r + 2, b - 2}, {l + 1, b - 2}, {l + 1, t + 3}, {r + 2, t + 3}};
      painter.drawPolyline(bracket, 4);
    }
  } else if (col == FRoles.Image) {
    painter.fillRect(rect, palette().color(QPalette::ToolTipBase));
    int index;
    if (ParseInt(cells[col], index)) drawImage(index);
  } else if (!cells[col].empty()) {
    QFont font = FModel->ColumnAt(col).Font;
    if (marked) font.setBold(true);
    painter.setFont(font);
    painter.setPen(marked ? QColor::fromRgb(kMarkedRowText) : QColor(Qt::black));
    painter.setClipRect(rect);
    painter.drawText(rect.adjusted(2, 0, -2, 0),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, ToQString(cells[col]));
    painter.setClipping(false);
  }
  if (col == FRoles.Description && FRoles.Info >= 0 && cells[FRoles.Info] == kAllDone)
    drawImage(ImageAllDone);

  // Section rows are underlined in red, sums get a green line above them.
  const char rule = MarkAt(marks, MarkRule);
  if (rule == 'p' || rule == 'g') {
    painter.setPen(QPen(QColor::fromRgb(rule == 'p' ? kSectionRule : kSumRule), 1));
    const int y = rule == 'p' ? B - 1 : T;
    painter.drawLine(L, y, R - 1, y);
  }

  const QModelIndex current = currentIndex();
  if (current.isValid() && current.row() == row - 1 && current.column() == col) {
    painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect.adjusted(0, 0, -1, -1));
    painter.drawRect(rect.adjusted(1, 1, -2, -2));
  }
  painter.restore();
}

void TViewDataGrid::PaintRangeMarker(QPainter& painter, const QRect& area) const {
  if (FRangeStart == 0 || FRangeEnd == 0 || FRoles.Marks < 0 || isColumnHidden(FRoles.Marks))
    return;
  const int rows = FModel->rowCount();
  if (rows == 0) return;
  // The strokes reach into the neighbouring rows, so one row more is drawn on each side.
  int first = rowAt(area.top());
  int last = rowAt(area.bottom());
  first = first < 0 ? 0 : std::max(0, first - 1);
  last = last < 0 ? rows - 1 : std::min(rows - 1, last + 1);
  first = std::max(first, std::min(FRangeStart, FRangeEnd) - 1);
  last = std::min(last, std::max(FRangeStart, FRangeEnd) - 1);

  painter.save();
  painter.setPen(QPen(QColor::fromRgb(kRangeMarker), 2));
  for (int m = first; m <= last; ++m) {
    const int r = m + 1;
    const QRect cell = visualRect(FModel->index(m, FRoles.Marks));
    const int L = cell.left(), T = cell.top(), R = cell.left() + cell.width(),
              B = cell.top() + cell.height();
    if (r == FRangeStart) {
      const QPoint start[] = {{L + 1, B}, {L + 1, T + 5}, {L, T + 3}, {R, T + 4}};
      painter.drawPolyline(start, 4);
    } else if (r == FRangeEnd) {
      const QPoint end[] = {{L + 1, T - 4}, {L + 1, B - 5}, {R, B - 5}};
      painter.drawPolyline(end, 3);
    } else if (FRangeStart < r && r < FRangeEnd) {
      painter.drawLine(L + 1, T - 2, L + 1, B + 2);
    }
  }
  painter.restore();
}

}  // namespace dz
