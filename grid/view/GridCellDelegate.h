#pragma once

#include <QPointer>
#include <QStyledItemDelegate>

namespace kelvaro {

class CellPainter;

// Paints the grid's data cells with the grid's look and runs the in-place editor: it
// shows the text with its markup stripped; when the editing ends, a text the user changed
// is written back (the model writes only what differs from the stored text), and a text
// left as the editor showed it writes nothing, so opening and leaving an editor never
// rewrites a cell. Escape puts back the text the editor started with.
class GridCellDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  GridCellDelegate(CellPainter& painter, QObject* parent);

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override;
  void setEditorData(QWidget* editor, const QModelIndex& index) const override;
  void setModelData(QWidget* editor, QAbstractItemModel* model,
                    const QModelIndex& index) const override;
  void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const override;

  // The editor the delegate made last, while it exists.
  QWidget* OpenEditor() const { return open_editor_.data(); }

 protected:
  bool eventFilter(QObject* object, QEvent* event) override;

 private:
  CellPainter& painter_;
  mutable QPointer<QWidget> open_editor_;
};

}  // namespace kelvaro
