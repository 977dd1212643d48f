#include "grid/view/GridCellDelegate.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>

#include "grid/ResultGridModel.h"
#include "grid/view/CellPainter.h"

namespace kelvaro {
namespace {

constexpr const char* kInitialTextProperty = "kelvaroInitialText";

}  // namespace

GridCellDelegate::GridCellDelegate(CellPainter& painter, QObject* parent)
    : QStyledItemDelegate(parent), painter_(painter) {}

void GridCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
  GridDrawState state;
  state.focused = option.state.testFlag(QStyle::State_HasFocus);
  state.selected = option.state.testFlag(QStyle::State_Selected);
  const bool has_focus = option.widget != nullptr && option.widget->hasFocus();
  painter_.PaintDataCell(*painter, option.rect, index.column(), index.row() + 1, state, has_focus);
}

QSize GridCellDelegate::sizeHint(const QStyleOptionViewItem& /*option*/,
                                 const QModelIndex& index) const {
  const int col = index.column();
  const int row = index.row() + 1;
  const QSize text = painter_.CellTextSize(col, row);
  const int box = painter_.Model().HasCheckBox(col, row) ? CellPainter::kCheckSize : 0;
  return QSize(box + text.width() + 8, painter_.Model().RowHeights(row));
}

QWidget* GridCellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& /*option*/,
                                        const QModelIndex& /*index*/) const {
  auto* editor = new QLineEdit(parent);
  editor->setFrame(false);
  editor->setFont(painter_.GridFont());
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
  // Texts cross into the editor through the local 8-bit encoding, where bytes that are not
  // valid in it come back changed: an untouched text must not be written back.
  if (line->text() == line->property(kInitialTextProperty).toString()) return;
  model->setData(index, line->text(), Qt::EditRole);
}

void GridCellDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                            const QModelIndex& /*index*/) const {
  // Inside the cell's right and bottom grid lines.
  editor->setGeometry(option.rect.adjusted(0, 0, -1, -1));
}

bool GridCellDelegate::eventFilter(QObject* object, QEvent* event) {
  auto* line = qobject_cast<QLineEdit*>(object);
  if (line != nullptr && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
    // Escape drops what was typed, so nothing is written back.
    line->setText(line->property(kInitialTextProperty).toString());
    emit commitData(line);
    emit closeEditor(line, QAbstractItemDelegate::NoHint);
    return true;
  }
  return QStyledItemDelegate::eventFilter(object, event);
}

}  // namespace kelvaro
