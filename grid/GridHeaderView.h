#pragma once

#include <QHeaderView>

namespace kelvaro {

class TResultGrid;

// The grid's header row 0. Its cells are painted by the grid like its other cells, look
// pressed while the mouse button is held on them and never sort. Dragging a border
// resizes the column to its left; a double-click within 3 pixels of a border auto-sizes
// that column.
class GridHeaderView : public QHeaderView {
  Q_OBJECT

 public:
  explicit GridHeaderView(TResultGrid& grid);

  // The column whose cell is drawn pressed, -1 for none.
  int PressedSection() const { return pressed_section_; }

  // The column a double-click at x (viewport coordinates) auto-sizes, -1 for none.
  int AutoSizeColumnAt(int x) const;

  QSize sizeHint() const override;

 protected:
  void paintSection(QPainter* painter, const QRect& rect, int logical_index) const override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  bool viewportEvent(QEvent* event) override;

 private:
  // True when x is on a border that Qt's resizing takes.
  bool OnResizeHandle(int x) const;
  void SetPressed(int section);

  TResultGrid& grid_;
  int pressed_section_ = -1;
};

}  // namespace kelvaro
