#pragma once

#include <QPointer>
#include <QStyledItemDelegate>

namespace kelvaro {

class TResultGrid;

// Paints the grid's data cells (through the grid, which also paints the header) and
// runs the in-place editor: it shows the text with its markup stripped, and whatever
// ends the editing, the editor's text is written back when it differs from the stored
// one (Escape first puts back the text the editor started with).
class GridCellDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  explicit GridCellDelegate(TResultGrid& grid);

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

  // Paint calls and the rows they touched, for the scrolling benchmark.
  long long PaintCalls() const { return paint_calls_; }
  int MaxPaintedRow() const { return max_painted_row_; }
  void ResetPaintCounters() const;

 protected:
  bool eventFilter(QObject* object, QEvent* event) override;

 private:
  TResultGrid& grid_;
  mutable QPointer<QWidget> open_editor_;
  mutable long long paint_calls_ = 0;
  mutable int max_painted_row_ = -1;
};

}  // namespace kelvaro
