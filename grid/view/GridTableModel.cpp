#include "grid/view/GridTableModel.h"

#include <algorithm>

#include "grid/CellMarkup.h"
#include "ui/TextConvert.h"
#include "web/SearchService.h"

namespace kelvaro {

GridTableModel::GridTableModel(ResultGridModel& grid, QObject* parent)
    : QAbstractTableModel(parent), grid_(grid) {
  grid_.SetListener(this);
}

GridTableModel::~GridTableModel() { grid_.SetListener(nullptr); }

void GridTableModel::SetColumnWidthHandler(std::function<void(int)> handler) {
  column_width_handler_ = std::move(handler);
}

void GridTableModel::SetUpdatesHandler(std::function<void(bool)> handler) {
  updates_handler_ = std::move(handler);
}

void GridTableModel::SetResetHandler(std::function<void()> handler) {
  reset_handler_ = std::move(handler);
}

int GridTableModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  return std::max(0, grid_.RowCount() - 1);
}

int GridTableModel::columnCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  return grid_.ColCount();
}

QVariant GridTableModel::data(const QModelIndex& index, int role) const {
  if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
    return {};
  }
  const int col = index.column();
  const int row = index.row() + 1;
  switch (role) {
    case Qt::DisplayRole:
      return ToQString(grid_.Cells(col, row));
    case Qt::EditRole: {
      const std::string& text = grid_.Cells(col, row);
      return ToQString(PassesMarkupTest(text) ? StripMarkup(text) : text);
    }
    case Qt::AccessibleTextRole: {
      // A screen reader reads what is painted, as the in-place editor shows it: never the
      // markup and its query URL. Qt reads the display text for an empty name, so a link
      // with no text to show reads as a space.
      const std::string& text = grid_.Cells(col, row);
      if (!PassesMarkupTest(text)) return ToQString(text);
      const std::string shown = StripMarkup(text);
      return shown.empty() ? QStringLiteral(" ") : ToQString(shown);
    }
    case Qt::AccessibleDescriptionRole: {
      const std::string& text = grid_.Cells(col, row);
      if (!PassesMarkupTest(text)) return {};
      const std::string page = PublicResultsURL(FirstLinkAddress(text));
      if (page.empty()) return {};
      return ToQString(page);
    }
    case Qt::CheckStateRole:
      if (!grid_.HasCheckBox(col, row)) return {};
      return grid_.IsChecked(col, row) ? Qt::Checked : Qt::Unchecked;
    default:
      return {};
  }
}

QVariant GridTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  if (section < 0 || section >= grid_.ColCount()) return {};
  return ToQString(grid_.Cells(section, 0));
}

Qt::ItemFlags GridTableModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  if (read_only_) return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

bool GridTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::EditRole || read_only_ ||
      !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
    return false;
  }
  const std::string text = FromQString(value.toString());
  const int col = index.column();
  const int row = index.row() + 1;
  if (text != grid_.Cells(col, row)) grid_.SetCells(col, row, text);
  return true;
}

void GridTableModel::CellChanged(int col, int row) {
  // Rows being inserted or removed are announced by their own signals.
  if (resetting_ || inserting_ || removing_ || col < 0 || col >= grid_.ColCount()) return;
  if (row == 0) {
    emit headerDataChanged(Qt::Horizontal, col, col);
  } else if (row > 0 && row < grid_.RowCount()) {
    const QModelIndex changed = index(row - 1, col);
    emit dataChanged(changed, changed);
  }
}

void GridTableModel::BeforeRowsInserted(int first, int last) {
  if (resetting_) return;
  inserting_ = true;
  beginInsertRows(QModelIndex(), first - 1, last - 1);
}

void GridTableModel::AfterRowsInserted() {
  if (!inserting_) return;
  inserting_ = false;
  endInsertRows();
}

void GridTableModel::BeforeRowsRemoved(int first, int last) {
  if (resetting_) return;
  if (first < 1) {
    // The header row itself goes: every Qt row and the header change.
    removing_header_ = true;
    BeforeReset();
    return;
  }
  removing_ = true;
  beginRemoveRows(QModelIndex(), first - 1, last - 1);
}

void GridTableModel::AfterRowsRemoved() {
  if (removing_header_) {
    removing_header_ = false;
    AfterReset();
    return;
  }
  if (!removing_) return;
  removing_ = false;
  endRemoveRows();
}

void GridTableModel::BeforeRowsReordered() {
  if (resetting_) return;
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
}

void GridTableModel::AfterRowsReordered(const std::vector<int>& new_row) {
  if (resetting_) return;
  // The current cell and the selection are persistent indexes: they move with their rows.
  const QModelIndexList from = persistentIndexList();
  QModelIndexList to;
  to.reserve(from.size());
  for (const QModelIndex& old : from) {
    const size_t row = static_cast<size_t>(old.row()) + 1;
    to.push_back(row < new_row.size() ? index(new_row[row] - 1, old.column()) : old);
  }
  changePersistentIndexList(from, to);
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void GridTableModel::ColumnCellsChanged(int col, int first, int last) {
  if (resetting_ || inserting_ || removing_ || col < 0 || col >= grid_.ColCount()) return;
  last = std::min(last, grid_.RowCount() - 1);
  if (first < 1 || first > last) return;
  emit dataChanged(index(first - 1, col), index(last - 1, col),
                   {Qt::DisplayRole, Qt::EditRole, Qt::CheckStateRole});
}

void GridTableModel::BeforeReset() {
  if (resetting_) return;
  resetting_ = true;
  beginResetModel();
}

void GridTableModel::AfterReset() {
  if (!resetting_) return;
  resetting_ = false;
  endResetModel();
  if (reset_handler_) reset_handler_();
}

void GridTableModel::ColumnWidthChanged(int col) {
  if (column_width_handler_) column_width_handler_(col);
}

void GridTableModel::UpdatesSuspended(bool suspended) {
  if (updates_handler_) updates_handler_(suspended);
}

}  // namespace kelvaro
