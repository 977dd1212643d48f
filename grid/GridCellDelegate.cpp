#include "grid/GridCellDelegate.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <algorithm>

#include "grid/TResultGrid.h"

namespace kelvaro {
namespace {

constexpr const char* kInitialTextProperty = "kelvaroInitialText";

}  // namespace

GridCellDelegate::GridCellDelegate(TResultGrid& grid) : QStyledItemDelegate(&grid), grid_(grid) {}

void GridCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
  ++paint_calls_;
  max_painted_row_ = std::max(max_painted_row_, index.row());
  GridDrawState state;
  state.focused = option.state.testFlag(QStyle::State_HasFocus);
  state.selected = option.state.testFlag(QStyle::State_Selected);
  grid_.PaintDataCell(*painter, option.rect, index.column(), index.row() + 1, state);
}

QSize GridCellDelegate::sizeHint(const QStyleOptionViewItem& /*option*/,
                                 const QModelIndex& index) const {
  const int col = index.column();
  const int row = index.row() + 1;
  const QSize text = grid_.CellTextSize(col, row);
  const int box = grid_.Model().HasCheckBox(col, row) ? TResultGrid::kCheckSize : 0;
  return QSize(box + text.width() + 8, grid_.Model().RowHeights(row));
}

QWidget* GridCellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& /*option*/,
                                        const QModelIndex& /*index*/) const {
  auto* editor = new QLineEdit(parent);
  editor->setFrame(false);
  editor->setFont(grid_.GridFont());
  open_editor_ = editor;
  return editor;
}

void GridCellDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
  auto* line = qobject_cast<QLineEdit*>(editor);
  if (line == nullptr) return;
  const QString text = index.data(Qt::EditRole).toString();
  line->setText(text);
  line->setProperty(kInitialTextProperty, text);
}

void GridCellDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                    const QModelIndex& index) const {
  auto* line = qobject_cast<QLineEdit*>(editor);
  if (line == nullptr) return;
  // The model writes the text only when it differs from the stored one.
  model->setData(index, line->text(), Qt::EditRole);
}

void GridCellDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                            const QModelIndex& /*index*/) const {
  // Inside the cell's right and bottom grid lines.
  editor->setGeometry(option.rect.adjusted(0, 0, -1, -1));
}

void GridCellDelegate::ResetPaintCounters() const {
  paint_calls_ = 0;
  max_painted_row_ = -1;
}

bool GridCellDelegate::eventFilter(QObject* object, QEvent* event) {
  auto* line = qobject_cast<QLineEdit*>(object);
  if (line != nullptr && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
    // Escape drops what was typed; the text the editor showed is still written back.
    line->setText(line->property(kInitialTextProperty).toString());
    emit commitData(line);
    emit closeEditor(line, QAbstractItemDelegate::NoHint);
    return true;
  }
  return QStyledItemDelegate::eventFilter(object, event);
}

}  // namespace kelvaro
