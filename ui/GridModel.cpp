#include "ui/GridModel.h"

#include <QBrush>
#include <QColor>

#include "docdata/Cp1252.h"

namespace dz {

namespace {

const std::string kEmpty;

QString ToQString(std::string_view text) {
  return QString::fromStdU16String(Cp1252ToUtf16(text));
}

}  // namespace

TGridModel::TGridModel(QObject* parent) : QAbstractTableModel(parent) {}

int TGridModel::AddColumn(const Column& column) {
  const int col = ColumnCount();
  const size_t oldCols = FColumns.size();
  beginInsertColumns(QModelIndex(), col, col);
  std::vector<std::string> cells(static_cast<size_t>(FRows) * (oldCols + 1));
  for (int r = 0; r < FRows; ++r)
    for (size_t c = 0; c < oldCols; ++c)
      cells[static_cast<size_t>(r) * (oldCols + 1) + c] =
          std::move(FCells[static_cast<size_t>(r) * oldCols + c]);
  FCells = std::move(cells);
  FColumns.push_back(column);
  endInsertColumns();
  return col;
}

void TGridModel::ColumnChanged(int col) {
  if (col < 0 || col >= ColumnCount()) return;
  emit headerDataChanged(Qt::Horizontal, col, col);
}

int TGridModel::ColumnIndex(std::string_view fieldName) const {
  const std::string wanted = UpperCase(fieldName);
  for (int c = 0; c < ColumnCount(); ++c)
    if (UpperCase(FColumns[static_cast<size_t>(c)].FieldName) == wanted) return c;
  return -1;
}

void TGridModel::ResetRows(int dataRows) {
  if (dataRows < 1) dataRows = 1;
  beginResetModel();
  FCells.clear();
  FCells.shrink_to_fit();
  FCells.resize(static_cast<size_t>(dataRows) * FColumns.size());
  FRows = dataRows;
  endResetModel();
}

void TGridModel::Reserve(int dataRows) {
  if (dataRows > 0) FCells.reserve(static_cast<size_t>(dataRows) * FColumns.size());
}

int TGridModel::AppendRows(int count, const std::function<void(int, std::string*)>& fill) {
  const int first = FRows + 1;
  if (count <= 0) return first;
  const size_t cols = FColumns.size();
  beginInsertRows(QModelIndex(), FRows, FRows + count - 1);
  FCells.resize(FCells.size() + static_cast<size_t>(count) * cols);
  if (fill)
    for (int i = 0; i < count; ++i)
      fill(first + i, FCells.data() + static_cast<size_t>(FRows + i) * cols);
  FRows += count;
  endInsertRows();
  return first;
}

const std::string& TGridModel::Cell(int col, int row) const {
  if (col < 0 || col >= ColumnCount() || row < 0 || row > FRows) return kEmpty;
  if (row == 0) return FColumns[static_cast<size_t>(col)].Title;
  return FCells[static_cast<size_t>(row - 1) * FColumns.size() + static_cast<size_t>(col)];
}

void TGridModel::SetCell(int col, int row, std::string text) {
  if (col < 0 || col >= ColumnCount() || row < 0 || row > FRows) return;
  if (row == 0) {
    FColumns[static_cast<size_t>(col)].Title = std::move(text);
    emit headerDataChanged(Qt::Horizontal, col, col);
    return;
  }
  FCells[static_cast<size_t>(row - 1) * FColumns.size() + static_cast<size_t>(col)] =
      std::move(text);
  // A row mark changes how the whole row is drawn.
  const QModelIndex first = index(row - 1, col == 0 ? 0 : col);
  const QModelIndex last = index(row - 1, col == 0 ? ColumnCount() - 1 : col);
  emit dataChanged(first, last);
}

const std::string* TGridModel::RowCells(int row) const {
  if (row < 1 || row > FRows || FColumns.empty()) return nullptr;
  return FCells.data() + static_cast<size_t>(row - 1) * FColumns.size();
}

int TGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : FRows;
}

int TGridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : ColumnCount();
}

QVariant TGridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= FRows || index.column() >= ColumnCount())
    return QVariant();
  const int row = index.row() + 1;
  switch (role) {
    case Qt::DisplayRole:
      return ToQString(Cell(index.column(), row));
    case Qt::FontRole: {
      QFont font = FColumns[static_cast<size_t>(index.column())].Font;
      if (IsMarkedRow(Cell(0, row))) font.setBold(true);
      return font;
    }
    case Qt::ForegroundRole:
      if (IsMarkedRow(Cell(0, row))) return QBrush(QColor::fromRgb(kMarkedRowText));
      return QVariant();
    default:
      return QVariant();
  }
}

QVariant TGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Vertical) {
    if (role == Qt::DisplayRole && section >= 0 && section < FRows) return section + 1;
    return QVariant();
  }
  if (section < 0 || section >= ColumnCount()) return QVariant();
  const Column& column = FColumns[static_cast<size_t>(section)];
  switch (role) {
    case Qt::DisplayRole:
      return ToQString(column.Title);
    case Qt::FontRole:
      return column.TitleFont;
    case Qt::ForegroundRole:
      return QBrush(Qt::black);
    default:
      return QVariant();
  }
}

Qt::ItemFlags TGridModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

}  // namespace dz
